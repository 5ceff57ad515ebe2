// One run of the program with its instrument: the link and everything the
// windows share. Built once in main() and lent by reference to the windows;
// tests build one for each window they load.
#pragma once

#include "chart/yrange.h"
#include "config/write_journal.h"
#include "core/clock.h"
#include "core/live_data.h"
#include "core/parammap.h"
#include "link/link.h"
#include "link/met1.h"
#include "logging/mscom.h"
#include "mqtt/mqtt_publisher.h"

#include <optional>

class InstrumentSession {
public:
    // Every parameter write's outcome and every change of the link between
    // up and down go into the logger's journal.
    InstrumentSession()
    {
        QObject::connect(&journal, &Write_Journal::paramEvent, &logger, &mscom::paramEvent);
        QObject::connect(&met1, &Met1::healthChanged, &logger, [this](const LinkState &state) {
            if (const auto kind = linkEventOf(m_health, state.health))
                logger.linkChanged(*kind, clock.Now());
            m_health = state.health;
            if (state.health == Link_Health::Closed)
                publishState();
        });
        QObject::connect(&met1, &Met1::Tick_Done, &mqtt, [this] { publishState(); });
    }
    InstrumentSession(const InstrumentSession &) = delete;
    InstrumentSession &operator=(const InstrumentSession &) = delete;

    Clock clock;                  // the time everything goes by (tests set it)
    Link link;                    // every Modbus exchange of the run
    Link_Settings settings;       // port, baud, parity and station as last opened
    Live_Tables live;             // the acquisition's latest values and status flags
    Read_Back readBack;           // the configuration window's read-back buffer
    Write_Journal journal{clock}; // the configuration window's write problems
    // Y range of the trend chart (engineering units over the 7500-twip grid).
    Y_Range yRange{0, 0, 1500};
    Log_Times logTimes;      // newest logged record times of this run
    Db_Files dbFiles{clock}; // the log database connections of this run
    // Publishes every acquisition to an MQTT broker once configured; goes
    // after the cycles, with "false" on its online topic.
    MqttPublisher mqtt;

    // The two cycles (no windows); the logger is declared last so that it goes
    // first: it must not write while the rest closes.
    Met1 met1{link, settings, live, clock};
    mscom logger{live, logTimes, dbFiles};

    // The journal's link event for a change of health, if it is one: polling
    // started (opened) or stopped (closed); answers stopped coming after the
    // link was opened or up (interrupted), or came again (restored).
    static std::optional<EventKind> linkEventOf(Link_Health before, Link_Health after)
    {
        const auto down = [](Link_Health h) { return h == Link_Health::Interrupted || h == Link_Health::Stalled; };
        if (before == after)
            return std::nullopt;
        if (after == Link_Health::Closed)
            return EventKind::LinkClosed;
        if (before == Link_Health::Closed)
            return EventKind::LinkOpened;
        if (down(after) && !down(before))
            return EventKind::LinkInterrupted;
        if (after == Link_Health::Ok && down(before))
            return EventKind::LinkRestored;
        return std::nullopt;
    }

    // The link as the published messages name it.
    static MqttLink mqttLinkOf(Link_Health health)
    {
        switch (health) {
        case Link_Health::Closed:
            return MqttLink::Closed;
        case Link_Health::Interrupted:
        case Link_Health::Stalled:
            return MqttLink::Interrupted;
        case Link_Health::Ok:
        case Link_Health::Waiting_First:
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
            mqtt.publishState(settings.Link_Par[3], stateJson(clock.Now(), live, mqttLinkOf(met1.linkState().health)));
    }

    Link_Health m_health = Link_Health::Closed; // as last told by the acquisition
};
