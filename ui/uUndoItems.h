#pragma once
// The undo items: each records in its constructor what one kind of change
// will destroy and puts it back in Undo. Pages, screens and elements are
// addressed by index only; an index that no longer fits the document makes
// the undo do nothing.
#include "uUndo.h"

class TUndoBildEinfuegen : public TUndoItem {
public:
    LUMI_CLASSNAME(TUndoBildEinfuegen)
    explicit TUndoBildEinfuegen(TFBPictureElement* Element);
    void Undo(TFBDocument& Document) override;
};

class TUndoFarbeEinfuegen : public TUndoBildEinfuegen {
public:
    LUMI_CLASSNAME(TUndoFarbeEinfuegen)
    using TUndoBildEinfuegen::TUndoBildEinfuegen;
};

class TUndoBildLoeschen : public TUndoBildEinfuegen {
public:
    LUMI_CLASSNAME(TUndoBildLoeschen)
    using TUndoBildEinfuegen::TUndoBildEinfuegen;
};

class TUndoBildDrehen : public TUndoBildEinfuegen {
public:
    LUMI_CLASSNAME(TUndoBildDrehen)
    using TUndoBildEinfuegen::TUndoBildEinfuegen;
};

class TUndoBildFilter : public TUndoBildEinfuegen {
public:
    LUMI_CLASSNAME(TUndoBildFilter)
    using TUndoBildEinfuegen::TUndoBildEinfuegen;
};

class TUndoBildZoomPan : public TUndoItem {
public:
    LUMI_CLASSNAME(TUndoBildZoomPan)
    explicit TUndoBildZoomPan(TFBPictureElement* Element);
    void Undo(TFBDocument& Document) override;
    // Whether the item designates this picture element.
    bool Designates(TFBPictureElement* Element);
};

class TUndoBildAustauschen : public TUndoItem {
public:
    LUMI_CLASSNAME(TUndoBildAustauschen)
    TUndoBildAustauschen(TFBPictureElement* Source, TFBPictureElement* Dest);
    void Undo(TFBDocument& Document) override;
};

class TUndoBildRahmen : public TUndoItem {
public:
    LUMI_CLASSNAME(TUndoBildRahmen)
    explicit TUndoBildRahmen(TFBPictureElement* Element);
    void Undo(TFBDocument& Document) override;
};

class TUndoSeiteEinfuegen : public TUndoItem {
public:
    LUMI_CLASSNAME(TUndoSeiteEinfuegen)
    explicit TUndoSeiteEinfuegen(int ScreenIndex);
    void Undo(TFBDocument& Document) override;
};

class TUndoSeiteVerschieben : public TUndoItem {
public:
    LUMI_CLASSNAME(TUndoSeiteVerschieben)
    TUndoSeiteVerschieben(int SourceIndex, int DestIndex);
    void Undo(TFBDocument& Document) override;
};

// Copies the screen's pages, their pictures and the picture links touching them.
class TUndoScreenCopy : public TUndoItem {
public:
    LUMI_CLASSNAME(TUndoScreenCopy)
    TUndoScreenCopy(TFBDocument* Document, int ScreenIndex);

protected:
    // Puts the stored pages back: as new pages inserted at the screen's page
    // indices (Insert), or into the screen's existing pages.
    void RestoreScreen(TFBDocument& Document, bool Insert);
};

class TUndoSeiteLoeschen : public TUndoScreenCopy {
public:
    LUMI_CLASSNAME(TUndoSeiteLoeschen)
    using TUndoScreenCopy::TUndoScreenCopy;
    void Undo(TFBDocument& Document) override;
};

class TUndoLayoutEinfuegen : public TUndoScreenCopy {
public:
    LUMI_CLASSNAME(TUndoLayoutEinfuegen)
    using TUndoScreenCopy::TUndoScreenCopy;
    void Undo(TFBDocument& Document) override;
};

class TUndoElementSizePos : public TUndoItem {
public:
    LUMI_CLASSNAME(TUndoElementSizePos)
    explicit TUndoElementSizePos(TFBElement* Element);
    void Undo(TFBDocument& Document) override;
    void SetDest(TFBElement* Element);
};

class TUndoElementEinfuegen : public TUndoItem {
public:
    LUMI_CLASSNAME(TUndoElementEinfuegen)
    explicit TUndoElementEinfuegen(TFBElement* Element);
    void Undo(TFBDocument& Document) override;
};

class TUndoElementLoeschen : public TUndoItem {
public:
    LUMI_CLASSNAME(TUndoElementLoeschen)
    explicit TUndoElementLoeschen(TFBElement* Element);
    void Undo(TFBDocument& Document) override;
};

class TUndoKalenderEigenschaften : public TUndoItem {
public:
    LUMI_CLASSNAME(TUndoKalenderEigenschaften)
    explicit TUndoKalenderEigenschaften(TFBKalenderElement* Element);
    void Undo(TFBDocument& Document) override;
};

class TUndoKalenderEigenschaftenFuerAlle : public TUndoItem {
public:
    LUMI_CLASSNAME(TUndoKalenderEigenschaftenFuerAlle)
    explicit TUndoKalenderEigenschaftenFuerAlle(TFBDocument* Document);
    void Undo(TFBDocument& Document) override;
};

class TUndoKalenderJahrSetzen : public TUndoItem {
public:
    LUMI_CLASSNAME(TUndoKalenderJahrSetzen)
    explicit TUndoKalenderJahrSetzen(TFBKalenderElement* Element);
    void Undo(TFBDocument& Document) override;
};

class TUndoSeitenhintergrund : public TUndoItem {
public:
    LUMI_CLASSNAME(TUndoSeitenhintergrund)
    explicit TUndoSeitenhintergrund(TFBPage* Page);
    void Undo(TFBDocument& Document) override;
};
