#include "app/ByteSize.h"

#include <cstdio>

std::string ReadableByteSize(std::uint64_t bytes)
{
    if (bytes < 1024)
        return std::to_string(bytes) + " バイト";
    static const char *const units[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024;
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit >= 2 ? "%.2f %s" : "%.1f %s", value, units[unit]);
    return text;
}

double PercentSaved(std::uint64_t sourceBytes, std::uint64_t targetBytes)
{
    if (sourceBytes == 0)
        return 0;
    const double change = targetBytes > sourceBytes ? -static_cast<double>(targetBytes - sourceBytes)
                                                    : static_cast<double>(sourceBytes - targetBytes);
    return 100.0 * change / static_cast<double>(sourceBytes);
}
