// The interface language. The Chinese texts in the code are the source texts
// and the default interface; English comes from the translation embedded as
// :/i18n/qr5300m_en.qm. The database, the CSV headers and the MQTT field
// names never depend on it.
#pragma once

#include <QString>
#include <QStringList>

class QTranslator;

// The language to start in: "--lang X" (or "--lang=X") on the command line
// as the mode's parser reads it (app/cli.h), else the environment's
// QR5300M_LANG, else the [ui] lang key of the config file at configFile,
// else "zh". Only "en" and "zh" are known; anything else
// counts as not given.
QString chosenLanguage(const QStringList &arguments, const QString &environment, const QString &configFile);

// Loads the translation for lang into translator and installs it on the
// application; "zh" installs nothing. False when lang has no translation.
bool installLanguage(const QString &lang, QTranslator *translator);

// The application's start in every mode: its name, and the language chosen
// from its arguments, QR5300M_LANG and the remembered choice installed
// through translator (which must outlive the application's use of it).
void startInChosenLanguage(QTranslator *translator);

// Remembers lang as the [ui] lang key of the config file, other groups
// untouched; false when the file cannot be written.
bool saveLanguage(const QString &configFile, const QString &lang);
