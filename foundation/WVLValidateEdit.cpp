#include "WVLValidateEdit.h"
#include "ulocalize.h"
#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPointer>
#include <climits>
#include <cstring>

namespace {

const char* const cInvalidEntry = "Falscher Eintrag %s im Feld %s";
const char* const cOutOfRange = "Wert mu\xDF zwischen %f und %f liegen";
const char* const cInvalidChar = "Falscher Buchstabe %s in der Eingabe!";

// Dynamic property of a control the focus may move to without the field
// it leaves checking itself.
const char* const cCancelControl = "WVLCancelControl";

[[maybe_unused]] const int RegisterTexts = [] {
    for (const char* t : {cInvalidEntry, cOutOfRange, cInvalidChar})
        RegisterDefaultString(fromAnsi(t));
    return 0;
}();

// The message in the program's language with its blanks (%s, %d or %f, in
// order) filled with Args. The text comes from a language file, so it is
// never used as a format string.
AnsiString Message(const char* German, std::initializer_list<AnsiString> Args)
{
    const AnsiString text = toAnsi(LocalizedDefaultString(fromAnsi(German)));
    AnsiString result;
    auto arg = Args.begin();
    for (size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '%' && (next == 's' || next == 'd' || next == 'f') && arg != Args.end()) {
            result += *arg++;
            ++i;
        } else if (text[i] == '%' && next == '%') {
            result += '%';
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// 1-based position of the first character that cannot belong to an integer
// (blanks, sign, decimal or "$"-hex digits, blanks); 0 when the text is one.
int IntegerErrorPos(const AnsiString& s)
{
    size_t i = 0;
    const size_t n = s.size();
    while (i < n && IsBlank(s[i]))
        ++i;
    bool negative = false;
    if (i < n && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    const bool hex = i < n && s[i] == '$';
    if (hex)
        ++i;
    const size_t first = i;
    int64_t v = 0;
    const int64_t limit = hex ? 0xFFFFFFFFLL : (negative ? 2147483648LL : 2147483647LL);
    for (; i < n; ++i) {
        const char c = s[i];
        int d;
        if (IsDigit(c))
            d = c - '0';
        else if (hex && ((c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            d = (c | 0x20) - 'a' + 10;
        else
            break;
        v = v * (hex ? 16 : 10) + d;
        if (v > limit)
            return int(i + 1);
    }
    if (i == first)
        return int(i + 1);
    while (i < n && IsBlank(s[i]))
        ++i;
    return i < n ? int(i + 1) : 0;
}

// The same for a float with the given decimal separator and an exponent.
int FloatErrorPos(const AnsiString& s, char sep)
{
    size_t i = 0;
    const size_t n = s.size();
    while (i < n && IsBlank(s[i]))
        ++i;
    if (i < n && (s[i] == '+' || s[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < n && IsDigit(s[i]))
        ++i, ++digits;
    if (i < n && s[i] == sep) {
        ++i;
        while (i < n && IsDigit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return int(i + 1);
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-'))
            ++i;
        const size_t first = i;
        while (i < n && IsDigit(s[i]))
            ++i;
        if (i == first)
            return int(i + 1);
    }
    while (i < n && IsBlank(s[i]))
        ++i;
    return i < n ? int(i + 1) : 0;
}

// Set while a field takes the focus back: the field losing the focus then
// does not check itself, so two bad fields cannot pull the focus to and fro.
bool gFocusingBack = false;

char KeyOf(const QKeyEvent* e)
{
    const QString t = e->text();
    // The Delete key comes with the text DEL, but it edits like the cursor
    // keys and is no typed character.
    if (t.size() != 1 || t[0].unicode() == 0x7F)
        return 0;
    const int c = UnicodeToAnsiChar(t[0].unicode());
    return c < 0 ? '?' : char(c);
}

bool IsDialogKey(const QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return true;
    default:
        return false;
    }
}

}  // namespace

// ---- TFormCloseQuery ---------------------------------------------------------------------

TFormCloseQuery::TFormCloseQuery(QWidget* Form) : QObject(Form)
{
    setObjectName("TFormCloseQuery");
    Form->installEventFilter(this);
}

TFormCloseQuery* TFormCloseQuery::Of(QWidget* Form)
{
    if (auto* q = Form->findChild<TFormCloseQuery*>("TFormCloseQuery", Qt::FindDirectChildrenOnly))
        return q;
    return new TFormCloseQuery(Form);
}

bool TFormCloseQuery::CloseQuery()
{
    bool canClose = true;
    if (OnCloseQuery)
        OnCloseQuery(parent(), canClose);
    return canClose;
}

bool TFormCloseQuery::eventFilter(QObject* Watched, QEvent* Event)
{
    // A form asks its close query when it is done (accept, reject and the
    // close button all end there); other windows ask it on their close event.
    if (Watched == parent() && Event->type() == QEvent::Close
        && !dynamic_cast<TLocalizerForm*>(parent()) && !CloseQuery()) {
        Event->ignore();
        return true;
    }
    return QObject::eventFilter(Watched, Event);
}

bool FormCloseQuery(QWidget* Form)
{
    return TFormCloseQuery::Of(Form)->CloseQuery();
}

void SetCancelControl(QWidget* Control)
{
    Control->setProperty(cCancelControl, true);
}

// ---- TWVLValidateEdit --------------------------------------------------------------------

TWVLValidateEdit::TWVLValidateEdit(QWidget* Owner) : QLineEdit(Owner)
{
    if (!Owner || !(Owner->isWindow() || qobject_cast<QDialog*>(Owner)))
        throw EInvalidOperation(AnsiString("Invalid class typecast"));
    clear();
    // Chain into the form's close query; the previous handler runs first.
    TFormCloseQuery* query = TFormCloseQuery::Of(Owner);
    FPrevCloseQuery = query->OnCloseQuery;
    QPointer<TWVLValidateEdit> self(this);
    TCloseQueryEvent previous = FPrevCloseQuery;
    query->OnCloseQuery = [self, previous](QObject* Sender, bool& CanClose) {
        if (self)
            self->OwnerCloseQuery(Sender, CanClose);
        else if (previous)
            previous(Sender, CanClose);
    };
}

void TWVLValidateEdit::SetOnOwnerCloseQuery(TCloseQueryEvent Handler)
{
    FOnOwnerCloseQuery = std::move(Handler);
    if (FOnOwnerCloseQuery)
        Validate |= veOnOwnerCloseQuery;
    else
        Validate &= ~veOnOwnerCloseQuery;
}

void TWVLValidateEdit::OwnerCloseQuery(QObject* Sender, bool& CanClose)
{
    if (FPrevCloseQuery)
        FPrevCloseQuery(Sender, CanClose);
    if (CanClose && (Validate & veOnOwnerCloseQuery)) {
        char key = 0;
        CanClose = DoValidate(key);
    }
    if (FOnOwnerCloseQuery)
        FOnOwnerCloseQuery(Sender, CanClose);
}

bool TWVLValidateEdit::DoValidate(char& Key)
{
    const bool active = ActionsActive();
    if (Key != 0) {
        bool result = IsValidChar(Key);
        if (!result && active) {
            if (OnInvalidChar) {
                OnInvalidChar(this, Key);
                result = IsValidChar(Key);
            }
            if (!result) {
                const char bad = Key;
                if (InvalidAction & vaIgnoreChar)
                    Key = 0;
                if (InvalidAction & vaInvalidCharException)
                    throw EValidation(Message(cInvalidChar, {AnsiString(1, bad)}));
            }
        }
        return result;
    }

    bool result = IsValidEntry();
    if (!result && active) {
        AnsiString text = Text();
        if (OnInvalidEntry)
            OnInvalidEntry(this, text, result);
        if (result) {
            SetText(text);
        } else {
            if (InvalidAction & vaFocusBack)
                FocusBack();
            if (InvalidAction & vaFocusException)
                throw EValidation(Message(cInvalidEntry, {text, toAnsi(objectName())}));
            return false;
        }
    }

    result = IsInRange();
    if (!result) {
        AnsiString text = Text();
        if (OnInvalidRange)
            OnInvalidRange(this, text, result);
        if (result) {
            SetText(text);
        } else {
            if (InvalidAction & vaFocusBack)
                FocusBack();
            if (InvalidAction & vaOutOfRangeException) {
                AnsiString msg;
                GetRangeErrorMessage(msg);
                throw EValidation(msg);
            }
            return false;
        }
    }

    if (result && (InvalidAction & vaNormalize))
        Normalize();
    return result;
}

bool TWVLValidateEdit::IsValidEntry()
{
    FErrorPos = 0;
    return true;
}

bool TWVLValidateEdit::IsValidChar(char&)
{
    FErrorPos = 0;
    return true;
}

bool TWVLValidateEdit::IsInRange()
{
    FErrorPos = 0;
    return true;
}

void TWVLValidateEdit::Normalize()
{
    SetText(Trim(Text()));
}

void TWVLValidateEdit::FocusBack()
{
    if (!gFocusingBack) {
        gFocusingBack = true;
        setFocus(Qt::OtherFocusReason);
        gFocusingBack = false;
    }
    if (FErrorPos > 0) {
        // From the bad character to the end of the text.
        const int start = std::min(FErrorPos - 1, int(text().size()));
        setSelection(start, int(text().size()) - start);
    }
}

void TWVLValidateEdit::GetRangeErrorMessage(AnsiString& Msg)
{
    const AnsiString zero = Format("%f", {0.0});
    Msg = Message(cOutOfRange, {zero, zero});
}

void TWVLValidateEdit::keyPressEvent(QKeyEvent* e)
{
    char key = IsDialogKey(e) ? 0 : KeyOf(e);
    if (key != 0 && (Validate & veOnKeyPress)) {
        const char typed = key;
        DoValidate(key);
        if (key == 0)
            return;
        if (key != typed) {
            QKeyEvent replaced(e->type(), 0, e->modifiers(), QString(fromAnsi(AnsiString(1, key))));
            QLineEdit::keyPressEvent(&replaced);
            return;
        }
    }
    QLineEdit::keyPressEvent(e);
}

void TWVLValidateEdit::focusInEvent(QFocusEvent* e)
{
    QLineEdit::focusInEvent(e);
    if (Validate & veOnEnter) {
        char key = 0;
        DoValidate(key);
    }
}

void TWVLValidateEdit::focusOutEvent(QFocusEvent* e)
{
    // Only leaving the field for another control of its form counts as an
    // exit: not the window losing the focus (to a message box, say, or when
    // it closes), and not the press of the form's Cancel button.
    const QWidget* next = QApplication::focusWidget();
    const bool exit = e->reason() != Qt::ActiveWindowFocusReason && e->reason() != Qt::PopupFocusReason
                      && !(next && next->property(cCancelControl).toBool());
    if (exit && (Validate & veOnExit) && !gFocusingBack) {
        char key = 0;
        DoValidate(key);
        if (hasFocus())
            return;  // the check took the focus back; keep its selection
    }
    QLineEdit::focusOutEvent(e);
}

// ---- TWVLIntegerEdit ---------------------------------------------------------------------

TWVLIntegerEdit::TWVLIntegerEdit(QWidget* Owner) : TWVLValidateEdit(Owner)
{
    SetText(IntToStr(LowerLimit));
}

int32_t TWVLIntegerEdit::Value() const
{
    return StrToIntDef(Text(), LowerLimit);
}

void TWVLIntegerEdit::SetValue(int32_t V)
{
    SetText(IntToStr(V));
}

bool TWVLIntegerEdit::IsValidEntry()
{
    TWVLValidateEdit::IsValidEntry();
    int32_t v;
    if (TryStrToInt(Text(), v))
        return true;
    FErrorPos = IntegerErrorPos(Text());
    if (FErrorPos == 0)
        FErrorPos = 1;
    return false;
}

bool TWVLIntegerEdit::IsValidChar(char& Key)
{
    return TWVLValidateEdit::IsValidChar(Key)
        && (Key == '\b' || Key == '+' || Key == '-' || IsDigit(Key));
}

bool TWVLIntegerEdit::IsInRange()
{
    TWVLValidateEdit::IsInRange();
    if (UpperLimit <= LowerLimit)
        return true;
    const int32_t v = Value();
    return LowerLimit <= v && v <= UpperLimit;
}

void TWVLIntegerEdit::Normalize()
{
    SetValue(Value());
}

void TWVLIntegerEdit::GetRangeErrorMessage(AnsiString& Msg)
{
    Msg = Message(cOutOfRange, {IntToStr(LowerLimit), IntToStr(UpperLimit)});
}

// ---- TWVLFloatEdit -----------------------------------------------------------------------

TWVLFloatEdit::TWVLFloatEdit(QWidget* Owner)
    : TWVLValidateEdit(Owner), FDecimalSeparator(FormatSettings().DecimalSeparator)
{
    SetText(FloatToStr(LowerLimit));
}

double TWVLFloatEdit::Value() const
{
    double v;
    if (TryStrToFloat(Text(), v))
        return v;
    return LowerLimit;
}

void TWVLFloatEdit::SetValue(double V)
{
    AnsiString s = Format("%.2f", {V});
    const char sep = FormatSettings().DecimalSeparator;
    if (s.find(sep) != AnsiString::npos) {
        while (!s.empty() && s.back() == '0')
            s.pop_back();
        if (!s.empty() && s.back() == sep)
            s.pop_back();
    }
    SetText(s);
}

bool TWVLFloatEdit::IsValidEntry()
{
    TWVLValidateEdit::IsValidEntry();
    double v;
    if (TryStrToFloat(Text(), v))
        return true;
    FErrorPos = FloatErrorPos(Text(), FormatSettings().DecimalSeparator);
    if (FErrorPos == 0)
        FErrorPos = 1;
    return false;
}

bool TWVLFloatEdit::IsValidChar(char& Key)
{
    return TWVLValidateEdit::IsValidChar(Key)
        && (Key == '\b' || Key == '+' || Key == '-' || IsDigit(Key) || Key == 'E' || Key == 'e'
            || Key == FDecimalSeparator);
}

bool TWVLFloatEdit::IsInRange()
{
    TWVLValidateEdit::IsInRange();
    if (LowerLimit >= UpperLimit)
        return true;
    const double v = Value();
    return LowerLimit <= v && v <= UpperLimit;
}

void TWVLFloatEdit::Normalize()
{
    SetValue(Value());
}

void TWVLFloatEdit::GetRangeErrorMessage(AnsiString& Msg)
{
    Msg = Message(cOutOfRange, {Format("%f", {LowerLimit}), Format("%f", {UpperLimit})});
}
