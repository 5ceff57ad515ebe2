#include "logging/mscom.h"

#include "core/chart_model.h"
#include "core/dates.h"
#include "core/numbers.h"

#include <cmath>

mscom::mscom(const LiveTables &live, LogTimes &times, DbFiles &files, QObject *parent)
    : QObject(parent), Log_Conn(files, QStringLiteral("Log_Conn"), DbConn::Role::Writer), m_clock(files.clock), m_live(live),
      m_times(times)
{
    Timer1.setInterval(100);
    connect(&Timer1, &QTimer::timeout, this, &mscom::Timer1_Timer);
}

mscom::~mscom()
{
    // The program ends: from here on nothing is measured.
    if (m_linkUp)
        linkChanged(EventKind::LinkClosed, m_clock.now());
    if (!m_events.empty() && Log_Conn.isOpen())
        writeEvents();
}

void mscom::Form_Load()
{
    // The program starts with the link closed (also after a crash that
    // recorded no close): records are held until it is opened. A link
    // already opened before the logging started has told so itself.
    if (!m_linkUp)
        linkChanged(EventKind::LinkClosed, m_clock.now());
    if (!Log_Conn.open())
        stopped();
    Timer1.start();
}

double mscom::elapsed(const QDateTime &now, double date, double time)
{
    const double days = dateSerial(now.date()) - date;
    const double part = timeSerial(now.time()) - time;
    return std::fabs(roundEven((days + part) * 24 * 60 * 60));
}

double mscom::okitime() const { return elapsed(m_clock.now(), m_times.Pv_Date, m_times.Pv_Time); }

double mscom::Rec1_time() const { return elapsed(m_clock.now(), m_times.Lpv_Date, m_times.Lpv_Time); }

void mscom::stopped()
{
    setState({true, Log_Conn.error()});
}

void mscom::setState(const LogState &state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit logStateChanged(m_state);
}

void mscom::Timer1_Timer()
{
    // Without the stored ids nothing is written: a guessed id could put a
    // second record under one id or skip one.
    const bool haveIds = Log_Conn.readIds(Pv_Id, Lpv_Id);
    if (!haveIds && Log_Conn.fault() != DbFault::None)
        stopped();
    if (Pv_Id >= kRingSize || Pv_Id < 0)
        Pv_Id = 0;
    if (Lpv_Id >= kRingSize || Lpv_Id < 0)
        Lpv_Id = 0;

    // One reading of the clock for the whole step, so a record's date and
    // time of day always belong together.
    const QDateTime now = m_clock.now();
    const double date = dateSerial(now.date());
    const double time = timeSerial(now.time());
    DueRecord due{true, now, date, time, {}};
    for (int i = 0; i < 8; ++i)
        due.values[i] = m_live.Val_3X[i];

    bool wrote = false, failed = false, dueSample = false;
    if (elapsed(now, m_times.Pv_Date, m_times.Pv_Time) >= 1) {
        // Taken at the first try: a record that cannot be written in its
        // second is not written later.
        m_times.Pv_Date = date;
        m_times.Pv_Time = time;
        m_duePv = due;
        // The live chart moves on every second, logged or not: while logging
        // is stopped the operator still sees the instrument's trend.
        dueSample = true;
    }
    if (elapsed(now, m_times.Lpv_Date, m_times.Lpv_Time) >= 10) {
        m_times.Lpv_Date = date;
        m_times.Lpv_Time = time;
        m_dueLpv = due;
    }
    writeDue(DbRing::Pv, m_duePv, now, haveIds, wrote, failed);
    writeDue(DbRing::Lpv, m_dueLpv, now, haveIds, wrote, failed);
    watchFlags(now);
    writeEvents();

    LogNotice notice = Log_Conn.takeNotice();
    if (failed)
        stopped();
    else if (wrote)
        setState({});
    if (notice.kind != DbNotice::None) {
        notice.time = now;
        m_notice = notice;
        emit noticeRaised(m_notice);
    }
    // Told last, when the states are up to date.
    if (dueSample)
        emit sampleLogged();
}

void mscom::writeDue(DbRing ring, DueRecord &due, const QDateTime &now, bool haveIds, bool &wrote, bool &failed)
{
    if (!due.waiting || due.second != now) {
        due.waiting = false;
        return;
    }
    int32_t &id = ring == DbRing::Pv ? Pv_Id : Lpv_Id;
    if (haveIds && Log_Conn.writeRecord(ring, id + 1, due.date, due.time, due.values)) {
        id += 1;
        wrote = true;
        due.waiting = false;
        return;
    }
    // (no fault: the file was reopened, the ids were read on the old one)
    if (haveIds && Log_Conn.fault() != DbFault::None)
        failed = true;
    // Another connection holding the file lets go within moments; any other
    // fault waits for the next record.
    due.waiting = Log_Conn.fault() == DbFault::Locked;
}

void mscom::linkChanged(EventKind kind, const QDateTime &when)
{
    if (!isLinkEvent(kind))
        return;
    const bool up = linkUpAfter(kind);
    // Opened: later changes count from the flags showing now. Restored: from
    // those seen before the interruption, so a change during it is told.
    if (kind == EventKind::LinkOpened) {
        for (int k = 0; k < 12; ++k)
            m_flagSeen[k] = m_live.Sta_1X[k] != 0 ? 1 : 0;
    }
    m_linkUp = up;
    HistoryEvent e;
    e.kind = kind;
    e.msecs = (when.isValid() ? when : m_clock.now()).toMSecsSinceEpoch();
    queueEvent(e);
}

void mscom::paramEvent(const HistoryEvent &event)
{
    HistoryEvent e = event;
    if (e.msecs == 0)
        e.msecs = m_clock.now().toMSecsSinceEpoch();
    queueEvent(e);
}

void mscom::alarmEvent(const HistoryEvent &event)
{
    watchFlags(m_clock.now());
    paramEvent(event);
}

void mscom::queueEvent(const HistoryEvent &event)
{
    if (m_events.size() >= size_t(kEventBacklog))
        m_events.pop_front();
    m_events.push_back(event);
}

void mscom::watchFlags(const QDateTime &now)
{
    // A closed or interrupted link's flags are not the instrument's.
    if (!m_linkUp)
        return;
    for (int k = 0; k < 12; ++k) {
        const int32_t v = m_live.Sta_1X[k] != 0 ? 1 : 0;
        if (v == m_flagSeen[k])
            continue;
        m_flagSeen[k] = v;
        HistoryEvent e;
        e.msecs = now.toMSecsSinceEpoch();
        e.kind = v ? EventKind::FlagRaised : EventKind::FlagCleared;
        e.channel = k / 3 + 1;
        e.flag = k % 3;
        queueEvent(e);
    }
}

void mscom::writeEvents()
{
    while (!m_events.empty()) {
        if (!Log_Conn.recordEvent(m_events.front())) {
            m_journalError = Log_Conn.journalError();
            return;
        }
        m_events.pop_front();
    }
    m_journalError = JournalError();
}
