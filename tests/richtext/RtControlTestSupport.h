#pragma once
// What the control tests share: a rich-text component in a shown window on
// the offscreen platform, with Liberation Sans, and readers of its text.
#include "RichText.h"
#include "RtTestSupport.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <string>

// The offset of a position in the text's characters, paragraphs counted with one character
// each; -1 for a position in no paragraph of the text.
inline int32_t TextOffset(TRtRTFText* Text, const TParagraph* Par, const TLine* Line, int32_t Pos)
{
    int32_t before = 0;
    for (const TParagraph* p = Text->FirstPar; p; p = p->Next) {
        for (const TLine* l = p->Lines; l; l = l->Next) {
            if (p == Par && l == Line)
                return before + Pos;
            before += l->Length;
        }
        ++before;
    }
    return -1;
}

class RtControlTest : public ::testing::Test, protected TUseTestPlatform {
public:
    void SetUp() override
    {
        Rtf = std::make_unique<TRtRichText>();
        Rtf->resize(500, 300);
        TRtRTFTextInput* e = Rtf->RtfText();
        const int32_t font = e->Header()->GetFontIndex("Liberation Sans");
        e->CurrentAttr.Font = uint16_t(font);
        e->CurrentAttr.Size = 12;
        // The test platform's system colours are grey.
        e->DefaultTextColor = clBlack;
        if (e->FirstPar) {
            e->FirstPar->ParAttr.Font = uint16_t(font);
            e->FirstPar->ParAttr.Size = 12;
        }
        Rtf->show();
        Rtf->activateWindow();
        Rtf->setFocus();
        QApplication::processEvents();
    }
    void TearDown() override { Rtf.reset(); }

    TRtRTFTextInput* E() const { return Rtf->RtfText(); }
    // Undo and redo with their keys, and RTF as the format saved.
    void UseUndoAndSaveRtf()
    {
        Rtf->SetEditOptions(E()->EditOptions
                            | TRtEditOptions{rtActivateUndo, rtActivateUndoHotkey, rtActivateRedo, rtActivateRedoHotkey});
        E()->TextSaveFormat = "RTF";
    }
    // The text as UTF-8, paragraphs joined by "\n".
    std::string Text() const
    {
        std::string out;
        for (TParagraph* p = E()->FirstPar; p; p = p->Next) {
            if (p != E()->FirstPar)
                out += '\n';
            for (TLine* l = p->Lines; l; l = l->Next)
                out += LineUtf8(*E(), l);
        }
        return out;
    }
    std::pair<int32_t, int32_t> Selection() const
    {
        int32_t s = -1, l = 0;
        if (!E()->GetSelection(s, l))
            return {-1, 0};
        return {s, l};
    }
    // Each character as one key event carrying its text (any keyboard layout).
    void Type(const QString& S)
    {
        for (QChar c : S) {
            const int key = c.unicode() < 128 ? int(QChar(c).toUpper().unicode()) : int(Qt::Key_unknown);
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
            QApplication::sendEvent(Rtf.get(), &press);
            QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
            QApplication::sendEvent(Rtf.get(), &release);
        }
    }
    void Key(Qt::Key K, Qt::KeyboardModifiers M = Qt::NoModifier) { QTest::keyClick(Rtf.get(), K, M); }
    // The attribute of the character at absolute position Pos (null past the text).
    const TAttr* AttrAt(int32_t Pos) const
    {
        TParagraph* par = nullptr;
        TLine* line = nullptr;
        int32_t col = 0;
        E()->FindAbsPos(Pos, 0, col, line, par);
        return line && line->Attrs && col < line->Length ? &line->Attrs[col] : nullptr;
    }
    // The window point of absolute position Pos (the middle of its line).
    QPoint PointOf(int32_t Pos)
    {
        TParagraph* par = nullptr;
        TLine* line = nullptr;
        int32_t col = 0;
        E()->FindAbsPos(Pos, 0, col, line, par);
        const int32_t x = E()->GetCharX(par, line, col) + E()->LeftX;
        const int32_t y = line->Top - E()->TopY + line->Height / 2;
        return QPoint(E()->DocToScreen(x), E()->DocToScreen(y));
    }

    std::unique_ptr<TRtRichText> Rtf;
};
