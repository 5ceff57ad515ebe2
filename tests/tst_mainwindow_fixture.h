// Shared by the main-window tests: a real database file in a temporary
// folder, filled straight through SQL (fillRing), and the window loaded on
// it with a session of its own.
#pragma once

#include "app/session.h"
#include "app/ssqx.h"
#include "core/dates.h"
#include "logging/log_db.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QVariant>
#include <memory>

// Record id i carries the value i in quantity 0, i / 2 in quantity 1 and
// 7 in quantity 4, so a slot tells which record it holds.
struct Db_Fixture {
    QTemporaryDir dir;
    QString path;
    QDateTime start = QDateTime(QDate(2026, 3, 12), QTime(6, 0, 0));

    Db_Fixture()
    {
        path = dir.filePath(QStringLiteral("Rdatabj.db"));
        qputenv("QR5300M_DB", path.toLocal8Bit());
        Clock clock;
        Db_Files files(clock);
        Db_Conn init(files, QStringLiteral("Fixture_Init"));
        init.Open(); // creates the three tables
        init.Close();
    }

    // Writes ids first..last, one second apart from `at` on, and stores
    // `newest` in sl_void.
    bool Fill(int first, int last, const QDateTime &at, int newest)
    {
        const auto value = [](int id, int q) { return q == 0 ? id : q == 1 ? id / 2.0 : q == 4 ? 7 : 0; };
        bool ok = fillRing(path, Db_Ring::Pv, first, last - first + 1, at, 1, value);
        if (ok && newest != last)
            sqlRows(path, QStringLiteral("UPDATE sl_void SET pv_id = %1, pv_id_copy = %1").arg(newest), &ok);
        return ok;
    }
    bool Fill(int first, int last) { return Fill(first, last, start.addSecs(first), last); }
};

// The window on a session that outlives it. A fresh session is what the
// program starts with: tables at zero, the Y range at its starting span.
inline std::unique_ptr<ssqx> Load_Window(InstrumentSession &session)
{
    auto w = std::make_unique<ssqx>(session);
    w->Form_Load();
    return w;
}
