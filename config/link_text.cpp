#include "config/link_text.h"

#include <cstring>
#include <iterator>

namespace {

QString systemText(int e)
{
    return QString::fromLocal8Bit(std::strerror(e));
}

QString exceptionText(int code)
{
    switch (code) {
    case 0:
        return QStringLiteral("仪表应答了无法识别的异常码");
    case 1:
        return QStringLiteral("仪表拒绝：非法功能码（illegal function）");
    case 2:
        return QStringLiteral("仪表拒绝：非法数据地址（illegal data address）");
    case 3:
        return QStringLiteral("仪表拒绝：非法数据值（illegal data value）");
    case 4:
        return QStringLiteral("仪表故障（slave device failure）");
    case 5:
        return QStringLiteral("仪表已收到，尚在处理（acknowledge）");
    case 6:
        return QStringLiteral("仪表忙（slave device busy）");
    case 7:
        return QStringLiteral("仪表无法执行（negative acknowledge）");
    case 8:
        return QStringLiteral("仪表存储器校验错误（memory parity error）");
    case 10:
    case 11:
        return QStringLiteral("网关转发失败（gateway）");
    default:
        return QStringLiteral("仪表拒绝（异常码 %1）").arg(code);
    }
}

} // namespace

QString exceptionReplyText(int code)
{
    static const char *const names[] = {nullptr,          "非法功能码",   "非法数据地址", "非法数据值",
                                        "仪表故障",       "已收到，尚在处理", "仪表忙",   "无法执行",
                                        "存储器校验错误", nullptr,        "网关转发失败", "网关转发失败"};
    const char *name = code >= 0 && code < int(std::size(names)) ? names[code] : nullptr;
    if (!name)
        return QStringLiteral("异常应答（代码 %1）").arg(code);
    return QStringLiteral("异常应答（代码 %1：%2）").arg(code).arg(QString::fromUtf8(name));
}

QString linkFailureText(const LinkError &e)
{
    switch (e.kind) {
    case LinkFault::None:
        return QString();
    case LinkFault::NotOpen:
        return QStringLiteral("端口未打开");
    case LinkFault::BadPort:
        return QStringLiteral("端口号无效");
    case LinkFault::BadStation:
        return QStringLiteral("站号无效（1～247）");
    case LinkFault::BadArguments:
        return QStringLiteral("读写参数无效");
    case LinkFault::BadSettings:
        return QStringLiteral("通讯参数无效");
    case LinkFault::NoDevice:
        return QStringLiteral("串口不存在");
    case LinkFault::Denied:
        return QStringLiteral("没有权限打开串口（需加入 dialout 组）");
    case LinkFault::Busy:
        return QStringLiteral("端口已被其他程序占用");
    case LinkFault::NotSerial:
        return QStringLiteral("不是串口设备");
    case LinkFault::Timeout:
        return QStringLiteral("仪表无应答（超时）");
    case LinkFault::BadFrame:
        return QStringLiteral("应答校验错误（CRC）");
    case LinkFault::BadReply:
        return QStringLiteral("应答内容与请求不符");
    case LinkFault::EchoMismatch:
        return QStringLiteral("仪表应答与写入不符");
    case LinkFault::Exception:
        return exceptionText(e.exception);
    case LinkFault::DeviceLost:
        return QStringLiteral("串口已断开，等待重新连接…");
    case LinkFault::Io:
        break;
    }
    return e.sys != 0 ? QStringLiteral("通讯出错（%1）").arg(systemText(e.sys)) : QStringLiteral("通讯出错");
}

QString openFailureText(const LinkError &e, int32_t port, const QString &devicePath)
{
    const QString dev = devicePath.isEmpty() ? portDevice(port) : devicePath;
    QString why;
    switch (e.kind) {
    case LinkFault::BadPort:
        why = QStringLiteral("端口号 %1 无效").arg(port);
        break;
    case LinkFault::NoDevice:
        why = QStringLiteral("串口 %1 不存在").arg(dev);
        break;
    case LinkFault::Denied:
        why = QStringLiteral("没有权限打开串口 %1（需加入 dialout 组）").arg(dev);
        break;
    case LinkFault::NotSerial:
        why = QStringLiteral("%1 不是串口设备（%2）").arg(dev, systemText(e.sys));
        break;
    case LinkFault::BadSettings:
        why = e.sys != 0 ? QStringLiteral("串口 %1 不接受这些通讯参数（%2）").arg(dev, systemText(e.sys))
                         : linkFailureText(e);
        break;
    case LinkFault::DeviceLost:
        why = QStringLiteral("串口 %1 读写出错，设备可能已拔出（%2）").arg(dev, systemText(e.sys));
        break;
    case LinkFault::Io:
        why = QStringLiteral("无法打开串口 %1（%2）").arg(dev, systemText(e.sys));
        break;
    default:
        why = linkFailureText(e);
        break;
    }
    return QStringLiteral("打开失败：") + why;
}

bool linkBroken(LinkHealth h)
{
    return h == LinkHealth::Interrupted || h == LinkHealth::Stalled;
}

QString linkHealthText(LinkHealth h, const QDateTime &lastGood, const LinkError &lastError)
{
    switch (h) {
    case LinkHealth::Closed:
        return QStringLiteral("通讯关闭");
    case LinkHealth::WaitingFirst:
        return QStringLiteral("通讯等待");
    case LinkHealth::Ok:
        return QStringLiteral("通讯正常");
    case LinkHealth::Interrupted:
    case LinkHealth::Stalled:
        break;
    }
    QString t = QStringLiteral("通讯中断");
    if (lastGood.isValid())
        t += QStringLiteral("（最后正常 %1）").arg(lastGood.toString(QStringLiteral("HH:mm:ss")));
    // A poll still in flight may already have failed one of its reads.
    const QString why = lastError.kind != LinkFault::None ? linkFailureText(lastError)
                                                           : QStringLiteral("超过1秒没有完整应答");
    return t + QStringLiteral("：") + why;
}

QString readFailureText(const LinkError &e)
{
    return QStringLiteral("读取仪表参数失败：%1").arg(linkFailureText(e));
}

QString writeFailureText(const QString &caption, const LinkError &e)
{
    return QStringLiteral("%1：写入失败（%2）").arg(caption, linkFailureText(e));
}
