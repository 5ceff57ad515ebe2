// The line-oriented control language read from standard input. Every command
// answers exactly one line that starts with "ok" or "err".
#pragma once

#include "sim/model.h"
#include "sim/slave.h"

#include <string>

namespace sim {

// Runs one command line and returns its answer (without the newline).
// Sets `quit` when the command asks the simulator to end.
std::string runCommand(const std::string &line, Model &model, Slave &slave, bool &quit);

// Help text of the commands, for --help.
extern const char *const kCommandHelp;

}  // namespace sim
