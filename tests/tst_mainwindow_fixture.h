// Shared by the main-window tests: their records in a real database file
// (TempDatabase, filled straight through SQL), and the window loaded on it
// with a session of its own.
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

// The window tests' records on a TempDatabase: they start here, and record
// id i carries the value i in quantity 0, i / 2 in quantity 1 and 7 in
// quantity 4, so a slot tells which record it holds.
inline const QDateTime kRecordStart(QDate(2026, 3, 12), QTime(6, 0, 0));

// Writes pv_data ids first..last, one second apart from `at` on, and stores
// `newest` in sl_void.
inline bool fillRecords(const TempDatabase &db, int first, int last, const QDateTime &at, int newest)
{
    const auto value = [](int id, int q) { return q == 0 ? id : q == 1 ? id / 2.0 : q == 4 ? 7 : 0; };
    return db.fill(DbRing::Pv, first, last - first + 1, at, 1, value) && (newest == last || db.setNewest(DbRing::Pv, newest));
}
inline bool fillRecords(const TempDatabase &db, int first, int last)
{
    return fillRecords(db, first, last, kRecordStart.addSecs(first), last);
}

// The window on a session that outlives it. A fresh session is what the
// program starts with: tables at zero, the Y range at its starting span.
inline std::unique_ptr<ssqx> loadWindow(InstrumentSession &session)
{
    auto w = std::make_unique<ssqx>(session);
    w->Form_Load();
    return w;
}
