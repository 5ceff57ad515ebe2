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

void LinkDiagnostics::record(const ExchangeTrace &t)
{
    LinkCounters &c = m_counters;
    if (!t.request.isEmpty()) {
        ++c.requests;
        m_frames.append({FrameDirection::Sent, t.sentAtMs, t.request});
    }
    if (!t.reply.isEmpty())
        m_frames.append({FrameDirection::Received, t.receivedAtMs, t.reply});
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
    m_roundTripSumMs += c.lastRoundTripMs;
    c.meanRoundTripMs = m_roundTripSumMs / double(c.answers);
}

void LinkDiagnostics::reset()
{
    m_counters = {};
    m_frames.clear();
    m_roundTripSumMs = 0;
}
