#pragma once

// Events posted by the listener thread reach the user-interface thread through Qt's event
// queue, whose lock lives in Qt. Qt is not built with ThreadSanitizer, which therefore cannot
// see that hand-over and would take every read of a posted event for a race. These calls
// declare it: the poster releases the event, and our first code to look at any event
// acquires it. They are empty in every other build.

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KOVRA_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define KOVRA_THREAD_SANITIZER 1
#endif

#ifdef KOVRA_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>

inline void ReleaseToEventQueue(void* pEvent) {
    __tsan_release(pEvent);
}
inline void AcquireFromEventQueue(void* pEvent) {
    __tsan_acquire(pEvent);
}
#else
inline void ReleaseToEventQueue(void*) {}
inline void AcquireFromEventQueue(void*) {}
#endif
