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

void ParamAccess::writeChecked(int reg, int32_t value, QObject *ctx, std::function<void(const ParamWrite &)> done)
{
    ParamWrite w;
    w.reg = reg;
    w.before = lastRead(reg);
    QPointer<QObject> receiver(ctx);
    auto tell = [this, receiver, done](const ParamWrite &outcome) {
        finish(outcome);
        if (receiver && done)
            done(outcome);
    };
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
