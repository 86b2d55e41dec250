#pragma once

#include "commands/CommandIds.h"

#include <span>

// The menu bar, the accelerator table and the menu prompts, as data.

struct SMenuItem {
    const char* szLabel; // with '&' before the mnemonic; null for a separator
    const char* szShortcutText;
    int nId;
};

struct SMenuPopup {
    const char* szLabel;
    std::span<const SMenuItem> items;
};

struct SAccelerator {
    const char* szKeys; // in the portable text form of a key sequence
    int nId;
};

std::span<const SMenuPopup> MenuBar();
std::span<const SAccelerator> Accelerators();
// The prompt shown while a menu item is highlighted; empty for the program's own commands.
const char* MenuPrompt(int nId);
