// Time and the median for the benchmark programs.
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

inline double SecondsNow() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline double MillisecondsNow() { return 1000.0 * SecondsNow(); }
