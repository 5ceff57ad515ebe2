#include "app/settings_text.h"
#include "core/settings_file.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstring>

QString settingsFileText(const QString &path, const SettingsFileCheck &check)
{
    switch (check.fault) {
    case SettingsFileFault::None:
        break;
    case SettingsFileFault::Unreadable:
        return QCoreApplication::translate("SettingsText", "设置文件 %1 无法读取（%2），其中的设置未使用")
            .arg(path, QString::fromLocal8Bit(std::strerror(check.sys)));
    case SettingsFileFault::Garbled:
        return QCoreApplication::translate("SettingsText", "设置文件 %1 第 %2 行无法识别，文件已损坏")
            .arg(path)
            .arg(check.line);
    }
    return QString();
}

QString settingsExposureText(const QString &path, SettingsExposure exposure)
{
    switch (exposure) {
    case SettingsExposure::None:
        break;
    case SettingsExposure::Narrowed:
        return QCoreApplication::translate("SettingsText", "设置文件 %1 含有密码且他人可读，已改为仅本人可读").arg(path);
    case SettingsExposure::Exposed:
        return QCoreApplication::translate("SettingsText", "设置文件 %1 含有密码且他人可读，无法更改其权限").arg(path);
    }
    return QString();
}

QString rememberedValueText(const QString &path, const RememberedValueFault &fault)
{
    return QCoreApplication::translate("SettingsText", "设置文件 %1 中 [link] %2 的值无效：%3")
        .arg(path, linkKeyName(fault.key), fault.value);
}

QString settingsStartNotice()
{
    const QString path = settingsFilePath();
    QStringList lines;
    if (const QString t = settingsExposureText(path, narrowExposedSettings(path)); !t.isEmpty())
        lines << t;
    if (const QString t = settingsFileText(path, checkSettingsFile(path)); !t.isEmpty())
        lines << t;
    const RememberedLinkRead remembered = readRememberedLink();
    for (const RememberedValueFault &f : remembered.faults)
        lines << rememberedValueText(path, f);
    if (!remembered.faults.isEmpty())
        lines.last() += QCoreApplication::translate("SettingsText", "，已用默认值");
    return lines.join(QCoreApplication::translate("SettingsText", "；"));
}
