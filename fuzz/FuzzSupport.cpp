#include "FuzzSupport.h"

#include "Canvas.h"
#include "DragDropFormats.h"
#include "DragDropMime.h"
#include "FBMainViewCommands.h"
#include "FBPictureElement.h"
#include "Ole.h"
#include "RichText.h"
#include "SFormDlgRTFText.h"
#include "SysUtils.h"
#include "uBitmapDrawContext.h"
#include "uDataFile.h"
#include "uDocDrawer.h"
#include "uFotobuchBildManager.h"
#include "uFotobuchDocument.h"
#include "uFotobuchPageTemplate.h"
#include "uRTFDrawer.h"
#include "uTransformation.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QKeyEvent>
#include <QDir>
#include <QMimeData>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

// A small bitmap and a draw context showing Width x Height millimetres on it.
struct TSurface {
    TBitmap Bitmap;
    std::unique_ptr<TBitmapDrawContext> DC;
    TSurface(float Width, float Height)
    {
        Bitmap.SetSize(96, 64);
        DC = std::make_unique<TBitmapDrawContext>(Bitmap);
        const float w = std::max(Width, 1.0f), h = std::max(Height, 1.0f);
        DC->Transformation->ScaleUniform(std::min(96 / w, 64 / h));
    }
};

// Runs Work; the errors the program reports for bad input are expected here.
template <class F>
void Guarded(F Work)
{
    try {
        Work();
    } catch (const Exception&) {
    } catch (const std::exception&) {
    }
}

// A one-page document with a frame, for what drops and pastes land on.
std::unique_ptr<TFBDocument> SmallDocument()
{
    auto doc = std::make_unique<TFBDocument>();
    doc->PageWidth = 150;
    doc->PageHeight = 100;
    auto page = std::make_unique<TFBPage>(doc.get());
    auto frame = std::make_unique<TFBPictureElement>(page.get());
    frame->CenterX = 50;
    frame->CenterY = 40;
    frame->Width = 60;
    frame->Height = 40;
    page->Pictures.Add(std::move(frame));
    doc->Pages.Add(std::move(page));
    return doc;
}

void DrawDocument(TFBDocument& Doc)
{
    float w = 0, h = 0;
    Doc.GetScreenSize(w, h);
    // Enough screens for every kind of page, not so many that one input runs long.
    const int screens = std::min(Doc.GetScreenCount(), 6);
    for (int s = 0; s < screens; ++s)
        for (uint8_t mode : {uint8_t(1), uint8_t(0)}) {
            TSurface surface(w, h);
            Guarded([&] { DocumentDrawer().DrawSpread(Doc, *surface.DC, s, mode); });
        }
}

} // namespace

void FuzzStartApplication()
{
    static QApplication* app = [] {
        // Settings, pictures and caches stay in a folder of the run's own.
        static QByteArray home = QDir::tempPath().toLocal8Bit() + "/lumi-fuzz-home";
        QDir().mkpath(QString::fromLocal8Bit(home));
        setenv("HOME", home.constData(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/config").constData(), 1);
        setenv("XDG_DATA_HOME", (home + "/data").constData(), 1);
        setenv("XDG_CACHE_HOME", (home + "/cache").constData(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "lumiseite-fuzz";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    (void)app;
}

std::unique_ptr<TMemoryStream> FuzzStream(const uint8_t* Data, size_t Size)
{
    auto stream = std::make_unique<TMemoryStream>();
    if (Size > 0)
        stream->WriteBuffer(Data, int32_t(Size));
    stream->SetPosition(0);
    return stream;
}

void FuzzProject(const uint8_t* Data, size_t Size)
{
    std::unique_ptr<TMemoryStream> stream = FuzzStream(Data, Size);
    TFBDocument doc;
    Guarded([&] {
        TMemoryDataFile file(*stream);
        file.BuildIndex();
        doc.LoadFromDataFile(file);
        DrawDocument(doc);
        TMemoryStream saved;
        TMemoryDataFile out(saved);
        doc.SaveToDataFile(out);
    });
    doc.Clear();
    BildManager().Clear();
}

void FuzzTemplateStreams(const uint8_t* Data, size_t Size)
{
    if (Size == 0)
        return;
    std::unique_ptr<TMemoryStream> stream = FuzzStream(Data + 1, Size - 1);
    Guarded([&] {
        TMemoryStream out;
        if (Data[0] & 1) {
            TFBColor color;
            color.LoadFromStream(*stream);
            color.SaveToStream(out);
            return;
        }
        TFBPageTemplate pageTemplate;
        pageTemplate.LoadFromStream(*stream);
        pageTemplate.SaveToStream(out);
        TBitmap preview;
        preview.SetSize(64, 48);
        pageTemplate.DrawPreview(preview, TRect{0, 0, 64, 48});
        std::unique_ptr<TFBDocument> doc = SmallDocument();
        pageTemplate.ApplyToPage(doc->Pages.GetPage(0));
        DrawDocument(*doc);
    });
}

void FuzzRTFDrawer(const uint8_t* Data, size_t Size)
{
    Guarded([&] {
        TRTFDrawer drawer;
        drawer.SetRTFText(AnsiString(reinterpret_cast<const char*>(Data), Size));
        TSurface surface(80, 50);
        drawer.Draw(*surface.DC, 0, 40, 25, 80, 50, 1);
        drawer.Draw(*surface.DC, 3, 40, 25, 20, 10, 2);
    });
}

void FuzzDropFormats(const uint8_t* Data, size_t Size)
{
    if (Size == 0)
        return;
    const int kind = Data[0] % FuzzDropFormatCount;
    const AnsiString bytes(reinterpret_cast<const char*>(Data + 1), Size - 1);
    std::unique_ptr<TFBDocument> doc = SmallDocument();
    TFBPage* page = doc->Pages.GetPage(0);
    auto* frame = static_cast<TFBPictureElement*>(page->Pictures.GetItem(0));
    Guarded([&] {
        // The program's own drag formats arrive through the drag-and-drop
        // library as a drop target receives them.
        const char* const names[] = {"QwFileList", "QwPageTemplate", "QwColor", "QwPic",
                                     "QwClipart"};
        if (kind < 5) {
            const TClipFormat format = RegisterClipboardFormatA(names[kind]);
            QMimeData mime;
            mime.setData(MimeTypeOfFormat(format),
                         QByteArray(bytes.data(), qsizetype(bytes.size())));
            std::shared_ptr<IDataObject> object = DataObjectOfMimeData(&mime);
            TGenericDataFormat received;
            received.AddFormat(names[kind]);
            if (!received.GetData(*object))
                return;
            const AnsiString& got = received.Data();
            switch (kind) {
            case 0:
            case 4:
                (void)FileNamesOf(got);
                break;
            case 1: {
                TFBPageTemplate pageTemplate;
                pageTemplate.LoadFromStream(*StreamOf(got));
                pageTemplate.ApplyToPage(page);
                break;
            }
            case 2: {
                TFBColor color;
                color.LoadFromStream(*StreamOf(got));
                if (color.Color >= 0)
                    frame->FillWithColor(color.Color);
                break;
            }
            default:
                (void)PictureOfDragData(doc.get(), got);
            }
            DrawDocument(*doc);
            return;
        }
        if (kind == 5) {
            // Files dropped by another program.
            QMimeData mime;
            mime.setData(MimeTypeOfFormat(Ole::CF_HDROP),
                         QByteArray(bytes.data(), qsizetype(bytes.size())));
            std::shared_ptr<IDataObject> object = DataObjectOfMimeData(&mime);
            TGenericDataFormat received;
            auto files = std::make_unique<TGenericClipboardFormat>();
            files->SetClipboardFormat(Ole::CF_HDROP);
            files->DataDirections = ddRead;
            received.CompatibleFormats->Add(std::move(files));
            if (received.GetData(*object))
                (void)FileNamesOf(received.Data());
            return;
        }
        // Element copies from the clipboard: a data file whose section
        // "Clipboard" an element saved itself into.
        std::unique_ptr<TMemoryStream> stream = FuzzStream(Data + 1, Size - 1);
        TMemoryDataFile file(*stream);
        if (kind == 6) {
            frame->LoadClipboardData(file, "Clipboard");
        } else {
            const AnsiString className = file.ReadString("Clipboard", "Classname", "");
            std::unique_ptr<TFBElement> element = CreateElementByClassName(
                className == "TFBClipartElement" ? className : AnsiString("TFBTextElement"), page);
            TFBElement* e = element.get();
            page->Elements.Add(std::move(element));
            e->LoadClipboardData(file, "Clipboard");
            auto calendar = std::make_unique<TFBKalenderElement>(page);
            calendar->LoadClipboardData(file, "Clipboard");
            page->Calendars.Add(std::move(calendar));
        }
        DrawDocument(*doc);
    });
    doc.reset();
    BildManager().Clear();
}

// ---- the rich-text component --------------------------------------------------------------------

namespace {

// The component as the text panel sets it up.
std::unique_ptr<TRtRichText> PanelRichText()
{
    auto rtf = std::make_unique<TRtRichText>();
    rtf->resize(420, 160);
    TSFormDlgRTFText::SetUpRichText(rtf.get());
    rtf->show();
    return rtf;
}

void Paint(TRtRichText& Rtf)
{
    QImage image(Rtf.size(), QImage::Format_RGB32);
    Rtf.render(&image);
}

void LoadText(TRtRichText& Rtf, const QByteArray& Bytes)
{
    TMemoryStream stream;
    if (!Bytes.isEmpty())
        stream.WriteBuffer(Bytes.constData(), int32_t(Bytes.size()));
    stream.SetPosition(0);
    Rtf.Clear();
    Rtf.LoadFromStream(&stream, "AUTO");
}

void SaveAndReload(TRtRichText& Rtf)
{
    TMemoryStream stream;
    Rtf.SaveToStream(&stream);
    LoadText(Rtf, QByteArray(reinterpret_cast<const char*>(stream.Memory()), qsizetype(stream.Size())));
}

void SendKey(TRtRichText& Rtf, int Key, Qt::KeyboardModifiers Modifiers, const QString& Text = QString())
{
    QKeyEvent press(QEvent::KeyPress, Key, Modifiers, Text);
    QApplication::sendEvent(&Rtf, &press);
    QKeyEvent release(QEvent::KeyRelease, Key, Modifiers, Text);
    QApplication::sendEvent(&Rtf, &release);
}

void Click(TRtRichText& Rtf, uint8_t Arg, Qt::KeyboardModifiers Modifiers)
{
    const QPoint at((Arg & 0x0F) * Rtf.width() / 16, (Arg >> 4) * Rtf.height() / 16);
    QWidget* target = Rtf.viewport();
    QMouseEvent press(QEvent::MouseButtonPress, at, target->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Modifiers);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, target->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Modifiers);
    QApplication::sendEvent(target, &release);
}

// Characters besides Latin-1: Windows-1252's own, others it cannot hold, a pair of surrogates.
const char16_t* const kOtherCharacters[] = {u"\u20AC", u"\u0160", u"\u2014", u"\u0416", u"\u4E2D",
                                            u"\U0001F600", u"\u00A0", u"\t"};
const char* const kFontNames[] = {"Arial", "Times New Roman", "Courier New", "Liberation Sans", "Symbol",
                                  "Wingdings", "NoSuchFont"};
const char* const kPastedTexts[] = {"Paste", "two\nlines", "\r\n\r\n", "tab\there", "{\\rtf1 braces}",
                                    "\xC3\xA4\xC3\xB6 \xE2\x82\xAC", ""};

// One step of the script; Arg is the byte after the step's own.
void RunStep(TRtRichText& Rtf, uint8_t Op, uint8_t Arg)
{
    const Qt::KeyboardModifiers shift = Arg & 0x80 ? Qt::ShiftModifier : Qt::NoModifier;
    uint8_t state = rtcmdClick;
    switch (Op % 18) {
    case 0: {
        const char16_t c = Arg < 0x20 ? char16_t('a' + Arg) : char16_t(Arg);
        SendKey(Rtf, c < 128 ? QChar(c).toUpper().unicode() : Qt::Key_unknown, Qt::NoModifier,
                QString(QChar(c)));
        break;
    }
    case 1: {
        const char16_t* s = kOtherCharacters[Arg % std::size(kOtherCharacters)];
        SendKey(Rtf, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf16(s));
        break;
    }
    case 2: SendKey(Rtf, Qt::Key_Backspace, Qt::NoModifier); break;
    case 3: SendKey(Rtf, Qt::Key_Delete, Qt::NoModifier); break;
    case 4: SendKey(Rtf, Qt::Key_Return, Arg & 1 ? Qt::ShiftModifier : Qt::NoModifier); break;
    case 5: {
        static const int keys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down,
                                   Qt::Key_Home, Qt::Key_End, Qt::Key_PageUp, Qt::Key_PageDown};
        SendKey(Rtf, keys[Arg % 8], shift | (Arg & 0x40 ? Qt::ControlModifier : Qt::NoModifier));
        break;
    }
    case 6:
        if (Arg & 1)
            Rtf.SelectAll();
        else
            SendKey(Rtf, Qt::Key_A, Qt::ControlModifier);
        break;
    case 7: Rtf.Execute(1 * 256, 1 + Arg % 11, state); break;
    case 8: {
        // Alignment, paragraph protection and keep, numbering and outline levels.
        static const int32_t groups[] = {2, 2, 2, 2, 7, 7, 9, 9, 9, 9, 9, 9, 9};
        static const int32_t ids[] = {1, 2, 3, 4, 1, 2, 1, 2, 3, 4, 5, 6, 7};
        const size_t i = Arg % std::size(groups);
        if (Arg & 0x80)
            state = rtcmdRelease;
        Rtf.Execute(groups[i] * 256, ids[i], state);
        break;
    }
    case 9:
        if (Arg & 0x80)
            Rtf.ExecuteValue(11 * 256, 1, 0, kFontNames[Arg % std::size(kFontNames)]);
        else
            Rtf.GetSetModeControl()->SetFontName(kFontNames[Arg % std::size(kFontNames)]);
        break;
    case 10:
        if (Arg & 0x80)
            Rtf.ExecuteValue(11 * 256, 2, Arg & 0x7F, AnsiString());
        else
            Rtf.GetSetModeControl()->SetSize(1 + Arg);
        break;
    case 11: {
        const TColor colour = TColor(uint32_t(Arg) * 0x010307u & 0xFFFFFF);
        if (Arg & 1) {
            int32_t index = 0;
            TRtSetModeControl* attrs = Rtf.GetSetModeControl();
            attrs->ColorToIndex(colour, index, true);
            attrs->SetColor(index);
        } else
            Rtf.ExecuteValue(11 * 256, Arg & 2 ? 3 : 10, Arg >> 2, AnsiString());
        break;
    }
    case 12: SendKey(Rtf, Qt::Key_Z, Qt::ControlModifier); break;
    case 13: SendKey(Rtf, Qt::Key_Y, Qt::ControlModifier); break;
    case 14:
        QGuiApplication::clipboard()->setText(QString::fromUtf8(kPastedTexts[Arg % std::size(kPastedTexts)]));
        SendKey(Rtf, Qt::Key_V, Qt::ControlModifier);
        break;
    case 15: Click(Rtf, Arg, shift & Qt::ShiftModifier); break;
    case 16:
        // Copy and cut go through the clipboard as the panel's menu does.
        SendKey(Rtf, Arg & 1 ? Qt::Key_X : Qt::Key_C, Qt::ControlModifier);
        break;
    default: SaveAndReload(Rtf); break;
    }
}

} // namespace

QByteArray FuzzRichTextInput(const QByteArray& Script, const QByteArray& Rtf)
{
    const QByteArray script = Script.left(255);
    return QByteArray(1, char(script.size())) + script + Rtf;
}

void FuzzRichText(const uint8_t* Data, size_t Size)
{
    const size_t scriptSize = Size > 0 ? std::min<size_t>(Data[0], Size - 1) : 0;
    const uint8_t* script = Data + 1;
    const QByteArray rtf = Size > scriptSize + 1
                               ? QByteArray(reinterpret_cast<const char*>(Data + 1 + scriptSize),
                                            qsizetype(Size - 1 - scriptSize))
                               : QByteArray();
    std::unique_ptr<TRtRichText> edit = PanelRichText();
    Guarded([&] {
        LoadText(*edit, rtf);
        Paint(*edit);
        for (size_t i = 0; i < scriptSize; i += 2) {
            RunStep(*edit, script[i], i + 1 < scriptSize ? script[i + 1] : 0);
            if (i % 8 == 6)
                Paint(*edit);
        }
        Paint(*edit);
        SaveAndReload(*edit);
        Paint(*edit);
    });
    edit.reset();
    QApplication::processEvents();
}
