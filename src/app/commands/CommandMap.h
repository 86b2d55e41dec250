#pragma once

#include "commands/CmdUI.h"

#include <functional>
#include <vector>

// Which owner carries out a command and decides its menu item's state. Each owner adds its
// own commands; the view routes through the map, so that a new command needs no change
// there.
class CCommandMap {
public:
    using Handler = std::function<void(int nId)>;
    using Updater = std::function<void(CCmdUI& cmdUI)>;

    // Enabled, without a check mark.
    static void Enabled(CCmdUI& cmdUI) { cmdUI.Enable(); }

    void Add(int nId, std::function<void()> fnHandler, Updater fnUpdate = Enabled);
    // Ids nFirst..nLast, the handler told which.
    void AddRange(int nFirst, int nLast, Handler fnHandler, Updater fnUpdate = Enabled);

    // False when no owner has the command.
    bool Execute(int nId) const;
    bool Update(CCmdUI& cmdUI) const;

private:
    struct SEntry {
        int m_nFirst;
        int m_nLast;
        Handler m_fnHandler;
        Updater m_fnUpdate;
    };
    const SEntry* Find(int nId) const;

    std::vector<SEntry> m_vEntries;
};
