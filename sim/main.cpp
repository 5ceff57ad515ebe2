// qr5300m-sim: a simulated QR5300M answering as a Modbus RTU slave on a
// pseudo-terminal, scriptable through standard input.
//
// The pty's slave device is published as DIR/COM<N>. We keep a slave
// descriptor open ourselves (raw mode, no echo) so the master side never
// sees a hang-up while no program has the port open. libmodbus frames and
// checks the incoming requests on the master descriptor; the replies are
// built here so faults can be injected.

#include "core/line_settings.h"
#include "sim/model.h"
#include "sim/script.h"
#include "sim/slave.h"

#include <modbus.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kTick = std::chrono::milliseconds(500);

struct Options {
    std::string portDir;
    int port = 1;
    int station = 1;
    int baud = 9600;
    char parity = 'N';
    bool pace = false;
    bool verbose = false;
};

const char *const kUsage =
    "Usage: qr5300m-sim --port-dir DIR [options]\n"
    "Simulated QR5300M four-channel temperature controller, Modbus RTU slave\n"
    "on a pseudo-terminal published as DIR/COM<N>. Prints \"ready DIR/COM<N>\"\n"
    "once the port can be opened; ends on SIGTERM, SIGINT or \"quit\".\n"
    "\n"
    "Options:\n"
    "  --port-dir DIR     directory of the COM<N> link (required)\n"
    "  --port N           port number, link name COM<N> (default 1)\n"
    "  --station N        station address answered, 1..247 (default 1)\n"
    "  --baud B           4800, 9600 or 19200 (default 9600), only for --pace\n"
    "  --parity P         N, O or E (default N), only for --pace\n"
    "  --pace             answer at the wire speed: each reply waits for the\n"
    "                     wire time of the request plus the reply\n"
    "  --verbose          trace requests and replies on standard error\n"
    "  --help             this text\n"
    "\n"
    "Instrument: input registers 1..16 (1..4 channel values, 5 the channel\n"
    "chosen by holding register 21), discrete inputs 1..16 (bit k: channel\n"
    "k/3+1, k%3 = 0 alarm, 1 open, 2 short), holding registers 1..48\n"
    "(writes range-checked, exception 03 when out of range). An open channel\n"
    "reads 32767, a shorted one -32768. Holding register 17 starts at the\n"
    "--station value; writing it does not change the station answered.\n"
    "\n";

volatile std::sig_atomic_t g_signalled = 0;
int g_wakePipe[2] = {-1, -1};

void onSignal(int)
{
    g_signalled = 1;
    const char c = 's';
    [[maybe_unused]] const auto n = write(g_wakePipe[1], &c, 1);
}

bool parseInt(const char *text, int min, int max, int &out)
{
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < min || v > max)
        return false;
    out = static_cast<int>(v);
    return true;
}

// Returns 0 on success, 1 on a usage error, 2 when --help was shown.
int parseOptions(int argc, char **argv, Options &opt)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs(sim::kCommandHelp, stdout);
            return 2;
        }
        if (a == "--pace") {
            opt.pace = true;
        } else if (a == "--verbose") {
            opt.verbose = true;
        } else if (a == "--port-dir" && hasValue) {
            opt.portDir = argv[++i];
        } else if (a == "--port" && hasValue) {
            if (!parseInt(argv[++i], 1, 255, opt.port))
                return 1;
        } else if (a == "--station" && hasValue) {
            if (!parseInt(argv[++i], 1, 247, opt.station))
                return 1;
        } else if (a == "--baud" && hasValue) {
            if (!parseInt(argv[++i], 4800, 19200, opt.baud) || baudIndexOf(opt.baud) < 0)
                return 1;
        } else if (a == "--parity" && hasValue) {
            const std::string p = argv[++i];
            const char letter = p.size() == 1 ? static_cast<char>(std::toupper(static_cast<unsigned char>(p[0]))) : '\0';
            if (parityIndexOfLetter(letter) < 0)
                return 1;
            opt.parity = letter;
        } else {
            return 1;
        }
    }
    return opt.portDir.empty() ? 1 : 0;
}

void trace(const char *what, const std::uint8_t *data, std::size_t length)
{
    std::fprintf(stderr, "%s", what);
    for (std::size_t i = 0; i < length; ++i)
        std::fprintf(stderr, " %02X", data[i]);
    std::fprintf(stderr, "\n");
}

struct Pending {
    Clock::time_point due;
    std::vector<std::uint8_t> frame;
};

class Simulator {
public:
    explicit Simulator(const Options &opt) : m_opt(opt), m_slave(m_model, opt.station)
    {
        m_model.setHolding(17, opt.station);
    }
    ~Simulator();

    bool open();
    int run();

private:
    void newContext();
    void serveRequest();
    void readCommands();
    void sendDue();
    double charMs() const;

    Options m_opt;
    sim::Model m_model;
    sim::Slave m_slave;
    int m_master = -1;
    int m_slaveFd = -1;
    std::string m_ptsName;
    std::string m_link;
    modbus_t *m_ctx = nullptr;
    std::deque<Pending> m_pending;
    std::string m_input;
    bool m_stdinOpen = true;
    bool m_quit = false;
    Clock::time_point m_start = Clock::now();
};

Simulator::~Simulator()
{
    if (m_ctx)
        modbus_free(m_ctx);  // does not close the descriptor we lent it
    if (!m_link.empty()) {
        // Remove the link only while it is still ours.
        char target[256] = {};
        const ssize_t n = readlink(m_link.c_str(), target, sizeof target - 1);
        if (n > 0 && m_ptsName == std::string(target, static_cast<std::size_t>(n)))
            unlink(m_link.c_str());
    }
    if (m_slaveFd >= 0)
        close(m_slaveFd);
    if (m_master >= 0)
        close(m_master);
}

bool Simulator::open()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        std::perror("qr5300m-sim: pseudo-terminal");
        return false;
    }
    const char *name = ptsname(m_master);
    if (!name) {
        std::perror("qr5300m-sim: ptsname");
        return false;
    }
    m_ptsName = name;
    m_slaveFd = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slaveFd < 0) {
        std::perror("qr5300m-sim: open pty slave");
        return false;
    }
    termios tio{};
    tcgetattr(m_slaveFd, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_slaveFd, TCSANOW, &tio);
    // A reply no program reads must never block the simulator.
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);

    newContext();

    // Publish the port: a new link renamed over any stale one.
    m_link = m_opt.portDir + "/COM" + std::to_string(m_opt.port);
    const std::string tmp = m_link + ".tmp" + std::to_string(getpid());
    unlink(tmp.c_str());
    if (symlink(m_ptsName.c_str(), tmp.c_str()) != 0 || rename(tmp.c_str(), m_link.c_str()) != 0) {
        std::perror(("qr5300m-sim: link " + m_link).c_str());
        unlink(tmp.c_str());
        m_link.clear();
        return false;
    }
    return true;
}

// libmodbus, after a request for another station, expects that station's
// reply next on the bus and would swallow our next request as if it were
// that reply. On this point-to-point line no such reply comes, so a fresh
// context is taken whenever that happens.
void Simulator::newContext()
{
    if (m_ctx)
        modbus_free(m_ctx);
    m_ctx = modbus_new_rtu("/dev/null", m_opt.baud, m_opt.parity, 8, 1);
    modbus_set_slave(m_ctx, m_opt.station);
    modbus_set_socket(m_ctx, m_master);
    modbus_set_byte_timeout(m_ctx, 0, 100000);
}

double Simulator::charMs() const
{
    const int bits = 1 + 8 + (m_opt.parity == 'N' ? 0 : 1) + 1;
    return 1000.0 * bits / m_opt.baud;
}

void Simulator::serveRequest()
{
    std::uint8_t req[MODBUS_RTU_MAX_ADU_LENGTH];
    const int rc = modbus_receive(m_ctx, req);
    const auto received = Clock::now();
    if (rc == 0) {
        if (m_opt.verbose)
            std::fprintf(stderr, "request for another station ignored\n");
        newContext();
        return;
    }
    if (rc < 0) {
        if (m_opt.verbose)
            std::fprintf(stderr, "bad request: %s\n", modbus_strerror(errno));
        return;
    }
    if (m_opt.verbose)
        trace("<-", req, static_cast<std::size_t>(rc));
    const auto reply = m_slave.handle(req, rc);
    if (!reply)
        return;
    double delayMs = reply->extraDelayMs;
    if (m_opt.pace)
        delayMs += charMs() * static_cast<double>(rc + static_cast<int>(reply->frame.size()));
    auto due = received + std::chrono::microseconds(static_cast<long long>(delayMs * 1000));
    if (!m_pending.empty() && due < m_pending.back().due)
        due = m_pending.back().due;  // replies leave in request order
    if (reply->byteGapMs <= 0) {
        m_pending.push_back({due, reply->frame});
        return;
    }
    // Dribbled: each byte is a piece of its own, byteGapMs after the last.
    for (const std::uint8_t byte : reply->frame) {
        due += std::chrono::milliseconds(reply->byteGapMs);
        m_pending.push_back({due, {byte}});
    }
}

void Simulator::sendDue()
{
    const auto now = Clock::now();
    while (!m_pending.empty() && m_pending.front().due <= now) {
        // A reply is written as it is, even when the master gave up on it
        // long ago: what lies unread on the line is the master's to drain,
        // as on a real wire.
        const auto &frame = m_pending.front().frame;
        if (m_opt.verbose)
            trace("->", frame.data(), frame.size());
        const ssize_t n = write(m_master, frame.data(), frame.size());
        if (n != static_cast<ssize_t>(frame.size()) && m_opt.verbose)
            std::fprintf(stderr, "reply not fully written\n");
        m_pending.pop_front();
    }
}

void Simulator::readCommands()
{
    char buf[1024];
    const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        // End of input: keep simulating, just stop listening.
        m_stdinOpen = false;
        return;
    }
    m_input.append(buf, static_cast<std::size_t>(n));
    std::size_t eol;
    while (!m_quit && (eol = m_input.find('\n')) != std::string::npos) {
        std::string line = m_input.substr(0, eol);
        m_input.erase(0, eol + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::string answer = sim::runCommand(line, m_model, m_slave, m_quit);
        std::fputs((answer + "\n").c_str(), stdout);
        std::fflush(stdout);
    }
}

int Simulator::run()
{
    std::printf("ready %s\n", m_link.c_str());
    std::fflush(stdout);

    auto nextTick = m_start + kTick;
    while (!g_signalled && !m_quit) {
        auto wake = nextTick;
        if (!m_pending.empty() && m_pending.front().due < wake)
            wake = m_pending.front().due;
        const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(wake - Clock::now()).count();

        pollfd fds[3] = {
            {g_wakePipe[0], POLLIN, 0},
            {m_master, POLLIN, 0},
            {m_stdinOpen ? STDIN_FILENO : -1, POLLIN, 0},
        };
        const int rc = poll(fds, 3, waitMs > 0 ? static_cast<int>(waitMs) : 0);
        if (rc < 0 && errno != EINTR) {
            std::perror("qr5300m-sim: poll");
            return 1;
        }
        if (rc > 0) {
            if (fds[0].revents)
                break;
            if (fds[1].revents & POLLIN)
                serveRequest();
            if (fds[2].revents & (POLLIN | POLLHUP | POLLERR))
                readCommands();
            else if (fds[2].revents & POLLNVAL)
                m_stdinOpen = false;
        }
        const auto now = Clock::now();
        if (now >= nextTick) {
            m_model.advance(std::chrono::duration<double>(now - m_start).count());
            while (nextTick <= now)
                nextTick += kTick;
        }
        sendDue();
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    Options opt;
    const int parsed = parseOptions(argc, argv, opt);
    if (parsed == 2)
        return 0;
    if (parsed != 0) {
        std::fputs("qr5300m-sim: bad or missing option\n\n", stderr);
        std::fputs(kUsage, stderr);
        return 2;
    }

    if (pipe(g_wakePipe) != 0) {
        std::perror("qr5300m-sim: pipe");
        return 1;
    }
    fcntl(g_wakePipe[1], F_SETFL, O_NONBLOCK);
    struct sigaction sa{};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    int status = 1;
    {
        Simulator simulator(opt);
        if (simulator.open())
            status = simulator.run();
    }
    close(g_wakePipe[0]);
    close(g_wakePipe[1]);
    return status;
}
