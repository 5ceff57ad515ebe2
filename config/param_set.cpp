#include "config/param_set.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace {

// The format and its version in one: a later format is another string.
const QString kFormat = QStringLiteral("qr5300m-params 1");

ParamFileError fault(ParamFileFault kind, int entry = -1, int reg = 0, const QString &field = QString())
{
    return ParamFileError{kind, entry, reg, field, QString()};
}

// A JSON number that is a whole number within lo..hi.
std::optional<int32_t> wholeIn(const QJsonValue &v, double lo, double hi)
{
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (!std::isfinite(d) || d != std::floor(d) || d < lo || d > hi)
        return std::nullopt;
    return int32_t(d);
}

ParamFileError readId(const QJsonValue &value, ParamSetId &id)
{
    if (!value.isObject())
        return fault(ParamFileFault::BadField, -1, 0, QStringLiteral("identification"));
    const QJsonObject o = value.toObject();
    for (const char *name : {"program", "model", "line", "taken"})
        if (!o.value(QLatin1String(name)).isString())
            return fault(ParamFileFault::BadField, -1, 0, QLatin1String(name));
    const auto station = wholeIn(o.value(QStringLiteral("station")), 0, 255);
    if (!station)
        return fault(ParamFileFault::BadField, -1, 0, QStringLiteral("station"));
    id.program = o.value(QStringLiteral("program")).toString();
    id.model = o.value(QStringLiteral("model")).toString();
    id.line = o.value(QStringLiteral("line")).toString();
    id.station = *station;
    id.taken = QDateTime::fromString(o.value(QStringLiteral("taken")).toString(), Qt::ISODate);
    if (!id.taken.isValid() || id.taken.timeSpec() == Qt::LocalTime) // the offset from UTC is part of it
        return fault(ParamFileFault::BadField, -1, 0, QStringLiteral("taken"));
    return {};
}

// One entry of "parameters": its register and raw value, checked.
ParamFileError readEntry(const QJsonValue &value, int index, int &reg, int32_t &raw)
{
    if (!value.isObject())
        return fault(ParamFileFault::BadEntry, index);
    const QJsonObject e = value.toObject();
    for (const char *name : {"caption", "text"})
        if (!e.value(QLatin1String(name)).isString())
            return fault(ParamFileFault::BadEntry, index, 0, QLatin1String(name));
    const auto r = wholeIn(e.value(QStringLiteral("register")), 1, 65535);
    if (!r)
        return fault(e.contains(QStringLiteral("register")) ? ParamFileFault::BadRegister : ParamFileFault::BadEntry, index,
                     0, QStringLiteral("register"));
    reg = *r;
    const auto v = wholeIn(e.value(QStringLiteral("raw")), -32768, 32767);
    if (!v)
        return fault(e.value(QStringLiteral("raw")).isDouble() ? ParamFileFault::RawRange : ParamFileFault::BadEntry, index,
                     reg, QStringLiteral("raw"));
    raw = *v;
    return {};
}

ParamFileError readEntries(const QJsonValue &list, ParamSet &set)
{
    if (!list.isArray())
        return fault(ParamFileFault::BadField, -1, 0, QStringLiteral("parameters"));
    bool seen[kParamCount] = {};
    const QJsonArray entries = list.toArray();
    for (int i = 0; i < entries.size(); ++i) {
        int reg = 0;
        int32_t raw = 0;
        if (const ParamFileError e = readEntry(entries.at(i), i, reg, raw); !e.ok())
            return e;
        const bool ours = reg <= kParamCount;
        const bool twice = ours ? seen[reg - 1]
                                : std::any_of(set.extra.cbegin(), set.extra.cend(), [reg](const ExtraEntry &x) { return x.reg == reg; });
        if (twice)
            return fault(ParamFileFault::Duplicate, i, reg);
        if (ours) {
            seen[reg - 1] = true;
            set.values[reg - 1] = raw;
        } else {
            set.extra.append(ExtraEntry{reg, raw});
        }
    }
    for (int k = 0; k < kParamCount; ++k)
        if (!seen[k])
            return fault(ParamFileFault::Missing, -1, k + 1);
    return {};
}

} // namespace

bool isCommParam(int reg)
{
    return reg >= 17 && reg <= 20;
}

QString paramValueText(int reg, int32_t raw)
{
    QString text;
    if (reg >= 1 && reg <= kParamCount && decodeText(reg, raw, &text))
        return text.trimmed();
    return QString::number(raw);
}

ParamSet paramSetOf(const int32_t values[kParamCount], const ParamSetId &id)
{
    ParamSet set;
    set.id = id;
    std::copy_n(values, kParamCount, set.values);
    return set;
}

QByteArray paramSetJson(const ParamSet &set)
{
    QJsonArray entries;
    for (int k = 0; k < kParamCount; ++k) {
        const int reg = k + 1;
        entries.append(QJsonObject{{QStringLiteral("register"), reg},
                                   {QStringLiteral("caption"), paramText(kParam[k].caption)},
                                   {QStringLiteral("raw"), int(set.values[k])},
                                   {QStringLiteral("text"), paramValueText(reg, set.values[k])}});
    }
    for (const ExtraEntry &x : set.extra)
        entries.append(QJsonObject{{QStringLiteral("register"), x.reg},
                                   {QStringLiteral("caption"), QString()},
                                   {QStringLiteral("raw"), int(x.raw)},
                                   {QStringLiteral("text"), QString::number(x.raw)}});
    // Keys come out in alphabetical order: the identification before the
    // parameters.
    const QJsonObject id{{QStringLiteral("program"), set.id.program},
                         {QStringLiteral("model"), set.id.model},
                         {QStringLiteral("line"), set.id.line},
                         {QStringLiteral("station"), set.id.station},
                         {QStringLiteral("taken"), set.id.taken.toOffsetFromUtc(set.id.taken.offsetFromUtc()).toString(Qt::ISODate)}};
    const QJsonObject o{{QStringLiteral("format"), kFormat},
                        {QStringLiteral("identification"), id},
                        {QStringLiteral("parameters"), entries}};
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

ParamFileError paramSetFromJson(const QByteArray &json, ParamSet &set)
{
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError) {
        ParamFileError e = fault(ParamFileFault::NotJson);
        e.detail = QStringLiteral("%1 (%2)").arg(parse.errorString()).arg(parse.offset);
        return e;
    }
    if (!doc.isObject())
        return fault(ParamFileFault::NotSet);
    ParamSet read;
    const QJsonObject o = doc.object();
    if (o.value(QStringLiteral("format")).toString() != kFormat)
        return fault(ParamFileFault::NotSet, -1, 0, QStringLiteral("format"));
    if (ParamFileError e = readId(o.value(QStringLiteral("identification")), read.id); !e.ok())
        return e;
    if (ParamFileError e = readEntries(o.value(QStringLiteral("parameters")), read); !e.ok())
        return e;
    set = read;
    return {};
}

ParamFileError saveParamSet(const ParamSet &set, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(paramSetJson(set)) < 0 || !file.commit()) {
        ParamFileError e = fault(ParamFileFault::WriteFailed);
        e.detail = file.errorString();
        return e;
    }
    return {};
}

ParamFileError loadParamSet(const QString &path, ParamSet &set)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ParamFileError e = fault(ParamFileFault::OpenFailed);
        e.detail = file.errorString();
        return e;
    }
    // A parameter set is a few kilobytes; anything far larger is no set.
    constexpr qint64 kMaxSize = 1 << 20;
    if (file.size() > kMaxSize)
        return fault(ParamFileFault::NotSet);
    return paramSetFromJson(file.readAll(), set);
}

QList<ParamDiff> compareSets(const int32_t left[kParamCount], const int32_t right[kParamCount])
{
    QList<ParamDiff> out;
    for (int k = 0; k < kParamCount; ++k)
        if (left[k] != right[k])
            out.append(ParamDiff{k + 1, left[k], right[k]});
    return out;
}

QList<PlannedWrite> planRestore(const ParamSet &set, const int32_t current[kParamCount], const RestoreOptions &options)
{
    QList<PlannedWrite> plan;
    for (int k = 0; k < kParamCount; ++k) {
        const int reg = k + 1;
        if (set.values[k] == current[k] && !options.all)
            continue;
        PlannedWrite w;
        w.reg = reg;
        w.value = set.values[k];
        w.current = current[k];
        // The value as the operator would type it, through the same check.
        const QString typed = kParam[k].coding == Coding::Tenths ? paramValueText(reg, w.value) : QString::number(w.value);
        w.check = ParamAccess::checkWrite(reg, typed);
        if (isCommParam(reg) && !options.includeComm)
            w.step = RestoreStep::Comm;
        else if (w.check.refusal != WriteRefusal::None)
            w.step = RestoreStep::Refused;
        plan.append(w);
    }
    for (const ExtraEntry &x : set.extra) {
        PlannedWrite w;
        w.reg = x.reg;
        w.value = x.raw;
        w.step = RestoreStep::Refused;
        w.check = ParamAccess::checkWrite(x.reg, QString::number(x.raw));
        plan.append(w);
    }
    return plan;
}
