// The start-up splash: shows for about 1.5 s, then brings up the working
// windows (main window shown; acquisition and logging windows hidden).
#pragma once

#include "config/parammap.h"
#include "config/write_journal.h"

#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>

class ssqx;
class Met1;
class mscom;

// The working windows; they live as long as the program.
struct Windows {
    std::unique_ptr<ssqx> main;
    std::unique_ptr<Met1> met1;
    std::unique_ptr<mscom> logger;
    Write_Journal journal; // the configuration window's write problems
    Read_Back readBack;    // the configuration window's read-back buffer
    Windows();
    ~Windows();
};

class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(Windows &windows, QWidget *parent = nullptr);

    void Form_Load();
    void Timer2_Timer();
    void Timer1_Timer();

    QLabel *Label1;
    QTimer Timer1, Timer2;
    int16_t Tick = 0;

protected:
    void keyPressEvent(QKeyEvent *e) override;

private:
    Windows &m_windows;
};
