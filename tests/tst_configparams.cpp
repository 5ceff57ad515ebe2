// The configuration window's parameter sets against the instrument
// simulator: "保存参数…" saves what the instrument holds, "比较…" shows what
// differs from a file, "写入参数…" writes what differs (the communication
// settings only when asked) and shows the outcome per parameter.
#include "screen_main.h"

#include "config/config1.h"
#include "config/param_set.h"
#include "config/param_set_flow.h"
#include "config/write_journal.h"
#include "link/link.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

class TestConfigParams : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void paramSets_data();
    void paramSets();

private:
    CONFIG1 *openWindow();
    QString sim(const QString &line) { return m_sim->command(line); }
    int simReg(int reg);
    // Register reg set in the simulator to a value other than the one it
    // holds; returns that value.
    int changeReg(int reg);
    bool saveTo(CONFIG1 *w, const QString &path);
    template <class T> T *waitFor(CONFIG1 *w, const char *name);
    void saveRow(CONFIG1 *w, const QString &path, bool silent, const QString &message);
    void compareRow(CONFIG1 *w, const ParamSet &file, const QMap<int, int> &now, QList<int> &shown);
    void writeRow(CONFIG1 *w, const QString &comm, bool otherModel, QList<int> &confirmed);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<Link> m_link;
    LinkSettings m_settings;
    Clock m_clock;
    std::unique_ptr<WriteJournal> m_journal;
    ReadBack m_readBack;
    QPointer<CONFIG1> m_win;
};

void TestConfigParams::initTestCase()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    qputenv("QR5300M_PORT_DIR", m_dir->path().toLocal8Bit());
    m_sim = std::make_unique<SimProcess>(m_dir->path());
    QVERIFY(m_sim->isReady());
    m_link = std::make_unique<Link>();
    int32_t result = -1;
    m_link->OpenPort_Modbus(1, 1, 0, this, [&result](const LinkResult &r) { result = r.result; });
    QTRY_COMPARE(result, kModbusOk);
}

void TestConfigParams::cleanupTestCase()
{
    m_link.reset();
    m_sim.reset();
}

void TestConfigParams::init()
{
    m_settings.Link_Par[0] = 1;
    m_settings.Link_Par[3] = 1;
    QCOMPARE(sim(QStringLiteral("fault none")), QStringLiteral("ok"));
    QCOMPARE(sim(QStringLiteral("reset")), QStringLiteral("ok"));
    m_journal = std::make_unique<WriteJournal>(m_clock);
}

void TestConfigParams::cleanup()
{
    if (m_win) {
        m_win->Keep_Open = 0;
        delete m_win;
    }
    QCOMPARE(sim(QStringLiteral("fault none")), QStringLiteral("ok"));
    QTRY_COMPARE_WITH_TIMEOUT(m_link->pending(), 0, 10000);
}

CONFIG1 *TestConfigParams::openWindow()
{
    auto *w = new CONFIG1(*m_link, m_settings, m_readBack, m_journal.get());
    m_win = w;
    w->Form_Load();
    w->show();
    return w;
}

int TestConfigParams::simReg(int reg)
{
    const QString answer = sim(QStringLiteral("get hr %1").arg(reg));
    return answer.startsWith(QLatin1String("ok ")) ? answer.mid(3).toInt() : -99999;
}

int TestConfigParams::changeReg(int reg)
{
    // Two values the register takes; the one it does not hold now.
    const int first = reg == 11 ? 3 : reg == 20 ? 7 : 700 + reg;
    const int value = simReg(reg) == first ? first - 1 : first;
    return sim(QStringLiteral("set hr %1 %2").arg(reg).arg(value)) == QLatin1String("ok") ? value : -99999;
}

// Saves the instrument's set through the window's button.
bool TestConfigParams::saveTo(CONFIG1 *w, const QString &path)
{
    w->chooseFile = [path](bool save) { return save ? path : QString(); };
    w->saveButton->click();
    return QTest::qWaitFor([w] { return w->paramFlow->state() == ParamSetFlow::State::Idle; }, 15000)
           && QFileInfo::exists(path);
}

template <class T> T *TestConfigParams::waitFor(CONFIG1 *w, const char *name)
{
    T *found = nullptr;
    (void)QTest::qWaitFor([&] { return (found = w->findChild<T *>(QLatin1String(name))) != nullptr; }, 15000);
    return found;
}

void TestConfigParams::paramSets_data()
{
    QTest::addColumn<QString>("action");      // save, compare, write
    QTest::addColumn<QList<int>>("changed");  // registers changed in the instrument after the file was saved
    QTest::addColumn<QString>("comm");        // "包括通讯设置": "" left, "yes" ticked and confirmed, "no" ticked, not confirmed
    QTest::addColumn<QString>("fault");       // the simulator's fault during the action
    QTest::addColumn<QString>("model");       // the model the file names (empty: as saved)
    QTest::addColumn<bool>("otherModel");     // writing a file of another model confirmed
    QTest::addColumn<QList<int>>("expected"); // compare: shown as differing; write: written and confirmed
    QTest::addColumn<QString>("message");     // what the message line then says

    QTest::newRow("save") << "save" << QList<int>{} << "" << "" << "" << false << QList<int>{} << "已保存 48 个参数";
    QTest::newRow("save, silent instrument: no file")
        << "save" << QList<int>{} << "" << "silent" << "" << false << QList<int>{} << "寄存器 1～16 读取失败";
    QTest::newRow("compare, three changed") << "compare" << QList<int>{1, 11, 27} << "" << "" << "" << false
                                            << QList<int>{1, 11, 27} << "";
    QTest::newRow("compare, equal") << "compare" << QList<int>{} << "" << "" << "" << false << QList<int>{} << "";
    QTest::newRow("write, three changed and the delay: not the delay")
        << "write" << QList<int>{1, 11, 27, 20} << "" << "" << "" << false << QList<int>{1, 11, 27}
        << "已写入并确认 3 个参数";
    QTest::newRow("write with the communication settings")
        << "write" << QList<int>{1, 11, 27, 20} << "yes" << "" << "" << false << QList<int>{1, 11, 20, 27}
        << "已写入并确认 4 个参数";
    QTest::newRow("write with the communication settings not confirmed: nothing")
        << "write" << QList<int>{1, 11, 27, 20} << "no" << "" << "" << false << QList<int>{} << "";
    QTest::newRow("write, file of another model: refused")
        << "write" << QList<int>{1, 11, 27} << "" << "" << "QR9999" << false << QList<int>{}
        << "参数文件的型号 QR9999 与仪表 QR5300M 不同，未写入";
    QTest::newRow("write, file of another model: confirmed")
        << "write" << QList<int>{1, 11, 27} << "" << "" << "QR9999" << true << QList<int>{1, 11, 27}
        << "已写入并确认 3 个参数";
}

// "保存参数…": the file holds what the instrument holds, or (silent
// instrument) there is no file.
void TestConfigParams::saveRow(CONFIG1 *w, const QString &path, bool silent, const QString &message)
{
    w->saveButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(w->msgLine->text().contains(message), 15000);
    QCOMPARE(QFileInfo::exists(path), !silent);
    if (!silent) {
        ParamSet file;
        QVERIFY(loadParamSet(path, file).ok());
        QCOMPARE(file.id.model, QString::fromLatin1(kModelText));
        QCOMPARE(file.id.line, QStringLiteral("1"));
        QCOMPARE(file.id.station, 1);
        QVERIFY(qAbs(file.id.taken.secsTo(QDateTime::currentDateTime())) < 60);
        for (int reg = 1; reg <= kParamCount; ++reg)
            QCOMPARE(file.values[reg - 1], simReg(reg));
    }
}

// "比较…" on the file: the registers the difference table shows, each row
// checked against the file's and the instrument's value.
void TestConfigParams::compareRow(CONFIG1 *w, const ParamSet &file, const QMap<int, int> &now, QList<int> &shown)
{
    w->compareButton->click();
    auto *dialog = waitFor<QDialog>(w, "paramDiffDialog");
    QVERIFY(dialog);
    auto *table = dialog->findChild<QTableWidget *>(QStringLiteral("paramDiffTable"));
    for (int row = 0; table && row < table->rowCount(); ++row) {
        const int reg = table->item(row, 0)->data(Qt::UserRole).toInt();
        shown << reg;
        QCOMPARE(table->item(row, 1)->text(), paramValueText(reg, file.values[reg - 1]));
        QCOMPARE(table->item(row, 2)->text(), paramValueText(reg, now.value(reg)));
    }
}

// "写入参数…" on the file, confirmed as asked: the registers the result
// lists as written and confirmed (none when no result is shown).
void TestConfigParams::writeRow(CONFIG1 *w, const QString &comm, bool otherModel, QList<int> &confirmed)
{
    w->restoreButton->click();
    auto *dialog = waitFor<QDialog>(w, "paramWriteDialog");
    QVERIFY(dialog);
    dialog->findChild<QCheckBox *>(QStringLiteral("includeComm"))->setChecked(!comm.isEmpty());
    dialog->findChild<QCheckBox *>(QStringLiteral("otherModel"))->setChecked(otherModel);
    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    if (!comm.isEmpty()) {
        auto *box = waitFor<QMessageBox>(w, "paramCommConfirm");
        QVERIFY(box);
        box->button(comm == QLatin1String("yes") ? QMessageBox::Yes : QMessageBox::No)->click();
    }
    QTRY_VERIFY_WITH_TIMEOUT(w->paramFlow->state() == ParamSetFlow::State::Idle, 15000);
    auto *result = w->findChild<QDialog *>(QStringLiteral("paramResultDialog"));
    auto *list = result ? result->findChild<QListWidget *>(QStringLiteral("paramResultList")) : nullptr;
    for (int row = 0; list && row < list->count(); ++row)
        if (list->item(row)->data(Qt::UserRole + 1).toInt() == int(RestoreRow::Status::Confirmed))
            confirmed << list->item(row)->data(Qt::UserRole).toInt();
}

void TestConfigParams::paramSets()
{
    QFETCH(QString, action);
    QFETCH(QList<int>, changed);
    QFETCH(QString, comm);
    QFETCH(QString, fault);
    QFETCH(QString, model);
    QFETCH(bool, otherModel);
    QFETCH(QList<int>, expected);
    QFETCH(QString, message);

    CONFIG1 *w = openWindow();
    const QString path = m_dir->filePath(QStringLiteral("set-%1.json").arg(QTest::currentDataTag()).replace(u' ', u'_'));
    QFile::remove(path);
    ParamSet file;
    if (action != QLatin1String("save")) {
        QVERIFY(saveTo(w, path));
        QVERIFY(loadParamSet(path, file).ok());
        if (!model.isEmpty()) {
            file.id.model = model;
            QVERIFY(saveParamSet(file, path).ok());
        }
    }
    QMap<int, int> now; // what the instrument holds after the changes
    for (const int reg : changed)
        QVERIFY((now[reg] = changeReg(reg)) != -99999);
    QCOMPARE(sim(QStringLiteral("reset")), QStringLiteral("ok"));
    if (!fault.isEmpty())
        QCOMPARE(sim(QStringLiteral("fault ") + fault), QStringLiteral("ok"));
    QSignalSpy journaled(m_journal.get(), &WriteJournal::paramEvent);
    w->chooseFile = [path](bool) { return path; };

    if (action == QLatin1String("save")) {
        saveRow(w, path, !fault.isEmpty(), message);
    } else if (action == QLatin1String("compare")) {
        QList<int> shown;
        compareRow(w, file, now, shown);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(shown, expected);
        if (expected.isEmpty()) {
            auto *heading = w->findChild<QLabel *>(QStringLiteral("paramDiffHeading"));
            QVERIFY(heading);
            QCOMPARE(heading->text(), QStringLiteral("参数相同"));
        }
        QCOMPARE(simStat(*m_sim, QStringLiteral("writes")), 0);
    } else {
        QList<int> confirmed;
        writeRow(w, comm, otherModel, confirmed);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(confirmed, expected);
        QCOMPARE(w->findChild<QDialog *>(QStringLiteral("paramResultDialog")) != nullptr, !expected.isEmpty());
        QCOMPARE(simStat(*m_sim, QStringLiteral("writes")), int(expected.size()));
        for (const int reg : changed)
            QCOMPARE(simReg(reg), expected.contains(reg) ? file.values[reg - 1] : now.value(reg));
        QCOMPARE(journaled.size(), expected.size());
        QVERIFY(w->restoreButton->isEnabled()); // ready for the next one
        // The window shows what the instrument holds now.
        QTRY_COMPARE_WITH_TIMEOUT(w->D_4W[0]->accessibleDescription(), QString::number(simReg(1)), 5000);
    }
    if (!message.isEmpty())
        QVERIFY2(w->msgLine->text().contains(message), qPrintable(w->msgLine->text()));
}

QR_TEST_MAIN_ON_SCREEN(TestConfigParams, 1920, 1080, 96)
#include "tst_configparams.moc"
