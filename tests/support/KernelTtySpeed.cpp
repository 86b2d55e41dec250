#include "KernelTtySpeed.h"

// The kernel's termios2; <termios.h> cannot be in the same file.
#include <asm/termbits.h>
#include <sys/ioctl.h>

unsigned KernelTtySpeed(int hFd) {
    termios2 tio{};
    return ioctl(hFd, TCGETS2, &tio) == 0 ? tio.c_ospeed : 0;
}
