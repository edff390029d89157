#pragma once
// The grip drawn on the window's splitter bars, and a splitter whose bars
// draw it.
#include <QRect>
#include <QSplitter>

class QPainter;
class QPalette;

// Where a bar of the given client size gets its grip: across a horizontal
// bar (Qt::Horizontal, the bar between a top and a bottom pane) or down a
// vertical one; empty when the bar is too short for one.
QRect SplitterGripRect(Qt::Orientation Bar, QSize Client);

// Draws the grip of a splitter bar: a raised inner edge around the grip
// rectangle.
void DrawSplitterGrip(QPainter& Canvas, const QPalette& Palette, Qt::Orientation Bar, QSize Client);
void DrawSplitterGrip(QSplitterHandle* Splitter);

class TGripSplitter : public QSplitter {
public:
    explicit TGripSplitter(Qt::Orientation Orientation, QWidget* Parent = nullptr);

protected:
    QSplitterHandle* createHandle() override;
};
