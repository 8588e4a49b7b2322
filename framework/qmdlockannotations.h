#ifndef QMDLOCKANNOTATIONS_H
#define QMDLOCKANNOTATIONS_H

// ThreadSanitizer does not see inside Qt's (uninstrumented) locks; these
// hooks tell it where such a lock is taken and released. Outside a
// ThreadSanitizer build they do nothing.
#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void *addr);
extern "C" void __tsan_release(void *addr);
#define QMD_LOCK_ACQUIRED(lock) __tsan_acquire(lock)
#define QMD_LOCK_RELEASING(lock) __tsan_release(lock)
#else
#define QMD_LOCK_ACQUIRED(lock) static_cast<void>(lock)
#define QMD_LOCK_RELEASING(lock) static_cast<void>(lock)
#endif

#endif // QMDLOCKANNOTATIONS_H
