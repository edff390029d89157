#include "WVLValidateEdit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QWidget>

namespace {

void Type(QWidget* w, const QString& text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
    }
}

// A shown, active dialog so focus changes reach the fields.
struct Form {
    QDialog dlg;
    Form()
    {
        dlg.resize(200, 100);
        dlg.show();
        QApplication::setActiveWindow(&dlg);
    }
    void Focus(QWidget* w)
    {
        w->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
    }
};

std::string MessageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const EValidation& e) {
        return e.Message;
    }
    return "(no exception)";
}

}  // namespace

TEST(WVLValidateEdit, IntegerEditSwallowsBadKeysAndNormalizes)
{
    QDialog dlg;
    TWVLIntegerEdit e(&dlg);
    EXPECT_EQ(e.Text(), "0");
    e.clear();
    Type(&e, "+1a2x-.e");
    EXPECT_EQ(e.Text(), "+12-");
    e.SetText("+0042");
    char key = 0;
    EXPECT_TRUE(e.DoValidate(key));
    EXPECT_EQ(e.Text(), "42");  // normalized to the plain number
    EXPECT_EQ(e.Value(), 42);
    e.SetText("abc");
    EXPECT_EQ(e.Value(), 0);  // the lower limit when it does not convert
}

TEST(WVLValidateEdit, DeleteKeyIsNoTypedCharacter)
{
    // The desktop sends the Delete key with the text DEL (0x7F); it edits the
    // text like the cursor keys and is never checked as a typed character.
    QDialog dlg;
    TWVLIntegerEdit i(&dlg);
    TWVLFloatEdit f(&dlg);
    for (TWVLValidateEdit* e : {static_cast<TWVLValidateEdit*>(&i), static_cast<TWVLValidateEdit*>(&f)}) {
        e->SetText("123");
        e->setCursorPosition(0);
        QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7F)));
        QApplication::sendEvent(e, &del);
        EXPECT_EQ(e->Text(), "23");
    }
}

TEST(WVLValidateEdit, LeavingWithBadTextReturnsTheFocusAndSelectsFromTheBadChar)
{
    Form f;
    auto* e = new TWVLIntegerEdit(&f.dlg);
    auto* other = new QLineEdit(&f.dlg);
    e->show();
    other->show();
    f.Focus(e);
    ASSERT_TRUE(e->hasFocus());
    e->SetText("12x45");
    e->setCursorPosition(5);
    f.Focus(other);
    EXPECT_TRUE(e->hasFocus());
    EXPECT_EQ(e->ErrorPosition(), 3);
    EXPECT_EQ(e->selectionStart(), 2);
    EXPECT_EQ(e->selectedText(), "x45");  // never a negative length

    e->SetText("17");
    f.Focus(other);
    EXPECT_TRUE(other->hasFocus());
}

TEST(WVLValidateEdit, RangeChecksAndTheirMessages)
{
    QDialog dlg;
    TWVLIntegerEdit i(&dlg);
    i.SetText("11");
    char key = 0;
    EXPECT_TRUE(i.DoValidate(key));  // limits 0 and 0: no range check
    i.LowerLimit = 1;
    i.UpperLimit = 10;
    EXPECT_FALSE(i.DoValidate(key));
    i.InvalidAction |= vaOutOfRangeException;
    EXPECT_EQ(MessageOf([&] { i.DoValidate(key); }), "Wert mu\xDF zwischen 1 und 10 liegen");
    i.SetText("10");
    EXPECT_TRUE(i.DoValidate(key));

    TWVLFloatEdit fe(&dlg);
    fe.LowerLimit = 0;
    fe.UpperLimit = 100;
    fe.InvalidAction |= vaOutOfRangeException;
    fe.SetText("100,5");
    EXPECT_EQ(MessageOf([&] { fe.DoValidate(key); }), "Wert mu\xDF zwischen 0,00 und 100,00 liegen");
    fe.SetText("99,5");
    EXPECT_TRUE(fe.DoValidate(key));

    // The base edit accepts any text and only trims it.
    TWVLValidateEdit base(&dlg);
    base.SetText("  frei  ");
    EXPECT_TRUE(base.DoValidate(key));
    EXPECT_EQ(base.Text(), "frei");
}

TEST(WVLValidateEdit, ExceptionsForBadEntryAndBadCharacter)
{
    QDialog dlg;
    TWVLIntegerEdit e(&dlg);
    e.setObjectName("edSeiteVon");
    e.InvalidAction = vaFocusException | vaInvalidCharException;
    e.SetText("1x");
    char key = 0;
    EXPECT_EQ(MessageOf([&] { e.DoValidate(key); }), "Falscher Eintrag 1x im Feld edSeiteVon");
    key = 'q';
    EXPECT_EQ(MessageOf([&] { e.DoValidate(key); }), "Falscher Buchstabe q in der Eingabe!");
    EXPECT_EQ(key, 'q');  // without vaIgnoreChar the key stays

    // vaIgnore switches the actions off: the bad key passes and nothing is raised.
    e.InvalidAction = vaIgnore | vaInvalidCharException;
    key = 'q';
    EXPECT_FALSE(e.DoValidate(key));
    EXPECT_EQ(key, 'q');
}

TEST(WVLValidateEdit, EventsRepairEntryAndCharacter)
{
    QDialog dlg;
    TWVLIntegerEdit e(&dlg);
    e.OnInvalidEntry = [](QObject*, AnsiString& text, bool& valid) {
        text = "7";
        valid = true;
    };
    e.SetText("seven");
    char key = 0;
    EXPECT_TRUE(e.DoValidate(key));
    EXPECT_EQ(e.Text(), "7");

    e.LowerLimit = 1;
    e.UpperLimit = 5;
    e.OnInvalidRange = [](QObject*, AnsiString& text, bool& valid) {
        text = "5";
        valid = true;
    };
    EXPECT_TRUE(e.DoValidate(key));
    EXPECT_EQ(e.Text(), "5");

    e.OnInvalidChar = [](QObject*, char& k) {
        if (k == 'o')
            k = '0';
    };
    e.clear();
    Type(&e, "1o");
    EXPECT_EQ(e.Text(), "10");
}

TEST(WVLValidateEdit, FloatEditValueTextAndSeparator)
{
    QDialog dlg;
    TWVLFloatEdit e(&dlg);
    EXPECT_EQ(e.Text(), "0");
    struct Case {
        double v;
        const char* text;
    } cases[] = {{2.5, "2,5"}, {3, "3"}, {1.005, "1"}, {-0.25, "-0,25"}, {120, "120"}, {1.999, "2"}};
    for (const Case& c : cases) {
        e.SetValue(c.v);
        EXPECT_EQ(e.Text(), c.text) << c.v;
    }
    e.clear();
    Type(&e, "1.5,2e3x");
    EXPECT_EQ(e.Text(), "15,2e3");
    EXPECT_DOUBLE_EQ(e.Value(), 15200);
    e.SetText("1,5x");
    char key = 0;
    EXPECT_FALSE(e.DoValidate(key));
    EXPECT_EQ(e.ErrorPosition(), 4);
    e.SetText("2,50");
    EXPECT_TRUE(e.DoValidate(key));
    EXPECT_EQ(e.Text(), "2,5");
}

TEST(WVLValidateEdit, FormRefusesToCloseWhileAFieldIsBad)
{
    Form f;
    auto* first = new TWVLIntegerEdit(&f.dlg);
    auto* second = new TWVLIntegerEdit(&f.dlg);
    first->show();
    second->show();
    std::vector<bool> seen;
    second->SetOnOwnerCloseQuery([&](QObject*, bool& canClose) { seen.push_back(canClose); });
    EXPECT_TRUE(second->Validate & veOnOwnerCloseQuery);
    EXPECT_FALSE(first->Validate & veOnOwnerCloseQuery);

    second->SetText("zwei");
    EXPECT_FALSE(f.dlg.close());
    EXPECT_TRUE(f.dlg.isVisible());
    EXPECT_EQ(seen, std::vector<bool>{false});
    EXPECT_TRUE(second->hasFocus());

    // The earlier field is asked first; its refusal spares the later check.
    first->SetOnOwnerCloseQuery([](QObject*, bool&) {});
    first->SetText("eins");
    seen.clear();
    EXPECT_FALSE(FormCloseQuery(&f.dlg));
    EXPECT_EQ(seen, std::vector<bool>{false});
    EXPECT_TRUE(first->hasFocus());

    first->SetText("1");
    second->SetText("2");
    delete first;  // a destroyed field leaves the chain intact
    EXPECT_TRUE(f.dlg.close());
    second->SetOnOwnerCloseQuery(nullptr);
    EXPECT_FALSE(second->Validate & veOnOwnerCloseQuery);
}

TEST(WVLValidateEdit, OwnerMustBeAForm)
{
    QDialog dlg;
    QWidget panel(&dlg);
    EXPECT_THROW(TWVLIntegerEdit e(&panel), EInvalidOperation);
    EXPECT_THROW(TWVLIntegerEdit e(nullptr), EInvalidOperation);
}

#include "ulocalize.h"

namespace {
class TCloseQueryTestForm : public TLocalizerForm {
public:
    LUMI_CLASSNAME(TCloseQueryTestForm)
    TCloseQueryTestForm(TCreateKey Key, QWidget* Parent) : TLocalizerForm(Key, Parent)
    {
        Field = new TWVLIntegerEdit(this);
    }
    TWVLIntegerEdit* Field;
};
} // namespace

TEST(WVLValidateEdit, FormStaysOpenOnOkWhileAFieldIsBad)
{
    std::unique_ptr<TCloseQueryTestForm> form(TLocalizerForm::create<TCloseQueryTestForm>(nullptr));
    int asked = 0;
    form->Field->SetOnOwnerCloseQuery([&](QObject*, bool&) { ++asked; });
    form->show();
    form->Field->SetText("zwei");
    form->setResult(0);
    form->accept();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->result(), 0);
    EXPECT_FALSE(form->close());  // the close button is asked once, too
    EXPECT_EQ(asked, 2);
    form->Field->SetText("2");
    form->accept();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Accepted);
}
