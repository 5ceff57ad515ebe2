// The start-up splash: shows for about 1.5 s, then brings up the main window
// and says so. It does not start the session's cycles: whoever made the
// session starts them when the splash has handed over (main()).
#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>

class AlarmDesk;
class InstrumentListWindow;
class InstrumentSession;
class Plant;
class ssqx;

// The main window the splash brings up, and the instrument list; they live
// as long as the program and go before the sessions they show.
class Windows {
public:
    Windows();
    ~Windows();
    Windows(const Windows &) = delete;
    Windows &operator=(const Windows &) = delete;

    // The main window of session, made in place of the one of another
    // instrument (where it stood, the windows it opened closed with it).
    void showMain(InstrumentSession &session);
    // The main window follows plant's current instrument; Ctrl+I in it
    // brings up the instrument list, which opens beside it at once when
    // there are several instruments.
    void follow(Plant &plant);
    void showList();
    // Every main window made from now on shows desk's unacknowledged count
    // and opens its alarm list; desk outlives the windows.
    void setAlarmDesk(AlarmDesk &desk) { m_alarms = &desk; }

    std::unique_ptr<ssqx> main;
    std::unique_ptr<InstrumentListWindow> list; // made when first shown

private:
    void wireMain(InstrumentSession &session);
    void nameMain();

    Plant *m_plant = nullptr;
    AlarmDesk *m_alarms = nullptr;
    InstrumentSession *m_shown = nullptr; // whose the main window is
    QMetaObject::Connection m_following, m_naming;
    QString m_title; // the main window's own
};

class frmSplash : public QWidget {
    Q_OBJECT
public:
    frmSplash(InstrumentSession &session, Windows &windows, QWidget *parent = nullptr);

    void Form_Load();
    void Timer2_Timer();
    void Timer1_Timer();

    QLabel *Label1;
    QTimer Timer1, Timer2;
    int16_t Tick = 0;

signals:
    // The main window is up: the working part of the program begins.
    void handedOver();

protected:
    void keyPressEvent(QKeyEvent *e) override;

private:
    InstrumentSession &m_session;
    Windows &m_windows;
};
