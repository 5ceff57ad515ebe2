#include "app/export_command.h"
#include "app/frmsplash.h"
#include "app/session.h"

#include <QApplication>

int main(int argc, char **argv)
{
    if (isExportCommand(argc, argv))
        return runExport(argc, argv); // no display needed: no QApplication
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qr5300m"));
    QApplication::setQuitOnLastWindowClosed(false); // only the exit path ends the program

    InstrumentSession session;
    Windows windows; // goes before the session
    auto *splash = new frmSplash(session, windows);
    splash->Form_Load();
    splash->show();
    const int rc = QApplication::exec();
    return rc;
}
