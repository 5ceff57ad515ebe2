// Parameter-set files and restore plans without any link: a file read back
// is checked strictly (each hostile shape a typed fault naming the entry),
// and a restore writes only what differs, leaves the communication settings
// alone unless asked, and refuses per parameter what a typed entry would be
// refused.
#include "config/param_set.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

Q_DECLARE_METATYPE(ParamFileFault)

namespace {

// A set with every register at the bottom of its range.
ParamSet baseline()
{
    int32_t values[kParamCount];
    for (int k = 0; k < kParamCount; ++k)
        values[k] = kParam[k].min;
    const QDateTime taken(QDate(2026, 12, 8), QTime(21, 3), Qt::OffsetFromUTC, 3600);
    return paramSetOf(values, ParamSetId{QStringLiteral("1.0.0"), QString::fromLatin1(kModelText),
                                         QStringLiteral("/dev/ttyUSB0"), 3, taken});
}

using Edit = std::function<void(QJsonObject &)>;
// Registers and raw values of a file that differ from the instrument.
using Changes = QList<QPair<int, int>>;

// The baseline's file with one edit.
QByteArray edited(const Edit &edit)
{
    QJsonObject o = QJsonDocument::fromJson(paramSetJson(baseline())).object();
    edit(o);
    return QJsonDocument(o).toJson();
}

Edit entryField(int index, const char *field, const QJsonValue &v)
{
    return [=](QJsonObject &o) {
        QJsonArray a = o.value(QStringLiteral("parameters")).toArray();
        QJsonObject e = a.at(index).toObject();
        e.insert(QLatin1String(field), v);
        a.replace(index, e);
        o.insert(QStringLiteral("parameters"), a);
    };
}

Edit idField(const char *field, const QJsonValue &v)
{
    return [=](QJsonObject &o) {
        QJsonObject id = o.value(QStringLiteral("identification")).toObject();
        id.insert(QLatin1String(field), v);
        o.insert(QStringLiteral("identification"), id);
    };
}

Edit parameters(const std::function<void(QJsonArray &)> &change)
{
    return [=](QJsonObject &o) {
        QJsonArray a = o.value(QStringLiteral("parameters")).toArray();
        change(a);
        o.insert(QStringLiteral("parameters"), a);
    };
}

// A plan as "reg:W", "reg:C" or "reg:R<refusal>" tokens.
QString planText(const QList<PlannedWrite> &plan)
{
    QStringList out;
    for (const PlannedWrite &p : plan) {
        const char step = p.step == RestoreStep::Write ? 'W' : p.step == RestoreStep::Comm ? 'C' : 'R';
        QString t = QStringLiteral("%1:%2").arg(p.reg).arg(QLatin1Char(step));
        if (p.step == RestoreStep::Refused)
            t += QString::number(int(p.check.refusal));
        out << t;
    }
    return out.join(u' ');
}

} // namespace

class TestParamSet : public QObject {
    Q_OBJECT
private slots:
    void readFile_data();
    void readFile();
    void plan_data();
    void plan();
};

void TestParamSet::readFile_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<ParamFileFault>("fault");
    QTest::addColumn<int>("entry");
    QTest::addColumn<int>("reg");
    QTest::addColumn<QString>("field");
    using F = ParamFileFault;
    const auto row = [](const char *name, const QByteArray &json, F f, int entry = -1, int reg = 0, const char *field = "") {
        QTest::newRow(name) << json << f << entry << reg << QString::fromLatin1(field);
    };
    row("as written", edited([](QJsonObject &) {}), F::None);
    row("not JSON", "{\"format\": ", F::NotJson);
    row("an array", "[1, 2]", F::NotSet);
    row("another format", edited([](QJsonObject &o) { o.insert(QStringLiteral("format"), QStringLiteral("qr5300m-params 2")); }),
        F::NotSet, -1, 0, "format");
    row("identification missing", edited([](QJsonObject &o) { o.remove(QStringLiteral("identification")); }), F::BadField, -1, 0,
        "identification");
    row("station as text", edited(idField("station", QStringLiteral("3"))), F::BadField, -1, 0, "station");
    row("model a number", edited(idField("model", 5300)), F::BadField, -1, 0, "model");
    row("time without offset", edited(idField("taken", QStringLiteral("2026-12-08T21:03:00"))), F::BadField, -1, 0, "taken");
    row("parameters an object", edited([](QJsonObject &o) { o.insert(QStringLiteral("parameters"), QJsonObject()); }),
        F::BadField, -1, 0, "parameters");
    row("entry a number", edited(parameters([](QJsonArray &a) { a.replace(3, 7); })), F::BadEntry, 3);
    row("raw as text", edited(entryField(3, "raw", QStringLiteral("7"))), F::BadEntry, 3, 4, "raw");
    row("raw missing", edited(parameters([](QJsonArray &a) {
            QJsonObject e = a.at(3).toObject();
            e.remove(QStringLiteral("raw"));
            a.replace(3, e);
        })),
        F::BadEntry, 3, 4, "raw");
    row("caption a number", edited(entryField(3, "caption", 1)), F::BadEntry, 3, 0, "caption");
    row("raw a fraction", edited(entryField(3, "raw", 2.5)), F::RawRange, 3, 4, "raw");
    row("raw above 16 bits", edited(entryField(3, "raw", 32768)), F::RawRange, 3, 4, "raw");
    row("raw below 16 bits", edited(entryField(3, "raw", -32769)), F::RawRange, 3, 4, "raw");
    row("register 0", edited(entryField(5, "register", 0)), F::BadRegister, 5, 0, "register");
    row("register as text", edited(entryField(5, "register", QStringLiteral("6"))), F::BadRegister, 5, 0, "register");
    row("register twice", edited(entryField(5, "register", 3)), F::Duplicate, 5, 3);
    row("register left out", edited(parameters([](QJsonArray &a) { a.removeAt(10); })), F::Missing, -1, 11);
    row("a register beyond ours is kept", edited(parameters([](QJsonArray &a) {
            a.append(QJsonObject{{QStringLiteral("register"), 49}, {QStringLiteral("caption"), QString()},
                                 {QStringLiteral("raw"), 1}, {QStringLiteral("text"), QStringLiteral("1")}});
        })),
        F::None);
}

void TestParamSet::readFile()
{
    QFETCH(QByteArray, json);
    QFETCH(ParamFileFault, fault);
    QFETCH(int, entry);
    QFETCH(int, reg);
    QFETCH(QString, field);
    // Through a real file.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("set.json"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(json) == json.size());
    f.close();
    ParamSet set;
    const ParamFileError e = loadParamSet(path, set);
    QCOMPARE(e.kind, fault);
    QCOMPARE(e.entry, entry);
    QCOMPARE(e.reg, reg);
    QCOMPARE(e.field, field);
    if (fault != ParamFileFault::None)
        return;
    const ParamSet want = baseline();
    QVERIFY(std::equal(std::begin(want.values), std::end(want.values), set.values));
    QCOMPARE(set.id.station, want.id.station);
    QCOMPARE(set.id.line, want.id.line);
    QCOMPARE(set.id.taken, want.id.taken);
    QCOMPARE(set.id.taken.offsetFromUtc(), 3600);
}

void TestParamSet::plan_data()
{
    QTest::addColumn<Changes>("file");
    QTest::addColumn<bool>("all");
    QTest::addColumn<bool>("includeComm");
    QTest::addColumn<QString>("plan");
    using L = Changes;
    const int range = int(WriteRefusal::Range), notWritable = int(WriteRefusal::NotWritable);
    QTest::newRow("equal: nothing") << L{} << false << false << QString();
    QTest::newRow("three differ") << L{{1, 100}, {29, -5}, {46, 25}} << false << false << QStringLiteral("1:W 29:W 46:W");
    QTest::newRow("communication left alone") << L{{17, 5}, {18, 2}, {19, 1}, {20, 10}, {21, 2}} << false << false
                                              << QStringLiteral("17:C 18:C 19:C 20:C 21:W");
    QTest::newRow("communication asked for") << L{{17, 5}, {18, 2}, {19, 1}, {20, 10}} << false << true
                                             << QStringLiteral("17:W 18:W 19:W 20:W");
    QTest::newRow("out of range") << L{{29, 900}, {46, 101}} << false << false
                                  << QStringLiteral("29:R%1 46:R%1").arg(range);
    QTest::newRow("code not in the list") << L{{21, 0}} << false << false << QStringLiteral("21:R%1").arg(range);
    QTest::newRow("register beyond ours") << L{{49, 1}} << false << false << QStringLiteral("49:R%1").arg(notWritable);
    QStringList all;
    for (int reg = 1; reg <= kParamCount; ++reg)
        all << QStringLiteral("%1:%2").arg(reg).arg(QChar(isCommParam(reg) ? u'C' : u'W'));
    QTest::newRow("all, also the equal") << L{} << true << false << all.join(u' ');
}

void TestParamSet::plan()
{
    QFETCH(Changes, file);
    QFETCH(bool, all);
    QFETCH(bool, includeComm);
    QFETCH(QString, plan);
    const ParamSet instrument = baseline();
    ParamSet set = baseline();
    for (const auto &[reg, raw] : file) {
        if (reg <= kParamCount)
            set.values[reg - 1] = raw;
        else
            set.extra.append(ExtraEntry{reg, raw});
    }
    QCOMPARE(planText(planRestore(set, instrument.values, RestoreOptions{all, includeComm})), plan);
}

QTEST_GUILESS_MAIN(TestParamSet)
#include "tst_paramset.moc"
