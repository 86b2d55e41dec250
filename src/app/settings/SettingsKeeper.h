#pragma once

#include "settings/AppSettings.h"
#include "settings/SettingsStore.h"

#include <QObject>

class CKovraPlotterView;
class QMainWindow;

// Carries the settings between the settings file and the running program: the session's port
// choices, the plot's axis settings, the channels' settings and the window's place and size.
// They are put in place once at start-up, after the view's first update, and saved when
// anything may have changed them (SaveIfChanged, which the application calls after every
// command) and when the view is torn down.
class CSettingsKeeper : public QObject {
    Q_OBJECT

public:
    CSettingsKeeper(QMainWindow& window, CKovraPlotterView& view, const QString& strPath);

    // Before the window is shown: the settings from the file into the view and the window.
    void Restore();
    // Saves when anything differs from what the file holds.
    void SaveIfChanged();

private:
    SAppSettings Capture() const;
    void Apply(const SAppSettings& settings);
    void ApplyWindow(const SWindowSettings& window);

    QMainWindow& m_window;
    CKovraPlotterView& m_view;
    CSettingsStore m_store;
    // What the file holds, as far as this program knows.
    SAppSettings m_saved;
    bool m_bApplying = false;
};
