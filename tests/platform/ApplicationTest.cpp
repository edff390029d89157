#include "Application.h"
#include "SysUtils.h"

#include <QPushButton>
#include <QSpinBox>
#include <gtest/gtest.h>

TEST(Application, GuardedSlotsReportWhatTheyThrowInsteadOfPassingItToQt)
{
    auto* app = qobject_cast<TApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    const auto saved = app->OnShowException;
    QStringList shown;
    app->OnShowException = [&](const QString& m) { shown << m; };

    // Both signals run their slots at once, outside any event handler.
    QPushButton button;
    QObject::connect(&button, &QPushButton::clicked, &button, Guarded([] { throw EConvertError("bad value"); }));
    QSpinBox spin;
    int got = -1;
    QObject::connect(&spin, &QSpinBox::valueChanged, &spin, Guarded([&](int Value) {
        got = Value;
        throw Exception("changed");
    }));
    QObject::connect(&spin, &QSpinBox::valueChanged, &spin, Guarded([] { Abort(); }));
    button.click();
    spin.setValue(5);
    app->OnShowException = saved;
    EXPECT_EQ(shown, QStringList({"bad value.", "changed."}));
    EXPECT_EQ(got, 5);
}
