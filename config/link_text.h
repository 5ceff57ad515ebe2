// The operator's words for link failures and link health: every Chinese text
// about the serial link is composed here, from the kinds the link layer
// reports (link/modbusrtu.h, link/met1.h).
#pragma once

#include "link/link_control.h"
#include "link/met1.h"
#include "link/modbusrtu.h"

#include <QDateTime>
#include <QString>
#include <cstdint>

// Why an exchange failed: "仪表无应答（超时）", "应答校验错误（CRC）", ...
// In the interface language, or in Chinese whatever the language when not
// translated (for what goes into the database).
QString linkFailureText(const LinkError &error, bool translated = true);
// A kind of exception reply, counted by the link diagnostics:
// "异常应答（代码 2：非法数据地址）".
QString exceptionReplyText(int code);
// The state line after a failed open of port number `port`, or of the device
// at devicePath when one is given:
// "打开失败：端口已被其他程序占用", "打开失败：串口 <device> 不存在", ...
QString openFailureText(const LinkError &error, int32_t port, const QString &devicePath = {});
// The state line of the acquisition: "通讯正常", "通讯关闭", "通讯等待",
// "通讯中断（最后正常 HH:mm:ss）：<why>".
QString linkHealthText(LinkHealth health, const QDateTime &lastGood, const LinkError &lastError);
// The line's round of polls: "线路饱和：轮询一周 1000 ms（超过 500 ms）"
// while saturated, "线路轮询正常" once it is no longer.
QString lineCycleText(const LineCycle &cycle);
// Whether a health is shown as a fault.
bool linkBroken(LinkHealth health);
// A failed read-back of the configuration window.
QString readFailureText(const LinkError &error);
// A failed write of the parameter captioned `caption`.
QString writeFailureText(const QString &caption, const LinkError &error);
