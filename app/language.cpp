#include "app/language.h"

#include "app/cli.h"
#include "core/settings_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTranslator>

namespace {

QString known(const QString &lang)
{
    const QString l = lang.trimmed().toLower();
    return l == u"en" || l == u"zh" ? l : QString();
}

} // namespace

QString chosenLanguage(const QStringList &arguments, const QString &environment, const QString &configFile)
{
    for (const QString &given : languagesGiven(arguments))
        if (const QString l = known(given); !l.isEmpty())
            return l;
    if (const QString l = known(environment); !l.isEmpty())
        return l;
    if (!configFile.isEmpty() && QFileInfo::exists(configFile)) {
        const QSettings ini(configFile, QSettings::IniFormat);
        if (const QString l = known(ini.value(QStringLiteral("ui/lang")).toString()); !l.isEmpty())
            return l;
    }
    return QStringLiteral("zh");
}

bool installLanguage(const QString &lang, QTranslator *translator)
{
    if (lang == u"zh")
        return true;
    if (!translator->load(QStringLiteral(":/i18n/qr5300m_%1.qm").arg(lang)))
        return false;
    return QCoreApplication::installTranslator(translator);
}

void startInChosenLanguage(QTranslator *translator)
{
    QCoreApplication::setApplicationName(QStringLiteral("qr5300m"));
    installLanguage(chosenLanguage(QCoreApplication::arguments(), qEnvironmentVariable("QR5300M_LANG"), settingsFilePath()),
                    translator);
}

bool saveLanguage(const QString &configFile, const QString &lang)
{
    if (!prepareSettingsFile(configFile))
        return false;
    QSettings ini(configFile, QSettings::IniFormat);
    ini.setValue(QStringLiteral("ui/lang"), lang);
    ini.sync();
    return ini.status() == QSettings::NoError && restrictSettingsFile(configFile);
}
