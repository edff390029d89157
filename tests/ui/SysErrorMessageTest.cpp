// The texts of system error numbers, read from the program's own language
// files: every number a file operation can give has a text of its cause in
// each language, any other number a text of the language that gives it.
#include "SysUtils.h"
#include "ulocalize.h"

#include <QSet>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <iterator>

TEST(SysErrorMessage, EveryErrorNumberHasATextInEveryLanguage)
{
    const int fileErrors[] = {EILSEQ,  EINVAL,  EFBIG,   ENAMETOOLONG, EACCES,    EPERM,     ENOENT,   ENOTDIR, EISDIR,
                              EEXIST,  ENOTEMPTY, ENOSPC, EDQUOT,      EROFS,     EXDEV,     EBUSY,    EMLINK,  ELOOP,
                              EIO,     ETXTBSY, EMFILE,  ENFILE,       ENOMEM,    ESTALE,    EOVERFLOW, ENXIO,  ENODEV,
                              EAGAIN,  EINTR,   ECANCELED, ENOTSUP,    EOPNOTSUPP, EFAULT,   EBADF,    ETIMEDOUT, EHOSTDOWN};
    const uint16_t offered = Localizer().SupportedLanguages();
    Localizer().SetSupportedLanguages(TLocalizer::DefaultSupportedLanguages);
    for (int language : {0, 1, 2, 3, 4, 9}) {
        Localizer().SetLanguage(language);
        ASSERT_EQ(Localizer().LanguageIndex(), language);
        // The language file's causes, and its text for any other number.
        QStringList keys;
        Localizer().LanguageIni().ReadSection(QStringLiteral("Default"), keys);
        QSet<QString> causes;
        QString other;
        for (const QString& key : keys)
            if (key.startsWith(QLatin1String("XSysErr"))) {
                const QString text = Localizer().LanguageIni().ReadString(QStringLiteral("Default"), key, QString());
                if (key == QLatin1String("XSysErrOther"))
                    other = text;
                else
                    causes.insert(text);
            }
        ASSERT_TRUE(other.contains(QLatin1String("%d"))) << language;
        for (int error = 1; error <= 133; ++error) {
            const QString text = SysErrorMessage(error);
            if (std::find(std::begin(fileErrors), std::end(fileErrors), error) != std::end(fileErrors))
                EXPECT_TRUE(causes.contains(text)) << language << ", " << error << ": " << text.toStdString();
            else
                EXPECT_TRUE(causes.contains(text) || text == QString(other).replace(QLatin1String("%d"), QString::number(error)))
                    << language << ", " << error << ": " << text.toStdString();
        }
    }
    Localizer().SetLanguage(0);
    Localizer().SetSupportedLanguages(offered);
}
