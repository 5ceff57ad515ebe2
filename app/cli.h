// The command line of every mode, on one QCommandLineParser setup: the
// windows (--lang, --help, --version), the headless logger (--headless and
// its options), the export (the command "export" and its options) and the
// parameter sets (the command "params" and its options).
// The windows answer --help and --version GNU style and refuse anything
// else written "--name" that they do not know before any window opens;
// single-dash arguments are Qt's (-platform, -style, ...) and are left to it.
#pragma once

#include "logging/log_db.h"

#include <QCommandLineOption>
#include <QStringList>
#include <optional>

class QCommandLineParser;

enum class RunMode { Windows, Headless, Export, Params };

// Every option of the program, its description in the interface language
// (made after the translation is installed, where help is shown).
struct CliOptions {
    CliOptions();
    QCommandLineOption lang, version;
    QCommandLineOption headless, port, baud, parity, station, mqtt, prefix;
    QCommandLineOption db, dataDir;
    QCommandLineOption from, to, ring, out, events;
    QCommandLineOption withStation, all, includeComm, dryRun, force;
};

// Adds the options of mode to parser, the export also its command, and a
// help option for the headless logger and the export (the windows write
// their own help).
void addModeOptions(QCommandLineParser &parser, const CliOptions &options, RunMode mode);

// The mode arguments (the program's name first) ask for: the export when
// the first argument that is no option is "export", the parameter sets when
// it is "params", else the headless
// logger when --headless is given, else the windows.
RunMode runModeOf(const QStringList &arguments);

// The values given for --lang, in their order, read with the options of the
// mode arguments ask for, as that mode's parser reads them: nothing after
// "--", nothing taken as another option's value.
QStringList languagesGiven(const QStringList &arguments);

// For the windows: the exit code when the command line has been answered
// here (0 after --help or --version, 2 after an unrecognized option, with
// one line and a hint on standard error); -1 when the windows are to start.
int answerCommandLine(const QStringList &arguments);

// The database the headless logger and the export use, as --db FILE or
// --data-dir DIR name it (neither: the program's own); nothing, with the
// usage error in usage, when they are empty, both given, or the folder is
// not one.
std::optional<DbLocation> dbLocationGiven(const QCommandLineParser &parser, const CliOptions &options, QString &usage);
