#pragma once
// Fixtures of the side-panel tests: a one-page book with a picture frame of
// one inch, the content notices the panels send, and a clean undo stack.
#include "PageViewFixture.h"
#include "uMulticaster.h"
#include "uUndo.h"

#include <vector>

namespace paneltest {

struct Notice {
    TObject* Sender;
    TFBPage* Page;
    TFBElement* Element;
};

struct PanelBook {
    TFBDocument Doc;
    TFBPictureElement* Frame;
    TFBPictureElement* Other;
    std::vector<Notice> Notices;

    PanelBook()
    {
        pvtest::MakeDocument(Doc, 0, 1);
        // One inch square: the picture's pixel height at zoom 1 is its dpi.
        Frame = pvtest::AddFrame(Doc.Pages.GetPage(0), 50, 50, 25.4f, 25.4f);
        Other = pvtest::AddFrame(Doc.Pages.GetPage(0), 120, 50, 40, 30);
        GetUndoManager().Clear();
        GetUndoManager().SetUIStateHost(nullptr);
        GetMulticaster().OnContentChanged = [this](TMulticaster*, TObject* S, TFBPage* P, TFBElement* E) {
            Notices.push_back({S, P, E});
        };
    }
    ~PanelBook()
    {
        GetMulticaster().OnContentChanged = nullptr;
        GetUndoManager().Clear();
    }

    // The class of the newest undo item, "" when there is none.
    static std::string LastUndoClass()
    {
        TUndoItem* last = GetUndoManager().Last();
        return last ? last->ClassName() : "";
    }
};

}  // namespace paneltest
