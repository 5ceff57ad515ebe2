#include "app/params_command.h"

#include "app/cli.h"
#include "app/language.h"
#include "app/link_options.h"
#include "app/session.h"
#include "config/link_text.h"
#include "config/param_set.h"
#include "config/param_set_text.h"
#include "config/param_text.h"
#include "logging/log_db.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTextStream>
#include <QTranslator>

#include <functional>
#include <memory>
#include <optional>

#ifndef QR_VERSION
#error "QR_VERSION must be defined by the build"
#endif

namespace {

constexpr int kOk = 0, kFailed = 1, kUsage = 2;

void say(const QString &line)
{
    QTextStream(stderr) << line << Qt::endl;
}

void print(const QString &line)
{
    QTextStream(stdout) << line << Qt::endl;
}

int fail(int code, const QString &line)
{
    say(QStringLiteral("qr5300m params: ") + line);
    return code;
}

enum class Verb { Read, Diff, Write };

// What the command line asks for.
struct Request {
    Verb verb = Verb::Read;
    QString file;   // diff, write: the set's file; read: --out
    LinkChoice link;
    QString line;   // the port or device as given (or remembered)
    std::optional<int> withStation;
    RestoreOptions restore;
    bool dryRun = false, force = false;
    DbLocation db;
};

// The verb, its file and the options that belong to it.
std::optional<QString> takeVerb(const QCommandLineParser &parser, const CliOptions &o, Request &r)
{
    const QStringList args = parser.positionalArguments().mid(1);
    const QString verb = args.value(0);
    if (verb == QLatin1String("read"))
        r.verb = Verb::Read;
    else if (verb == QLatin1String("diff"))
        r.verb = Verb::Diff;
    else if (verb == QLatin1String("write"))
        r.verb = Verb::Write;
    else
        return verb.isEmpty() ? QCoreApplication::translate("ParamsCommand", "缺少 read、diff 或 write") : QCoreApplication::translate("ParamsCommand", "未知的命令：%1（应为 read、diff 或 write）").arg(verb);
    if (args.size() > 2)
        return QCoreApplication::translate("ParamsCommand", "多余的参数：%1").arg(args.mid(2).join(u' '));
    const QString given = QStringLiteral("--%1");
    for (const QCommandLineOption *opt :
         {&o.withStation, &o.out, &o.all, &o.includeComm, &o.dryRun, &o.force, &o.db, &o.dataDir}) {
        const bool allowed = (opt == &o.withStation && r.verb == Verb::Diff) || (opt == &o.out && r.verb == Verb::Read)
                             || (opt != &o.withStation && opt != &o.out && r.verb == Verb::Write);
        if (parser.isSet(*opt) && !allowed)
            return QCoreApplication::translate("ParamsCommand", "%1 不能用于 %2").arg(given.arg(opt->names().constFirst()), verb);
    }
    r.file = r.verb == Verb::Read ? parser.value(o.out) : args.value(1);
    if (r.verb == Verb::Read && (args.size() > 1 || r.file.isEmpty()))
        return args.size() > 1 ? QCoreApplication::translate("ParamsCommand", "多余的参数：%1").arg(args.value(1)) : QCoreApplication::translate("ParamsCommand", "缺少 --out");
    if (r.verb == Verb::Diff && r.file.isEmpty() == !parser.isSet(o.withStation))
        return QCoreApplication::translate("ParamsCommand", "diff 需要一个参数文件或 --with-station，二者只取其一");
    if (r.verb == Verb::Write && r.file.isEmpty())
        return QCoreApplication::translate("ParamsCommand", "缺少参数文件");
    if (parser.isSet(o.withStation)) {
        bool ok = false;
        const int s = parser.value(o.withStation).toInt(&ok);
        if (!ok || s < 1 || s > 247)
            return QCoreApplication::translate("ParamsCommand", "--with-station 应为 1..247：%1").arg(parser.value(o.withStation));
        r.withStation = s;
    }
    QString usage;
    const auto db = dbLocationGiven(parser, o, usage);
    if (!db)
        return usage;
    r.db = *db;
    r.restore = RestoreOptions{parser.isSet(o.all), parser.isSet(o.includeComm)};
    r.dryRun = parser.isSet(o.dryRun);
    r.force = parser.isSet(o.force);
    return std::nullopt;
}

// The whole request, or the usage error.
std::optional<QString> takeRequest(const QCommandLineParser &parser, const CliOptions &o, Request &r)
{
    if (auto usage = takeVerb(parser, o, r))
        return usage;
    if (auto usage = takeRemembered(parser, o, r.link))
        return usage;
    if (auto usage = takeLinkOptions(parser, o, r.link))
        return usage;
    QList<int32_t> stations;
    if (auto usage = takeStations(parser, o, stations))
        return usage;
    if (stations.size() > 1)
        return QCoreApplication::translate("ParamsCommand", "--station 只能是一个站号：%1").arg(parser.value(o.station));
    if (!stations.isEmpty())
        r.link.par[3] = stations.constFirst();
    if (parser.isSet(o.port))
        r.line = parser.value(o.port);
    else
        r.line = r.link.devicePath.isEmpty() ? QString::number(r.link.par[0]) : r.link.devicePath;
    return std::nullopt;
}

// Runs start, which hands its one result to the function it is given, and
// waits in an event loop for that result.
template <class T>
T await(const std::function<void(std::function<void(const T &)>)> &start)
{
    QEventLoop loop;
    std::optional<T> result;
    start([&](const T &r) {
        result = r;
        loop.quit();
    });
    if (!result)
        loop.exec();
    return *result;
}

// The instrument on the line of a request, with its link open.
class Instrument {
public:
    explicit Instrument(const Request &r) : m_request(r) {}

    // Opens the link, not remembering its settings; the failure in words.
    std::optional<QString> open()
    {
        const auto result = await<LinkOpenResult>([this](auto done) {
            QObject::connect(&m_session.linkControl, &LinkControl::opened, &m_ctx, done, Qt::SingleShotConnection);
            m_session.linkControl.open(m_request.link, LinkControl::Remember::No);
        });
        if (result.ok())
            return std::nullopt;
        return openFailureText(result.error, result.port, result.devicePath);
    }
    void close() { m_session.linkControl.close(); }

    // All 48 registers of station (the request's when 0), or none.
    ParamSetRead readAll(int station = 0)
    {
        m_session.settings.Link_Par[3] = station > 0 ? station : m_request.link.par[3];
        return await<ParamSetRead>([this](auto done) { m_session.params.readAll(&m_ctx, done); });
    }
    // Writes the values in order with the echo check, up to the first that
    // fails, then reads them back.
    QList<ParamWrite> write(const QList<QPair<int, int32_t>> &values)
    {
        return await<QList<ParamWrite>>(
            [this, &values](auto done) { m_session.params.writeAllChecked(values, &m_ctx, done); });
    }
    WriteJournal &journal() { return m_session.journal; }

    ParamSetId idOf(int station) const
    {
        const QDateTime now = QDateTime::currentDateTime();
        return ParamSetId{QStringLiteral(QR_VERSION), QString::fromLatin1(kModelText), m_request.line, station,
                          now.toOffsetFromUtc(now.offsetFromUtc())};
    }

private:
    const Request &m_request;
    InstrumentSession m_session;
    QObject m_ctx;
};

// Prints the differences between left and right, or the one line saying
// there are none; true when they differ.
bool printDiff(const int32_t left[kParamCount], const int32_t right[kParamCount], const QString &leftName,
               const QString &rightName)
{
    const QList<ParamDiff> diffs = compareSets(left, right);
    if (diffs.isEmpty()) {
        print(paramSetsEqualText());
        return false;
    }
    print(paramDiffHeading(leftName, rightName));
    for (const ParamDiff &d : diffs)
        print(paramDiffRow(d));
    return true;
}

int runRead(const Request &r, Instrument &instrument)
{
    const ParamSetRead read = instrument.readAll();
    if (!read.ok())
        return fail(kFailed, paramReadFailureText(read));
    const ParamSet set = paramSetOf(read.values, instrument.idOf(r.link.par[3]));
    if (const ParamFileError e = saveParamSet(set, r.file); !e.ok())
        return fail(kFailed, paramFileText(r.file, e));
    print(QCoreApplication::translate("ParamsCommand", "已保存 %1 个参数：%2").arg(kParamCount).arg(r.file));
    return kOk;
}

int runDiff(const Request &r, Instrument &instrument, const ParamSet &file)
{
    const ParamSetRead here = instrument.readAll();
    if (!here.ok())
        return fail(kUsage, paramReadFailureText(here));
    if (!r.withStation)
        return printDiff(file.values, here.values, r.file, QCoreApplication::translate("ParamsCommand", "站 %1").arg(r.link.par[3])) ? kFailed : kOk;
    const ParamSetRead there = instrument.readAll(*r.withStation);
    if (!there.ok())
        return fail(kUsage, paramReadFailureText(there));
    return printDiff(here.values, there.values, QCoreApplication::translate("ParamsCommand", "站 %1").arg(r.link.par[3]), QCoreApplication::translate("ParamsCommand", "站 %1").arg(*r.withStation)) ? kFailed
                                                                                                              : kOk;
}

// The journal of the log database, as the configuration window's writes
// are journaled; nothing (with one line saying so) when it cannot be opened.
std::unique_ptr<DbConn> openJournal(DbFiles &files, WriteJournal &journal)
{
    auto conn = std::make_unique<DbConn>(files, QStringLiteral("Params_Conn"), DbConn::Role::Writer);
    if (!conn->open()) {
        say(QCoreApplication::translate("ParamsCommand", "写入不会记入日志：无法打开数据库 %1").arg(conn->path()));
        return nullptr;
    }
    QObject::connect(&journal, &WriteJournal::paramEvent, &journal, [c = conn.get()](const HistoryEvent &e) {
        if (!c->recordEvent(e))
            say(QCoreApplication::translate("ParamsCommand", "写入未能记入日志：%1").arg(c->path()));
    });
    return conn;
}

// Writes the plan's writes in order, up to the first that fails; true when
// every one was written and read back as written.
bool writePlan(const QList<PlannedWrite> &plan, Instrument &instrument)
{
    QList<QPair<int, int32_t>> values;
    for (const PlannedWrite &p : plan)
        if (p.step == RestoreStep::Write)
            values.append({p.reg, p.value});
    const QList<ParamWrite> outcomes = instrument.write(values);
    int written = 0;
    for (const ParamWrite &w : outcomes) {
        print(restoreOutcomeText(w));
        written += w.outcome == ParamWrite::Outcome::Written ? 1 : 0;
    }
    // The run stopped at a failed write: the rest was not attempted.
    for (qsizetype i = outcomes.size(); i < values.size(); ++i)
        print(notAttemptedText(values.at(i).first));
    print(QCoreApplication::translate("ParamsCommand", "已写入并确认 %1 个参数").arg(written));
    return written == values.size();
}

int runWrite(const Request &r, Instrument &instrument, const ParamSet &file)
{
    if (file.id.model != QLatin1String(kModelText) && !r.force)
        return fail(kFailed, QCoreApplication::translate("ParamsCommand", "参数文件的型号 %1 与仪表 %2 不同（--force 仍然写入）").arg(file.id.model, QLatin1String(kModelText)));
    const ParamSetRead here = instrument.readAll();
    if (!here.ok())
        return fail(kFailed, paramReadFailureText(here));
    printDiff(file.values, here.values, r.file, QCoreApplication::translate("ParamsCommand", "站 %1").arg(r.link.par[3]));
    const QList<PlannedWrite> plan = planRestore(file, here.values, r.restore);
    bool refused = false;
    for (const PlannedWrite &p : plan) {
        if (p.step == RestoreStep::Write && r.dryRun)
            print(QCoreApplication::translate("ParamsCommand", "%1：将写入 %2").arg(paramCaption(p.reg), paramValueText(p.reg, p.value)));
        if (p.step == RestoreStep::Write)
            continue;
        print(plannedSkipText(p));
        refused = refused || p.step == RestoreStep::Refused;
        if (p.step == RestoreStep::Refused && !r.dryRun) {
            ParamWrite entry = p.check; // journaled as a refused entry of the window is
            entry.before = p.current;
            instrument.journal().take(entry);
        }
    }
    if (r.dryRun)
        return refused ? kFailed : kOk;
    return writePlan(plan, instrument) && !refused ? kOk : kFailed;
}

} // namespace

int runParams(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTranslator translator; // as the window: --lang, QR5300M_LANG, the remembered choice
    startInChosenLanguage(&translator);

    QCommandLineParser parser;
    const CliOptions o;
    addModeOptions(parser, o, RunMode::Params);
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(kUsage, parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        QTextStream(stdout) << parser.helpText();
        return kOk;
    }
    Request r;
    if (const auto usage = takeRequest(parser, o, r))
        return fail(kUsage, *usage);

    // The file first: a set that cannot be read needs no link.
    ParamSet file;
    if (r.verb != Verb::Read && !r.file.isEmpty()) {
        if (const ParamFileError e = loadParamSet(r.file, file); !e.ok())
            return fail(r.verb == Verb::Diff ? kUsage : kFailed, paramFileText(r.file, e));
    }
    Clock clock;
    DbFiles files(clock, r.db);
    std::unique_ptr<DbConn> journal; // outlives the session whose writes it records
    Instrument instrument(r);
    if (const auto why = instrument.open())
        return fail(r.verb == Verb::Diff ? kUsage : kFailed, *why);
    if (r.verb == Verb::Write && !r.dryRun)
        journal = openJournal(files, instrument.journal());
    int rc = kOk;
    switch (r.verb) {
    case Verb::Read:
        rc = runRead(r, instrument);
        break;
    case Verb::Diff:
        rc = runDiff(r, instrument, file);
        break;
    case Verb::Write:
        rc = runWrite(r, instrument, file);
        break;
    }
    instrument.close();
    return rc;
}
