// `qr5300m export`: the CSV export from the command line, with no display.
//
//     qr5300m export --from 2026-12-08T03:00:00 --to 2026-12-08T04:00:00
//                    [--ring 1s|10s] [--events] [--db FILE] --out FILE
//
// Times are local ISO 8601; --db defaults to the program's database;
// --events writes the journal's events of the range instead of the records.
#pragma once

// Builds its own QCoreApplication. Exit code 0 on success; 2 on a usage
// error and 1 on a failure, each with one line on standard error.
int runExport(int argc, char **argv);
