#include "testsupport.h"

#include <QDeadlineTimer>

SimProcess::SimProcess(const QString &portDir, int port, const QStringList &extraArgs)
{
    QStringList args{QStringLiteral("--port-dir"), portDir, QStringLiteral("--port"), QString::number(port)};
    args += extraArgs;
    // Diagnostics (and sanitizer reports) of the simulator go to our stderr.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(QR_SIM_PATH), args);
    if (!m_process.waitForStarted(5000))
        return;
    const QString line = readLine(5000);
    const QString expected = QStringLiteral("ready %1/COM%2").arg(portDir).arg(port);
    if (line == expected) {
        m_ready = true;
        m_devicePath = line.mid(6);
    }
}

SimProcess::~SimProcess()
{
    stop();
}

QString SimProcess::readLine(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const qsizetype eol = m_buffer.indexOf('\n');
        if (eol >= 0) {
            const QString line = QString::fromUtf8(m_buffer.left(eol));
            m_buffer.remove(0, eol + 1);
            return line;
        }
        if (deadline.hasExpired() || m_process.state() != QProcess::Running)
            return {};
        if (m_process.bytesAvailable() > 0 || m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            m_buffer += m_process.readAllStandardOutput();
    }
}

QString SimProcess::command(const QString &line)
{
    if (m_process.state() != QProcess::Running)
        return {};
    m_process.write(line.toUtf8() + '\n');
    m_process.waitForBytesWritten(1000);
    return readLine(3000);
}

void SimProcess::closeInput()
{
    m_process.closeWriteChannel();
}

int SimProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(1000);
        return -1;
    }
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

int simStat(SimProcess &sim, const QString &which)
{
    // "ok reads R writes W"
    const QStringList words = sim.command(QStringLiteral("stats")).split(u' ');
    const qsizetype at = words.indexOf(which);
    if (words.value(0) != QLatin1String("ok") || at < 1 || at + 1 >= words.size())
        return -1;
    bool ok = false;
    const int value = words.at(at + 1).toInt(&ok);
    return ok ? value : -1;
}
