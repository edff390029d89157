#pragma once
// The page selection: a miniature of every page (or folded sheet) with a
// check box that says whether it is printed.
#include "Application.h"
#include "Canvas.h"
#include "ulocalize.h"

#include <QWidget>
#include <memory>
#include <vector>

class QCheckBox;
class QPushButton;
class QScrollArea;
class TFBDocument;
class TDruckvorschau;

// One bit per page; the print driver's selection of pages.
using TPageSelection = std::vector<bool>;

class TDruckvorschauPaintBox : public QWidget {
public:
    explicit TDruckvorschauPaintBox(TDruckvorschau* Form, QWidget* Parent);

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;

private:
    TDruckvorschau* FForm;
    TPaintGuard FPaintGuard;
};

class TDruckvorschau : public TLocalizerForm {
public:
    LUMI_CLASSNAME(TDruckvorschau)
    static constexpr int ItemWidth = 200;

    TDruckvorschau(TCreateKey Key, QWidget* Owner);

    // Shows the form modally over the main form for Document and Selection (one
    // bit per page, or per sheet of a folded document); true on OK, which
    // copies the check boxes into Selection.
    static bool Execute(TFBDocument& Document, TPageSelection& Selection);

    // Makes the items and check boxes for Document and Selection.
    void Setup(TFBDocument& Document, TPageSelection& Selection);
    void SetCurrentItem(int Index);
    int CurrentItem() const { return FCurrent; }
    int ItemCount() const { return int(FCheckBoxes.size()); }
    QCheckBox* CheckBox(int Index) const { return FCheckBoxes.at(size_t(Index)); }
    // The picture of one item as it is painted.
    void PaintItem(int Index, TBitmap& Bitmap);
    void BtnOKClick();

    QScrollArea* sb;
    TDruckvorschauPaintBox* pb;
    QPushButton* BtnOK;
    QPushButton* BtnAbbrechen;

protected:
    void BeforeLocalize() override;
    void AfterLocalize() override;
    void resizeEvent(QResizeEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    friend class TDruckvorschauPaintBox;
    void LayoutItems();
    void DrawMiniature(TBitmap& Bitmap, int Index, const TRect& Area);

    TFBDocument* FDocument = nullptr;
    TPageSelection* FSelection = nullptr;
    std::vector<QCheckBox*> FCheckBoxes;
    TBitmap FWorkBitmap;
    int FCurrent = -1;
};
