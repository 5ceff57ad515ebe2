#include "core/settings_file.h"
#include "app/alarm_desk.h"
#include "app/ssqx.h"
#include "app/cli.h"
#include "app/export_command.h"
#include "app/frmsplash.h"
#include "app/headless.h"
#include "app/params_command.h"
#include "app/language.h"
#include "app/plant.h"

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
    case RunMode::Params:
        return runParams(argc, argv); // likewise
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

    // The instruments remembered, or the one of the first start; the
    // database location is the user's choice, decided once.
    Plant plant(dbLocation(), settingsFilePath());
    // Every instrument's alarms told on the desktop's own session bus.
    AlarmDesk alarms(QDBusConnection::sessionBus(), plant.first().clock, settingsFilePath());
    alarms.follow(plant);
    Windows windows; // goes before the instruments
    windows.setAlarmDesk(alarms);
    auto *splash = new frmSplash(plant.first(), windows);
    // The instruments' cycles start with the working windows: the logging
    // from then on, the acquisition once their line is opened. The main
    // window follows the instrument chosen in the list.
    QObject::connect(splash, &frmSplash::handedOver, splash, [&plant, &windows] {
        windows.follow(plant);
        plant.start();
    });
    splash->Form_Load();
    splash->show();
    const int rc = QApplication::exec();
    return rc;
}
