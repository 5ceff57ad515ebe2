// The main window: it composes the link panel, the read-outs and status
// panel, the chart panel and the status lines with the function buttons and
// the exit and CONFIG buttons, and answers the function keys. Its layout is
// in ssqx_layout.cpp, its keys in ssqx_keys.cpp. The chart's buffer and live
// tick belong to its ChartController, which the session feeds.
#pragma once

#include "core/chart_model.h"
#include "logging/log_db.h"
#include "mqtt/mqtt_state.h"

#include <QDateTime>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

class AlarmDesk;
class AlarmWindow;
class ChartController;
class ChartPanel;
class HistoryWindow;
struct ChartPrintHeader;
class InstrumentSession;
class LinkPanel;
struct LinkOpenResult;
class QGridLayout;
class QGroupBox;
class QPushButton;
class QShortcut;
class QTimer;
class ReadoutPanel;
class StatusPanel;

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
    void configClosed();
    // The link panel's choices, 打开 and 关闭 act on the first line only; an
    // instrument on a line opened elsewhere shows its health alone.
    void setLinkControlsEnabled(bool enabled);
    // The chart's buffer and state.
    const Chart &chart() const;
    // True while the chart appends live samples: not paging, ruler off.
    bool chartLive() const;
    // A record was logged since the chart last took one: several logged
    // while the chart is not live become one append.
    bool samplePending() const;

    void Form_Load();
    void Show_Live();

    // Chart procedures.
    // Fills the buffer, captions Label2(9) / (10). A failed read is shown on
    // the logging status line until a read succeeds; idOk = false: reading
    // the newest id just failed, and that failure stays shown.
    void Load_History(bool idOk = true);
    void Redraw_Chart();   // erase pt, Draw_Grid, Apply_Zoom, Draw_Curves
    void Reload_Live();    // newest kLiveLoad records, redrawn
    void setYLabels();   // Label5(0..6) from the Y range's span and minimum

    // Handlers.
    void Command1_Click();  // exit
    void Command2_Click();  // F3 print the chart (print dialog)
    void Command3_Click();  // F2 zoom in
    void Command4_Click();  // F1 zoom out
    void Command5_Click();  // F4 ruler on / off
    void Command6_Click();  // F5 select: the history window
    void Command29_Click(); // the history window
    void Command7_Click();  // F6 page forward, toward live
    void Command8_Click();  // F7 page back into history
    void Command9_Click();  // open the link
    void Command10_Click(); // close the link
    void Command21_Click(); // configuration window
    void Command26_Click(); // apply the Y range
    void Label5_DblClick(int index);
    void hc_Change(int value);
    void Timer1_Timer();    // 200 ms live refresh and the chart's live tick
    void Timer2_Timer();    // 1 s chart repaint
    void Timer3_Timer();    // 1 s date and time
    // True when the key ran (or was taken by) a function; autoRepeat: the
    // key is held and the keyboard repeats it.
    bool Form_KeyDown(int key, bool autoRepeat = false);

    // The window's own database connection.
    DbConn Main_Conn;
    // Monotonic milliseconds; tests replace it.
    std::function<qint64()> monoMs;

    // The count of unacknowledged alarms of desk (which outlives the window)
    // in the status lines; it and F9 open the alarm list (app/ssqx_alarms.cpp).
    void showAlarms(AlarmDesk &desk);

    // The F3 page written straight to a PDF file (no dialog).
    bool writeChartPdf(const QString &path, QString *error = nullptr) const;

signals:
    void configRequested();
    // The exit path runs: the window closes and the program ends.
    void exitAsked();
    // Ctrl+I: the operator asks for the instrument list.
    void instrumentListRequested();

protected:
    void closeEvent(QCloseEvent *e) override;
    bool eventFilter(QObject *obj, QEvent *e) override;
    void showEvent(QShowEvent *e) override;

private:
    ChartPrintHeader printHeader() const;
    void openMqttSettings();
    // The publisher's state on the MQTT button: its tooltip says how it
    // stands, and its text turns red while it cannot publish.
    void showMqttState(const MqttState &state);
    void buildLanguageMenu();
    void buildUi();
    void buildFunctionButtons(QGridLayout *root);
    void buildBottomRow(QGridLayout *root);
    void buildKeys();
    void buildTimers();
    void connectHandlers();
    void syncChartControls();
    void refreshStateTexts();
    void linkOpened(const LinkOpenResult &result);
    void fitScreen();
    void restoreColours();
    void showRulerReadout(int v);
    void showWriteProblem();
    void historyLoaded(bool ok);
    void historyFailed();
    bool escHeldOver(bool autoRepeat) const;

    InstrumentSession &m_session;
    ChartController *m_chart = nullptr;
    LinkPanel *m_linkPanel = nullptr;
    ReadoutPanel *m_readouts = nullptr;
    StatusPanel *m_status = nullptr;
    ChartPanel *m_chartPanel = nullptr;
    HistoryWindow *m_history = nullptr; // made at its first opening
    QPushButton *m_alarmCount = nullptr; // unacknowledged alarms, once showAlarms is called
    AlarmWindow *m_alarms = nullptr;     // made at its first opening

    // Controls of the window itself.
    QGroupBox *Frame3 = nullptr, *Frame11 = nullptr;
    QPushButton *Command1 = nullptr, *Command21 = nullptr, *Command23 = nullptr;
    QPushButton *Command29 = nullptr, *Command8 = nullptr, *Command7 = nullptr, *Command6 = nullptr;
    QPushButton *mqttButton = nullptr; // the MQTT publishing settings
    QPushButton *Command5 = nullptr, *Command2 = nullptr, *Command3 = nullptr, *Command4 = nullptr;
    QTimer *Timer1 = nullptr, *Timer2 = nullptr, *Timer3 = nullptr;
    // F2, F1, F6, F7: enabled while their guard holds, so that a refused key
    // reaches the control with the focus.
    QShortcut *m_keyZoomIn = nullptr, *m_keyZoomOut = nullptr;
    QShortcut *m_keyPageForward = nullptr, *m_keyPageBack = nullptr;

    int16_t Unload_Ok = 0; // -1: the window refuses to close
    QString m_openError;
    QString m_historyError; // the window's last failed database read, until one succeeds
    std::optional<qint64> m_backMono; // monoMs() when CONFIG gave the window back
    QDateTime m_backAt;               // the clock then; invalid while CONFIG is up
    bool m_fitted = false;            // sized to its screen at the first show
};
