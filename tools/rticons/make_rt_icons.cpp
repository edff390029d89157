// Draws the rich-text editor's 71 tool-bar pictures (20 x 20 PNG) into
// richtext/control/icons/. Build and run from the repository root:
//   g++ -std=c++20 -fPIC tools/rticons/make_rt_icons.cpp -o /tmp/make_rt_icons \
//       $(pkg-config --cflags --libs Qt6Gui) && QT_QPA_PLATFORM=offscreen /tmp/make_rt_icons
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <functional>
#include <map>

namespace {

const QColor Ink(40, 40, 40), Blue(30, 90, 200), Red(200, 40, 40), Green(30, 140, 60), Paper(250, 250, 250),
    Grey(150, 150, 150), Gold(220, 170, 40);

void Letter(QPainter& p, const QString& s, int size, bool bold, bool italic, QColor c = Ink, QRectF r = {0, 0, 20, 20})
{
    QFont f("DejaVu Sans");
    f.setPixelSize(size);
    f.setBold(bold);
    f.setItalic(italic);
    p.setFont(f);
    p.setPen(c);
    p.drawText(r, Qt::AlignCenter, s);
}
void Lines(QPainter& p, const int* lefts, const int* rights, int n, int top = 3, int step = 4)
{
    p.setPen(QPen(Ink, 2));
    for (int i = 0; i < n; ++i)
        p.drawLine(lefts[i], top + i * step, rights[i], top + i * step);
}
void Page(QPainter& p, QRectF r = {4, 2, 12, 16})
{
    p.setPen(QPen(Ink, 1));
    p.setBrush(Paper);
    p.drawRect(r);
    p.setBrush(Qt::NoBrush);
}
void Arrow(QPainter& p, QPointF from, QPointF to, QColor c = Blue)
{
    p.setPen(QPen(c, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    const QPointF d = to - from;
    const double len = std::hypot(d.x(), d.y());
    const QPointF u = d / len, n(-u.y(), u.x());
    p.setBrush(c);
    p.setPen(Qt::NoPen);
    p.drawPolygon(QPolygonF({to + u * 2, to - u * 4 + n * 3.5, to - u * 4 - n * 3.5}));
    p.setBrush(Qt::NoBrush);
}
void Grid(QPainter& p, QColor c = Grey)
{
    p.setPen(QPen(c, 1));
    for (int i = 0; i <= 3; ++i) {
        p.drawLine(2 + i * 5, 2, 2 + i * 5, 17);
        p.drawLine(2, 2 + i * 5, 17, 2 + i * 5);
    }
}
void BorderGrid(QPainter& p, std::initializer_list<QLineF> strong)
{
    p.setPen(QPen(Grey, 1, Qt::DotLine));
    for (int i = 0; i <= 3; ++i) {
        p.drawLine(2 + i * 5, 2, 2 + i * 5, 17);
        p.drawLine(2, 2 + i * 5, 17, 2 + i * 5);
    }
    p.setPen(QPen(Ink, 2));
    for (const QLineF& l : strong)
        p.drawLine(l);
}
void Magnifier(QPainter& p, const QString& sign)
{
    p.setPen(QPen(Ink, 2));
    p.drawEllipse(QRectF(2, 2, 11, 11));
    p.drawLine(QPointF(12, 12), QPointF(18, 18));
    if (!sign.isEmpty())
        Letter(p, sign, 11, true, false, Blue, {2, 1, 11, 11});
}
void Printer(QPainter& p)
{
    p.setPen(QPen(Ink, 1));
    p.setBrush(Paper);
    p.drawRect(QRectF(6, 2, 8, 6));
    p.setBrush(QColor(190, 190, 190));
    p.drawRect(QRectF(2, 8, 16, 7));
    p.setBrush(Paper);
    p.drawRect(QRectF(6, 13, 8, 5));
    p.setBrush(Qt::NoBrush);
}
void Folder(QPainter& p)
{
    p.setPen(QPen(Ink, 1));
    p.setBrush(Gold);
    p.drawPolygon(QPolygonF({{2, 5}, {7, 5}, {9, 7}, {17, 7}, {17, 16}, {2, 16}}));
    p.setBrush(Qt::NoBrush);
}
void Disk(QPainter& p)
{
    p.setPen(QPen(Ink, 1));
    p.setBrush(Blue);
    p.drawRect(QRectF(3, 3, 14, 14));
    p.setBrush(Paper);
    p.drawRect(QRectF(6, 3, 8, 5));
    p.drawRect(QRectF(5, 11, 10, 6));
    p.setBrush(Qt::NoBrush);
}
void Cross(QPainter& p, QRectF r, QColor c = Red)
{
    p.setPen(QPen(c, 2));
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
}
void Triangle(QPainter& p, bool left, double x)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    if (left)
        p.drawPolygon(QPolygonF({{x, 10}, {x + 6, 4}, {x + 6, 16}}));
    else
        p.drawPolygon(QPolygonF({{x + 6, 10}, {x, 4}, {x, 16}}));
    p.setBrush(Qt::NoBrush);
}
void Bar(QPainter& p, double x)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawRect(QRectF(x, 4, 2, 12));
    p.setBrush(Qt::NoBrush);
}
void Lock(QPainter& p, QRectF r)
{
    p.setPen(QPen(Ink, 1.5));
    p.drawArc(QRectF(r.x() + 2, r.y(), r.width() - 4, r.height() * 0.8), 0, 180 * 16);
    p.setBrush(Gold);
    p.drawRect(QRectF(r.x(), r.y() + r.height() * 0.4, r.width(), r.height() * 0.6));
    p.setBrush(Qt::NoBrush);
}
void UndoArrow(QPainter& p, bool redo)
{
    p.save();
    if (redo) {
        p.translate(20, 0);
        p.scale(-1, 1);
    }
    QPainterPath path;
    path.moveTo(15, 16);
    path.cubicTo(18, 8, 10, 4, 6, 8);
    p.setPen(QPen(Blue, 2));
    p.drawPath(path);
    p.setPen(Qt::NoPen);
    p.setBrush(Blue);
    p.drawPolygon(QPolygonF({{3, 5}, {9, 5}, {4, 11}}));
    p.restore();
}
void Bullets(QPainter& p, bool numbers)
{
    for (int i = 0; i < 3; ++i) {
        if (numbers)
            Letter(p, QString::number(i + 1), 6, true, false, Ink, {0, 1.0 + i * 6, 6, 6});
        else {
            p.setPen(Qt::NoPen);
            p.setBrush(Ink);
            p.drawEllipse(QRectF(2, 3 + i * 6, 3, 3));
            p.setBrush(Qt::NoBrush);
        }
        p.setPen(QPen(Ink, 2));
        p.drawLine(8, 4 + i * 6, 18, 4 + i * 6);
    }
}
void Clipboard(QPainter& p)
{
    p.setPen(QPen(Ink, 1));
    p.setBrush(QColor(200, 160, 100));
    p.drawRect(QRectF(3, 3, 11, 15));
    p.setBrush(Grey);
    p.drawRect(QRectF(6, 1, 5, 3));
    p.setBrush(Paper);
    p.drawRect(QRectF(9, 8, 9, 11));
    p.setBrush(Qt::NoBrush);
}

using TDraw = std::function<void(QPainter&)>;

std::map<QString, TDraw> Drawings()
{
    const int al[4] = {2, 2, 2, 2}, ar[4] = {18, 12, 16, 10};
    const int rl[4] = {2, 8, 4, 10}, rr[4] = {18, 18, 18, 18};
    const int cl[4] = {2, 5, 3, 6}, cr[4] = {18, 15, 17, 14};
    const int jl[4] = {2, 2, 2, 2}, jr[4] = {18, 18, 18, 12};
    return {
        {"RTI_NORMAL", [](QPainter& p) { Letter(p, "A", 15, false, false); }},
        {"RTI_BOLD", [](QPainter& p) { Letter(p, "B", 16, true, false); }},
        {"RTI_ITALIC", [](QPainter& p) { Letter(p, "I", 16, true, true); }},
        {"RTI_UNDER", [](QPainter& p) {
             Letter(p, "U", 14, true, false, Ink, {0, -1, 20, 18});
             p.setPen(QPen(Ink, 2));
             p.drawLine(4, 18, 16, 18);
         }},
        {"RTI_SUPER", [](QPainter& p) {
             Letter(p, "x", 14, false, false, Ink, {0, 4, 14, 16});
             Letter(p, "2", 9, true, false, Blue, {11, 0, 8, 9});
         }},
        {"RTI_SUB", [](QPainter& p) {
             Letter(p, "x", 14, false, false, Ink, {0, 0, 14, 16});
             Letter(p, "2", 9, true, false, Blue, {11, 10, 8, 9});
         }},
        {"RTI_STRIKEOUT", [](QPainter& p) {
             Letter(p, "S", 16, false, false);
             p.setPen(QPen(Red, 2));
             p.drawLine(2, 11, 18, 11);
         }},
        {"RTI_HYPERLINK", [](QPainter& p) {
             p.setPen(QPen(Blue, 2));
             p.drawRoundedRect(QRectF(1, 7, 10, 6), 3, 3);
             p.drawRoundedRect(QRectF(9, 7, 10, 6), 3, 3);
         }},
        {"RTI_HIDDEN", [](QPainter& p) {
             Letter(p, "ab", 11, false, false, Grey);
             p.setPen(QPen(Ink, 1, Qt::DotLine));
             p.drawLine(2, 16, 18, 16);
         }},
        {"RTI_PROTECTED", [](QPainter& p) {
             Letter(p, "A", 12, true, false, Ink, {0, 0, 12, 14});
             Lock(p, {10, 8, 8, 10});
         }},
        {"RTI_RTFCODE", [](QPainter& p) { Letter(p, "{\\}", 10, true, false, Blue); }},
        {"RTI_LEFT", [=](QPainter& p) { Lines(p, al, ar, 4); }},
        {"RTI_CENTER", [=](QPainter& p) { Lines(p, cl, cr, 4); }},
        {"RTI_JUSTIFIED", [=](QPainter& p) { Lines(p, jl, jr, 4); }},
        {"RTI_RIGHT", [=](QPainter& p) { Lines(p, rl, rr, 4); }},
        {"RTI_New", [](QPainter& p) {
             Page(p);
             p.setPen(QPen(Gold, 2));
             p.drawLine(14, 1, 19, 6);
             p.drawLine(19, 1, 14, 6);
         }},
        {"RTI_OPEN", [](QPainter& p) { Folder(p); }},
        {"RTI_SAVE", [](QPainter& p) { Disk(p); }},
        {"RTI_CLOSE", [](QPainter& p) {
             Page(p);
             Cross(p, {7, 7, 6, 6});
         }},
        {"RTI_EXIT", [](QPainter& p) {
             p.setPen(QPen(Ink, 1));
             p.setBrush(QColor(160, 110, 60));
             p.drawRect(QRectF(3, 2, 9, 16));
             p.setBrush(Qt::NoBrush);
             Arrow(p, {9, 10}, {18, 10}, Red);
         }},
        {"RTI_FITWIDTH", [](QPainter& p) {
             Page(p, {5, 2, 10, 16});
             Arrow(p, {10, 10}, {18, 10});
             Arrow(p, {10, 10}, {2, 10});
         }},
        {"RTI_FITHEIGHT", [](QPainter& p) {
             Page(p, {5, 2, 10, 16});
             Arrow(p, {10, 10}, {10, 18});
             Arrow(p, {10, 10}, {10, 2});
         }},
        {"RTI_ZOOMOUT", [](QPainter& p) { Magnifier(p, "-"); }},
        {"RTI_ZOOMIN", [](QPainter& p) { Magnifier(p, "+"); }},
        {"RTI_PRIORPAGE", [](QPainter& p) {
             Page(p, {6, 2, 12, 16});
             Arrow(p, {10, 16}, {10, 4});
         }},
        {"RTI_NEXTPAGE", [](QPainter& p) {
             Page(p, {6, 2, 12, 16});
             Arrow(p, {10, 4}, {10, 16});
         }},
        {"RTI_PRINT", [](QPainter& p) { Printer(p); }},
        {"RTI_PRINTSETUP", [](QPainter& p) {
             Printer(p);
             p.setPen(QPen(Blue, 2));
             p.drawEllipse(QRectF(12, 12, 6, 6));
         }},
        {"RTI_TOSTART", [](QPainter& p) {
             Bar(p, 3);
             Triangle(p, true, 6);
         }},
        {"RTI_PREV", [](QPainter& p) { Triangle(p, true, 7); }},
        {"RTI_NEXT", [](QPainter& p) { Triangle(p, false, 7); }},
        {"RTI_TOEND", [](QPainter& p) {
             Triangle(p, false, 8);
             Bar(p, 15);
         }},
        {"RTI_ADD", [](QPainter& p) { Letter(p, "+", 18, true, false, Green); }},
        {"RTI_DEL", [](QPainter& p) { Letter(p, "\u2212", 18, true, false, Red); }},
        {"RTI_EDIT", [](QPainter& p) {
             p.setPen(QPen(Ink, 1));
             p.setBrush(Gold);
             p.drawPolygon(QPolygonF({{4, 13}, {13, 4}, {16, 7}, {7, 16}}));
             p.setBrush(Ink);
             p.drawPolygon(QPolygonF({{4, 13}, {7, 16}, {2, 18}}));
             p.setBrush(Qt::NoBrush);
         }},
        {"RTI_CANCEL", [](QPainter& p) { Cross(p, {4, 4, 12, 12}); }},
        {"RTI_POST", [](QPainter& p) {
             p.setPen(QPen(Green, 3, Qt::SolidLine, Qt::RoundCap));
             p.drawPolyline(QPolygonF({{3, 10}, {8, 15}, {17, 4}}));
         }},
        {"RTI_UNDO", [](QPainter& p) { UndoArrow(p, false); }},
        {"RTI_REDO", [](QPainter& p) { UndoArrow(p, true); }},
        {"RTI_DELTETETEXT", [](QPainter& p) {
             Letter(p, "ab", 11, false, false, Ink, {0, 0, 14, 20});
             Cross(p, {12, 11, 6, 6});
         }},
        {"RTI_SelAll", [](QPainter& p) {
             p.fillRect(QRectF(2, 2, 16, 16), QColor(80, 120, 220));
             const int l[4] = {4, 4, 4, 4}, r[4] = {16, 16, 16, 12};
             p.setPen(QPen(Qt::white, 2));
             for (int i = 0; i < 4; ++i)
                 p.drawLine(l[i], 5 + i * 3, r[i], 5 + i * 3);
         }},
        {"RTI_HideSel", [](QPainter& p) {
             p.setPen(QPen(QColor(80, 120, 220), 1, Qt::DashLine));
             p.drawRect(QRectF(2, 2, 16, 16));
             const int l[3] = {4, 4, 4}, r[3] = {16, 16, 12};
             Lines(p, l, r, 3, 6, 4);
         }},
        {"RTI_CUT", [](QPainter& p) {
             p.setPen(QPen(Ink, 1.5));
             p.drawEllipse(QRectF(2, 12, 6, 6));
             p.drawEllipse(QRectF(12, 12, 6, 6));
             p.drawLine(QPointF(7, 13), QPointF(15, 2));
             p.drawLine(QPointF(13, 13), QPointF(5, 2));
         }},
        {"RTI_COPY", [](QPainter& p) {
             Page(p, {2, 2, 10, 12});
             Page(p, {8, 6, 10, 12});
         }},
        {"RTI_PASTE", [](QPainter& p) { Clipboard(p); }},
        {"RTI_FIND", [](QPainter& p) { Magnifier(p, ""); }},
        {"RTI_REPLACE", [](QPainter& p) {
             Letter(p, "a", 10, true, false, Ink, {0, 0, 10, 10});
             Letter(p, "b", 10, true, false, Blue, {10, 10, 10, 10});
             Arrow(p, {6, 12}, {10, 16});
         }},
        {"RTI_SPELL", [](QPainter& p) {
             Letter(p, "abc", 8, true, false, Ink, {0, 0, 20, 10});
             p.setPen(QPen(Green, 2.5, Qt::SolidLine, Qt::RoundCap));
             p.drawPolyline(QPolygonF({{5, 14}, {9, 18}, {17, 10}}));
         }},
        {"RTI_CREATETABLE", [](QPainter& p) {
             Grid(p, Ink);
             p.fillRect(QRectF(2, 2, 15, 5), QColor(80, 120, 220, 160));
         }},
        {"RTI_SELROW", [](QPainter& p) {
             Grid(p);
             p.fillRect(QRectF(2, 7, 15, 5), QColor(80, 120, 220));
         }},
        {"RTI_INSROW", [](QPainter& p) {
             Grid(p);
             Letter(p, "+", 14, true, false, Green, {8, 8, 12, 12});
         }},
        {"RTI_DELROW", [](QPainter& p) {
             Grid(p);
             p.fillRect(QRectF(2, 7, 15, 5), QColor(220, 80, 80, 160));
         }},
        {"RTI_INSCOL", [](QPainter& p) {
             Grid(p);
             p.fillRect(QRectF(7, 2, 5, 15), QColor(80, 200, 80, 160));
         }},
        {"RTI_DELCOL", [](QPainter& p) {
             Grid(p);
             p.fillRect(QRectF(7, 2, 5, 15), QColor(220, 80, 80, 160));
         }},
        {"RTI_SELCOL", [](QPainter& p) {
             Grid(p);
             p.fillRect(QRectF(7, 2, 5, 15), QColor(80, 120, 220));
         }},
        {"RTI_SPLITCELL", [](QPainter& p) {
             p.setPen(QPen(Ink, 1));
             p.drawRect(QRectF(2, 5, 16, 10));
             p.setPen(QPen(Red, 1, Qt::DashLine));
             p.drawLine(10, 3, 10, 17);
         }},
        {"RTI_COMBINECELL", [](QPainter& p) {
             p.setPen(QPen(Ink, 1));
             p.drawRect(QRectF(2, 5, 16, 10));
             Arrow(p, {3, 10}, {8, 10});
             Arrow(p, {17, 10}, {12, 10});
         }},
        {"RTI_BOFF", [](QPainter& p) { BorderGrid(p, {}); }},
        {"RTI_BON", [](QPainter& p) {
             BorderGrid(p, {{2, 2, 17, 2}, {2, 17, 17, 17}, {2, 2, 2, 17}, {17, 2, 17, 17}, {7, 2, 7, 17},
                            {12, 2, 12, 17}, {2, 7, 17, 7}, {2, 12, 17, 12}});
         }},
        {"RTI_BINNER", [](QPainter& p) { BorderGrid(p, {{7, 2, 7, 17}, {12, 2, 12, 17}, {2, 7, 17, 7}, {2, 12, 17, 12}}); }},
        {"RTI_BOUTER", [](QPainter& p) { BorderGrid(p, {{2, 2, 17, 2}, {2, 17, 17, 17}, {2, 2, 2, 17}, {17, 2, 17, 17}}); }},
        {"RTI_BLEFT", [](QPainter& p) { BorderGrid(p, {{2, 2, 2, 17}}); }},
        {"RTI_BRIGHT", [](QPainter& p) { BorderGrid(p, {{17, 2, 17, 17}}); }},
        {"RTI_BTOP", [](QPainter& p) { BorderGrid(p, {{2, 2, 17, 2}}); }},
        {"RTI_BBOTTOM", [](QPainter& p) { BorderGrid(p, {{2, 17, 17, 17}}); }},
        {"RTI_BULLETS", [](QPainter& p) { Bullets(p, false); }},
        {"RTI_NUMBERS", [](QPainter& p) { Bullets(p, true); }},
        {"RTI_INCINDENT", [](QPainter& p) {
             const int l[4] = {2, 9, 9, 2}, r[4] = {18, 18, 18, 18};
             Lines(p, l, r, 4, 3, 4);
             Arrow(p, {1, 9}, {6, 9});
         }},
        {"RTI_DECINDENT", [](QPainter& p) {
             const int l[4] = {2, 9, 9, 2}, r[4] = {18, 18, 18, 18};
             Lines(p, l, r, 4, 3, 4);
             Arrow(p, {7, 9}, {2, 9});
         }},
        {"RTI_PARPROTECT", [](QPainter& p) {
             Letter(p, "\u00b6", 15, true, false, Ink, {0, 0, 13, 18});
             Lock(p, {10, 8, 8, 10});
         }},
        {"RTI_PARKEEP", [](QPainter& p) {
             Letter(p, "\u00b6", 15, true, false, Ink, {0, 0, 13, 18});
             p.setPen(QPen(Blue, 2));
             p.drawLine(15, 3, 15, 17);
             p.drawLine(12, 3, 18, 3);
             p.drawLine(12, 17, 18, 17);
         }},
    };
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? argv[1] : "richtext/control/icons";
    QDir().mkpath(dir);
    int n = 0;
    for (const auto& [name, draw] : Drawings()) {
        QImage img(20, 20, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        draw(p);
        p.end();
        if (!img.save(dir + "/" + name + ".png"))
            return 1;
        ++n;
    }
    std::printf("%d pictures\n", n);
    return 0;
}
