#pragma once
// TRtBasicRulerType: a plain ruler beside a rich text. A horizontal ruler
// shows the page with its margins and the indents and tab stops of the
// cursor's paragraph; a vertical one the top margin and the visible height.
// The active rich text hands it all in pixels at its zoom; the ruler draws
// only what it is given and repaints only when that changed.
#include <QWidget>

#include <vector>

class TRtCustomRichText;

// A tab stop on the ruler: pixels from the left margin and its kind
// (0 left, 1 right, 2 centre, 3 decimal).
struct TRtRulerTab {
    int32_t Pos = 0;
    uint8_t Kind = 0;
    bool operator==(const TRtRulerTab&) const = default;
};

class TRtBasicRulerType : public QWidget {
    Q_OBJECT
public:
    explicit TRtBasicRulerType(Qt::Orientation Orientation = Qt::Horizontal, QWidget* Parent = nullptr);
    Qt::Orientation Orientation() const { return orientation_; }

    // The rich text the ruler shows (set when one is activated, cleared when it
    // is deactivated or destroyed).
    TRtCustomRichText* RichText() const { return richText_; }
    void SetRichText(TRtCustomRichText* RichText);

    // The page on the ruler: where it starts, its extent and the margins at
    // either end (pixels). False when the ruler shows these already.
    bool SetPage(int32_t Offset, int32_t Extent, int32_t MarginStart, int32_t MarginEnd);
    int32_t PageExtent() const { return extent_; }
    int32_t MarginStart() const { return marginStart_; }
    int32_t MarginEnd() const { return marginEnd_; }
    // The paragraph's indents (left, first line, right) and tab stops in
    // pixels from the left margin. False when the ruler shows these already.
    bool SetIndents(int32_t Left, int32_t First, int32_t Right, const std::vector<TRtRulerTab>& Tabs);
    int32_t IndentLeft() const { return left_; }
    int32_t IndentFirst() const { return first_; }
    int32_t IndentRight() const { return right_; }
    const std::vector<TRtRulerTab>& Tabs() const { return tabs_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    Qt::Orientation orientation_;
    TRtCustomRichText* richText_ = nullptr;
    int32_t offset_ = 0, extent_ = 0, marginStart_ = 0, marginEnd_ = 0;
    int32_t left_ = 0, first_ = 0, right_ = 0;
    std::vector<TRtRulerTab> tabs_;
};
