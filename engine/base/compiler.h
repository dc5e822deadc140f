// What differs from compiler to compiler, spelled once: printf-style format checks, functions
// that must keep their own stack frame (FX_NOINLINE), and the assertion of programmer errors.
//
// FX_ASSERT(cond && "why") states what the code's own callers must never do (an index outside
// an array, a spline key that does not exist, a clip stage the state machine cannot reach). It
// is active in debug and sanitizer builds (FX_ASSERTS) and costs nothing otherwise. Damaged or
// hostile input is never asserted: it keeps its result-plus-trace path. A program may define its
// own FX_ASSERT before including any engine header (all of its files alike); fxAssertFailed, what
// the engine's own calls, exists in every build, so code built with assertions links against an
// engine built without.
#pragma once

#if defined(__MINGW32__)
// MinGW-w64's C++ run-time formats with its own ISO printf (%zu, %lld), which GCC checks as gnu_printf.
#define FX_PRINTF(fmtIndex, firstArg) __attribute__((format(gnu_printf, fmtIndex, firstArg)))
#define FX_NOINLINE __attribute__((noinline))
#elif defined(__GNUC__) || defined(__clang__)
#define FX_PRINTF(fmtIndex, firstArg) __attribute__((format(printf, fmtIndex, firstArg)))
#define FX_NOINLINE __attribute__((noinline))
#elif defined(_MSC_VER)
#define FX_PRINTF(fmtIndex, firstArg)
#define FX_NOINLINE __declspec(noinline)
#else
#define FX_PRINTF(fmtIndex, firstArg)
#define FX_NOINLINE
#endif

// Reports the broken assertion on standard error and in the trace log, then aborts.
[[noreturn]] void fxAssertFailed(const char* what, const char* file, int line);

#ifndef FX_ASSERT
#if defined(FX_ASSERTS) || !defined(NDEBUG)
#define FX_ASSERT(cond) ((cond) ? (void)0 : fxAssertFailed(#cond, __FILE__, __LINE__))
#else
#define FX_ASSERT(cond) ((void)0)
#endif
#endif
