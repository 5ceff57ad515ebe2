#include "app/frmsplash.h"

#include "app/instrument_list.h"
#include "app/plant.h"
#include "app/session.h"
#include "app/ssqx.h"
#include "config/config1.h"

#include <QCoreApplication>
#include <QScreen>
#include <algorithm>

Windows::Windows() = default;

// The plant outlives the windows: it no longer reaches them.
Windows::~Windows()
{
    QObject::disconnect(m_following);
    QObject::disconnect(m_naming);
}

void Windows::showMain(InstrumentSession &session)
{
    if (main && m_shown == &session)
        return;
    QByteArray where;
    if (main) {
        where = main->saveGeometry();
        main->hide();
        main.reset(); // its history, diagnostics and print windows go with it
    }
    m_shown = &session;
    main = std::make_unique<ssqx>(session);
    main->Form_Load();
    if (m_alarms)
        main->showAlarms(*m_alarms);
    if (m_plant && &session.line != &m_plant->first().line)
        main->setLinkControlsEnabled(false); // the plant opens that line
    main->show();
    if (!where.isEmpty())
        main->restoreGeometry(where);
    wireMain(session);
    nameMain();
}

// With several instruments the title says whose the window is.
void Windows::nameMain()
{
    if (!main || !m_plant)
        return;
    if (m_title.isEmpty())
        m_title = main->windowTitle();
    QString title = m_title;
    if (const int i = m_plant->current(); m_plant->count() > 1) {
        title += QCoreApplication::translate("Windows", " — 线路 %1 站 %2")
                     .arg(m_plant->lineAddress(m_plant->lineOf(i)))
                     .arg(m_plant->station(i));
        if (!m_plant->name(i).isEmpty())
            title += QStringLiteral(" ") + m_plant->name(i);
    }
    main->setWindowTitle(title);
}

void Windows::wireMain(InstrumentSession &session)
{
    // "CONFIG": the main window hides while the configuration window is up;
    // that window unloads itself and brings the main window back. The list
    // hides as well, so that the instrument configured stays the one shown.
    ssqx *mainWin = main.get();
    InstrumentSession *s = &session;
    QObject::connect(mainWin, &ssqx::configRequested, mainWin, [this, mainWin, s] {
        mainWin->hide();
        const bool listShown = list && list->isVisible();
        if (listShown)
            list->hide();
        // Deletes itself when it closes.
        auto *config = new CONFIG1(s->params);
        QObject::connect(config, &CONFIG1::returnMain, mainWin, &ssqx::configClosed);
        if (listShown)
            QObject::connect(config, &CONFIG1::returnMain, mainWin, [this] { list->show(); });
        config->Form_Load();
        config->show();
    });
    QObject::connect(mainWin, &ssqx::instrumentListRequested, mainWin, [this] { showList(); });
}

void Windows::follow(Plant &plant)
{
    m_plant = &plant;
    QObject::disconnect(m_following);
    QObject::disconnect(m_naming);
    m_following = QObject::connect(&plant, &Plant::currentChanged, &plant,
                                   [this] { showMain(m_plant->instrument(m_plant->current())); });
    m_naming = QObject::connect(&plant, &Plant::listChanged, &plant, [this] { nameMain(); });
    showMain(plant.instrument(plant.current()));
    if (plant.count() > 1)
        showList();
}

// Beside the main window, on its screen.
void Windows::showList()
{
    if (!m_plant)
        return;
    if (!list) {
        list = std::make_unique<InstrumentListWindow>(*m_plant);
        if (main) {
            const QRect room = main->screen() ? main->screen()->availableGeometry() : QRect();
            const QRect beside = main->frameGeometry();
            const int x = std::min(beside.right() + 1, room.right() - list->width());
            list->move(std::max(room.left(), x), beside.top());
        }
    }
    list->show();
    list->raise();
    list->activateWindow();
}
