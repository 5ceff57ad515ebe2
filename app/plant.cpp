#include "app/plant.h"

#include "core/line_address.h"
#include "core/line_settings.h"
#include "core/settings_file.h"
#include "link/serial_ports.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <algorithm>
#include <optional>

namespace {

constexpr int kMaxStation = 247; // Modbus addresses a station 1..247
constexpr int kMaxPortNumber = 255;

bool validStation(int station)
{
    return station >= 1 && station <= kMaxStation;
}

bool validIndex(int index)
{
    return index >= 0 && index < kLineChoices;
}

// How a line at address is opened: a port number, a line over Ethernet as
// written, or a device path made absolute. Nothing when it is refused.
std::optional<LinkChoice> choiceOf(const QString &address, int baudIndex, int parityIndex)
{
    const QString a = address.trimmed();
    if (a.isEmpty())
        return std::nullopt;
    LinkChoice choice;
    choice.par[1] = baudIndex;
    choice.par[2] = parityIndex;
    bool isNumber = false;
    const int n = a.toInt(&isNumber);
    if (isNumber) {
        if (n < 1 || n > kMaxPortNumber)
            return std::nullopt;
        choice.par[0] = n;
    } else if (isNetworkAddress(a)) {
        if (!parseLineAddress(a).ok())
            return std::nullopt;
        choice.devicePath = a;
    } else {
        choice.devicePath = QFileInfo(a).absoluteFilePath();
    }
    return choice;
}

// The address as a line keeps it: its number, or its path or URL.
QString addressOf(const LinkChoice &choice)
{
    return choice.devicePath.isEmpty() ? QString::number(choice.par[0]) : choice.devicePath;
}

const QString kGroup = QStringLiteral("instruments");

} // namespace

std::vector<PlantEntry> readPlantEntries(const QString &path)
{
    std::vector<PlantEntry> entries;
    if (!QFileInfo::exists(path))
        return entries;
    QSettings s(path, QSettings::IniFormat);
    const int n = s.beginReadArray(kGroup);
    for (int i = 0; i < n; ++i) {
        s.setArrayIndex(i);
        PlantEntry e;
        e.line = s.value(QStringLiteral("line")).toString();
        e.lineNumber = s.value(QStringLiteral("lineNumber"), 0).toInt();
        e.baudIndex = s.value(QStringLiteral("baud"), e.baudIndex).toInt();
        e.parityIndex = s.value(QStringLiteral("parity"), e.parityIndex).toInt();
        e.station = s.value(QStringLiteral("station"), 0).toInt();
        e.name = s.value(QStringLiteral("name")).toString();
        entries.push_back(e);
    }
    s.endArray();
    return entries;
}

bool writePlantEntries(const QString &path, const std::vector<PlantEntry> &entries)
{
    if (!prepareSettingsFile(path))
        return false;
    QSettings s(path, QSettings::IniFormat);
    s.remove(kGroup);
    s.beginWriteArray(kGroup, int(entries.size()));
    for (int i = 0; i < int(entries.size()); ++i) {
        const PlantEntry &e = entries[size_t(i)];
        s.setArrayIndex(i);
        s.setValue(QStringLiteral("line"), e.line);
        // The first line's settings are the link panel's ([link]).
        if (!e.line.isEmpty()) {
            s.setValue(QStringLiteral("lineNumber"), e.lineNumber);
            s.setValue(QStringLiteral("baud"), e.baudIndex);
            s.setValue(QStringLiteral("parity"), e.parityIndex);
        }
        s.setValue(QStringLiteral("station"), e.station);
        s.setValue(QStringLiteral("name"), e.name);
    }
    s.endArray();
    s.sync();
    return s.status() == QSettings::NoError && restrictSettingsFile(path);
}

Plant::Plant(const DbLocation &single, const QString &settingsPath, QObject *parent)
    : QObject(parent), m_single(single), m_settingsPath(settingsPath)
{
    setObjectName(QStringLiteral("Plant"));
    if (const auto remembered = loadRememberedLink()) {
        m_rememberedPort = remembered->port;
        m_rememberedStation = remembered->station;
    }
    Instrument first{std::make_unique<InstrumentSession>(), 0, {}};
    first.session->dbFiles.setLocation(m_single);
    m_instruments.push_back(std::move(first));
    restore();
    shareMqtt();
}

Plant::~Plant()
{
    for (ExtraLine &l : m_lines)
        l.line->control.close();
    while (!m_instruments.empty())
        m_instruments.pop_back();
    m_lines.clear();
}

int Plant::station(int i) const
{
    const int s = instrument(i).station();
    return i == 0 && s == 0 ? m_rememberedStation : s;
}

Line &Plant::line(int k) const
{
    return k == 0 ? first().line : *m_lines.at(size_t(k - 1)).line;
}

QString Plant::lineAddress(int k) const
{
    if (k > 0)
        return m_lines.at(size_t(k - 1)).address;
    const LinkSettings &s = first().line.settings;
    if (!s.portPath.isEmpty())
        return s.portPath;
    return s.Link_Par[0] > 0 ? QString::number(s.Link_Par[0]) : m_rememberedPort;
}

void Plant::setCurrent(int i)
{
    if (i < 0 || i >= count() || i == m_current)
        return;
    m_current = i;
    emit currentChanged(i);
}

PlantFault Plant::addStation(int k, int station)
{
    const PlantFault fault = join(k, station, {});
    if (fault == PlantFault::None)
        changed();
    return fault;
}

PlantFault Plant::addLine(const QString &address, int baudIndex, int parityIndex, int station)
{
    if (!validStation(station))
        return PlantFault::BadStation;
    if (!validIndex(baudIndex) || !validIndex(parityIndex))
        return PlantFault::BadLineSettings;
    const auto choice = choiceOf(address, baudIndex, parityIndex);
    if (!choice)
        return PlantFault::BadAddress;
    const QString kept = addressOf(*choice);
    for (int k = 0; k < lineCount(); ++k)
        if (lineAddress(k) == kept)
            return PlantFault::DuplicateLine;
    makeLine(kept, baudIndex, parityIndex);
    join(lineCount() - 1, station, {});
    if (m_started)
        openLine(m_lines.back());
    changed();
    return PlantFault::None;
}

PlantFault Plant::remove(int i)
{
    if (i == 0)
        return PlantFault::FirstStays;
    if (i < 0 || i >= count())
        return PlantFault::NoSuchInstrument;
    // Whoever shows the instrument lets it go before it does.
    if (m_current == i)
        setCurrent(0);
    const int k = lineOf(i);
    m_instruments.erase(m_instruments.begin() + i);
    if (m_current > i) {
        --m_current;
        emit currentChanged(m_current);
    }
    if (k > 0 && !onLine(k)) {
        m_lines[size_t(k - 1)].line->control.close();
        m_lines.erase(m_lines.begin() + (k - 1));
        for (Instrument &in : m_instruments)
            if (in.line > k)
                --in.line;
    }
    changed();
    return PlantFault::None;
}

void Plant::rename(int i, const QString &name)
{
    if (i < 0 || i >= count() || m_instruments[size_t(i)].name == name.trimmed())
        return;
    m_instruments[size_t(i)].name = name.trimmed();
    changed();
}

void Plant::start()
{
    if (m_started)
        return;
    m_started = true;
    for (Instrument &in : m_instruments)
        in.session->start();
    for (const ExtraLine &l : m_lines)
        openLine(l);
}

// The list as remembered: the first line is the link panel's, whatever port
// it was last opened on.
void Plant::restore()
{
    const std::vector<PlantEntry> entries = readPlantEntries(m_settingsPath);
    for (size_t n = 0; n < entries.size(); ++n) {
        const PlantEntry &e = entries[n];
        if (n == 0) {
            m_instruments[0].name = e.name;
            continue;
        }
        int k = 0;
        if (!e.line.isEmpty()) {
            const auto choice = choiceOf(e.line, e.baudIndex, e.parityIndex);
            if (!choice || !validIndex(e.baudIndex) || !validIndex(e.parityIndex))
                continue; // an entry edited out of shape is passed over
            k = 1;
            while (k < lineCount() && lineAddress(k) != addressOf(*choice))
                ++k;
            if (k == lineCount())
                makeLine(addressOf(*choice), e.baudIndex, e.parityIndex, e.lineNumber);
        }
        // A line made for an entry refused goes again.
        if (join(k, e.station, e.name) != PlantFault::None && k > 0 && k == lineCount() - 1 && !onLine(k))
            m_lines.pop_back();
    }
}

void Plant::changed()
{
    shareMqtt();
    std::vector<PlantEntry> entries;
    for (int i = 0; i < count(); ++i) {
        const int k = lineOf(i);
        const LinkSettings &s = line(k).settings;
        PlantEntry e{{}, 0, s.Link_Par[1], s.Link_Par[2], station(i), name(i)};
        if (k > 0) {
            const ExtraLine &l = m_lines[size_t(k - 1)];
            e.line = l.address;
            e.lineNumber = l.number;
            e.baudIndex = l.baudIndex;
            e.parityIndex = l.parityIndex;
        }
        entries.push_back(e);
    }
    if (!writePlantEntries(m_settingsPath, entries))
        emit rememberFailed();
    emit listChanged();
}

PlantFault Plant::join(int k, int station, const QString &name)
{
    if (k < 0 || k >= lineCount())
        return PlantFault::NoSuchLine;
    if (!validStation(station))
        return PlantFault::BadStation;
    for (int i = 0; i < count(); ++i)
        if (lineOf(i) == k && this->station(i) == station)
            return PlantFault::DuplicateStation;
    Instrument in{std::make_unique<InstrumentSession>(line(k), station), k, name};
    in.session->dbFiles.setLocation(databaseOf(k, station));
    if (m_started)
        in.session->start();
    m_instruments.push_back(std::move(in));
    return PlantFault::None;
}

bool Plant::onLine(int k) const
{
    return std::any_of(m_instruments.begin(), m_instruments.end(), [k](const Instrument &in) { return in.line == k; });
}

void Plant::makeLine(const QString &address, int baudIndex, int parityIndex, int number)
{
    int highest = 1;
    bool taken = number < 2;
    for (const ExtraLine &l : m_lines) {
        highest = std::max(highest, l.number);
        taken = taken || l.number == number;
    }
    m_lines.push_back({std::make_unique<Line>(), address, taken ? highest + 1 : number, baudIndex, parityIndex});
}

// Beside the first instrument's database: Rdatabj-5.db for station 5 on the
// first line, Rdatabj-L2-5.db for station 5 on the line numbered 2.
DbLocation Plant::databaseOf(int k, int station) const
{
    if (k == 0)
        return stationDbLocation(m_single, station);
    const QFileInfo file(m_single.path);
    const QString suffix = file.suffix().isEmpty() ? QString() : QStringLiteral(".") + file.suffix();
    const int number = m_lines.at(size_t(k - 1)).number;
    const QString name = QStringLiteral("%1-L%2%3").arg(file.completeBaseName()).arg(number).arg(suffix);
    const DbLocation base{file.dir().filePath(name), m_single.makeFolder};
    return stationDbLocation(base, station);
}

void Plant::openLine(const ExtraLine &l) const
{
    if (const auto choice = choiceOf(l.address, l.baudIndex, l.parityIndex))
        l.line->control.open(*choice, LinkControl::Remember::No);
}

// "-5" for station 5 on the first line, "-L2-5" on the line numbered 2: a
// broker takes one connection per client id.
QString Plant::clientSuffix(int i) const
{
    const int k = lineOf(i);
    const QString line = k == 0 ? QString() : QStringLiteral("-L%1").arg(m_lines[size_t(k - 1)].number);
    return QStringLiteral("%1-%2").arg(line).arg(station(i));
}

// Every instrument publishes under its own station; with several, each
// client gets an id of its own when one is set. The settings are given
// again, as the MQTT dialog saved them, whenever the list changes. The
// first instrument's client connects with its first message, as it always
// has (its station is the link panel's, known once the line is opened).
void Plant::shareMqtt()
{
    const MqttSettings saved = readMqttSettings(m_settingsPath);
    const bool several = count() > 1;
    for (int i = 0; i < count(); ++i) {
        MqttPublisher &publisher = instrument(i).mqtt;
        MqttSettings own = saved;
        if (several && !own.clientId.isEmpty())
            own.clientId += clientSuffix(i);
        if (!(publisher.settings() == own))
            publisher.setSettings(own);
        if (i > 0)
            publisher.setStation(station(i));
    }
}
