#include "config/param_set_text.h"

#include "config/link_text.h"
#include "config/param_text.h"

#include <QCoreApplication>

QString paramCaption(int reg)
{
    if (reg >= 1 && reg <= kParamCount)
        return paramText(kParam[reg - 1].caption);
    return QCoreApplication::translate("ParamSet", "寄存器 %1").arg(reg);
}

QString paramFileText(const QString &path, const ParamFileError &e)
{
    const QString file = QCoreApplication::translate("ParamSet", "参数文件 %1：").arg(path);
    const QString entry = QCoreApplication::translate("ParamSet", "第 %1 项").arg(e.entry + 1);
    switch (e.kind) {
    case ParamFileFault::None:
        return QString();
    case ParamFileFault::OpenFailed:
        return file + QCoreApplication::translate("ParamSet", "无法读取（%1）").arg(e.detail);
    case ParamFileFault::WriteFailed:
        return file + QCoreApplication::translate("ParamSet", "无法写入（%1）").arg(e.detail);
    case ParamFileFault::NotJson:
        return file + QCoreApplication::translate("ParamSet", "不是 JSON（%1）").arg(e.detail);
    case ParamFileFault::NotSet:
        return file + QCoreApplication::translate("ParamSet", "不是本程序的参数文件");
    case ParamFileFault::BadField:
        return file + QCoreApplication::translate("ParamSet", "缺少 %1 或其类型不对").arg(e.field);
    case ParamFileFault::BadEntry:
        if (e.field.isEmpty())
            return file + QCoreApplication::translate("ParamSet", "%1 不是对象").arg(entry);
        return file + QCoreApplication::translate("ParamSet", "%1 缺少 %2 或其类型不对").arg(entry, e.field);
    case ParamFileFault::BadRegister:
        return file + QCoreApplication::translate("ParamSet", "%1 的寄存器号不是 1～65535 的整数").arg(entry);
    case ParamFileFault::RawRange:
        return file + QCoreApplication::translate("ParamSet", "%1 的 raw 不是 -32768～32767 的整数（寄存器 %2）").arg(entry).arg(e.reg);
    case ParamFileFault::Duplicate:
        return file + QCoreApplication::translate("ParamSet", "%1 重复了寄存器 %2").arg(entry).arg(e.reg);
    case ParamFileFault::Missing:
        return file + QCoreApplication::translate("ParamSet", "缺少寄存器 %1（%2）").arg(e.reg).arg(paramCaption(e.reg));
    }
    return file;
}

QString paramDiffHeading(const QString &left, const QString &right)
{
    return QCoreApplication::translate("ParamSet", "寄存器\t参数\t%1\t%2").arg(left, right);
}

QString paramDiffRow(const ParamDiff &d)
{
    return QStringLiteral("%1\t%2\t%3\t%4")
        .arg(d.reg)
        .arg(paramCaption(d.reg), paramValueText(d.reg, d.left), paramValueText(d.reg, d.right));
}

QString paramSetsEqualText()
{
    return QCoreApplication::translate("ParamSet", "参数相同");
}

QString plannedSkipText(const PlannedWrite &w)
{
    if (w.step == RestoreStep::Comm)
        return QCoreApplication::translate("ParamSet", "%1：通讯设置，未写入（需 --include-comm）").arg(paramCaption(w.reg));
    ParamWrite refused = w.check;
    refused.outcome = ParamWrite::Outcome::Refused;
    return paramWriteText(refused); // names the parameter and why
}

QString notAttemptedText(int reg)
{
    return QCoreApplication::translate("ParamSet", "%1：未写入（写入已中止）").arg(paramCaption(reg));
}

QString restoreOutcomeText(const ParamWrite &w)
{
    if (w.outcome == ParamWrite::Outcome::Written)
        return QCoreApplication::translate("ParamSet", "%1：已写入并读回确认（%2）").arg(paramCaption(w.reg), paramValueText(w.reg, w.check.value));
    return paramWriteText(w);
}

QString paramReadFailureText(const ParamSetRead &read)
{
    QStringList lines;
    for (const int block : read.failedBlocks())
        lines << QCoreApplication::translate("ParamSet", "寄存器 %1～%2 读取失败：%3").arg(16 * block + 1).arg(16 * block + 16).arg(linkFailureText(read.blockError[block]));
    return lines.join(u'\n');
}
