#pragma once
// The page drawer: one page, or the screen (single page or spread) of a
// document, onto a draw context whose transformation maps page millimetres
// to the device.
#include <cstdint>

class TDrawContext;
class TFBDocument;
class TFBPage;
class TFBElement;

class TDocumentDrawer {
public:
    // Mode goes to every element's Draw: 0 full-resolution pictures, 1 previews.
    // Draws the screen ScreenIndex by the document's ScreenMode; pages are not bare.
    void DrawSpread(TFBDocument& Document, TDrawContext& DC, int ScreenIndex, uint8_t Mode);
    // Bare leaves out the page background and the outlines of empty frames.
    void DrawPage(TFBPage& Page, TDrawContext& DC, uint8_t Mode, bool Bare);
    void DrawPictureElement(TFBElement& Element, TDrawContext& DC, uint8_t Mode, bool Bare);
    void DrawKalenderElement(TFBElement& Element, TDrawContext& DC, uint8_t Mode);
    void DrawElement(TFBElement& Element, TDrawContext& DC, uint8_t Mode);
};

// The one page drawer, made on first use.
TDocumentDrawer& DocumentDrawer();

// Sets DC's transformation so that the screen ScreenIndex of the document
// shows as large as fits into a picture of Width x Height pixels less a margin
// of 30 and 25 pixels on each side, centred, a landscape screen turned by the
// document's angle (the wizard's preview pictures).
void FitScreenIntoPicture(TFBDocument& Document, int ScreenIndex, TDrawContext& DC, int Width, int Height);
