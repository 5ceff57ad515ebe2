#include "app/frmsplash.h"
#include "link/link.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qr5300m"));
    QApplication::setQuitOnLastWindowClosed(false); // only the exit path ends the program

    Link link;
    Windows windows;
    auto *splash = new frmSplash(windows);
    splash->Form_Load();
    splash->show();
    const int rc = QApplication::exec();
    return rc;
}
