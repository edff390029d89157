#pragma once
// The start image shown while the program comes up, and the program's
// version text.
#include "AnsiString.h"
#include "ulocalize.h"

#include <QElapsedTimer>
#include <cstdint>

class QLabel;

// The version text the start image and the about dialog show.
extern const AnsiString VersionText;  // "2.3"
// How long the start image stays up at least, in milliseconds (3000).
extern uint32_t StartImageMinimumTime;

class TStartbild : public TLocalizerForm {
public:
    LUMI_CLASSNAME(TStartbild)
    TStartbild(TCreateKey Key, QWidget* Parent);

    QLabel* Image1;
    QLabel* Label1;  // the version; hidden
    QWidget* sh;     // outline over the whole client area
};

// Takes the start time, creates the start image and paints it at once.
void ShowStartImage();
// Shows and paints the main form, lets the event queue run until the start
// image was up for its minimum time (at least one pass), then frees it.
void CloseStartImage(QWidget* MainForm);
// The start image while it is up, else null.
TStartbild* StartImage();
// Milliseconds since the start image appeared (monotonic).
int64_t StartImageElapsed();
