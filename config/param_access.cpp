#include "config/param_access.h"

#include "config/write_journal.h"
#include "link/link.h"

#include <algorithm>

bool ParamSetRead::ok() const
{
    return failedBlocks().isEmpty();
}

QList<int> ParamSetRead::failedBlocks() const
{
    QList<int> out;
    for (int b = 0; b < kBlockCount; ++b) {
        if (blockError[b].kind != LinkFault::None)
            out.append(b);
    }
    return out;
}

ParamAccess::ParamAccess(Link &link, LinkSettings &settings, ReadBack &readBack, WriteJournal *journal,
                         QObject *parent)
    : QObject(parent), m_link(link), m_settings(settings), m_readBack(readBack), m_journal(journal)
{
}

WriteJournal *ParamAccess::journal() const
{
    return m_journal;
}

// ---------------------------------------------------------------------------
// Read-back

void ParamAccess::readBlock(int block, std::function<void(const LinkResult &)> then)
{
    const int32_t port = m_settings.Link_Par[0];
    const int32_t station = m_settings.Link_Par[3];
    m_link.Get_4X_DX(port, station, 1 + 16 * block, 16, this, [this, block, then](const LinkResult &r) {
        BlockState &b = m_readBack.Block[block];
        const bool good = r.result == kModbusOk && r.buf.size() >= 16;
        if (good) {
            for (int k = 0; k < 16; ++k)
                m_readBack.Reg_4X[16 * block + k] = r.buf[k];
            b.read = true;
            b.failed = false;
        } else {
            // A failed read leaves its part of the buffer as it was.
            b.failed = true;
        }
        if (then)
            then(r);
        LinkError error = r.error;
        if (!good && error.kind == LinkFault::None)
            error.kind = LinkFault::BadReply; // a short answer
        emit blockRead(block, good ? LinkError{} : error);
    });
}

bool ParamAccess::readCycle()
{
    if (m_readsOut > 0)
        return false;
    for (int block = 0; block < kBlockCount; ++block) {
        ++m_readsOut;
        readBlock(block, [this](const LinkResult &) { --m_readsOut; });
    }
    return true;
}

void ParamAccess::readAll(QObject *ctx, std::function<void(const ParamSetRead &)> done)
{
    auto set = std::make_shared<ParamSetRead>();
    auto left = std::make_shared<int>(kBlockCount);
    QPointer<QObject> receiver(ctx);
    for (int block = 0; block < kBlockCount; ++block) {
        readBlock(block, [this, set, left, block, receiver, done](const LinkResult &r) {
            if (r.result == kModbusOk && r.buf.size() >= 16)
                std::copy_n(r.buf.cbegin(), 16, set->values + 16 * block);
            else
                set->blockError[block] = r.error.kind == LinkFault::None ? LinkError{LinkFault::BadReply, 0, 0} : r.error;
            if (--*left == 0) {
                if (!set->ok())
                    std::fill(std::begin(set->values), std::end(set->values), 0); // all or nothing
                if (receiver && done)
                    done(*set);
            }
        });
    }
}

// ---------------------------------------------------------------------------
// Writes

ParamWrite ParamAccess::checkWrite(int reg, const QString &entry)
{
    ParamWrite w;
    w.reg = reg;
    w.entry = entry;
    if (reg < 1 || reg > kParamCount) {
        w.refusal = WriteRefusal::NotWritable;
        return w;
    }
    w.check = checkEntry(reg, entry);
    switch (w.check.why) {
    case Refusal::None:
        w.outcome = ParamWrite::Outcome::Written;
        break;
    case Refusal::Form:
        w.refusal = WriteRefusal::Form;
        break;
    case Refusal::Range:
        w.refusal = WriteRefusal::Range;
        break;
    }
    return w;
}

uint32_t ParamAccess::write(int reg, const QString &entry)
{
    ParamWrite w = checkWrite(reg, entry);
    w.before = lastRead(reg);
    if (w.refusal != WriteRefusal::None) {
        w.ticket = ++m_ticket;
        finish(w);
        return w.ticket;
    }
    return send(w, {});
}

ParamWrite ParamAccess::checkValue(int reg, int32_t value)
{
    ParamWrite w;
    w.reg = reg;
    if (reg < 1 || reg > kParamCount) {
        w.refusal = WriteRefusal::NotWritable;
    } else {
        const Param &p = kParam[reg - 1];
        w.check = EntryCheck{Refusal::None, int16_t(value), p.min, p.max};
        if (value < p.min || value > p.max) {
            w.check.why = Refusal::Range;
            w.refusal = WriteRefusal::Range;
        }
    }
    return w;
}

void ParamAccess::writeChecked(int reg, int32_t value, QObject *ctx, std::function<void(const ParamWrite &)> done)
{
    ParamWrite w = checkValue(reg, value);
    w.before = lastRead(reg);
    QPointer<QObject> receiver(ctx);
    auto tell = [this, receiver, done](const ParamWrite &outcome) {
        finish(outcome);
        if (receiver && done)
            done(outcome);
    };
    if (w.refusal != WriteRefusal::None) {
        w.ticket = ++m_ticket;
        tell(w);
        return;
    }
    w.outcome = ParamWrite::Outcome::Written;
    send(w, [this, tell](const ParamWrite &written) {
        if (written.outcome != ParamWrite::Outcome::Written) {
            tell(written);
            return;
        }
        const int block = (written.reg - 1) / 16;
        readBlock(block, [tell, written](const LinkResult &r) {
            ParamWrite checked = written;
            if (r.result == kModbusOk && r.buf.size() >= 16)
                checked.readBack = r.buf[(written.reg - 1) % 16];
            else
                checked.error = r.error;
            if (checked.readBack != std::optional<int32_t>(written.check.value))
                checked.outcome = ParamWrite::Outcome::NotConfirmed;
            tell(checked);
        });
    });
}

// A run of writeAllChecked(): the values, the next to take, the outcomes so
// far and whether each has been told yet.
struct ParamAccess::Batch {
    QList<QPair<int, int32_t>> values;
    int next = 0;
    QList<ParamWrite> outcomes;
    QList<bool> told;
    QPointer<QObject> receiver;
    std::function<void(const QList<ParamWrite> &)> done;
};

void ParamAccess::writeAllChecked(const QList<QPair<int, int32_t>> &values, QObject *ctx,
                                  std::function<void(const QList<ParamWrite> &)> done)
{
    auto batch = std::make_shared<Batch>();
    batch->values = values;
    batch->receiver = ctx;
    batch->done = std::move(done);
    writeNext(batch);
}

void ParamAccess::writeNext(const std::shared_ptr<Batch> &batch)
{
    while (batch->next < batch->values.size()) {
        const auto [reg, value] = batch->values.at(batch->next++);
        ParamWrite w = checkValue(reg, value);
        w.before = lastRead(reg);
        if (w.refusal != WriteRefusal::None) {
            w.ticket = ++m_ticket;
            finish(w);
            batch->outcomes.append(w);
            batch->told.append(true);
            continue;
        }
        w.outcome = ParamWrite::Outcome::Written;
        send(w, [this, batch](const ParamWrite &sent) {
            batch->outcomes.append(sent);
            batch->told.append(false);
            if (sent.outcome == ParamWrite::Outcome::Written)
                writeNext(batch);
            else
                confirmBatch(batch); // the link failed: no more writes
        });
        return;
    }
    confirmBatch(batch);
}

// Reads back each block a write of the batch echoed to, then tells every
// outcome not told yet, in order.
void ParamAccess::confirmBatch(const std::shared_ptr<Batch> &batch)
{
    const auto finishAll = [this, batch] {
        for (qsizetype i = 0; i < batch->outcomes.size(); ++i) {
            ParamWrite &w = batch->outcomes[i];
            if (w.outcome == ParamWrite::Outcome::Written && w.readBack != std::optional<int32_t>(w.check.value))
                w.outcome = ParamWrite::Outcome::NotConfirmed;
            if (!batch->told.at(i))
                finish(w);
        }
        if (batch->receiver && batch->done)
            batch->done(batch->outcomes);
    };
    QList<int> blocks;
    for (const ParamWrite &w : std::as_const(batch->outcomes))
        if (w.outcome == ParamWrite::Outcome::Written && !blocks.contains((w.reg - 1) / 16))
            blocks.append((w.reg - 1) / 16);
    if (blocks.isEmpty())
        return finishAll();
    auto left = std::make_shared<qsizetype>(blocks.size());
    for (const int block : std::as_const(blocks)) {
        readBlock(block, [batch, block, left, finishAll](const LinkResult &r) {
            const bool good = r.result == kModbusOk && r.buf.size() >= 16;
            for (ParamWrite &w : batch->outcomes) {
                if (w.outcome != ParamWrite::Outcome::Written || (w.reg - 1) / 16 != block)
                    continue;
                if (good)
                    w.readBack = r.buf[(w.reg - 1) % 16];
                else
                    w.error = r.error;
            }
            if (--*left == 0)
                finishAll();
        });
    }
}

// Sends a checked write with its one retry; then (when given) hears of the
// outcome instead of finish().
uint32_t ParamAccess::send(ParamWrite w, Finish then)
{
    const int16_t value = w.check.value;
    m_settings.Link_Par[19] = value;
    w.ticket = ++m_ticket;
    const int32_t port = m_settings.Link_Par[0];
    const int32_t station = m_settings.Link_Par[3];
    // The outcome reaches the journal also when this object is gone in the
    // meantime; its observers only when it is still there.
    QPointer<ParamAccess> self(this);
    QPointer<WriteJournal> journal(m_journal);
    auto done = [self, journal, w, then](const LinkResult &r, int tries) {
        ParamWrite outcome = w;
        outcome.tries = tries;
        if (r.result == kModbusFail) {
            outcome.outcome = ParamWrite::Outcome::Failed;
            outcome.error = r.error;
        }
        if (self && then)
            then(outcome);
        else if (self)
            self->finish(outcome);
        else if (journal)
            journal->take(outcome);
    };
    Link *link = &m_link;
    // The exchange and its one retry belong to the link, not to this object:
    // a write issued as it goes still completes (and retries).
    link->Set_4X_D1(port, station, w.reg, value, link, [=](const LinkResult &r) {
        if (r.result == kModbusFail)
            link->Set_4X_D1(port, station, w.reg, value, link, [done](const LinkResult &again) { done(again, 2); });
        else
            done(r, 1);
    });
    return w.ticket;
}

std::optional<int32_t> ParamAccess::lastRead(int reg) const
{
    if (reg < 1 || reg > kParamCount || !m_readBack.Block[(reg - 1) / 16].read)
        return std::nullopt;
    return m_readBack.Reg_4X[reg - 1];
}

void ParamAccess::finish(const ParamWrite &w)
{
    if (m_journal)
        m_journal->take(w);
    emit writeFinished(w);
}
