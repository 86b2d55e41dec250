#pragma once

// The output speed a tty has, in bits per second, asked of the kernel directly (TCGETS2), so
// that a test does not take the program's word for it; 0 when the question fails.
unsigned KernelTtySpeed(int hFd);
