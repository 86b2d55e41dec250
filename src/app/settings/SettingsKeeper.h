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
    // The port and speed in place now came from the command line: they are for this run, and
    // the file keeps its own until the user chooses in Port Setup.
    void HoldPortForThisRun() { m_bPortForThisRun = true; }
    // The same for the board's format.
    void HoldFormatForThisRun() { m_bFormatForThisRun = true; }

private:
    SAppSettings Capture() const;
    void Apply(const SAppSettings& settings);
    void ApplyWindow(const SWindowSettings& window);
    // Said once: on the status bar and where the program was started from.
    void Tell(const QString& strText);

    QMainWindow& m_window;
    CKovraPlotterView& m_view;
    CSettingsStore m_store;
    // What the file holds, as far as this program knows.
    SAppSettings m_saved;
    // False when the file must not be written (it is not a settings file, or writing failed).
    bool m_bWritable = true;
    bool m_bPortForThisRun = false;
    bool m_bApplying = false;
    bool m_bFormatForThisRun = false;
};
