// One instrument (a station on a line) and everything the windows share
// about it: its acquisition, logging, journal, configuration access and
// publishing. Alone it has a line of its own (the program's first start, one
// instrument on one port); several instruments on one line share it, each
// polling its own station. Lent by reference to the windows; tests build one
// for each window they load.
#pragma once

#include "chart/chart_controller.h"
#include "chart/yrange.h"
#include "config/alarm_watch.h"
#include "config/param_access.h"
#include "config/write_journal.h"
#include "core/clock.h"
#include "core/live_data.h"
#include "core/parammap.h"
#include "link/link.h"
#include "link/line.h"
#include "link/link_control.h"
#include "link/met1.h"
#include "logging/mscom.h"
#include "mqtt/alarm_json.h"
#include "mqtt/mqtt_publisher.h"

#include <memory>
#include <optional>

class InstrumentSession {
    // Declared first, gone last: the line of an instrument alone on it, and
    // the settings of one sharing a line (its own station, the line's port).
    std::unique_ptr<Line> m_ownLine;
    LinkSettings m_stationSettings;

public:
    // An instrument alone on a line of its own.
    InstrumentSession()
        : m_ownLine(std::make_unique<Line>()), line(*m_ownLine), link(line.link), settings(line.settings),
          linkControl(line.control)
    {
        join();
    }
    // Station `station` on line, which outlives the session.
    InstrumentSession(Line &shared, int32_t station)
        : line(shared), link(shared.link), settings(m_stationSettings), linkControl(shared.control)
    {
        m_stationSettings.Link_Par[3] = station;
        join();
    }
    ~InstrumentSession() { linkControl.removeStation(met1); }
    InstrumentSession(const InstrumentSession &) = delete;
    InstrumentSession &operator=(const InstrumentSession &) = delete;

    Line &line;            // the line the instrument is on
    Link &link;            // every Modbus exchange of that line
    LinkSettings &settings; // port, baud, parity as last opened, and the instrument's station
    Clock clock;                  // the time everything goes by (tests set it)
    LiveTables live;             // the acquisition's latest values and status flags
    ReadBack readBack;           // the configuration window's read-back buffer
    WriteJournal journal{clock}; // the configuration window's write problems
    // The configuration registers' read-back cycle and writes, which the
    // configuration window starts and shows.
    ParamAccess params{link, settings, readBack, &journal};
    // Y range of the trend chart (engineering units over the 7500-twip grid).
    YRange yRange{0, 0, 1500};
    LogTimes logTimes;      // newest logged record times of this run
    DbFiles dbFiles{clock}; // the log database connections of this run
    // Publishes every acquisition to an MQTT broker once configured; goes
    // after the cycles, with "false" on its online topic.
    MqttPublisher mqtt;

    // The two cycles (no windows); the logger is declared last so that it goes
    // first: it must not write while the rest closes.
    Met1 met1{link, settings, live, clock};
    // Opens and closes the line, starting and stopping the acquisition of
    // every instrument on it.
    LinkControl &linkControl;
    // The station's alarms, judged after every poll; each change journaled
    // (what the flag and link events do not tell already) and published.
    AlarmWatch alarms{live, met1, settings, clock};
    mscom logger{live, logTimes, dbFiles};

    // The station polled.
    int32_t station() const { return settings.Link_Par[3]; }

private:
    // Polled while the line is open; every parameter write's outcome and
    // every change of the station between answering and not go into the
    // logger's journal.
    void join()
    {
        linkControl.addStation(met1, settings);
        QObject::connect(&journal, &WriteJournal::paramEvent, &logger, &mscom::paramEvent);
        QObject::connect(&met1, &Met1::healthChanged, &logger, [this](const LinkState &state) {
            if (const auto kind = linkEventOf(m_health, state.health))
                logger.linkChanged(*kind, clock.now());
            m_health = state.health;
            if (state.health == LinkHealth::Closed)
                publishState();
        });
        QObject::connect(&met1, &Met1::tickDone, &mqtt, [this] { publishState(); });
        QObject::connect(&alarms, &AlarmWatch::changed, &logger, [this](const AlarmChange &c) {
            if (const auto e = alarmJournalEvent(c))
                logger.alarmEvent(*e);
            if (mqtt.settings().enabled)
                mqtt.publishAlarm(station(), alarmJson(c));
        });
        QObject::connect(&alarms, &AlarmWatch::listChanged, &mqtt, [this] {
            if (mqtt.settings().enabled)
                mqtt.publishAlarmList(station(), alarmListJson(clock.now(), alarms.listed()));
        });
    }

public:
    // Starts the session's own cycles: the logging runs from now on; the
    // acquisition waits until the link is opened (its timer starts with the
    // open). Once per session.
    void start()
    {
        if (m_started)
            return;
        m_started = true;
        logger.Form_Load();
    }

    // Records logged from now on reach chart's live tick, until stopFeeding.
    void feedChart(ChartController &chart)
    {
        QObject::connect(&logger, &mscom::sampleLogged, &chart, &ChartController::noteSample, Qt::UniqueConnection);
    }
    void stopFeeding(ChartController &chart)
    {
        QObject::disconnect(&logger, &mscom::sampleLogged, &chart, &ChartController::noteSample);
    }
    // One live tick of chart on the newest values at the session's time; held
    // while the logging does not count the link as fresh. True when it
    // appended a record.
    bool tickChart(ChartController &chart)
    {
        return chart.liveTick(live.Val_3X, clock.now(), !logger.linkFresh());
    }

    // The journal's link event for a change of health, if it is one: polling
    // started (opened) or stopped (closed); answers stopped coming after the
    // link was opened or up (interrupted), or came again (restored).
    static std::optional<EventKind> linkEventOf(LinkHealth before, LinkHealth after)
    {
        const auto down = [](LinkHealth h) { return h == LinkHealth::Interrupted || h == LinkHealth::Stalled; };
        if (before == after)
            return std::nullopt;
        if (after == LinkHealth::Closed)
            return EventKind::LinkClosed;
        if (before == LinkHealth::Closed)
            return EventKind::LinkOpened;
        if (down(after) && !down(before))
            return EventKind::LinkInterrupted;
        if (after == LinkHealth::Ok && down(before))
            return EventKind::LinkRestored;
        return std::nullopt;
    }

    // The link as the published messages name it.
    static MqttLink mqttLinkOf(LinkHealth health)
    {
        switch (health) {
        case LinkHealth::Closed:
            return MqttLink::Closed;
        case LinkHealth::Interrupted:
        case LinkHealth::Stalled:
            return MqttLink::Interrupted;
        case LinkHealth::Ok:
        case LinkHealth::WaitingFirst:
            break;
        }
        return MqttLink::Ok;
    }

private:
    // Each acquisition, and the link closing, as one message for the station
    // polled.
    void publishState()
    {
        if (mqtt.settings().enabled)
            mqtt.publishState(settings.Link_Par[3], stateJson(clock.now(), live, mqttLinkOf(met1.linkState().health)));
    }

    LinkHealth m_health = LinkHealth::Closed; // as last told by the acquisition
    bool m_started = false;
};
