#include "AppTestSupport.h"

#include "KovraPlotterView.h"
#include "PortNames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <dirent.h>
#include <fcntl.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

CAppFixture::CAppFixture(const SCommandLine& commandLine) {
    SetUserDialogs(&m_dialogs);
    ClearPortMappings();
    if (!m_app.InitInstance(commandLine)) {
        throw std::runtime_error("the program did not start");
    }
}

CAppFixture::~CAppFixture() {
    Frame().close();
    SetUserDialogs(nullptr);
    ClearPortMappings();
}

CKovraPlotterView& CAppFixture::View() const {
    return *Frame().View();
}

bool CAppFixture::WaitFor(const std::function<bool()>& fnCondition, int nTimeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!fnCondition()) {
        if (timer.elapsed() > nTimeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

CPseudoTerminal::CPseudoTerminal() {
    char szName[128];
    if (openpty(&m_hMaster, &m_hSlave, szName, nullptr, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    termios settings{};
    tcgetattr(m_hSlave, &settings);
    cfmakeraw(&settings);
    tcsetattr(m_hSlave, TCSANOW, &settings);
    m_strPath = szName;
}

CPseudoTerminal::~CPseudoTerminal() {
    HangUp();
}

void CPseudoTerminal::Write(const std::string& strData) const {
    std::size_t nDone = 0;
    while (nDone < strData.size()) {
        const ssize_t n = ::write(m_hMaster, strData.data() + nDone, strData.size() - nDone);
        if (n <= 0) {
            throw std::runtime_error("write to the pseudo-terminal failed");
        }
        nDone += static_cast<std::size_t>(n);
    }
}

void CPseudoTerminal::HangUp() {
    if (m_hSlave >= 0) {
        ::close(m_hSlave);
        m_hSlave = -1;
    }
    if (m_hMaster >= 0) {
        ::close(m_hMaster);
        m_hMaster = -1;
    }
}

int ThreadCount() {
    int nCount = 0;
    if (DIR* pDir = opendir("/proc/self/task")) {
        while (dirent* pEntry = readdir(pDir)) {
            nCount += pEntry->d_name[0] != '.' ? 1 : 0;
        }
        closedir(pDir);
    }
    return nCount;
}
