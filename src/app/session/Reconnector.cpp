#include "session/Reconnector.h"

#include <QSocketNotifier>

#include <utility>

CReconnector::CReconnector(std::function<bool(const std::string&)> fnConnect, QObject* pParent)
    : QObject(pParent), m_fnConnect(std::move(fnConnect)) {}

CReconnector::~CReconnector() {
    Stop();
}

int CReconnector::Start(const SDeviceIdentity& identity) {
    Stop();
    if (const int nResult = m_watcher.Start(identity); nResult != 0) {
        return nResult;
    }
    m_pNotifier = new QSocketNotifier(m_watcher.GetFd(), QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, &CReconnector::LookNow);
    return 0;
}

void CReconnector::LookNow() {
    std::string strPath;
    if (Waiting() && m_watcher.Drain(&strPath) && m_fnConnect(strPath)) {
        Stop();
    }
}

void CReconnector::Stop() {
    // The notifier lets go of the descriptor before it closes. It may be the one whose
    // signal is running now.
    if (m_pNotifier != nullptr) {
        m_pNotifier->setEnabled(false);
        m_pNotifier->deleteLater();
        m_pNotifier = nullptr;
    }
    m_watcher.Stop();
}

std::string CReconnector::WaitingFor() const {
    return Waiting() ? m_watcher.GetIdentity().strPath : std::string();
}
