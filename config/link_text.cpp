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

QString Exception_Reply_Text(int code)
{
    static const char *const names[] = {nullptr,          "非法功能码",   "非法数据地址", "非法数据值",
                                        "仪表故障",       "已收到，尚在处理", "仪表忙",   "无法执行",
                                        "存储器校验错误", nullptr,        "网关转发失败", "网关转发失败"};
    const char *name = code >= 0 && code < int(std::size(names)) ? names[code] : nullptr;
    if (!name)
        return QStringLiteral("异常应答（代码 %1）").arg(code);
    return QStringLiteral("异常应答（代码 %1：%2）").arg(code).arg(QString::fromUtf8(name));
}

QString Link_Failure_Text(const Link_Error &e)
{
    switch (e.kind) {
    case Link_Fault::None:
        return QString();
    case Link_Fault::Not_Open:
        return QStringLiteral("端口未打开");
    case Link_Fault::Bad_Port:
        return QStringLiteral("端口号无效");
    case Link_Fault::Bad_Station:
        return QStringLiteral("站号无效（1～247）");
    case Link_Fault::Bad_Arguments:
        return QStringLiteral("读写参数无效");
    case Link_Fault::Bad_Settings:
        return QStringLiteral("通讯参数无效");
    case Link_Fault::No_Device:
        return QStringLiteral("串口不存在");
    case Link_Fault::Denied:
        return QStringLiteral("没有权限打开串口（需加入 dialout 组）");
    case Link_Fault::Busy:
        return QStringLiteral("端口已被其他程序占用");
    case Link_Fault::Not_Serial:
        return QStringLiteral("不是串口设备");
    case Link_Fault::Timeout:
        return QStringLiteral("仪表无应答（超时）");
    case Link_Fault::Bad_Frame:
        return QStringLiteral("应答校验错误（CRC）");
    case Link_Fault::Bad_Reply:
        return QStringLiteral("应答内容与请求不符");
    case Link_Fault::Echo_Mismatch:
        return QStringLiteral("仪表应答与写入不符");
    case Link_Fault::Exception:
        return exceptionText(e.exception);
    case Link_Fault::Device_Lost:
        return QStringLiteral("串口已断开，等待重新连接…");
    case Link_Fault::Io:
        break;
    }
    return e.sys != 0 ? QStringLiteral("通讯出错（%1）").arg(systemText(e.sys)) : QStringLiteral("通讯出错");
}

QString Open_Failure_Text(const Link_Error &e, int32_t port, const QString &devicePath)
{
    const QString dev = devicePath.isEmpty() ? Port_Device(port) : devicePath;
    QString why;
    switch (e.kind) {
    case Link_Fault::Bad_Port:
        why = QStringLiteral("端口号 %1 无效").arg(port);
        break;
    case Link_Fault::No_Device:
        why = QStringLiteral("串口 %1 不存在").arg(dev);
        break;
    case Link_Fault::Denied:
        why = QStringLiteral("没有权限打开串口 %1（需加入 dialout 组）").arg(dev);
        break;
    case Link_Fault::Not_Serial:
        why = QStringLiteral("%1 不是串口设备（%2）").arg(dev, systemText(e.sys));
        break;
    case Link_Fault::Bad_Settings:
        why = e.sys != 0 ? QStringLiteral("串口 %1 不接受这些通讯参数（%2）").arg(dev, systemText(e.sys))
                         : Link_Failure_Text(e);
        break;
    case Link_Fault::Device_Lost:
        why = QStringLiteral("串口 %1 读写出错，设备可能已拔出（%2）").arg(dev, systemText(e.sys));
        break;
    case Link_Fault::Io:
        why = QStringLiteral("无法打开串口 %1（%2）").arg(dev, systemText(e.sys));
        break;
    default:
        why = Link_Failure_Text(e);
        break;
    }
    return QStringLiteral("打开失败：") + why;
}

bool Link_Broken(Link_Health h)
{
    return h == Link_Health::Interrupted || h == Link_Health::Stalled;
}

QString Link_Health_Text(Link_Health h, const QDateTime &lastGood, const Link_Error &lastError)
{
    switch (h) {
    case Link_Health::Closed:
        return QStringLiteral("通讯关闭");
    case Link_Health::Waiting_First:
        return QStringLiteral("通讯等待");
    case Link_Health::Ok:
        return QStringLiteral("通讯正常");
    case Link_Health::Interrupted:
    case Link_Health::Stalled:
        break;
    }
    QString t = QStringLiteral("通讯中断");
    if (lastGood.isValid())
        t += QStringLiteral("（最后正常 %1）").arg(lastGood.toString(QStringLiteral("HH:mm:ss")));
    // A poll still in flight may already have failed one of its reads.
    const QString why = lastError.kind != Link_Fault::None ? Link_Failure_Text(lastError)
                                                           : QStringLiteral("超过1秒没有完整应答");
    return t + QStringLiteral("：") + why;
}

QString Read_Failure_Text(const Link_Error &e)
{
    return QStringLiteral("读取仪表参数失败：%1").arg(Link_Failure_Text(e));
}

QString Write_Failure_Text(const QString &caption, const Link_Error &e)
{
    return QStringLiteral("%1：写入失败（%2）").arg(caption, Link_Failure_Text(e));
}
