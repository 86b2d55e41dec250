#include "WindowMessage.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <string>

namespace {

constexpr UINT kFirstMessage = 0xC000;
constexpr UINT kLastMessage = 0xFFFF;

struct CRegistry {
    std::mutex mutex;
    std::map<std::string, UINT> ids;
};

// Built on first use, so that static initialisers in any file may register names.
CRegistry& Registry() {
    static CRegistry registry;
    return registry;
}

} // namespace

UINT RegisterWindowMessage(const char* szName) noexcept {
    if (szName == nullptr || *szName == '\0') {
        return 0;
    }
    try {
        std::string strKey(szName);
        std::transform(strKey.begin(), strKey.end(), strKey.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        CRegistry& registry = Registry();
        std::lock_guard lock(registry.mutex);
        if (const auto it = registry.ids.find(strKey); it != registry.ids.end()) {
            return it->second;
        }
        const UINT nId = kFirstMessage + static_cast<UINT>(registry.ids.size());
        if (nId > kLastMessage) {
            return 0;
        }
        registry.ids.emplace(std::move(strKey), nId);
        return nId;
    } catch (...) {
        return 0;
    }
}
