#pragma once

#include <cstddef>
#include <memory>

// Bytes taken off a port ahead of its reader, kept in arrival order up to a limit.
class CInputBuffer {
public:
    enum EFill {
        kEmptied, // the descriptor has nothing more for now
        kFull,    // the limit was reached; the rest waits in the descriptor
        kHungUp,  // the descriptor said end of file or EIO: the device is gone
        kFailed,  // another error, left for the reader's own read to report
    };

    explicit CInputBuffer(std::size_t nLimit) noexcept : m_nLimit(nLimit) {}

    // Reads what the non-blocking descriptor has, as far as the limit allows; *pnAdded tells
    // how many bytes came. Memory that cannot be had counts as the limit.
    EFill FillFrom(int hFd, std::size_t* pnAdded) noexcept;
    // Moves up to nCount of the oldest bytes to pData; how many it moved.
    std::size_t Take(unsigned char* pData, std::size_t nCount) noexcept;

    std::size_t Size() const noexcept { return m_nTail - m_nHead; }
    bool IsEmpty() const noexcept { return m_nTail == m_nHead; }

private:
    // Room for nPiece more bytes after the tail: moves the bytes to the front or grows the
    // block (up to the limit); false when no memory can be had.
    bool MakeRoom(std::size_t nPiece) noexcept;

    const std::size_t m_nLimit;
    std::unique_ptr<unsigned char[]> m_pData;
    std::size_t m_nCapacity = 0;
    std::size_t m_nHead = 0; // the oldest byte not yet taken
    std::size_t m_nTail = 0; // one past the newest
};
