#pragma once
// Flat combo boxes for tool bars: TWVLTBComboBox draws its own flat border and
// drop-down button when the style is not themed; TWVLTBFontComboBox lists the
// installed font families with a "TT" mark and, while its list is open, shows
// the highlighted font in a floating preview window (TWVLTBFontWindow).
#include <QComboBox>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class QPainter;

class TWVLTBComboBox : public QComboBox {
public:
    explicit TWVLTBComboBox(QWidget* Parent = nullptr);

    // FState bits.
    static constexpr uint8_t stHover = 1;
    static constexpr uint8_t stPressed = 2;
    static constexpr uint8_t stFocus = 4;
    uint8_t State() const { return FState; }

    // The drop-down button's rectangle of the flat look.
    QRect ButtonRect() const;

    // The combo box's ordinary events; a key press handler may set Key to 0
    // to swallow the key.
    std::function<void(QObject* Sender)> OnChange;
    std::function<void(QObject* Sender, char16_t& Key)> OnKeyPress;
    std::function<void(QObject* Sender)> OnCloseUp;

    void hidePopup() override;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    void enterEvent(QEnterEvent* Event) override;
    void leaveEvent(QEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    // Draws the flat border and button over the control.
    void DrawFlatBorder(QPainter& P);

    void SetStateBits(uint8_t Set, uint8_t Clear);

private:
    void ApplyEnabledColors();
    void AdjustHeight();
    uint8_t FState = 0;
};

// The floating preview of a font: a borderless pop-up that never takes the
// mouse and shows its text centred on one line.
class TWVLTBFontWindow : public QWidget {
public:
    explicit TWVLTBFontWindow(QWidget* Parent = nullptr);
    void SetText(const QString& Text);
    QString Text() const { return FText; }

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    QString FText;
};

// One font family as the system offers it.
struct TFontFamilyEntry {
    QString Name;
    bool Raster;
};

class TWVLTBFontComboBox : public TWVLTBComboBox {
public:
    explicit TWVLTBFontComboBox(QWidget* Parent = nullptr);
    ~TWVLTBFontComboBox() override;

    // The families in the system's order: raster fonts and a name equal
    // (ignoring case) to the one added last are left out; the result is sorted.
    static QStringList BuildFontList(const std::vector<TFontFamilyEntry>& Families);
    // The font families of the screen.
    static std::vector<TFontFamilyEntry> ScreenFontFamilies();
    // Draws the "TT" mark's one glyph, 8 x 9 pixels, at X, Y.
    static void DrawTGlyph(QPainter& P, int X, int Y, const QColor& Color);

    QString GetSelectedFontName() const;
    void SelectFontName(const QString& Name);
    // Lists the system's fonts again, keeping the shown name selected.
    void FontsChanged();
    // Shows the item's name with the preview text in the preview window.
    void PreviewItem(int Index);

    // The preview window stands below the combo's right end while the list is open.
    void showPopup() override;
    void hidePopup() override;

    QString PreviewText = QStringLiteral("Franz jagt im komplett ...");
    TWVLTBFontWindow* FontWindow;
    QStringList FontList;

private:
    void SetItems();
};
