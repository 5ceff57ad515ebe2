#include "app/log_text.h"

#include <QCoreApplication>

namespace {

// A short reason for SQLite's result codes that have no kind of their own.
QString sqliteReason(int code)
{
    switch (code) {
    case 1: return QCoreApplication::translate("LogDb", "数据库语句执行失败");
    case 3: return QCoreApplication::translate("LogDb", "没有访问数据库的权限");
    case 4: return QCoreApplication::translate("LogDb", "数据库操作被中止");
    case 7: return QCoreApplication::translate("LogDb", "内存不足");
    case 9: return QCoreApplication::translate("LogDb", "数据库操作被中断");
    case 10: return QCoreApplication::translate("LogDb", "读写数据库文件出错");
    case 14: return QCoreApplication::translate("LogDb", "无法打开数据库文件");
    case 15: return QCoreApplication::translate("LogDb", "数据库文件的锁出错");
    case 17: return QCoreApplication::translate("LogDb", "数据库的表结构已改变");
    case 18: return QCoreApplication::translate("LogDb", "数据过大");
    case 19: return QCoreApplication::translate("LogDb", "写入被数据库的约束拒绝");
    case 20: return QCoreApplication::translate("LogDb", "数据类型不符");
    case 22: return QCoreApplication::translate("LogDb", "系统不支持大文件");
    case 23: return QCoreApplication::translate("LogDb", "数据库拒绝访问");
    default: return QCoreApplication::translate("LogDb", "数据库操作失败");
    }
}

// SQLite's own words in brackets, after the operator's.
QString sqliteWords(const DbError &error)
{
    return error.sqliteText.isEmpty() ? QString() : QCoreApplication::translate("LogDb", "（%1）").arg(error.sqliteText);
}

QString sqliteText(const DbError &error)
{
    switch (error.kind) {
    case DbFault::Missing: return QCoreApplication::translate("LogDb", "数据库文件丢失");
    case DbFault::ReadOnly: return QCoreApplication::translate("LogDb", "数据库只读");
    case DbFault::Locked: return QCoreApplication::translate("LogDb", "数据库被锁定");
    case DbFault::Full: return QCoreApplication::translate("LogDb", "磁盘已满");
    default: return sqliteReason(error.sqliteCode) + sqliteWords(error);
    }
}

// "<path> 不是本程序的数据库：<what>".
QString foreignText(const DbError &e)
{
    QString what;
    switch (e.cause) {
    case DbCause::NotRegular: what = QCoreApplication::translate("LogDb", "不是普通文件"); break;
    case DbCause::TableMissing: what = QCoreApplication::translate("LogDb", "缺少表 %1").arg(e.table); break;
    case DbCause::ColumnCount:
        what = QCoreApplication::translate("LogDb", "表 %1 应有 %2 列，实有 %3 列").arg(e.table).arg(e.expected).arg(e.foundColumns);
        break;
    case DbCause::ColumnName:
        what = QCoreApplication::translate("LogDb", "表 %1 第 %2 列应为 %3，实为 %4").arg(e.table).arg(e.column).arg(e.other, e.found);
        break;
    default:
        // A damaged page found by SQLite, or by the full check.
        return e.sqliteCode ? QCoreApplication::translate("LogDb", "%1 不是本程序的数据库：文件已损坏或不是 SQLite 数据库").arg(e.path)
                            : QCoreApplication::translate("LogDb", "%1 不是本程序的数据库：%2").arg(e.path, QCoreApplication::translate("LogDb", "文件已损坏"));
    }
    return QCoreApplication::translate("LogDb", "%1 不是本程序的数据库：%2").arg(e.path, what);
}

} // namespace

QString dbErrorText(const DbError &e)
{
    switch (e.cause) {
    case DbCause::None: return QString();
    case DbCause::Sqlite: return sqliteText(e);
    case DbCause::FileGone: return QCoreApplication::translate("LogDb", "数据库文件丢失");
    case DbCause::FolderReadOnly: return QCoreApplication::translate("LogDb", "数据库文件夹 %1 不可写入（%2）").arg(e.path, qt_error_string(e.sysErrno));
    case DbCause::FolderNotFolder: return QCoreApplication::translate("LogDb", "数据库文件夹 %1 无法使用：%2 不是文件夹").arg(e.path, e.other);
    case DbCause::FolderMissing: return QCoreApplication::translate("LogDb", "数据库文件夹 %1 不存在").arg(e.path);
    case DbCause::LockIsLink: return QCoreApplication::translate("LogDb", "锁文件 %1 是符号链接，已拒绝使用（其指向的文件不会被改动）").arg(e.path);
    case DbCause::LockCreate: return QCoreApplication::translate("LogDb", "无法建立锁文件 %1（%2）").arg(e.path, qt_error_string(e.sysErrno));
    case DbCause::LockTake: return QCoreApplication::translate("LogDb", "无法锁定锁文件 %1（%2）").arg(e.path, qt_error_string(e.sysErrno));
    case DbCause::HeldBy:
        return e.pid > 0 ? QCoreApplication::translate("LogDb", "数据库 %1 正被另一个运行中的本程序使用（进程号 %2）").arg(e.path).arg(e.pid)
                         : QCoreApplication::translate("LogDb", "数据库 %1 正被另一个运行中的本程序使用").arg(e.path);
    case DbCause::NotRegular:
    case DbCause::Damaged:
    case DbCause::TableMissing:
    case DbCause::ColumnCount:
    case DbCause::ColumnName:
        return foreignText(e);
    }
    return QString();
}

QString logStateText(const LogState &state)
{
    return state.stopped ? QCoreApplication::translate("LogText", "记录已停止：") + dbErrorText(state.error) : QString();
}

QString logNoticeText(const LogNotice &notice)
{
    QString what;
    switch (notice.kind) {
    case DbNotice::None:
        return QString();
    case DbNotice::FileReplaced:
        what = QCoreApplication::translate("LogText", "数据库文件已被替换或被其他程序改动，已重新打开");
        break;
    case DbNotice::FileRecreated:
        what = QCoreApplication::translate("LogText", "数据库文件已被删除，已新建一个空数据库");
        break;
    case DbNotice::IdsRecovered:
        what = QCoreApplication::translate("LogText", "表 sl_void 中的最新记录号无法读出，已按记录时间取回并存回（pv_data %1，Lpv_wdjl %2）")
                   .arg(notice.pvId)
                   .arg(notice.lpvId);
        break;
    }
    return notice.time.toString(QStringLiteral("HH:mm:ss ")) + what;
}

QString journalErrorText(const JournalError &error)
{
    switch (error.kind) {
    case JournalFault::None: return QString();
    case JournalFault::ReaderOnly: return QCoreApplication::translate("LogDb", "只读连接不记录事件");
    case JournalFault::NotOpen:
        return error.db.kind == DbFault::None ? QCoreApplication::translate("LogDb", "数据库未打开") : dbErrorText(error.db);
    case JournalFault::NoTable: return QCoreApplication::translate("LogDb", "没有事件表");
    case JournalFault::NotATable: return QCoreApplication::translate("Journal", "qr_events 不是表");
    case JournalFault::OtherColumns:
        return QCoreApplication::translate("Journal", "表 qr_events 的列与本程序的事件表不同（%1）").arg(error.columns);
    case JournalFault::CreateFailed: return QCoreApplication::translate("LogDb", "无法建立事件表（%1）").arg(error.db.sqliteText);
    case JournalFault::WriteFailed: return sqliteReason(error.db.sqliteCode) + sqliteWords(error.db);
    }
    return QString();
}

QString journalStatusText(const JournalError &error)
{
    return error.kind == JournalFault::None
               ? QString()
               : QCoreApplication::translate("Mscom", "事件未能记入数据库：") + journalErrorText(error);
}
