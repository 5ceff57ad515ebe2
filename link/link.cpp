#include "link/link.h"

#include <QCoreApplication>

Link::Link()
{
    m_thread.setObjectName(QStringLiteral("modbus-link"));
    m_worker = new QObject;
    m_worker->moveToThread(&m_thread);
    m_rtu = new ModbusRTU;
    m_thread.start();
}

Link::~Link()
{
    // Jobs still queued run before the thread ends; the ports close with the
    // ModbusRTU object on the link thread's side of the queue.
    ModbusRTU *rtu = m_rtu;
    QMetaObject::invokeMethod(m_worker, [rtu] { delete rtu; }, Qt::QueuedConnection);
    QMetaObject::invokeMethod(m_worker, [this] { m_thread.quit(); }, Qt::QueuedConnection);
    m_thread.wait();
    delete m_worker;
}

template <typename R>
void Link::post(std::function<R(ModbusRTU &)> job, QObject *ctx, std::function<void(const R &)> done,
                std::function<QList<ExchangeTrace>(const R &)> tracesOf)
{
    ++m_pending;
    QPointer<QObject> guard(ctx);
    const bool wantsReply = ctx != nullptr && bool(done);
    ModbusRTU *rtu = m_rtu;
    QMetaObject::invokeMethod(
        m_worker,
        [this, rtu, job = std::move(job), guard, wantsReply, done = std::move(done), tracesOf]() mutable {
            R r = job(*rtu);
            const int64_t drained = rtu->drainedBytes();
            // Back on the UI thread: the Link outlives every queued reply
            // because its destructor waits for this thread.
            QMetaObject::invokeMethod(
                this,
                [this, r = std::move(r), drained, guard, wantsReply, done = std::move(done), tracesOf] {
                    --m_pending;
                    m_drained = drained;
                    const QList<ExchangeTrace> traces = tracesOf(r);
                    for (const ExchangeTrace &t : traces)
                        m_diagnostics.record(t);
                    if (!traces.isEmpty())
                        emit exchanged();
                    if (wantsReply && guard)
                        done(r);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

// The exchange a call made, if it sent a request.
static void takeTraceInto(ModbusRTU &m, LinkResult &r)
{
    r.error = m.lastError();
    r.drained = m.drainedBytes();
    if (auto t = m.takeTrace())
        r.traces.append(std::move(*t));
}

void Link::submit(std::function<LinkResult(ModbusRTU &)> job, QObject *ctx, Done done)
{
    post<LinkResult>(
        [job = std::move(job)](ModbusRTU &m) {
            LinkResult r = job(m);
            takeTraceInto(m, r);
            return r;
        },
        ctx, std::move(done), [](const LinkResult &r) { return r.traces; });
}

void Link::pollStation(int32_t port, int32_t station, QObject *ctx, std::function<void(const StationPoll &)> done)
{
    post<StationPoll>(
        [=](ModbusRTU &m) {
            StationPoll p;
            p.values.buf.resize(16);
            p.values.result = m.Get_3X_DX(port, station, 1, 16, p.values.buf.data());
            takeTraceInto(m, p.values);
            p.status.buf.resize(1);
            const LinkFault first = p.values.error.kind;
            if (first == LinkFault::Timeout || first == LinkFault::DeviceLost || first == LinkFault::NotOpen) {
                // Silent, gone or not open: asking again now would only wait again.
                p.status.result = kModbusFail;
                p.status.error = p.values.error;
                p.status.drained = p.values.drained;
                return p;
            }
            p.status.result = m.Get_1X_B16(port, station, 1, p.status.buf.data());
            takeTraceInto(m, p.status);
            return p;
        },
        ctx, std::move(done), [](const StationPoll &p) { return p.values.traces + p.status.traces; });
}

void Link::setShared(bool shared)
{
    submit(
        [shared](ModbusRTU &m) {
            m.setShared(shared);
            return LinkResult{kModbusOk, {}, {}, 0, {}};
        },
        nullptr, {});
}

void Link::OpenPort_Modbus(int32_t port, int32_t baud, int32_t parity, QObject *ctx, Done done)
{
    OpenPort_Modbus(port, baud, parity, QString(), ctx, std::move(done));
}

void Link::OpenPort_Modbus(int32_t port, int32_t baud, int32_t parity, const QString &devicePath, QObject *ctx,
                           Done done)
{
    submit(
        [=](ModbusRTU &m) {
            LinkResult r;
            r.result = m.OpenPort_Modbus(port, baud, parity, devicePath);
            r.error = m.lastError();
            return r;
        },
        ctx, std::move(done));
}

void Link::ClosePort_Modbus(int32_t port, QObject *ctx, Done done)
{
    submit(
        [=](ModbusRTU &m) {
            LinkResult r;
            r.result = m.ClosePort_Modbus(port);
            r.error = m.lastError();
            return r;
        },
        ctx, std::move(done));
}

void Link::Get_3X_DX(int32_t port, int32_t station, int32_t start, int32_t count, QObject *ctx, Done done)
{
    submitRead(&ModbusRTU::Get_3X_DX, port, station, start, count, ctx, std::move(done));
}

void Link::Get_1X_B16(int32_t port, int32_t station, int32_t start, QObject *ctx, Done done)
{
    submit(
        [=](ModbusRTU &m) {
            LinkResult r;
            r.buf.resize(1);
            r.result = m.Get_1X_B16(port, station, start, r.buf.data());
            r.error = m.lastError();
            return r;
        },
        ctx, std::move(done));
}

void Link::Get_4X_DX(int32_t port, int32_t station, int32_t start, int32_t count, QObject *ctx, Done done)
{
    submitRead(&ModbusRTU::Get_4X_DX, port, station, start, count, ctx, std::move(done));
}

void Link::submitRead(Read read, int32_t port, int32_t station, int32_t start, int32_t count, QObject *ctx, Done done)
{
    submit(
        [=](ModbusRTU &m) {
            LinkResult r;
            r.buf.resize(qBound(1, count, 125));
            r.result = (m.*read)(port, station, start, count, r.buf.data());
            r.error = m.lastError();
            return r;
        },
        ctx, std::move(done));
}

void Link::Set_4X_D1(int32_t port, int32_t station, int32_t reg, int32_t value, QObject *ctx, Done done)
{
    submit(
        [=](ModbusRTU &m) {
            LinkResult r;
            r.result = m.Set_4X_D1(port, station, reg, value);
            r.error = m.lastError();
            return r;
        },
        ctx, std::move(done));
}
