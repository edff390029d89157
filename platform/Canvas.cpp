#include "Canvas.h"

#include <QFont>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QHash>
#include <QPainter>
#include <QSet>
#include <QPaintDevice>
#include <QTransform>

#include <algorithm>
#include <bitset>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <unordered_map>

#include "Application.h"
#include "Charsets.h"
#include "SysUtils.h"

// ---- fonts ---------------------------------------------------------------------------

namespace {

struct FaceKey {
    AnsiString name;
    TFontStyles style;
    bool operator==(const FaceKey&) const = default;
};

size_t qHash(const FaceKey& k, size_t seed = 0)
{
    return ::qHash(QByteArray::fromStdString(k.name), seed) ^ k.style;
}

// The face of a name and style at its em square size (design units).
QRawFont EmFace(const AnsiString& Name, TFontStyles Style)
{
    // Never destroyed at exit, when Qt can no longer release font engines: the
    // application object empties it while it lives.
    static auto& faces = *new QHash<FaceKey, QRawFont>;
    static const TStaticCleanup cleanup([] { faces.clear(); });
    const FaceKey key{Name, TFontStyles(Style & (fsBold | fsItalic))};
    auto it = faces.find(key);
    if (it != faces.end())
        return it.value();
    QFont f(fromAnsi(Name));
    f.setBold(Style & fsBold);
    f.setItalic(Style & fsItalic);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setPixelSize(100);
    QRawFont raw = QRawFont::fromFont(f);
    if (!raw.isValid()) {
        QFont fallback;
        fallback.setHintingPreference(QFont::PreferNoHinting);
        fallback.setPixelSize(100);
        raw = QRawFont::fromFont(fallback);
    }
    if (raw.isValid())
        raw.setPixelSize(raw.unitsPerEm());
    faces.insert(key, raw);
    return raw;
}

int32_t RoundI(double v) { return int32_t(Round(v)); }

}  // namespace

QRawFont RawFontFor(const AnsiString& Name, TFontStyles Style, double PixelSize)
{
    QRawFont face = EmFace(Name, Style);
    if (PixelSize <= 0 || !face.isValid() || face.pixelSize() == PixelSize)
        return face;
    // Realised sizes are kept: text is drawn token by token in few sizes.
    struct SizedKey {
        FaceKey face;
        double size;
        bool operator==(const SizedKey&) const = default;
    };
    struct SizedHash {
        size_t operator()(const SizedKey& k) const { return qHash(k.face) ^ std::hash<double>()(k.size); }
    };
    static auto& sized = *new std::unordered_map<SizedKey, QRawFont, SizedHash>;  // as the faces
    static const TStaticCleanup cleanup([] { sized.clear(); });
    const SizedKey key{FaceKey{Name, TFontStyles(Style & (fsBold | fsItalic))}, PixelSize};
    auto it = sized.find(key);
    if (it != sized.end())
        return it->second;
    if (sized.size() > 256)
        sized.clear();
    face.setPixelSize(PixelSize);
    sized.emplace(key, face);
    return face;
}

bool IsFontInstalled(const AnsiString& Name)
{
    const QString name = fromAnsi(Name).trimmed();
    if (name.isEmpty())
        return false;
    for (const QString& family : QFontDatabase::families())
        if (family.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    // A metric twin resolves to a family of its own; an unknown name to the fallback.
    const QString resolved = EmFace(Name, 0).familyName();
    const QString fallback = EmFace("Lumiseite-No-Such-Font", 0).familyName();
    return !resolved.isEmpty() && resolved != fallback;
}

TTextMetric TextMetricFor(const QRawFont& Face, double PixelSize)
{
    TTextMetric tm;
    if (!Face.isValid() || Face.pixelSize() <= 0)
        return tm;
    const double f = PixelSize / Face.pixelSize();
    tm.tmAscent = RoundI(Face.ascent() * f);
    tm.tmDescent = RoundI(Face.descent() * f);
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    tm.tmInternalLeading = tm.tmHeight - RoundI(PixelSize);
    tm.tmExternalLeading = RoundI(Face.leading() * f);
    tm.tmAveCharWidth = RoundI(Face.averageCharWidth() * f);
    tm.tmMaxCharWidth = RoundI(Face.maxCharWidth() * f);
    return tm;
}

// ---- text of a charset ---------------------------------------------------------------

namespace {

// Families tried for characters a face lacks: the charset's own script first.
const QStringList& FallbackFamilies(int32_t Charset)
{
    static std::map<int32_t, QStringList> lists;
    static std::mutex lock;
    const std::lock_guard<std::mutex> guard(lock);
    auto it = lists.find(Charset);
    if (it != lists.end())
        return it->second;
    QStringList cjk = {"Noto Sans CJK JP", "Noto Sans CJK SC", "Noto Sans CJK TC", "Noto Sans CJK KR"};
    switch (Charset) {
    case GB2312_CHARSET: cjk.move(1, 0); break;
    case CHINESEBIG5_CHARSET: cjk.move(2, 0); break;
    case HANGEUL_CHARSET: cjk.move(3, 0); break;
    default: break;
    }
    QStringList families = QStringList{"DejaVu Sans", "Liberation Sans"} + cjk;
    if (IsDBCSCharset(Charset))
        families = cjk + QStringList{"DejaVu Sans", "Liberation Sans"};
    for (const QString& f : QFontDatabase::families())
        if (!families.contains(f))
            families.append(f);
    return lists.emplace(Charset, families).first->second;
}

// A family's face at its em square in the weight and slant of another face.
QRawFont FamilyEmFace(const QString& Family, const QRawFont& Like)
{
    static QHash<QString, QRawFont> faces;
    static std::mutex lock;
    static const TStaticCleanup cleanup([] { faces.clear(); });
    const std::lock_guard<std::mutex> guard(lock);
    const QString key = Family + QChar(u'/') + QString::number(Like.weight()) + QChar(u'/') +
                        QString::number(int(Like.style()));
    auto it = faces.find(key);
    if (it != faces.end())
        return it.value();
    QFont f(Family);
    f.setWeight(QFont::Weight(Like.weight()));
    f.setStyle(Like.style());
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setPixelSize(100);
    QRawFont raw = QRawFont::fromFont(f);
    if (raw.isValid() && raw.familyName().compare(Family, Qt::CaseInsensitive) != 0)
        raw = QRawFont();
    if (raw.isValid())
        raw.setPixelSize(raw.unitsPerEm());
    faces.insert(key, raw);
    return raw;
}

// The family that draws a character a face lacks, found once per character.
QString FallbackFamily(const QRawFont& Like, char32_t Ch, int32_t Charset)
{
    static std::map<std::pair<int32_t, char32_t>, QString> found;
    static std::mutex lock;
    {
        const std::lock_guard<std::mutex> guard(lock);
        auto it = found.find({Charset, Ch});
        if (it != found.end())
            return it->second;
    }
    QString family;
    for (const QString& f : FallbackFamilies(Charset)) {
        const QRawFont face = FamilyEmFace(f, Like);
        if (face.isValid() && face.supportsCharacter(uint(Ch))) {
            family = f;
            break;
        }
    }
    const std::lock_guard<std::mutex> guard(lock);
    found[{Charset, Ch}] = family;
    return family;
}

// Consecutive characters drawn by one face: [First, Last) of the per-byte characters.
struct TFaceRun {
    QRawFont Face;
    size_t First = 0, Last = 0;
};

// The codes below 256 that a face draws itself (the control codes count as its
// own), found once per face: most text needs no lookup per character.
std::bitset<256> OwnLatin1(const QRawFont& Face)
{
    struct THash {
        size_t operator()(const QRawFont& F) const { return qHash(F); }
    };
    static auto& found = *new std::unordered_map<QRawFont, std::bitset<256>, THash>;   // as the faces
    static std::mutex lock;
    static const TStaticCleanup cleanup([] { found.clear(); });
    const std::lock_guard<std::mutex> guard(lock);
    if (auto it = found.find(Face); it != found.end())
        return it->second;
    std::bitset<256> own;
    for (uint c = 0; c < 256; ++c)
        own[c] = c < 32 || Face.supportsCharacter(c);
    if (found.size() > 256)   // as the sized faces
        found.clear();
    found.emplace(Face, own);
    return own;
}

std::vector<TFaceRun> FaceRuns(const QRawFont& Face, int32_t Charset, const std::u32string& Chars)
{
    std::vector<TFaceRun> runs;
    const std::bitset<256> own = Face.isValid() ? OwnLatin1(Face) : std::bitset<256>().set();
    auto add = [&](const QRawFont& F, size_t I) {
        if (runs.empty() || !(runs.back().Face == F))
            runs.push_back({F, I, I + 1});
        else
            runs.back().Last = I + 1;
    };
    for (size_t i = 0; i < Chars.size(); ++i) {
        const char32_t c = Chars[i];
        if (c == 0)
            continue;
        if (c < 256 && own[c])
            add(Face, i);
        else
            add(FaceForChar(Face, c, Charset), i);
    }
    return runs;
}

// Glyphs of the non-zero characters of Chars[First, Last), with the byte index of each.
QList<quint32> RunGlyphs(const TFaceRun& Run, const std::u32string& Chars, std::vector<size_t>& Index)
{
    QString s;
    s.reserve(qsizetype(Run.Last - Run.First));
    Index.clear();
    for (size_t i = Run.First; i < Run.Last; ++i)
        if (const char32_t c = Chars[i]) {
            if (QChar::requiresSurrogates(c)) {
                s += QChar(QChar::highSurrogate(c));
                s += QChar(QChar::lowSurrogate(c));
            } else {
                s += QChar(char16_t(c));
            }
            Index.push_back(i);
        }
    QList<quint32> glyphs = Run.Face.glyphIndexesForString(s);
    // Characters beyond the basic plane are two units but one glyph.
    glyphs.resize(qsizetype(Index.size()));
    return glyphs;
}

}  // namespace

QRawFont FaceForChar(const QRawFont& Face, char32_t Ch, int32_t Charset)
{
    if (!Face.isValid() || Ch < 32)
        return Face;
    // Found once per face and character (asking a face for a character costs more
    // than the lookup), with one sized face per face and family, so that text of
    // another script is drawn by a face that keeps its rendered glyphs. Kept as
    // the faces are.
    struct TKey {
        QRawFont Face;
        QString Family;
        char32_t Ch;
        int32_t Charset;
        bool operator==(const TKey&) const = default;
    };
    struct THash {
        size_t operator()(const TKey& K) const
        {
            return qHash(K.Face) ^ qHash(K.Family) ^ (size_t(K.Ch) << 8) ^ size_t(K.Charset);
        }
    };
    static auto& found = *new std::unordered_map<TKey, QRawFont, THash>;   // by face, character and charset
    static auto& sized = *new std::unordered_map<TKey, QRawFont, THash>;   // by face and family
    static auto& faces = *new QSet<QRawFont>;                               // the faces asked for
    static std::mutex lock;
    static const TStaticCleanup cleanup([] {
        found.clear();
        sized.clear();
        faces.clear();
    });
    const TKey key{Face, QString(), Ch, Charset};
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (auto it = found.find(key); it != found.end())
            return it->second;
    }
    const QString family = Face.supportsCharacter(uint(Ch)) ? QString() : FallbackFamily(Face, Ch, Charset);
    const std::lock_guard<std::mutex> guard(lock);
    // Bounded as the sized faces are, so that faces no longer used can go.
    faces.insert(Face);
    if (found.size() > 16384 || faces.size() > 256) {
        found.clear();
        sized.clear();
        faces.clear();
        faces.insert(Face);
    }
    QRawFont face = Face;
    if (!family.isEmpty()) {
        const TKey familyKey{Face, family, 0, 0};
        auto it = sized.find(familyKey);
        if (it == sized.end()) {
            QRawFont f = FamilyEmFace(family, Face);
            f.setPixelSize(Face.pixelSize());
            it = sized.emplace(familyKey, f).first;
        }
        face = it->second;
    }
    found.emplace(key, face);
    return face;
}

double CharAdvance(const QRawFont& Face, char32_t Ch, int32_t Charset)
{
    const QRawFont face = FaceForChar(Face, Ch, Charset);
    if (!face.isValid())
        return 0;
    const QList<quint32> glyphs = face.glyphIndexesForString(QString::fromUcs4(&Ch, 1));
    if (glyphs.isEmpty())
        return 0;
    const QList<QPointF> adv = face.advancesForGlyphIndexes(glyphs.mid(0, 1));
    return adv.isEmpty() ? 0 : adv[0].x();
}

std::vector<int> CharsetAdvances(const QRawFont& EmFace, double Em, int32_t Charset, std::string_view Text)
{
    std::vector<int> adv(Text.size());
    if (!EmFace.isValid() || Text.empty())
        return adv;
    const std::u32string chars = CharsetCharsPerByte(Charset, Text);
    const double scale = Em / EmFace.pixelSize();
    std::vector<size_t> index;
    for (const TFaceRun& run : FaceRuns(EmFace, Charset, chars)) {
        const QList<QPointF> a = run.Face.advancesForGlyphIndexes(RunGlyphs(run, chars, index));
        for (size_t k = 0; k < index.size() && k < size_t(a.size()); ++k)
            adv[index[k]] = int32_t(Round(a[qsizetype(k)].x() * scale));
    }
    return adv;
}

QList<QGlyphRun> CharsetGlyphRuns(const QRawFont& Face, int32_t Charset, std::string_view Text, const int* Dx,
                                  double X, double Baseline)
{
    QList<QGlyphRun> runs;
    if (!Face.isValid() || Text.empty())
        return runs;
    const std::u32string chars = CharsetCharsPerByte(Charset, Text);
    std::vector<double> x(Text.size());
    double pos = X;
    for (size_t i = 0; i < Text.size(); ++i) {
        x[i] = pos;
        pos += Dx[i];
    }
    std::vector<size_t> index;
    for (const TFaceRun& run : FaceRuns(Face, Charset, chars)) {
        const QList<quint32> glyphs = RunGlyphs(run, chars, index);
        QList<QPointF> positions;
        positions.reserve(qsizetype(index.size()));
        for (size_t i : index)
            positions.append(QPointF(x[i], Baseline));
        QGlyphRun g;
        g.setRawFont(run.Face);
        g.setGlyphIndexes(glyphs);
        g.setPositions(positions);
        runs.append(g);
    }
    return runs;
}

bool LockBits(QImage& Image, BitmapData& Data)
{
    Data = BitmapData{};
    if (Image.isNull() || Image.format() != QImage::Format_ARGB32)
        return false;
    Data.Width = Image.width();
    Data.Height = Image.height();
    Data.Stride = int32_t(Image.bytesPerLine());
    Data.PixelFormat = PixelFormat32bppARGB;
    Data.Scan0 = Image.bits();
    return true;
}

// ---- canvas ---------------------------------------------------------------------------

TCanvas::TCanvas()
{
    auto changed = [this](TObject* s) { StateChanged(s); };
    pen_.OnChange = changed;
    brush_.OnChange = changed;
    font_.OnChange = changed;
}

TCanvas::TCanvas(QPaintDevice* Device) : TCanvas() { SetDevice(Device); }

TCanvas::~TCanvas() { Flush(); }

void TCanvas::StateChanged(TObject* Sender)
{
    stateDirty_ = true;
    if (Sender == &font_)
        fontDirty_ = true;
}

void TCanvas::SetDevice(QPaintDevice* Device)
{
    Flush();
    device_ = Device;
    if (device_ && device_->devType() != QInternal::Image) {
        ppiX_ = device_->logicalDpiX();
        ppiY_ = device_->logicalDpiY();
    }
}

void TCanvas::SetPixelsPerInch(int X, int Y)
{
    ppiX_ = X;
    ppiY_ = Y;
}

void TCanvas::SetFontEscapement(int Tenths)
{
    escapement_ = Tenths;
}

void TCanvas::Flush()
{
    if (painter_) {
        painter_->end();
        painter_.reset();
    }
}

void TCanvas::Begin()
{
    if (painter_ || !device_)
        return;
    if (device_->devType() == QInternal::Image && static_cast<QImage*>(device_)->isNull())
        return;
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(device_)) {
        painter_.reset();
        return;
    }
    stateDirty_ = true;
}

static Qt::PenStyle QtPenStyle(TPenStyle s)
{
    switch (s) {
    case psDash: return Qt::DashLine;
    case psDot: return Qt::DotLine;
    case psDashDot: return Qt::DashDotLine;
    case psDashDotDot: return Qt::DashDotDotLine;
    case psClear: return Qt::NoPen;
    default: return Qt::SolidLine;
    }
}

static Qt::BrushStyle QtBrushStyle(TBrushStyle s)
{
    switch (s) {
    case bsClear: return Qt::NoBrush;
    case bsHorizontal: return Qt::HorPattern;
    case bsVertical: return Qt::VerPattern;
    case bsFDiagonal: return Qt::FDiagPattern;
    case bsBDiagonal: return Qt::BDiagPattern;
    case bsCross: return Qt::CrossPattern;
    case bsDiagCross: return Qt::DiagCrossPattern;
    default: return Qt::SolidPattern;
    }
}

void TCanvas::ApplyState()
{
    if (!painter_ || !stateDirty_)
        return;
    QPen pen(QtPenStyle(pen_.Style()));
    pen.setColor(toQColor(pen_.Color()));
    pen.setWidth(std::max(1, pen_.Width()));
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter_->setPen(pen);
    painter_->setBrush(QBrush(toQColor(brush_.Color()), QtBrushStyle(brush_.Style())));
    painter_->setRenderHint(QPainter::Antialiasing, false);
    painter_->setRenderHint(QPainter::TextAntialiasing, true);
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    if (device_->devType() == QInternal::Image) {
        if (pen_.Mode() == pmXor)
            mode = QPainter::RasterOp_SourceXorDestination;
        else if (pen_.Mode() == pmNot)
            mode = QPainter::RasterOp_NotDestination;
        else if (pen_.Mode() == pmNotXor)
            mode = QPainter::RasterOp_NotSourceXorDestination;
    }
    painter_->setCompositionMode(mode);
    if (hasClip_)
        painter_->setClipRegion(clip_);
    else
        painter_->setClipping(false);
    stateDirty_ = false;
}

QPainter* TCanvas::Painter()
{
    Begin();
    ApplyState();
    return painter_.get();
}

// ---- lines, shapes and paths -----------------------------------------------------------

void TCanvas::AddToPathOrDraw(const QPainterPath& P, bool Closed)
{
    if (recording_) {
        // Append the figure's elements as they are (a new figure at its first point).
        for (int i = 0; i < P.elementCount(); ++i) {
            const QPainterPath::Element e = P.elementAt(i);
            if (e.isMoveTo())
                path_.moveTo(e);
            else if (e.isLineTo())
                path_.lineTo(e);
            else if (e.isCurveTo() && i + 2 < P.elementCount()) {
                path_.cubicTo(e, P.elementAt(i + 1), P.elementAt(i + 2));
                i += 2;
            }
        }
        return;
    }
    QPainter* p = Painter();
    if (!p)
        return;
    if (Closed) {
        QPainterPath filled = P;
        filled.setFillRule(Qt::OddEvenFill);
        p->drawPath(filled);
    } else {
        p->save();
        p->setBrush(Qt::NoBrush);
        p->drawPath(P);
        p->restore();
    }
}

void TCanvas::MoveTo(int X, int Y)
{
    penPos_ = TPoint{X, Y};
    if (recording_)
        path_.moveTo(X, Y);
}

void TCanvas::LineTo(int X, int Y)
{
    if (recording_) {
        if (path_.elementCount() == 0)
            path_.moveTo(penPos_.X, penPos_.Y);
        path_.lineTo(X, Y);
    } else if (QPainter* p = Painter()) {
        p->drawLine(penPos_.X, penPos_.Y, X, Y);
    }
    penPos_ = TPoint{X, Y};
}

static QPolygon ToPolygon(const std::vector<TPoint>& Points)
{
    QPolygon poly;
    poly.reserve(int(Points.size()));
    for (const TPoint& pt : Points)
        poly << QPoint(pt.X, pt.Y);
    return poly;
}

void TCanvas::Polyline(const std::vector<TPoint>& Points)
{
    if (Points.size() < 2)
        return;
    QPainterPath p;
    p.addPolygon(ToPolygon(Points));
    AddToPathOrDraw(p, false);
}

void TCanvas::Polygon(const std::vector<TPoint>& Points)
{
    if (Points.size() < 2)
        return;
    QPainterPath p;
    p.addPolygon(ToPolygon(Points));
    p.closeSubpath();
    AddToPathOrDraw(p, true);
}

void TCanvas::PolyBezier(const std::vector<TPoint>& Points)
{
    if (Points.size() < 4)
        return;
    QPainterPath p(QPointF(Points[0].X, Points[0].Y));
    for (size_t i = 1; i + 2 < Points.size(); i += 3)
        p.cubicTo(Points[i].X, Points[i].Y, Points[i + 1].X, Points[i + 1].Y, Points[i + 2].X,
                  Points[i + 2].Y);
    AddToPathOrDraw(p, false);
}

void TCanvas::PolyBezierTo(const std::vector<TPoint>& Points)
{
    if (Points.size() < 3)
        return;
    const size_t n = Points.size() / 3 * 3;
    if (recording_) {
        if (path_.elementCount() == 0)
            path_.moveTo(penPos_.X, penPos_.Y);
        for (size_t i = 0; i < n; i += 3)
            path_.cubicTo(Points[i].X, Points[i].Y, Points[i + 1].X, Points[i + 1].Y, Points[i + 2].X,
                          Points[i + 2].Y);
    } else {
        QPainterPath p(QPointF(penPos_.X, penPos_.Y));
        for (size_t i = 0; i < n; i += 3)
            p.cubicTo(Points[i].X, Points[i].Y, Points[i + 1].X, Points[i + 1].Y, Points[i + 2].X,
                      Points[i + 2].Y);
        AddToPathOrDraw(p, false);
    }
    penPos_ = Points[n - 1];
}

void TCanvas::Rectangle(int Left, int Top, int Right, int Bottom)
{
    Polygon({{Left, Top}, {Right, Top}, {Right, Bottom}, {Left, Bottom}});
}

void TCanvas::Ellipse(int Left, int Top, int Right, int Bottom)
{
    QPainterPath p;
    p.addEllipse(QRectF(Left, Top, Right - Left, Bottom - Top));
    AddToPathOrDraw(p, true);
}

void TCanvas::FillRect(const TRect& R)
{
    if (IsRectEmpty(R) || brush_.Style() == bsClear)
        return;
    if (QPainter* p = Painter())
        p->fillRect(QRect(R.Left, R.Top, R.Width(), R.Height()), p->brush());
}

void TCanvas::BeginPath()
{
    recording_ = true;
    pathReady_ = false;
    path_ = QPainterPath();
}

void TCanvas::EndPath()
{
    if (!recording_)
        return;
    recording_ = false;
    pathReady_ = true;
}

void TCanvas::AbortPath()
{
    recording_ = false;
    pathReady_ = false;
    path_ = QPainterPath();
}

void TCanvas::CloseFigure()
{
    if (recording_)
        path_.closeSubpath();
}

static void DrawPath(TCanvas& C, const QPainterPath& Path, bool Stroke, bool Fill)
{
    QPainter* p = C.Painter();
    if (!p)
        return;
    QPainterPath path = Path;
    path.setFillRule(Qt::OddEvenFill);
    p->save();
    if (!Stroke)
        p->setPen(Qt::NoPen);
    if (!Fill)
        p->setBrush(Qt::NoBrush);
    p->drawPath(path);
    p->restore();
}

void TCanvas::StrokePath()
{
    if (!pathReady_)
        return;
    DrawPath(*this, path_, true, false);
    AbortPath();
}

void TCanvas::FillPath()
{
    if (!pathReady_)
        return;
    DrawPath(*this, path_, false, true);
    AbortPath();
}

void TCanvas::StrokeAndFillPath()
{
    if (!pathReady_)
        return;
    DrawPath(*this, path_, true, true);
    AbortPath();
}

bool TCanvas::SelectClipPath(int Mode)
{
    if (!pathReady_)
        return false;
    QRegion region;
    for (const QPolygonF& poly : path_.toFillPolygons())
        region ^= QRegion(poly.toPolygon(), Qt::OddEvenFill);
    AbortPath();
    ExtSelectClipRegion(region, Mode);
    return true;
}

// ---- clipping ------------------------------------------------------------------------------

QRegion TCanvas::DeviceRegion() const
{
    if (!device_)
        return QRegion(-32000, -32000, 64000, 64000);
    return QRegion(0, 0, device_->width(), device_->height());
}

QRegion TCanvas::CombineRegion(const QRegion& A, const QRegion& B, int Mode)
{
    switch (Mode) {
    case RGN_AND: return A.intersected(B);
    case RGN_OR: return A.united(B);
    case RGN_XOR: return A.xored(B);
    case RGN_DIFF: return A.subtracted(B);
    default: return B;
    }
}

void TCanvas::SelectClipRegion(const QRegion* Region)
{
    hasClip_ = Region != nullptr;
    clip_ = Region ? *Region : QRegion();
    stateDirty_ = true;
}

void TCanvas::ExtSelectClipRegion(const QRegion& Region, int Mode)
{
    const QRegion base = hasClip_ ? clip_ : DeviceRegion();
    const QRegion combined = CombineRegion(base, Region, Mode);
    SelectClipRegion(&combined);
}

// ---- text -------------------------------------------------------------------------------------

double TCanvas::FontEmPixels()
{
    const int h = font_.Height();
    if (h < 0)
        return -h;
    const QRawFont em = EmFace(font_.Name(), font_.Style());
    if (h == 0 || !em.isValid())
        return h == 0 ? 12 : h;
    // A positive height is the cell (ascent + descent).
    return double(h) * em.unitsPerEm() / (em.ascent() + em.descent());
}

const QRawFont& TCanvas::RawFont()
{
    if (fontDirty_) {
        rawEm_ = FontEmPixels();
        raw_ = RawFontFor(font_.Name(), font_.Style(), rawEm_);
        fontDirty_ = false;
    }
    return raw_;
}

TTextMetric TCanvas::GetTextMetrics()
{
    const QRawFont& f = RawFont();
    return TextMetricFor(f, rawEm_);
}

TSize TCanvas::TextExtent(const AnsiString& Text)
{
    const QRawFont& f = RawFont();
    (void)f;
    const std::vector<int> adv = CharsetAdvances(EmFace(font_.Name(), font_.Style()), rawEm_, font_.Charset(), Text);
    int w = 0;
    for (int a : adv)
        w += a;
    return TSize{w, GetTextMetrics().tmHeight};
}

void TCanvas::TextOut(int X, int Y, const AnsiString& Text)
{
    ExtTextOut(X, Y, Text, nullptr);
    penPos_ = TPoint{X + TextWidth(Text), Y};
}

void TCanvas::ExtTextOut(int X, int Y, const AnsiString& Text, const int* Dx)
{
    if (Text.empty())
        return;
    QPainter* p = Painter();
    if (!p)
        return;
    const QRawFont& face = RawFont();
    if (!face.isValid())
        return;
    const TTextMetric tm = TextMetricFor(face, rawEm_);
    std::vector<int> adv;
    if (!Dx) {
        adv = CharsetAdvances(EmFace(font_.Name(), font_.Style()), rawEm_, font_.Charset(), Text);
        Dx = adv.data();
    }
    double x = 0;
    for (size_t i = 0; i < Text.size(); ++i)
        x += Dx[i];
    const QList<QGlyphRun> runs = CharsetGlyphRuns(face, font_.Charset(), Text, Dx, 0, tm.tmAscent);

    p->save();
    // The cell's top-left is the reference point; the escapement turns counter-clockwise.
    p->translate(X, Y);
    if (escapement_ != 0)
        p->rotate(-escapement_ / 10.0);
    if (brush_.Style() != bsClear)
        p->fillRect(QRectF(0, 0, x, tm.tmHeight), toQColor(brush_.Color()));
    p->setPen(toQColor(font_.Color()));
    for (const QGlyphRun& run : runs)
        p->drawGlyphRun(QPointF(0, 0), run);
    // Decorations are drawn here: Qt offsets those of a glyph run by the
    // painter's translation a second time.
    if (font_.Style() & (fsUnderline | fsStrikeOut)) {
        const double thickness = std::max(1.0, face.lineThickness());
        const QColor color = toQColor(font_.Color());
        if (font_.Style() & fsUnderline)
            p->fillRect(QRectF(0, tm.tmAscent + face.underlinePosition() - thickness / 2, x, thickness), color);
        if (font_.Style() & fsStrikeOut)
            p->fillRect(QRectF(0, tm.tmAscent - face.xHeight() / 2 - thickness / 2, x, thickness), color);
    }
    p->restore();
}

// ---- pixels and images -------------------------------------------------------------------------

TColor TCanvas::Pixel(int X, int Y)
{
    if (!device_ || device_->devType() != QInternal::Image)
        return clBlack;
    Flush();
    const QImage* img = static_cast<QImage*>(device_);
    if (!img->valid(X, Y))
        return clBlack;
    return fromQColor(QColor(img->pixel(X, Y)));
}

void TCanvas::SetPixel(int X, int Y, TColor Color)
{
    if (!device_ || device_->devType() != QInternal::Image)
        return;
    Flush();
    QImage* img = static_cast<QImage*>(device_);
    if (img->valid(X, Y))
        img->setPixel(X, Y, toQColor(Color).rgb());
}

void TCanvas::StretchDIBits(const TRect& Dest, const QImage& Source, const TRect& Src)
{
    if (Source.isNull() || Dest.Width() == 0 || Dest.Height() == 0)
        return;
    QPainter* p = Painter();
    if (!p)
        return;
    const QRect src = IsRectEmpty(Src) ? Source.rect() : QRect(Src.Left, Src.Top, Src.Width(), Src.Height());
    // Device-independent bits carry no transparency: the alpha byte of a
    // 32-bit pixel is copied into a bitmap, and ignored on any other device.
    QImage bits = Source;
    const bool toImage = device_->devType() == QInternal::Image;
    if (!toImage && (Source.format() == QImage::Format_ARGB32
                     || Source.format() == QImage::Format_ARGB32_Premultiplied))
        bits = QImage(Source.constBits(), Source.width(), Source.height(), Source.bytesPerLine(),
                      QImage::Format_RGB32);
    p->save();
    p->setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (toImage)
        p->setCompositionMode(QPainter::CompositionMode_Source);
    p->drawImage(QRect(Dest.Left, Dest.Top, Dest.Width(), Dest.Height()), bits, src);
    p->restore();
}

void TCanvas::DrawImageParallelogram(const QImage& Image, const QPointF& P0, const QPointF& P1,
                                     const QPointF& P2, const QRectF& Src)
{
    if (Image.isNull() || Src.width() <= 0 || Src.height() <= 0)
        return;
    QPainter* p = Painter();
    if (!p)
        return;
    const double w = Src.width();
    const double h = Src.height();
    const QTransform t((P1.x() - P0.x()) / w, (P1.y() - P0.y()) / w, (P2.x() - P0.x()) / h,
                       (P2.y() - P0.y()) / h, P0.x(), P0.y());
    p->save();
    p->setRenderHint(QPainter::SmoothPixmapTransform, true);
    p->setTransform(t, true);
    p->drawImage(QRectF(0, 0, w, h), Image, Src);
    p->restore();
}

void TCanvas::Draw(int X, int Y, const QImage& Image)
{
    if (QPainter* p = Painter())
        p->drawImage(X, Y, Image);
}

// ---- bitmap ----------------------------------------------------------------------------------------

static QImage::Format QtFormat(TPixelFormat f)
{
    return f == pf24bit ? QImage::Format_BGR888 : QImage::Format_ARGB32;
}

TBitmap::TBitmap() : image_(0, 0, QImage::Format_ARGB32) {}

TBitmap::~TBitmap()
{
    if (canvas_)
        canvas_->Flush();
}

TCanvas& TBitmap::Canvas()
{
    if (!canvas_)
        canvas_ = std::make_unique<TCanvas>(&image_);
    return *canvas_;
}

void TBitmap::SetSize(int W, int H)
{
    W = std::max(0, W);
    H = std::max(0, H);
    if (W == Width() && H == Height())
        return;
    if (canvas_)
        canvas_->Flush();
    QImage img(W, H, QtFormat(format_));
    img.fill(Qt::white);
    const int rows = std::min(H, image_.height());
    const int bytes = std::min(W, image_.width()) * (format_ == pf24bit ? 3 : 4);
    for (int y = 0; y < rows; ++y)
        std::memcpy(img.scanLine(y), image_.constScanLine(y), size_t(bytes));
    image_ = img;
}

void TBitmap::SetPixelFormat(TPixelFormat Format)
{
    if (Format == format_)
        return;
    if (canvas_)
        canvas_->Flush();
    format_ = Format;
    if (!image_.isNull())
        image_ = image_.convertToFormat(QtFormat(format_));
    else
        image_ = QImage(0, 0, QtFormat(format_));
}

uint8_t* TBitmap::ScanLine(int Y)
{
    if (Y < 0 || Y >= Height())
        throw EInvalidOperation("Scan line index out of range");
    if (canvas_)
        canvas_->Flush();
    return image_.scanLine(Y);
}

QImage& TBitmap::Image()
{
    if (canvas_)
        canvas_->Flush();
    return image_;
}

void TBitmap::Assign(const TBitmap& Source)
{
    if (&Source == this)
        return;
    if (canvas_)
        canvas_->Flush();
    if (Source.canvas_)
        Source.canvas_->Flush();
    format_ = Source.format_;
    image_ = Source.image_.copy();
}
