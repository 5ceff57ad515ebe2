// The main window: link settings, live read-outs, status panel, trend chart
// and the function buttons.
#pragma once

#include "app/fit_label.h"
#include "chart/chart_draw.h"
#include "chart/chart_view.h"
#include "core/chart_model.h"
#include "logging/log_db.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

class InstrumentSession;

class ssqx : public QWidget {
    Q_OBJECT
public:
    // The window reads and writes the session's link settings, live tables
    // and Y range, drives its acquisition and shows its logging's health and
    // the configuration window's newest write problem, which stays on the
    // status line after that window has closed. The session outlives it.
    explicit ssqx(InstrumentSession &session, QWidget *parent = nullptr);
    ~ssqx() override;

    // The configuration window closed: the main window comes back.
    void Config_Closed();
    // True while the chart appends live samples: not paging, ruler off.
    bool Chart_Live() const { return Cht.Page_Back == 0 && Cht.Ruler_On == 0; }
    // A record was logged since the chart last took one: several logged
    // while the chart is not live become one append.
    bool Sample_Pending() const { return m_samplePending; }

    void Form_Load();
    void Show_Live();

    // Chart procedures.
    void Apply_Zoom();
    void Redraw_Chart();   // erase pt, Draw_Grid, Apply_Zoom, Draw_Curves
    void Draw_Grid();
    void Draw_Curves();    // also writes the time labels Label4 / Label7
    // Fills the buffer, captions Label2(9) / (10). A failed read is shown on
    // the logging status line until a read succeeds; idOk = false: reading
    // the newest id just failed, and that failure stays shown.
    void Load_History(bool idOk = true);
    void Append_Sample();  // one logged record arrived (live mode)
    void Reload_Live();    // newest kLiveLoad records, redrawn
    void Set_Y_Labels();   // Label5(0..6) from the Y range's span and minimum

    // Handlers.
    void Command1_Click();  // exit
    void Command2_Click();  // F3 print: no action
    void Command3_Click();  // F2 zoom in
    void Command4_Click();  // F1 zoom out
    void Command5_Click();  // F4 ruler on / off
    void Command6_Click();  // F5 select: no action
    void Command7_Click();  // F6 page forward, toward live
    void Command8_Click();  // F7 page back into history
    void Command9_Click();  // open the link
    void Command10_Click(); // close the link
    void Command21_Click(); // configuration window
    void Command26_Click(); // apply the Y range
    void Label5_DblClick(int index);
    void hc_Change(int value);
    void Timer1_Timer();    // 200 ms live refresh
    void Timer2_Timer();    // 1 s chart repaint
    void Timer3_Timer();    // 1 s date and time
    // autoRepeat: the key is held and the keyboard repeats it.
    bool Form_KeyDown(int key, bool autoRepeat = false);

    // Controls.
    QGroupBox *Frame6, *Frame5[2], *Frame2_1, *Frame4, *Frame9, *Frame3, *Frame11;
    QLabel *Label1;
    QComboBox *Combo1, *Combo2;
    QRadioButton *Option1[3], *Option2[3];
    QPushButton *Command9, *Command10, *Command21, *Command1, *Command23;
    QPushButton *Command29, *Command8, *Command7, *Command6, *Command5, *Command2, *Command3, *Command4;
    Fit_Label *D_3W[5];
    QLabel *D_3W_Caption[5];
    QLabel *D_2R[12];
    Fit_Label *Label2_9, *Label2_10;
    QLabel *Label19, *Label20;
    Fit_Label *Port_Dev;    // which serial device the chosen port number names
    Fit_Label *Link_State;  // communication health
    Fit_Label *Log_State;   // logging health
    Fit_Label *Write_State; // a parameter write that failed or was refused
    QWidget *Chart_Area;

    // Chart area.
    Pt0_Box *pt0;
    Pt_Box *pt;
    QSlider *hc;
    Fit_Label *Label5[7]; // Y-range axis, 0 at the bottom
    QLabel *Label6[7]; // fixed axis of CH2, "-10" .. "110"
    Fit_Label *Label4[9]; // time of day under x = 1500 i
    Fit_Label *Label7[9]; // date under x = 1500 i
    QLabel *Label8[3]; // legend
    // Y-range editor.
    QLabel *Label9, *Label10;
    Fit_Label *Y_Msg;
    QLineEdit *YKD, *YKD1;
    QPushButton *Command26;

    QTimer Timer1, Timer2, Timer3;

    // The chart buffer and state, and the window's own database connection.
    Chart Cht;
    Db_Conn Main_Conn;

    int16_t Unload_Ok = 0;
    // Monotonic milliseconds; tests replace it.
    std::function<qint64()> Mono_Ms;

signals:
    void Config_Requested();
    // The exit path runs: the window closes and the program ends.
    void Exit_Asked();

protected:
    void closeEvent(QCloseEvent *e) override;
    bool eventFilter(QObject *obj, QEvent *e) override;
    void showEvent(QShowEvent *e) override;

private:
    void buildUi();
    void buildChartArea();
    void updatePortDevice();
    void refreshStateTexts();
    void Set_Window_End(int32_t n);
    void Set_Slider_Step();
    void Place_Chart(bool redraw = true);
    void Fit_Screen();
    void Restore_Colours();
    void Show_Slot_Time(int s);
    void Show_Ruler_Readout(int v);
    void Show_Write_Problem();
    void History_Failed();
    bool Esc_Held_Over(bool autoRepeat) const;

    void Note_Sample() { m_samplePending = true; }

    InstrumentSession &m_session;
    bool m_samplePending = false;
    QString m_openError;
    QString m_historyError; // the window's last failed database read, until one succeeds
    uint32_t m_linkSeq = 0; // counts "打开" and "关闭" presses
    Chart_Labels m_labels;
    std::optional<qint64> m_backMono; // Mono_Ms() when CONFIG gave the window back
    QDateTime m_backAt;               // the clock then; invalid while CONFIG is up
    bool m_fitted = false;            // sized to its screen at the first show
};
