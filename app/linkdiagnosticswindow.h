// The link diagnostics window: the link's counters in plain words (requests,
// answers, time-outs, CRC errors, exception replies by code, round-trip
// times), for the whole line or for one station chosen, and a monitor of the
// last 500 frames in hex with time stamp, station and direction, which can be
// paused, cleared and saved to a text file. It only observes the link
// (Link::exchanged); closing it changes nothing.
#pragma once

#include <QDialog>
#include <QTimer>

class Link;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QPlainTextEdit;
class QPushButton;
struct LinkFrame;

// One line of the frame monitor: "14:03:07.125 站  1 发 01 04 00 00 00 10 F1 C6".
QString linkFrameLine(const LinkFrame &frame);

class LinkDiagnosticsWindow : public QDialog {
    Q_OBJECT
public:
    explicit LinkDiagnosticsWindow(Link &link, QWidget *parent = nullptr);

    // The counters as shown (the line's, or the chosen station's), one
    // "caption：value" a line.
    QString countersText() const;
    // The station whose counters are shown, -1 for the whole line.
    int shownStation() const;
    // The frames shown in the monitor, one a line, oldest first.
    QString monitorText() const;
    // Writes the line's counters, each station's when there are several, and
    // the frames shown to path; false when it cannot.
    bool saveTo(const QString &path) const;
    bool paused() const;
    // Brings the counters and (unless paused) the monitor up to date.
    void refresh();

private:
    QHBoxLayout *makeStationRow();
    QHBoxLayout *makeButtonRow();
    void save();
    void clear();
    void updateStations();
    QString countersText(int station) const;

    Link &m_link;
    QComboBox *m_station = nullptr;
    QLabel *m_counters = nullptr;
    QPlainTextEdit *m_monitor = nullptr;
    QPushButton *m_pause = nullptr;
    QLabel *m_saveState = nullptr;
    QTimer m_refreshTimer; // coalesces the link's exchanges into a few refreshes a second
    qint64 m_framesShown = 0; // FrameRing::appended() as of the monitor's last line
};
