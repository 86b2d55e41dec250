#include "TonePlayer.h"

#include <alsa/asoundlib.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr unsigned kSampleRate = 44100;

// ALSA reports a missing card on stderr; a machine without sound is not an error here.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

std::vector<short> MakeTone(DWORD dwFrequency, DWORD dwDurationMs) {
    const std::size_t nFrames = static_cast<std::size_t>(kSampleRate) * dwDurationMs / 1000;
    std::vector<short> vFrames(nFrames);
    // A short ramp at both ends keeps the tone from clicking.
    const std::size_t nRamp = std::min<std::size_t>(kSampleRate / 500, nFrames / 2);
    for (std::size_t i = 0; i < nFrames; ++i) {
        double gain = 0.3;
        if (i < nRamp) {
            gain *= static_cast<double>(i) / static_cast<double>(nRamp);
        } else if (nFrames - i < nRamp) {
            gain *= static_cast<double>(nFrames - i) / static_cast<double>(nRamp);
        }
        const double phase =
            2.0 * std::numbers::pi * dwFrequency * static_cast<double>(i) / kSampleRate;
        vFrames[i] = static_cast<short>(gain * 32767.0 * std::sin(phase));
    }
    return vFrames;
}

CTonePlayer* DefaultPlayer() {
    static CTonePlayer player;
    return &player;
}

CToneOutput* g_pToneOutput = nullptr;

} // namespace

CTonePlayer::~CTonePlayer() {
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CTonePlayer::Beep(DWORD dwFrequency, DWORD dwDurationMs) {
    {
        std::lock_guard lock(m_mutex);
        if (m_vWaiting.size() >= kMaxWaiting) {
            return;
        }
        m_vWaiting.push_back({dwFrequency, dwDurationMs});
        // The thread and the device are taken only when a tone is first wanted.
        if (!m_thread.joinable()) {
            m_thread = std::thread([this] { Run(); });
        }
    }
    m_wake.notify_one();
}

void CTonePlayer::Run() {
    snd_lib_error_set_handler(&IgnoreAlsaError);
    snd_pcm_t* pPcm = nullptr;
    if (snd_pcm_open(&pPcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0 ||
        snd_pcm_set_params(pPcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, 1, kSampleRate,
                           1, 100000) < 0) {
        if (pPcm != nullptr) {
            snd_pcm_close(pPcm);
        }
        pPcm = nullptr;
    }
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_bStop || !m_vWaiting.empty(); });
        if (m_bStop) {
            break;
        }
        const STone tone = m_vWaiting.front();
        lock.unlock();
        if (pPcm != nullptr) {
            const auto vFrames = MakeTone(tone.m_dwFrequency, tone.m_dwDurationMs);
            if (snd_pcm_writei(pPcm, vFrames.data(), vFrames.size()) < 0) {
                snd_pcm_prepare(pPcm);
            }
            snd_pcm_drain(pPcm);
            snd_pcm_prepare(pPcm);
        }
        lock.lock();
        // The tone leaves the queue only once played, so the queue bounds what is pending.
        m_vWaiting.pop_front();
    }
    lock.unlock();
    if (pPcm != nullptr) {
        snd_pcm_close(pPcm);
    }
}

CToneOutput& ToneOutput() {
    return g_pToneOutput != nullptr ? *g_pToneOutput : *DefaultPlayer();
}

void SetToneOutput(CToneOutput* pOutput) {
    g_pToneOutput = pOutput;
}
