// Seed inputs of a fuzz target, written on request.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

using TSeeds = std::vector<std::vector<std::uint8_t>>;

// When VANTRY_FUZZ_SEEDS names a folder, writes the target's seed inputs there and exits: the
// fuzz scripts make each target's starting corpus this way, from the tests' own packet builders.
inline void WriteSeedsIfAsked(const std::function<TSeeds()>& makeSeeds)
{
    const char* pszFolder = std::getenv("VANTRY_FUZZ_SEEDS");
    if (!pszFolder)
        return;
    const TSeeds seeds = makeSeeds();
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        std::ofstream out(std::string(pszFolder) + "/seed-" + std::to_string(i), std::ios::binary);
        out.write(reinterpret_cast<const char*>(seeds[i].data()), static_cast<std::streamsize>(seeds[i].size()));
        if (!out) {
            std::fprintf(stderr, "cannot write the seeds in %s\n", pszFolder);
            std::exit(1);
        }
    }
    std::exit(0);
}

// Defines the target's initialisation: its seeds, written when asked.
#define VANTRY_FUZZ_SEEDS(makeSeeds) \
    extern "C" int LLVMFuzzerInitialize(int*, char***) \
    { \
        WriteSeedsIfAsked(makeSeeds); \
        return 0; \
    }
