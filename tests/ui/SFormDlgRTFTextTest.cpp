// The text panel in the main window: bound to the focused text box, it writes
// every change of the editor into the box's rich text, which the page draws
// with its own drawer; the edit menu serves the editor while it has the focus.
#include "Canvas.h"
#include "FMainform.h"
#include "PageViewFixture.h"
#include "QwColorPopupButton.h"
#include "RtFont.h"
#include "RtUndo.h"
#include "RichText.h"
#include "RtActionTexts.h"
#include "RtDialogTexts.h"
#include "RtFindDialog.h"
#include "SFormDlgRTFText.h"
#include "WVLTBComboBox.h"
#include "uDefaultwerte.h"
#include "uHSLUtil.h"
#include "uModalDialog.h"
#include "uRTFDrawer.h"
#include "uUndo.h"

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// The box's text as its page drawer holds it (UTF-8), paragraphs as "\n".
std::string DrawnText(const TFBTextElement* E)
{
    std::string s;
    for (int i = 0; i < E->Drawer->TokenCount(); ++i) {
        const TRTFToken& t = *E->Drawer->GetToken(i);
        if (t.Kind == rtkParagraph)
            s += "\n";
        else if (t.Kind == rtkWord || t.Kind == rtkSpace)
            s += fromAnsi(t.Text).toStdString();
    }
    return s;
}

// The first word run of the box.
const TRTFToken* FirstWord(const TFBTextElement* E)
{
    for (int i = 0; i < E->Drawer->TokenCount(); ++i)
        if (E->Drawer->GetToken(i)->Kind == rtkWord)
            return E->Drawer->GetToken(i);
    return nullptr;
}

// Puts the factory settings of new text back (they are the program's, not the test's).
struct DefaultsGuard {
    ~DefaultsGuard()
    {
        DefaultWerte().Font->SetName("Arial");
        DefaultWerte().Font->SetSize(12);
        DefaultWerte().Font->SetStyle(0);
        DefaultWerte().Font->SetColor(clBlack);
        DefaultWerte().HasShadow = true;
    }
};

struct TextWindow {
    DefaultsGuard Defaults;
    std::unique_ptr<TMaster> M;
    TSFormDlgRTFText* Panel;

    TextWindow()
    {
        ShowModalHook = [](QDialog& D) {
            D.setResult(QDialog::Rejected);
            return D.result();
        };
        M.reset(TLocalizerForm::create<TMaster>(nullptr));
        M->AskSaveHook = [](const QString&) { return int(QMessageBox::No); };
        M->resize(1100, 800);
        M->show();
        M->activateWindow();
        QApplication::processEvents();
        Panel = M->SFormDlgRTFText;
    }
    ~TextWindow()
    {
        M.reset();
        GetUndoManager().Clear();
        ShowModalHook = nullptr;
    }

    // Inserts a text box as the tool button does and gives the editor the focus.
    TFBTextElement* NewBox()
    {
        M->BtnTextEinfuegenClick();
        auto* box = dynamic_cast<TFBTextElement*>(M->MainView()->FocusedElement());
        FocusEditor();
        return box;
    }
    void FocusEditor()
    {
        Panel->rtf->setFocus();
        QApplication::processEvents();
    }
    void Type(const QString& S)
    {
        for (QChar c : S) {
            const int key = c == u'\t'             ? int(Qt::Key_Tab)
                            : c.unicode() < 128 ? int(c.toUpper().unicode())
                                                : int(Qt::Key_unknown);
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
            QApplication::sendEvent(Panel->rtf, &press);
            QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
            QApplication::sendEvent(Panel->rtf, &release);
        }
        QApplication::processEvents();
    }
    void SelectAll()
    {
        Panel->rtf->SelectAll();
        QApplication::processEvents();
    }
    QImage Page()
    {
        M->MainView()->repaint();
        return M->MainView()->grab().toImage();
    }
    // The view's pixels of the box (with its shadow's margin).
    QRect BoxPixels(const TFBTextElement* E)
    {
        const QPoint a = pvtest::PagePixel(*M->MainView(), *M->Document(), E->Page, E->CenterX - E->Width / 2 - 1.5f,
                                           E->CenterY - E->Height / 2 - 1.5f);
        const QPoint b = pvtest::PagePixel(*M->MainView(), *M->Document(), E->Page, E->CenterX + E->Width / 2 + 1.5f,
                                           E->CenterY + E->Height / 2 + 1.5f);
        return QRect(a, b).normalized().adjusted(-1, -1, 1, 1);
    }
};

// The rectangle of the pixels that differ; empty when none.
QRect Changed(const QImage& A, const QImage& B)
{
    QRect r;
    for (int y = 0; y < std::min(A.height(), B.height()); ++y)
        for (int x = 0; x < std::min(A.width(), B.width()); ++x)
            if (A.pixel(x, y) != B.pixel(x, y))
                r |= QRect(x, y, 1, 1);
    return r;
}

}  // namespace

TEST(SFormDlgRTFText, TypingPutsTheTextIntoTheBoxAndOntoThePage)
{
    TextWindow w;
    TFBTextElement* box = w.NewBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(w.Panel->Element(), box);
    EXPECT_EQ(w.M->pagecontrolBottom->currentWidget(), w.M->tsText);
    EXPECT_EQ(w.Panel->parentWidget(), w.M->tsText);
    EXPECT_FALSE(box->NewText);
    // A new box starts with the defaults of new text: Arial 12 with shadow.
    EXPECT_TRUE(box->HasShadow());
    EXPECT_EQ(w.Panel->rtf->GetCurrentFont()->Name(), "Arial");
    EXPECT_EQ(w.Panel->FSizeCombo->currentText(), "12");

    const QImage before = w.Page();
    w.M->Document()->Modified = false;
    w.Type(QString::fromUtf8("Grüße aus Köln"));
    EXPECT_EQ(DrawnText(box), "Grüße aus Köln");
    EXPECT_TRUE(w.M->Document()->Modified);
    const TRTFToken* word = FirstWord(box);
    ASSERT_TRUE(word);
    EXPECT_EQ(word->FontName, "Arial");
    EXPECT_EQ(word->Size, 12);
    const QRect changed = Changed(before, w.Page());
    EXPECT_FALSE(changed.isEmpty());
    EXPECT_TRUE(w.BoxPixels(box).contains(changed)) << changed.x() << "," << changed.y() << " "
                                                    << changed.width() << "x" << changed.height();

    // A line break reaches the page as one.
    QKeyEvent ret(QEvent::KeyPress, Qt::Key_Return, Qt::ShiftModifier, "\r");
    QApplication::sendEvent(w.Panel->rtf, &ret);
    w.Type(QStringLiteral("Tag"));
    EXPECT_EQ(DrawnText(box), "Grüße aus Köln\nTag");

    // The editor's own undo and redo write back the same way.
    pvtest::Key(*w.Panel->rtf, Qt::Key_Z, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(DrawnText(box).find("Tag"), std::string::npos) << DrawnText(box);
    pvtest::Key(*w.Panel->rtf, Qt::Key_Y, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(DrawnText(box), "Grüße aus Köln\nTag");
}

// A text box has no page margins: the editor shows its text from its left edge
// and wraps it inside its width.
TEST(SFormDlgRTFText, TextFillsTheEditorsWidth)
{
    TextWindow w;
    ASSERT_TRUE(w.NewBox());
    w.Type(QStringLiteral("Wir wandern am Rhein entlang und sehen die Burgen auf den Felsen, "
                          "die Schiffe auf dem Fluss und die Weinberge an den Hängen."));
    TRtRTFTextInput* e = w.Panel->rtf->RtfText();
    ASSERT_TRUE(e->FirstPar->Lines && e->FirstPar->Lines->Next) << "the text wraps";
    const QImage img = w.Panel->rtf->viewport()->grab().toImage();
    int left = img.width(), right = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 100) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    EXPECT_LT(left, 8);
    EXPECT_GT(right, img.width() / 2);
    EXPECT_LT(right, img.width() - 1);
    // A family that is not installed shows no name in the font box, as in the
    // calendar dialog, and the text keeps it.
    if (!w.Panel->FFontCombo->FontList.contains(QStringLiteral("Arial"))) {
        EXPECT_EQ(w.Panel->FFontCombo->currentIndex(), -1);
        EXPECT_EQ(w.Panel->rtf->GetCurrentFont()->Name(), "Arial");
    }
}

TEST(SFormDlgRTFText, EveryControlChangesTheBoxAndThePage)
{
    TextWindow w;
    TFBTextElement* box = w.NewBox();
    w.Type(QStringLiteral("Hallo Welt"));
    TSFormDlgRTFText* p = w.Panel;
    p->ColorDialogHook = [](TColor& C) {
        C = RGB(0, 128, 0);
        return true;
    };
    struct Step {
        const char* Name;
        std::function<void()> Act;
        std::function<bool()> Done;
    };
    const std::vector<Step> steps = {
        {"bold", [&] { p->BtnFett->click(); }, [&] { return FirstWord(box)->Style == fsBold; }},
        {"italic", [&] { p->BtnKursiv->click(); }, [&] { return FirstWord(box)->Style == (fsBold | fsItalic); }},
        {"underline", [&] { p->BtnUnderline->click(); },
         [&] { return FirstWord(box)->Style == (fsBold | fsItalic | fsUnderline); }},
        {"bold off", [&] { p->BtnFett->click(); }, [&] { return FirstWord(box)->Style == (fsItalic | fsUnderline); }},
        {"font",
         [&] {
             p->FFontCombo->SelectFontName("Liberation Serif");
             p->FontComboChange();
         },
         [&] { return FirstWord(box)->FontName == "Liberation Serif"; }},
        {"size",
         [&] {
             p->FSizeCombo->setCurrentIndex(p->FSizeCombo->findText("24"));
             p->SizeComboChange();
         },
         [&] { return FirstWord(box)->Size == 24; }},
        {"colour", [&] { p->ColorButtonColorChange(RGB(200, 0, 0)); },
         [&] { return FirstWord(box)->Color == RGB(200, 0, 0); }},
        {"more colours", [&] { p->ColorButtonMenuClick(crMoreColor); },
         [&] { return FirstWord(box)->Color == RGB(0, 128, 0) && p->FColorButton->Color() == RGB(0, 128, 0); }},
        {"shadow off", [&] { p->BtnSchatten->click(); }, [&] { return !box->HasShadow(); }},
        {"centred", [&] { p->tbBtnCenter->click(); }, [&] { return box->HorzAlign == 1; }},
        {"right", [&] { p->tbBtnRight->click(); }, [&] { return box->HorzAlign == 2; }},
        {"justified", [&] { p->tbBtnHFull->click(); }, [&] { return box->HorzAlign == 3; }},
        {"bottom", [&] { p->tbBtnVBottom->click(); }, [&] { return box->VertAlign == 2; }},
        {"middle", [&] { p->tbBtnVCenter->click(); }, [&] { return box->VertAlign == 1; }},
    };
    for (const Step& s : steps) {
        w.SelectAll();
        const QImage before = w.Page();
        w.M->Document()->Modified = false;
        s.Act();
        QApplication::processEvents();
        EXPECT_TRUE(s.Done()) << s.Name;
        EXPECT_TRUE(w.M->Document()->Modified) << s.Name;
        EXPECT_NE(before, w.Page()) << s.Name;
        EXPECT_EQ(DrawnText(box), "Hallo Welt") << s.Name;
    }
    // The editor's attributes show in the controls.
    w.SelectAll();
    p->rtfCharacterAttrChange(p->rtf->GetSetModeControl());
    EXPECT_FALSE(p->BtnFett->isChecked());
    EXPECT_TRUE(p->BtnKursiv->isChecked());
    EXPECT_TRUE(p->BtnUnderline->isChecked());
    EXPECT_EQ(p->FSizeCombo->currentText(), "24");

    // The next new box starts with the last choices.
    TFBTextElement* next = w.NewBox();
    ASSERT_NE(next, box);
    EXPECT_FALSE(next->HasShadow());
    EXPECT_TRUE(p->BtnKursiv->isChecked());
    EXPECT_EQ(p->FSizeCombo->currentText(), "24");
    w.Type(QStringLiteral("Neu"));
    const TRTFToken* word = FirstWord(next);
    ASSERT_TRUE(word);
    EXPECT_EQ(word->Style, fsItalic | fsUnderline);
    EXPECT_EQ(word->Size, 24);
    EXPECT_EQ(word->FontName, "Liberation Serif");
    EXPECT_EQ(word->Color, RGB(0, 128, 0));

    // Binding a box that holds text keeps its attributes.
    w.M->MainView()->SetFocusedElement(box);
    EXPECT_EQ(p->Element(), box);
    EXPECT_EQ(FirstWord(box)->Size, 24);
    EXPECT_TRUE(p->tbBtnHFull->isChecked());
    EXPECT_TRUE(p->tbBtnVCenter->isChecked());
    EXPECT_FALSE(p->BtnSchatten->isChecked());
}

TEST(SFormDlgRTFText, UndoAfterAButtonTakesBackTheButtonOnly)
{
    TextWindow w;
    TFBTextElement* box = w.NewBox();
    w.Type(QStringLiteral("Hallo Welt"));
    TSFormDlgRTFText* p = w.Panel;
    const std::vector<std::pair<const char*, std::function<void()>>> commands = {
        {"bold", [&] { p->BtnFett->click(); }},
        {"size",
         [&] {
             p->FSizeCombo->setCurrentIndex(p->FSizeCombo->findText("24"));
             p->SizeComboChange();
         }},
        {"colour", [&] { p->ColorButtonColorChange(RGB(200, 0, 0)); }},
    };
    for (const auto& [name, act] : commands) {
        SCOPED_TRACE(name);
        w.SelectAll();
        const TRTFToken before = *FirstWord(box);
        act();
        QApplication::processEvents();
        w.FocusEditor();
        pvtest::Key(*w.Panel->rtf, Qt::Key_Z, Qt::ControlModifier);
        QApplication::processEvents();
        ASSERT_EQ(DrawnText(box), "Hallo Welt");
        EXPECT_EQ(FirstWord(box)->Style, before.Style);
        EXPECT_EQ(FirstWord(box)->Size, before.Size);
        EXPECT_EQ(FirstWord(box)->Color, before.Color);
    }
}

TEST(SFormDlgRTFText, SizeComboTakesOnlyNumbers)
{
    TextWindow w;
    TFBTextElement* box = w.NewBox();
    w.Type(QStringLiteral("Text"));
    w.SelectAll();
    const AnsiString rtf = box->Drawer->RTFText();
    for (const char* text : {"abc", "", "0", "-5", "99999"}) {
        w.Panel->FSizeCombo->setEditText(QString::fromLatin1(text));
        EXPECT_NO_THROW(w.Panel->SizeComboChange()) << text;
        EXPECT_EQ(box->Drawer->RTFText(), rtf) << text;
    }
    // Only digits reach the combo; Enter hands the focus to the editor.
    for (char16_t key : {u'a', u'-', u' ', u'.'}) {
        char16_t k = key;
        w.Panel->SizeComboKeyPress(k);
        EXPECT_EQ(k, 0);
    }
    for (char16_t key : {u'7', u'0', char16_t(8), char16_t(1)}) {
        char16_t k = key;
        w.Panel->SizeComboKeyPress(k);
        EXPECT_EQ(k, key);
    }
    w.Panel->FSizeCombo->setFocus();
    char16_t enter = 13;
    w.Panel->SizeComboKeyPress(enter);
    EXPECT_EQ(enter, 0);
    EXPECT_TRUE(w.Panel->rtf->hasFocus());
}

TEST(SFormDlgRTFText, VeryLightTextIsShownDarkerButStoredUnchanged)
{
    TextWindow w;
    TCanvas canvas;
    struct Case {
        TColor In;
        bool Darkened;
    } cases[] = {{clWhite, true}, {RGB(240, 250, 255), true}, {RGB(200, 0, 0), false}, {clBlack, false}};
    for (const Case& c : cases) {
        canvas.Font().SetColor(c.In);
        w.Panel->rtfGetAttrColor(&canvas);
        TRGBHSL shown(canvas.Font().Color());
        if (c.Darkened)
            EXPECT_NEAR(shown.GetLightness(), TSFormDlgRTFText::MaxDisplayLightness, 0.01) << std::hex << c.In;
        else
            EXPECT_EQ(canvas.Font().Color(), c.In);
    }

    // White text in a box: the editor paints no white glyphs, the box keeps white.
    TFBTextElement* box = pvtest::AddText(w.M->Document()->Pages.GetPage(0), 100, 75, 120, 40);
    box->Drawer->SetRTFText("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green255\\blue255;}"
                            "\\plain\\f0\\fs48\\cf1 WWWW\\par}");
    w.M->MainView()->SetFocusedElement(box);
    // The selection would paint in its own colours.
    w.FocusEditor();
    pvtest::Key(*w.Panel->rtf, Qt::Key_End, Qt::ControlModifier);
    w.Panel->rtf->repaint();
    const QImage shot = w.Panel->rtf->viewport()->grab().toImage();
    int grey = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            if (c.red() < 235 && std::abs(c.red() - c.green()) < 8 && std::abs(c.red() - c.blue()) < 8)
                ++grey;
        }
    EXPECT_GT(grey, 50);
    EXPECT_EQ(FirstWord(box)->Color, clWhite);
    EXPECT_NE(box->Drawer->RTFText().find("\\red255\\green255\\blue255"), AnsiString::npos);
}

TEST(SFormDlgRTFText, PastedLinksAndHiddenTextAreFiltered)
{
    TextWindow w;
    TFBTextElement* box = w.NewBox();
    w.Type(QStringLiteral("Start "));
    auto* data = new QMimeData;
    data->setData("text/rtf", "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue255;\\red200\\green0\\blue0;}"
                              "\\plain\\f0\\fs24 vor \\cf1\\ul Link\\plain\\f0\\fs24  {\\v versteckt}"
                              "\\cf2\\ul rot\\plain\\f0\\fs24  "
                              "{\\field{\\*\\fldinst HYPERLINK \"http://lumiseite.de/\"}{\\fldrslt Netz}} nach\\par}");
    QGuiApplication::clipboard()->setMimeData(data);
    w.FocusEditor();
    w.M->mnuBearbeitenEinfuegenClick();
    QApplication::processEvents();
    // The pasted paragraph end follows the text.
    EXPECT_EQ(DrawnText(box), "Start vor Link rot Netz nach\n");
    const AnsiString rtf = box->Drawer->RTFText();
    // Hidden text is dropped, links become plain text.
    EXPECT_EQ(rtf.find("versteckt"), AnsiString::npos);
    EXPECT_EQ(rtf.find("HYPERLINK"), AnsiString::npos);
    // Only the red word keeps its underline.
    int underlined = 0;
    for (int i = 0; i < box->Drawer->TokenCount(); ++i) {
        const TRTFToken& t = *box->Drawer->GetToken(i);
        if (t.Kind != rtkWord)
            continue;
        if (t.Text == "Link") {
            EXPECT_EQ(t.Style & fsUnderline, 0);
            EXPECT_EQ(t.Color, clBlack);
        }
        if (t.Style & fsUnderline) {
            ++underlined;
            EXPECT_EQ(t.Text, "rot");
        }
    }
    EXPECT_EQ(underlined, 1);

    // Pictures are not pasted.
    auto* picture = new QMimeData;
    QImage img(40, 30, QImage::Format_RGB32);
    img.fill(Qt::red);
    picture->setImageData(img);
    QGuiApplication::clipboard()->setMimeData(picture);
    w.FocusEditor();
    w.M->mnuBearbeitenEinfuegenClick();
    QApplication::processEvents();
    EXPECT_EQ(box->Drawer->RTFText(), rtf);
}

TEST(SFormDlgRTFText, EditMenuServesTheEditorWhileItHasTheFocus)
{
    TextWindow w;
    TFBTextElement* box = w.NewBox();
    w.Type(QString::fromUtf8("Köln"));
    w.SelectAll();
    w.FocusEditor();
    w.M->mnuBearbeitenClick();
    EXPECT_TRUE(w.M->mnuBearbeitenAusschneiden->isEnabled());
    EXPECT_TRUE(w.M->mnuBearbeitenKopieren->isEnabled());
    EXPECT_TRUE(w.M->mnuBearbeitenEinfuegen->isEnabled());
    EXPECT_TRUE(w.M->mnuRueckgaengig->isEnabled());
    w.M->AppIdle();
    EXPECT_TRUE(w.M->BtnRueckgaengig->isEnabled());

    const int undoItems = GetUndoManager().Count();
    w.M->mnuBearbeitenKopierenClick();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->hasFormat("text/rtf"));
    EXPECT_EQ(data->text(), QString::fromUtf8("Köln"));
    w.M->mnuBearbeitenAusschneidenClick();
    EXPECT_EQ(DrawnText(box), "");
    w.M->mnuBearbeitenEinfuegenClick();
    EXPECT_EQ(DrawnText(box), "Köln");
    w.M->mnuRueckgaengigClick();
    EXPECT_EQ(DrawnText(box), "");
    // The page's undo stack was not touched.
    EXPECT_EQ(GetUndoManager().Count(), undoItems);

    // The album's shortcuts stay the window's; the editor keeps its own keys.
    for (auto [key, editor] : {std::pair{Qt::Key_S, false}, std::pair{Qt::Key_N, false}, std::pair{Qt::Key_O, false},
                               std::pair{Qt::Key_P, false}, std::pair{Qt::Key_Z, true}, std::pair{Qt::Key_V, true}}) {
        QKeyEvent over(QEvent::ShortcutOverride, key, Qt::ControlModifier);
        over.ignore();
        QApplication::sendEvent(w.Panel->rtf, &over);
        EXPECT_EQ(over.isAccepted(), editor) << key;
    }

    // With the page view focused the menu serves the page again.
    w.M->MainView()->setFocus();
    QApplication::processEvents();
    w.M->mnuBearbeitenClick();
    EXPECT_EQ(w.M->mnuBearbeitenKopieren->isEnabled(), w.M->MainView()->CanCopy());
}

TEST(SFormDlgRTFText, FormattedBoxesSurviveSavingAndOpening)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("text.zpb");
    TextWindow w;
    TFBTextElement* a = w.NewBox();
    w.Type(QString::fromUtf8("Grüße aus Köln"));
    w.SelectAll();
    w.Panel->BtnFett->click();
    w.Panel->ColorButtonColorChange(RGB(0, 0, 200));
    w.Panel->tbBtnCenter->click();
    a->CenterY = 40;
    TFBTextElement* b = w.NewBox();
    w.Type(QStringLiteral("Zweite Zeile"));
    w.SelectAll();
    w.Panel->BtnKursiv->click();
    w.Panel->FSizeCombo->setEditText("20");
    w.Panel->SizeComboChange();
    w.Panel->tbBtnVBottom->click();
    b->CenterY = 110;
    w.M->MainView()->SetFocusedElement(nullptr);
    const AnsiString rtfA = a->Drawer->RTFText(), rtfB = b->Drawer->RTFText();
    const QImage page = w.Page();

    w.M->SaveDialogHook = [&] { return file; };
    ASSERT_TRUE(w.M->BtnAlbumSpeichernClick());
    w.M->BtnSchliessenClick();
    w.M->OpenDocument(file);
    QApplication::processEvents();
    TFBPage* p = w.M->Document()->Pages.GetPage(0);
    ASSERT_EQ(p->Elements.Count(), 2);
    auto* a2 = dynamic_cast<TFBTextElement*>(p->Elements.GetItem(0));
    auto* b2 = dynamic_cast<TFBTextElement*>(p->Elements.GetItem(1));
    ASSERT_TRUE(a2 && b2);
    EXPECT_EQ(a2->Drawer->RTFText(), rtfA);
    EXPECT_EQ(b2->Drawer->RTFText(), rtfB);
    EXPECT_EQ(DrawnText(a2), "Grüße aus Köln");
    EXPECT_EQ(FirstWord(a2)->Style, fsBold);
    EXPECT_EQ(FirstWord(a2)->Color, RGB(0, 0, 200));
    EXPECT_EQ(a2->HorzAlign, 1);
    EXPECT_EQ(FirstWord(b2)->Size, 20);
    EXPECT_EQ(b2->VertAlign, 2);
    EXPECT_TRUE(a2->HasShadow());
    EXPECT_EQ(Changed(page, w.Page()), QRect());

    // Binding the reopened box and leaving it untouched changes nothing.
    w.M->Document()->Modified = false;
    w.M->MainView()->SetFocusedElement(a2);
    EXPECT_EQ(a2->Drawer->RTFText(), rtfA);
    EXPECT_FALSE(w.M->Document()->Modified);
}

TEST(SFormDlgRTFText, EditorTextsFollowTheLanguage)
{
    TextWindow w;
    struct Case {
        QAction* Entry;
        const char *Bold, *NotFound, *Hint, *Caption, *Replace, *AllPages;
    };
    const Case cases[] = {
        {w.M->mnuSpracheEnglisch, "Bold", "Text not found", "Shadow", "Edit text", "Replace", "All pages"},
        {w.M->mnuSpracheFranzoesisch, "Gras", "Texte introuvable", "Ombre", "Modifier le texte", "Remplacer",
         "Toutes les pages"},
        {w.M->mnuSpracheItalienisch, "Grassetto", "Testo non trovato", "Ombra", "Modifica testo", "Sostituisci",
         "Tutte le pagine"},
        {w.M->mnuSpracheSpanisch, "Negrita", "Texto no encontrado", "Sombra", "Editar texto", "Reemplazar",
         "Todas las páginas"},
        {w.M->mnuSpracheHollaendisch, "Vet", "Tekst niet gevonden", "Schaduw", "Tekst bewerken", "Vervangen",
         "Alle pagina's"},
        {w.M->mnuSpracheDeutsch, "Fett", "Text nicht gefunden", "Schatten", "Text bearbeiten", "Ersetzen",
         "Alle Seiten"},
    };
    // A dialog that exists before the switch takes the new texts too.
    TRtFindDialog* replace = TRtFindDialog::Shared(true);
    Localizer().SetSupportedLanguages(0x21F);
    for (const Case& c : cases) {
        c.Entry->trigger();
        SCOPED_TRACE(Localizer().LanguageIndex());
        AnsiString caption, hint;
        ASSERT_TRUE(FindRtActionText(256, 2, caption, hint));
        EXPECT_EQ(fromAnsi(caption), QString::fromUtf8(c.Bold));
        EXPECT_EQ(fromAnsi(hint), QString::fromUtf8(c.Bold));
        EXPECT_EQ(fromAnsi(GetRtUIString(meTextNotFound)), QString::fromUtf8(c.NotFound));
        EXPECT_EQ(w.Panel->BtnSchatten->toolTip(), QString::fromUtf8(c.Hint));
        EXPECT_EQ(w.Panel->windowTitle(), QString::fromUtf8(c.Caption));
        // The editor's own dialogs: every text in the language file, the replace dialog refreshed.
        QFile file(QStringLiteral(":/lang/%1.lng").arg(100 + Localizer().LanguageIndex()));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        ASSERT_TRUE(bytes.startsWith("\xFF\xFE"));
        const QString lng = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2),
                                               (bytes.size() - 2) / 2);
        for (int t = 0; t < RtDialogTextCount; ++t)
            EXPECT_TRUE(lng.contains(QStringLiteral("\r\nRtDialog/%1=").arg(RtDialogTextName(TRtDialogText(t)))))
                << RtDialogTextName(TRtDialogText(t));
        EXPECT_EQ(replace->windowTitle(), QString::fromUtf8(c.Replace));
        EXPECT_EQ(RtDialogString(dtAllPages), QString::fromUtf8(c.AllPages));
        // The bold button shows the language's own glyph.
        EXPECT_EQ(w.Panel->BtnFett->icon().pixmap(Localizer().GetBoldGlyph().size()).toImage().convertToFormat(
                      QImage::Format_ARGB32),
                  Localizer().GetBoldGlyph().convertToFormat(QImage::Format_ARGB32));
    }
    Localizer().SetSupportedLanguages(0x217);
}

// What the editor writes, the page drawer reads: every character and the
// attributes of each part.
TEST(SFormDlgRTFText, PageDrawerReadsWhatTheEditorWrites)
{
    TextWindow w;
    TFBTextElement* box = w.NewBox();
    const struct {
        const char* Typed;
        const char* Drawn;  // tabs become spaces
    } texts[] = {
        {"1. Platz", "1. Platz"},
        {"{Klammern} \\ und\tTab", "{Klammern} \\ und Tab"},
        {"€ 5,- für Ärger, Öl & Übermaß", "€ 5,- für Ärger, Öl & Übermaß"},
        {"  zwei Leerzeichen", "  zwei Leerzeichen"},
    };
    for (const auto& t : texts) {
        w.SelectAll();
        w.Type(QString::fromUtf8(t.Typed));
        EXPECT_EQ(DrawnText(box), t.Drawn);
    }

    // Each part keeps its own attributes: typed with the buttons set first.
    w.SelectAll();
    w.Type(QStringLiteral("a"));
    w.SelectAll();
    pvtest::Key(*w.Panel->rtf, Qt::Key_Delete);
    struct Part {
        const char* Text;
        std::function<void()> Set;
        TFontStyles Style;
        int Size;
        TColor Color;
    };
    TSFormDlgRTFText* p = w.Panel;
    const std::vector<Part> parts = {
        {"fett ", [&] { p->BtnFett->click(); }, fsBold, 12, clBlack},
        {"kursiv ", [&] { p->BtnFett->click(); p->BtnKursiv->click(); }, fsItalic, 12, clBlack},
        {"klein ", [&] { p->BtnKursiv->click(); p->FSizeCombo->setEditText("9"); p->SizeComboChange(); }, 0, 9, clBlack},
        {"blau ", [&] { p->ColorButtonColorChange(RGB(0, 0, 255)); }, 0, 9, RGB(0, 0, 255)},
        {"unter", [&] { p->BtnUnderline->click(); }, fsUnderline, 9, RGB(0, 0, 255)},
    };
    for (const Part& part : parts) {
        part.Set();
        w.FocusEditor();
        w.Type(QString::fromUtf8(part.Text));
    }
    EXPECT_EQ(DrawnText(box), "fett kursiv klein blau unter");
    int n = 0;
    for (int i = 0; i < box->Drawer->TokenCount(); ++i) {
        const TRTFToken& t = *box->Drawer->GetToken(i);
        if (t.Kind != rtkWord)
            continue;
        ASSERT_LT(n, int(parts.size()));
        const Part& part = parts[size_t(n++)];
        SCOPED_TRACE(part.Text);
        EXPECT_EQ(t.Style, part.Style);
        EXPECT_EQ(t.Size, part.Size);
        EXPECT_EQ(t.Color, part.Color);
    }
    EXPECT_EQ(n, int(parts.size()));
}

TEST(SFormDlgRTFText, ClosingTheWindowLeavesNoHandlerOfTheDestroyedPanel)
{
    // The tool bar's controls are kept past the panel here: whatever they
    // report while the window goes must not reach the destroyed panel.
    TextWindow w;
    w.NewBox();
    std::unique_ptr<TWVLTBFontComboBox> font(w.Panel->FFontCombo);
    std::unique_ptr<TWVLTBComboBox> size(w.Panel->FSizeCombo);
    std::unique_ptr<TQwColorPopupButton> colour(w.Panel->FColorButton);
    for (QWidget* control : std::initializer_list<QWidget*>{font.get(), size.get(), colour.get()})
        control->setParent(nullptr);
    w.M.reset();
    EXPECT_FALSE(font->OnChange);
    EXPECT_FALSE(size->OnChange);
    EXPECT_FALSE(size->OnKeyPress);
    EXPECT_FALSE(size->OnCloseUp);
    EXPECT_FALSE(colour->OnColorChange);
    EXPECT_FALSE(colour->OnMenuButtonClick);
}

namespace {

// Puts RTF on the clipboard and pastes it into the editor as the edit menu does.
void PasteRtf(TextWindow& W, const QByteArray& Rtf)
{
    auto* data = new QMimeData;
    data->setData("text/rtf", Rtf);
    QGuiApplication::clipboard()->setMimeData(data);
    W.FocusEditor();
    W.M->mnuBearbeitenEinfuegenClick();
    QApplication::processEvents();
}

QByteArray Fixture(const char* Name)
{
    QFile f(QStringLiteral(LUMI_TEST_DATA "/rtf/") + QLatin1String(Name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << Name;
    return f.readAll();
}

void Return(TextWindow& W)
{
    QKeyEvent ret(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(W.Panel->rtf, &ret);
}

std::vector<TParagraph*> Paragraphs(TRtRTFTextInput* E)
{
    std::vector<TParagraph*> pars;
    for (TParagraph* p = E->FirstPar; p; p = p->Next)
        pars.push_back(p);
    return pars;
}

}  // namespace

// A list and a table pasted from LibreOffice: the editor shows the list's
// labels, the table's cells as wide as they were written, and the page draws
// the labels and keeps the cells apart.
TEST(SFormDlgRTFText, PastedListAndTableKeepLabelsAndCellWidths)
{
    TextWindow w;
    TFBTextElement* box = w.NewBox();
    w.Type(QStringLiteral("Liste:"));
    Return(w);
    PasteRtf(w, Fixture("lo-listtable.rtf"));
    TRtRTFTextInput* e = w.Panel->rtf->RtfText();
    // As pasted, and as the box's text is loaded again when it is chosen anew.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const std::vector<TParagraph*> pars = Paragraphs(e);
        ASSERT_GE(pars.size(), 10u);
        const char* labels[] = {"\x95", "\x95", "1.", "2."};
        for (int i = 0; i < 4; ++i) {
            TRtRTFNumberingStyle* style = nullptr;
            AnsiString label;
            e->GetParNumberText(pars[size_t(i + 1)], style, label);
            EXPECT_TRUE(style) << i;
            EXPECT_EQ(label, labels[i]) << i;
        }
        // The cells of the row: 871 and 661 twips wide, each word on one line.
        for (int i = 5; i < 9; ++i) {
            TParagraph* cell = pars[size_t(i)];
            ASSERT_TRUE(cell->Flags & parfTableCell) << i;
            int32_t x = 0, width = 0;
            e->GetCellPosition(cell, x, width);
            const int32_t expected = MulDiv(i % 2 ? 871 : 661, e->Header()->XRes, 1440);
            EXPECT_NEAR(width, expected, 2) << i;
            EXPECT_GE(x, 0) << i;
            EXPECT_FALSE(cell->Lines->Next) << i;
        }
        EXPECT_EQ(DrawnText(box), "Liste:\n• Milk\n• Bread\n1. One\n2. Two\nAlpha Beta\nGamma Delta\nEnd\n");
        w.Panel->SetElement(box);
        QApplication::processEvents();
    }
}

// Text from Linux programs ends its lines with LF alone.
TEST(SFormDlgRTFText, PastedLinesOfPlainTextStayParagraphs)
{
    TextWindow w;
    TFBTextElement* box = w.NewBox();
    auto* data = new QMimeData;
    data->setText(QStringLiteral("eins\nzwei\ndrei"));
    QGuiApplication::clipboard()->setMimeData(data);
    w.FocusEditor();
    w.M->mnuBearbeitenEinfuegenClick();
    QApplication::processEvents();
    EXPECT_EQ(Paragraphs(w.Panel->rtf->RtfText()).size(), 3u);
    EXPECT_EQ(DrawnText(box), "eins\nzwei\ndrei");
}

// Select all and Delete leave an empty text, also when it holds a table or
// starts with one (a bordered one leaves no bordered line); undo brings the
// text back.
TEST(SFormDlgRTFText, DeletingTheWholeTextWithATableLeavesAnEmptyText)
{
    const struct {
        const char* Typed;
        QByteArray Pasted;
    } texts[] = {
        {"Vorher", Fixture("lo-listtable.rtf")},
        {"", "{\\rtf1\\ansi\\trowd\\cellx1000\\cellx2000\\intbl Alpha\\cell Beta\\cell\\row}"},
        {"", "{\\rtf1\\ansi\\trowd\\clbrdrt\\brdrs\\clbrdrl\\brdrs\\clbrdrb\\brdrs\\clbrdrr\\brdrs\\cellx1000"
             "\\clbrdrt\\brdrs\\clbrdrl\\brdrs\\clbrdrb\\brdrs\\clbrdrr\\brdrs\\cellx2000"
             "\\intbl Alpha\\cell Beta\\cell\\row}"},
    };
    for (const auto& t : texts) {
        SCOPED_TRACE(t.Pasted.left(60).toStdString());
        TextWindow w;
        TFBTextElement* box = w.NewBox();
        if (*t.Typed) {
            w.Type(QString::fromLatin1(t.Typed));
            Return(w);
        }
        PasteRtf(w, t.Pasted);
        TRtRTFTextInput* e = w.Panel->rtf->RtfText();
        EXPECT_EQ(bool(*t.Typed), !(e->FirstPar->Flags & parfTableCell));
        const std::string before = DrawnText(box);
        const size_t parsBefore = Paragraphs(e).size();
        const uint16_t bordersBefore = e->FirstPar->BrdLines;

        pvtest::Key(*w.Panel->rtf, Qt::Key_A, Qt::ControlModifier);
        pvtest::Key(*w.Panel->rtf, Qt::Key_Delete);
        QApplication::processEvents();
        ASSERT_EQ(Paragraphs(e).size(), 1u);
        EXPECT_FALSE(e->FirstPar->Flags & parfTableCell);
        EXPECT_FALSE(e->FirstPar->Cell);
        EXPECT_EQ(e->FirstPar->BrdLines, 0);
        EXPECT_TRUE(e->IsEmpty());
        EXPECT_EQ(DrawnText(box), "");
        // Typing starts the new text.
        w.Type(QStringLiteral("Neu"));
        EXPECT_EQ(DrawnText(box), "Neu");

        pvtest::Key(*w.Panel->rtf, Qt::Key_Z, Qt::ControlModifier);
        pvtest::Key(*w.Panel->rtf, Qt::Key_Z, Qt::ControlModifier);
        QApplication::processEvents();
        EXPECT_EQ(Paragraphs(e).size(), parsBefore);
        EXPECT_EQ(DrawnText(box), before);
        EXPECT_EQ(bool(*t.Typed), !(e->FirstPar->Flags & parfTableCell));
        EXPECT_EQ(e->FirstPar->BrdLines, bordersBefore);
    }
}
