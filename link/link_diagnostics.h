// What the link has been doing, for the operator who wants to see why a link
// fails: counters of the exchanges and their outcomes, round-trip times, and
// the last frames on the line. The link thread records each exchange
// (ExchangeTrace, modbusrtu.h); the Link adds it up on the user-interface thread
// (LinkDiagnostics), so no lock is needed.
//
// Several instruments (stations) may share one line: the counters are kept
// for the whole line and for each station apart, the station read from the
// request (its first byte on every kind of line).
#pragma once

#include "link/modbusrtu.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <cstdint>

enum class FrameDirection { Sent, Received };

struct LinkFrame {
    FrameDirection direction = FrameDirection::Sent;
    qint64 timeMs = 0; // wall clock, milliseconds since 1970
    QByteArray bytes;
    int station = -1; // the station the exchange was addressed to, -1 when unknown
};

// The station a request is addressed to; -1 for an empty one.
int requestStation(const QByteArray &request);

// The last `capacity` frames, the oldest dropped first.
class FrameRing {
public:
    explicit FrameRing(int capacity = 500);

    void append(const LinkFrame &frame);
    void clear();
    int size() const { return int(m_frames.size()); }
    int capacity() const { return m_capacity; }
    // Every frame kept, the oldest first.
    QList<LinkFrame> frames() const;
    // Frames appended since the ring was made or cleared (dropped ones too).
    qint64 appended() const { return m_appended; }

private:
    QList<LinkFrame> m_frames;
    int m_capacity;
    int m_oldest = 0; // index of the oldest frame once the ring is full
    qint64 m_appended = 0;
};

struct LinkCounters {
    qint64 requests = 0;    // requests sent
    qint64 answers = 0;     // complete replies with a good CRC (exception replies too)
    qint64 timeouts = 0;    // no complete reply within the response time-out
    qint64 crcErrors = 0;   // replies with a wrong CRC
    qint64 badReplies = 0;  // well-formed replies that do not fit the request
    qint64 deviceLost = 0;  // exchanges ended by the device failing
    QMap<int, qint64> exceptions; // exception replies by their code
    // Round-trip times of the answers, in milliseconds.
    double lastRoundTripMs = 0;
    double meanRoundTripMs = 0;
    double maxRoundTripMs = 0;
};

class LinkDiagnostics {
public:
    void record(const ExchangeTrace &trace);
    void reset();

    // The whole line's counters.
    const LinkCounters &counters() const { return m_line.counters; }
    // One station's counters; all zero for a station not seen.
    LinkCounters counters(int station) const;
    // The stations requests went to, in ascending order.
    QList<int> stations() const { return m_stations.keys(); }
    const FrameRing &frames() const { return m_frames; }

private:
    struct Tally {
        LinkCounters counters;
        double roundTripSumMs = 0;
        void add(const ExchangeTrace &trace);
    };

    Tally m_line;
    QMap<int, Tally> m_stations;
    FrameRing m_frames;
};
