#include <gtest/gtest.h>

#include "Classes.h"
#include "FDateiNeuDlg.h"
#include "uDataFile.h"
#include "uFotobuchDocument.h"
#include "uFotobuchSetup.h"
#include "uModalDialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QApplication>

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
                                                dlg->Root()->Child(3)->Name + QStringLiteral(" Randlos")}));
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
                        {0, "WIZ_PHOTOBOOK_8_5_TRADITION", 3}, {0, "WIZ_PHOTOBOOK_8_5_FULLSIZE_R", 4}};
    ASSERT_EQ(root->ChildCount(), 5);
    for (int i = 0; i < 5; ++i) {
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
