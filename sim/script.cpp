#include "sim/script.h"

#include <charconv>
#include <optional>
#include <sstream>
#include <vector>

namespace sim {

const char *const kCommandHelp =
    "Commands on standard input, one per line; each answers one line starting\n"
    "with \"ok\" or \"err\". Numbers are one-based register/input numbers.\n"
    "  set ir N V | set di N 0|1 | set hr N V\n"
    "                     ir 1..5 keep V (channels stop varying) until auto;\n"
    "                     di is forced until auto; hr has no range check\n"
    "  get ir N | get di N | get hr N      -> ok V\n"
    "  status W           force the whole discrete-input word (decimal or 0x..)\n"
    "  auto               back to computed flags and varying values\n"
    "  freeze on|off      stop / resume the variation of all channel values\n"
    "  open C on|off      open sensor on channel C: open flag, value 32767\n"
    "  short C on|off     shorted sensor on channel C: short flag, value -32768\n"
    "  fault none | silent | late MS | crc | wexc CODE | dribble MS\n"
    "        | wecho value|reg | dropafter N\n"
    "                     silent: never answer; late: answer MS ms late (the\n"
    "                     reply is sent even when nobody waits for it any more);\n"
    "                     crc: corrupt the reply CRC; wexc: refuse every write\n"
    "                     with exception CODE and store nothing; dribble: send\n"
    "                     each reply one byte at a time, MS ms apart; wecho:\n"
    "                     store single writes (06) but echo another value\n"
    "                     (value) or another register (reg); dropafter: answer N\n"
    "                     more writes, then nothing at all (a line that breaks)\n"
    "  stats              -> ok reads R writes W (requests to this station)\n"
    "  lastwrite          -> ok REG VALUE | ok none (last write stored)\n"
    "  reset              zero the counters and forget the last write\n"
    "  quit\n";

namespace {

std::optional<int> number(const std::string &text)
{
    const char *first = text.data();
    const char *last = first + text.size();
    int base = 10;
    bool negative = false;
    if (first != last && (*first == '-' || *first == '+')) {
        negative = *first == '-';
        ++first;
    }
    if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) {
        base = 16;
        first += 2;
    }
    long value = 0;
    const auto [end, ec] = std::from_chars(first, last, value, base);
    if (first == last || ec != std::errc{} || end != last || value > 0xFFFFF)
        return std::nullopt;
    return static_cast<int>(negative ? -value : value);
}

std::optional<bool> onOff(const std::string &text)
{
    if (text == "on" || text == "1")
        return true;
    if (text == "off" || text == "0")
        return false;
    return std::nullopt;
}

bool fits16(int v)
{
    return v >= -32768 && v <= 65535;
}

int bankSize(const std::string &bank)
{
    if (bank == "ir")
        return kInputRegisters;
    if (bank == "di")
        return kDiscreteInputs;
    if (bank == "hr")
        return kHoldingRegisters;
    return 0;
}

using Words = std::vector<std::string>;
using Answer = std::optional<std::string>; // none: not a command of this group

// set ir|di|hr N V, get ir|di|hr N
Answer registerCommand(const Words &w, Model &model)
{
    const std::string &cmd = w[0];
    if (!(cmd == "set" && w.size() == 4) && !(cmd == "get" && w.size() == 3))
        return std::nullopt;
    const int size = bankSize(w[1]);
    if (size == 0)
        return "err unknown bank " + w[1];
    const auto n = number(w[2]);
    if (!n || *n < 1 || *n > size)
        return "err bad number " + w[2];
    if (cmd == "get") {
        if (w[1] == "ir")
            return "ok " + std::to_string(model.inputRegister(*n));
        if (w[1] == "di")
            return model.discreteInput(*n) ? "ok 1" : "ok 0";
        return "ok " + std::to_string(model.holding(*n));
    }
    const auto v = number(w[3]);
    if (!v || !fits16(*v))
        return "err bad value " + w[3];
    if (w[1] == "ir") {
        model.setInputRegister(*n, *v);
    } else if (w[1] == "hr") {
        model.setHolding(*n, *v);
    } else {
        if (*v != 0 && *v != 1)
            return "err bad value " + w[3];
        model.setDiscreteInput(*n, *v == 1);
    }
    return "ok";
}

// status W, auto, freeze on|off, open C on|off, short C on|off
Answer modelCommand(const Words &w, Model &model)
{
    const std::string &cmd = w[0];
    if (cmd == "status" && w.size() == 2) {
        const auto v = number(w[1]);
        if (!v || *v < 0 || *v > 0xFFFF)
            return "err bad word " + w[1];
        model.forceStatus(static_cast<std::uint16_t>(*v));
        return "ok";
    }
    if (cmd == "auto" && w.size() == 1) {
        model.automatic();
        return "ok";
    }
    if (cmd == "freeze" && w.size() == 2) {
        const auto on = onOff(w[1]);
        if (!on)
            return "err expected on or off";
        model.setFrozen(*on);
        return "ok";
    }
    if ((cmd == "open" || cmd == "short") && w.size() == 3) {
        const auto c = number(w[1]);
        const auto on = onOff(w[2]);
        if (!c || *c < 1 || *c > kChannels)
            return "err bad channel " + w[1];
        if (!on)
            return "err expected on or off";
        if (cmd == "open")
            model.setOpen(*c, *on);
        else
            model.setShort(*c, *on);
        return "ok";
    }
    return std::nullopt;
}

// fault late MS | wexc CODE | dribble MS | dropafter N: the number checked by kind.
std::string timedFault(const std::string &kind, const std::string &arg, Slave &slave)
{
    const auto v = number(arg);
    if (kind == "late") {
        if (!v || *v < 0 || *v > 60000)
            return "err bad delay " + arg;
        slave.setFault(Fault::Late, *v);
    } else if (kind == "dropafter") {
        if (!v || *v < 0 || *v > 1000000)
            return "err bad count " + arg;
        slave.setFault(Fault::DropAfter, *v);
    } else if (kind == "dribble") {
        if (!v || *v < 1 || *v > 10000)
            return "err bad gap " + arg;
        slave.setFault(Fault::Dribble, *v);
    } else {
        if (!v || *v < 1 || *v > 255)
            return "err bad exception code " + arg;
        slave.setFault(Fault::WriteException, *v);
    }
    return "ok";
}

// fault none | silent | crc | wecho value|reg | late MS | wexc CODE | dribble MS | dropafter N
Answer faultCommand(const Words &w, Slave &slave)
{
    if (w[0] != "fault" || w.size() < 2)
        return std::nullopt;
    const std::string &kind = w[1];
    if (kind == "none" && w.size() == 2)
        slave.setFault(Fault::None);
    else if (kind == "silent" && w.size() == 2)
        slave.setFault(Fault::Silent);
    else if (kind == "crc" && w.size() == 2)
        slave.setFault(Fault::Crc);
    else if (kind == "wecho" && w.size() == 3 && (w[2] == "value" || w[2] == "reg"))
        slave.setFault(w[2] == "value" ? Fault::EchoValue : Fault::EchoRegister);
    else if ((kind == "late" || kind == "wexc" || kind == "dribble" || kind == "dropafter") && w.size() == 3)
        return timedFault(kind, w[2], slave);
    else
        return "err bad fault";
    return "ok";
}

// stats, lastwrite, reset, quit
Answer slaveCommand(const Words &w, Slave &slave, bool &quit)
{
    const std::string &cmd = w[0];
    if (w.size() != 1)
        return std::nullopt;
    if (cmd == "stats")
        return "ok reads " + std::to_string(slave.reads()) + " writes " + std::to_string(slave.writes());
    if (cmd == "lastwrite") {
        if (!slave.hasLastWrite())
            return "ok none";
        return "ok " + std::to_string(slave.lastWriteRegister()) + " " + std::to_string(slave.lastWriteValue());
    }
    if (cmd == "reset") {
        slave.resetCounters();
        return "ok";
    }
    if (cmd == "quit") {
        quit = true;
        return "ok";
    }
    return std::nullopt;
}

}  // namespace

std::string runCommand(const std::string &line, Model &model, Slave &slave, bool &quit)
{
    std::istringstream in(line);
    Words w;
    for (std::string token; in >> token;)
        w.push_back(token);
    if (w.empty())
        return "err empty command";
    if (Answer a = registerCommand(w, model))
        return *a;
    if (Answer a = modelCommand(w, model))
        return *a;
    if (Answer a = faultCommand(w, slave))
        return *a;
    if (Answer a = slaveCommand(w, slave, quit))
        return *a;
    return "err unknown command: " + line;
}

}  // namespace sim
