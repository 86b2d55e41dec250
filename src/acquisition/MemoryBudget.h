#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

// What the store asks before it takes memory for another block of samples. Asked once per
// block, so an answer may cost a system call or two. The store's gauge is also asked by the
// thread that loads a file, so it keeps no state of its own.
class CMemoryGauge {
public:
    virtual ~CMemoryGauge() = default;
    virtual bool MayGrow(std::size_t nBytes) = 0;
};

// The figures the default rule is decided on, in bytes; 0 where the system has none.
struct SMemoryFigures {
    std::size_t m_nPhysical = 0;     // installed memory
    std::size_t m_nAvailable = 0;    // what the system can still give without swapping
    std::size_t m_nAddressLimit = 0; // the process's address-space limit (RLIMIT_AS)
    std::size_t m_nMapped = 0;       // address space the process has mapped
};

// The default rule: nBytes more may be taken while at least 10 % of physical memory stays
// available to the system and at least 10 % of the address-space limit stays unmapped.
bool LeavesEnoughUnused(const SMemoryFigures& figures, std::size_t nBytes);

// The running system's figures: /proc/meminfo, getrlimit, /proc/self/statm. A figure that
// cannot be read is left 0.
SMemoryFigures ReadMemoryFigures();

// The default rule on the system's figures, read afresh at every question: the other
// programs and the rest of this one grow and shrink while the store fills.
class CSystemMemoryGauge : public CMemoryGauge {
public:
    bool MayGrow(std::size_t nBytes) override;
};

// The budget of values on their way to the store (a file being loaded): at most nCap bytes of
// blocks in all, each block also allowed by pRule when there is one.
class CCappedGauge : public CMemoryGauge {
public:
    CCappedGauge(std::size_t nCap, std::shared_ptr<CMemoryGauge> pRule)
        : m_nCap(nCap), m_pRule(std::move(pRule)) {}
    bool MayGrow(std::size_t nBytes) override;

private:
    std::size_t m_nCap;
    std::size_t m_nTaken = 0;
    std::shared_ptr<CMemoryGauge> m_pRule;
};

// A size as a user writes it: digits, then optionally K, M, G or T (powers of 1024, either case),
// for example "512M". False for anything else and for sizes that do not fit.
bool ParseMemorySize(std::string_view strText, std::size_t* pnBytes);
