// Shared by the main-window tests: a real database file in a temporary
// folder, filled straight through SQL (fillRing), and the window loaded on
// it with a session of its own.
#pragma once

#include "app/fit_label.h"
#include "app/session.h"
#include "app/ssqx.h"
#include "chart/chart_view.h"
#include "core/dates.h"
#include "logging/log_db.h"
#include "testsupport.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

#include <QTemporaryDir>
#include <QVariant>
#include <memory>

// A control (or timer) of a window, found by its name; the window keeps
// its controls to itself.
template <typename T>
T *control(const QObject &window, const QString &name)
{
    return window.findChild<T *>(name);
}
// Element i of a control array: "D_3W(2)".
template <typename T>
T *control(const QObject &window, const char *array, int i)
{
    return control<T>(window, QStringLiteral("%1(%2)").arg(QLatin1String(array)).arg(i));
}

// Record id i carries the value i in quantity 0, i / 2 in quantity 1 and
// 7 in quantity 4, so a slot tells which record it holds.
struct DbFixture {
    QTemporaryDir dir;
    QString path;
    QDateTime start = QDateTime(QDate(2026, 3, 12), QTime(6, 0, 0));

    DbFixture()
    {
        path = dir.filePath(QStringLiteral("Rdatabj.db"));
        qputenv("QR5300M_DB", path.toLocal8Bit());
        Clock clock;
        DbFiles files(clock);
        DbConn init(files, QStringLiteral("fixtureInit"));
        init.open(); // creates the three tables
        init.close();
    }

    // Writes ids first..last, one second apart from `at` on, and stores
    // `newest` in sl_void.
    bool Fill(int first, int last, const QDateTime &at, int newest)
    {
        const auto value = [](int id, int q) { return q == 0 ? id : q == 1 ? id / 2.0 : q == 4 ? 7 : 0; };
        bool ok = fillRing(path, DbRing::Pv, first, last - first + 1, at, 1, value);
        if (ok && newest != last)
            sqlRows(path, QStringLiteral("UPDATE sl_void SET pv_id = %1, pv_id_copy = %1").arg(newest), &ok);
        return ok;
    }
    bool Fill(int first, int last) { return Fill(first, last, start.addSecs(first), last); }

    // Gives record `id` the value v in quantity 0.
    bool setValue(int id, float v)
    {
        bool ok = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fixtureSet"));
            db.setDatabaseName(path);
            QSqlQuery q(db);
            ok = db.open() && q.prepare(QStringLiteral("UPDATE pv_data SET w_v0 = ? WHERE w_id = ?"));
            q.bindValue(0, double(v));
            q.bindValue(1, id);
            ok = ok && q.exec() && q.numRowsAffected() == 1;
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("fixtureSet"));
        return ok;
    }
};

// The window on a session that outlives it. A fresh session is what the
// program starts with: tables at zero, the Y range at its starting span.
inline std::unique_ptr<ssqx> loadWindow(InstrumentSession &session)
{
    auto w = std::make_unique<ssqx>(session);
    w->Form_Load();
    return w;
}
