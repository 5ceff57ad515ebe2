// qr5300m-sim: one or several simulated QR5300M on one line, answering as
// Modbus RTU slaves on a pseudo-terminal, or on a TCP port as Modbus TCP or
// as RTU frames through the socket; scriptable through standard input.
//
// The pty's slave device is published as DIR/COM<N>. We keep a slave
// descriptor open ourselves (raw mode, no echo) so the master side never
// sees a hang-up while no program has the port open. libmodbus frames and
// checks the incoming requests on the master descriptor (or on the TCP
// client's socket); the replies are built here so faults can be injected.

#include "core/line_settings.h"
#include "sim/line.h"
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
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kTick = std::chrono::milliseconds(500);

enum class Transport { Pty, Tcp, RtuTcp };

struct Options {
    Transport transport = Transport::Pty;
    std::string portDir;
    int port = 1;
    int tcpPort = 0;
    std::vector<int> stations{1};
    bool stationGiven = false;
    int baud = 9600;
    char parity = 'N';
    bool pace = false;
    bool verbose = false;
};

const char *const kUsage =
    "Usage: qr5300m-sim --port-dir DIR | --tcp PORT | --rtu-tcp PORT [options]\n"
    "Simulated QR5300M four-channel temperature controllers on one line, Modbus\n"
    "RTU slaves on a pseudo-terminal published as DIR/COM<N>. Prints\n"
    "\"ready DIR/COM<N>\" once the port can be opened; ends on SIGTERM, SIGINT\n"
    "or \"quit\".\n"
    "\n"
    "Options:\n"
    "  --port-dir DIR     directory of the COM<N> link\n"
    "  --port N           port number, link name COM<N> (default 1)\n"
    "  --tcp PORT         instead of the pty: Modbus TCP on 127.0.0.1:PORT, the\n"
    "                     unit identifier names the station; PORT 0 takes a\n"
    "                     free port. Prints \"ready tcp://127.0.0.1:PORT\"\n"
    "  --rtu-tcp PORT     instead of the pty: the RTU frames with their CRC\n"
    "                     through a TCP socket on 127.0.0.1:PORT. Prints\n"
    "                     \"ready rtu+tcp://127.0.0.1:PORT\"\n"
    "                     (one client at a time; the next is taken once it\n"
    "                     has closed)\n"
    "  --station N        station address answered, 1..247 (default 1)\n"
    "  --stations N,M,... several instruments on the line, each with its own\n"
    "                     values, flags, registers, faults and counters; a\n"
    "                     request for any other station goes unanswered\n"
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
    "station's address; writing it does not change the station answered.\n"
    "\n"
    "Several stations: a command goes to the first station listed, or to\n"
    "station N when prefixed \"@N \", e.g. \"@2 set ir 1 100\".\n"
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

// --station N, --stations LIST (only one of them).
bool parseStations(const std::string &option, const char *value, Options &opt)
{
    if (opt.stationGiven)
        return false;
    opt.stationGiven = true;
    if (option == "--stations") {
        const auto stations = sim::parseStations(value);
        if (stations)
            opt.stations = *stations;
        return stations.has_value();
    }
    return parseInt(value, 1, 247, opt.stations.front());
}

// Returns 0 on success, 1 on a usage error, 2 when --help was shown.
int parseOptions(int argc, char **argv, Options &opt)
{
    int transports = 0;
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
            ++transports;
        } else if ((a == "--tcp" || a == "--rtu-tcp") && hasValue) {
            opt.transport = a == "--tcp" ? Transport::Tcp : Transport::RtuTcp;
            ++transports;
            if (!parseInt(argv[++i], 0, 65535, opt.tcpPort))
                return 1;
        } else if (a == "--port" && hasValue) {
            if (!parseInt(argv[++i], 1, 255, opt.port))
                return 1;
        } else if ((a == "--station" || a == "--stations") && hasValue) {
            if (!parseStations(a, argv[++i], opt))
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
    if (transports != 1 || (opt.transport == Transport::Pty && opt.portDir.empty()))
        return 1;
    return 0;
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
    explicit Simulator(const Options &opt) : m_opt(opt), m_line(opt.stations) {}
    ~Simulator();

    bool open();
    int run();

private:
    bool openPty();
    bool listen();
    void accept();
    void closeClient();
    int lineFd() const { return m_opt.transport == Transport::Pty ? m_master : m_client; }
    void newContext();
    int frameFor(std::uint8_t *req);
    void serveRequest();
    void readCommands();
    void sendDue();
    double charMs() const;

    Options m_opt;
    sim::Line m_line;
    int m_master = -1;
    int m_slaveFd = -1;
    int m_listener = -1;
    int m_client = -1;
    std::string m_ptsName;
    std::string m_link;
    std::string m_published;
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
    for (const int fd : {m_slaveFd, m_master, m_client, m_listener}) {
        if (fd >= 0)
            close(fd);
    }
}

bool Simulator::open()
{
    if (m_opt.transport != Transport::Pty)
        return listen();
    return openPty();
}

bool Simulator::openPty()
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
    m_published = m_link;
    return true;
}

// Only on the loopback interface: the simulator is for this machine.
bool Simulator::listen()
{
    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(m_opt.tcpPort));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (m_listener < 0 || setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0
        || bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(m_listener, 1) != 0
        || getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &size) != 0) {
        std::perror("qr5300m-sim: listen");
        return false;
    }
    const char *scheme = m_opt.transport == Transport::Tcp ? "tcp" : "rtu+tcp";
    m_published = std::string(scheme) + "://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    return true;
}

void Simulator::accept()
{
    m_client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (m_client < 0)
        return;
    if (m_opt.verbose)
        std::fprintf(stderr, "client connected\n");
    newContext();
}

// Replies still due go nowhere once the client has gone.
void Simulator::closeClient()
{
    if (m_opt.verbose)
        std::fprintf(stderr, "client closed\n");
    close(m_client);
    m_client = -1;
    m_pending.clear();
}

// libmodbus, after a request for another station, expects that station's
// reply next on the bus and would swallow our next request as if it were
// that reply. The replies of the other stations come from us, so a fresh
// context is taken whenever that happens.
void Simulator::newContext()
{
    if (m_ctx)
        modbus_free(m_ctx);
    if (m_opt.transport == Transport::Tcp) {
        m_ctx = modbus_new_tcp("127.0.0.1", m_opt.tcpPort);
    } else {
        m_ctx = modbus_new_rtu("/dev/null", m_opt.baud, m_opt.parity, 8, 1);
        modbus_set_slave(m_ctx, m_line.first().address);
    }
    modbus_set_socket(m_ctx, lineFd());
    modbus_set_byte_timeout(m_ctx, 0, 100000);
}

double Simulator::charMs() const
{
    const int bits = 1 + 8 + (m_opt.parity == 'N' ? 0 : 1) + 1;
    return 1000.0 * bits / m_opt.baud;
}

// Receives one request into req and returns its length: 0 when it is
// not for any station of the line, < 0 on a bad frame.
int Simulator::frameFor(std::uint8_t *req)
{
    const int rc = modbus_receive(m_ctx, req);
    if (rc < 0 && errno == ECONNRESET && m_client >= 0) {
        closeClient();
        errno = ECONNRESET;
        return -1;
    }
    if (rc != 0)
        return rc;
    // Another station than the first: libmodbus has read the frame whole
    // but checked nothing.
    newContext();
    const int length = sim::requestLength(req, MODBUS_RTU_MAX_ADU_LENGTH);
    if (length < 4 || length > MODBUS_RTU_MAX_ADU_LENGTH || !m_line.find(req[0]))
        return 0;
    const std::uint16_t crc = sim::crc16(req, static_cast<std::size_t>(length - 2));
    if (req[length - 2] != (crc & 0xFF) || req[length - 1] != (crc >> 8)) {
        errno = EMBBADCRC;
        return -1;
    }
    return length;
}

void Simulator::serveRequest()
{
    std::uint8_t req[MODBUS_MAX_ADU_LENGTH] = {};
    const int rc = frameFor(req);
    const auto received = Clock::now();
    if (rc == 0) {
        if (m_opt.verbose)
            std::fprintf(stderr, "request for another station ignored\n");
        return;
    }
    if (rc < 0) {
        if (m_opt.verbose && errno != ECONNRESET)
            std::fprintf(stderr, "bad request: %s\n", modbus_strerror(errno));
        return;
    }
    if (m_opt.verbose)
        trace("<-", req, static_cast<std::size_t>(rc));
    const auto reply = m_opt.transport == Transport::Tcp ? m_line.handleTcp(req, rc) : m_line.handle(req, rc);
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
        const ssize_t n = write(lineFd(), frame.data(), frame.size());
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
        const std::string answer = m_line.runCommand(line, m_quit);
        std::fputs((answer + "\n").c_str(), stdout);
        std::fflush(stdout);
    }
}

int Simulator::run()
{
    std::printf("ready %s\n", m_published.c_str());
    std::fflush(stdout);

    auto nextTick = m_start + kTick;
    while (!g_signalled && !m_quit) {
        auto wake = nextTick;
        if (!m_pending.empty() && m_pending.front().due < wake)
            wake = m_pending.front().due;
        const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(wake - Clock::now()).count();

        // A listener with a client connected waits: one client at a time.
        pollfd fds[4] = {
            {g_wakePipe[0], POLLIN, 0},
            {lineFd(), POLLIN, 0},
            {m_stdinOpen ? STDIN_FILENO : -1, POLLIN, 0},
            {m_client < 0 ? m_listener : -1, POLLIN, 0},
        };
        const int rc = poll(fds, 4, waitMs > 0 ? static_cast<int>(waitMs) : 0);
        if (rc < 0 && errno != EINTR) {
            std::perror("qr5300m-sim: poll");
            return 1;
        }
        if (rc > 0) {
            if (fds[0].revents)
                break;
            // A socket's hang-up is read as its end.
            if (fds[1].revents & (m_client >= 0 ? POLLIN | POLLHUP | POLLERR : POLLIN))
                serveRequest();
            if (fds[2].revents & (POLLIN | POLLHUP | POLLERR))
                readCommands();
            else if (fds[2].revents & POLLNVAL)
                m_stdinOpen = false;
            if (fds[3].revents & POLLIN)
                accept();
        }
        const auto now = Clock::now();
        if (now >= nextTick) {
            m_line.advance(std::chrono::duration<double>(now - m_start).count());
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
