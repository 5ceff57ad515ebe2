#include "link/link_diagnostics.h"

#include <algorithm>

FrameRing::FrameRing(int capacity) : m_capacity(std::max(1, capacity))
{
    m_frames.reserve(m_capacity);
}

void FrameRing::append(const LinkFrame &frame)
{
    ++m_appended;
    if (m_frames.size() < m_capacity) {
        m_frames.append(frame);
        return;
    }
    m_frames[m_oldest] = frame;
    m_oldest = (m_oldest + 1) % m_capacity;
}

void FrameRing::clear()
{
    m_frames.clear();
    m_oldest = 0;
    m_appended = 0;
}

QList<LinkFrame> FrameRing::frames() const
{
    QList<LinkFrame> out;
    out.reserve(m_frames.size());
    for (qsizetype i = 0; i < m_frames.size(); ++i)
        out.append(m_frames[(m_oldest + i) % m_frames.size()]);
    return out;
}

int requestStation(const QByteArray &request)
{
    return request.isEmpty() ? -1 : quint8(request[0]);
}

void LinkDiagnostics::record(const ExchangeTrace &t)
{
    const int station = requestStation(t.request);
    m_line.add(t);
    if (station >= 0)
        m_stations[station].add(t);
    if (!t.request.isEmpty())
        m_frames.append({FrameDirection::Sent, t.sentAtMs, t.request, station});
    if (!t.reply.isEmpty())
        m_frames.append({FrameDirection::Received, t.receivedAtMs, t.reply, station});
}

void LinkDiagnostics::Tally::add(const ExchangeTrace &t)
{
    LinkCounters &c = counters;
    if (!t.request.isEmpty())
        ++c.requests;
    switch (t.outcome.kind) {
    case LinkFault::Timeout:
        ++c.timeouts;
        break;
    case LinkFault::BadFrame:
        ++c.crcErrors;
        break;
    case LinkFault::BadReply:
    case LinkFault::EchoMismatch:
        ++c.badReplies;
        break;
    case LinkFault::Exception:
        ++c.exceptions[t.outcome.exception];
        break;
    case LinkFault::DeviceLost:
        ++c.deviceLost;
        break;
    default:
        break;
    }
    if (t.roundTripUs < 0)
        return;
    ++c.answers;
    c.lastRoundTripMs = double(t.roundTripUs) / 1000.0;
    c.maxRoundTripMs = std::max(c.maxRoundTripMs, c.lastRoundTripMs);
    roundTripSumMs += c.lastRoundTripMs;
    c.meanRoundTripMs = roundTripSumMs / double(c.answers);
}

LinkCounters LinkDiagnostics::counters(int station) const
{
    return m_stations.value(station).counters;
}

void LinkDiagnostics::reset()
{
    m_line = {};
    m_stations.clear();
    m_frames.clear();
}
