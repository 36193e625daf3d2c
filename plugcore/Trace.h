#pragma once
// Trace points name what the binding and the base are doing (a label, a printf-style format and
// its arguments). The shipped hook discards every record. The macro keeps the arguments
// type-checked but never evaluates them, so a release build pays nothing.

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
inline void
TraceRecord(const char* /*label*/, const char* /*format*/, ...)
{
}

#define WAYFARER_TRACE(label, ...)                                                                                     \
    do {                                                                                                               \
        if (false) TraceRecord(label, __VA_ARGS__);                                                                    \
    } while (0)
