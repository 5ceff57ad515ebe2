#include "config/link_text.h"

#include <QCoreApplication>

#include <cstring>
#include <iterator>

namespace {

// A text in the interface language, or as written (Chinese) where it is
// stored and must read the same whatever the language.
QString say(const char *source, bool translated)
{
    return translated ? QCoreApplication::translate("LinkText", source) : QString::fromUtf8(source);
}

QString systemText(int e)
{
    return QString::fromLocal8Bit(std::strerror(e));
}

QString exceptionText(int code, bool translated)
{
    switch (code) {
    case 0:
        return say(QT_TRANSLATE_NOOP("LinkText", "仪表应答了无法识别的异常码"), translated);
    case 1:
        return say(QT_TRANSLATE_NOOP("LinkText", "仪表拒绝：非法功能码（illegal function）"), translated);
    case 2:
        return say(QT_TRANSLATE_NOOP("LinkText", "仪表拒绝：非法数据地址（illegal data address）"), translated);
    case 3:
        return say(QT_TRANSLATE_NOOP("LinkText", "仪表拒绝：非法数据值（illegal data value）"), translated);
    case 4:
        return say(QT_TRANSLATE_NOOP("LinkText", "仪表故障（slave device failure）"), translated);
    case 5:
        return say(QT_TRANSLATE_NOOP("LinkText", "仪表已收到，尚在处理（acknowledge）"), translated);
    case 6:
        return say(QT_TRANSLATE_NOOP("LinkText", "仪表忙（slave device busy）"), translated);
    case 7:
        return say(QT_TRANSLATE_NOOP("LinkText", "仪表无法执行（negative acknowledge）"), translated);
    case 8:
        return say(QT_TRANSLATE_NOOP("LinkText", "仪表存储器校验错误（memory parity error）"), translated);
    case 10:
    case 11:
        return say(QT_TRANSLATE_NOOP("LinkText", "网关转发失败（gateway）"), translated);
    default:
        return say(QT_TRANSLATE_NOOP("LinkText", "仪表拒绝（异常码 %1）"), translated).arg(code);
    }
}

} // namespace

QString exceptionReplyText(int code)
{
    static const char *const names[] = {nullptr,
                                        QT_TRANSLATE_NOOP("LinkText", "非法功能码"),
                                        QT_TRANSLATE_NOOP("LinkText", "非法数据地址"),
                                        QT_TRANSLATE_NOOP("LinkText", "非法数据值"),
                                        QT_TRANSLATE_NOOP("LinkText", "仪表故障"),
                                        QT_TRANSLATE_NOOP("LinkText", "已收到，尚在处理"),
                                        QT_TRANSLATE_NOOP("LinkText", "仪表忙"),
                                        QT_TRANSLATE_NOOP("LinkText", "无法执行"),
                                        QT_TRANSLATE_NOOP("LinkText", "存储器校验错误"),
                                        nullptr,
                                        QT_TRANSLATE_NOOP("LinkText", "网关转发失败"),
                                        QT_TRANSLATE_NOOP("LinkText", "网关转发失败")};
    const char *name = code >= 0 && code < int(std::size(names)) ? names[code] : nullptr;
    if (!name)
        return QCoreApplication::translate("LinkText", "异常应答（代码 %1）").arg(code);
    return QCoreApplication::translate("LinkText", "异常应答（代码 %1：%2）").arg(code).arg(QCoreApplication::translate("LinkText", name));
}

QString linkFailureText(const LinkError &e, bool translated)
{
    switch (e.kind) {
    case LinkFault::None:
        return QString();
    case LinkFault::NotOpen:
        return say(QT_TRANSLATE_NOOP("LinkText", "端口未打开"), translated);
    case LinkFault::BadPort:
        return say(QT_TRANSLATE_NOOP("LinkText", "端口号无效"), translated);
    case LinkFault::BadStation:
        return say(QT_TRANSLATE_NOOP("LinkText", "站号无效（1～247）"), translated);
    case LinkFault::BadArguments:
        return say(QT_TRANSLATE_NOOP("LinkText", "读写参数无效"), translated);
    case LinkFault::BadSettings:
        return say(QT_TRANSLATE_NOOP("LinkText", "通讯参数无效"), translated);
    case LinkFault::NoDevice:
        return say(QT_TRANSLATE_NOOP("LinkText", "串口不存在"), translated);
    case LinkFault::Denied:
        return say(QT_TRANSLATE_NOOP("LinkText", "没有权限打开串口（需加入 dialout 组）"), translated);
    case LinkFault::Busy:
        return say(QT_TRANSLATE_NOOP("LinkText", "端口已被其他程序占用"), translated);
    case LinkFault::NotSerial:
        return say(QT_TRANSLATE_NOOP("LinkText", "不是串口设备"), translated);
    case LinkFault::Timeout:
        return say(QT_TRANSLATE_NOOP("LinkText", "仪表无应答（超时）"), translated);
    case LinkFault::BadFrame:
        return say(QT_TRANSLATE_NOOP("LinkText", "应答校验错误（CRC）"), translated);
    case LinkFault::BadReply:
        return say(QT_TRANSLATE_NOOP("LinkText", "应答内容与请求不符"), translated);
    case LinkFault::EchoMismatch:
        return say(QT_TRANSLATE_NOOP("LinkText", "仪表应答与写入不符"), translated);
    case LinkFault::Exception:
        return exceptionText(e.exception, translated);
    case LinkFault::DeviceLost:
        return say(QT_TRANSLATE_NOOP("LinkText", "串口已断开，等待重新连接…"), translated);
    case LinkFault::BadAddress:
        return say(QT_TRANSLATE_NOOP("LinkText", "网络地址无效（tcp://主机[:端口] 或 rtu+tcp://主机:端口）"), translated);
    case LinkFault::Refused:
        return say(QT_TRANSLATE_NOOP("LinkText", "连接被拒绝"), translated);
    case LinkFault::Unreachable:
        return say(QT_TRANSLATE_NOOP("LinkText", "无法到达主机"), translated);
    case LinkFault::ConnectTimeout:
        return say(QT_TRANSLATE_NOOP("LinkText", "连接超时"), translated);
    case LinkFault::PeerClosed:
        return say(QT_TRANSLATE_NOOP("LinkText", "连接已断开，等待重新连接…"), translated);
    case LinkFault::Io:
        break;
    }
    return e.sys != 0 ? say(QT_TRANSLATE_NOOP("LinkText", "通讯出错（%1）"), translated).arg(systemText(e.sys)) : say(QT_TRANSLATE_NOOP("LinkText", "通讯出错"), translated);
}

QString openFailureText(const LinkError &e, int32_t port, const QString &devicePath)
{
    const QString dev = devicePath.isEmpty() ? portDevice(port) : devicePath;
    QString why;
    switch (e.kind) {
    case LinkFault::BadPort:
        why = QCoreApplication::translate("LinkText", "端口号 %1 无效").arg(port);
        break;
    case LinkFault::NoDevice:
        why = QCoreApplication::translate("LinkText", "串口 %1 不存在").arg(dev);
        break;
    case LinkFault::Denied:
        why = QCoreApplication::translate("LinkText", "没有权限打开串口 %1（需加入 dialout 组）").arg(dev);
        break;
    case LinkFault::NotSerial:
        why = QCoreApplication::translate("LinkText", "%1 不是串口设备（%2）").arg(dev, systemText(e.sys));
        break;
    case LinkFault::BadSettings:
        why = e.sys != 0 ? QCoreApplication::translate("LinkText", "串口 %1 不接受这些通讯参数（%2）").arg(dev, systemText(e.sys))
                         : linkFailureText(e);
        break;
    case LinkFault::DeviceLost:
        why = QCoreApplication::translate("LinkText", "串口 %1 读写出错，设备可能已拔出（%2）").arg(dev, systemText(e.sys));
        break;
    case LinkFault::Io:
        why = QCoreApplication::translate("LinkText", "无法打开串口 %1（%2）").arg(dev, systemText(e.sys));
        break;
    default:
        why = linkFailureText(e);
        break;
    }
    return QCoreApplication::translate("LinkText", "打开失败：") + why;
}

bool linkBroken(LinkHealth h)
{
    return h == LinkHealth::Interrupted || h == LinkHealth::Stalled;
}

QString linkHealthText(LinkHealth h, const QDateTime &lastGood, const LinkError &lastError)
{
    switch (h) {
    case LinkHealth::Closed:
        return QCoreApplication::translate("LinkText", "通讯关闭");
    case LinkHealth::WaitingFirst:
        return QCoreApplication::translate("LinkText", "通讯等待");
    case LinkHealth::Ok:
        return QCoreApplication::translate("LinkText", "通讯正常");
    case LinkHealth::Interrupted:
    case LinkHealth::Stalled:
        break;
    }
    QString t = QCoreApplication::translate("LinkText", "通讯中断");
    if (lastGood.isValid())
        t += QCoreApplication::translate("LinkText", "（最后正常 %1）").arg(lastGood.toString(QStringLiteral("HH:mm:ss")));
    // A poll still in flight may already have failed one of its reads.
    const QString why = lastError.kind != LinkFault::None ? linkFailureText(lastError)
                                                           : QCoreApplication::translate("LinkText", "超过1秒没有完整应答");
    return t + QCoreApplication::translate("LinkText", "：") + why;
}

QString lineCycleText(const LineCycle &c)
{
    if (!c.saturated)
        return QCoreApplication::translate("LinkText", "线路轮询正常");
    return QCoreApplication::translate("LinkText", "线路饱和：轮询一周 %1 ms（超过 500 ms）").arg(c.cycleMs);
}

QString readFailureText(const LinkError &e)
{
    return QCoreApplication::translate("LinkText", "读取仪表参数失败：%1").arg(linkFailureText(e));
}

QString writeFailureText(const QString &caption, const LinkError &e)
{
    return QCoreApplication::translate("LinkText", "%1：写入失败（%2）").arg(caption, linkFailureText(e));
}
