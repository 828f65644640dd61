// tamewarden-worldgen N FILE: writes a generated world of N creatures as a world file.
#include <cstdio>
#include <exception>
#include <string>

#include "standin/WorldGenerator.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s CREATURES FILE\n", argv[0]);
        return 2;
    }
    try {
        size_t used = 0;
        const unsigned long long creatures = std::stoull(argv[1], &used);
        if (used != std::string(argv[1]).size()) throw std::invalid_argument("not a count");
        standin::WriteWorldFile(standin::GenerateWorld(creatures), argv[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
        return 1;
    }
    return 0;
}
