#include "WVLTBComboBox.h"
#include "Application.h"

#include "Graphics.h"
#include "uSubForm.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

QColor Sys(TColor C)
{
    return toQColor(C);
}

void Frame(QPainter& P, const QRect& R, const QColor& C)
{
    if (R.width() <= 0 || R.height() <= 0)
        return;
    P.setPen(C);
    P.setBrush(Qt::NoBrush);
    P.drawRect(R.adjusted(0, 0, -1, -1));
}

// An edge of one pixel: TopLeft on the left and top, BottomRight on the others.
void Edge(QPainter& P, const QRect& R, const QColor& TopLeft, const QColor& BottomRight)
{
    P.setPen(TopLeft);
    P.drawLine(R.left(), R.bottom(), R.left(), R.top());
    P.drawLine(R.left(), R.top(), R.right(), R.top());
    P.setPen(BottomRight);
    P.drawLine(R.right(), R.top(), R.right(), R.bottom());
    P.drawLine(R.left(), R.bottom(), R.right(), R.bottom());
}

// Items of the font list: the name beside the "TT" mark.
class TFontItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* P, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override
    {
        const bool enabled = Option.state & QStyle::State_Enabled;
        const bool selected = Option.state & QStyle::State_Selected;
        const QRect r = Option.rect;
        P->save();
        P->fillRect(r, selected ? Sys(clHighlight) : Sys(clWindow));
        if (Index.row() >= 0) {
            QColor text = selected ? Sys(clHighlightText) : Sys(clWindowText);
            if (!enabled)
                text = Sys(clBtnShadow);
            P->setPen(text);
            P->setFont(Option.font);
            P->drawText(r.adjusted(20, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                        Index.data(Qt::DisplayRole).toString());
            TWVLTBFontComboBox::DrawTGlyph(*P, r.left() + 3, r.top() + 1, enabled ? Sys(clBtnFace) : Sys(clBtnShadow));
            TWVLTBFontComboBox::DrawTGlyph(*P, r.left() + 7, r.top() + 4, enabled ? QColor(Qt::black) : Sys(clBtnShadow));
            if (Option.state & QStyle::State_HasFocus) {
                QPen dots(text, 1, Qt::DotLine);
                P->setPen(dots);
                P->drawRect(r.adjusted(0, 0, -1, -1));
            }
        }
        P->restore();
    }
};

}  // namespace

// ---- flat combo box ------------------------------------------------------------------------------

TWVLTBComboBox::TWVLTBComboBox(QWidget* Parent) : QComboBox(Parent)
{
    setFrame(false);
    ApplyEnabledColors();
    AdjustHeight();
    connect(this, &QComboBox::currentIndexChanged, this, Guarded([this] { SetStateBits(0, stPressed); }));
    connect(this, &QComboBox::activated, this, Guarded([this] {
        if (OnChange)
            OnChange(this);
    }));
}

void TWVLTBComboBox::AdjustHeight()
{
    setFixedHeight(QFontMetrics(font()).height() + 6);
}

void TWVLTBComboBox::ApplyEnabledColors()
{
    QPalette pal = palette();
    const bool enabled = isEnabled();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(g, QPalette::Base, Sys(enabled ? clWindow : clBtnFace));
        pal.setColor(g, QPalette::Text, Sys(enabled ? clWindowText : clBtnShadow));
        pal.setColor(g, QPalette::ButtonText, Sys(enabled ? clWindowText : clBtnShadow));
    }
    setPalette(pal);
}

void TWVLTBComboBox::SetStateBits(uint8_t Set, uint8_t Clear)
{
    const uint8_t state = uint8_t((FState | Set) & ~Clear);
    if (state == FState)
        return;
    FState = state;
    update();
}

void TWVLTBComboBox::changeEvent(QEvent* Event)
{
    QComboBox::changeEvent(Event);
    if (Event->type() == QEvent::EnabledChange)
        ApplyEnabledColors();
    else if (Event->type() == QEvent::FontChange)
        AdjustHeight();
}

void TWVLTBComboBox::enterEvent(QEnterEvent* Event)
{
    QComboBox::enterEvent(Event);
    SetStateBits(stHover, 0);
}

void TWVLTBComboBox::leaveEvent(QEvent* Event)
{
    QComboBox::leaveEvent(Event);
    SetStateBits(0, stHover);
}

void TWVLTBComboBox::focusInEvent(QFocusEvent* Event)
{
    QComboBox::focusInEvent(Event);
    SetStateBits(stFocus, 0);
}

void TWVLTBComboBox::focusOutEvent(QFocusEvent* Event)
{
    QComboBox::focusOutEvent(Event);
    SetStateBits(0, stFocus | stHover);
}

void TWVLTBComboBox::mousePressEvent(QMouseEvent* Event)
{
    if (Event->button() == Qt::LeftButton)
        SetStateBits(stPressed, 0);
    QComboBox::mousePressEvent(Event);
}

void TWVLTBComboBox::mouseReleaseEvent(QMouseEvent* Event)
{
    if (Event->button() == Qt::LeftButton)
        SetStateBits(0, stPressed);
    QComboBox::mouseReleaseEvent(Event);
}

void TWVLTBComboBox::keyPressEvent(QKeyEvent* Event)
{
    if (OnKeyPress && !Event->text().isEmpty()) {
        char16_t key = Event->text().at(0).unicode();
        OnKeyPress(this, key);
        if (key == 0)
            return;
    }
    QComboBox::keyPressEvent(Event);
}

void TWVLTBComboBox::hidePopup()
{
    QComboBox::hidePopup();
    SetStateBits(0, stPressed);
    if (OnCloseUp)
        OnCloseUp(this);
}

QRect TWVLTBComboBox::ButtonRect() const
{
    const int w = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const int right = width() - 2;
    return QRect(QPoint(right - w, 2), QPoint(right - 1, height() - 3));
}

void TWVLTBComboBox::paintEvent(QPaintEvent* Event)
{
    QComboBox::paintEvent(Event);
    if (TSubForm::ThemesActive())
        return;
    QPainter p(this);
    DrawFlatBorder(p);
}

void TWVLTBComboBox::DrawFlatBorder(QPainter& P)
{
    QRect r = rect();
    const QColor face = Sys(clBtnFace), window = Sys(clWindow), shadow = Sys(clBtnShadow);
    const QColor light = Sys(clBtnHighlight);
    if ((FState & (stHover | stFocus)) == 0) {
        Frame(P, r, face);
        Frame(P, r.adjusted(1, 1, -1, -1), face);
        Frame(P, r.adjusted(2, 2, -2, -2), window);
    } else {
        Edge(P, r, shadow, light);
        r.adjust(1, 1, -1, -1);
        P.setPen(face);
        P.drawLine(r.left(), r.top(), r.left(), r.bottom());
        P.drawLine(r.left(), r.top(), r.right(), r.top());
        Frame(P, r.adjusted(1, 1, 0, 0), window);
    }

    QRect b = ButtonRect();
    P.fillRect(b, face);
    Frame(P, b, FState == 0 ? window : face);
    const bool pressed = FState & stPressed;
    if (FState != 0) {
        if (pressed)
            Edge(P, b, shadow, light);
        else
            Edge(P, b, light, shadow);
    }
    if (b.width() >= 5) {
        P.setPen(isEnabled() ? Sys(clWindowText) : shadow);
        const int cx = b.left() + b.width() / 2 + (pressed ? 1 : 0);
        const int top = b.top() + (b.height() - 3) / 2 + (pressed ? 1 : 0);
        for (int i = 0; i < 3; ++i)
            P.drawLine(cx - 2 + i, top + i, cx + 2 - i, top + i);
    }
}

// ---- preview window --------------------------------------------------------------------------------

TWVLTBFontWindow::TWVLTBFontWindow(QWidget* Parent)
    : QWidget(Parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(20);
    setFont(f);
    resize(100, QFontMetrics(f).height() + 20);
}

void TWVLTBFontWindow::SetText(const QString& Text)
{
    FText = Text;
    update();
}

void TWVLTBFontWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Sys(clWindow));
    Frame(p, rect(), Sys(clWindowFrame));
    p.setPen(Sys(clWindowText));
    p.setFont(font());
    p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, FText);
}

// ---- font combo box --------------------------------------------------------------------------------

TWVLTBFontComboBox::TWVLTBFontComboBox(QWidget* Parent) : TWVLTBComboBox(Parent)
{
    FontList = BuildFontList(ScreenFontFamilies());
    setItemDelegate(new TFontItemDelegate(this));
    FontWindow = new TWVLTBFontWindow(this);
    FontWindow->hide();
    SetItems();
    connect(this, &QComboBox::highlighted, this, Guarded([this](int Index) { PreviewItem(Index); }));
    connect(qGuiApp, &QGuiApplication::fontDatabaseChanged, this, Guarded([this] { FontsChanged(); }));
}

TWVLTBFontComboBox::~TWVLTBFontComboBox() = default;

std::vector<TFontFamilyEntry> TWVLTBFontComboBox::ScreenFontFamilies()
{
    // A family installed by several foundries is listed once per foundry as
    // "Name [Foundry]"; the user chooses by name, and documents store the name.
    static const QRegularExpression foundry(QStringLiteral("\\s*\\[[^\\]]*\\]$"));
    std::vector<TFontFamilyEntry> families;
    for (const QString& name : QFontDatabase::families()) {
        QString plain = name;
        plain.remove(foundry);
        families.push_back({plain, !QFontDatabase::isScalable(name)});
    }
    return families;
}

QStringList TWVLTBFontComboBox::BuildFontList(const std::vector<TFontFamilyEntry>& Families)
{
    QStringList list;
    for (const TFontFamilyEntry& f : Families) {
        if (f.Raster)
            continue;
        if (!list.isEmpty() && list.back().toLower().localeAwareCompare(f.Name.toLower()) == 0)
            continue;
        list.append(f.Name);
    }
    std::stable_sort(list.begin(), list.end(), [](const QString& A, const QString& B) {
        return A.toLower().localeAwareCompare(B.toLower()) < 0;
    });
    return list;
}

void TWVLTBFontComboBox::DrawTGlyph(QPainter& P, int X, int Y, const QColor& Color)
{
    P.save();
    P.setPen(Qt::NoPen);
    P.setBrush(Color);
    P.setRenderHint(QPainter::Antialiasing, false);
    auto fill = [&](int L, int T, int R, int B) { P.drawRect(QRect(QPoint(L, T), QPoint(R, B))); };
    fill(X, Y, X + 7, Y);              // top bar
    fill(X, Y + 1, X, Y + 2);          // its ends turned down
    fill(X + 7, Y + 1, X + 7, Y + 2);
    fill(X + 1, Y + 1, X + 1, Y + 1);  // serifs
    fill(X + 6, Y + 1, X + 6, Y + 1);
    fill(X + 3, Y, X + 4, Y + 8);      // stem
    fill(X + 1, Y + 8, X + 6, Y + 8);  // foot
    P.restore();
}

void TWVLTBFontComboBox::SetItems()
{
    const QString shown = currentText();
    const QSignalBlocker block(this);
    clear();
    addItems(FontList);
    setCurrentIndex(findText(shown, Qt::MatchFixedString | Qt::MatchCaseSensitive));
}

QString TWVLTBFontComboBox::GetSelectedFontName() const
{
    return currentIndex() >= 0 ? itemText(currentIndex()) : QString();
}

void TWVLTBFontComboBox::SelectFontName(const QString& Name)
{
    // A font the text names but this machine lacks (drawn by a substitute) is
    // still shown by its name, though nothing in the list is selected. An empty
    // placeholder would select the first font, so none is shown as a blank.
    const int index = int(FontList.indexOf(Name));
    setCurrentIndex(index);
    if (index < 0)
        setPlaceholderText(Name.isEmpty() ? QStringLiteral(" ") : Name);
}

void TWVLTBFontComboBox::FontsChanged()
{
    FontList = BuildFontList(ScreenFontFamilies());
    SetItems();
}

void TWVLTBFontComboBox::PreviewItem(int Index)
{
    if (Index < 0 || Index >= count())
        return;
    const QString name = itemText(Index);
    QFont f(name);
    f.setPointSize(20);
    FontWindow->setFont(f);
    FontWindow->SetText(name + QStringLiteral(" - ") + PreviewText);
    FontWindow->resize(QFontMetrics(f).horizontalAdvance(FontWindow->Text()) + 25, FontWindow->height());
    FontWindow->repaint();
}

void TWVLTBFontComboBox::showPopup()
{
    FontWindow->move(mapToGlobal(QPoint(width() - 1, height())));
    FontWindow->show();
    TWVLTBComboBox::showPopup();
}

void TWVLTBFontComboBox::hidePopup()
{
    FontWindow->hide();
    TWVLTBComboBox::hidePopup();
}
