#include "uDruckvorschau.h"
#include "Application.h"

#include "MainFormStatusBar.h"
#include "uBitmapDrawContext.h"
#include "uDocDrawer.h"
#include "uFotobuchDocument.h"
#include "uPrinterSupport.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>

TDruckvorschauPaintBox::TDruckvorschauPaintBox(TDruckvorschau* Form, QWidget* Parent)
    : QWidget(Parent), FForm(Form)
{
    setObjectName(QStringLiteral("pb"));
}

void TDruckvorschauPaintBox::paintEvent(QPaintEvent* Event)
{
    QPainter painter(this);
    FPaintGuard.Run(this, [&] {
        const int first = std::max(0, Event->rect().left() / TDruckvorschau::ItemWidth);
        const int last = std::min(FForm->ItemCount() - 1, Event->rect().right() / TDruckvorschau::ItemWidth);
        for (int i = first; i <= last; ++i) {
            FForm->PaintItem(i, FForm->FWorkBitmap);
            painter.drawImage(i * TDruckvorschau::ItemWidth, 0, FForm->FWorkBitmap.Image());
        }
    });
}

void TDruckvorschauPaintBox::mousePressEvent(QMouseEvent* Event)
{
    const int index = int(Event->position().x()) / TDruckvorschau::ItemWidth;
    if (index < 0 || index >= FForm->ItemCount())
        return;
    FForm->SetCurrentItem(index);
    FForm->sb->ensureVisible(index * TDruckvorschau::ItemWidth + TDruckvorschau::ItemWidth / 2, 0,
                             TDruckvorschau::ItemWidth / 2, 0);
    FForm->CheckBox(index)->setFocus();
}

TDruckvorschau::TDruckvorschau(TCreateKey Key, QWidget* Owner) : TLocalizerForm(Key, Owner)
{
    setObjectName(QStringLiteral("Druckvorschau"));
    setWindowTitle(QStringLiteral("Druckvorschau"));
    resize(640, 360);
    sb = new QScrollArea(this);
    sb->setObjectName(QStringLiteral("sb"));
    sb->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sb->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    sb->setWidgetResizable(false);
    pb = new TDruckvorschauPaintBox(this, nullptr);
    sb->setWidget(pb);
    BtnOK = new QPushButton(QStringLiteral("OK"), this);
    BtnOK->setObjectName(QStringLiteral("BtnOK"));
    BtnOK->setDefault(true);
    BtnAbbrechen = new QPushButton(QStringLiteral("Abbrechen"), this);
    BtnAbbrechen->setObjectName(QStringLiteral("BtnAbbrechen"));
    QObject::connect(BtnOK, &QPushButton::clicked, this, Guarded([this] { BtnOKClick(); }));
    QObject::connect(BtnAbbrechen, &QPushButton::clicked, this, Guarded([this] { done(QDialog::Rejected); }));
    FWorkBitmap.SetPixelFormat(pf32bit);
}

void TDruckvorschau::BeforeLocalize() { RegisterLocalizedString(this, QStringLiteral("Drucken")); }

void TDruckvorschau::AfterLocalize()
{
    for (QCheckBox* box : FCheckBoxes)
        box->setText(LocalizedString(this, QStringLiteral("Drucken")));
    LayoutItems();
}

bool TDruckvorschau::Execute(TFBDocument& Document, TPageSelection& Selection)
{
    std::unique_ptr<TDruckvorschau> form(
        TLocalizerForm::create<TDruckvorschau>(ApplicationMainWidget()));
    form->Setup(Document, Selection);
    return ShowModalDialog(*form) == QDialog::Accepted;
}

void TDruckvorschau::Setup(TFBDocument& Document, TPageSelection& Selection)
{
    FDocument = &Document;
    FSelection = &Selection;
    for (QCheckBox* box : FCheckBoxes)
        delete box;
    FCheckBoxes.clear();
    for (size_t i = 0; i < Selection.size(); ++i) {
        auto* box = new QCheckBox(LocalizedString(this, QStringLiteral("Drucken")), pb);
        box->setObjectName(QStringLiteral("CheckBox%1").arg(i + 1));
        box->setChecked(Selection[i]);
        box->setFocusPolicy(Qt::StrongFocus);
        box->installEventFilter(this);
        FCheckBoxes.push_back(box);
    }
    FCurrent = -1;
    LayoutItems();
}

void TDruckvorschau::resizeEvent(QResizeEvent* Event)
{
    TLocalizerForm::resizeEvent(Event);
    LayoutItems();
}

void TDruckvorschau::LayoutItems()
{
    const int w = width();
    const int h = height();
    sb->setGeometry(8, 8, w - 16, h - 57);
    BtnOK->setGeometry(w - 170, h - 37, 75, 25);
    BtnAbbrechen->setGeometry(w - 87, h - 37, 75, 25);
    // The viewport follows the scroll box only when it is laid out: derive it.
    const int itemHeight = std::max(
        60, sb->height() - 2 * sb->frameWidth() - sb->horizontalScrollBar()->sizeHint().height());
    pb->resize(std::max(1, ItemCount()) * ItemWidth, itemHeight);
    const int indicator = style()->pixelMetric(QStyle::PM_IndicatorWidth);
    for (int i = 0; i < ItemCount(); ++i) {
        QCheckBox* box = FCheckBoxes[size_t(i)];
        const int boxWidth = std::min(ItemWidth - 20,
                                      box->fontMetrics().horizontalAdvance(box->text()) + 2 * indicator);
        const int left = i * ItemWidth + 10 + (ItemWidth - 20 - boxWidth) / 2;
        const int top = itemHeight - 10 - 18;
        box->setGeometry(left, top, boxWidth, 17);
    }
    FWorkBitmap.SetSize(ItemWidth, itemHeight);
    pb->update();
}

void TDruckvorschau::SetCurrentItem(int Index)
{
    if (Index == FCurrent)
        return;
    FCurrent = Index;
    pb->update();
}

bool TDruckvorschau::eventFilter(QObject* Watched, QEvent* Event)
{
    auto it = std::find(FCheckBoxes.begin(), FCheckBoxes.end(), Watched);
    if (it != FCheckBoxes.end()) {
        const int index = int(it - FCheckBoxes.begin());
        if (Event->type() == QEvent::FocusIn) {
            SetCurrentItem(index);
            sb->ensureWidgetVisible(*it);
        } else if (Event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(Event)->key();
            int next = index;
            if (key == Qt::Key_Left || key == Qt::Key_Up)
                next = std::max(0, index - 1);
            else if (key == Qt::Key_Right || key == Qt::Key_Down)
                next = std::min(ItemCount() - 1, index + 1);
            else
                return TLocalizerForm::eventFilter(Watched, Event);
            FCheckBoxes[size_t(next)]->setFocus();
            return true;  // arrows never leave the first or last box
        }
    }
    return TLocalizerForm::eventFilter(Watched, Event);
}

void TDruckvorschau::BtnOKClick()
{
    if (FSelection)
        for (int i = 0; i < ItemCount() && size_t(i) < FSelection->size(); ++i)
            (*FSelection)[size_t(i)] = FCheckBoxes[size_t(i)]->isChecked();
    done(QDialog::Accepted);
}

void TDruckvorschau::PaintItem(int Index, TBitmap& Bitmap)
{
    const int h = std::max(60, pb->height());
    if (Bitmap.Width() != ItemWidth || Bitmap.Height() != h)
        Bitmap.SetSize(ItemWidth, h);
    Bitmap.Image().fill(Index == FCurrent ? QColor(0xF0, 0xF0, 0xF0) : QColor(Qt::white));
    DrawMiniature(Bitmap, Index, TRect{10, 10, ItemWidth - 10, h - 10 - 26});
}

void TDruckvorschau::DrawMiniature(TBitmap& Bitmap, int Index, const TRect& Area)
{
    if (!FDocument)
        return;
    TFBDocument& doc = *FDocument;
    const bool folded = doc.DocType == 1;
    const int first = folded ? 2 * Index : Index;
    TFBPage* page = first < doc.Pages.Count() ? doc.Pages.GetPage(first) : nullptr;
    if (!page)
        return;
    float pw = doc.PageWidth;
    float ph = doc.PrintSetting == 8 ? doc.PageHeight / 2 : doc.PageHeight;
    const bool landscape = !folded && page->Orientation != 0;
    // Size of what is shown: a page, a turned page, or a sheet of two pages.
    float cw = pw, ch = ph;
    if (folded) {
        cw = ph;
        ch = 2 * pw;
    } else if (landscape) {
        std::swap(cw, ch);
    }
    const float side = float(std::min(Area.Width(), Area.Height()) - 3);
    if (side <= 0 || cw <= 0 || ch <= 0)
        return;
    const float scale = std::min(side / cw, side / ch);
    const float left = Area.Left + (side - cw * scale) / 2;
    const float top = Area.Top + (side - ch * scale) / 2;

    TBitmapDrawContext dc(Bitmap);
    TTransformation& t = *dc.Transformation;
    t.Translate(left, top);
    t.ScaleUniform(scale);
    auto drawPage = [&](TFBPage& P) {
        dc.SetPenColor(0xC0C0C0);
        dc.SetPenWidthPixels(1);
        dc.GetBrush().SetStyle(bsClear);
        dc.ClipRect(0, 0, pw, ph, RGN_COPY);
        DocumentDrawer().DrawPage(P, dc, 1, true);
        dc.RestoreClip();
        dc.SetPenColor(0xC0C0C0);
        dc.SetPenWidthPixels(1);
        dc.GetBrush().SetStyle(bsClear);
        dc.Rectangle(0, 0, pw, ph);
    };
    if (folded) {
        // As on paper: turned by -90 degrees, page 2k below page 2k+1.
        t.Rotate(-90);
        t.Translate(-2 * pw, 0);
        drawPage(*page);
        t.Translate(pw, 0);
        if (TFBPage* second = first + 1 < doc.Pages.Count() ? doc.Pages.GetPage(first + 1) : nullptr)
            drawPage(*second);
    } else {
        if (landscape) {
            t.RotateAt(cw / 2, ch / 2, doc.ScreenQuerformatWinkel);
            t.Translate((cw - pw) / 2, (ch - ph) / 2);
        }
        drawPage(*page);
    }
}
