// The link options of the command-line modes (--port, --baud, --parity,
// --station) over the link settings remembered by the last successful open,
// for the headless logger and the parameter-set commands alike.
#pragma once

#include "app/cli.h"
#include "link/link_control.h"

#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <optional>

// The settings file and the link settings remembered by the last successful
// open, each key checked as its option would be unless the command line
// gives that option; the usage error when one does not pass. A settings file
// readable by others is narrowed, with one line on standard error.
std::optional<QString> takeRemembered(const QCommandLineParser &parser, const CliOptions &o, LinkChoice &link);
// The link options given (--port, --baud, --parity); the usage error when
// one is not right.
std::optional<QString> takeLinkOptions(const QCommandLineParser &parser, const CliOptions &o, LinkChoice &link);
// The stations of --station (one, or several on the line separated by
// commas); the usage error when one is not right or named twice.
std::optional<QString> takeStations(const QCommandLineParser &parser, const CliOptions &o, QList<int32_t> &stations);
