#pragma once

#include <QLabel>

#include <cstdint>
#include <string>

// What the permanent pane of the status bar tells: the connection, whether new data is
// being collected, and the recording.
struct SStatusPaneState {
    bool m_bConnected = false;
    std::string m_strPortName; // "COM1"
    std::string m_strDevice;   // "/dev/ttyACM0"; empty when no device is known
    std::uint32_t m_nSpeedBps = 0;
    // While disconnected: the device of a board that went away, waited for to come back.
    std::string m_strWaitingFor;
    bool m_bCollecting = true;
    // The store has no room left: collection has stopped whatever the F5 state is.
    bool m_bMemoryFull = false;
    bool m_bRecording = false;
    std::string m_strRecordingName;
    std::uint64_t m_nRecordedSets = 0;
    // "TRIG ch1 ↑ 1.00: armed"; empty while the trigger is off.
    std::string m_strTrigger;

    bool operator==(const SStatusPaneState&) const = default;
};

// "COM1 /dev/ttyACM0 115200 | collecting", "Not connected | paused: not collecting (F5)",
// "waiting for /dev/ttyACM0 | collecting", " | REC name.csv, 12 sets" while recording, then
// " | TRIG ..." while the trigger is on.
std::string StatusPaneText(const SStatusPaneState& state);

// The pane itself, kept up to date through its setters by whoever knows the state.
class CStatusPane : public QLabel {
    Q_OBJECT

public:
    explicit CStatusPane(QWidget* pParent = nullptr);

    void SetConnection(bool bConnected, const std::string& strPortName,
                       const std::string& strDevice, std::uint32_t nSpeedBps);
    // strDevice empty: not waiting.
    void SetWaitingFor(const std::string& strDevice);
    void SetCollecting(bool bCollecting);
    void SetMemoryFull(bool bFull);
    // Recording to strName with nSets sets written so far.
    void SetRecording(const std::string& strName, std::uint64_t nSets);
    void StopRecording();
    void SetTrigger(const std::string& strTrigger);

    const SStatusPaneState& State() const { return m_state; }

private:
    void Show(const SStatusPaneState& state);

    SStatusPaneState m_state;
};
