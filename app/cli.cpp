#include "app/cli.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#ifndef QR_VERSION
#error "QR_VERSION must be defined by the build"
#endif

namespace {

constexpr int kStart = -1, kUsage = 2;

const char *const kHelp =
    "Usage: qr5300m [--lang LANG]\n"
    "  or:  qr5300m --headless [--port N|DEVICE] [--baud 4800|9600|19200]\n"
    "                          [--parity none|odd|even] [--station N] [--db FILE]\n"
    "                          [--mqtt HOST[:PORT]] [--mqtt-prefix PREFIX] [--lang LANG]\n"
    "  or:  qr5300m export --from TIME --to TIME [--ring 1s|10s] [--events]\n"
    "                      [--db FILE] --out FILE\n"
    "Watch, log, trend and configure a QR5300M four-channel temperature\n"
    "controller over Modbus RTU.\n"
    "\n"
    "Without a command the main window opens.\n"
    "  --lang LANG        interface language: zh (default) or en\n"
    "  --help             display this help and exit\n"
    "  --version          output version information and exit\n"
    "\n"
    "--headless runs acquisition, logging and MQTT publishing without a\n"
    "display until SIGTERM, SIGINT or SIGHUP ('qr5300m --headless --help'\n"
    "lists its options). 'export' writes logged records or events of a time range\n"
    "(local ISO 8601 times) as CSV.\n"
    "\n"
    "Environment: QR5300M_DB (database file), QR5300M_PORT_DIR (port N is\n"
    "$QR5300M_PORT_DIR/COM<N>), XDG_DATA_HOME, XDG_CONFIG_HOME.\n"
    "Port N is otherwise /dev/ttyUSB<N-1> when it exists, else /dev/ttyS<N-1>;\n"
    "opening a serial device needs membership of the dialout group.\n"
    "\n"
    "Exit status: 0 if OK, 1 on a failure, 2 on a usage error.\n"
    "Full documentation: man qr5300m\n";

const char *const kVersion =
    "qr5300m " QR_VERSION "\n"
    "Copyright (C) 2026 the QR5300M OverView developers.\n"
    "License MIT: <https://opensource.org/license/mit>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

} // namespace

int answerCommandLine(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (a == "--version") {
            std::fputs(kVersion, stdout);
            return 0;
        }
        if (a == "--lang") {
            ++i; // its value, whatever it is, is the language option's to judge
            continue;
        }
        if (a == "--")
            break;
        if (a.starts_with("--") && !a.starts_with("--lang=")) {
            std::fprintf(stderr, "qr5300m: unrecognized option '%s'\nTry 'qr5300m --help' for more information.\n",
                         argv[i]);
            return kUsage;
        }
    }
    return kStart;
}
