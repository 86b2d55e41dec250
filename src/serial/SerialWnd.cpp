#include "SerialWnd.h"

#include "WindowMessage.h"

const UINT g_nDefaultComMsg = RegisterWindowMessage("CSerialWnd_DefaultComMsg");

CSerialWnd::~CSerialWnd() {
    if (m_hListenerThread) {
        CSerialWnd::Close();
    }
}

int CSerialWnd::Open(const char* szPort, CNotifyTarget* pTarget, UINT nMessage, LPARAM lParam,
                     DWORD dwInQueue, DWORD dwOutQueue) {
    if (const int n = CSerialListener::Open(szPort, dwInQueue, dwOutQueue, false);
        n != ERROR_SUCCESS) {
        return n;
    }
    m_hWndTarget = pTarget;
    m_nTargetMsg = nMessage != 0 ? nMessage : g_nDefaultComMsg;
    m_lTargetParam = lParam;
    if (const int n = StartListening(); n != ERROR_SUCCESS) {
        Close();
        return Result(n);
    }
    return Result(ERROR_SUCCESS);
}

LPARAM CSerialWnd::NewConnectionNumber() noexcept {
    static std::atomic<LPARAM> s_lLast{255};
    return ++s_lLast;
}

bool CSerialWnd::IsCurrentConnection(LPARAM lParam) const noexcept {
    return m_hPort && m_nTargetMsg != 0 && m_lTargetParam == lParam;
}

int CSerialWnd::Close() {
    m_hWndTarget = nullptr;
    m_nTargetMsg = 0;
    return CSerialListener::Close();
}

void CSerialWnd::OnSerialEvent(DWORD dwEvents, DWORD dwErrors) {
    CNotifyTarget* pTarget = m_hWndTarget;
    const UINT nMessage = m_nTargetMsg;
    if (pTarget == nullptr || nMessage == 0) {
        return;
    }
    pTarget->Post(nMessage, MAKEWPARAM(LOWORD(dwEvents), LOWORD(dwErrors)), m_lTargetParam);
}
