#include "shell/StatusPane.h"

std::string StatusPaneText(const SStatusPaneState& state) {
    std::string strText;
    if (state.m_bConnected) {
        strText = state.m_strPortName;
        if (!state.m_strDevice.empty()) {
            strText += ' ' + state.m_strDevice;
        }
        strText += ' ' + std::to_string(state.m_nSpeedBps);
    } else if (!state.m_strWaitingFor.empty()) {
        strText = "waiting for " + state.m_strWaitingFor;
    } else {
        strText = "Not connected";
    }
    if (state.m_bMemoryFull) {
        strText += " | memory full: not collecting";
    } else if (state.m_bCollecting) {
        strText += " | collecting";
    } else {
        strText += " | paused: not collecting (F5)";
    }
    if (state.m_bRecording) {
        strText += " | REC " + state.m_strRecordingName + ", " +
                   std::to_string(state.m_nRecordedSets) +
                   (state.m_nRecordedSets == 1 ? " set" : " sets");
    }
    if (!state.m_strTrigger.empty()) {
        strText += " | " + state.m_strTrigger;
    }
    return strText;
}

CStatusPane::CStatusPane(QWidget* pParent) : QLabel(pParent) {
    setText(QString::fromStdString(StatusPaneText(m_state)));
}

void CStatusPane::Show(const SStatusPaneState& state) {
    if (state == m_state) {
        return;
    }
    m_state = state;
    setText(QString::fromStdString(StatusPaneText(m_state)));
}

void CStatusPane::SetConnection(bool bConnected, const std::string& strPortName,
                                const std::string& strDevice, std::uint32_t nSpeedBps) {
    SStatusPaneState state = m_state;
    state.m_bConnected = bConnected;
    state.m_strPortName = strPortName;
    state.m_strDevice = strDevice;
    state.m_nSpeedBps = nSpeedBps;
    Show(state);
}

void CStatusPane::SetWaitingFor(const std::string& strDevice) {
    SStatusPaneState state = m_state;
    state.m_strWaitingFor = strDevice;
    Show(state);
}

void CStatusPane::SetCollecting(bool bCollecting) {
    SStatusPaneState state = m_state;
    state.m_bCollecting = bCollecting;
    Show(state);
}

void CStatusPane::SetMemoryFull(bool bFull) {
    SStatusPaneState state = m_state;
    state.m_bMemoryFull = bFull;
    Show(state);
}

void CStatusPane::SetRecording(const std::string& strName, std::uint64_t nSets) {
    SStatusPaneState state = m_state;
    state.m_bRecording = true;
    state.m_strRecordingName = strName;
    state.m_nRecordedSets = nSets;
    Show(state);
}

void CStatusPane::StopRecording() {
    SStatusPaneState state = m_state;
    state.m_bRecording = false;
    state.m_strRecordingName.clear();
    state.m_nRecordedSets = 0;
    Show(state);
}

void CStatusPane::SetTrigger(const std::string& strTrigger) {
    SStatusPaneState state = m_state;
    state.m_strTrigger = strTrigger;
    Show(state);
}
