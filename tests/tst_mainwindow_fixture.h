// Shared by the main-window tests: a real database file in a temporary
// folder, filled with plain SQL, and the window loaded on it with a session
// of its own.
#pragma once

#include "app/session.h"
#include "app/ssqx.h"
#include "core/dates.h"
#include "logging/log_db.h"

#include <QSqlDatabase>
#include <QSqlQuery>
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
        bool ok = true;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("Fixture_Fill"));
            db.setDatabaseName(path);
            ok = db.open() && db.transaction();
            QSqlQuery ins(db);
            ok = ok && ins.prepare(QStringLiteral("INSERT OR REPLACE INTO pv_data VALUES (?,?,?,?,?,?,?,?,?,?,?)"));
            for (int id = first; ok && id <= last; ++id) {
                const QDateTime t = at.addSecs(id - first);
                ins.bindValue(0, id);
                ins.bindValue(1, Date_Serial(t.date()));
                ins.bindValue(2, Time_Serial(t.time()));
                const float v[8] = {float(id), float(id) / 2, 0, 0, 7, 0, 0, 0};
                for (int q = 0; q < 8; ++q)
                    ins.bindValue(3 + q, double(v[q]));
                ok = ins.exec();
            }
            QSqlQuery q(db);
            ok = ok && q.exec(QStringLiteral("DELETE FROM sl_void"));
            ok = ok && q.exec(QStringLiteral("INSERT INTO sl_void VALUES (%1, %1, 0, 0)").arg(newest));
            ok = ok && db.commit();
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("Fixture_Fill"));
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
