// Serial ports by name, and the link settings remembered between runs.
//
// Beside port numbers the operator may choose any serial port present, as the
// system describes it ("USB-RS485 · FTDI · A10K3B2C"); it is opened by its
// stable /dev/serial/by-id/... link where one exists, so an adapter that
// comes back under another /dev/ttyUSB number after a replug is still found.
#pragma once

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

struct SerialPortChoice {
    QString label; // description · manufacturer · serial number (the parts that exist)
    QString path;  // the by-id link where one exists, else the device itself
    friend bool operator==(const SerialPortChoice &, const SerialPortChoice &) = default;
};

// The folder of stable links: $QR5300M_BYID_DIR when set, else /dev/serial/by-id.
QString byIdFolder();
// The link in folder that resolves to device; empty when none does.
QString byIdLinkOf(const QString &device, const QString &folder);
// Every serial port present, then every link of the by-id folder that names
// none of them, in the order found.
QList<SerialPortChoice> serialPortChoices();

// Link settings as remembered: the port (a number, or a device path), the
// baud and parity indexes and the station, as in Link_Par 0..3.
struct RememberedLink {
    QString port;
    int baudIndex = 1;
    int parityIndex = 0;
    int station = 1;
    friend bool operator==(const RememberedLink &, const RememberedLink &) = default;
};

// The settings as opened: the path when there is one, else the port number.
RememberedLink rememberedOf(const int32_t *Link_Par, const QString &portPath);

// A remembered key whose value the program does not accept: a port that is
// neither a number 1..255 nor a device path, a baud rate other than 4800,
// 9600, 19200, a parity other than none, odd, even, a station outside
// 1..247. Its default is used instead.
enum class LinkKey { Port, Baud, Parity, Station };
struct RememberedValueFault {
    LinkKey key = LinkKey::Port;
    QString value; // as written in the file
    friend bool operator==(const RememberedValueFault &, const RememberedValueFault &) = default;
};
// The key's name in the [link] group ("port", "baud", "parity", "station").
QString linkKeyName(LinkKey key);

struct RememberedLinkRead {
    std::optional<RememberedLink> link; // nothing when no port was remembered
    QList<RememberedValueFault> faults; // in the order port, baud, parity, station
};
// The settings last remembered, each key checked.
RememberedLinkRead readRememberedLink();
// The settings last remembered, a key with an invalid value at its default;
// nothing when none were, or they do not read.
std::optional<RememberedLink> loadRememberedLink();
// Remembers settings for the next start (the file readable by its owner
// only); false when the file cannot be written.
bool saveRememberedLink(const RememberedLink &settings);
