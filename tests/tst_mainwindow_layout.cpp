// The main window on a small screen (1024 x 768 at 96 dpi, as on panel PCs
// beside instruments) and with texts that do not fit: everything stays on
// the screen, the chart scales with its area and keeps values on their rows,
// and no text moves the layout.
#include "screen_main.h"
#include "tst_mainwindow_fixture.h"

#include "link/link.h"

#include <QScreen>
#include <QToolTip>
#include <QtTest>

namespace {
const QDateTime kNow(QDate(2026, 3, 12), QTime(18, 42, 5));

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::processEvents();
}

// The label says what it does not show whole: its tooltip is the text.
bool tipIsWholeText(FitLabel *l)
{
    const QPoint at = l->rect().center();
    QHelpEvent help(QEvent::ToolTip, at, l->mapToGlobal(at));
    QApplication::sendEvent(l, &help);
    const bool ok = QTest::qWaitFor([l] { return QToolTip::isVisible() && QToolTip::text().startsWith(l->text()); }, 2000);
    QToolTip::hideText();
    return ok;
}

// Whole text drawn inside the label, or elided with the whole text as tooltip.
bool showsWhole(FitLabel *l)
{
    const int drawn = QFontMetrics(l->shownFont()).horizontalAdvance(l->shownText());
    if (drawn > l->contentsRect().width())
        return false;
    return !l->elided() || tipIsWholeText(l);
}
} // namespace

class TestMainWindowLayout : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void fitsSmallScreen();
    void valuesOnTheirRows_data();
    void valuesOnTheirRows();
    void messagesKeepLayout();
    void readoutsShowWholeValues_data();
    void readoutsShowWholeValues();

private:
    std::unique_ptr<InstrumentSession> m_session; // a fresh one for each test
};

void TestMainWindowLayout::init()
{
    m_session = std::make_unique<InstrumentSession>();
    m_session->clock.set([] { return kNow; });
}

void TestMainWindowLayout::cleanup()
{
    m_session.reset();
}

void TestMainWindowLayout::fitsSmallScreen()
{
    TempDatabase db;
    QVERIFY(fillRecords(db, 1, 600));
    auto w = loadWindow(*m_session);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    const QRect screen = w->screen()->geometry();
    QCOMPARE(screen.size(), QSize(1024, 768));
    QVERIFY(screen.contains(w->frameGeometry()));
    // The Y-range editor and its message come up inside it too.
    QTest::mouseDClick(control<FitLabel>(*w, "Label5", 3), Qt::LeftButton);
    control<QLineEdit>(*w, "YKD")->setText(QStringLiteral("99999"));
    w->Command26_Click();
    QVERIFY(control<FitLabel>(*w, "yMsg")->isVisible());
    settle();
    QVERIFY(screen.contains(w->frameGeometry()));
    for (QWidget *c : w->findChildren<QWidget *>()) {
        if (!c->isVisible())
            continue;
        const QRect g(c->mapToGlobal(QPoint(0, 0)), c->size());
        QVERIFY2(screen.contains(g), qPrintable(c->objectName()));
        // Buttons get the room their captions need.
        if (auto *b = qobject_cast<QPushButton *>(c))
            QVERIFY2(b->width() >= b->minimumSizeHint().width(), qPrintable(b->objectName()));
    }
    for (FitLabel *l : w->findChildren<FitLabel *>()) {
        if (l->isVisible())
            QVERIFY2(showsWhole(l), qPrintable(l->objectName()));
    }
    // The chart is smaller than its twip size and still drawn whole.
    QVERIFY(control<PtBox>(*w, "pt")->width() < PtBox::px(control<PtBox>(*w, "pt"), kPtWidth));
    QCOMPARE(control<PtBox>(*w, "pt")->picture().size(), control<PtBox>(*w, "pt")->size() * control<PtBox>(*w, "pt")->devicePixelRatioF());
}

void TestMainWindowLayout::valuesOnTheirRows_data()
{
    QTest::addColumn<int>("span");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("label"); // Y-axis label whose value the curve holds
    QTest::addColumn<QSize>("size"); // window size; empty: as shown on the screen
    QTest::newRow("start range, 500") << 1500 << 0 << 2 << QSize();
    QTest::newRow("-200..800, 300") << 1000 << -200 << 3 << QSize();
    QTest::newRow("0..1500, 1250, smallest window") << 1500 << 0 << 5 << QSize(1, 1);
    QTest::newRow("-200..800, 633, tall window") << 1000 << -200 << 5 << QSize(1000, 760);
}

// A known value's curve pixel lands on the row of the Y label that names it,
// whatever size the chart has.
void TestMainWindowLayout::valuesOnTheirRows()
{
    QFETCH(int, span);
    QFETCH(int, min);
    QFETCH(int, label);
    QFETCH(QSize, size);
    m_session->yRange.Span = int16_t(span);
    m_session->yRange.Min = int16_t(min);
    const int value = yLabelValue(label, m_session->yRange.Span, m_session->yRange.Min);
    // Quantity 0 of record id i is i: slot 240 (x = 9000) holds `value`.
    TempDatabase db;
    QVERIFY(fillRecords(db, 1, value + 1));
    auto w = loadWindow(*m_session);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    if (size.isValid())
        w->resize(size);
    settle();
    w->Timer1_Timer();
    QCOMPARE(control<FitLabel>(*w, "Label5", label)->text(), QString::number(value));
    const QImage img = control<PtBox>(*w, "pt")->picture();
    const int x = int(9000 * control<PtBox>(*w, "pt")->sx() * img.devicePixelRatio()) - 1;
    int sum = 0, n = 0;
    for (int y = 0; y < img.height(); ++y) {
        if (img.pixel(x, y) == qRgb(0xFF, 0x00, 0x00)) {
            sum += y;
            ++n;
        }
    }
    QVERIFY(n > 0);
    const double curveY = sum / double(n) / img.devicePixelRatio();
    const QPoint labelAt = control<FitLabel>(*w, "Label5", label)->mapToGlobal(control<FitLabel>(*w, "Label5", label)->rect().center());
    const double labelY = labelAt.y() - control<PtBox>(*w, "pt")->mapToGlobal(QPoint(0, 0)).y();
    QVERIFY2(std::abs(curveY - labelY) <= 2.0, qPrintable(QStringLiteral("curve %1, label %2").arg(curveY).arg(labelY)));
}

// Long messages and a long port path are elided with the whole text as a
// tooltip; the window and its buttons do not move.
void TestMainWindowLayout::messagesKeepLayout()
{
    QTemporaryDir ports;
    const QString longDir = ports.path() + QLatin1Char('/') + QString(150, QLatin1Char('p'));
    qputenv("QR5300M_PORT_DIR", longDir.toLocal8Bit());
    TempDatabase db;
    Link link;
    auto w = loadWindow(*m_session);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    settle();
    const QSize size = w->size();
    QList<QRect> places;
    const QList<QWidget *> buttons{control<QPushButton>(*w, "Command9"), control<QPushButton>(*w, "Command10"), control<QPushButton>(*w, "Command8"), control<QPushButton>(*w, "Command4"), control<QPushButton>(*w, "Command1"), control<QPushButton>(*w, "Command21")};
    for (QWidget *b : buttons)
        places << QRect(b->mapTo(w.get(), QPoint(0, 0)), b->size());

    control<QComboBox>(*w, "Combo1")->setEditText(QStringLiteral("3 "));
    w->Command9_Click(); // the port does not exist: the failure names the long path
    QTRY_VERIFY(control<FitLabel>(*w, "linkState")->text().contains(longDir));
    control<FitLabel>(*w, "logState")->setText(QStringLiteral("记录已停止：") + QString(200, QChar(0x5199)));
    settle();

    QCOMPARE(w->size(), size);
    for (int i = 0; i < buttons.size(); ++i)
        QCOMPARE(QRect(buttons[i]->mapTo(w.get(), QPoint(0, 0)), buttons[i]->size()), places[i]);
    QVERIFY(control<FitLabel>(*w, "portDev")->text().contains(longDir));
    for (FitLabel *l : {control<FitLabel>(*w, "portDev"), control<FitLabel>(*w, "linkState"), control<FitLabel>(*w, "logState")}) {
        QVERIFY2(l->elided(), qPrintable(l->objectName()));
        QVERIFY2(showsWhole(l), qPrintable(l->objectName()));
    }
    QTRY_COMPARE(link.pending(), 0);
    qunsetenv("QR5300M_PORT_DIR");
}

void TestMainWindowLayout::readoutsShowWholeValues_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<bool>("ruler"); // read through the ruler, else live
    QTest::addColumn<QString>("text");
    QTest::newRow("smallest float, ruler") << 1.401298e-45f << true << QStringLiteral("0");
    QTest::newRow("smallest float, live") << 1.401298e-45f << false << QStringLiteral("0");
    QTest::newRow("seven digits") << -1234.567f << false << QStringLiteral("-1234.567");
    QTest::newRow("large, ruler") << -12345678.0f << true << QStringLiteral("-12345680");
    QTest::newRow("largest float") << 3.4028235e38f << false << QStringLiteral("3402823") + QString(32, QLatin1Char('0'));
}

void TestMainWindowLayout::readoutsShowWholeValues()
{
    QFETCH(float, value);
    QFETCH(bool, ruler);
    QFETCH(QString, text);
    QLocale::setDefault(QLocale::c());
    TempDatabase db;
    QVERIFY(fillRecords(db, 1, 400));
    if (ruler) // record 340 lands in slot 181: one step right of x = 0
        QVERIFY(db.setValue(DbRing::Pv, 340, 0, value));
    auto w = loadWindow(*m_session);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    settle();
    const QSize size = w->size();
    const QRect box = control<FitLabel>(*w, "D_3W", 0)->geometry();
    if (ruler) {
        w->Command5_Click();
        control<QSlider>(*w, "hc")->setValue(150);
    } else {
        m_session->live.Val_3X[0] = value;
        w->Timer1_Timer();
    }
    settle();
    QCOMPARE(control<FitLabel>(*w, "D_3W", 0)->text(), text);
    QCOMPARE(control<FitLabel>(*w, "D_3W", 0)->geometry(), box);
    QCOMPARE(w->size(), size);
    QVERIFY(showsWhole(control<FitLabel>(*w, "D_3W", 0)));
}

QR_TEST_MAIN_ON_SCREEN(TestMainWindowLayout, 1024, 768, 96)

#include "tst_mainwindow_layout.moc"
