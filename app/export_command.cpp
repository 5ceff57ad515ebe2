#include "app/export_command.h"
#include "app/history_text.h"
#include "app/language.h"
#include "core/settings_file.h"

#include "logging/csv_export.h"
#include "logging/history_range.h"
#include "logging/log_db.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <QTranslator>

#include <cstdio>
#include <cstring>

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

bool isExportCommand(int argc, char **argv)
{
    return argc > 1 && std::strcmp(argv[1], "export") == 0;
}

int runExport(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qr5300m"));
    QTranslator translator; // as the window: --lang, QR5300M_LANG, the remembered choice
    installLanguage(chosenLanguage(QCoreApplication::arguments(), qEnvironmentVariable("QR5300M_LANG"), settingsFilePath()),
                    &translator);
    const QCommandLineOption lang(QStringLiteral("lang"), QStringLiteral("界面语言：zh 或 en"), QStringLiteral("lang"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("导出记录为 CSV 文件"));
    const QCommandLineOption from(QStringLiteral("from"), QStringLiteral("起始时间（本地时间，如 2026-12-08T03:00:00）"),
                                  QStringLiteral("time"));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("结束时间（含）"), QStringLiteral("time"));
    const QCommandLineOption ring(QStringLiteral("ring"), QStringLiteral("记录环：1s 或 10s（默认按时间范围选择）"),
                                  QStringLiteral("ring"));
    const QCommandLineOption db(QStringLiteral("db"), QStringLiteral("数据库文件（默认为本程序的数据库）"),
                                QStringLiteral("file"));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("输出的 CSV 文件"), QStringLiteral("file"));
    const QCommandLineOption events(QStringLiteral("events"), QStringLiteral("导出事件而不是记录"));
    parser.addOptions({from, to, ring, db, out, events, lang});
    parser.addPositionalArgument(QStringLiteral("export"), QStringLiteral("导出"));
    const QCommandLineOption help = parser.addHelpOption();

    if (!parser.parse(QCoreApplication::arguments()))
        return fail(kUsage, parser.errorText());
    if (parser.isSet(help)) {
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
    const QString path = parser.isSet(db) ? parser.value(db) : dbPath(false);

    HistoryRange range;
    HistoryError error;
    if (!readHistory(path, t0, t1, which, range, error))
        return fail(kFailed, historyReadText(error));
    const CsvResult written = exportCsv(range, parser.value(out), parser.isSet(events));
    return written.ok() ? 0 : fail(kFailed, csvExportText(written));
}
