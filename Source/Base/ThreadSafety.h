// Lock annotations for clang's thread-safety analysis (-Wthread-safety).
// They state which lock guards a field and which lock a function needs held
// (the functions also end in _locked); under gcc they expand to nothing.
// The analysis needs lock types that are annotated as capabilities: the
// checking build uses libc++ with its thread-safety annotations, where
// std::mutex and std::lock_guard are.
#pragma once

#if defined(__clang__)
#define ORVEX_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define ORVEX_THREAD_ANNOTATION(x)
#endif

// The field is read and written only with the lock held.
#define GUARDED_BY(lock) ORVEX_THREAD_ANNOTATION(guarded_by(lock))
// The data the pointer points to is guarded by the lock.
#define PT_GUARDED_BY(lock) ORVEX_THREAD_ANNOTATION(pt_guarded_by(lock))
// The caller holds the lock(s).
#define REQUIRES(...) ORVEX_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
// The function takes the lock(s) itself: the caller must not hold them.
#define EXCLUDES(...) ORVEX_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
// The function returns a reference to the lock.
#define RETURN_CAPABILITY(lock) ORVEX_THREAD_ANNOTATION(lock_returned(lock))
// The lock is always taken before the other(s).
#define ACQUIRED_BEFORE(...) ORVEX_THREAD_ANNOTATION(acquired_before(__VA_ARGS__))
// Opts one function out of the analysis (say why beside it).
#define NO_THREAD_SAFETY_ANALYSIS ORVEX_THREAD_ANNOTATION(no_thread_safety_analysis)
