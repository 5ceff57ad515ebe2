#include "app/export_command.h"
#include "app/cli.h"
#include "app/history_text.h"
#include "app/language.h"

#include "logging/csv_export.h"
#include "logging/history_range.h"
#include "logging/log_db.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <QTranslator>

#include <cstdio>

namespace {

constexpr int kUsage = 2, kFailed = 1;

int fail(int code, const QString &line)
{
    QTextStream(stderr) << "qr5300m export: " << line << '\n';
    return code;
}

QDateTime localTime(const QString &text)
{
    QDateTime t = QDateTime::fromString(text, Qt::ISODate);
    return t.isValid() ? t.toLocalTime() : t;
}

} // namespace

int runExport(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTranslator translator; // as the window: --lang, QR5300M_LANG, the remembered choice
    startInChosenLanguage(&translator);

    QCommandLineParser parser;
    const CliOptions o;
    addModeOptions(parser, o, RunMode::Export);
    const QCommandLineOption &from = o.from, &to = o.to, &ring = o.ring, &db = o.db, &out = o.out, &events = o.events;

    if (!parser.parse(QCoreApplication::arguments()))
        return fail(kUsage, parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        QTextStream(stdout) << parser.helpText();
        return 0;
    }
    if (parser.positionalArguments() != QStringList{QStringLiteral("export")})
        return fail(kUsage, QStringLiteral("多余的参数：%1").arg(parser.positionalArguments().mid(1).join(u' ')));
    for (const QCommandLineOption *o : {&from, &to, &out})
        if (!parser.isSet(*o))
            return fail(kUsage, QStringLiteral("缺少 --%1").arg(o->names().constFirst()));

    const QDateTime t0 = localTime(parser.value(from)), t1 = localTime(parser.value(to));
    if (!t0.isValid())
        return fail(kUsage, QStringLiteral("--from 不是时间：%1").arg(parser.value(from)));
    if (!t1.isValid())
        return fail(kUsage, QStringLiteral("--to 不是时间：%1").arg(parser.value(to)));
    if (t1 < t0)
        return fail(kUsage, QStringLiteral("--to 早于 --from"));
    std::optional<LogRing> which;
    if (parser.isSet(ring)) {
        const QString r = parser.value(ring);
        if (r == QLatin1String("1s"))
            which = LogRing::OneSecond;
        else if (r == QLatin1String("10s"))
            which = LogRing::TenSecond;
        else
            return fail(kUsage, QStringLiteral("--ring 只能是 1s 或 10s：%1").arg(r));
    }
    QString usage;
    std::optional<DbLocation> where = dbLocationGiven(parser, o, usage);
    if (!where)
        return fail(kUsage, usage);
    if (parser.isSet(o.station)) {
        // A station of several on a line: its own file in the folder.
        bool ok = false;
        const int station = parser.value(o.station).toInt(&ok);
        if (!ok || station < 1 || station > 247)
            return fail(kUsage, QStringLiteral("--station 应为 1..247：%1").arg(parser.value(o.station)));
        if (parser.isSet(db))
            return fail(kUsage, QStringLiteral("--db 与 --station 不能同时使用"));
        where = stationDbLocation(*where, station);
    }
    const QString path = where->path;

    HistoryRange range;
    HistoryError error;
    if (!readHistory(path, t0, t1, which, range, error))
        return fail(kFailed, historyReadText(error));
    const CsvResult written = exportCsv(range, parser.value(out), parser.isSet(events));
    return written.ok() ? 0 : fail(kFailed, csvExportText(written));
}
