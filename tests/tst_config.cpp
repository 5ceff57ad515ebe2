// The configuration window against the instrument simulator: the parameter
// map as the window shows it, the once-a-second read-back with its decoding,
// and the write-back of single parameters.
#include "screen_main.h"

#include "config/config1.h"
#include "config/link_text.h"
#include "config/write_journal.h"
#include "core/parammap.h"
#include "link/link.h"
#include "link/met1.h"
#include "testsupport.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <QTabBar>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>
#include <memory>

namespace {

// The choice list of a coded register's entry control.
const ChoiceTable &listOf(int reg) { return kChoice[kParam[reg - 1].list]; }

QString arrayName(const char *name, int i) { return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i); }

// The whole text a label stands for: what it shows, unless that had to be
// cut to fit (labelsShowWholeText checks the two agree).
QString whole(const QLabel *label) { return label->accessibleDescription(); }

} // namespace

class TestConfig : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    // The map, the lists and the value rules.
    void registerMap();
    void mapQuirks_data();
    void mapQuirks();
    void tabCaptions();
    void choiceLists();
    void choiceQuirks_data();
    void choiceQuirks();
    void checkEntry_data();
    void checkEntry();
    void tenthsText_data();
    void tenthsText();

    // Read-back.
    void firstOpenWithoutLink();
    void staleReadBack();
    void labelsShowWholeText();
    void readBackAll();
    void unknownCodeKeepsLabel();
    void reopenKeepsBufferResetsFields();
    void silentInstrumentDoesNotPileUp();
    void closeBoxRefused();
    void escKeyReturns();

    // Write-back.
    void writeBack_data();
    void writeBack();
    void passThroughWritesNothing();
    void wheelOverUnfocusedBox();
    void refusedNotSent();
    void exceptionRetriedOnceAndShown();
    void failureKinds_data();
    void failureKinds();
    void escWritesFocusedEdit();
    void failureAfterCloseJournaled();

private:
    CONFIG1 *openWindow();
    bool readNow(CONFIG1 *w);
    bool focusOn(CONFIG1 *w, QWidget *entry);
    int writes() { return simStat(*m_sim, QStringLiteral("writes")); }
    QString sim(const QString &line) { return m_sim->command(line); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<Link> m_link;
    LinkSettings m_settings;                 // the program's, like the link
    LiveTables m_live;
    Clock m_clock;
    std::unique_ptr<WriteJournal> m_journal; // outlives each window, as in the program
    ReadBack m_readBack;                     // likewise
    QPointer<CONFIG1> m_win;
};

// ---------------------------------------------------------------------------

void TestConfig::initTestCase()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    qputenv("QR5300M_PORT_DIR", m_dir->path().toLocal8Bit());
    m_sim = std::make_unique<SimProcess>(m_dir->path());
    QVERIFY(m_sim->isReady());
    m_link = std::make_unique<Link>();
    m_settings.Link_Par[0] = 1;
    m_settings.Link_Par[3] = 1;
    bool done = false;
    int32_t result = -1;
    m_link->OpenPort_Modbus(1, 1, 0, this, [&](const LinkResult &r) {
        result = r.result;
        done = true;
    });
    QTRY_VERIFY(done);
    QCOMPARE(result, kModbusOk);
}

void TestConfig::cleanupTestCase()
{
    m_link.reset();
    m_sim.reset();
}

void TestConfig::init()
{
    m_settings.Link_Par[0] = 1;
    m_settings.Link_Par[3] = 1;
    QCOMPARE(sim(QStringLiteral("fault none")), QStringLiteral("ok"));
    QCOMPARE(sim(QStringLiteral("reset")), QStringLiteral("ok"));
    m_journal = std::make_unique<WriteJournal>(m_clock);
}

void TestConfig::cleanup()
{
    if (m_win) {
        m_win->Keep_Open = 0;
        delete m_win;
    }
    // Let the link finish whatever a test left running.
    QTRY_COMPARE_WITH_TIMEOUT(m_link->pending(), 0, 10000);
}

CONFIG1 *TestConfig::openWindow()
{
    auto *w = new CONFIG1(*m_link, m_settings, m_readBack, m_journal.get());
    m_win = w;
    w->Form_Load();
    w->show();
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w))
        qWarning("configuration window not active");
    return w;
}

// One read cycle, started now, waited for.
bool TestConfig::readNow(CONFIG1 *w)
{
    if (!QTest::qWaitFor([w] { return w->readsOut() == 0; }, 5000))
        return false;
    w->Timer1_Timer();
    return QTest::qWaitFor([w] { return w->readsOut() == 0; }, 5000);
}

bool TestConfig::focusOn(CONFIG1 *w, QWidget *entry)
{
    if (!w->isActiveWindow()) {
        w->activateWindow();
        if (!QTest::qWaitForWindowActive(w))
            return false;
    }
    w->SSTab2->setCurrentWidget(entry->parentWidget());
    entry->setFocus(Qt::OtherFocusReason);
    return QTest::qWaitFor([entry] { return entry->hasFocus(); }, 2000);
}

// ---------------------------------------------------------------------------
// The map

// The caption a tab shows: "&&" is a literal "&", a lone "&" marks a shortcut.
static QString shownTab(const QString &text)
{
    QString out;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && ++i >= text.size())
            break;
        out += text[i];
    }
    return out;
}

// Ten tabs, five per row, every caption whole; each page's rows fit on it.
void TestConfig::tabCaptions()
{
    CONFIG1 *w = openWindow();
    QList<QToolButton *> tabs;
    for (int t = 0; t < 10; ++t) {
        auto *b = w->findChild<QToolButton *>(arrayName("SSTab2_Caption", t));
        QVERIFY2(b, qPrintable(QString::number(t)));
        tabs << b;
    }
    QCOMPARE(w->Frame1->findChildren<QToolButton *>(Qt::FindDirectChildrenOnly).size(), 10);
    for (int t = 0; t < 10; ++t) {
        QToolButton *b = tabs[t];
        QCOMPARE(shownTab(b->text()), shownTab(w->SSTab2->tabText(t)));
        QVERIFY2(b->isVisible(), qPrintable(b->objectName()));
        QVERIFY2(b->fontMetrics().horizontalAdvance(shownTab(b->text())) + 8 <= b->width(),
                 qPrintable(b->objectName()));
        QCOMPARE(b->y(), tabs[t < 5 ? 0 : 5]->y());
        if (t % 5)
            QCOMPARE(b->x(), tabs[t - 1]->geometry().right() + 1);
        QVERIFY(b->geometry().bottom() < w->SSTab2->y());
        QCOMPARE(b->isChecked(), t == 1);
    }
    QVERIFY(tabs[5]->y() > tabs[0]->y());
    QVERIFY(!w->SSTab2->tabBar()->isVisible());

    for (int t = 0; t < w->SSTab2->count(); ++t) {
        QWidget *page = w->SSTab2->widget(t);
        w->SSTab2->setCurrentIndex(t);
        QCoreApplication::processEvents();
        for (QWidget *c : page->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            QVERIFY2(page->rect().contains(c->geometry()), qPrintable(c->objectName()));
    }

    QTest::mouseClick(tabs[9], Qt::LeftButton);
    QCOMPARE(w->SSTab2->currentIndex(), 9);
    QVERIFY(tabs[9]->isChecked() && !tabs[1]->isChecked());
    QTest::mouseClick(tabs[0], Qt::LeftButton);
    auto *field = w->SSTab2->widget(0)->findChild<QLineEdit *>();
    QVERIFY(field);
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(w->SSTab2->currentIndex(), 1);
    QVERIFY(tabs[1]->isChecked());
}

void TestConfig::registerMap()
{
    CONFIG1 *w = openWindow();
    QCOMPARE(w->windowTitle(), QStringLiteral("QR5300M CONFIG "));
    // On a large screen the window keeps its full size.
    QCOMPARE(w->size(), QSize(qRound(14610 * w->logicalDpiX() / 1440.0), qRound(9540 * w->logicalDpiY() / 1440.0)));
    QCOMPARE(w->SSTab2->count(), 10);
    QCOMPARE(w->SSTab2->currentIndex(), 1);
    QCOMPARE(shownTab(w->SSTab2->tabText(1)), QStringLiteral("2.输出-位式&报警"));
    QCOMPARE(w->Command11->text(), QStringLiteral(" Esc 返回"));

    QHash<QWidget *, int> lastY; // per tab page: rows run downwards in register order
    int textBoxes = 0, choiceBoxes = 0;
    for (const Param &p : kParam) {
        const int i = p.reg - 1;
        const QString at = QStringLiteral("register %1").arg(p.reg);
        auto *name = w->findChild<QLabel *>(arrayName("Label1", i));
        auto *back = w->findChild<QLabel *>(arrayName("D_4W", i));
        auto *help = w->findChild<QLabel *>(arrayName("Label2", i));
        QWidget *entry = w->Entry(p.reg);
        QVERIFY2(name && back && help && entry, qPrintable(at));
        QWidget *page = name->parentWidget();
        QCOMPARE(w->SSTab2->indexOf(page), int(p.tab));
        QVERIFY2(back->parentWidget() == page && help->parentWidget() == page && entry->parentWidget() == page,
                 qPrintable(at));
        QCOMPARE(name->text(), QString::fromUtf8(p.caption));
        QCOMPARE(whole(help), QString::fromUtf8(p.help));
        QCOMPARE(name->buddy(), entry);
        QCOMPARE(entry->accessibleName(), QString::fromUtf8(p.caption));
        QVERIFY2(name->x() < back->x() && back->x() < entry->x() && entry->x() < help->x(), qPrintable(at));
        QVERIFY2(entry->y() > lastY.value(page, -1), qPrintable(at));
        lastY[page] = entry->y();
        QCOMPARE(back->palette().color(QPalette::Window), QColor(0xFF, 0xC0, 0xFF));
        QVERIFY(back->autoFillBackground());
        QCOMPARE(back->font().family(), QStringLiteral("宋体"));
        QCOMPARE(back->font().pointSizeF(), 10.5);
        QVERIFY(back->text().isEmpty());
        if (p.coding == Coding::Coded) {
            QCOMPARE(entry, w->Combo[p.combo]);
            QCOMPARE(int(kComboRegister[p.combo]), int(p.reg));
            ++choiceBoxes;
        } else {
            auto *edit = qobject_cast<QLineEdit *>(entry);
            QVERIFY2(edit, qPrintable(at));
            QCOMPARE(edit->objectName(), arrayName("T_3RW", i));
            QVERIFY(edit->text().isEmpty());
            ++textBoxes;
        }
    }
    QCOMPARE(textBoxes, 30);
    QCOMPARE(choiceBoxes, 18);
}

// The rows of the map that are easy to get wrong: the tenths of register
// 46, the choice boxes of channels 2..4 numbered the other way round from
// channel 1, the retransmission channel counted from 1, and a few ranges.
// Bounds are in register units.
void TestConfig::mapQuirks_data()
{
    QTest::addColumn<int>("reg");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("tab");
    QTest::addColumn<int>("lo");
    QTest::addColumn<int>("hi");
    auto row = [](const char *name, int reg, const char *entry, const char *tab, int lo, int hi) {
        QTest::newRow(name) << reg << QString::fromLatin1(entry) << QString::fromUtf8(tab) << lo << hi;
    };
    row("46 filter in tenths", 46, "T_3RW(45)", "1.Instrument ", 0, 100);
    row("25 channel 1 input type", 25, "Combo9", "4.通道一设置", 0, 30);
    row("26 channel 1 decimal point", 26, "Combo10", "4.通道一设置", 0, 4);
    row("30 channel 2 input type", 30, "Combo12", "5.通道二设置", 0, 30);
    row("31 channel 2 decimal point", 31, "Combo11", "5.通道二设置", 0, 4);
    row("35 channel 3 input type", 35, "Combo14", "6.通道三设置", 0, 30);
    row("36 channel 3 decimal point", 36, "Combo13", "6.通道三设置", 0, 4);
    row("40 channel 4 input type", 40, "Combo16", "7.通道四设置", 0, 30);
    row("41 channel 4 decimal point", 41, "Combo15", "7.通道四设置", 0, 4);
    row("21 retransmission channel from 1", 21, "Combo7", "3.变送设置", 1, 4);
    row("1 set point", 1, "T_3RW(0)", "10.报警设置", -10000, 30000);
    row("9 alarm mode", 9, "Combo1", "9.继电器功能", 0, 5);
    row("17 station address", 17, "T_3RW(16)", "8.通讯设定", 1, 247);
    row("29 correction", 29, "T_3RW(28)", "4.通道一设置", -500, 500);
    row("48 relay function", 48, "Combo18", "2.输出-位式&报警", 0, 1);
}

void TestConfig::mapQuirks()
{
    QFETCH(int, reg);
    QFETCH(QString, entry);
    QFETCH(QString, tab);
    QFETCH(int, lo);
    QFETCH(int, hi);
    // (registerMap shows that the window follows the map)
    const Param &p = kParam[reg - 1];
    QCOMPARE(p.combo ? QStringLiteral("Combo%1").arg(p.combo) : arrayName("T_3RW", reg - 1), entry);
    QCOMPARE(QString::fromUtf8(kTabCaption[p.tab]), tab);
    // The bounds are written, one past them is refused for its range; the
    // filter is typed in seconds.
    const bool tenths = reg == 46;
    auto typed = [tenths](int v) { return tenths ? QString::number(v / 10.0) : QString::number(v); };
    for (int v : {lo, hi}) {
        const EntryCheck c = ::checkEntry(reg, typed(v));
        QCOMPARE(c.why, Refusal::None);
        QCOMPARE(int(c.value), v);
    }
    QCOMPARE(::checkEntry(reg, typed(lo - 1)).why, Refusal::Range);
    QCOMPARE(::checkEntry(reg, typed(hi + 1)).why, Refusal::Range);
    if (tenths) {
        QString shown;
        QVERIFY(decodeText(reg, 25, &shown));
        QCOMPARE(shown, QStringLiteral("2.5"));
    }
}

void TestConfig::choiceLists()
{
    CONFIG1 *w = openWindow();
    for (int n = 1; n <= kComboCount; ++n) {
        QComboBox *box = w->Combo[n];
        QCOMPARE(box->objectName(), QStringLiteral("Combo%1").arg(n));
        QVERIFY(box->isEditable());
        // No entry shown: the box claims no value the instrument may not hold.
        QCOMPARE(box->currentIndex(), -1);
        QCOMPARE(box->currentText(), QString());
        const int reg = kComboRegister[n];
        const ChoiceTable &list = listOf(reg);
        QCOMPARE(box->count(), list.count);
        int maxCode = 0;
        for (int k = 0; k < list.count; ++k) {
            QCOMPARE(box->itemText(k), QString::fromUtf8(list.items[k].entry));
            // The entry's leading number is its code.
            const EntryCheck c = ::checkEntry(reg, box->itemText(k));
            QCOMPARE(c.why, Refusal::None);
            QCOMPARE(int(c.value), int(list.items[k].code));
            maxCode = std::max(maxCode, int(list.items[k].code));
        }
        // Codes without a decoding text.
        QString text = QStringLiteral("unchanged");
        QVERIFY(!decodeText(reg, maxCode + 1, &text));
        QVERIFY(!decodeText(reg, -1, &text));
        QCOMPARE(text, QStringLiteral("unchanged"));
    }
    QString text;
    QVERIFY(!decodeText(21, 0, &text)); // retransmission channels count from 1
}

// A few entries and decoding texts as the instrument's manual gives them:
// the two are different strings, the retransmission channels count from 1,
// input type 8 has a blank for its colon, input type 15 names two ranges.
void TestConfig::choiceQuirks_data()
{
    QTest::addColumn<int>("reg");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("decode");
    auto row = [](const char *name, int reg, int code, int position, const char *entry, const char *decode) {
        QTest::newRow(name) << reg << code << position << QString::fromUtf8(entry) << QString::fromUtf8(decode);
    };
    row("alarm none", 9, 0, 0, "0:无 ", "无");
    row("retransmission CH1", 21, 1, 0, "1:CH1 变送 ", "通道一变送");
    row("retransmission CH4", 21, 4, 3, "4:CH4 变送 ", "通道4变送");
    row("input K", 25, 0, 0, "0:K(-200-1300)", "K(-200~1300)");
    row("input WRe325", 30, 8, 8, "8 WRe325(0-2300)", "WRe325(0~2300)");
    row("input 0..4000 ohm", 35, 15, 15, "15:0Ω4000(0～4000Ω) ", " 0Ω5000(0～5000Ω)");
    row("input 0..1 V", 40, 23, 23, "23:0V1(0-1V) ", "  0V1(0-1V)");
    row("decimal point 2", 26, 2, 2, "2:XXX.XX ", "XXX.XX");
    row("baud 19200", 18, 2, 2, "2:19200BPS ", "19200BPS");
    row("unit kelvin", 47, 2, 2, "2:绝对温度 ", "绝对温度");
}

void TestConfig::choiceQuirks()
{
    QFETCH(int, reg);
    QFETCH(int, code);
    QFETCH(int, position);
    QFETCH(QString, entry);
    QFETCH(QString, decode);
    const ChoiceTable &list = listOf(reg);
    QVERIFY(position < list.count);
    QCOMPARE(QString::fromUtf8(list.items[position].entry), entry);
    QCOMPARE(int(::checkEntry(reg, entry).value), code);
    QString shown;
    QVERIFY(decodeText(reg, code, &shown));
    QCOMPARE(shown, decode);
}

// Every text an entry control may hold, and what it writes. why: 0 written,
// 1 refused for its form, 2 refused for its range; range: what the refusal
// message must name.
void TestConfig::checkEntry_data()
{
    QTest::addColumn<int>("reg");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("why");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("range");
    const QString nines(400, u'9');
    auto ok = [](const char *name, int reg, const QString &text, int value) {
        QTest::newRow(name) << reg << text << 0 << value << QString();
    };
    auto form = [](const char *name, int reg, const QString &text, const char *range) {
        QTest::newRow(name) << reg << text << 1 << 0 << QString::fromUtf8(range);
    };
    auto range = [](const char *name, int reg, const QString &text, const char *range) {
        QTest::newRow(name) << reg << text << 2 << 0 << QString::fromUtf8(range);
    };
    // Choice boxes: an entry of the list writes its code, or a typed code.
    ok("code of an entry", 11, QStringLiteral("3:上偏差报警 "), 3);
    ok("entry with a blank instead of the colon", 25, QStringLiteral("8 WRe325(0-2300)"), 8);
    ok("channel code, not position", 21, QStringLiteral("4:CH4 变送 "), 4);
    ok("entry without its trailing blank", 47, QStringLiteral("1:华氏度"), 1);
    ok("code typed", 9, QStringLiteral("2"), 2);
    ok("code typed with blanks around", 30, QStringLiteral(" 30 "), 30);
    range("code beyond the list", 47, QStringLiteral("99"), "0～2");
    range("channel 0", 21, QStringLiteral("0"), "1～4");
    form("entry of another list", 47, QStringLiteral("3:上偏差报警 "), "0～2");
    form("letters in a choice box", 13, QStringLiteral("x"), "0～5");
    form("code then letters", 9, QStringLiteral("2abc"), "0～5");
    // Whole numbers within the parameter's range.
    ok("negative", 27, QStringLiteral("-200"), -200);
    ok("plus sign", 1, QStringLiteral("+7"), 7);
    ok("blanks around", 29, QStringLiteral("\t-15 "), -15);
    ok("zeros after the point", 1, QStringLiteral("3.00"), 3);
    ok("top of the range", 1, QStringLiteral("30000"), 30000);
    ok("bottom of the range", 1, QStringLiteral("-10000"), -10000);
    range("past the top", 1, QStringLiteral("30001"), "-10000～30000");
    range("past the bottom", 2, QStringLiteral("-10001"), "-10000～30000");
    range("register bottom to the correction", 29, QStringLiteral("-32768"), "-500～500");
    range("address 0", 17, QStringLiteral("0"), "1～247");
    range("address 99999", 17, QStringLiteral("99999"), "1～247");
    range("screen time", 45, QStringLiteral("61"), "0～60");
    range("400 nines", 1, nines, "-10000～30000");
    range("minus 400 nines", 29, u'-' + nines, "-500～500");
    range("400 nines as a code", 9, nines, "0～5");
    form("fraction", 1, QStringLiteral("2.5"), "-10000～30000");
    form("digits then letters", 20, QStringLiteral("12abc"), "0～60");
    form("C hexadecimal", 1, QStringLiteral("0x10"), "-10000～30000");
    form("Basic hexadecimal", 1, QStringLiteral("&H10"), "-10000～30000");
    form("exponent", 1, QStringLiteral("1.5E3"), "-10000～30000");
    form("exponent overflowing", 1, QStringLiteral("1e400"), "-10000～30000");
    form("negative exponent overflowing", 1, QStringLiteral("-1e400"), "-10000～30000");
    form("blanks inside", 29, QStringLiteral(" - 1 5"), "-500～500");
    form("two numbers", 1, QStringLiteral("1 2"), "-10000～30000");
    form("empty", 1, QString(), "-10000～30000");
    form("blanks", 1, QStringLiteral("  "), "-10000～30000");
    form("sign alone", 1, QStringLiteral("-"), "-10000～30000");
    form("point alone", 1, QStringLiteral("."), "-10000～30000");
    form("full-width digits", 1, QStringLiteral("１２"), "-10000～30000");
    // Register 46 counts tenths of a second.
    ok("filter 2.5 s", 46, QStringLiteral("2.5"), 25);
    ok("filter 2.50 s", 46, QStringLiteral("2.50"), 25);
    ok("filter .5 s", 46, QStringLiteral(".5"), 5);
    ok("filter 10 s", 46, QStringLiteral("10"), 100);
    ok("filter 0", 46, QStringLiteral("0"), 0);
    range("filter 10.1 s", 46, QStringLiteral("10.1"), "0～10");
    range("filter negative", 46, QStringLiteral("-0.1"), "0～10");
    range("filter 400 nines", 46, nines, "0～10");
    form("filter hundredths", 46, QStringLiteral("0.05"), "0～10");
    form("filter decimal comma", 46, QStringLiteral("2,5"), "0～10");
    form("filter two points", 46, QStringLiteral("1.2.3"), "0～10");
}

void TestConfig::checkEntry()
{
    QFETCH(int, reg);
    QFETCH(QString, text);
    QFETCH(int, why);
    QFETCH(int, value);
    QFETCH(QString, range);
    const EntryCheck c = ::checkEntry(reg, text);
    QCOMPARE(int(c.why), why);
    const QString msg = refusalText(reg, text, c);
    if (why == 0) {
        QCOMPARE(int(c.value), value);
        QVERIFY(msg.isEmpty());
        return;
    }
    QVERIFY2(msg.startsWith(QString::fromUtf8(kParam[reg - 1].caption) + u'：'), qPrintable(msg));
    QVERIFY2(msg.contains(range), qPrintable(msg));
    QVERIFY2(msg.endsWith(QStringLiteral("未写入")), qPrintable(msg));
    QVERIFY2(msg.size() < 80, qPrintable(msg)); // a long entry is cut in the message
}

void TestConfig::tenthsText_data()
{
    QTest::addColumn<int>("reg");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("46: 25") << 46 << 25 << QStringLiteral("2.5");
    QTest::newRow("46: 20") << 46 << 20 << QStringLiteral("2");
    QTest::newRow("46: -5") << 46 << -5 << QStringLiteral("-0.5");
    QTest::newRow("46: -15") << 46 << -15 << QStringLiteral("-1.5");
    QTest::newRow("46: 0") << 46 << 0 << QStringLiteral("0");
    QTest::newRow("46: -32768") << 46 << -32768 << QStringLiteral("-3276.8");
    QTest::newRow("numeric -15") << 1 << -15 << QStringLiteral("-15");
    QTest::newRow("numeric 1234") << 27 << 1234 << QStringLiteral("1234");
}

void TestConfig::tenthsText()
{
    QFETCH(int, reg);
    QFETCH(int, value);
    QFETCH(QString, text);
    QString shown;
    QVERIFY(decodeText(reg, value, &shown));
    QCOMPARE(shown, text);
}

// ---------------------------------------------------------------------------
// Read-back

void TestConfig::firstOpenWithoutLink()
{
    m_readBack = ReadBack{};
    m_settings.Link_Par[0] = 0; // never opened: port 0, station 0
    m_settings.Link_Par[3] = 0;
    CONFIG1 *w = openWindow();
    QVERIFY(w->Timer1.isActive());
    QCOMPARE(w->Timer1.interval(), 1000);
    QVERIFY(whole(w->D_4W[0]).isEmpty()); // nothing before the first tick
    QVERIFY(readNow(w));
    // Nothing has been read: no label claims a value (no "0", no "无").
    for (int k = 0; k < kParamCount; ++k) {
        QVERIFY2(w->D_4W[k]->text().isEmpty(), qPrintable(w->D_4W[k]->text()));
        QVERIFY(whole(w->D_4W[k]).isEmpty());
    }
    QVERIFY2(w->msgLine->text().startsWith(QStringLiteral("读取仪表参数失败：")), qPrintable(w->msgLine->text()));
    QVERIFY(w->msgLine->text().size() > 10); // with the link's reason
}

// A failing read-back keeps the old values, marked, and says why; they
// become current again with the next good read.
void TestConfig::staleReadBack()
{
    QCOMPARE(sim(QStringLiteral("set hr 1 321")), QStringLiteral("ok"));
    CONFIG1 *w = openWindow();
    w->Timer1.stop();
    QVERIFY(readNow(w));
    const QColor normal = w->D_4W[0]->palette().color(QPalette::WindowText);
    QCOMPARE(whole(w->D_4W[0]), QStringLiteral("321"));
    QVERIFY(!w->D_4W[0]->property("Stale").toBool());
    QVERIFY(w->msgLine->text().isEmpty());

    QCOMPARE(sim(QStringLiteral("fault silent")), QStringLiteral("ok"));
    QVERIFY(readNow(w));
    for (int k = 0; k < kParamCount; ++k) {
        QLabel *back = w->D_4W[k];
        if (whole(back).isEmpty())
            continue; // a code without a text shows nothing to mark
        QVERIFY2(back->property("Stale").toBool(), qPrintable(back->objectName()));
        QVERIFY(back->toolTip().contains(QStringLiteral("读回失败")));
        QVERIFY(back->palette().color(QPalette::WindowText) != normal);
    }
    QCOMPARE(whole(w->D_4W[0]), QStringLiteral("321"));
    QVERIFY2(w->msgLine->text().contains(QStringLiteral("读取仪表参数失败：仪表无应答")), qPrintable(w->msgLine->text()));

    QCOMPARE(sim(QStringLiteral("fault none")), QStringLiteral("ok"));
    QVERIFY(readNow(w));
    for (int k = 0; k < kParamCount; ++k) {
        QVERIFY(!w->D_4W[k]->property("Stale").toBool());
        QCOMPARE(w->D_4W[k]->palette().color(QPalette::WindowText), normal);
    }
    QVERIFY(w->D_4W[0]->toolTip().isEmpty());
    QVERIFY(w->msgLine->text().isEmpty());
}

// Every read-back and help label shows its whole text, or a cut one with the
// whole text as its tooltip; a read-back label tells assistive technology its
// caption and its value.
void TestConfig::labelsShowWholeText()
{
    auto fits = [](QLabel *l) {
        const QFontMetrics fm(l->font());
        for (QString line : l->text().split(u'\n')) {
            if (line.endsWith(u'\r'))
                line.chop(1);
            if (fm.horizontalAdvance(line) > l->contentsRect().width())
                return false;
        }
        return l->text() == whole(l) || (l->text().contains(u'…') && l->toolTip().contains(whole(l)));
    };
    CONFIG1 *w = openWindow();
    w->Timer1.stop();
    for (int i = 0; i < kParamCount; ++i) {
        QCOMPARE(whole(w->Label2[i]), QString::fromUtf8(kParam[i].help));
        QVERIFY2(fits(w->Label2[i]), qPrintable(w->Label2[i]->objectName()));
    }
    // All input types, four at a time (one per channel), and long numbers.
    const int typeRegs[] = {25, 30, 35, 40};
    for (int code = 0; code <= 30; code += 4) {
        for (int c = 0; c < 4; ++c)
            QCOMPARE(sim(QStringLiteral("set hr %1 %2").arg(typeRegs[c]).arg(std::min(code + c, 30))), QStringLiteral("ok"));
        QCOMPARE(sim(QStringLiteral("set hr 1 -10000")), QStringLiteral("ok"));
        QVERIFY(readNow(w));
        for (int k = 0; k < kParamCount; ++k) {
            QLabel *back = w->D_4W[k];
            QString expected;
            QVERIFY(decodeText(k + 1, m_readBack.Reg_4X[k], &expected));
            QCOMPARE(whole(back), expected);
            QCOMPARE(back->accessibleName(), QString::fromUtf8(kParam[k].caption));
            QVERIFY2(fits(back), qPrintable(QStringLiteral("%1: %2").arg(back->objectName(), back->text())));
        }
    }
}

void TestConfig::readBackAll()
{
    // Every register gets its own value: numbers distinct per register,
    // each coded register the last code of its list, except register 21 at 0
    // (no text) and register 9 at 6 (no such alarm mode).
    int value[kParamCount + 1] = {};
    for (const Param &p : kParam)
        value[p.reg] = p.coding == Coding::Coded ? listOf(p.reg).items[listOf(p.reg).count - 1].code : p.reg * 37 - 900;
    value[1] = -15;
    value[26] = 2;    // channel 1 decimal point 2 ...
    value[27] = 1234; // ... rescales nothing
    value[46] = 25;
    value[21] = 0;
    value[9] = 6;
    for (int reg = 1; reg <= kParamCount; ++reg)
        QCOMPARE(sim(QStringLiteral("set hr %1 %2").arg(reg).arg(value[reg])), QStringLiteral("ok"));

    CONFIG1 *w = openWindow();
    QVERIFY(readNow(w));
    for (int reg = 1; reg <= kParamCount; ++reg)
        QCOMPARE(m_readBack.Reg_4X[reg - 1], value[reg]);
    for (const Param &p : kParam) {
        QString expected; // blank for a code without a text
        if (p.coding == Coding::Numeric)
            expected = QString::number(value[p.reg]);
        else if (p.coding == Coding::Coded)
            decodeText(p.reg, value[p.reg], &expected);
        else
            expected = QStringLiteral("2.5");
        QCOMPARE(whole(w->D_4W[p.reg - 1]), expected);
    }
    QCOMPARE(whole(w->D_4W[0]), QStringLiteral("-15"));
    QCOMPARE(whole(w->D_4W[25]), QStringLiteral("XXX.XX"));
    QCOMPARE(whole(w->D_4W[26]), QStringLiteral("1234"));
    QCOMPARE(whole(w->D_4W[24]), QStringLiteral(" 正负10V(-10-+10V)"));
    QVERIFY(whole(w->D_4W[8]).isEmpty());  // unknown alarm mode, first read
    QVERIFY(whole(w->D_4W[20]).isEmpty()); // channel 0, first read

    // A change on the instrument shows at the next cycle, started by the timer.
    QCOMPARE(sim(QStringLiteral("set hr 46 20")), QStringLiteral("ok"));
    QCOMPARE(sim(QStringLiteral("set hr 3 -5")), QStringLiteral("ok"));
    QTRY_COMPARE_WITH_TIMEOUT(whole(w->D_4W[45]), QStringLiteral("2"), 3000);
    QTRY_COMPARE_WITH_TIMEOUT(whole(w->D_4W[2]), QStringLiteral("-5"), 3000);
}

void TestConfig::unknownCodeKeepsLabel()
{
    QCOMPARE(sim(QStringLiteral("set hr 9 2")), QStringLiteral("ok"));
    QCOMPARE(sim(QStringLiteral("set hr 21 3")), QStringLiteral("ok"));
    QCOMPARE(sim(QStringLiteral("set hr 40 30")), QStringLiteral("ok"));
    CONFIG1 *w = openWindow();
    QVERIFY(readNow(w));
    QCOMPARE(whole(w->D_4W[8]), QStringLiteral("下限报警"));
    QCOMPARE(whole(w->D_4W[20]), QStringLiteral("通道三变送"));
    QCOMPARE(whole(w->D_4W[39]), QStringLiteral(" 正负10V(-10-+10V)"));

    QCOMPARE(sim(QStringLiteral("set hr 9 6")), QStringLiteral("ok"));
    QCOMPARE(sim(QStringLiteral("set hr 21 0")), QStringLiteral("ok"));
    QCOMPARE(sim(QStringLiteral("set hr 40 31")), QStringLiteral("ok"));
    QCOMPARE(sim(QStringLiteral("set hr 10 44")), QStringLiteral("ok"));
    QVERIFY(readNow(w));
    QCOMPARE(m_readBack.Reg_4X[8], 6);
    QCOMPARE(whole(w->D_4W[9]), QStringLiteral("44")); // the cycle did run
    QCOMPARE(whole(w->D_4W[8]), QStringLiteral("下限报警"));
    QCOMPARE(whole(w->D_4W[20]), QStringLiteral("通道三变送"));
    QCOMPARE(whole(w->D_4W[39]), QStringLiteral(" 正负10V(-10-+10V)"));
}

void TestConfig::reopenKeepsBufferResetsFields()
{
    QCOMPARE(sim(QStringLiteral("set hr 1 321")), QStringLiteral("ok"));
    QCOMPARE(sim(QStringLiteral("set hr 48 1")), QStringLiteral("ok"));
    CONFIG1 *w = openWindow();
    QVERIFY(readNow(w));
    QCOMPARE(whole(w->D_4W[0]), QStringLiteral("321"));
    // Leave traces in the fields, without leaving them.
    QVERIFY(focusOn(w, w->T_3RW[2]));
    QTest::keyClicks(w->T_3RW[2], QStringLiteral("55"));
    w->Combo[5]->setCurrentIndex(2);
    w->Combo_LostFocus(5); // not edited by the operator: nothing written
    w->Command11_Click();  // writes T_3RW(2)
    QTRY_VERIFY(m_win.isNull());
    QTRY_COMPARE(sim(QStringLiteral("lastwrite")), QStringLiteral("ok 3 55"));
    QCOMPARE(writes(), 1);

    // Reopen on a port that does not exist: every read fails.
    m_settings.Link_Par[0] = 9;
    CONFIG1 *again = openWindow();
    for (int i = 0; i < kParamCount; ++i) {
        QVERIFY(whole(again->D_4W[i]).isEmpty());
        if (again->T_3RW[i])
            QVERIFY(again->T_3RW[i]->text().isEmpty());
    }
    for (int n = 1; n <= kComboCount; ++n)
        QCOMPARE(again->Combo[n]->currentText(), QString());
    QCOMPARE(again->SSTab2->currentIndex(), 1);
    QVERIFY(readNow(again));
    QCOMPARE(whole(again->D_4W[0]), QStringLiteral("321"));
    QCOMPARE(whole(again->D_4W[47]), QStringLiteral("位式控制"));
}

void TestConfig::silentInstrumentDoesNotPileUp()
{
    CONFIG1 *w = openWindow();
    w->Timer1.stop();
    QVERIFY(readNow(w));
    QCOMPARE(sim(QStringLiteral("fault silent")), QStringLiteral("ok"));
    w->Timer1_Timer();
    QCOMPARE(w->readsOut(), 3);
    for (int k = 0; k < 5; ++k)
        w->Timer1_Timer();
    QCOMPARE(w->readsOut(), 3);
    QCOMPARE(m_link->pending(), 3);
    QTRY_COMPARE_WITH_TIMEOUT(w->readsOut(), 0, 10000);
    QCOMPARE(sim(QStringLiteral("fault none")), QStringLiteral("ok"));
    // The labels still show what was read before.
    QVERIFY(!whole(w->D_4W[0]).isEmpty());
    QVERIFY(readNow(w));
}

void TestConfig::closeBoxRefused()
{
    CONFIG1 *w = openWindow();
    QSignalSpy back(w, &CONFIG1::returnMain);
    QVERIFY(!w->close());
    QVERIFY(w->isVisible());
    QVERIFY(!m_win.isNull());
    QCOMPARE(back.count(), 0);
    QVERIFY(w->Timer1.isActive());

    w->Command11->click();
    QCOMPARE(back.count(), 1);
    QVERIFY(!w->isVisible());
    QTRY_VERIFY(m_win.isNull()); // it deletes itself
}

void TestConfig::escKeyReturns()
{
    CONFIG1 *w = openWindow();
    QSignalSpy back(w, &CONFIG1::returnMain);
    QVERIFY(focusOn(w, w->Combo[1]));
    QTest::keyClick(w->Combo[1], Qt::Key_Escape);
    QCOMPARE(back.count(), 1);
    QTRY_VERIFY(m_win.isNull());
    QVERIFY(QTest::qWaitFor([this] { return m_link->pending() == 0; }, 5000));
    QCOMPARE(writes(), 0); // the focused box was not edited
}

// ---------------------------------------------------------------------------
// Write-back

void TestConfig::writeBack_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("pick"); // entry of the list to choose with the arrow keys
    QTest::addColumn<QString>("type"); // or text to type
    QTest::addColumn<int>("reg");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("shown"); // read-back label afterwards

    QTest::newRow("alarm mode by list") << "Combo2" << "3:上偏差报警 " << "" << 11 << 3 << "上偏差报警";
    QTest::newRow("channel code, not position") << "Combo7" << "4:CH4 变送 " << "" << 21 << 4 << "通道4变送";
    QTest::newRow("input type 8 without colon") << "Combo9" << "8 WRe325(0-2300)" << "" << 25 << 8 << "WRe325(0~2300)";
    QTest::newRow("CH3 decimal point is Combo13") << "Combo13" << "4:X.XXXX " << "" << 36 << 4 << "X.XXXX";
    QTest::newRow("CH3 input type is Combo14") << "Combo14" << "12:PT1000(-200-850) " << "" << 35 << 12 << "PT1000(-200-850)   ";
    QTest::newRow("relay function") << "Combo18" << "1:位式控制 " << "" << 48 << 1 << "位式控制";
    QTest::newRow("code typed into a choice box") << "Combo1" << "" << "2" << 9 << 2 << "下限报警";
    QTest::newRow("filter 2.5 s") << "T_3RW(45)" << "" << "2.5" << 46 << 25 << "2.5";
    QTest::newRow("negative input limit") << "T_3RW(26)" << "" << "-200" << 27 << -200 << "-200";
    QTest::newRow("blanks around the number") << "T_3RW(28)" << "" << " -15 " << 29 << -15 << "-15";
}

void TestConfig::writeBack()
{
    QFETCH(QString, entry);
    QFETCH(QString, pick);
    QFETCH(QString, type);
    QFETCH(int, reg);
    QFETCH(int, value);
    QFETCH(QString, shown);

    QCOMPARE(sim(QStringLiteral("set hr 26 2")), QStringLiteral("ok")); // a decimal point changes nothing
    CONFIG1 *w = openWindow();
    QWidget *e = w->findChild<QWidget *>(entry);
    QVERIFY(e);
    QCOMPARE(w->Entry(reg), e);
    QVERIFY(focusOn(w, e));
    if (!pick.isEmpty()) {
        auto *box = qobject_cast<QComboBox *>(e);
        QVERIFY(box);
        const int k = box->findText(pick);
        QVERIFY(k >= 0);
        for (int n = 0; n <= k; ++n) // from no entry to entry k
            QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(box->currentText(), pick);
    } else {
        if (auto *box = qobject_cast<QComboBox *>(e))
            box->lineEdit()->selectAll();
        QTest::keyClicks(e, type);
    }
    QVERIFY(w->edited(reg));
    QCOMPARE(writes(), 0);

    QTest::keyClick(e, Qt::Key_Tab); // leave the box
    QVERIFY(!e->hasFocus());
    QTRY_COMPARE(sim(QStringLiteral("lastwrite")), QStringLiteral("ok %1 %2").arg(reg).arg(value));
    QCOMPARE(writes(), 1);
    QCOMPARE(m_settings.Link_Par[19], value);
    QVERIFY(!w->edited(reg));
    QCOMPARE(e->property("Mark").toString(), QString());
    if (auto *edit = qobject_cast<QLineEdit *>(e))
        QCOMPARE(edit->text(), type); // the typed text stays
    QVERIFY(readNow(w));
    QCOMPARE(whole(w->D_4W[reg - 1]), shown);
    QCOMPARE(writes(), 1);
}

void TestConfig::passThroughWritesNothing()
{
    CONFIG1 *w = openWindow();
    // Tab through the relay-function page: the focus follows the rows.
    const int regs[] = {9, 10, 11, 12, 13, 14, 15, 16};
    QVERIFY(focusOn(w, w->Entry(9)));
    for (int k = 1; k < int(std::size(regs)); ++k) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w->Entry(regs[k]));
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    // And through the alarm settings page.
    QVERIFY(focusOn(w, w->T_3RW[0]));
    for (int k = 1; k < 8; ++k) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w->T_3RW[k]);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QVERIFY(readNow(w)); // the link serves in order: any write would be done now
    QCOMPARE(writes(), 0);

    // Written once; passing through again writes nothing more.
    QVERIFY(focusOn(w, w->T_3RW[3]));
    QTest::keyClicks(w->T_3RW[3], QStringLiteral("444"));
    QTest::keyClick(w->T_3RW[3], Qt::Key_Tab);
    QTRY_COMPARE(sim(QStringLiteral("lastwrite")), QStringLiteral("ok 4 444"));
    QVERIFY(focusOn(w, w->T_3RW[3]));
    QTest::keyClick(w->T_3RW[3], Qt::Key_Tab);
    w->T_3RW_LostFocus(3);
    QVERIFY(readNow(w));
    QCOMPARE(writes(), 1);
    // Choosing the first entry is a visible change and an edit.
    QVERIFY(focusOn(w, w->Combo[2]));
    QTest::keyClick(w->Combo[2], Qt::Key_Down);
    QCOMPARE(w->Combo[2]->currentIndex(), 0);
    QTest::keyClick(w->Combo[2], Qt::Key_Tab);
    QTRY_COMPARE(sim(QStringLiteral("lastwrite")), QStringLiteral("ok 11 0"));
    QCOMPARE(writes(), 2);
}

// Turning the wheel over a choice box the operator is not in changes
// nothing, and so nothing is written when the focus moves on.
void TestConfig::wheelOverUnfocusedBox()
{
    CONFIG1 *w = openWindow();
    w->Timer1.stop();
    QComboBox *box = w->Combo[9];
    QVERIFY(focusOn(w, w->T_3RW[26])); // same page, another field
    const int before = box->currentIndex();
    const QString text = box->currentText();
    for (QWidget *under : {static_cast<QWidget *>(box->lineEdit()), static_cast<QWidget *>(box)}) {
        const QPointF at = QPointF(under->rect().center());
        for (int notch = 0; notch < 3; ++notch) {
            QWheelEvent wheel(at, QPointF(under->mapToGlobal(at.toPoint())), QPoint(), QPoint(0, -120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(under, &wheel);
        }
    }
    QCOMPARE(box->currentIndex(), before);
    QCOMPARE(box->currentText(), text);
    QVERIFY(!w->edited(25));
    QVERIFY(w->T_3RW[26]->hasFocus());
    QTest::keyClick(w->T_3RW[26], Qt::Key_Tab);
    QVERIFY(focusOn(w, box));
    QTest::keyClick(box, Qt::Key_Tab);
    QVERIFY(readNow(w)); // the link serves in order: any write would be done now
    QCOMPARE(writes(), 0);
}

// A value the parameter does not take is not sent. The field and the message
// line name the range, the journal keeps the refusal beyond the window, and a
// later good write settles it.
void TestConfig::refusedNotSent()
{
    CONFIG1 *w = openWindow();
    w->Timer1.stop(); // no reads of our own in flight: the link is idle
    auto enter = [this, w](QWidget *e, const QString &text) {
        if (!focusOn(w, e))
            return false;
        if (auto *box = qobject_cast<QComboBox *>(e))
            box->lineEdit()->selectAll();
        else
            qobject_cast<QLineEdit *>(e)->selectAll();
        QTest::keyClicks(e, text);
        QTest::keyClick(e, Qt::Key_Tab);
        return true;
    };
    QWidget *correction = w->Entry(29);
    QWidget *unit = w->Entry(47);
    QVERIFY(enter(correction, QStringLiteral("-32768")));
    QTRY_COMPARE(correction->property("Mark").toString(), QStringLiteral("refused"));
    QCOMPARE(m_link->pending(), 0); // nothing was sent
    QVERIFY2(w->msgLine->text().contains(QStringLiteral("-500～500")), qPrintable(w->msgLine->text()));
    QCOMPARE(correction->toolTip(), w->msgLine->text());
    QCOMPARE(qobject_cast<QLineEdit *>(correction)->text(), QStringLiteral("-32768"));
    QVERIFY(w->edited(29)); // still to be written once corrected
    QCOMPARE(m_journal->latest().reg, 29);
    QCOMPARE(m_journal->latest().text, w->msgLine->text());

    QVERIFY(enter(unit, QStringLiteral("99")));
    QTRY_COMPARE(unit->property("Mark").toString(), QStringLiteral("refused"));
    QVERIFY2(w->msgLine->text().startsWith(QStringLiteral("温度单位：")), qPrintable(w->msgLine->text()));
    QVERIFY(w->msgLine->text().contains(QStringLiteral("0～2")));
    QCOMPARE(m_journal->latest().reg, 47);
    QVERIFY(readNow(w));
    QCOMPARE(writes(), 0);

    // Corrected, it goes out; the mark and the journal entry go.
    QVERIFY(enter(unit, QStringLiteral("2")));
    QTRY_COMPARE(sim(QStringLiteral("lastwrite")), QStringLiteral("ok 47 2"));
    QTRY_COMPARE(unit->property("Mark").toString(), QString());
    QCOMPARE(m_journal->latest().reg, 29);

    // Closed with the correction still refused: the journal keeps it until
    // the window is opened again.
    QVERIFY(focusOn(w, unit));
    QTest::keyClick(unit, Qt::Key_Escape);
    QTRY_VERIFY(m_win.isNull());
    QCOMPARE(m_journal->latest().reg, 29);
    QVERIFY(m_journal->latest().text.startsWith(QStringLiteral("平移修正：")));
    openWindow();
    QCOMPARE(m_journal->latest().reg, 0);
    QCOMPARE(writes(), 1);
}

void TestConfig::exceptionRetriedOnceAndShown()
{
    QCOMPARE(sim(QStringLiteral("set hr 3 123")), QStringLiteral("ok"));
    CONFIG1 *w = openWindow();
    QVERIFY(readNow(w));
    QCOMPARE(sim(QStringLiteral("fault wexc 3")), QStringLiteral("ok"));
    QVERIFY(focusOn(w, w->T_3RW[2]));
    QTest::keyClicks(w->T_3RW[2], QStringLiteral("777"));
    QTest::keyClick(w->T_3RW[2], Qt::Key_Tab);
    QTRY_COMPARE(w->T_3RW[2]->property("Mark").toString(), QStringLiteral("failed"));
    QCOMPARE(writes(), 2);
    QVERIFY2(w->msgLine->text().contains(QStringLiteral("illegal data value")), qPrintable(w->msgLine->text()));
    QVERIFY(w->msgLine->text().contains(QStringLiteral("CH2设定值SV")));
    QCOMPARE(m_journal->latest().reg, 3);
    QCOMPARE(m_journal->latest().text, w->msgLine->text());
    QCOMPARE(w->T_3RW[2]->text(), QStringLiteral("777"));
    QVERIFY(w->edited(3)); // still to be written
    QVERIFY(readNow(w));
    QCOMPARE(writes(), 2); // no third try
    QCOMPARE(whole(w->D_4W[2]), QStringLiteral("123"));
    QCOMPARE(sim(QStringLiteral("lastwrite")), QStringLiteral("ok none"));

    // Once the instrument takes writes again, leaving the box writes it.
    QCOMPARE(sim(QStringLiteral("fault none")), QStringLiteral("ok"));
    QVERIFY(focusOn(w, w->T_3RW[2]));
    QTest::keyClick(w->T_3RW[2], Qt::Key_Tab);
    QTRY_COMPARE(sim(QStringLiteral("lastwrite")), QStringLiteral("ok 3 777"));
    QTRY_COMPARE(w->T_3RW[2]->property("Mark").toString(), QString());
    QCOMPARE(m_journal->latest().reg, 0); // settled
    QCOMPARE(writes(), 3);
    QVERIFY(readNow(w));
    QCOMPARE(whole(w->D_4W[2]), QStringLiteral("777"));
}

void TestConfig::failureKinds_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<LinkFault>("writeKind");
    QTest::addColumn<int>("exception");
    QTest::addColumn<LinkHealth>("health");
    QTest::addColumn<LinkFault>("pollKind");
    QTest::newRow("time-out") << QStringLiteral("fault silent") << LinkFault::Timeout << 0
                              << LinkHealth::Interrupted << LinkFault::Timeout;
    QTest::newRow("bad frame") << QStringLiteral("fault crc") << LinkFault::BadFrame << 0
                               << LinkHealth::Interrupted << LinkFault::BadFrame;
    // The instrument refusing a value is no fault of the link: polls go on.
    QTest::newRow("exception 3") << QStringLiteral("fault wexc 3") << LinkFault::Exception << 3
                                 << LinkHealth::Ok << LinkFault::None;
}

// A failed write and a failed poll are told by their kind: the window's
// message and journal entry are composed from it, and the acquisition keeps
// it as its health.
void TestConfig::failureKinds()
{
    QFETCH(QString, fault);
    QFETCH(LinkFault, writeKind);
    QFETCH(int, exception);
    QFETCH(LinkHealth, health);
    QFETCH(LinkFault, pollKind);
    CONFIG1 *w = openWindow();
    w->Timer1.stop();
    QTRY_COMPARE(w->readsOut(), 0);
    Met1 met(*m_link, m_settings, m_live, m_clock);
    met.Timer1.start(3600 * 1000); // health is judged while polling; ticks are called below
    met.resetHealth();
    QCOMPARE(sim(fault), QStringLiteral("ok"));

    QVERIFY(focusOn(w, w->T_3RW[2]));
    QTest::keyClicks(w->T_3RW[2], QStringLiteral("777"));
    QTest::keyClick(w->T_3RW[2], Qt::Key_Tab);
    QTRY_COMPARE(w->T_3RW[2]->property("Mark").toString(), QStringLiteral("failed"));
    QCOMPARE(writes(), 2); // the one retry, whatever the kind
    const QString told = writeFailureText(QStringLiteral("CH2设定值SV"), LinkError{writeKind, exception, 0});
    QCOMPARE(w->msgLine->text(), told);
    QCOMPARE(m_journal->latest().reg, 3);
    QCOMPARE(m_journal->latest().text, told);

    QSignalSpy ticked(&met, &Met1::tickDone);
    met.Timer1_Timer();
    QVERIFY(ticked.wait(3000));
    QCOMPARE(met.health(), health);
    QCOMPARE(met.lastError().kind, pollKind);
}

void TestConfig::escWritesFocusedEdit()
{
    CONFIG1 *w = openWindow();
    QSignalSpy back(w, &CONFIG1::returnMain);
    QVERIFY(focusOn(w, w->T_3RW[44]));
    QTest::keyClicks(w->T_3RW[44], QStringLiteral("30"));
    QTest::keyClick(w->T_3RW[44], Qt::Key_Escape);
    QCOMPARE(back.count(), 1);
    QTRY_VERIFY(m_win.isNull());
    QTRY_COMPARE(sim(QStringLiteral("lastwrite")), QStringLiteral("ok 45 30"));
    QCOMPARE(writes(), 1);
}

// A write issued as the window closes fails after the window is gone: the
// journal still hears of it.
void TestConfig::failureAfterCloseJournaled()
{
    CONFIG1 *w = openWindow();
    w->Timer1.stop();
    QCOMPARE(sim(QStringLiteral("fault silent")), QStringLiteral("ok")); // each try times out
    bool windowGone = false;
    const auto heard = connect(m_journal.get(), &WriteJournal::changed, this,
                               [this, &windowGone] { windowGone = m_win.isNull(); });
    QVERIFY(focusOn(w, w->T_3RW[44]));
    QTest::keyClicks(w->T_3RW[44], QStringLiteral("30"));
    QTest::keyClick(w->T_3RW[44], Qt::Key_Escape);
    QTRY_COMPARE_WITH_TIMEOUT(m_journal->latest().reg, 45, 5000);
    disconnect(heard);
    QVERIFY(windowGone);
    QVERIFY2(m_journal->latest().text.startsWith(QStringLiteral("屏幕点亮时间：写入失败（仪表无应答")),
             qPrintable(m_journal->latest().text));
    QCOMPARE(writes(), 2); // after its one retry
}

// The window is checked at full size on a large screen; a small one is the
// business of tst_configfit.
QR_TEST_MAIN_ON_SCREEN(TestConfig, 1920, 1080, 96)
#include "tst_config.moc"
