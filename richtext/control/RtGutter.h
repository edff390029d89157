#pragma once
// TRtCustomGutter: a plain gutter beside a rich text: the number of each
// paragraph at the height of its first line, following the text's scrolling
// and zoom. The active rich text links itself to it.
#include <QPointer>
#include <QWidget>

#include <vector>

class TRtCustomRichText;
struct TParagraph;

class TRtCustomGutter : public QWidget {
    Q_OBJECT
public:
    explicit TRtCustomGutter(QWidget* Parent = nullptr);
    ~TRtCustomGutter() override;
    TRtCustomRichText* RichText() const;
    void SetRichText(TRtCustomRichText* RichText);

    // What the gutter shows: the paragraph numbers (from 1) and the window y
    // of their first lines, for the paragraphs in view.
    struct TMark {
        int32_t Number;
        int32_t Y;
    };
    std::vector<TMark> Marks() const;
    QSize sizeHint() const override { return QSize(32, 200); }

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    // Cleared when the rich text goes first.
    QPointer<TRtCustomRichText> richText_;
    // Where the last walk began: a paragraph above the view, and the first
    // paragraph of the chain it lies in (the body, or a header or footer being
    // edited), both registered with the text's live positions so that they
    // follow the text's changes.
    struct TWalkStart {
        TParagraph* Par = nullptr;
        TParagraph* ChainHead = nullptr;
    };
    mutable TWalkStart walkStart_;
};
