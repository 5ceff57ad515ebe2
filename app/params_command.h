// `qr5300m params`: the instrument's whole parameter set from the command
// line, with no display.
//
//     qr5300m params read  [LINK] --out FILE
//     qr5300m params diff  [LINK] FILE | --with-station M
//     qr5300m params write [LINK] FILE [--all] [--include-comm] [--dry-run] [--force] [--db FILE]
//
// LINK is --port N|DEVICE, --baud, --parity, --station N as for the headless
// logger, over the remembered link settings; the settings given are not
// remembered. read saves all 48 registers or nothing; diff prints only the
// differing parameters (exit 0 equal, 1 different); write prints the
// difference, then writes only what differs (everything with --all), never
// the communication settings without --include-comm, each value checked as
// a typed one, written with its echo check and read back, and journaled in
// the log database (--db) as the configuration window's writes are. It stops
// at the first failed write. A file of another model is refused without
// --force.
#pragma once

// Builds its own QCoreApplication. Exit code 2 on a usage error; otherwise
// read and write 0 when done, 1 on a failure; diff 0 when equal, 1 when
// different, 2 when the comparison could not be made.
int runParams(int argc, char **argv);
