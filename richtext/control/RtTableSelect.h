#pragma once
// TRtTableSelect: the small borderless pop-up on which the user drags over a
// grid to choose the columns and rows of a new table.
#include <QDialog>

class QLabel;
class QToolButton;

class TRtTableSelect : public QDialog {
    Q_OBJECT
public:
    explicit TRtTableSelect(QWidget* Parent = nullptr);

    int32_t Cell() const { return cell_; }
    int32_t Columns = 0;
    int32_t Rows = 0;
    bool Tracking = false;
    bool Borders() const;
    QToolButton* ShowBord = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* OKButton = nullptr;
    QWidget* PaintBox1 = nullptr;
    QLabel* Status = nullptr;

    // The form's handlers. Mouse down (and a move while tracking) chooses the
    // nearest grid lines to a point of the grid; the form grows while the
    // choice reaches its edge.
    void FormCreate();
    // The status text and the painted grid (rows and columns below 1 become 1).
    void FormPaint(QPainter& P);
    void PaintBox1MouseDown(int32_t X, int32_t Y);
    void PaintBox1MouseMove(int32_t X, int32_t Y);
    void PaintBox1MouseUp() { Tracking = false; }
    void PaintBox1DblClick() { done(Columns >= 1 ? 1 : 2); }
    // Enter confirms, Escape cancels.
    void FormKeyPress(char Key);
    // Cancel (SpeedButton2) and OK (OKButton).
    void SpeedButton1Click() { done(2); }
    void SpeedButton2Click() { done(1); }
    void PlaceAt(QWidget* Anchor);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;

private:
    void ChooseAt(int32_t X, int32_t Y);
    int32_t cell_ = 13;
};

// Shows the picker below Anchor (or at the mouse); True with the choice when confirmed.
bool ShowTableSelect(QWidget* Owner, QWidget* Anchor, int32_t& Columns, int32_t& Rows, bool& Borders);
