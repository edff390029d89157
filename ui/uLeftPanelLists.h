#pragma once
// The page templates and the colours of the main window's left panel, as
// owner-drawn icon lists that the user drags from.
#include "QwListview.h"
#include "uFotobuchPageTemplate.h"

#include <memory>

class TBitmap;

class TPageTemplateListview : public TQwListview {
    Q_OBJECT
public:
    // Holds every built-in page template.
    explicit TPageTemplateListview(QWidget* Parent = nullptr);
    ~TPageTemplateListview() override;

    // Rebuilds the items from Templates.
    void Fill();
    // The template of an item (null for none).
    TFBPageTemplate* TemplateOf(const QListWidgetItem* Item) const;

    void DrawItem(QListWidgetItem* Item, QImage& Bitmap, TCustomDrawState State) override;

    TFBPageTemplateList Templates;

private:
    std::unique_ptr<TBitmap> FBitmap;
};

class TColorListView : public TQwListview {
    Q_OBJECT
public:
    // Holds the colour presets.
    explicit TColorListView(QWidget* Parent = nullptr);

    // Rebuilds the items from Colors.
    void SyncListviewItems();
    // The colour entry of an item (null for none).
    TFBColor* ColorOf(const QListWidgetItem* Item) const;

    void DrawItem(QListWidgetItem* Item, QImage& Bitmap, TCustomDrawState State) override;

    TFBColorList Colors;
};
