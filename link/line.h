// One line: one connection (a serial port, or a TCP socket to a Modbus TCP
// gateway or a serial device server) and its one queue of exchanges, made
// strictly one at a time whatever the number of stations polled on it.
#pragma once

#include "core/live_data.h"
#include "link/link.h"
#include "link/link_control.h"

class Line {
public:
    Line() = default;
    Line(const Line &) = delete;
    Line &operator=(const Line &) = delete;

    Link link;                          // every exchange on the line
    LinkSettings settings;              // port, baud and parity as last opened
    LinkControl control{link, settings}; // opens and closes it, polling its stations
};
