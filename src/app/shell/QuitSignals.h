#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP (Ctrl+C, kill, a closed terminal) into an orderly end on
// the user-interface thread, so that the port is closed and the settings are saved as when
// the window is closed. A second such signal ends the process at once. One instance at a
// time; its destruction restores the default handling.
class CQuitSignals : public QObject {
    Q_OBJECT

public:
    explicit CQuitSignals(std::function<void()> fnQuit);
    ~CQuitSignals() override;

private:
    static void OnSignal(int nSignal);
    void OnReadable();

    std::function<void()> m_fnQuit;
    int m_hRead = -1;
    QSocketNotifier* m_pNotifier = nullptr;
};
