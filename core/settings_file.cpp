#include "core/settings_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t kOwnerOnly = S_IRUSR | S_IWUSR;
constexpr mode_t kOthers = S_IRWXG | S_IRWXO;

bool isSettingsLine(const QByteArray &raw)
{
    const QByteArray line = raw.trimmed();
    if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
        return true;
    if (line.contains('\0'))
        return false;
    if (line.startsWith('['))
        return line.endsWith(']');
    return line.indexOf('=') > 0;
}

} // namespace

QString configFolder()
{
    // Asked first, as Qt would only warn about it on every call.
    if (const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME"); !xdg.isEmpty() && QDir::isRelativePath(xdg))
        return QDir::homePath() + QStringLiteral("/.config");
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString settingsFilePath()
{
    return configFolder() + QStringLiteral("/qr5300m/qr5300m.conf");
}

bool prepareSettingsFile(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    const QByteArray dir = QFile::encodeName(folder);
    if (!QFileInfo(folder).isDir()) {
        if (!QDir().mkpath(QFileInfo(folder).absolutePath()))
            return false;
        if (::mkdir(dir.constData(), S_IRWXU) != 0 && errno != EEXIST)
            return false;
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, kOwnerOnly);
    if (fd < 0)
        return false;
    struct stat st {};
    const bool ok = ::fstat(fd, &st) == 0 && ((st.st_mode & kOthers) == 0 || ::fchmod(fd, kOwnerOnly) == 0);
    ::close(fd);
    return ok;
}

bool restrictSettingsFile(const QString &path)
{
    return ::chmod(QFile::encodeName(path).constData(), kOwnerOnly) == 0;
}

SettingsFileCheck checkSettingsFile(const QString &path)
{
    SettingsFileCheck check;
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return check;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        check.fault = SettingsFileFault::Unreadable;
        check.sys = fd < 0 ? errno : (S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        if (fd >= 0)
            ::close(fd);
        return check;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        check.fault = SettingsFileFault::Unreadable;
        check.sys = EIO;
        return check;
    }
    int n = 0;
    while (!file.atEnd()) {
        ++n;
        if (!isSettingsLine(file.readLine())) {
            check.fault = SettingsFileFault::Garbled;
            check.line = n;
            return check;
        }
    }
    if (file.error() != QFileDevice::NoError) {
        check.fault = SettingsFileFault::Unreadable;
        check.sys = EIO;
    }
    return check;
}

SettingsExposure narrowExposedSettings(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & kOthers) == 0)
        return SettingsExposure::None;
    const QSettings ini(path, QSettings::IniFormat);
    if (ini.value(QStringLiteral("mqtt/password")).toString().isEmpty())
        return SettingsExposure::None;
    return ::chmod(name.constData(), kOwnerOnly) == 0 ? SettingsExposure::Narrowed : SettingsExposure::Exposed;
}
