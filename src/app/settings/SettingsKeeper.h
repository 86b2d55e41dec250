#pragma once

#include "settings/AppSettings.h"
#include "settings/SettingsStore.h"

#include <QObject>

class CMainFrame;

// Carries the settings between the settings file and the running program: the view's port,
// axis and channel settings and the window's place and size. They are put in place once at
// start-up, after the view's first update, and saved after every command that changed them
// and when the view is torn down.
class CSettingsKeeper : public QObject {
    Q_OBJECT

public:
    CSettingsKeeper(CMainFrame& frame, const QString& strPath);

    // Before the window is shown: the settings from the file into the view and the window.
    void Restore();
    // Saves when anything differs from what the file holds.
    void SaveIfChanged();

private:
    SAppSettings Capture() const;
    void Apply(const SAppSettings& settings);
    void ApplyWindow(const SWindowSettings& window);

    CMainFrame& m_frame;
    CSettingsStore m_store;
    // What the file holds, as far as this program knows.
    SAppSettings m_saved;
};
