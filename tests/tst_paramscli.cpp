// `qr5300m params` as a real process against the real simulator on a
// pseudo-terminal, journaling into a real database: a set saved, changed on
// the instrument, compared and restored; the communication settings left
// alone unless asked; refusals and failures reported per parameter with
// nothing false in the journal; a set cloned between two stations of one
// line; usage errors.
#include "config/param_set.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

struct Run {
    int code = -1;
    QString out, err;
};

// Registers and raw values.
using Values = QList<QPair<int, int>>;

} // namespace

class TestParamsCli : public QObject {
    Q_OBJECT
private slots:
    void roundTrip();
    void commSettings_data();
    void commSettings();
    void perParameter_data();
    void perParameter();
    void cloneBetweenStations();
    void usageErrors_data();
    void usageErrors();

private:
    QTemporaryDir m_dir;

    Run params(const QStringList &args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path()); // nothing remembered
        env.insert(QStringLiteral("QR5300M_DB"), m_dir.filePath(QStringLiteral("default.db")));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(QR_APP_PATH), QStringList{QStringLiteral("params")} + args);
        if (!p.waitForFinished(30000))
            return {};
        return Run{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
                   QString::fromUtf8(p.readAllStandardError())};
    }
    static int hr(SimProcess &sim, int reg, int station = 0)
    {
        const QString at = station ? QStringLiteral("@%1 ").arg(station) : QString();
        const QString answer = sim.command(QStringLiteral("%1get hr %2").arg(at).arg(reg));
        return answer.startsWith(QLatin1String("ok ")) ? answer.mid(3).toInt() : -99999;
    }
    static bool setHr(SimProcess &sim, int reg, int value, int station = 0)
    {
        const QString at = station ? QStringLiteral("@%1 ").arg(station) : QString();
        return sim.command(QStringLiteral("%1set hr %2 %3").arg(at).arg(reg).arg(value)) == QLatin1String("ok");
    }
    // The registers of the difference table printed (its first column).
    static QList<int> diffRegisters(const QString &out)
    {
        QList<int> regs;
        for (const QString &line : out.split(u'\n')) {
            bool ok = false;
            const int reg = line.section(u'\t', 0, 0).toInt(&ok);
            if (ok && line.contains(u'\t'))
                regs << reg;
        }
        return regs;
    }
    // The parameter events of the journal as "kind:reg".
    static QStringList journal(const QString &db)
    {
        QStringList out;
        const auto rows = sqlRows(db, QStringLiteral("SELECT ev_kind, ev_reg FROM qr_events WHERE ev_kind LIKE 'param%' "
                                                     "ORDER BY ev_id"));
        for (const QVariantList &r : rows)
            out << QStringLiteral("%1:%2").arg(r.value(0).toString()).arg(r.value(1).toInt());
        return out;
    }
    // Changes the saved file: registers to values (beyond 48: added), and
    // the model when given.
    static bool editFile(const QString &path, const Values &values, const QString &model = QString())
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
        f.close();
        QJsonArray a = o.value(QStringLiteral("parameters")).toArray();
        for (const auto &[reg, raw] : values) {
            if (reg <= kParamCount) {
                QJsonObject e = a.at(reg - 1).toObject();
                e.insert(QStringLiteral("raw"), raw);
                a.replace(reg - 1, e);
            } else {
                a.append(QJsonObject{{QStringLiteral("register"), reg}, {QStringLiteral("caption"), QString()},
                                     {QStringLiteral("raw"), raw}, {QStringLiteral("text"), QString::number(raw)}});
            }
        }
        o.insert(QStringLiteral("parameters"), a);
        if (!model.isEmpty()) {
            QJsonObject id = o.value(QStringLiteral("identification")).toObject();
            id.insert(QStringLiteral("model"), model);
            o.insert(QStringLiteral("identification"), id);
        }
        const QByteArray json = QJsonDocument(o).toJson();
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(json) == json.size();
    }
};

// Save, change three parameters on the instrument, compare, restore exactly
// those three, compare again.
void TestParamsCli::roundTrip()
{
    QTemporaryDir dir;
    SimProcess sim(dir.path());
    QVERIFY(sim.isReady());
    const QString file = dir.filePath(QStringLiteral("set.json")), db = dir.filePath(QStringLiteral("log.db"));
    const QStringList link{QStringLiteral("--port"), sim.devicePath()};

    Run r = params(QStringList{QStringLiteral("read"), QStringLiteral("--out"), file} + link);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    ParamSet saved;
    QVERIFY(loadParamSet(file, saved).ok());
    for (int reg = 1; reg <= kParamCount; ++reg)
        QCOMPARE(saved.values[reg - 1], hr(sim, reg));
    QCOMPARE(saved.id.line, sim.devicePath());
    QCOMPARE(saved.id.station, 1);
    QCOMPARE(saved.id.model, QStringLiteral("QR5300M"));

    const Values changed{{1, saved.values[0] + 11}, {29, -12}, {47, 2}};
    for (const auto &[reg, value] : changed)
        QVERIFY(setHr(sim, reg, value));
    r = params(QStringList{QStringLiteral("diff"), file} + link);
    QCOMPARE(r.code, 1);
    QCOMPARE(diffRegisters(r.out), (QList<int>{1, 29, 47}));

    const int writesBefore = simStat(sim, QStringLiteral("writes"));
    r = params(QStringList{QStringLiteral("write"), file, QStringLiteral("--db"), db} + link);
    QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
    QCOMPARE(simStat(sim, QStringLiteral("writes")) - writesBefore, 3);
    for (const auto &[reg, value] : changed)
        QCOMPARE(hr(sim, reg), saved.values[reg - 1]);
    QCOMPARE(journal(db), (QStringList{QStringLiteral("param_written:1"), QStringLiteral("param_written:29"),
                                       QStringLiteral("param_written:47")}));

    r = params(QStringList{QStringLiteral("diff"), file} + link);
    QCOMPARE(r.code, 0);
    QCOMPARE(diffRegisters(r.out), QList<int>());
}

void TestParamsCli::commSettings_data()
{
    QTest::addColumn<bool>("includeComm");
    QTest::newRow("left alone") << false;
    QTest::newRow("written when asked") << true;
}

// The station address, baud rate, parity and delay differ from the file:
// a restore writes them only with --include-comm; the rest either way.
void TestParamsCli::commSettings()
{
    QFETCH(bool, includeComm);
    QTemporaryDir dir;
    SimProcess sim(dir.path());
    QVERIFY(sim.isReady());
    const QString file = dir.filePath(QStringLiteral("set.json"));
    const QStringList link{QStringLiteral("--port"), sim.devicePath()};
    QVERIFY(params(QStringList{QStringLiteral("read"), QStringLiteral("--out"), file} + link).code == 0);
    const Values comm{{17, 9}, {18, 2}, {19, 1}, {20, 30}}, other{{2, 1234}};
    Values before;
    for (const auto &[reg, value] : comm + other) {
        before.append({reg, hr(sim, reg)});
        QVERIFY(setHr(sim, reg, value));
    }
    QStringList args{QStringLiteral("write"), file, QStringLiteral("--db"), dir.filePath(QStringLiteral("log.db"))};
    if (includeComm)
        args << QStringLiteral("--include-comm");
    const Run r = params(args + link);
    QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
    for (const auto &[reg, value] : comm)
        QCOMPARE(hr(sim, reg), includeComm ? before.at(comm.indexOf({reg, value})).second : value);
    QCOMPARE(hr(sim, 2), before.constLast().second);
    QCOMPARE(r.out.count(QStringLiteral("--include-comm")), includeComm ? 0 : 4);
}

void TestParamsCli::perParameter_data()
{
    QTest::addColumn<Values>("file");       // changed in the saved file
    QTest::addColumn<QString>("model");     // of the file, when changed
    QTest::addColumn<QString>("fault");     // simulator fault before the write
    QTest::addColumn<QStringList>("extra"); // more arguments
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("said");    // lines of standard output, in order (fragments)
    QTest::addColumn<Values>("instrument");   // registers as they are afterwards
    QTest::addColumn<QStringList>("journal"); // parameter events
    const QString none;
    QTest::newRow("out of range") << Values{{29, 900}, {1, 555}} << none << none << QStringList() << 1
                                  << QStringList{QStringLiteral("平移修正"), QStringLiteral("-500～500"), QStringLiteral("CH1设定值SV：已写入并读回确认（555）")}
                                  << Values{{29, 0}, {1, 555}}
                                  << QStringList{QStringLiteral("param_refused:29"), QStringLiteral("param_written:1")};
    QTest::newRow("register that is no parameter") << Values{{49, 1}, {1, 555}} << none << none << QStringList() << 1
                                                   << QStringList{QStringLiteral("寄存器 49 不是可写的参数"), QStringLiteral("CH1设定值SV：已写入并读回确认")}
                                                   << Values{{1, 555}}
                                                   << QStringList{QStringLiteral("param_refused:49"), QStringLiteral("param_written:1")};
    QTest::newRow("wrong echo stops the run") << Values{{1, 555}, {3, 556}} << none << QStringLiteral("wecho value")
                                              << QStringList() << 1
                                              << QStringList{QStringLiteral("CH1设定值SV：写入失败"), QStringLiteral("CH2设定值SV：未写入（写入已中止）"), QStringLiteral("已写入并确认 0 个参数")}
                                              << Values{{3, 300}} << QStringList{QStringLiteral("param_failed:1")};
    QTest::newRow("instrument refusing writes stops the run")
        << Values{{1, 555}, {3, 556}} << none << QStringLiteral("wexc 4") << QStringList() << 1
        << QStringList{QStringLiteral("CH1设定值SV：写入失败"), QStringLiteral("CH2设定值SV：未写入（写入已中止）")}
        << Values{{1, 250}, {3, 300}} << QStringList{QStringLiteral("param_failed:1")};
    // The line breaks after the first write's echo: that write is not
    // confirmed (nor called failed), the run stops, nothing is journaled as
    // written.
    QTest::newRow("link lost after the first write")
        << Values{{1, 555}, {3, 556}, {5, 557}} << none << QStringLiteral("dropafter 1") << QStringList() << 1
        << QStringList{QStringLiteral("CH1设定值SV：已写入 555，但未能读回确认"), QStringLiteral("CH2设定值SV：写入失败"),
                       QStringLiteral("CH3设定值SV：未写入（写入已中止）"), QStringLiteral("已写入并确认 0 个参数")}
        << Values{{1, 555}, {3, 300}} << QStringList{QStringLiteral("param_failed:1"), QStringLiteral("param_failed:3")};
    QTest::newRow("instrument silent: nothing written") << Values{{1, 555}} << none << QStringLiteral("silent") << QStringList() << 1
                                                       << QStringList{QStringLiteral("寄存器 1～16 读取失败")} << Values{{1, 250}}
                                                       << QStringList();
    QTest::newRow("another model") << Values{{1, 555}} << QStringLiteral("QR5300X") << none << QStringList() << 1
                                   << QStringList{QStringLiteral("QR5300X"), QStringLiteral("--force")} << Values{{1, 250}} << QStringList();
    QTest::newRow("another model, forced") << Values{{1, 555}} << QStringLiteral("QR5300X") << none
                                           << QStringList{QStringLiteral("--force")} << 0
                                           << QStringList{QStringLiteral("CH1设定值SV：已写入并读回确认")} << Values{{1, 555}}
                                           << QStringList{QStringLiteral("param_written:1")};
    QTest::newRow("dry run") << Values{{1, 555}, {29, 900}} << none << none << QStringList{QStringLiteral("--dry-run")} << 1
                             << QStringList{QStringLiteral("CH1设定值SV：将写入 555"), QStringLiteral("-500～500")}
                             << Values{{1, 250}} << QStringList();
}

void TestParamsCli::perParameter()
{
    QFETCH(Values, file);
    QFETCH(QString, model);
    QFETCH(QString, fault);
    QFETCH(QStringList, extra);
    QFETCH(int, code);
    QFETCH(QStringList, said);
    QFETCH(Values, instrument);
    QFETCH(QStringList, journal);
    QTemporaryDir dir;
    SimProcess sim(dir.path());
    QVERIFY(sim.isReady());
    // The values the rows expect to find untouched.
    QVERIFY(setHr(sim, 1, 250) && setHr(sim, 3, 300) && setHr(sim, 29, 0));
    const QString path = dir.filePath(QStringLiteral("set.json")), db = dir.filePath(QStringLiteral("log.db"));
    const QStringList link{QStringLiteral("--port"), sim.devicePath()};
    QVERIFY(params(QStringList{QStringLiteral("read"), QStringLiteral("--out"), path} + link).code == 0);
    QVERIFY(editFile(path, file, model));
    if (!fault.isEmpty())
        QCOMPARE(sim.command(QStringLiteral("fault ") + fault), QStringLiteral("ok"));
    const Run r = params(QStringList{QStringLiteral("write"), path, QStringLiteral("--db"), db} + extra + link);
    QVERIFY2(r.code == code, qPrintable(r.out + r.err));
    const QString told = r.out + r.err;
    qsizetype at = 0;
    for (const QString &fragment : said) {
        at = told.indexOf(fragment, at);
        QVERIFY2(at >= 0, qPrintable(fragment + QStringLiteral(" not in:\n") + told));
    }
    QVERIFY(sim.command(QStringLiteral("fault none")).startsWith(QLatin1String("ok")));
    for (const auto &[reg, value] : instrument)
        QCOMPARE(hr(sim, reg), value);
    QCOMPARE(this->journal(db), journal);
}

// Two instruments on one line: the set of station 1 onto station 2, whose
// own address stays.
void TestParamsCli::cloneBetweenStations()
{
    QTemporaryDir dir;
    SimProcess sim(dir.path(), 1, {QStringLiteral("--stations"), QStringLiteral("1,2")});
    QVERIFY(sim.isReady());
    const Values changed{{1, 701}, {25, 11}, {46, 35}};
    for (const auto &[reg, value] : changed)
        QVERIFY(setHr(sim, reg, value, 1));
    const QString file = dir.filePath(QStringLiteral("one.json"));
    const QStringList link{QStringLiteral("--port"), sim.devicePath()};
    const QStringList one{QStringLiteral("--station"), QStringLiteral("1")}, two{QStringLiteral("--station"), QStringLiteral("2")};
    Run r = params(QStringList{QStringLiteral("diff"), QStringLiteral("--with-station"), QStringLiteral("2")} + one + link);
    QCOMPARE(r.code, 1);
    QCOMPARE(diffRegisters(r.out), (QList<int>{1, 17, 25, 46}));
    QVERIFY(params(QStringList{QStringLiteral("read"), QStringLiteral("--out"), file} + one + link).code == 0);
    r = params(QStringList{QStringLiteral("write"), file, QStringLiteral("--db"), dir.filePath(QStringLiteral("log.db"))} + two + link);
    QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
    for (const auto &[reg, value] : changed)
        QCOMPARE(hr(sim, reg, 2), value);
    QCOMPARE(hr(sim, 17, 2), 2);
    r = params(QStringList{QStringLiteral("diff"), QStringLiteral("--with-station"), QStringLiteral("2")} + one + link);
    QCOMPARE(r.code, 1);
    QCOMPARE(diffRegisters(r.out), QList<int>{17});
}

void TestParamsCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("said");
    const QString file = m_dir.filePath(QStringLiteral("any.json"));
    QTest::newRow("no command") << QStringList() << QStringLiteral("read");
    QTest::newRow("unknown command") << QStringList{QStringLiteral("copy")} << QStringLiteral("copy");
    QTest::newRow("read without --out") << QStringList{QStringLiteral("read")} << QStringLiteral("--out");
    QTest::newRow("diff of nothing") << QStringList{QStringLiteral("diff")} << QStringLiteral("--with-station");
    QTest::newRow("diff of a file and a station")
        << QStringList{QStringLiteral("diff"), file, QStringLiteral("--with-station"), QStringLiteral("2")} << QStringLiteral("--with-station");
    QTest::newRow("station 0 to compare") << QStringList{QStringLiteral("diff"), QStringLiteral("--with-station"), QStringLiteral("0")}
                                          << QStringLiteral("1..247");
    QTest::newRow("--all with read") << QStringList{QStringLiteral("read"), QStringLiteral("--out"), file, QStringLiteral("--all")}
                                     << QStringLiteral("--all");
    QTest::newRow("write without a file") << QStringList{QStringLiteral("write")} << QStringLiteral("参数文件");
    QTest::newRow("two stations at once") << QStringList{QStringLiteral("read"), QStringLiteral("--out"), file, QStringLiteral("--station"), QStringLiteral("1,2")}
                                          << QStringLiteral("1,2");
    QTest::newRow("bad baud") << QStringList{QStringLiteral("read"), QStringLiteral("--out"), file, QStringLiteral("--baud"), QStringLiteral("1200")}
                              << QStringLiteral("--baud");
    QTest::newRow("diff of a file that is no set") << QStringList{QStringLiteral("diff"), m_dir.filePath(QStringLiteral("garbage"))}
                                                   << QStringLiteral("JSON");
}

void TestParamsCli::usageErrors()
{
    QFETCH(QStringList, args);
    QFETCH(QString, said);
    QFile garbage(m_dir.filePath(QStringLiteral("garbage")));
    QVERIFY(garbage.open(QIODevice::WriteOnly) && garbage.write("not a set") > 0);
    garbage.close();
    const Run r = params(args);
    QCOMPARE(r.code, 2);
    QCOMPARE(r.err.count(u'\n'), 1);
    QVERIFY2(r.err.startsWith(QLatin1String("qr5300m params: ")) && r.err.contains(said), qPrintable(r.err));
}

QTEST_GUILESS_MAIN(TestParamsCli)
#include "tst_paramscli.moc"
