#pragma once

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <string_view>
#include <termios.h>
#include <unistd.h>

// A pseudo-terminal pair for tests and benchmarks: the test plays the device on the master
// side and keeps a descriptor of the port side, to look at its settings with tcgetattr.
// Neither side is inherited by programs the test starts, so closing the master unplugs the
// device for them too.
class CPtyPair {
public:
    CPtyPair() {
        char szName[128] = {};
        termios raw{};
        cfmakeraw(&raw);
        cfsetspeed(&raw, B9600);
        if (openpty(&m_hMaster, &m_hSlave, szName, &raw, nullptr) == 0) {
            m_strPath = szName;
            fcntl(m_hMaster, F_SETFL, fcntl(m_hMaster, F_GETFL) | O_NONBLOCK);
            fcntl(m_hMaster, F_SETFD, FD_CLOEXEC);
            fcntl(m_hSlave, F_SETFD, FD_CLOEXEC);
        }
    }
    ~CPtyPair() {
        CloseMaster();
        if (m_hSlave >= 0) {
            close(m_hSlave);
        }
    }
    CPtyPair(const CPtyPair&) = delete;
    CPtyPair& operator=(const CPtyPair&) = delete;

    bool IsOpen() const { return m_hMaster >= 0 && m_hSlave >= 0; }
    const std::string& Path() const { return m_strPath; }
    const char* PathText() const { return m_strPath.c_str(); }
    int Master() const { return m_hMaster; }
    int Slave() const { return m_hSlave; }

    // Writes everything as the device, waiting for room when the port is full.
    bool Send(std::string_view data) const {
        while (!data.empty()) {
            const ssize_t n = write(m_hMaster, data.data(), data.size());
            if (n > 0) {
                data.remove_prefix(static_cast<std::size_t>(n));
            } else if (n < 0 && errno == EAGAIN) {
                pollfd pfd{m_hMaster, POLLOUT, 0};
                poll(&pfd, 1, -1);
            } else if (n < 0 && errno != EINTR) {
                return false;
            }
        }
        return true;
    }

    // What the program wrote to the port, waiting at most nTimeoutMs for nCount bytes.
    std::string Receive(std::size_t nCount, int nTimeoutMs) const {
        std::string strData;
        while (strData.size() < nCount) {
            pollfd pfd{m_hMaster, POLLIN, 0};
            if (poll(&pfd, 1, nTimeoutMs) <= 0) {
                break;
            }
            char buffer[256];
            const ssize_t n = read(m_hMaster, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            strData.append(buffer, static_cast<std::size_t>(n));
        }
        return strData;
    }

    termios Settings() const {
        termios tio{};
        tcgetattr(m_hSlave, &tio);
        return tio;
    }

    // The device goes away, as an unplugged USB board does.
    void CloseMaster() {
        if (m_hMaster >= 0) {
            close(m_hMaster);
            m_hMaster = -1;
        }
    }

private:
    int m_hMaster = -1;
    int m_hSlave = -1;
    std::string m_strPath;
};
