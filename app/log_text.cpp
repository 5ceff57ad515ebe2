#include "app/log_text.h"

#include <QCoreApplication>

QString logStateText(const LogState &state)
{
    return state.stopped ? QCoreApplication::translate("LogText", "记录已停止：") + state.reason : QString();
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
