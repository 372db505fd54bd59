// Sizes for people: "512 バイト", "12.3 KB", "4.5 MB", "1.20 GB" (1 KB = 1024
// bytes). Plain C++ so that the window, the headless summary and
// tessivar-jet print the same units.
#pragma once

#include <cstdint>
#include <string>

std::string ReadableByteSize(std::uint64_t bytes);

// The saving of a compaction in percent of the source size (0 for an empty
// source); negative when the copy grew.
double PercentSaved(std::uint64_t sourceBytes, std::uint64_t targetBytes);
