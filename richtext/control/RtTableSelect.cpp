#include "RtTableSelect.h"

#include <QApplication>
#include <QCursor>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton* SpeedButton(QWidget* Parent, const QString& Text, const QString& Hint)
{
    auto* b = new QToolButton(Parent);
    b->setFixedSize(25, 25);
    b->setText(Text);
    b->setToolTip(Hint);
    return b;
}

}  // namespace

TRtTableSelect::TRtTableSelect(QWidget* Parent) : QDialog(Parent, Qt::Popup | Qt::FramelessWindowHint)
{
    setObjectName("TRtTableSelect");
    setWindowTitle("New table");
    QFont f("MS Sans Serif");
    f.setPixelSize(11);
    setFont(f);
    cell_ = std::max(1, QFontMetrics(f).height());
    resize(149, 119);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto* body = new QHBoxLayout;
    body->setSpacing(0);
    outer->addLayout(body, 1);
    auto* panel1 = new QWidget(this);
    panel1->setFixedWidth(30);
    auto* buttons = new QVBoxLayout(panel1);
    buttons->setContentsMargins(2, 2, 2, 2);
    buttons->setSpacing(2);
    ShowBord = SpeedButton(panel1, QString::fromUtf8("\u25a6"), "Borders");
    ShowBord->setCheckable(true);
    ShowBord->setChecked(true);
    SpeedButton2 = SpeedButton(panel1, QString::fromUtf8("\u2715"), "Cancel");
    OKButton = SpeedButton(panel1, QString::fromUtf8("\u2713"), "OK");
    buttons->addWidget(ShowBord);
    buttons->addWidget(SpeedButton2);
    buttons->addWidget(OKButton);
    buttons->addStretch();
    body->addWidget(panel1);
    PaintBox1 = new QWidget(this);
    PaintBox1->setMouseTracking(true);
    PaintBox1->installEventFilter(this);
    body->addWidget(PaintBox1, 1);
    Status = new QLabel(this);
    Status->setFixedHeight(21);
    Status->setAlignment(Qt::AlignCenter);
    outer->addWidget(Status);
    connect(SpeedButton2, &QToolButton::clicked, this, &TRtTableSelect::SpeedButton1Click);
    connect(OKButton, &QToolButton::clicked, this, &TRtTableSelect::SpeedButton2Click);
    FormCreate();
}

void TRtTableSelect::FormCreate()
{
    for (QToolButton* b : {ShowBord, SpeedButton2, OKButton})
        b->setAutoRaise(true);
}

void TRtTableSelect::PaintBox1MouseDown(int32_t X, int32_t Y)
{
    ChooseAt(X, Y);
    Tracking = true;
}

void TRtTableSelect::PaintBox1MouseMove(int32_t X, int32_t Y)
{
    if (Tracking)
        ChooseAt(X, Y);
}

void TRtTableSelect::FormKeyPress(char Key)
{
    if (Key == 13)
        done(1);
    else if (Key == 27)
        done(2);
}

bool TRtTableSelect::Borders() const { return ShowBord->isChecked(); }

void TRtTableSelect::ChooseAt(int32_t X, int32_t Y)
{
    const int32_t columns = (X + cell_ / 2) / cell_;
    const int32_t rows = (Y + cell_ / 2) / cell_;
    if (columns == Columns && rows == Rows)
        return;
    Columns = columns;
    Rows = rows;
    int32_t w = width(), h = height();
    if (Columns * cell_ >= PaintBox1->width())
        w += cell_ + 2;
    if (Rows * cell_ >= PaintBox1->height())
        h += cell_ + 2;
    if (w != width() || h != height()) {
        resize(w, h);
        if (layout())
            layout()->activate();
    }
    PaintBox1->update();
    Status->setText(QString("%1 X %2").arg(std::max(1, Columns)).arg(std::max(1, Rows)));
}

void TRtTableSelect::FormPaint(QPainter& P)
{
    Columns = std::max(1, Columns);
    Rows = std::max(1, Rows);
    Status->setText(QString("%1 X %2").arg(Columns).arg(Rows));
    const QPalette& pal = palette();
    P.fillRect(QRect(0, 0, Columns * cell_, Rows * cell_), pal.color(QPalette::Highlight));
    P.setPen(pal.color(QPalette::Dark));
    for (int32_t x = cell_; x < PaintBox1->width(); x += cell_)
        P.drawLine(x, 0, x, PaintBox1->height());
    for (int32_t y = cell_; y < PaintBox1->height(); y += cell_)
        P.drawLine(0, y, PaintBox1->width(), y);
}

bool TRtTableSelect::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched != PaintBox1)
        return QDialog::eventFilter(Watched, Event);
    const auto point = [Event] { return static_cast<QMouseEvent*>(Event)->position().toPoint(); };
    switch (Event->type()) {
    case QEvent::Paint: {
        QPainter p(PaintBox1);
        FormPaint(p);
        return true;
    }
    case QEvent::MouseButtonPress: PaintBox1MouseDown(point().x(), point().y()); return true;
    case QEvent::MouseMove: PaintBox1MouseMove(point().x(), point().y()); return true;
    case QEvent::MouseButtonRelease: PaintBox1MouseUp(); return true;
    case QEvent::MouseButtonDblClick:
        PaintBox1MouseDown(point().x(), point().y());
        PaintBox1DblClick();
        return true;
    default: return QDialog::eventFilter(Watched, Event);
    }
}

void TRtTableSelect::keyPressEvent(QKeyEvent* Event)
{
    if (Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter)
        FormKeyPress(13);
    else if (Event->key() == Qt::Key_Escape)
        FormKeyPress(27);
    else
        QDialog::keyPressEvent(Event);
}

void TRtTableSelect::PlaceAt(QWidget* Anchor)
{
    QPoint pos = Anchor ? Anchor->mapToGlobal(QPoint(0, Anchor->height())) : QCursor::pos();
    if (const QScreen* screen = QGuiApplication::screenAt(pos)) {
        const QRect area = screen->geometry();
        if (pos.x() + width() > area.right() + 1)
            pos.setX(area.right() + 1 - width());
        if (pos.y() + height() > area.bottom() + 1)
            pos.setY(area.bottom() + 1 - height());
    }
    move(pos);
}

bool ShowTableSelect(QWidget* Owner, QWidget* Anchor, int32_t& Columns, int32_t& Rows, bool& Borders)
{
    TRtTableSelect form(Owner);
    form.PlaceAt(Anchor);
    if (form.exec() != 1)
        return false;
    Columns = std::max(1, form.Columns);
    Rows = std::max(1, form.Rows);
    Borders = form.Borders();
    return true;
}
