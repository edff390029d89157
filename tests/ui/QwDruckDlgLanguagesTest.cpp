// The print dialog's labels in every offered language.
#include "KvSpinEdit.h"
#include "WVLValidateEdit.h"
#include "uQwDruckDlg.h"
#include "ulocalize.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>

namespace {

// Offers every language for the scope, then returns to German and the former offer.
struct TAllLanguages {
    const uint16_t Kept = Localizer().SupportedLanguages();
    TAllLanguages() { Localizer().SetSupportedLanguages(TLocalizer::DefaultSupportedLanguages); }
    ~TAllLanguages()
    {
        Localizer().SetLanguage(0);
        Localizer().SetSupportedLanguages(Kept);
    }
};

} // namespace

TEST(QwDruckDlg, TranslatedLabelsFitBesideTheirFields)
{
    TAllLanguages languages;
    const auto textWidth = [](const QLabel* L) { return L->fontMetrics().horizontalAdvance(L->text()); };
    for (int language : {0, 1, 2, 3, 4, 9}) {
        ASSERT_TRUE(Localizer().IsLanguageAvailable(language)) << language;
        Localizer().SetLanguage(language);
        std::unique_ptr<TQwDruckDlg> dlg(TLocalizerForm::create<TQwDruckDlg>(nullptr));
        SCOPED_TRACE(dlg->lblVon->text().toStdString());
        const auto* copies = dlg->gbAnzahl->findChild<QLabel*>(QStringLiteral("Label5"));
        ASSERT_NE(copies, nullptr);
        for (const QLabel* label : std::initializer_list<const QLabel*>{copies, dlg->lblVon, dlg->lblBis})
            EXPECT_LE(textWidth(label), label->width()) << label->text().toStdString();
        EXPECT_FALSE(copies->geometry().intersects(dlg->edAnzahl->geometry()));
        EXPECT_LE(dlg->edAnzahl->geometry().right(), dlg->gbAnzahl->width() - 8);
        EXPECT_LE(dlg->rbSeiten->geometry().right(), dlg->lblVon->x());
        EXPECT_LT(dlg->lblVon->geometry().right(), dlg->edVon->x());
        EXPECT_LT(dlg->edVon->geometry().right(), dlg->lblBis->x());
        EXPECT_LT(dlg->lblBis->geometry().right(), dlg->edBis->x());
        EXPECT_LE(dlg->edBis->geometry().right(), dlg->gbDruckbereich->width() - 8);
        EXPECT_LE(dlg->BtnDruckposition->sizeHint().width(), dlg->BtnDruckposition->width());
        EXPECT_LT(dlg->BtnDruckposition->geometry().right(), dlg->BtnOK->x());
        if (language == 0) {
            // the German row keeps its places
            EXPECT_EQ(dlg->edVon->geometry(), QRect(110, 46, 44, 23));
            EXPECT_EQ(dlg->edBis->geometry(), QRect(192, 46, 44, 23));
            EXPECT_EQ(dlg->BtnDruckposition->width(), 170);
            if (textWidth(copies) + 4 <= 70) {
                EXPECT_EQ(copies->geometry(), QRect(10, 32, 70, 18));
            }
        }
    }
}
