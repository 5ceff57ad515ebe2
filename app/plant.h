// The instruments the program serves and the lines they are on, without a
// window. The first instrument is the program's own from its first start:
// alone on the first line, which the main window's link panel opens and
// closes and whose settings it remembers; it logs into Rdatabj.db. Further
// stations may join the first line, and further lines (a serial device, or
// a line over Ethernet) may be added with their stations; those lines are
// opened by the plant itself. Every instrument gets a database, a journal
// and an MQTT client of its own. The list is remembered in the settings
// file ([instruments]); with nothing remembered there is one instrument, as
// ever.
#pragma once

#include "app/session.h"
#include "logging/log_db.h"
#include "mqtt/mqtt_publisher.h"

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

// Why a change of the list is refused.
enum class PlantFault {
    None,
    BadStation,       // not a station address 1..247
    DuplicateStation, // the line already has an instrument with that station
    BadAddress,       // not a port number 1..255, a device path or a line over Ethernet
    BadLineSettings,  // a baud or parity index the instrument does not offer
    DuplicateLine,    // that line is already in the list
    NoSuchLine,
    NoSuchInstrument,
    FirstStays,       // the first instrument is the program's own
};

// One remembered instrument: its line (empty for the first line, whose
// settings are the link panel's, else the address as given) and the number
// its databases go by (L2, L3, ...: kept when other lines go), the line's
// baud and parity indexes, its station and the name the user gave it.
struct PlantEntry {
    QString line;
    int lineNumber = 0;
    int baudIndex = 1;
    int parityIndex = 0;
    int station = 1;
    QString name;
    friend bool operator==(const PlantEntry &, const PlantEntry &) = default;
};

// The remembered list, in the settings file at path; empty when none is.
std::vector<PlantEntry> readPlantEntries(const QString &path);
// Replaces the remembered list (the file readable by its owner only); false
// when the file cannot be written.
bool writePlantEntries(const QString &path, const std::vector<PlantEntry> &entries);

class Plant : public QObject {
    Q_OBJECT
public:
    // The instruments remembered in the settings file at settingsPath, each
    // logging beside single (where the first logs) and publishing as its
    // [mqtt] group says. Nothing runs until start().
    Plant(const DbLocation &single, const QString &settingsPath, QObject *parent = nullptr);
    ~Plant() override;
    Plant(const Plant &) = delete;
    Plant &operator=(const Plant &) = delete;

    int count() const { return int(m_instruments.size()); }
    InstrumentSession &instrument(int i) const { return *m_instruments.at(size_t(i)).session; }
    InstrumentSession &first() const { return instrument(0); }
    // The line instrument i is on (0: the first line).
    int lineOf(int i) const { return m_instruments.at(size_t(i)).line; }
    QString name(int i) const { return m_instruments.at(size_t(i)).name; }
    // The station instrument i polls: the first instrument's is the link
    // panel's, remembered with its link until the line is opened.
    int station(int i) const;
    int lineCount() const { return int(m_lines.size()) + 1; }
    Line &line(int k) const;
    // Where line k is, as the user wrote it (the first line: as last opened
    // or remembered).
    QString lineAddress(int k) const;

    int current() const { return m_current; }
    void setCurrent(int i);

    // Station `station` on line k (0..lineCount() - 1).
    PlantFault addStation(int k, int station);
    // A new line at address (a port number 1..255, a device path, or
    // tcp://HOST[:PORT] / rtu+tcp://HOST:PORT) with its first station.
    PlantFault addLine(const QString &address, int baudIndex, int parityIndex, int station);
    // Instrument i leaves (never the first); a line left empty goes with it.
    PlantFault remove(int i);
    void rename(int i, const QString &name);

    // Starts every instrument's cycles and opens the lines the plant owns;
    // instruments added later start as they come.
    void start();

signals:
    void currentChanged(int index);
    // An instrument came, went or was renamed.
    void listChanged();
    // The list could not be remembered in the settings file.
    void rememberFailed();

private:
    struct ExtraLine {
        std::unique_ptr<Line> line;
        QString address;
        int number = 0; // its databases' L<number>
        int baudIndex = 1;
        int parityIndex = 0;
    };
    struct Instrument {
        std::unique_ptr<InstrumentSession> session;
        int line = 0;
        QString name;
    };

    void restore();
    // The list changed: remembered, published and told.
    void changed();
    DbLocation databaseOf(int k, int station) const;
    PlantFault join(int k, int station, const QString &name);
    bool onLine(int k) const; // an instrument is on line k
    // A line of the plant's own at address (checked), numbered number when
    // that is free, else after the highest.
    void makeLine(const QString &address, int baudIndex, int parityIndex, int number = 0);
    void openLine(const ExtraLine &line) const;
    void shareMqtt();
    QString clientSuffix(int i) const;

    DbLocation m_single;
    QString m_settingsPath;
    QString m_rememberedPort = QStringLiteral("1"); // the link panel's until the first open
    int m_rememberedStation = 1;
    // Lines go after the instruments on them (declared first, gone last).
    std::vector<ExtraLine> m_lines;
    std::vector<Instrument> m_instruments;
    int m_current = 0;
    bool m_started = false;
};
