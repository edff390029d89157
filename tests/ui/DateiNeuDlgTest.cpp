#include <gtest/gtest.h>

#include "Classes.h"
#include "FDateiNeuDlg.h"
#include "FSFormKalender.h"
#include "uDataFile.h"
#include "uFotobuchDocument.h"
#include "uFotobuchSetup.h"
#include "uModalDialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QApplication>
#include <QDate>
#include <QSpinBox>

#include <algorithm>

#include <functional>
#include <memory>

namespace {

// The bytes of the document's project file.
std::string Bytes(TFBDocument& Doc)
{
    TMemoryStream stream;
    {
        TMemoryDataFile file(stream);
        Doc.SaveToDataFile(file);
    }
    return std::string(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.Size()));
}

// Runs the wizard on Doc with Drive standing in for the user.
int RunWizard(TFBDocument& Doc, const std::function<void(TDateiNeuDlg&)>& Drive)
{
    std::unique_ptr<TDateiNeuDlg> dlg(TLocalizerForm::create<TDateiNeuDlg>(nullptr));
    ShowModalHook = [&](QDialog& D) {
        D.setResult(0);
        Drive(static_cast<TDateiNeuDlg&>(D));
        return D.result();
    };
    const int result = dlg->Execute(&Doc);
    ShowModalHook = nullptr;
    return result;
}

void Select(TDateiNeuDlg& Dlg, int Row)
{
    Dlg.lbSteps->setCurrentRow(Row);
}

void Key(QWidget* W, int K)
{
    QKeyEvent press(QEvent::KeyPress, K, Qt::NoModifier);
    QApplication::sendEvent(W, &press);
}

QStringList Items(const QListWidget* List)
{
    QStringList items;
    for (int i = 0; i < List->count(); ++i)
        items.append(List->item(i)->text());
    return items;
}

}  // namespace

TEST(DateiNeuDlg, FirstPageListsTheFormatsWithTheFirstChosen)
{
    std::unique_ptr<TDateiNeuDlg> dlg(TLocalizerForm::create<TDateiNeuDlg>(nullptr));
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Neues Projekt anlegen"));
    EXPECT_EQ(dlg->size(), QSize(580, 386));
    EXPECT_EQ(dlg->lblCaption->text(), QString::fromUtf8("Wählen Sie Ihr Format"));
    EXPECT_EQ(Items(dlg->lbSteps), (QStringList{QStringLiteral("PocketBooklet"), QStringLiteral("Photobook 4:6"),
                                                QStringLiteral("10x15 Singles"), dlg->Root()->Child(3)->Name,
                                                dlg->Root()->Child(3)->Name + QStringLiteral(" Randlos"),
                                                QString::fromUtf8("Weitere Fotobücher"),
                                                QString::fromUtf8("Einzelbilder und Bögen"), QStringLiteral("Kalender")}));
    EXPECT_EQ(dlg->Root()->Child(3)->Name.toLower(), QStringLiteral("photobook 8:5"));
    EXPECT_EQ(dlg->lbSteps->currentRow(), 0);
    EXPECT_EQ(dlg->ChosenStep(), dlg->Root()->Child(0));
    EXPECT_FALSE(dlg->BtnZurueck->isEnabled());
    EXPECT_EQ(dlg->BtnWeiter->text(), QStringLiteral("Weiter >>"));
    // The booklet's preview is decoded from its JPEG resource.
    ASSERT_FALSE(dlg->imgWizzard->pixmap().isNull());
    EXPECT_EQ(dlg->imgWizzard->pixmap().size(), QSize(400, 300));
}

TEST(DateiNeuDlg, TreeOfProductsAndLayouts)
{
    std::unique_ptr<TDateiNeuDlg> dlg(TLocalizerForm::create<TDateiNeuDlg>(nullptr));
    const TWizzardStep* root = dlg->Root();
    struct Row {
        int Code;
        const char* Picture;
        int Children;
    };
    const Row rows[] = {{0, "WIZ_PHOTOBOOKLET", 2}, {11, "WIZ_PHOTOBOOK_4_6", 0}, {21, "WIZ_10X15_SINGLES", 0},
                        {0, "WIZ_PHOTOBOOK_8_5_TRADITION", 3}, {0, "WIZ_PHOTOBOOK_8_5_FULLSIZE_R", 4},
                        {0, "WIZ_PHOTOBOOK_8_6_M", 3},          {0, "WIZ_DINA4", 7},
                        {0, "WIZ_KALENDER_A4_1", 2}};
    ASSERT_EQ(root->ChildCount(), 8);
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(root->Child(i)->ProductCode, rows[i].Code);
        EXPECT_EQ(root->Child(i)->PictureName, QString::fromLatin1(rows[i].Picture));
        EXPECT_EQ(root->Child(i)->ChildCount(), rows[i].Children);
        EXPECT_EQ(root->Child(i)->Parent, root);
        EXPECT_EQ(root->IndexOfChild(root->Child(i)), i);
    }
    EXPECT_EQ(root->IndexOfChild(root->Child(0)->Child(0)), -1);
    const TWizzardStep* randlos = root->Child(4);
    EXPECT_EQ(randlos->Caption, root->Child(3)->Name + QString::fromUtf8(" Randlos - Wählen Sie Ihr Grundlayout"));
    const int codes[] = {44, 41, 42, 43};
    const char* names[] = {"Fullsize", "Tradition", "Horizon", "Verticon"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(randlos->Child(i)->ProductCode, codes[i]);
        EXPECT_EQ(randlos->Child(i)->Name, QString::fromLatin1(names[i]));
    }
    EXPECT_EQ(root->Child(5)->Caption, QString::fromUtf8("Weitere Fotobücher - Wählen Sie Ihr Format"));
    EXPECT_EQ(root->Child(7)->Child(1)->Caption, QString::fromUtf8("Kalender A5 - Wählen Sie Ihr Grundlayout"));
    EXPECT_EQ(root->Child(0)->Child(1)->Name, QStringLiteral("Border"));
    EXPECT_EQ(root->Child(0)->Child(1)->PictureName, QStringLiteral("WIZ_PHOTOBOOKLETBORDER"));
    // Every preview the tree names is carried and decodes.
    std::function<void(const TWizzardStep*)> check = [&](const TWizzardStep* S) {
        for (const auto& c : S->Children) {
            dlg->ShowChoice(c.get());
            EXPECT_EQ(dlg->imgWizzard->pixmap().size(), QSize(400, 300)) << c->PictureName.toStdString();
            check(c.get());
        }
    };
    check(root);
}

TEST(DateiNeuDlg, ForwardBackAndBackspace)
{
    std::unique_ptr<TDateiNeuDlg> dlg(TLocalizerForm::create<TDateiNeuDlg>(nullptr));
    // Backspace on the first page does nothing.
    Key(dlg->lbSteps, Qt::Key_Backspace);
    EXPECT_EQ(dlg->CurrentStep(), dlg->Root());

    Select(*dlg, 3);
    EXPECT_EQ(dlg->ChosenStep(), dlg->Root()->Child(3));
    EXPECT_EQ(dlg->BtnWeiter->text(), QStringLiteral("Weiter >>"));
    dlg->BtnWeiter->click();
    EXPECT_EQ(dlg->CurrentStep(), dlg->Root()->Child(3));
    EXPECT_EQ(dlg->lblCaption->text(), dlg->Root()->Child(3)->Name + QString::fromUtf8(" - Wählen Sie Ihr Grundlayout"));
    EXPECT_EQ(Items(dlg->lbSteps), (QStringList{"Tradition", "Horizon", "Verticon"}));
    EXPECT_TRUE(dlg->BtnZurueck->isEnabled());
    EXPECT_EQ(dlg->BtnWeiter->text(), QStringLiteral("OK"));

    // Back returns to the formats with the format just left selected.
    Key(dlg->lbSteps, Qt::Key_Backspace);
    EXPECT_EQ(dlg->CurrentStep(), dlg->Root());
    EXPECT_EQ(dlg->lbSteps->currentRow(), 3);
    EXPECT_EQ(dlg->ChosenStep(), dlg->Root()->Child(3));
    EXPECT_FALSE(dlg->BtnZurueck->isEnabled());

    dlg->BtnWeiter->click();
    dlg->BtnZurueck->click();
    EXPECT_EQ(dlg->lbSteps->currentRow(), 3);

    // A leaf reads "OK".
    Select(*dlg, 1);
    EXPECT_EQ(dlg->BtnWeiter->text(), QStringLiteral("OK"));
}

// For every product of the tree, the document the wizard builds is the
// catalogue's own, with the wizard's name.
TEST(DateiNeuDlg, BuildsEveryProductOfTheTree)
{
    struct Case {
        int Row, Child;
        void (*Setup)(TFBDocument*, int);
        int Pages;
        const char* Key;     // Default text the name starts with; null: the catalogue's name stays
        const char* Suffix;
    };
    const Case cases[] = {
        {0, 0, SetupPocketBookletFullsize, 32, "PocketBooklet", ""},
        {0, 1, SetupPocketBookletBorder, 32, "PocketBooklet", ""},
        {1, -1, SetupPhotobook46, 32, nullptr, ""},
        {2, -1, SetupSingles10x15, 50, "10x15 singles", ""},
        {3, 0, SetupPhotobook85Tradition, 24, "Photobook 8:5", " - Tradition"},
        {3, 1, SetupPhotobook85Horizon, 24, "Photobook 8:5", " - Horizon"},
        {3, 2, SetupPhotobook85Verticon, 24, "Photobook 8:5", " - Verticon"},
        {4, 0, SetupPhotobook85RandlosFullpage, 24, "Photobook 8:5", " \x96 Fullsize"},
        {4, 1, SetupPhotobook85RandlosTradition, 24, "Photobook 8:5", " - Tradition"},
        {4, 2, SetupPhotobook85RandlosHorizon, 24, "Photobook 8:5", " - Horizon"},
        {4, 3, SetupPhotobook85RandlosVerticon, 24, "Photobook 8:5", " - Verticon"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Row << "/" << c.Child);
        TFBDocument built;
        SetupDefaultDocument(&built);
        const int result = RunWizard(built, [&](TDateiNeuDlg& D) {
            Select(D, c.Row);
            D.BtnWeiter->click();
            if (c.Child >= 0) {
                Select(D, c.Child);
                D.BtnWeiter->click();
            }
        });
        EXPECT_EQ(result, 1);
        TFBDocument expected;
        c.Setup(&expected, c.Pages);
        if (c.Key)
            expected.Dokumentname = toAnsi(LocalizedDefaultString(QString::fromLatin1(c.Key))) + c.Suffix;
        EXPECT_EQ(built.Pages.Count(), expected.Pages.Count());
        EXPECT_EQ(built.Dokumentname, expected.Dokumentname);
        EXPECT_TRUE(Bytes(built) == Bytes(expected));
    }
}

TEST(DateiNeuDlg, DoubleClickOnALeafBuildsAtOnce)
{
    TFBDocument doc;
    const int result = RunWizard(doc, [](TDateiNeuDlg& D) {
        Select(D, 1);
        emit D.lbSteps->itemDoubleClicked(D.lbSteps->item(1));
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(doc.Pages.Count(), 32);
}

TEST(DateiNeuDlg, CancelAndOpenLeaveTheDocument)
{
    TFBDocument doc;
    SetupDefaultDocument(&doc);
    const std::string before = Bytes(doc);
    EXPECT_EQ(RunWizard(doc, [](TDateiNeuDlg& D) { D.BtnAbbrechen->click(); }), 2);
    EXPECT_EQ(RunWizard(doc, [](TDateiNeuDlg& D) { static_cast<QDialog&>(D).reject(); }), 2);
    EXPECT_EQ(RunWizard(doc, [](TDateiNeuDlg& D) { D.BtnDateiOeffnen->click(); }), TDateiNeuDlg::mrDateiOeffnen);
    // Codes without a product build nothing and leave the dialog open.
    EXPECT_EQ(RunWizard(doc,
                        [](TDateiNeuDlg& D) {
                            for (int code : {0, -1, 5, 122, 1000})
                                D.Build(code);
                        }),
              0);
    EXPECT_TRUE(Bytes(doc) == before);
}

TEST(DateiNeuDlg, BuildsProductsOutsideTheTreeByCode)
{
    struct Case {
        int Code;
        void (*Setup)(TFBDocument*, int);
        int Arg;
    };
    const Case cases[] = {{22, SetupSingles13x18, 50},       {52, SetupPhotobook86Horizon, 24},
                          {81, SetupDINA4, 30},              {104, SetupOrvaneFlaschenetikett, 20},
                          {121, SetupPhotobookProRandlosHorizon, 40}, {71, SetupKalenderA5PictureLeft, 2027}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Code);
        TFBDocument doc;
        EXPECT_EQ(RunWizard(doc,
                            [&](TDateiNeuDlg& D) {
                                TWizzardStep* step = D.Root()->AddChild();
                                step->ProductCode = c.Code;
                                step->Value = QStringLiteral("2027");
                                D.ShowChoice(step);
                                D.Build(c.Code);
                            }),
                  1);
        TFBDocument expected;
        c.Setup(&expected, c.Arg);
        EXPECT_TRUE(Bytes(doc) == Bytes(expected));
    }
}

namespace {

// The catalogue routine and the count (or year) the wizard builds each code with.
struct TProduct {
    int Code;
    void (*Setup)(TFBDocument*, int);
    int Arg;  // 0: the calendar's year
};
const TProduct Products[] = {
    {1, SetupPocketBookletFullsize, 32},        {2, SetupPocketBookletBorder, 32},
    {11, SetupPhotobook46, 32},                 {21, SetupSingles10x15, 50},
    {22, SetupSingles13x18, 50},                {31, SetupPhotobook85Tradition, 24},
    {32, SetupPhotobook85Horizon, 24},          {33, SetupPhotobook85Verticon, 24},
    {41, SetupPhotobook85RandlosTradition, 24}, {42, SetupPhotobook85RandlosHorizon, 24},
    {43, SetupPhotobook85RandlosVerticon, 24},  {44, SetupPhotobook85RandlosFullpage, 24},
    {51, SetupPhotobook86Tradition, 24},        {52, SetupPhotobook86Horizon, 24},
    {53, SetupPhotobook86Verticon, 24},         {61, SetupKalenderA4PictureBottom, 0},
    {62, SetupKalenderA4PictureTop, 0},         {63, SetupKalenderA4StripBottom, 0},
    {64, SetupKalenderA4StripRight, 0},         {71, SetupKalenderA5PictureLeft, 0},
    {72, SetupKalenderA5SevenPictures, 0},      {73, SetupKalenderA5StripBottom, 0},
    {81, SetupDINA4, 30},                       {82, SetupDINA4Randlos, 30},
    {101, SetupPhotobinding10x15, 30},          {102, SetupLabels3C10x15, 20},
    {103, SetupLabels3C9x13, 20},               {104, SetupOrvaneFlaschenetikett, 20},
    {120, SetupPhotobookProHorizon, 40},        {121, SetupPhotobookProRandlosHorizon, 40},
};

// The rows that lead from the root to every leaf, with the leaf's code.
void CollectLeaves(const TWizzardStep* Step, std::vector<int>& Path, std::vector<std::pair<std::vector<int>, int>>& Leaves)
{
    for (int i = 0; i < Step->ChildCount(); ++i) {
        Path.push_back(i);
        const TWizzardStep* c = Step->Child(i);
        if (c->ChildCount() > 0)
            CollectLeaves(c, Path, Leaves);
        else
            Leaves.emplace_back(Path, c->ProductCode);
        Path.pop_back();
    }
}

}  // namespace

// Every product of the catalogue is one leaf of the tree, reached by the
// wizard's own steps; a calendar takes the year entered for it.
TEST(DateiNeuDlg, EveryLeafBuildsItsProduct)
{
    std::vector<std::pair<std::vector<int>, int>> leaves;
    {
        std::unique_ptr<TDateiNeuDlg> dlg(TLocalizerForm::create<TDateiNeuDlg>(nullptr));
        std::vector<int> path;
        CollectLeaves(dlg->Root(), path, leaves);
    }
    std::vector<int> codes;
    for (const auto& leaf : leaves)
        codes.push_back(leaf.second);
    std::vector<int> expectedCodes;
    for (const TProduct& p : Products)
        expectedCodes.push_back(p.Code);
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, expectedCodes);

    const int nextYear = QDate::currentDate().year() + 1;
    for (const auto& [path, code] : leaves) {
        SCOPED_TRACE(code);
        const TProduct& product = *std::find_if(std::begin(Products), std::end(Products),
                                                [code = code](const TProduct& P) { return P.Code == code; });
        const bool calendar = product.Arg == 0;
        // Calendars: the first of each layout list keeps next year, the others get one entered.
        const int year = calendar && path.back() > 0 ? 2031 + path.back() : nextYear;
        TFBDocument built;
        SetupDefaultDocument(&built);
        const int result = RunWizard(built, [&, &path = path](TDateiNeuDlg& D) {
            for (size_t i = 0; i < path.size(); ++i) {
                Select(D, path[i]);
                EXPECT_EQ(D.panJahr->isVisibleTo(&D), calendar && i + 1 == path.size());
                if (i + 1 == path.size() && calendar) {
                    EXPECT_EQ(D.edJahr->value(), nextYear);
                    D.edJahr->setValue(year);
                    EXPECT_EQ(D.ChosenStep()->Value, QString::number(year));
                }
                D.BtnWeiter->click();
            }
        });
        ASSERT_EQ(result, 1);
        TFBDocument expected;
        product.Setup(&expected, calendar ? year : product.Arg);
        expected.Dokumentname = built.Dokumentname;  // the wizard's own names are tested above
        EXPECT_GT(built.Pages.Count(), 0);
        EXPECT_TRUE(Bytes(built) == Bytes(expected));

        if (!calendar)
            continue;
        // The calendar panel and both calendar dialogs open on the result.
        auto* element = dynamic_cast<TFBKalenderElement*>(built.Pages.GetPage(0)->Calendars.GetItem(0));
        ASSERT_NE(element, nullptr);
        EXPECT_EQ(element->KalenderData->Jahr(), year);
        QWidget tab;
        TSFormKalender* panel = TSubForm::CreateOn<TSFormKalender>(&tab);
        panel->SetElement(element);
        EXPECT_EQ(panel->lblJahr->text(), QString::number(year));
        QStringList opened;
        ShowModalHook = [&](QDialog& D) {
            opened.append(QString::fromLatin1(D.metaObject()->className()) + QLatin1Char(':') + D.objectName());
            return 2;
        };
        panel->BtnBearbeitenClick();
        panel->BtnFeiertageGeburtstageClick();
        ShowModalHook = nullptr;
        EXPECT_EQ(opened.size(), 2) << opened.join(' ').toStdString();
    }
}

// A calendar code built without a year of its own takes next year.
TEST(DateiNeuDlg, CalendarWithoutAYearTakesNextYear)
{
    TFBDocument doc;
    EXPECT_EQ(RunWizard(doc, [](TDateiNeuDlg& D) { D.Build(62); }), 1);
    TFBDocument expected;
    SetupKalenderA4PictureTop(&expected, QDate::currentDate().year() + 1);
    EXPECT_TRUE(Bytes(doc) == Bytes(expected));
}
