// The link diagnostics window: the link's counters in plain words (requests,
// answers, time-outs, CRC errors, exception replies by code, round-trip
// times) and a monitor of the last 500 frames in hex with direction and time
// stamp, which can be paused, cleared and saved to a text file. It only
// observes the link (Link::exchanged); closing it changes nothing.
#pragma once

#include <QDialog>
#include <QTimer>

class Link;
class QLabel;
class QPlainTextEdit;
class QPushButton;
struct LinkFrame;

// One line of the frame monitor: "14:03:07.125 发 01 04 00 00 00 10 F1 C6".
QString linkFrameLine(const LinkFrame &frame);

class LinkDiagnosticsWindow : public QDialog {
    Q_OBJECT
public:
    explicit LinkDiagnosticsWindow(Link &link, QWidget *parent = nullptr);

    // The counters as shown, one "caption：value" a line.
    QString countersText() const;
    // The frames shown in the monitor, one a line, oldest first.
    QString monitorText() const;
    // Writes the counters and the frames shown to path; false when it cannot.
    bool saveTo(const QString &path) const;
    bool paused() const;
    // Brings the counters and (unless paused) the monitor up to date.
    void refresh();

private:
    void save();
    void clear();

    Link &m_link;
    QLabel *m_counters = nullptr;
    QPlainTextEdit *m_monitor = nullptr;
    QPushButton *m_pause = nullptr;
    QLabel *m_saveState = nullptr;
    QTimer m_refreshTimer; // coalesces the link's exchanges into a few refreshes a second
    qint64 m_framesShown = 0; // FrameRing::appended() as of the monitor's last line
};
