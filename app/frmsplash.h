// The start-up splash: shows for about 1.5 s, then brings up the main window
// and says so. It does not start the session's cycles: whoever made the
// session starts them when the splash has handed over (main()).
#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>

class InstrumentSession;
class ssqx;

// The main window the splash brings up; it lives as long as the program and
// goes before the session it was given.
struct Windows {
    std::unique_ptr<ssqx> main;
    Windows();
    ~Windows();
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
