#include "AppTestSupport.h"

#include "PortNames.h"
#include "view/KovraPlotterView.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <dirent.h>
#include <stdexcept>
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
