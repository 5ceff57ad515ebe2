#include "config/param_text.h"

#include "config/link_text.h"
#include "config/param_access.h"

#include <QCoreApplication>

namespace {

QString caption(int reg)
{
    return reg >= 1 && reg <= kParamCount ? paramText(kParam[reg - 1].caption) : QString::number(reg);
}

} // namespace

QString paramWriteText(const ParamWrite &w)
{
    switch (w.outcome) {
    case ParamWrite::Outcome::Written:
        return QCoreApplication::translate("CONFIG1", "%1：已写入").arg(caption(w.reg));
    case ParamWrite::Outcome::Refused:
        if (w.refusal == WriteRefusal::NotWritable)
            return QCoreApplication::translate("CONFIG1", "寄存器 %1 不是可写的参数").arg(w.reg);
        return refusalText(w.reg, w.entry.isEmpty() ? QString::number(w.check.value) : w.entry, w.check);
    case ParamWrite::Outcome::Failed:
        return writeFailureText(caption(w.reg), w.error);
    case ParamWrite::Outcome::NotConfirmed:
        if (w.readBack)
            return QCoreApplication::translate("CONFIG1", "%1：写入 %2，读回 %3")
                .arg(caption(w.reg))
                .arg(w.check.value)
                .arg(*w.readBack);
        // The echo was right, so the instrument most likely holds the value:
        // not "failed", but not confirmed either.
        return QCoreApplication::translate("CONFIG1", "%1：已写入 %2，但未能读回确认（%3）")
            .arg(caption(w.reg))
            .arg(w.check.value)
            .arg(linkFailureText(w.error));
    }
    return QString();
}

HistoryEvent paramWriteEvent(const ParamWrite &w)
{
    HistoryEvent e;
    e.reg = w.reg;
    if (w.reg >= 1 && w.reg <= kParamCount)
        e.caption = QString::fromUtf8(kParam[w.reg - 1].caption);
    if (w.before)
        e.before = QString::number(*w.before);
    e.value = QString::number(w.check.value);
    switch (w.outcome) {
    case ParamWrite::Outcome::Written:
        e.kind = EventKind::ParamWritten;
        break;
    case ParamWrite::Outcome::Refused:
        e.kind = EventKind::ParamRefused;
        e.value = w.entry.isEmpty() ? e.value : w.entry;
        e.detail = paramWriteText(w);
        break;
    case ParamWrite::Outcome::Failed:
    case ParamWrite::Outcome::NotConfirmed:
        e.kind = EventKind::ParamFailed;
        // Stored: the same whatever the language.
        if (w.readBack)
            e.detail = QStringLiteral("读回 %1").arg(*w.readBack);
        else if (w.outcome == ParamWrite::Outcome::NotConfirmed)
            e.detail = QStringLiteral("已写入，未能读回确认：%1").arg(linkFailureText(w.error, false));
        else
            e.detail = linkFailureText(w.error, false);
        break;
    }
    return e;
}
