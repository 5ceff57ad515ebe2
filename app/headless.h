// `qr5300m --headless`: acquisition, logging and publishing with no display
// and no widgets, for a box by the instrument (a systemd service).
//
//     qr5300m --headless [--port N|DEVICE] [--baud 4800|9600|19200]
//                        [--parity none|odd|even] [--station N] [--db FILE]
//                        [--mqtt HOST[:PORT]] [--mqtt-prefix PREFIX] [--lang LANG]
//
// A port number names its device by the window's rule; a device path is
// opened as given. Not given: the remembered link settings, checked as the
// options are (one that does not pass is a usage error naming its key), then
// port 1, 9600 baud, no parity, station 1; the program's database; the
// [mqtt] group of the config file. Every change of the link, the logging and
// the broker connection is one line on standard error, in the language
// chosen as the window's is. SIGTERM, SIGINT or SIGHUP ends the run after
// the record in progress: exit 0. A closed standard error is no reason to
// stop (SIGPIPE is ignored).
#pragma once

// Builds its own QCoreApplication. Exit code 0 after SIGTERM, SIGINT or
// SIGHUP, 2 on a usage error (one line on standard error: an empty --port or
// --db too, a settings file that cannot be read), 1 when the signals cannot
// be watched.
int runHeadless(int argc, char **argv);
