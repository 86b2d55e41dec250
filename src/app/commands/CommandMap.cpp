#include "commands/CommandMap.h"

void CCommandMap::Add(int nId, std::function<void()> fnHandler, Updater fnUpdate) {
    AddRange(
        nId, nId, [fnHandler = std::move(fnHandler)](int) { fnHandler(); }, std::move(fnUpdate));
}

void CCommandMap::AddRange(int nFirst, int nLast, Handler fnHandler, Updater fnUpdate) {
    m_vEntries.push_back({nFirst, nLast, std::move(fnHandler), std::move(fnUpdate)});
}

const CCommandMap::SEntry* CCommandMap::Find(int nId) const {
    for (const SEntry& entry : m_vEntries) {
        if (nId >= entry.m_nFirst && nId <= entry.m_nLast) {
            return &entry;
        }
    }
    return nullptr;
}

bool CCommandMap::Execute(int nId) const {
    const SEntry* pEntry = Find(nId);
    if (pEntry == nullptr) {
        return false;
    }
    pEntry->m_fnHandler(nId);
    return true;
}

bool CCommandMap::Update(CCmdUI& cmdUI) const {
    const SEntry* pEntry = Find(cmdUI.m_nID);
    if (pEntry == nullptr) {
        return false;
    }
    pEntry->m_fnUpdate(cmdUI);
    return true;
}
