// The operator's words for what the start found in the settings file
// (core/settings_file.h) and in its remembered link settings
// (link/serial_ports.h). Each is one line naming the file, and the key.
#pragma once

#include "core/settings_file.h"
#include "link/serial_ports.h"

#include <QString>

// "设置文件 … 无法读取（…）", "设置文件 … 第 n 行无法识别"; empty for None.
QString settingsFileText(const QString &path, const SettingsFileCheck &check);
// "设置文件 … 含有密码且他人可读，已改为仅本人可读"; empty for None.
QString settingsExposureText(const QString &path, SettingsExposure exposure);
// "设置文件 … 中 [link] station 的值无效：0".
QString rememberedValueText(const QString &path, const RememberedValueFault &fault);

// For the window at the start: narrows a settings file that exposes its
// password, checks the file and its remembered link settings (which the
// link controls then take, an invalid one at its default), and tells what
// it found in one line; empty when all is well.
QString settingsStartNotice();
