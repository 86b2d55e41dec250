#pragma once

// The keyboard's lock states for the status bar indicators; all off where the windowing
// system does not tell (off-screen, Wayland).
struct SLockKeys {
    bool m_bCaps = false;
    bool m_bNum = false;
    bool m_bScroll = false;
};

SLockKeys ReadLockKeys();
