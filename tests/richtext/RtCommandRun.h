#pragma once
// Runs of the rich-text component's commands, each drawn from a source of numbers: every action of
// its command list, keys, pastes of RTF with tables, pictures and fields, character and paragraph
// formats, undo and redo, zoom, scrolling and resizing, entering and leaving every header and footer
// item, save, load and print. After each command the checks compare the window with a fresh layout
// and repaint, a second layout with the first, and a save with a save after reloading it.
// Shared by the seeded test and the libFuzzer target; needs a QApplication on the offscreen platform.
#include "RichText.h"
#include "RtActionTexts.h"
#include "RtCommands.h"
#include "RtHeaderFooter.h"
#include "RtPrint.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImage>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QScrollBar>
#include <QStyleHints>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// What the window shows: its pixels, every line's top and the caret's rectangle.
struct TRtShownView {
    QImage Pixels;
    std::vector<int32_t> Tops;
    QRect Caret;
};

// The window as the screen shows it once the pending paints are done.
inline QImage RtWindowPixels(TRtCustomRichText& Rtf)
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    const QPoint origin = Rtf.viewport()->mapTo(Rtf.window(), QPoint(0, 0));
    return Rtf.screen()
        ->grabWindow(Rtf.window()->winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32)
        .copy(QRect(origin, Rtf.viewport()->size()));
}

inline TRtShownView RtShownView(TRtCustomRichText& Rtf)
{
    TRtShownView v;
    v.Pixels = RtWindowPixels(Rtf);
    for (TParagraph* p = Rtf.RtfText()->FirstPar; p; p = p->Next)
        for (TLine* l = p->Lines; l; l = l->Next)
            v.Tops.push_back(l->Top);
    v.Caret = Rtf.inputMethodQuery(Qt::ImCursorRectangle).toRect();
    return v;
}

// Empty when what the window shows equals a whole repaint and a fresh layout with one, and a second
// fresh layout equals the first; else what differs.
inline std::string RtViewDifferences(TRtCustomRichText& Rtf)
{
    const TRtShownView shown = RtShownView(Rtf);
    Rtf.RefreshView();
    const TRtShownView repainted = RtShownView(Rtf);
    auto layAnew = [&] {
        Rtf.RtfText()->UpdateLayout();
        Rtf.RefreshView();
        return RtShownView(Rtf);
    };
    const TRtShownView fresh = layAnew();
    const TRtShownView second = layAnew();
    std::string d;
    auto compare = [&](const TRtShownView& A, const char* Name) {
        if (A.Pixels != fresh.Pixels)
            d += std::string(" pixels (") + Name + ")";
        if (A.Tops != fresh.Tops)
            d += std::string(" line tops (") + Name + ")";
        if (A.Caret != fresh.Caret)
            d += std::string(" caret (") + Name + ")";
    };
    compare(shown, "after the step");
    compare(repainted, "whole repaint");
    compare(second, "second layout");
    return d;
}

// RTF on the clipboard, pasted with Ctrl+V.
inline void RtPasteRtf(TRtCustomRichText& Rtf, const QByteArray& Text)
{
    auto* data = new QMimeData;
    data->setData(RtMimeRtf, Text);
    QGuiApplication::clipboard()->setMimeData(data);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
    QApplication::sendEvent(&Rtf, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_V, Qt::ControlModifier);
    QApplication::sendEvent(&Rtf, &release);
}

// RTF of "x", a blue picture of 12 x 9 pixels and "y".
inline QByteArray RtPictureRtf()
{
    QImage image(12, 9, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return "{\\rtf1\\ansi x{\\pict\\pngblip\\picw12\\pich9\\picwgoal180\\pichgoal135 " + png.toHex() + "}y\\par}";
}

// A printer whose pages are painted into one image, for printing without a device.
class TRtImagePrinter : public TRtPrinterWrapper {
public:
    TCanvas* GetCanvas() override { return canvas_.get(); }
    QPaintDevice* GetHandle() override { return &page_; }
    bool GetPrinting() override { return bool(canvas_); }
    bool GetAborted() override { return false; }
    int32_t GetPageWidth() override { return page_.width(); }
    int32_t GetPageHeight() override { return page_.height(); }
    int32_t LogPixelsX() override { return 100; }
    int32_t LogPixelsY() override { return 100; }
    void NewPage() override { page_.fill(Qt::white); }
    void BeginDoc() override
    {
        page_.fill(Qt::white);
        canvas_ = std::make_unique<TCanvas>(&page_);
    }
    void EndDoc() override { canvas_.reset(); }

private:
    QImage page_{300, 200, QImage::Format_RGB32};
    std::unique_ptr<TCanvas> canvas_;
};

class TRtCommandRun {
public:
    // Pick(N) gives a number below N.
    using TPick = std::function<uint32_t(uint32_t N)>;

    // Small pages with a header "HHHH" and a footer "FFFF" for every range and a body of a few pages,
    // in the page-layout view.
    static constexpr const char* Text =
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Sans;}}\\paperw4320\\paperh2880\\margl720"
        "\\margr720\\margt720\\margb720\\f0\\fs24{\\header\\pard HHHH\\par}{\\footer\\pard FFFF\\par}"
        "{\\headerf\\pard HHHH\\par}{\\footerf\\pard FFFF\\par}"
        "one two three four five six\\par seven\\par\\page eight nine\\par ten\\par\\page eleven\\par}";

    TRtCommandRun(TRtCustomRichText& Rtf, TPick Pick) : rtf_(Rtf), pick_(std::move(Pick))
    {
        TRtCommandDialogs& d = RtCommandDialogs();
        saved_ = d;
        d.AskSave = [](QWidget*, const QString&) { return int(QMessageBox::No); };
        d.Message = [](QWidget*, const QString&) {};
        d.SaveFileName = [](QWidget*, const QString&, const QString&, const QString&, int&) { return QString(); };
        d.OpenFileName = [](QWidget*, const QString&, const QString&, int&) { return QString(); };
        d.InputQuery = [](QWidget*, const QString&, const QString&, QString& Value) {
            Value = "http://example.org";
            return true;
        };
        d.PrinterSetup = [](QWidget*, QString&, int32_t&, int32_t&, int32_t&, bool&) { return false; };
        d.Print = [](QWidget*, int32_t, int32_t& From, int32_t& To, int32_t& Copies) {
            From = To = 0;
            Copies = 1;
            return true;
        };
        d.PickTable = [](QWidget*, QWidget*, int32_t& Columns, int32_t& Rows, bool& Borders) {
            Columns = 2;
            Rows = 2;
            Borders = true;
            return true;
        };
        SetRtPrinter(std::make_unique<TRtImagePrinter>());
        QApplication::styleHints()->setCursorFlashTime(0);
    }
    ~TRtCommandRun()
    {
        if (TRtSpecialTextProperty* item = rtf_.RtfText()->EditedSpecialText)
            item->SetEditing(false);
        RtCommandDialogs() = saved_;
        SetRtPrinter(nullptr);
        QApplication::styleHints()->setCursorFlashTime(1000);
    }
    TRtCommandRun(const TRtCommandRun&) = delete;
    TRtCommandRun& operator=(const TRtCommandRun&) = delete;

    void Load()
    {
        rtf_.SetText(Text);
        TRtRTFTextInput* e = rtf_.RtfText();
        e->TextSaveFormat = "RTF";
        rtf_.SetEditOptions(e->EditOptions | TRtEditOptions{rtActivateUndo, rtActivateUndoHotkey, rtActivateRedo,
                                                           rtActivateRedoHotkey});
        rtf_.SetLayoutMode(rtlayLayout);
    }

    // Draws one command, runs it and answers its name.
    std::string Step()
    {
        const TCommand& c = Commands()[pick_(uint32_t(Commands().size()))];
        const std::string name = c.Run(*this);
        QApplication::processEvents();
        return name;
    }

    // Empty when the window, a fresh layout and repaint and a second layout agree and a save reloads
    // as itself; else what differs.
    std::string Check()
    {
        std::string d = RtViewDifferences(rtf_);
        const std::string saved = Save(rtf_);
        if (!reloaded_) {
            reloaded_ = std::make_unique<TRtRichText>();
            reloaded_->RtfText()->TextSaveFormat = "RTF";
        }
        reloaded_->SetText(saved);
        if (Save(*reloaded_) != saved)
            d += " save and reload";
        return d;
    }

    static std::string Save(TRtCustomRichText& Rtf)
    {
        TMemoryStream stream;
        Rtf.SaveToStream(&stream);
        return std::string(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.Size()));
    }

private:
    struct TCommand {
        std::function<std::string(TRtCommandRun&)> Run;
    };

    TRtRTFTextInput* E() const { return rtf_.RtfText(); }
    uint32_t Pick(uint32_t N) { return pick_(N); }

    void Key(int K, Qt::KeyboardModifiers M = Qt::NoModifier, const QString& Text = QString())
    {
        QKeyEvent press(QEvent::KeyPress, K, M, Text);
        QApplication::sendEvent(&rtf_, &press);
        QKeyEvent release(QEvent::KeyRelease, K, M, Text);
        QApplication::sendEvent(&rtf_, &release);
    }
    void Type(const char* S)
    {
        for (; *S; ++S)
            Key(QChar(*S).toUpper().unicode(), Qt::NoModifier, QString(QChar(*S)));
    }
    static const std::vector<TCommand>& Commands()
    {
        using R = TRtCommandRun;
        static const std::vector<TCommand> commands = [] {
            std::vector<TCommand> c;
            // Every action of the command list (the value boxes below).
            c.push_back({[](R& T) {
                const TRtActionText& a = RtActionTexts[T.Pick(RtActionTextCount)];
                uint8_t state = rtcmdClick;
                if (a.Group != rtgValue)
                    T.rtf_.Execute(a.Group, a.Id, state);
                return std::string("action ") + a.Caption;
            }});
            // Keys, with and without Shift and Ctrl.
            struct TKey {
                const char* Name;
                int Key;
                Qt::KeyboardModifiers Modifiers;
            };
            static const TKey keys[] = {
                {"Ctrl+A", Qt::Key_A, Qt::ControlModifier},
                {"Ctrl+Return", Qt::Key_Return, Qt::ControlModifier},
                {"Return", Qt::Key_Return, Qt::NoModifier},
                {"Shift+Return", Qt::Key_Return, Qt::ShiftModifier},
                {"Backspace", Qt::Key_Backspace, Qt::NoModifier},
                {"Delete", Qt::Key_Delete, Qt::NoModifier},
                {"Tab", Qt::Key_Tab, Qt::NoModifier},
                {"Left", Qt::Key_Left, Qt::NoModifier},
                {"Right", Qt::Key_Right, Qt::NoModifier},
                {"Up", Qt::Key_Up, Qt::NoModifier},
                {"Down", Qt::Key_Down, Qt::NoModifier},
                {"Shift+Left", Qt::Key_Left, Qt::ShiftModifier},
                {"Shift+Right", Qt::Key_Right, Qt::ShiftModifier},
                {"Shift+Up", Qt::Key_Up, Qt::ShiftModifier},
                {"Shift+Down", Qt::Key_Down, Qt::ShiftModifier},
                {"Ctrl+Shift+Left", Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier},
                {"Home", Qt::Key_Home, Qt::NoModifier},
                {"End", Qt::Key_End, Qt::NoModifier},
                {"Shift+End", Qt::Key_End, Qt::ShiftModifier},
                {"Ctrl+Home", Qt::Key_Home, Qt::ControlModifier},
                {"Ctrl+End", Qt::Key_End, Qt::ControlModifier},
                {"PageUp", Qt::Key_PageUp, Qt::NoModifier},
                {"PageDown", Qt::Key_PageDown, Qt::NoModifier},
                {"Shift+PageDown", Qt::Key_PageDown, Qt::ShiftModifier},
                {"Ctrl+Z", Qt::Key_Z, Qt::ControlModifier},
                {"Ctrl+Y", Qt::Key_Y, Qt::ControlModifier},
                {"Ctrl+C", Qt::Key_C, Qt::ControlModifier},
                {"Ctrl+X", Qt::Key_X, Qt::ControlModifier},
                {"Ctrl+V", Qt::Key_V, Qt::ControlModifier},
            };
            c.push_back({[](R& T) {
                const TKey& k = keys[T.Pick(std::size(keys))];
                T.Key(k.Key, k.Modifiers);
                return std::string(k.Name);
            }});
            c.push_back({[](R& T) {
                static const char* const texts[] = {"xg", "3", "W", "  ", "\xe4"};
                const char* s = texts[T.Pick(std::size(texts))];
                T.Type(s);
                return std::string("typing \"") + s + "\"";
            }});
            // Pastes of plain text and of RTF holding a table, a picture and a field.
            c.push_back({[](R& T) {
                static const QByteArray picture = RtPictureRtf();
                static const char* const rtf[] = {
                    "{\\rtf1\\ansi one\\par two\\par three}",
                    "{\\rtf1\\ansi\\trowd\\cellx1000\\cellx2000 1\\cell 2\\cell\\row}",
                    "{\\rtf1\\ansi\\trowd\\cellx800\\cellx1600\\cellx2400 a\\cell b\\cell c\\cell\\row"
                    "\\trowd\\cellx1200\\cellx2400 d\\cell e\\cell\\row}",
                    picture.constData(),
                    "{\\rtf1\\ansi p {\\field{\\*\\fldinst PAGE}{\\fldrslt 1}} q}",
                    "{\\rtf1\\ansi a\\page b}",
                };
                const uint32_t i = T.Pick(std::size(rtf));
                RtPasteRtf(T.rtf_, rtf[i]);
                static const char* const names[] = {"three lines", "one-row table", "two-row table",
                                                    "picture", "PAGE field", "page break"};
                return std::string("paste of ") + names[i];
            }});
            // Character and paragraph formats through the value boxes.
            c.push_back({[](R& T) {
                static const int32_t sizes[] = {8, 12, 20, 40};
                const int32_t size = sizes[T.Pick(std::size(sizes))];
                T.rtf_.ExecuteValue(rtgValue, rtcValueFontSize, size, AnsiString());
                return "font size " + std::to_string(size);
            }});
            c.push_back({[](R& T) {
                static const char* const fonts[] = {"Liberation Serif", "Liberation Mono", "Liberation Sans"};
                const char* font = fonts[T.Pick(std::size(fonts))];
                T.rtf_.ExecuteValue(rtgValue, rtcValueFontName, 0, font);
                return std::string("font ") + font;
            }});
            c.push_back({[](R& T) {
                static const int32_t ids[] = {rtcValueFontColor, rtcValueBackColor, rtcValueParColor};
                const int32_t id = ids[T.Pick(std::size(ids))];
                const int32_t colour = int32_t(T.Pick(16));
                T.rtf_.ExecuteValue(rtgValue, id, colour, AnsiString());
                return "colour " + std::to_string(id) + "/" + std::to_string(colour);
            }});
            // Zoom, scrolling and resizing.
            c.push_back({[](R& T) {
                static const int32_t zooms[] = {50, 75, 100, 125, 150, 200};
                const int32_t zoom = zooms[T.Pick(std::size(zooms))];
                T.rtf_.SetZooming(zoom);
                return "zoom " + std::to_string(zoom);
            }});
            c.push_back({[](R& T) {
                QScrollBar* bar = T.rtf_.verticalScrollBar();
                const int value = int(T.Pick(5)) * bar->maximum() / 4;
                bar->setValue(value);
                return "scroll to " + std::to_string(value);
            }});
            c.push_back({[](R& T) {
                static const QSize sizes[] = {{400, 320}, {300, 200}, {520, 400}};
                const QSize s = sizes[T.Pick(std::size(sizes))];
                T.rtf_.resize(s);
                return "resize to " + std::to_string(s.width()) + "x" + std::to_string(s.height());
            }});
            // Entering an item (leaving the one edited first), or leaving it.
            c.push_back({[](R& T) {
                TRtRTFTextInput* e = T.E();
                if (TRtSpecialTextProperty* edited = e->EditedSpecialText) {
                    edited->SetEditing(false);
                    e->UpdateLayout();
                    return std::string("leaving the item");
                }
                static const TRtPagePropertyRange ranges[] = {rtraOnAllPages, rtraOnFirstPage, rtraOnOddPages,
                                                              rtraOnEvenPages};
                const TRtPagePropertyRange range = ranges[T.Pick(std::size(ranges))];
                const TRtPagePropertyKind kind = T.Pick(2) ? rtIsFooter : rtIsHeader;
                TRtSpecialTextProperty* item = e->GetOrAddHeaderFooter(range, kind);
                e->SelectHeaderFooterById(0);
                item->SetEditing(true);
                e->UpdateLayout();
                return "editing the " + std::string(kind == rtIsHeader ? "header" : "footer") + " of range " +
                       std::to_string(int(range));
            }});
            // Save, load and print.
            c.push_back({[](R& T) {
                const std::string saved = Save(T.rtf_);
                if (T.Pick(2))
                    return std::string("save");
                T.rtf_.SetText(saved);
                return std::string("save and load");
            }});
            c.push_back({[](R& T) {
                T.rtf_.PrintText(0, 0);
                return std::string("print");
            }});
            return c;
        }();
        return commands;
    }

    TRtCustomRichText& rtf_;
    TPick pick_;
    TRtCommandDialogs saved_;
    std::unique_ptr<TRtRichText> reloaded_;
};
