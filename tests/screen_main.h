// main() for a widget test that needs a screen of a known size: the
// offscreen platform (the one the tests run on) reads its screens from a
// JSON file named in its "configfile" option, which must be set before the
// application starts. Under another platform the screen is what it is.
#pragma once

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

inline void useOffscreenScreen(const QTemporaryDir &dir, int width, int height, int dpi)
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("offscreen"))
        return;
    QFile f(dir.filePath(QStringLiteral("screens.json")));
    if (!f.open(QIODevice::WriteOnly))
        return;
    f.write(QStringLiteral(R"({"screens": [{"name": "test", "x": 0, "y": 0, "width": %1, "height": %2,)"
                           R"( "logicalDpi": %3, "logicalBaseDpi": 96, "dpr": 1}]})")
                .arg(width)
                .arg(height)
                .arg(dpi)
                .toUtf8());
    f.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + f.fileName().toLocal8Bit());
}

#define QR_TEST_MAIN_ON_SCREEN(TestClass, width, height, dpi)                                                  \
    int main(int argc, char **argv)                                                                           \
    {                                                                                                          \
        QTemporaryDir screenDir;                                                                               \
        useOffscreenScreen(screenDir, width, height, dpi);                                                   \
        QApplication app(argc, argv);                                                                          \
        TestClass test;                                                                                        \
        QTEST_SET_MAIN_SOURCE_PATH                                                                             \
        return QTest::qExec(&test, argc, argv);                                                                \
    }
