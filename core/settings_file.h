// The program's settings file (qr5300m.conf): where it lives, how it is
// written and what is wrong with it at the start. It may hold the MQTT
// password, so it is readable by its owner only, and so is a folder made
// for it. Every writer of the file calls prepareSettingsFile() before and
// restrictSettingsFile() after writing it.
#pragma once

#include <QString>

// The folder of settings files as QStandardPaths names it ($XDG_CONFIG_HOME,
// else ~/.config). A relative $XDG_CONFIG_HOME is no folder in the XDG
// sense: it is passed over for ~/.config, silently and wherever asked.
QString configFolder();
// The program's settings file, every group in it ([link], [mqtt], [ui]):
// <configFolder()>/qr5300m/qr5300m.conf.
QString settingsFilePath();

// Before a write: makes the file's folder when missing (mode 0700) and the
// file itself, empty, with mode 0600 when missing, so that the settings are
// never readable by others, not even for a moment. False when either
// cannot be made.
bool prepareSettingsFile(const QString &path);
// After a write (which replaces the file by a new one): mode 0600 again.
bool restrictSettingsFile(const QString &path);

enum class SettingsFileFault {
    None,       // missing, or readable and made of settings lines
    Unreadable, // there, but cannot be read (a folder, no permission, I/O)
    Garbled,    // a line that is neither a [group], a key=value nor a comment
};

struct SettingsFileCheck {
    SettingsFileFault fault = SettingsFileFault::None;
    int line = 0; // Garbled: the first such line, from 1
    int sys = 0;  // Unreadable: the system's error number
};

// Reads the file through once.
SettingsFileCheck checkSettingsFile(const QString &path);

enum class SettingsExposure {
    None,      // no password in it, or no one else may read it
    Narrowed,  // it held a password others could read: now mode 0600
    Exposed,   // it holds a password others can read and could not be narrowed
};

// At the start: a file holding a password ([mqtt] password) that group or
// others may read is narrowed to mode 0600.
SettingsExposure narrowExposedSettings(const QString &path);
