#include "RtRuler.h"

#include <QPainter>
#include <QPolygon>

TRtBasicRulerType::TRtBasicRulerType(Qt::Orientation Orientation, QWidget* Parent)
    : QWidget(Parent), orientation_(Orientation)
{
    setSizePolicy(Orientation == Qt::Horizontal ? QSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed)
                                                : QSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding));
}

void TRtBasicRulerType::SetRichText(TRtCustomRichText* RichText)
{
    if (RichText == richText_)
        return;
    richText_ = RichText;
    update();
}

bool TRtBasicRulerType::SetPage(int32_t Offset, int32_t Extent, int32_t MarginStart, int32_t MarginEnd)
{
    if (Offset == offset_ && Extent == extent_ && MarginStart == marginStart_ && MarginEnd == marginEnd_)
        return false;
    offset_ = Offset;
    extent_ = Extent;
    marginStart_ = MarginStart;
    marginEnd_ = MarginEnd;
    update();
    return true;
}

bool TRtBasicRulerType::SetIndents(int32_t Left, int32_t First, int32_t Right, const std::vector<TRtRulerTab>& Tabs)
{
    if (Left == left_ && First == first_ && Right == right_ && Tabs == tabs_)
        return false;
    left_ = Left;
    first_ = First;
    right_ = Right;
    tabs_ = Tabs;
    update();
    return true;
}

QSize TRtBasicRulerType::sizeHint() const { return orientation_ == Qt::Horizontal ? QSize(200, 24) : QSize(24, 200); }

void TRtBasicRulerType::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const bool horizontal = orientation_ == Qt::Horizontal;
    const int across = horizontal ? height() : width();
    p.fillRect(rect(), palette().color(QPalette::Window));
    // The page: grey margins, white text area.
    auto band = [&](int From, int To, const QColor& Colour) {
        if (To <= From)
            return;
        p.fillRect(horizontal ? QRect(From, 3, To - From, across - 6) : QRect(3, From, across - 6, To - From), Colour);
    };
    const int textStart = offset_ + marginStart_, textEnd = offset_ + extent_ - marginEnd_;
    band(offset_, textStart, QColor(190, 190, 190));
    band(textStart, textEnd, Qt::white);
    band(textEnd, offset_ + extent_, QColor(190, 190, 190));
    if (!horizontal)
        return;
    // Indent marks: the first line above, the left indent below, the right indent below on the other side.
    p.setPen(Qt::black);
    p.setBrush(QColor(80, 80, 80));
    auto mark = [&](int X, bool Up) {
        const int y = Up ? 3 : across - 3;
        const int d = Up ? 5 : -5;
        p.drawPolygon(QPolygon({QPoint(X - 4, y), QPoint(X + 4, y), QPoint(X, y + d)}));
    };
    mark(textStart + first_, true);
    mark(textStart + left_, false);
    mark(textEnd - right_, false);
    // Tab stops: an L for a left tab, mirrored for a right tab, a T for centre and decimal.
    for (const TRtRulerTab& t : tabs_) {
        const int x = textStart + t.Pos, y = across - 6;
        p.drawLine(x, y - 5, x, y);
        if (t.Kind == 0)
            p.drawLine(x, y, x + 4, y);
        else if (t.Kind == 1)
            p.drawLine(x - 4, y, x, y);
        else
            p.drawLine(x - 3, y, x + 3, y);
    }
}
