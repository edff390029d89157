#include "FuzzSupport.h"

#include "Canvas.h"
#include "DragDropFormats.h"
#include "DragDropMime.h"
#include "FBMainViewCommands.h"
#include "FBPictureElement.h"
#include "Ole.h"
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
