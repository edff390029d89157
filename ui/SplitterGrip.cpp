#include "SplitterGrip.h"

#include <QPainter>
#include <QPalette>

namespace {

class TGripHandle : public QSplitterHandle {
public:
    TGripHandle(Qt::Orientation Orientation, QSplitter* Parent) : QSplitterHandle(Orientation, Parent) {}

protected:
    void paintEvent(QPaintEvent* Event) override
    {
        QSplitterHandle::paintEvent(Event);
        DrawSplitterGrip(this);
    }
};

}  // namespace

QRect SplitterGripRect(Qt::Orientation Bar, QSize Client)
{
    const int extent = Bar == Qt::Horizontal ? Client.width() : Client.height();
    const int length = extent < 120 ? extent - 20 : 100;
    if (length < 5)
        return {};
    const int from = (extent - length) / 2;
    const int to = (extent + length) / 2;
    if (Bar == Qt::Horizontal)
        return QRect(QPoint(from, 0), QPoint(to - 1, 4));
    return QRect(QPoint(0, from), QPoint(4, to - 1));
}

void DrawSplitterGrip(QPainter& Canvas, const QPalette& Palette, Qt::Orientation Bar, QSize Client)
{
    const QRect r = SplitterGripRect(Bar, Client);
    if (r.isEmpty())
        return;
    // Raised inner edge: light on the top and left, shadow on the bottom and right.
    Canvas.save();
    Canvas.setPen(Palette.color(QPalette::Light));
    Canvas.drawLine(r.left(), r.top(), r.right() - 1, r.top());
    Canvas.drawLine(r.left(), r.top(), r.left(), r.bottom() - 1);
    Canvas.setPen(Palette.color(QPalette::Dark));
    Canvas.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    Canvas.drawLine(r.right(), r.top(), r.right(), r.bottom());
    Canvas.restore();
}

void DrawSplitterGrip(QSplitterHandle* Splitter)
{
    // The handle of a vertical splitter is a horizontal bar between two panes.
    const Qt::Orientation bar = Splitter->orientation() == Qt::Vertical ? Qt::Horizontal : Qt::Vertical;
    QPainter canvas(Splitter);
    DrawSplitterGrip(canvas, Splitter->palette(), bar, Splitter->size());
}

TGripSplitter::TGripSplitter(Qt::Orientation Orientation, QWidget* Parent) : QSplitter(Orientation, Parent)
{
    setHandleWidth(5);
}

QSplitterHandle* TGripSplitter::createHandle()
{
    return new TGripHandle(orientation(), this);
}
