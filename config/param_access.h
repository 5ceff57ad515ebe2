// Reading and writing the instrument's 48 configuration registers, without
// any window: the configuration window's one-second read-back cycle and its
// parameter writes run here, and so can a program that saves or restores a
// whole parameter set.
//
//     ParamAccess access(link, settings, readBack);
//     connect(&access, &ParamAccess::blockRead, ...);     // each block as it comes back
//     connect(&access, &ParamAccess::writeFinished, ...); // each write's outcome
//     access.readCycle();
//     access.write(3, QStringLiteral("777"));
#pragma once

#include "core/live_data.h"
#include "core/parammap.h"
#include "link/modbusrtu.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class Link;
struct LinkResult;
class WriteJournal;

// Why a value is not written; nothing is sent then.
enum class WriteRefusal : uint8_t {
    None,
    Form,        // not a list entry or a plain number of the parameter's kind
    Range,       // outside the parameter's range
    NotWritable, // no configuration register of ours (only 1..48 are written)
};

// What became of one write.
struct ParamWrite {
    enum class Outcome : uint8_t {
        Written,      // the instrument echoed register and value
        Refused,      // not sent: see refusal
        Failed,       // sent, and the retry failed too: see error
        NotConfirmed, // written, but read back as another value, or not read back (error)
    };
    Outcome outcome = Outcome::Refused;
    WriteRefusal refusal = WriteRefusal::None;
    int reg = 0;                  // 1..48
    QString entry;                // the text entered (empty when a value was given)
    EntryCheck check;             // the decision on the entry: value written, or range
    LinkError error;              // Failed, NotConfirmed: the kind of the last failure
    int tries = 0;                // exchanges sent: 0, 1, or 2 after the one retry
    std::optional<int32_t> before; // the register as last read before the write
    std::optional<int32_t> readBack; // what a checked write read back afterwards
    uint32_t ticket = 0;          // the write() call this is the outcome of
};

// All 48 registers at once, or which blocks of 16 could not be read.
struct ParamSetRead {
    int32_t values[kParamCount] = {}; // element k: register k + 1 (valid when ok())
    LinkError blockError[kBlockCount]; // kind None for a block that was read
    bool ok() const;
    QList<int> failedBlocks() const; // 0..2
};

class ParamAccess : public QObject {
    Q_OBJECT
public:
    // Reads and writes go to the port Link_Par[0] and the station
    // Link_Par[3] of settings, as they are at the moment; the value being
    // written is noted in Link_Par[19]. The read-back buffer (Reg_4X and its
    // block states) is readBack. journal (may be null) hears of every
    // write() outcome, also of one that comes after this object is gone.
    ParamAccess(Link &link, LinkSettings &settings, ReadBack &readBack, WriteJournal *journal = nullptr,
                QObject *parent = nullptr);

    // One read cycle: registers 1..48 in three blocks of 16 (Get_4X_DX),
    // each into the buffer as it comes back (a failed block keeps its values
    // and is marked failed), each told by blockRead. Returns false and issues
    // nothing while blocks of the previous cycle are still outstanding: a
    // silent instrument must not pile up requests.
    bool readCycle();
    // Register blocks of the current read cycle still outstanding.
    int readsOut() const { return m_readsOut; }
    // The three blocks read now (also into the buffer), then done with all
    // of them or none; done is dropped when ctx is gone.
    void readAll(QObject *ctx, std::function<void(const ParamSetRead &)> done);

    // What writing entry to register reg would send (refusal None) or why
    // it is refused.
    static ParamWrite checkWrite(int reg, const QString &entry);
    // Writes the text entered for register reg (Set_4X_D1), once more when
    // the first exchange fails (kModbusFail, whatever the kind); the link
    // checks the echo. The outcome comes as writeFinished: a refusal at
    // once, before this returns. Returns the ticket the outcome carries.
    uint32_t write(int reg, const QString &entry);
    // Writes value (register units) to register reg like write(), then reads
    // the register back: Written only when it reads as written. done gets the
    // outcome (dropped when ctx is gone); writeFinished too.
    void writeChecked(int reg, int32_t value, QObject *ctx, std::function<void(const ParamWrite &)> done);
    // Writes values (register, value in register units) one after the other
    // as writeChecked() does, stopping at the first write that fails, then
    // reads back once each block written to: N writes cost N exchanges and
    // at most three reads. done gets the outcome of every value taken up to
    // the stop, in order (a refused one is not sent and does not stop the
    // run); Written only when read back as written. Each outcome goes to
    // writeFinished and the journal once it is known: a write that echoed
    // only after its read-back.
    void writeAllChecked(const QList<QPair<int, int32_t>> &values, QObject *ctx,
                         std::function<void(const QList<ParamWrite> &)> done);

    const ReadBack &readBack() const { return m_readBack; }
    // The port and station reads and writes go to.
    const LinkSettings &settings() const { return m_settings; }
    WriteJournal *journal() const;

signals:
    // Block 0..2 (registers 16 * block + 1 ...) came back; error kind None
    // when it was read.
    void blockRead(int block, const LinkError &error);
    // Every write's outcome.
    void writeFinished(const ParamWrite &write);

private:
    using Finish = std::function<void(const ParamWrite &)>;
    struct Batch;
    // The write of value to reg, or why it is refused (range, register).
    static ParamWrite checkValue(int reg, int32_t value);
    void writeNext(const std::shared_ptr<Batch> &batch);
    void confirmBatch(const std::shared_ptr<Batch> &batch);
    void readBlock(int block, std::function<void(const LinkResult &)> then);
    uint32_t send(ParamWrite w, Finish then);
    void finish(const ParamWrite &w);
    // Register reg as last read (the value the operator saw), if read.
    std::optional<int32_t> lastRead(int reg) const;

    Link &m_link;
    LinkSettings &m_settings;
    ReadBack &m_readBack;
    QPointer<WriteJournal> m_journal;
    int m_readsOut = 0;
    uint32_t m_ticket = 0;
};

Q_DECLARE_METATYPE(ParamWrite)
