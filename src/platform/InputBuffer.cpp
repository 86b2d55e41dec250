#include "InputBuffer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <unistd.h>

namespace {

// A tty hands over at most its line discipline's buffer per read.
constexpr std::size_t kReadPiece = 16 * 1024;

} // namespace

bool CInputBuffer::MakeRoom(std::size_t nPiece) noexcept {
    if (m_nTail + nPiece <= m_nCapacity) {
        return true;
    }
    const std::size_t nSize = Size();
    if (nSize + nPiece <= m_nCapacity) {
        std::memmove(m_pData.get(), m_pData.get() + m_nHead, nSize);
    } else {
        const std::size_t nCapacity = std::min(m_nLimit, std::max(nSize + nPiece, 2 * m_nCapacity));
        std::unique_ptr<unsigned char[]> pData(new (std::nothrow) unsigned char[nCapacity]);
        if (!pData) {
            return false;
        }
        if (nSize > 0) {
            std::memcpy(pData.get(), m_pData.get() + m_nHead, nSize);
        }
        m_pData = std::move(pData);
        m_nCapacity = nCapacity;
    }
    m_nHead = 0;
    m_nTail = nSize;
    return true;
}

CInputBuffer::EFill CInputBuffer::FillFrom(int hFd, std::size_t* pnAdded) noexcept {
    *pnAdded = 0;
    for (;;) {
        const std::size_t nPiece = std::min(m_nLimit - Size(), kReadPiece);
        if (nPiece == 0 || !MakeRoom(nPiece)) {
            return kFull;
        }
        const ssize_t n = read(hFd, m_pData.get() + m_nTail, nPiece);
        if (n > 0) {
            m_nTail += static_cast<std::size_t>(n);
            *pnAdded += static_cast<std::size_t>(n);
            // A tty hands over all it has in one call: the next would only say EAGAIN. What
            // arrives later wakes the port's readers again.
            if (static_cast<std::size_t>(n) < nPiece) {
                return kEmptied;
            }
        } else if (n == 0 || errno == EIO) {
            return kHungUp;
        } else if (errno != EINTR) {
            return errno == EAGAIN ? kEmptied : kFailed;
        }
    }
}

std::size_t CInputBuffer::Take(unsigned char* pData, std::size_t nCount) noexcept {
    const std::size_t nTaken = std::min(nCount, Size());
    if (nTaken == 0) {
        return 0;
    }
    std::memcpy(pData, m_pData.get() + m_nHead, nTaken);
    m_nHead += nTaken;
    if (m_nHead == m_nTail) {
        m_nHead = 0;
        m_nTail = 0;
    }
    return nTaken;
}
