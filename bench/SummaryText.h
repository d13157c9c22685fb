#pragma once

#include <cstdio>
#include <string>

// Numbers as the summary writes them.
namespace grelavo::bench {

inline std::string format(const char* pattern, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

// Three significant figures, never an exponent.
inline std::string ms(double value) {
    if (value < 0)
        return "–";
    if (value >= 100)
        return format("%.0f", value);
    if (value >= 10)
        return format("%.1f", value);
    if (value >= 1)
        return format("%.2f", value);
    return format("%.3f", value);
}

} // namespace grelavo::bench
