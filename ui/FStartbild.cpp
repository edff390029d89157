#include "FStartbild.h"

#include "SysUtils.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <memory>

const AnsiString VersionText = "2.3";
uint32_t StartImageMinimumTime = 3000;

namespace {

// A shape with a clear brush: only its outline is drawn.
class TOutline : public QWidget {
public:
    explicit TOutline(QWidget* Parent) : QWidget(Parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

std::unique_ptr<TStartbild> startImage;
QElapsedTimer startTimer;

}  // namespace

TStartbild::TStartbild(TCreateKey Key, QWidget* Parent)
    : TLocalizerForm(Key, Parent,
                     Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Startbild"));
    setFixedSize(400, 300);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 400, 300);
    Image1->setScaledContents(true);
    Image1->setPixmap(QPixmap(QStringLiteral(":/images/STARTBILD")));
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(12, 270, 200, 20);
    Label1->setText(fromAnsi(Format("Version %s", {VersionText})));
    Label1->hide();
    sh = new TOutline(this);
    sh->setObjectName(QStringLiteral("sh"));
    sh->setGeometry(rect());
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void ShowStartImage()
{
    startTimer.start();
    startImage.reset(TLocalizerForm::create<TStartbild>(nullptr));
    startImage->show();
    startImage->repaint();
}

TStartbild* StartImage()
{
    return startImage.get();
}

int64_t StartImageElapsed()
{
    return startTimer.isValid() ? startTimer.elapsed() : 0;
}

void CloseStartImage(QWidget* MainForm)
{
    if (MainForm) {
        MainForm->show();
        MainForm->repaint();
    }
    if (startImage)
        startImage->raise();
    // A timer wakes the queue when the minimum time is up; until then the
    // loop sleeps between events instead of spinning.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    do {
        const int64_t rest = int64_t(StartImageMinimumTime) - StartImageElapsed();
        if (rest >= 0 && !wake.isActive())
            wake.start(int(rest) + 1);
        QCoreApplication::processEvents(rest >= 0 ? QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents
                                                  : QEventLoop::AllEvents);
    } while (StartImageElapsed() <= int64_t(StartImageMinimumTime));
    if (startImage)
        startImage->hide();
    startImage.reset();
}
