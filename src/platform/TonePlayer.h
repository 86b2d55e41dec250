#pragma once

#include "BasicTypes.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// Where alarm tones go. Beep never blocks its caller.
class CToneOutput {
public:
    virtual ~CToneOutput() = default;
    virtual void Beep(DWORD dwFrequency, DWORD dwDurationMs) = 0;
};

// Plays tones on the default sound device from a thread of its own. At most two tones wait
// at a time (a paint asks for the high and then the low alarm); further requests are dropped
// until one has played, so a burst of paints never queues seconds of sound. Without a sound
// device it stays silent.
class CTonePlayer final : public CToneOutput {
public:
    CTonePlayer() = default;
    ~CTonePlayer() override;
    CTonePlayer(const CTonePlayer&) = delete;
    CTonePlayer& operator=(const CTonePlayer&) = delete;

    void Beep(DWORD dwFrequency, DWORD dwDurationMs) override;

    static constexpr std::size_t kMaxWaiting = 2;

private:
    struct STone {
        DWORD m_dwFrequency;
        DWORD m_dwDurationMs;
    };
    void Run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<STone> m_vWaiting;
    bool m_bStop = false;
    std::thread m_thread;
};

// The program's tone output; tests put a recorder in its place.
CToneOutput& ToneOutput();
void SetToneOutput(CToneOutput* pOutput);
