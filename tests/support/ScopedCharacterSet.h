// Runs part of a test in another character set (LC_CTYPE), which is what
// the program takes for the ANSI code page, and puts the old one back.
#pragma once

#include <clocale>
#include <string>

class ScopedCharacterSet {
public:
    explicit ScopedCharacterSet(const char *locale) : FOld(std::setlocale(LC_CTYPE, nullptr))
    {
        FActive = std::setlocale(LC_CTYPE, locale) != nullptr;
    }
    ~ScopedCharacterSet() { std::setlocale(LC_CTYPE, FOld.c_str()); }
    ScopedCharacterSet(const ScopedCharacterSet &) = delete;
    ScopedCharacterSet &operator=(const ScopedCharacterSet &) = delete;

    // False when the system lacks the locale; the old one is then still in force.
    bool active() const { return FActive; }

private:
    std::string FOld;
    bool FActive = false;
};
