// The alarm book and the limits of our own, on a clock the test sets: raise,
// clear and acknowledge in every order; limits with dead band and on-delay;
// chattering; the list's order by priority.
#include "core/alarm.h"

#include <QtTest>

namespace {

const QDateTime kStart(QDate(2026, 12, 8), QTime(8, 0, 0));

// One letter per change: R raised, C cleared, A acknowledged; "!" when it is
// to be notified; "@s" the second it happened.
QString changeText(const AlarmChange &c)
{
    const char letter = c.event == AlarmEvent::Raised ? 'R' : c.event == AlarmEvent::Cleared ? 'C' : 'A';
    return QStringLiteral("%1%2@%3").arg(QLatin1Char(letter)).arg(c.notify ? QStringLiteral("!") : QString()).arg(kStart.secsTo(c.time));
}

// "h:100" / "ll:0": one limit of channel 1; empty for none.
ChannelLimits limitsOf(const QString &limit, double deadBand, int delay)
{
    ChannelLimits l;
    l.deadBand = deadBand;
    l.onDelaySecs = delay;
    const QStringList p = limit.split(u':');
    if (p.size() != 2)
        return l;
    const double v = p[1].toDouble();
    if (p[0] == QLatin1String("hh"))
        l.highHigh = v;
    else if (p[0] == QLatin1String("h"))
        l.high = v;
    else if (p[0] == QLatin1String("l"))
        l.low = v;
    else
        l.lowLow = v;
    return l;
}

} // namespace

class TestAlarm : public QObject {
    Q_OBJECT
private slots:
    void states_data();
    void states();
    void order_data();
    void order();
};

// steps: r@s raise and c@s clear the channel 1 flag, a@s acknowledge all,
// vX@s the channel's value X for the limits.
void TestAlarm::states_data()
{
    QTest::addColumn<QString>("limit");
    QTest::addColumn<double>("deadBand");
    QTest::addColumn<int>("delay");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("changes");
    QTest::addColumn<QString>("listed"); // "" none, else a/c (active/cleared) + u/k (unacknowledged/acknowledged)

    QTest::newRow("raise") << "" << 0.0 << 0 << "r@0" << "R!@0" << "au";
    QTest::newRow("raise, ack") << "" << 0.0 << 0 << "r@0 a@1" << "R!@0 A@1" << "ak";
    QTest::newRow("raise, ack, clear: gone") << "" << 0.0 << 0 << "r@0 a@1 c@2" << "R!@0 A@1 C@2" << "";
    QTest::newRow("raise, clear: stays") << "" << 0.0 << 0 << "r@0 c@1" << "R!@0 C@1" << "cu";
    QTest::newRow("raise, clear, ack: gone") << "" << 0.0 << 0 << "r@0 c@1 a@2" << "R!@0 C@1 A@2" << "";
    QTest::newRow("ack with nothing") << "" << 0.0 << 0 << "a@0" << "" << "";
    QTest::newRow("ack twice") << "" << 0.0 << 0 << "r@0 a@1 a@2" << "R!@0 A@1" << "ak";
    QTest::newRow("raised again after ack") << "" << 0.0 << 0 << "r@0 a@1 c@2 r@3" << "R!@0 A@1 C@2 R!@3" << "au";
    QTest::newRow("raised again unacked") << "" << 0.0 << 0 << "r@0 c@1 r@2" << "R!@0 C@1 R!@2" << "au";
    QTest::newRow("raise twice") << "" << 0.0 << 0 << "r@0 r@1" << "R!@0" << "au";
    QTest::newRow("chattering told once")
        << "" << 0.0 << 0 << "r@0 c@1 r@2 c@3 r@4 c@5 r@6 c@7"
        << "R!@0 C@1 R!@2 C@3 R!@4 C!@5 R@6 C@7" << "cu";
    QTest::newRow("calm after a minute")
        << "" << 0.0 << 0 << "r@0 c@1 r@2 c@3 r@4 c@5 r@70"
        << "R!@0 C@1 R!@2 C@3 R!@4 C!@5 R!@70" << "au";
    QTest::newRow("five toggles: not chattering")
        << "" << 0.0 << 0 << "r@0 c@1 r@2 c@3 r@4" << "R!@0 C@1 R!@2 C@3 R!@4" << "au";
    QTest::newRow("high at the limit") << "h:100" << 5.0 << 0 << "v99@0 v100@1" << "R!@1" << "au";
    QTest::newRow("high in dead band stays") << "h:100" << 5.0 << 0 << "v101@0 v96@1" << "R!@0" << "au";
    QTest::newRow("high out of dead band clears") << "h:100" << 5.0 << 0 << "v101@0 v96@1 v94.9@2 a@3"
                                                   << "R!@0 C@2 A@3" << "";
    QTest::newRow("high-high ack then clear") << "hh:200" << 0.0 << 0 << "v250@0 a@1 v199@2" << "R!@0 A@1 C@2" << "";
    QTest::newRow("on-delay: raised after it") << "h:100" << 0.0 << 3 << "v101@0 v102@2 v101@3" << "R!@3" << "au";
    QTest::newRow("on-delay: broken off") << "h:100" << 0.0 << 3 << "v101@0 v99@2 v101@3 v101@5" << "" << "";
    QTest::newRow("on-delay: clears at once") << "l:10" << 0.0 << 2 << "v9@0 v9@2 v11@3" << "R!@2 C@3" << "cu";
    QTest::newRow("low-low dead band") << "ll:0" << 1.0 << 0 << "v1@0 v0@1 v0.5@2 v2@3" << "R!@1 C@3" << "cu";
    QTest::newRow("no limit, no alarm") << "" << 0.0 << 0 << "v1e9@0 v-1e9@1" << "" << "";
}

void TestAlarm::states()
{
    QFETCH(QString, limit);
    QFETCH(double, deadBand);
    QFETCH(int, delay);
    QFETCH(QString, steps);
    QFETCH(QString, changes);
    QFETCH(QString, listed);

    AlarmBook book(1);
    LimitCheck check;
    const ChannelLimits limits = limitsOf(limit, deadBand, delay);
    QStringList told;
    auto tell = [&](const std::optional<AlarmChange> &c) {
        if (c)
            told << changeText(*c);
    };
    for (const QString &step : steps.split(u' ', Qt::SkipEmptyParts)) {
        const qsizetype at = step.indexOf(u'@');
        const QDateTime now = kStart.addSecs(step.mid(at + 1).toInt());
        const QChar what = step[0];
        if (what == u'r' || what == u'c') {
            tell(book.set({1, AlarmKind::Flag}, what == u'r', 0, now));
        } else if (what == u'a') {
            for (const AlarmChange &c : book.acknowledge(std::nullopt, QStringLiteral("op"), QString(), now))
                tell(c);
        } else {
            const double v = step.mid(1, at - 1).toDouble();
            const std::array<bool, 4> on = check.step(limits, v, now);
            for (int i = 0; i < 4; ++i)
                tell(book.set({1, kLimitKinds[i]}, on[i], v, now));
        }
    }
    QCOMPARE(told.join(u' '), changes);
    const std::vector<Alarm> list = book.listed();
    QString state;
    for (const Alarm &a : list)
        state += QLatin1String(a.active ? "a" : "c") + QLatin1String(a.acknowledged ? "k" : "u");
    QCOMPARE(state, listed);
    QCOMPARE(book.unacknowledged(), int(listed.count(u'u')));
}

void TestAlarm::order_data()
{
    QTest::addColumn<QString>("raised"); // kind codes in the order raised, a second apart
    QTest::addColumn<QString>("listed"); // kind codes as listed
    QTest::newRow("open before high-high before alarm") << "0 4 1" << "1 4 0";
    QTest::newRow("short and low-low before high and link") << "5 3 7 2" << "2 7 5 3";
    QTest::newRow("same priority by time") << "6 0 5" << "6 0 5";
}

void TestAlarm::order()
{
    QFETCH(QString, raised);
    QFETCH(QString, listed);
    AlarmBook book(3);
    int s = 0;
    for (const QString &k : raised.split(u' '))
        QVERIFY(book.set({1, AlarmKind(k.toInt())}, true, 0, kStart.addSecs(s++)));
    QStringList got;
    for (const Alarm &a : book.listed())
        got << QString::number(int(a.key.kind));
    QCOMPARE(got.join(u' '), listed);
}

QTEST_GUILESS_MAIN(TestAlarm)
#include "tst_alarm.moc"
