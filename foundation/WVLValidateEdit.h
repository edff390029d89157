#pragma once
// Single-line edits that check what the user types: a configurable base and
// integer and float edits with optional limits. A field can take part in its
// form's close query, so that the form cannot close while it holds a bad value.
#include "AnsiString.h"
#include "SysUtils.h"

#include <QLineEdit>
#include <QObject>
#include <cstdint>
#include <functional>

LUMI_EXCEPTION(EValidation, Exception)

// When checks run (set of bits).
enum TValCheck : uint8_t {
    veIgnore = 1 << 0,
    veOnOwnerCloseQuery = 1 << 1,
    veOnEnter = 1 << 2,
    veOnExit = 1 << 3,
    veOnKeyPress = 1 << 4,
};
using TValidityCheck = uint8_t;

// What happens on a bad entry (set of bits).
enum TValAction : uint8_t {
    vaIgnore = 1 << 0,
    vaNormalize = 1 << 1,
    vaIgnoreChar = 1 << 2,
    vaFocusBack = 1 << 3,
    vaFocusException = 1 << 4,
    vaOutOfRangeException = 1 << 5,
    vaInvalidCharException = 1 << 6,
};
using TInvalidAction = uint8_t;

using TValidationEvent = std::function<void(QObject* Sender, AnsiString& Text, bool& IsValid)>;
using TCharValidationEvent = std::function<void(QObject* Sender, char& Key)>;
using TCloseQueryEvent = std::function<void(QObject* Sender, bool& CanClose)>;

// The close query of a form: one handler, which validating fields chain
// themselves into. A form asks it when it is done (TLocalizerForm::done),
// another window when it gets a close event; a refusal keeps the form open.
class TFormCloseQuery : public QObject {
public:
    // The form's close query, created on first use (a child of the form).
    static TFormCloseQuery* Of(QWidget* Form);
    // True when the handler allows closing (no handler: true).
    bool CloseQuery();

    TCloseQueryEvent OnCloseQuery;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    explicit TFormCloseQuery(QWidget* Form);
};

bool FormCloseQuery(QWidget* Form);

// Marks a control of a form (its Cancel button) that the focus may move to
// without a validating field it leaves checking itself, so that a bad value
// does not stand in the way of cancelling.
void SetCancelControl(QWidget* Control);

class TWVLValidateEdit : public QLineEdit {
    Q_OBJECT
public:
    // Owner must be a form (a dialog or a window); its close query is hooked.
    explicit TWVLValidateEdit(QWidget* Owner);

    TValidationEvent OnInvalidEntry;
    TValidationEvent OnInvalidRange;
    TCharValidationEvent OnInvalidChar;

    const TCloseQueryEvent& OnOwnerCloseQuery() const { return FOnOwnerCloseQuery; }
    // Setting a handler adds veOnOwnerCloseQuery to Validate, clearing removes it.
    void SetOnOwnerCloseQuery(TCloseQueryEvent Handler);

    TValidityCheck Validate = veOnExit | veOnKeyPress;
    TInvalidAction InvalidAction = vaNormalize | vaIgnoreChar | vaFocusBack;

    // 1-based position of the first bad character of the last whole-text check.
    int ErrorPosition() const { return FErrorPos; }

    // Key 0 checks the whole text; otherwise the key (which may become 0).
    virtual bool DoValidate(char& Key);

    AnsiString Text() const { return toAnsi(text()); }
    void SetText(const AnsiString& Value) { setText(fromAnsi(Value)); }

protected:
    virtual bool IsValidEntry();
    virtual bool IsValidChar(char& Key);
    virtual bool IsInRange();
    virtual void Normalize();
    virtual void FocusBack();
    virtual void GetRangeErrorMessage(AnsiString& Msg);

    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

    bool ActionsActive() const { return InvalidAction != 0 && !(InvalidAction & vaIgnore); }
    void OwnerCloseQuery(QObject* Sender, bool& CanClose);

    int FErrorPos = 0;

private:
    TCloseQueryEvent FPrevCloseQuery;
    TCloseQueryEvent FOnOwnerCloseQuery;
};

class TWVLIntegerEdit : public TWVLValidateEdit {
    Q_OBJECT
public:
    explicit TWVLIntegerEdit(QWidget* Owner);

    int32_t UpperLimit = 0;
    int32_t LowerLimit = 0;

    int32_t Value() const;
    void SetValue(int32_t V);

protected:
    bool IsValidEntry() override;
    bool IsValidChar(char& Key) override;
    bool IsInRange() override;
    void Normalize() override;
    void GetRangeErrorMessage(AnsiString& Msg) override;
};

class TWVLFloatEdit : public TWVLValidateEdit {
    Q_OBJECT
public:
    explicit TWVLFloatEdit(QWidget* Owner);

    double UpperLimit = 0;
    double LowerLimit = 0;

    double Value() const;
    void SetValue(double V);

protected:
    bool IsValidEntry() override;
    bool IsValidChar(char& Key) override;
    bool IsInRange() override;
    void Normalize() override;
    void GetRangeErrorMessage(AnsiString& Msg) override;

private:
    char FDecimalSeparator;
};
