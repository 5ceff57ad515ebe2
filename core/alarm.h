// Alarms of one station as plain data: the book of its alarms with their
// states, and the limits of our own on a channel's value. No timers and no
// windows: every step is handed the time it happens at (the session's clock).
//
// An alarm is active or cleared, unacknowledged or acknowledged. It is listed
// while active or unacknowledged: one that clears unacknowledged stays until
// acknowledged, one acknowledged leaves the list when it clears. Raising it
// again makes it unacknowledged again. An alarm that toggles (raised or
// cleared) more than kChatterToggles times within kChatterWindow is
// chattering: that change is notified once, and its further raises are not,
// until it calms down (no more than kChatterToggles toggles in the window).
#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>
#include <vector>

// What raised an alarm. The first three are the instrument's own flags in
// the order of a channel's status bits; the codes are stored in the journal.
enum class AlarmKind { Flag = 0, Open = 1, Short = 2, LinkDown = 3, HighHigh = 4, High = 5, Low = 6, LowLow = 7 };
inline constexpr int kAlarmKinds = 8;
// Their names, as the journal's export stores them; shown through
// QCoreApplication::translate("AlarmKind", ...).
inline constexpr const char *kAlarmKindNames[kAlarmKinds] = {
    QT_TRANSLATE_NOOP("AlarmKind", "报警"),     QT_TRANSLATE_NOOP("AlarmKind", "开路"),
    QT_TRANSLATE_NOOP("AlarmKind", "短路"),     QT_TRANSLATE_NOOP("AlarmKind", "通讯中断"),
    QT_TRANSLATE_NOOP("AlarmKind", "高高限"),   QT_TRANSLATE_NOOP("AlarmKind", "高限"),
    QT_TRANSLATE_NOOP("AlarmKind", "低限"),     QT_TRANSLATE_NOOP("AlarmKind", "低低限")};
// Names in published messages (never translated).
inline constexpr const char *kAlarmKindKeys[kAlarmKinds] = {"alarm", "open", "short", "link", "hh", "h", "l", "ll"};

// 1 comes first: open and short circuit; 2 high-high and low-low; 3 the rest.
int alarmPriority(AlarmKind kind);

// Which alarm: channel 1..4, 0 for the station's link.
struct AlarmKey {
    int channel = 0;
    AlarmKind kind = AlarmKind::Flag;
    friend bool operator==(const AlarmKey &, const AlarmKey &) = default;
};

struct Alarm {
    AlarmKey key;
    int priority = 3;
    bool active = false;
    bool acknowledged = true;
    bool chattering = false;
    QDateTime raisedAt; // the last raise
    double value = 0;   // the channel's value at that raise
    std::vector<QDateTime> toggles; // within the last kChatterWindow
    bool listed() const { return active || !acknowledged; }
};

enum class AlarmEvent { Raised, Cleared, Acknowledged };

// One change of an alarm as told to the journal, the messages and the windows.
struct AlarmChange {
    QDateTime time;
    int station = 0;
    AlarmKey key;
    int priority = 3;
    AlarmEvent event = AlarmEvent::Raised;
    bool active = false, acknowledged = false, chattering = false;
    double value = 0;
    bool notify = false;  // a new alarm to tell the operator of (not a chattering one's repeat)
    QString operatorName; // acknowledgements: who
    QString comment;      // acknowledgements: why, may be empty
};

class AlarmBook {
public:
    static constexpr int kChatterToggles = 5;
    static constexpr int kChatterWindowSecs = 60;

    explicit AlarmBook(int station = 0) : m_station(station) {}
    void setStation(int station) { m_station = station; }

    // The alarm key is (or is not) in alarm at time `now` with the channel at
    // value; the change it makes, if any.
    std::optional<AlarmChange> set(const AlarmKey &key, bool active, double value, const QDateTime &now);
    // Acknowledges the unacknowledged alarms among keys (every one without
    // keys); a change for each.
    std::vector<AlarmChange> acknowledge(const std::optional<std::vector<AlarmKey>> &keys, const QString &operatorName,
                                         const QString &comment, const QDateTime &now);

    // Alarms active or unacknowledged, by priority then by time raised.
    std::vector<Alarm> listed() const;
    int unacknowledged() const;
    bool isActive(const AlarmKey &key) const;

private:
    Alarm &find(const AlarmKey &key);
    AlarmChange changeOf(const Alarm &a, AlarmEvent event, const QDateTime &now) const;
    int m_station;
    std::vector<Alarm> m_alarms;
};

// Limits of our own on one channel's value, each optional: an alarm is
// raised once the value has been at or beyond its limit for onDelaySecs, and
// cleared once it is back inside by more than deadBand.
struct ChannelLimits {
    std::optional<double> highHigh, high, low, lowLow;
    double deadBand = 0;
    int onDelaySecs = 0;
    friend bool operator==(const ChannelLimits &, const ChannelLimits &) = default;
};

class LimitCheck {
public:
    // Whether each of HighHigh, High, Low, LowLow (in that order) is in alarm
    // with value at now.
    std::array<bool, 4> step(const ChannelLimits &limits, double value, const QDateTime &now);

private:
    std::array<bool, 4> m_active{};
    std::array<QDateTime, 4> m_beyondSince{};
};
inline constexpr AlarmKind kLimitKinds[4] = {AlarmKind::HighHigh, AlarmKind::High, AlarmKind::Low, AlarmKind::LowLow};
