// Writes the seed corpora of the fuzz targets, made by the program itself:
// project files of the products (with a picture, texts, clip-art, calendars,
// a picture link and special days), the built-in page templates and colour
// presets as streams, the rich text of text boxes, and drag and clipboard
// data as the program hands them out, and metafiles a word processor wrote.
//   FuzzSeeds DIR  ->  DIR/project, DIR/templates, DIR/rtf, DIR/richtext, DIR/drop, DIR/jpeg, DIR/metafile
#include "FBPictureElement.h"
#include "FuzzSupport.h"

#include "SysUtils.h"
#include "uDataFile.h"
#include "uFotobuchBildManager.h"
#include "uFotobuchDocument.h"
#include "uFotobuchMainview.h"
#include "uFotobuchPageTemplate.h"
#include "uFotobuchPresets.h"
#include "uFotobuchSetup.h"
#include "uRTFDrawer.h"

#include "../tests/common/MetafileRecords.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

QString g_root;

void WriteSeed(const char* Corpus, const QString& Name, const QByteArray& Bytes)
{
    const QString dir = g_root + QLatin1Char('/') + QLatin1String(Corpus);
    QDir().mkpath(dir);
    QFile file(dir + QLatin1Char('/') + Name);
    if (!file.open(QIODevice::WriteOnly) || file.write(Bytes) != Bytes.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
}

QByteArray BytesOf(const TMemoryStream& Stream)
{
    return QByteArray(reinterpret_cast<const char*>(Stream.Bytes().data()), qsizetype(Stream.Bytes().size()));
}

QByteArray Prefixed(int Kind, const QByteArray& Bytes)
{
    return QByteArray(1, char(Kind)) + Bytes;
}

const char* const kTexts[] = {
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times New Roman;}}"
    "{\\colortbl;\\red200\\green0\\blue0;}\\pard\\qc\\f0\\fs28 Unser {\\b Sommer} "
    "{\\i\\cf1 am Meer}\\par\\pard\\qj\\f1\\fs20 Gr\\'fc\\'dfe aus dem Urlaub\\par}",
    "{\\rtf1\\ansi{\\fonttbl{\\f0 Courier New;}}\\f0\\fs48\\ul Titel\\ulnone\\par\\tab 2024\\par}",
};

// The products' documents, one with every kind of element and a picture.
void WriteProjects(const QString& Photo)
{
    const std::pair<const char*, std::function<void(TFBDocument*)>> products[] = {
        {"default", [](TFBDocument* d) { SetupDefaultDocument(d); }},
        {"photobook86", [](TFBDocument* d) { SetupPhotobook86Tradition(d, 6); }},
        {"photobook85", [](TFBDocument* d) { SetupPhotobook85Randlos(d, 4); }},
        {"pocketbooklet", [](TFBDocument* d) { SetupPocketBookletBorder(d, 4); }},
        {"singles", [](TFBDocument* d) { SetupSingles10x15(d, 2); }},
        {"calendar", [](TFBDocument* d) { SetupKalenderA4PictureTop(d, 2024); }},
        {"calendar-a5", [](TFBDocument* d) { SetupKalenderA5SevenPictures(d, 2024); }},
        {"labels", [](TFBDocument* d) { SetupOrvaneFlaschenetikett(d, 2); }},
    };
    for (const auto& [name, setup] : products) {
        TFBDocument doc;
        setup(&doc);
        TFBPage* page = doc.Pages.GetPage(std::min(1, doc.Pages.Count() - 1));
        if (page->Pictures.Count() > 0) {
            auto* frame = static_cast<TFBPictureElement*>(page->Pictures.GetItem(0));
            frame->LoadPictureFromFile(Photo);
            frame->SetZoom(1.5f);
            if (page->Pictures.Count() > 1) {
                TFBPictureLink* link = doc.AddPictureLink();
                link->AddElement(frame);
                link->AddElement(static_cast<TFBPictureElement*>(page->Pictures.GetItem(1)));
            }
        }
        auto text = std::make_unique<TFBTextElement>(page);
        text->CenterX = 40;
        text->CenterY = 30;
        text->Width = 60;
        text->Height = 20;
        text->Angle = -15;
        text->Drawer->SetRTFText(kTexts[0]);
        text->SetHasShadow(true);
        page->Elements.Add(std::move(text));
        auto clipart = std::make_unique<TFBClipartElement>(page);
        clipart->LoadFromFile(Photo);
        page->Elements.Add(std::move(clipart));
        doc.Holidays.AddDay("Neujahr", ", ", EncodeDate(2024, 1, 1));
        doc.Birthdays.AddDay("Anna", ", ", EncodeDate(2024, 3, 5));
        TMemoryStream stream;
        {
            TMemoryDataFile file(stream);
            doc.SaveToDataFile(file);
        }
        WriteSeed("project", QLatin1String(name) + QLatin1String(".zpb"), BytesOf(stream));

        // The same book's elements as the clipboard and drags carry them.
        for (int i = 0; i < page->Elements.Count(); ++i) {
            TMemoryStream copy;
            {
                TMemoryDataFile file(copy);
                page->Elements.GetItem(i)->SaveClipboardData(file, "Clipboard");
            }
            WriteSeed("drop", QStringLiteral("%1-element%2").arg(QLatin1String(name)).arg(i),
                      Prefixed(7, BytesOf(copy)));
        }
        if (page->Pictures.Count() > 0) {
            TMemoryStream copy;
            {
                TMemoryDataFile file(copy);
                page->Pictures.GetItem(0)->SaveClipboardData(file, "Clipboard");
            }
            WriteSeed("drop", QStringLiteral("%1-picture").arg(QLatin1String(name)),
                      Prefixed(6, BytesOf(copy)));
        }
        doc.Clear();
        BildManager().Clear();
    }
}

void WriteTemplates()
{
    TFBPageTemplateList templates;
    FillPageTemplateList(templates, AllLayoutTypen, 0);
    AddPhotobookProTemplates(templates);
    // Every template is short; a spread of each kind and a sample of the rest suffice.
    for (size_t i = 0; i < templates.size(); i += 7) {
        TMemoryStream stream;
        templates[i]->SaveToStream(stream);
        WriteSeed("templates", QStringLiteral("template%1").arg(i), Prefixed(0, BytesOf(stream)));
        WriteSeed("drop", QStringLiteral("template%1").arg(i), Prefixed(1, BytesOf(stream)));
    }
    TFBColorList colors;
    FillColorList(colors);
    for (size_t i = 0; i < colors.size(); ++i) {
        TMemoryStream stream;
        colors[i]->SaveToStream(stream);
        WriteSeed("templates", QStringLiteral("color%1").arg(i), Prefixed(1, BytesOf(stream)));
        WriteSeed("drop", QStringLiteral("color%1").arg(i), Prefixed(2, BytesOf(stream)));
    }
}

void WriteTexts(const QString& Photo)
{
    for (size_t i = 0; i < std::size(kTexts); ++i) {
        TRTFDrawer drawer;
        drawer.SetRTFText(kTexts[i]);
        const AnsiString& rtf = drawer.RTFText();
        WriteSeed("rtf", QStringLiteral("text%1.rtf").arg(i),
                  QByteArray(rtf.data(), qsizetype(rtf.size())));
    }
    const QByteArray files = Photo.toUtf8() + "\r\n" + Photo.toUtf8() + "\r\n";
    WriteSeed("drop", QStringLiteral("filelist"), Prefixed(0, files));
    WriteSeed("drop", QStringLiteral("clipart"), Prefixed(4, files));
    WriteSeed("drop", QStringLiteral("hdrop"), Prefixed(5, files));
    WriteSeed("drop", QStringLiteral("picture"), Prefixed(3, QByteArray("12345678")));
}

// The component's inputs: the RTF fixtures and texts whose page and section
// words come in the middle of the text, each behind scripts of edits.
void WriteRichTexts()
{
    std::vector<std::pair<QString, QByteArray>> texts;
    QDir fixtures(QStringLiteral(LUMI_SOURCE_DIR "/tests/data/rtf"));
    for (const QString& name : fixtures.entryList({QStringLiteral("*.rtf")}, QDir::Files)) {
        QFile file(fixtures.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            texts.emplace_back(QFileInfo(name).baseName(), file.readAll());
    }
    texts.emplace_back(QStringLiteral("paperw"),
                       "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Erste Zeile\\par Zweite\\paperw8000\\paperh9000"
                       "\\margl700 Zeile\\par dritte {\\b fett}\\par}");
    texts.emplace_back(QStringLiteral("sect"),
                       "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}Seite eins\\par\\sect\\sectd"
                       "\\pgwsxn7000\\pghsxn9000\\marglsxn500\\margrsxn500 Seite zwei\\par\\sect\\pgwsxn12000"
                       "\\lndscpsxn Seite drei\\tab x\\par}");
    texts.emplace_back(QStringLiteral("picture"),
                       "{\\rtf1\\ansi Bild {\\pict\\pngblip\\picw4\\pich4\\picwgoal600\\pichgoal600 "
                       "89504e470d0a1a0a0000000d4948445200000001000000010806000000"
                       "1f15c4890000000d49444154789c63f8cfc0f01f0005000201a3a35d1d0000000049454e44ae426082}"
                       " danach\\par}");
    // Metafiles as word processors write them: a WMF without its placeable header, an EMF.
    auto metafile = [](const char* Name) {
        QFile file(QStringLiteral(LUMI_SOURCE_DIR "/tests/data/metafile/") + QLatin1String(Name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    texts.emplace_back(QStringLiteral("metafile"),
                       "{\\rtf1\\ansi WMF {\\pict\\wmetafile8\\picwgoal2835\\pichgoal1335 "
                           + metafile("shapes.wmf").mid(22).toHex()
                           + "} EMF {\\pict\\emfblip\\picwgoal1400\\pichgoal700 " + metafile("shapes.emf").toHex()
                           + "}\\par}");
    // Typing with and without a selection, commands, undo and redo, paste, save and reload.
    const std::vector<std::vector<uint8_t>> scripts = {
        {},
        {0, 'H', 0, 'a', 0, 'l', 4, 0, 1, 4, 5, 0x80, 5, 0x80, 7, 2, 12, 0, 13, 0},
        {6, 1, 7, 2, 10, 16, 9, 0x81, 11, 3, 8, 3, 12, 0, 12, 0, 13, 0, 14, 1, 2, 0, 3, 0, 17, 0},
        {15, 0x33, 15, 0x55, 16, 0, 5, 0x85, 16, 1, 14, 0, 8, 6, 8, 11, 0, 0xE4},
    };
    for (const auto& [name, rtf] : texts)
        for (size_t i = 0; i < scripts.size(); ++i) {
            const QByteArray script(reinterpret_cast<const char*>(scripts[i].data()), qsizetype(scripts[i].size()));
            WriteSeed("richtext", QStringLiteral("%1-%2").arg(name).arg(i), FuzzRichTextInput(script, rtf));
        }
}

// Sequential and progressive JPEGs, in colour and grey, each behind the four
// bytes of a reduced size (160 x 120, or none).
void WriteJpegs()
{
    QImage colour(640, 480, QImage::Format_RGB32);
    for (int y = 0; y < colour.height(); ++y)
        for (int x = 0; x < colour.width(); ++x)
            colour.setPixel(x, y, qRgb(x * 7 ^ y * 3, (x + y) & 0xFF, (x * y) & 0xFF));
    const QByteArray sized("\xA0\x00\x78\x00", 4);
    const QByteArray none(4, 0);
    int n = 0;
    for (const QImage& image : {colour, colour.convertToFormat(QImage::Format_Grayscale8)})
        for (const bool progressive : {false, true}) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "jpeg");
            writer.setQuality(80);
            writer.setProgressiveScanWrite(progressive);
            if (!writer.write(image))
                std::fprintf(stderr, "cannot encode a JPEG seed\n");
            WriteSeed("jpeg", QStringLiteral("picture%1").arg(n++), sized + bytes);
            WriteSeed("jpeg", QStringLiteral("picture%1").arg(n++), none + bytes);
        }
}

// Metafiles written by LibreOffice Draw (those of the tests, and drawing.svg
// in fuzz/seeds/metafile with text, a gradient, a picture and curves), the
// small files that once made the player crash or work long, and small ones of
// each kind of work its budget once left uncounted.
void WriteMetafiles()
{
    for (const char* folder : {"/tests/data/metafile", "/tests/data/metafile/ordinary", "/tests/data/metafile/hostile",
                               "/fuzz/seeds/metafile"}) {
        const QDir data(QLatin1String(LUMI_SOURCE_DIR) + QLatin1String(folder));
        for (const QFileInfo& info : data.entryInfoList({QStringLiteral("*.wmf"), QStringLiteral("*.emf")})) {
            QFile f(info.filePath());
            if (f.open(QIODevice::ReadOnly))
                WriteSeed("metafile", info.fileName(), f.readAll());
        }
    }
    using namespace metafile_records;
    WriteSeed("metafile", QStringLiteral("stretched-exttextout.wmf"), StretchedTextWmf(true));
    WriteSeed("metafile", QStringLiteral("stretched-textout.wmf"), StretchedTextWmf(false));
    WriteSeed("metafile", QStringLiteral("stretched-text.emf"), StretchedTextEmf());
    for (const auto& [name, bytes] : SlowMetafiles())
        if (bytes.size() <= 64 * 1024)
            WriteSeed("metafile", QLatin1String(name), bytes);
    for (const auto& [name, bytes] : CostlyMetafiles(false))
        WriteSeed("metafile", QLatin1String(name), bytes);
    WriteSeed("metafile", QStringLiteral("stacked-stretched-text.wmf"), StackedStretchedTextWmf(8000));
    WriteSeed("metafile", QStringLiteral("dense-zigzag-clip-path.emf"), ZigzagClipPathEmf(4000, 400));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    FuzzStartApplication();
    g_root = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir dir;
    // A small photo that the seeds carry inside them.
    const QString photo = dir.filePath(QStringLiteral("foto.jpg"));
    QImage image(48, 32, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 5, y * 7, 128));
    if (!image.save(photo))
        return 1;
    WriteProjects(photo);
    WriteTemplates();
    WriteTexts(photo);
    WriteRichTexts();
    WriteJpegs();
    WriteMetafiles();
    return 0;
}
