// Helpers shared by the tests and benchmarks (Qt Core only, no Qt Test).
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// One running instrument simulator (QR_SIM_PATH), driven through its
// command language on standard input. The port appears as
// portDir/COM<port>, which is what the program's Modbus master opens.
//
//     SimProcess sim(tmp.path());
//     if (!sim.isReady()) ...;
//     sim.command("set ir 1 250");      // "ok"
//     sim.command("get hr 17");         // "ok 1"
class SimProcess
{
public:
    // Starts the simulator and waits (up to about 5 s) for its ready line.
    // extraArgs are passed on, e.g. {"--station", "3", "--pace"}.
    explicit SimProcess(const QString &portDir, int port = 1, const QStringList &extraArgs = {});
    ~SimProcess();

    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    bool isReady() const { return m_ready; }
    // portDir/COM<port>, empty when the simulator did not start.
    QString devicePath() const { return m_devicePath; }

    // Sends one command line and returns its one-line answer ("ok ..." or
    // "err ..."), or an empty string after about 3 s without an answer.
    QString command(const QString &line);

    // Closes the simulator's standard input (it goes on running).
    void closeInput();

    // Ends the simulator with SIGTERM (kill after 3 s) and returns its exit
    // code, or -1 when it crashed or had to be killed.
    int stop();

private:
    QProcess m_process;
    QByteArray m_buffer;
    QString m_devicePath;
    bool m_ready = false;

    QString readLine(int timeoutMs);
};

// Counter from the simulator's "stats" answer: which = "reads" or "writes".
// Returns -1 when the answer cannot be read.
int simStat(SimProcess &sim, const QString &which);
