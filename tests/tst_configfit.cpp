// The configuration window on a small screen: a 1024 x 768 screen at 125 %
// (819 x 614 logical pixels) holds the whole window with every control, and
// every caption is readable in full.
#include "screen_main.h"
#include "config/config1.h"
#include "link/link.h"

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

class TestConfigFit : public QObject {
    Q_OBJECT
private slots:
    void fitScale_data();
    void fitScale();
    void smallScreen();
};

void TestConfigFit::fitScale_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<bool>("full"); // the window keeps its full size
    QTest::newRow("large screen") << QRect(0, 0, 1920, 1080) << true;
    QTest::newRow("1024 x 768") << QRect(0, 0, 1024, 768) << true;
    QTest::newRow("1024 x 768 with a panel") << QRect(0, 28, 1024, 740) << true;
    QTest::newRow("1024 x 768 at 125 %") << QRect(0, 0, 819, 614) << false;
    QTest::newRow("800 x 600") << QRect(0, 0, 800, 600) << false;
}

void TestConfigFit::fitScale()
{
    QFETCH(QRect, available);
    QFETCH(bool, full);
    const QSize client(974, 636); // full size at 96 dpi
    const double s = CONFIG1::fitScale(client, available);
    QCOMPARE(s == 1.0, full);
    QVERIFY(s > 0.5 && s <= 1.0);
    // Room is left for a frame with a title bar.
    QVERIFY(qRound(client.width() * s) + 8 <= available.width());
    QVERIFY(qRound(client.height() * s) + 32 <= available.height());
}

void TestConfigFit::smallScreen()
{
    Link link;
    LinkSettings settings;
    ReadBack readBack;
    auto *w = new CONFIG1(link, settings, readBack);
    w->Form_Load();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    const QRect avail = w->screen()->availableGeometry();
    QCOMPARE(avail.size(), QSize(819, 614));
    QVERIFY2(avail.contains(w->frameGeometry()), qPrintable(QStringLiteral("%1 x %2 at %3, %4")
                                                                 .arg(w->frameGeometry().width())
                                                                 .arg(w->frameGeometry().height())
                                                                 .arg(w->frameGeometry().x())
                                                                 .arg(w->frameGeometry().y())));
    auto inside = [w, &avail](QWidget *c) {
        const QRect r(c->mapToGlobal(QPoint(0, 0)), c->size());
        return avail.contains(r) && w->rect().contains(QRect(c->mapTo(w, QPoint(0, 0)), c->size()));
    };
    auto readable = [](QWidget *c, const QString &text) {
        return c->fontMetrics().horizontalAdvance(text) <= c->width();
    };
    for (int t = 0; t < w->SSTab2->count(); ++t) {
        w->SSTab2->setCurrentIndex(t);
        QCoreApplication::processEvents();
        for (QWidget *c : w->findChildren<QWidget *>()) {
            if (c->isVisible())
                QVERIFY2(inside(c), qPrintable(c->objectName()));
        }
    }
    for (QToolButton *tab : w->Frame1->findChildren<QToolButton *>())
        QVERIFY2(readable(tab, tab->text().replace(QStringLiteral("&&"), QStringLiteral("&"))), qPrintable(tab->text()));
    for (int i = 0; i < kParamCount; ++i) {
        QVERIFY2(readable(w->Label1[i], w->Label1[i]->text()), qPrintable(w->Label1[i]->text()));
        const QString help = w->Label2[i]->text().trimmed();
        QVERIFY2(readable(w->Label2[i], help) || w->Label2[i]->toolTip() == QString::fromUtf8(kParam[i].help),
                 qPrintable(help));
    }
    QVERIFY(readable(w->Command11, w->Command11->text()));
    QPointer<CONFIG1> gone(w);
    w->Command11->click();
    QTRY_VERIFY(gone.isNull()); // it deletes itself
}

// One 1024 x 768 screen at 120 dpi, which Qt shows at 125 %.
QR_TEST_MAIN_ON_SCREEN(TestConfigFit, 1024, 768, 120)

#include "tst_configfit.moc"
