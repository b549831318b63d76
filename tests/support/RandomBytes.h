// Content for test files: bytes that a fixed seed makes the same on every run.
#pragma once

#include <cstddef>
#include <random>
#include <string>

inline std::string RandomBytes(std::size_t n, unsigned nSeed)
{
    std::mt19937 random(nSeed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(random());
    return s;
}
