#include "core/settings_file.h"
#include "app/alarm_desk.h"
#include "app/ssqx.h"
#include "app/cli.h"
#include "app/export_command.h"
#include "app/frmsplash.h"
#include "app/headless.h"
#include "app/language.h"
#include "app/session.h"

#include <QApplication>
#include <QDBusConnection>
#include <QTranslator>

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    switch (runModeOf(arguments)) {
    case RunMode::Export:
        return runExport(argc, argv); // no display needed: no QApplication
    case RunMode::Headless:
        return runHeadless(argc, argv); // likewise
    case RunMode::Windows:
        break;
    }
    if (const int rc = answerCommandLine(arguments); rc >= 0)
        return rc; // --help, --version or a usage error: no window
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false); // only the exit path ends the program
    QTranslator translator; // Chinese unless --lang en, QR5300M_LANG=en or the remembered choice
    startInChosenLanguage(&translator);

    InstrumentSession session;
    session.dbFiles.setLocation(dbLocation()); // the user's choice, decided once
    session.mqtt.setSettings(readMqttSettings(settingsFilePath()));
    // The session's alarms told on the desktop's own session bus.
    AlarmDesk alarms(QDBusConnection::sessionBus(), session.clock, settingsFilePath());
    alarms.add(session.alarms);
    Windows windows; // goes before the session
    auto *splash = new frmSplash(session, windows);
    // The session's cycles start with the working windows: the logging from
    // then on, the acquisition once the link is opened.
    QObject::connect(splash, &frmSplash::handedOver, splash, [&session, &windows, &alarms] {
        session.start();
        windows.main->showAlarms(alarms);
    });
    splash->Form_Load();
    splash->show();
    const int rc = QApplication::exec();
    return rc;
}
