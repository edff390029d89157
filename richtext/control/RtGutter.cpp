#include "RtGutter.h"

#include "RichText.h"

#include <QPainter>

TRtCustomGutter::TRtCustomGutter(QWidget* Parent) : QWidget(Parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

void TRtCustomGutter::SetRichText(TRtCustomRichText* RichText)
{
    if (RichText == richText_)
        return;
    richText_ = RichText;
    update();
}

std::vector<TRtCustomGutter::TMark> TRtCustomGutter::Marks() const
{
    std::vector<TMark> marks;
    if (!richText_)
        return marks;
    const TRtRTFTextInput* e = richText_->RtfText();
    const int32_t bottom = richText_->viewport()->height();
    int32_t number = 0;
    for (const TParagraph* p = e->FirstPar; p; p = p->Next) {
        ++number;
        if (!p->Lines)
            continue;
        const int32_t y = e->DocToScreen(p->Lines->Top - e->TopY);
        if (y > bottom)
            break;
        if (y + e->DocToScreen(p->Lines->Height) >= 0)
            marks.push_back({number, y});
    }
    return marks;
}

void TRtCustomGutter::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    if (!richText_)
        return;
    // The rows line up with the text's window.
    const int top = richText_->viewport()->mapTo(window(), QPoint()).y() - mapTo(window(), QPoint()).y();
    p.setPen(palette().color(QPalette::WindowText));
    const int rowHeight = fontMetrics().height();
    for (const TMark& m : Marks())
        p.drawText(QRect(0, top + m.Y, width() - 4, rowHeight), Qt::AlignRight | Qt::AlignTop, QString::number(m.Number));
}
