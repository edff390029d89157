#pragma once
// What the editor's store asks of the platform: screen resolution, system
// colours, the beep, the wait cursor and the tick count. One replaceable
// object, so that the store runs headless (96 dpi) in tests.
#include "Graphics.h"

#include <cstdint>

class TRtPlatform {
public:
    virtual ~TRtPlatform() = default;
    // Pixels per inch of the screen (vertical).
    virtual int32_t ScreenPixelsPerInch();
    // A system colour as RGB; other colours unchanged.
    virtual TColor SysColor(TColor Color);
    virtual void Beep();
    virtual void BeginWait();
    virtual void EndWait();
    virtual uint32_t TickCount();
    // Whether the platform lists no printer.
    virtual bool NoPrinters();
};

// The platform in use; SetRtPlatform(nullptr) restores the default one.
TRtPlatform& RtPlatform();
void SetRtPlatform(TRtPlatform* Platform);
