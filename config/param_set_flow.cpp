#include "config/param_set_flow.h"

#include "config/param_access.h"
#include "config/param_set_text.h"
#include "config/write_journal.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>

#ifndef QR_VERSION
#error "QR_VERSION must be defined by the build"
#endif

namespace {

RestoreRow::Status statusOf(const ParamWrite &w)
{
    switch (w.outcome) {
    case ParamWrite::Outcome::Written:
        return RestoreRow::Status::Confirmed;
    case ParamWrite::Outcome::Refused:
        return RestoreRow::Status::Refused;
    case ParamWrite::Outcome::Failed:
    case ParamWrite::Outcome::NotConfirmed:
        break;
    }
    return RestoreRow::Status::Failed;
}

} // namespace

ParamSetFlow::ParamSetFlow(ParamAccess &access, QObject *parent) : QObject(parent), m_access(access)
{
}

bool ParamSetFlow::save(const QString &path)
{
    return start(Task::Save, path);
}

bool ParamSetFlow::compare(const QString &path)
{
    return start(Task::Compare, path);
}

bool ParamSetFlow::prepareWrite(const QString &path)
{
    return start(Task::Write, path);
}

bool ParamSetFlow::start(Task task, const QString &path)
{
    if (m_state != State::Idle || path.isEmpty())
        return false;
    m_task = task;
    m_path = path;
    if (task != Task::Save) {
        // The file first: a set that cannot be read needs no link.
        ParamSet file;
        if (const ParamFileError e = loadParamSet(path, file); !e.ok()) {
            fail(paramFileText(path, e));
            return true;
        }
        m_file = file;
    }
    setState(State::Reading);
    m_access.readAll(this, [this](const ParamSetRead &read) { instrumentRead(read); });
    return true;
}

void ParamSetFlow::instrumentRead(const ParamSetRead &read)
{
    if (m_state != State::Reading)
        return;
    if (!read.ok()) {
        fail(paramReadFailureText(read).replace(u'\n', QCoreApplication::translate("ParamSetFlow", "；")));
        return;
    }
    std::copy_n(read.values, kParamCount, m_instrument);
    switch (m_task) {
    case Task::Save:
        if (const ParamFileError e = saveParamSet(paramSetOf(m_instrument, idNow()), m_path); !e.ok()) {
            fail(paramFileText(m_path, e));
            return;
        }
        setState(State::Idle);
        emit saved(m_path);
        return;
    case Task::Compare:
        setState(State::Idle);
        emit compared(differences());
        return;
    case Task::Write:
        setState(State::Confirming);
        emit writeReady();
        return;
    case Task::None:
        break;
    }
    setState(State::Idle);
}

ParamSetId ParamSetFlow::idNow() const
{
    const LinkSettings &s = m_access.settings();
    const QString line = s.portPath.isEmpty() ? QString::number(s.Link_Par[0]) : s.portPath;
    const QDateTime now = QDateTime::currentDateTime();
    return ParamSetId{QStringLiteral(QR_VERSION), QString::fromLatin1(kModelText), line, s.Link_Par[3],
                      now.toOffsetFromUtc(now.offsetFromUtc())};
}

QList<ParamDiff> ParamSetFlow::differences() const
{
    return compareSets(m_file.values, m_instrument);
}

bool ParamSetFlow::otherModel() const
{
    return m_file.id.model != QLatin1String(kModelText);
}

bool ParamSetFlow::commDiffers() const
{
    const QList<ParamDiff> d = differences();
    return std::any_of(d.cbegin(), d.cend(), [](const ParamDiff &x) { return isCommParam(x.reg); });
}

bool ParamSetFlow::go(const RestoreOptions &options, bool otherModelConfirmed)
{
    if (m_state != State::Confirming)
        return false;
    if (otherModel() && !otherModelConfirmed) {
        fail(QCoreApplication::translate("ParamSetFlow", "参数文件的型号 %1 与仪表 %2 不同，未写入").arg(m_file.id.model, QLatin1String(kModelText)));
        return true;
    }
    const QList<PlannedWrite> plan = planRestore(m_file, m_instrument, options);
    QList<QPair<int, int32_t>> values;
    for (const PlannedWrite &p : plan) {
        if (p.step == RestoreStep::Write) {
            values.append({p.reg, p.value});
        } else if (p.step == RestoreStep::Refused) {
            // Journaled as a refused entry of the window is.
            ParamWrite entry = p.check;
            entry.before = p.current;
            if (WriteJournal *journal = m_access.journal())
                journal->take(entry);
        }
    }
    setState(State::Writing);
    m_access.writeAllChecked(values, this, [this, plan, values](const QList<ParamWrite> &outcomes) {
        writeDone(plan, values, outcomes);
    });
    return true;
}

void ParamSetFlow::writeDone(const QList<PlannedWrite> &plan, const QList<QPair<int, int32_t>> &values,
                             const QList<ParamWrite> &outcomes)
{
    QList<RestoreRow> rows;
    qsizetype next = 0; // the next outcome, in the order of values
    for (const PlannedWrite &p : plan) {
        RestoreRow row{p.reg, RestoreRow::Status::Refused, QString()};
        if (p.step == RestoreStep::Comm) {
            row.status = RestoreRow::Status::CommSkipped;
            row.text = QCoreApplication::translate("ParamSetFlow", "%1：通讯设置，未写入（需勾选“包括通讯设置”）").arg(paramCaption(p.reg));
        } else if (p.step == RestoreStep::Refused) {
            row.text = plannedSkipText(p);
        } else if (next < outcomes.size()) {
            const ParamWrite &w = outcomes.at(next++);
            row.status = statusOf(w);
            row.text = restoreOutcomeText(w);
        } else {
            row.status = RestoreRow::Status::NotAttempted;
            row.text = notAttemptedText(values.at(next++).first);
        }
        rows.append(row);
    }
    setState(State::Idle);
    emit written(rows);
}

void ParamSetFlow::cancel()
{
    if (m_state == State::Confirming)
        setState(State::Idle);
}

void ParamSetFlow::fail(const QString &message)
{
    setState(State::Idle);
    emit failed(message);
}

void ParamSetFlow::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}
