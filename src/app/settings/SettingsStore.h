#pragma once

#include "settings/AppSettings.h"

#include <QString>

// The settings file: an INI file read and written with QSettings. Reading never fails: a
// missing, unreadable, oversized or corrupt file, or anything but a regular file at the
// path, gives the defaults, and each value that cannot be used gives its own default.
class CSettingsStore {
public:
    enum class ELoad {
        kLoaded,      // a settings file (an empty one too)
        kMissing,     // nothing at the path (or no path): a new file may be made there
        kNotSettings, // something else is there, which must never be written over
    };

    // An empty path keeps nothing: Load gives the defaults and Save writes nothing.
    explicit CSettingsStore(QString strPath);

    // The desktop's usual place: ~/.config/KovraPlotter/KovraPlotter.conf, or under
    // $XDG_CONFIG_HOME when that is set.
    static QString UserSettingsPath();

    const QString& Path() const { return m_strPath; }
    SAppSettings Load(ELoad* peLoad = nullptr) const;
    // Replaces the file's contents at once (a new file renamed over the old); false when
    // nothing was written.
    bool Save(const SAppSettings& settings) const;

private:
    QString m_strPath;
};
