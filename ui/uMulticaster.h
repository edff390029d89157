#pragma once
// The change multicaster: every view and side panel announces document,
// current-page and page-list changes through it; the main window passes each
// notice on to the others. And the two clipboard stream operations.
#include "Object.h"
#include "Ole.h"

#include <functional>

class TStream;
class TFBDocument;
class TFBPage;
class TFBElement;
class TMulticaster;

using TContentChangedEvent =
    std::function<void(TMulticaster* Multicaster, TObject* Sender, TFBPage* Page, TFBElement* Element)>;
using TCurrentPageChangedEvent =
    std::function<void(TMulticaster* Multicaster, TObject* Sender, int ScreenIndex)>;
using TPageListChangedEvent = std::function<void(TMulticaster* Multicaster, TObject* Sender)>;

class TMulticaster : public TObject {
public:
    LUMI_CLASSNAME(TMulticaster)

    // Element null: the whole page changed.
    void FireContentChanged(TObject* Sender, TFBPage* Page, TFBElement* Element);
    void ElementChanged(TObject* Sender, TFBElement* Element);
    void PageContentChanged(TObject* Sender, TFBPage* Page);
    // The screen's left page, then its right page (a one-page screen twice).
    void ScreenContentChanged(TObject* Sender, TFBDocument* Document, int ScreenIndex);
    void FireCurrentPageChanged(TObject* Sender, int ScreenIndex);
    void FirePageListChanged(TObject* Sender);

    TContentChangedEvent OnContentChanged;
    TCurrentPageChangedEvent OnCurrentPageChanged;
    TPageListChangedEvent OnPageListChanged;
};

// The global multicaster.
TMulticaster& GetMulticaster();

// Puts the whole stream on the clipboard under the registered format; the
// stream is left at position 0.
void CopyStreamToClipboard(TClipFormat Format, TStream& Stream);
// Writes the clipboard's data of the format into the stream at its position;
// raises an Exception when the clipboard does not hold the format.
void CopyStreamFromClipboard(TClipFormat Format, TStream& Stream);
