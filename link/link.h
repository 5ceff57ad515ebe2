// The link thread: every Modbus exchange runs here, strictly one at a time in
// the order the handlers issue them, so a silent or unplugged instrument never
// blocks the user interface. Each result comes back to the issuing object on
// the UI thread; a result whose object is gone by then is dropped.
#pragma once

#include "link/link_diagnostics.h"
#include "link/modbusrtu.h"

#include <QObject>
#include <QPointer>
#include <QThread>
#include <QList>
#include <QVector>
#include <functional>

struct LinkResult {
    int32_t result = kModbusFail; // the operation's result
    LinkError error;              // the failure, kind None on success
    QVector<int32_t> buf;          // the operation's buffer
    int64_t drained = 0;           // bytes drained from the line so far
    QList<ExchangeTrace> traces;   // the exchanges made, one per request that went out
};

// One acquisition of a station: input registers 1..16 (16 values in buf) and
// the 16 status inputs as one word (buf[0]).
struct StationPoll {
    LinkResult values;
    LinkResult status;
};

class Link : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const LinkResult &)>;

    Link();
    ~Link() override;

    void OpenPort_Modbus(int32_t port, int32_t baud, int32_t parity, QObject *ctx, Done done);
    // Opens the device at devicePath (when not empty) instead of the one the
    // port number names; later calls name it by `port` all the same.
    void OpenPort_Modbus(int32_t port, int32_t baud, int32_t parity, const QString &devicePath, QObject *ctx,
                         Done done);
    void ClosePort_Modbus(int32_t port, QObject *ctx = nullptr, Done done = {});
    void Get_3X_DX(int32_t port, int32_t station, int32_t start, int32_t count, QObject *ctx, Done done);
    void Get_1X_B16(int32_t port, int32_t station, int32_t start, QObject *ctx, Done done);
    void Get_4X_DX(int32_t port, int32_t station, int32_t start, int32_t count, QObject *ctx, Done done);
    void Set_4X_D1(int32_t port, int32_t station, int32_t reg, int32_t value, QObject *ctx, Done done);
    // Both reads of one acquisition in one go, so that the stations of a line
    // take turns a whole acquisition at a time. A station that does not
    // answer the first costs one response time-out, not two: the second is
    // then not sent and fails the same way.
    void pollStation(int32_t port, int32_t station, QObject *ctx, std::function<void(const StationPoll &)> done);

    // Whether several stations are polled on the line: an absent one then
    // costs one response time-out (modbusrtu.h). Takes effect in turn.
    void setShared(bool shared);
    // Exchanges issued whose results have not come back yet.
    int pending() const { return m_pending; }
    // Late or broken replies read off the line and thrown away, in bytes, as
    // of the last result that came back.
    int64_t drainedBytes() const { return m_drained; }
    // Every exchange whose result has come back, added up; reset by the
    // diagnostics window.
    LinkDiagnostics &diagnostics() { return m_diagnostics; }

signals:
    // An exchange's result came back and was added to diagnostics().
    void exchanged();

private:
    using Read = int32_t (ModbusRTU::*)(int32_t, int32_t, int32_t, int32_t, int32_t *);
    void submitRead(Read read, int32_t port, int32_t station, int32_t start, int32_t count, QObject *ctx, Done done);
    void submit(std::function<LinkResult(ModbusRTU &)> job, QObject *ctx, Done done);
    // Runs job on the link thread and hands its result to done on the UI
    // thread (when ctx still exists), with the exchanges it made recorded.
    template <typename R>
    void post(std::function<R(ModbusRTU &)> job, QObject *ctx, std::function<void(const R &)> done,
              std::function<QList<ExchangeTrace>(const R &)> tracesOf);

    QThread m_thread;
    QObject *m_worker = nullptr; // lives in m_thread, owns the ModbusRTU
    ModbusRTU *m_rtu = nullptr;  // touched only on m_thread
    int m_pending = 0;
    int64_t m_drained = 0;
    LinkDiagnostics m_diagnostics;
};
