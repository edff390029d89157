#include "RtGutter.h"

#include "RichText.h"

#include <QPainter>

TRtCustomGutter::TRtCustomGutter(QWidget* Parent) : QWidget(Parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

TRtCustomGutter::~TRtCustomGutter() { SetRichText(nullptr); }

TRtCustomRichText* TRtCustomGutter::RichText() const { return richText_; }

void TRtCustomGutter::SetRichText(TRtCustomRichText* RichText)
{
    if (RichText == richText_)
        return;
    if (richText_)
        richText_->RtfText()->Positions().Remove(&walkStart_, sizeof(walkStart_));
    richText_ = RichText;
    walkStart_ = {};
    if (richText_) {
        richText_->RtfText()->Positions().Add(walkStart_.Par);
        richText_->RtfText()->Positions().Add(walkStart_.ChainHead);
    }
    update();
}

std::vector<TRtCustomGutter::TMark> TRtCustomGutter::Marks() const
{
    std::vector<TMark> marks;
    if (!richText_)
        return marks;
    const TRtRTFTextInput* e = richText_->RtfText();
    const int32_t bottom = richText_->viewport()->height();
    // The walk begins at a paragraph outside a table whose first line lies a
    // few pixels above the view: the first lines of the paragraphs before it
    // end above the view. The paragraphs' indices give the numbers.
    const auto screenTop = [e](const TParagraph* P) { return e->DocToScreen(P->Lines->Top - e->TopY); };
    const auto above = [&](const TParagraph* P) {
        return P->Lines && !(P->Flags & parfTableCell) && screenTop(P) < -2;
    };
    // A walk remembered in another chain (before a header or footer was
    // entered or left) does not serve.
    TParagraph* start = walkStart_.Par && walkStart_.ChainHead == e->FirstPar ? walkStart_.Par : e->FirstPar;
    while (start && start->Prior && !above(start))
        start = start->Prior;
    for (TParagraph* p = start; p && !(p->Lines && screenTop(p) >= -2); p = p->Next)
        if (above(p))
            start = p;
    walkStart_ = {start, e->FirstPar};
    int32_t number = start ? start->Index : 0;
    for (const TParagraph* p = start; p; p = p->Next) {
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
