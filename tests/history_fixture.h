// Log databases for the journal, history-range and export tests: a database
// made the way the program makes it, ring records and journal rows written
// straight into the file, and the file's bytes for "never written" checks.
#pragma once

#include "core/dates.h"
#include "logging/log_db.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <functional>

// A fresh database at path, tables created by the program itself.
inline bool makeLogDb(const QString &path)
{
    qputenv("QR5300M_DB", path.toLocal8Bit());
    Clock clock;
    Db_Files files(clock);
    Db_Conn setup(files, QStringLiteral("makeLogDb"));
    return setup.Open();
}

// Runs body on a connection of its own to path, in one transaction.
inline bool withDb(const QString &path, const std::function<bool(QSqlDatabase &)> &body)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("withDb"));
        db.setDatabaseName(path);
        ok = db.open() && db.transaction() && body(db);
        ok = ok ? db.commit() : (db.rollback(), false);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("withDb"));
    return ok;
}

// Ring records written into table ("pv_data" or "Lpv_wdjl"): record n gets
// id idOf(n), time timeOf(n) and values valueOf(n, 0..7); newest is stored
// as the ring's newest id in sl_void.
inline bool fillRing(const QString &path, const char *table, int count, const std::function<int(int)> &idOf,
                     const std::function<QDateTime(int)> &timeOf, const std::function<double(int, int)> &valueOf,
                     int newest)
{
    return withDb(path, [&](QSqlDatabase &db) {
        QSqlQuery q(db);
        bool ok = q.prepare(QStringLiteral("INSERT OR REPLACE INTO %1 VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                                .arg(QLatin1String(table)));
        for (int n = 0; ok && n < count; ++n) {
            const QDateTime t = timeOf(n);
            q.bindValue(0, idOf(n));
            q.bindValue(1, Date_Serial(t.date()));
            q.bindValue(2, Time_Serial(t.time()));
            for (int k = 0; k < 8; ++k)
                q.bindValue(3 + k, valueOf(n, k));
            ok = q.exec();
        }
        const bool pv = table[0] == 'p';
        return ok && q.exec(QStringLiteral("UPDATE sl_void SET %1 = %2, %3 = %2")
                                .arg(pv ? QStringLiteral("pv_id") : QStringLiteral("lpv_id"))
                                .arg(newest)
                                .arg(pv ? QStringLiteral("pv_id_copy") : QStringLiteral("lpv_id_copy")));
    });
}

// Rows of a query on path, as lists of values.
inline QList<QVariantList> sqlRows(const QString &path, const QString &sql)
{
    QList<QVariantList> out;
    withDb(path, [&](QSqlDatabase &db) {
        QSqlQuery q(db);
        if (!q.exec(sql))
            return false;
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row << q.value(i);
            out << row;
        }
        return true;
    });
    return out;
}

inline QByteArray fileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}
