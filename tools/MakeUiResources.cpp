// Makes the pictures the user interface carries as resources: the wizard's
// product previews (rendered from the catalogue's own documents with the page
// drawer), the start image, the about picture and the tool-bar glyphs.
//
//   make_ui_resources <resources folder>
//
// writes <folder>/wizard/*.jpg and <folder>/images/*.png. The results are
// committed; run it again only when the catalogue or the pictures change.
#include "Application.h"
#include "Canvas.h"
#include "FBPictureElement.h"
#include "uBitmapDrawContext.h"
#include "uDocDrawer.h"
#include "uFotobuchDocument.h"
#include "uFotobuchSetup.h"

#include <QDir>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// ---- sample photographs for the frames -------------------------------------------------------

// A landscape in the given light: sky, sun, two hill ranges and a lake.
QImage SamplePhoto(int Variant)
{
    struct Look {
        QColor SkyTop, SkyBottom, Sun, HillFar, HillNear, Water;
    };
    static const Look looks[] = {
        {{70, 130, 200}, {190, 220, 240}, {255, 240, 180}, {90, 140, 110}, {50, 110, 60}, {80, 140, 190}},
        {{240, 120, 60}, {255, 210, 140}, {255, 250, 210}, {150, 90, 90}, {90, 60, 70}, {200, 120, 90}},
        {{40, 60, 120}, {140, 160, 210}, {245, 245, 230}, {70, 90, 120}, {40, 60, 80}, {60, 80, 130}},
        {{120, 180, 230}, {230, 240, 250}, {255, 255, 200}, {170, 160, 90}, {120, 140, 50}, {100, 170, 200}},
        {{200, 100, 150}, {250, 200, 170}, {255, 235, 200}, {120, 100, 140}, {80, 70, 100}, {180, 120, 160}},
    };
    const Look& l = looks[Variant % 5];
    const int w = 600, h = 400;
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, h * 0.6);
    sky.setColorAt(0, l.SkyTop);
    sky.setColorAt(1, l.SkyBottom);
    p.fillRect(img.rect(), sky);
    const QPointF sun(w * (0.25 + 0.12 * (Variant % 4)), h * 0.28);
    QRadialGradient glow(sun, 90);
    glow.setColorAt(0, l.Sun);
    glow.setColorAt(0.35, l.Sun);
    glow.setColorAt(1, QColor(l.Sun.red(), l.Sun.green(), l.Sun.blue(), 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(sun, 90, 90);
    auto hills = [&](double Base, double Amp, double Freq, double Phase, const QColor& C) {
        QPainterPath path;
        path.moveTo(0, h);
        for (int x = 0; x <= w; x += 10)
            path.lineTo(x, h * Base - Amp * std::sin(x * Freq + Phase) - Amp * 0.4 * std::sin(x * Freq * 2.7));
        path.lineTo(w, h);
        path.closeSubpath();
        p.setBrush(C);
        p.drawPath(path);
    };
    hills(0.62, 40, 0.011, Variant * 1.3, l.HillFar);
    QLinearGradient water(0, h * 0.72, 0, h);
    water.setColorAt(0, l.Water.lighter(120));
    water.setColorAt(1, l.Water.darker(130));
    p.fillRect(QRectF(0, h * 0.72, w, h * 0.28), water);
    hills(0.86, 30, 0.017, Variant * 2.1 + 1, l.HillNear);
    return img;
}

// ---- wizard previews ---------------------------------------------------------------------------

struct TPreview {
    const char* Name;
    std::function<void(TFBDocument*)> Setup;
    int Screen;  // the screen drawn
};

// Fills every picture frame of the screen with a sample photograph.
void FillFrames(TFBDocument& Doc, int Screen, const QStringList& Photos)
{
    int n = 0;
    for (TFBPage* page : {Doc.GetLeftPage(Screen), Doc.GetRightPage(Screen)}) {
        if (!page || (page == Doc.GetRightPage(Screen) && page == Doc.GetLeftPage(Screen) && n > 0))
            continue;
        for (int i = 0; i < page->Pictures.Count(); ++i)
            if (auto* pic = dynamic_cast<TFBPictureElement*>(page->Pictures.GetItem(i)); pic && !pic->HasPicture()) {
                pic->LoadPictureFromFile(Photos[n++ % Photos.size()]);
                // A landscape page is drawn turned, so its picture is turned back.
                if (page->Orientation != 0)
                    pic->RotatePicture(Doc.ScreenQuerformatWinkel == -90.0f ? 0 : 2);
            }
    }
}

// A 400 x 300 picture of the screen on a soft background, with its shadow.
QImage RenderScreen(TFBDocument& Doc, int Screen, bool Background = true)
{
    TBitmap bitmap;
    bitmap.SetSize(400, 300);
    bitmap.Image().fill(Qt::transparent);
    if (Background) {
        QPainter p(&bitmap.Image());
        QLinearGradient bg(0, 0, 400, 300);
        bg.setColorAt(0, QColor(252, 252, 254));
        bg.setColorAt(1, QColor(228, 226, 218));
        p.fillRect(0, 0, 400, 300, bg);
    }
    TBitmapDrawContext dc(bitmap);
    FitScreenIntoPicture(Doc, Screen, dc, 400, 300);
    float w = 0, h = 0;
    Doc.GetScreenSize(w, h);
    const float d = std::max(w, h) / 120.0f;
    dc.DrawShadowRect(w / 2 + d, h / 2 + d, w, h, 0, d);
    DocumentDrawer().DrawSpread(Doc, dc, Screen, 0);
    return Background ? bitmap.Image().convertToFormat(QImage::Format_RGB32) : bitmap.Image();
}

std::vector<TPreview> Previews()
{
    auto pages = [](void (*F)(TFBDocument*, int), int Count) {
        return [F, Count](TFBDocument* D) { F(D, Count); };
    };
    auto year = [](void (*F)(TFBDocument*, int)) { return [F](TFBDocument* D) { F(D, 2027); }; };
    return {
        {"WIZ_PHOTOBOOKLET", pages(SetupPocketBookletFullsize, 32), 1},
        {"WIZ_PHOTOBOOKLETBORDER", pages(SetupPocketBookletBorder, 32), 1},
        {"WIZ_PHOTOBOOK_4_6", pages(SetupPhotobook46, 32), 1},
        {"WIZ_10X15_SINGLES", pages(SetupSingles10x15, 50), 0},
        {"WIZ_PHOTOBOOK_8_5", pages(SetupPhotobook85, 24), 1},
        {"WIZ_PHOTOBOOK_8_5_TRADITION", pages(SetupPhotobook85Tradition, 24), 1},
        {"WIZ_PHOTOBOOK_8_5_HORIZON", pages(SetupPhotobook85Horizon, 24), 1},
        {"WIZ_PHOTOBOOK_8_5_VERTICON", pages(SetupPhotobook85Verticon, 24), 1},
        {"WIZ_PHOTOBOOK_8_5_FULLSIZE_R", pages(SetupPhotobook85RandlosFullpage, 24), 1},
        {"WIZ_PHOTOBOOK_8_5_TRADITION_R", pages(SetupPhotobook85RandlosTradition, 24), 1},
        {"WIZ_PHOTOBOOK_8_5_HORIZON_R", pages(SetupPhotobook85RandlosHorizon, 24), 1},
        {"WIZ_PHOTOBOOK_8_5_VERTICON_R", pages(SetupPhotobook85RandlosVerticon, 24), 1},
        {"WIZ_PHOTOBOOK_8_6_M", pages(SetupPhotobook86, 24), 1},
        {"WIZ_PHOTOBOOK_8_6_TRADITION", pages(SetupPhotobook86Tradition, 24), 1},
        {"WIZ_PHOTOBOOK_8_6_HORIZON", pages(SetupPhotobook86Horizon, 24), 1},
        {"WIZ_PHOTOBOOK_8_6_VERTICON", pages(SetupPhotobook86Verticon, 24), 1},
        {"WIZ_PHOTOBOOK_PRO", pages(SetupPhotobookProHorizon, 40), 1},
        {"WIZ_PHOTOBOOK_PRO_R", pages(SetupPhotobookProRandlosHorizon, 40), 1},
        {"WIZ_13X18_SINGLES", pages(SetupSingles13x18, 50), 0},
        {"WIZ_PHOTOBINDING_10X15", pages(SetupPhotobinding10x15, 30), 0},
        {"WIZ_DINA4", pages(SetupDINA4, 30), 0},
        {"WIZ_DINA4_R", pages(SetupDINA4Randlos, 30), 0},
        {"WIZ_3C_10X15", pages(SetupLabels3C10x15, 20), 0},
        {"WIZ_3C_9X13", pages(SetupLabels3C9x13, 20), 0},
        {"WIZ_FLASCHENETIKETT", pages(SetupOrvaneFlaschenetikett, 20), 0},
        {"WIZ_KALENDER_A4_1", year(SetupKalenderA4PictureBottom), 1},
        {"WIZ_KALENDER_A4_2", year(SetupKalenderA4PictureTop), 1},
        {"WIZ_KALENDER_A4_3", year(SetupKalenderA4StripBottom), 1},
        {"WIZ_KALENDER_A4_4", year(SetupKalenderA4StripRight), 1},
        {"WIZ_KALENDER_A5_1", year(SetupKalenderA5PictureLeft), 1},
        {"WIZ_KALENDER_A5_2", year(SetupKalenderA5SevenPictures), 1},
        {"WIZ_KALENDER_A5_3", year(SetupKalenderA5StripBottom), 1},
    };
}

// A fan of three products, on a light background or on none.
QImage RenderStart(const QStringList& Photos, bool Background)
{
    QImage img(400, 300, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (Background) {
        QLinearGradient bg(0, 0, 400, 300);
        bg.setColorAt(0, QColor(252, 252, 254));
        bg.setColorAt(1, QColor(228, 226, 218));
        p.fillRect(img.rect(), bg);
    }
    const char* names[] = {"WIZ_10X15_SINGLES", "WIZ_KALENDER_A4_1", "WIZ_PHOTOBOOK_8_5_TRADITION"};
    const double angles[] = {-9, 7, 0};
    const QPointF centres[] = {{130, 150}, {275, 145}, {200, 165}};
    for (int i = 0; i < 3; ++i) {
        for (const TPreview& pv : Previews())
            if (qstrcmp(pv.Name, names[i]) == 0) {
                TFBDocument doc;
                pv.Setup(&doc);
                FillFrames(doc, pv.Screen, Photos);
                const QImage shot = RenderScreen(doc, pv.Screen, false);
                p.save();
                p.translate(centres[i]);
                p.rotate(angles[i]);
                p.drawImage(QRectF(-110, -82, 220, 165), shot);
                p.restore();
            }
    }
    return img;
}

// ---- start image and about picture -------------------------------------------------------------

// The dark blue backdrop of the start image and the about picture, with the
// product fan drawn into FanRect; the painter is left smooth.
void PaintBackdrop(QPainter& P, const QImage& Img, const QImage& Fan, const QRectF& FanRect)
{
    P.setRenderHint(QPainter::Antialiasing);
    P.setRenderHint(QPainter::SmoothPixmapTransform);
    QLinearGradient bg(0, 0, 0, Img.height());
    bg.setColorAt(0, QColor(34, 58, 94));
    bg.setColorAt(1, QColor(18, 30, 52));
    P.fillRect(Img.rect(), bg);
    P.drawImage(FanRect, Fan, QRectF(0, 0, 400, 300));
}

QFont BrandFont(int PixelSize, bool Bold)
{
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(PixelSize);
    f.setBold(Bold);
    return f;
}

QImage RenderStartImage(const QImage& Fan)
{
    QImage img(400, 300, QImage::Format_RGB32);
    QPainter p(&img);
    PaintBackdrop(p, img, Fan, QRectF(50, 90, 300, 225));
    p.setFont(BrandFont(34, true));
    p.setPen(QColor(255, 255, 255));
    p.drawText(QRectF(0, 22, 400, 44), Qt::AlignCenter, QStringLiteral("Brenmoor Vantoria"));
    p.setFont(BrandFont(14, false));
    p.setPen(QColor(200, 215, 235));
    p.drawText(QRectF(0, 64, 400, 24), Qt::AlignCenter,
               QString::fromUtf8("Fotobücher, Kalender und Fotos gestalten"));
    return img;
}

QImage RenderAboutPicture(const QImage& Fan)
{
    QImage img(120, 160, QImage::Format_RGB32);
    QPainter p(&img);
    PaintBackdrop(p, img, Fan, QRectF(-20, 40, 160, 120));
    p.setFont(BrandFont(15, true));
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 6, 120, 36), Qt::AlignCenter, QStringLiteral("Vantoria"));
    return img;
}

// ---- glyphs ----------------------------------------------------------------------------------------

QImage Glyph(int Size, const std::function<void(QPainter&)>& Draw)
{
    QImage img(Size, Size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(Size / 24.0, Size / 24.0);
    Draw(p);
    return img;
}

const QColor Outline(60, 60, 70);

void Page(QPainter& p, const QColor& Fill)
{
    QPainterPath path;
    path.moveTo(5, 2.5);
    path.lineTo(14.5, 2.5);
    path.lineTo(19.5, 7.5);
    path.lineTo(19.5, 21.5);
    path.lineTo(5, 21.5);
    path.closeSubpath();
    p.setPen(QPen(Outline, 1));
    p.setBrush(Fill);
    p.drawPath(path);
    p.setBrush(QColor(220, 220, 225));
    QPainterPath corner;
    corner.moveTo(14.5, 2.5);
    corner.lineTo(14.5, 7.5);
    corner.lineTo(19.5, 7.5);
    corner.closeSubpath();
    p.drawPath(corner);
}

std::vector<std::pair<const char*, QImage>> Glyphs()
{
    std::vector<std::pair<const char*, QImage>> g;
    g.emplace_back("TB_NEU", Glyph(24, [](QPainter& p) {
        Page(p, Qt::white);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(240, 180, 30));
        QPainterPath star;
        for (int i = 0; i < 10; ++i) {
            const double r = i % 2 ? 2.2 : 5.0, a = M_PI / 5 * i - M_PI / 2;
            const QPointF pt(17 + r * std::cos(a), 17 + r * std::sin(a));
            i ? star.lineTo(pt) : star.moveTo(pt);
        }
        star.closeSubpath();
        p.drawPath(star);
    }));
    g.emplace_back("TB_OEFFNEN", Glyph(24, [](QPainter& p) {
        p.setPen(QPen(QColor(150, 110, 20), 1));
        p.setBrush(QColor(235, 190, 70));
        p.drawRoundedRect(QRectF(2.5, 6.5, 17, 13), 1.5, 1.5);
        p.drawRect(QRectF(2.5, 4.5, 7, 3));
        QPainterPath front;
        front.moveTo(2.5, 19.5);
        front.lineTo(6.5, 10.5);
        front.lineTo(22.5, 10.5);
        front.lineTo(18.5, 19.5);
        front.closeSubpath();
        p.setBrush(QColor(250, 215, 110));
        p.drawPath(front);
    }));
    g.emplace_back("TB_SPEICHERN", Glyph(24, [](QPainter& p) {
        p.setPen(QPen(QColor(30, 50, 100), 1));
        p.setBrush(QColor(60, 100, 180));
        p.drawRoundedRect(QRectF(3.5, 3.5, 17, 17), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6.5, 3.5, 11, 7));
        p.setBrush(QColor(200, 205, 215));
        p.drawRect(QRectF(7.5, 13.5, 9, 7));
        p.setBrush(QColor(30, 50, 100));
        p.drawRect(QRectF(13.5, 4.5, 2, 5));
    }));
    g.emplace_back("TB_DRUCKEN", Glyph(24, [](QPainter& p) {
        p.setPen(QPen(Outline, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6.5, 2.5, 11, 8));
        p.setBrush(QColor(150, 155, 165));
        p.drawRoundedRect(QRectF(2.5, 9.5, 19, 8), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6.5, 14.5, 11, 7));
        p.setPen(QPen(QColor(120, 120, 130), 1));
        p.drawLine(QPointF(8, 17), QPointF(16, 17));
        p.drawLine(QPointF(8, 19), QPointF(14, 19));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(90, 200, 90));
        p.drawEllipse(QPointF(18.5, 12), 1, 1);
    }));
    g.emplace_back("TB_RUECKGAENGIG", Glyph(24, [](QPainter& p) {
        p.setPen(QPen(QColor(40, 90, 170), 2.6, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        QPainterPath arc;
        arc.moveTo(7, 10);
        arc.cubicTo(12, 5, 21, 7, 20, 14);
        arc.cubicTo(19, 19, 13, 20, 10, 19);
        p.drawPath(arc);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 90, 170));
        QPainterPath head;
        head.moveTo(3, 11);
        head.lineTo(10, 4.5);
        head.lineTo(10.5, 13);
        head.closeSubpath();
        p.drawPath(head);
    }));
    g.emplace_back("TB_ENTFERNEN", Glyph(24, [](QPainter& p) {
        p.setPen(QPen(QColor(200, 40, 40), 3.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 6), QPointF(18, 18));
        p.drawLine(QPointF(18, 6), QPointF(6, 18));
    }));
    g.emplace_back("TB_SCHATTEN", Glyph(24, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 70));
        p.drawRect(QRectF(6, 7, 16, 14));
        p.setBrush(QColor(0, 0, 0, 60));
        p.drawRect(QRectF(5, 6, 16, 14));
        p.setPen(QPen(Outline, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(2.5, 3.5, 16, 14));
        QLinearGradient sky(0, 5, 0, 16);
        sky.setColorAt(0, QColor(90, 150, 220));
        sky.setColorAt(1, QColor(190, 220, 245));
        p.setPen(Qt::NoPen);
        p.setBrush(sky);
        p.drawRect(QRectF(4.5, 5.5, 12, 10));
        p.setBrush(QColor(60, 130, 70));
        QPainterPath hill;
        hill.moveTo(4.5, 15.5);
        hill.lineTo(9, 10);
        hill.lineTo(12, 13);
        hill.lineTo(14, 11);
        hill.lineTo(16.5, 15.5);
        hill.closeSubpath();
        p.drawPath(hill);
    }));
    g.emplace_back("TB_SCHLIESSEN", Glyph(24, [](QPainter& p) {
        Page(p, QColor(245, 245, 248));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 40, 40));
        p.drawEllipse(QPointF(16.5, 16.5), 5.5, 5.5);
        p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(14.3, 14.3), QPointF(18.7, 18.7));
        p.drawLine(QPointF(18.7, 14.3), QPointF(14.3, 18.7));
    }));
    auto arrow = [](bool Right) {
        return Glyph(16, [Right](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(40, 90, 170));
            QPainterPath path;
            if (Right) {
                path.moveTo(8, 4);
                path.lineTo(18, 12);
                path.lineTo(8, 20);
            } else {
                path.moveTo(16, 4);
                path.lineTo(6, 12);
                path.lineTo(16, 20);
            }
            path.closeSubpath();
            p.drawPath(path);
        });
    };
    g.emplace_back("TB_ZURUECK", arrow(false));
    g.emplace_back("TB_VOR", arrow(true));
    g.emplace_back("ZOOM", Glyph(16, [](QPainter& p) {
        p.setPen(QPen(Outline, 2.4));
        p.setBrush(QColor(220, 235, 250));
        p.drawEllipse(QPointF(10, 10), 6.5, 6.5);
        p.setPen(QPen(Outline, 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(15, 15), QPointF(21, 21));
    }));
    g.emplace_back("MARLOWEN", Glyph(32, [](QPainter& p) {
        p.setPen(QPen(QColor(40, 90, 170), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        QPainterPath cart;
        cart.moveTo(2, 4);
        cart.lineTo(5, 4);
        cart.lineTo(8, 16);
        cart.lineTo(19, 16);
        cart.lineTo(21.5, 8);
        cart.lineTo(6.2, 8);
        p.drawPath(cart);
        p.setBrush(QColor(40, 90, 170));
        p.drawEllipse(QPointF(9, 19.5), 1.5, 1.5);
        p.drawEllipse(QPointF(18, 19.5), 1.5, 1.5);
    }));
    return g;
}

bool Save(const QImage& Image, const QString& FileName, const char* Format)
{
    if (!Image.save(FileName, Format, 88)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(FileName));
        return false;
    }
    std::printf("%s\n", qPrintable(FileName));
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_ui_resources <resources folder>\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    root.mkpath(QStringLiteral("wizard"));
    root.mkpath(QStringLiteral("images"));

    QTemporaryDir tmp;
    QStringList photos;
    for (int i = 0; i < 5; ++i) {
        const QString name = tmp.filePath(QStringLiteral("photo%1.png").arg(i));
        SamplePhoto(i).save(name);
        photos.append(name);
    }

    bool ok = true;
    for (const TPreview& pv : Previews()) {
        TFBDocument doc;
        pv.Setup(&doc);
        FillFrames(doc, pv.Screen, photos);
        // The wizard draws the calendars over the picture, in the user's language.
        for (TFBPage* page : {doc.GetLeftPage(pv.Screen), doc.GetRightPage(pv.Screen)})
            if (page)
                page->Calendars.Clear();
        ok &= Save(RenderScreen(doc, pv.Screen), root.filePath(QStringLiteral("wizard/%1.jpg").arg(pv.Name)), "JPG");
    }
    const QImage fan = RenderStart(photos, false);
    ok &= Save(RenderStart(photos, true).convertToFormat(QImage::Format_RGB32), root.filePath(QStringLiteral("wizard/WIZ_START.jpg")), "JPG");
    ok &= Save(RenderStartImage(fan), root.filePath(QStringLiteral("images/STARTBILD.png")), "PNG");
    ok &= Save(RenderAboutPicture(fan), root.filePath(QStringLiteral("images/INFOBILD.png")), "PNG");
    for (const auto& [name, image] : Glyphs())
        ok &= Save(image, root.filePath(QStringLiteral("images/%1.png").arg(QString::fromLatin1(name))), "PNG");
    return ok ? 0 : 1;
}
