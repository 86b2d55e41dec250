// Opens a device as a user without special rights would, and prints why it could not (the
// reason PortFailure.h gives) or "opened". Started as root, it first becomes nobody, since
// root may open any device; it ends with 77 when it cannot.
#include "PlatformError.h"
#include "PortFailure.h"
#include "SerialDevice.h"

#include <cstdio>
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: kovra_port_probe DEVICE\n", stderr);
        return 2;
    }
    if (geteuid() == 0) {
        const passwd* pNobody = getpwnam("nobody");
        const uid_t uid = pNobody != nullptr ? pNobody->pw_uid : 65534;
        const gid_t gid = pNobody != nullptr ? pNobody->pw_gid : 65534;
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) {
            std::perror("kovra_port_probe: cannot become nobody");
            return 77;
        }
        // The sanitizers read /proc/self, which a changed user leaves to root otherwise.
        prctl(PR_SET_DUMPABLE, 1);
    }
    std::unique_ptr<CSerialDevice> pDevice;
    CPortFailure failure;
    failure.nCode = CSerialDevice::Open(argv[1], &pDevice);
    failure.nErrno = LastSystemErrno();
    std::puts(failure.nCode == 0 ? "opened" : DescribePortFailure(argv[1], failure).c_str());
    return 0;
}
