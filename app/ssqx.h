// The main window: link settings, live read-outs, status panel, trend chart
// and the function buttons.
#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>
#include <cstdint>

class Met1;
class mscom;

class ssqx : public QWidget {
    Q_OBJECT
public:
    explicit ssqx(QWidget *parent = nullptr);
    ~ssqx() override;

    // The hidden windows this window talks to (set once at start-up).
    void Attach(Met1 *met1, mscom *logger);

    void Form_Load();
    void Show_Live();

    // Handlers.
    void Command1_Click();  // exit
    void Command9_Click();  // open the link
    void Command10_Click(); // close the link
    void Command21_Click(); // configuration window
    void Timer1_Timer();    // 200 ms live refresh
    void Timer3_Timer();    // 1 s date, time and health texts
    bool Form_KeyDown(int key);

    // Controls.
    QGroupBox *Frame6, *Frame5[2], *Frame2_1, *Frame4, *Frame9, *Frame3, *Frame11;
    QLabel *Label1;
    QComboBox *Combo1, *Combo2;
    QRadioButton *Option1[3], *Option2[3];
    QPushButton *Command9, *Command10, *Command21, *Command1, *Command23;
    QPushButton *Command29, *Command8, *Command7, *Command6, *Command5, *Command2, *Command3, *Command4;
    QLabel *D_3W[5];
    QLabel *D_3W_Caption[5];
    QLabel *D_2R[12];
    QLabel *Label2_9, *Label2_10;
    QLabel *Label19, *Label20;
    QLabel *Port_Dev;   // which serial device the chosen port number names
    QLabel *Link_State; // communication health
    QLabel *Log_State;  // logging health
    QWidget *Chart_Area;

    QTimer Timer1, Timer3;

    int16_t Unload_Ok = 0;
    bool Exit_Requested = false; // set by the exit path (tests watch it)

signals:
    void Config_Requested();

protected:
    void closeEvent(QCloseEvent *e) override;
    bool eventFilter(QObject *obj, QEvent *e) override;

private:
    void buildUi();
    void updatePortDevice();
    void refreshStateTexts();

    Met1 *m_met1 = nullptr;
    mscom *m_mscom = nullptr;
    QString m_openError;
};
