#include "RtPlatform.h"

#include "SysUtils.h"

#include <QApplication>
#include <QCursor>
#include <QPrinterInfo>
#include <QScreen>

namespace {
TRtPlatform*& Current()
{
    static TRtPlatform defaultPlatform;
    static TRtPlatform* current = &defaultPlatform;
    return current;
}

bool HasGui() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }
}  // namespace

int32_t TRtPlatform::ScreenPixelsPerInch()
{
    if (HasGui())
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            return int32_t(Round(screen->logicalDotsPerInchY()));
    return 96;
}

TColor TRtPlatform::SysColor(TColor Color) { return ColorToRGB(Color); }

void TRtPlatform::Beep()
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::beep();
}

void TRtPlatform::BeginWait()
{
    if (HasGui())
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void TRtPlatform::EndWait()
{
    if (HasGui())
        QGuiApplication::restoreOverrideCursor();
}

uint32_t TRtPlatform::TickCount() { return GetTickCount(); }

bool TRtPlatform::NoPrinters() { return QPrinterInfo::availablePrinterNames().isEmpty(); }

TRtPlatform& RtPlatform() { return *Current(); }

void SetRtPlatform(TRtPlatform* Platform)
{
    static TRtPlatform defaultPlatform;
    Current() = Platform ? Platform : &defaultPlatform;
}
