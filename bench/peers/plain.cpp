// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The same job with the C++ standard library alone: std::map, strtod, ostream.
#include "dump_line.h"

#include <fstream>
#include <iostream>

int main(int argc, char *argv[])
{
    if (argc != 2)
        return 2;
    std::ios::sync_with_stdio(false);
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "Error parsing " << argv[1];
        return 1;
    }
    Store store;
    std::string line;
    while (std::getline(in, line)) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos || line.find(':', colon + 1) != std::string::npos)
            continue;
        store[trimmedText(line.substr(0, colon))] = peerItems(trimmedText(line.substr(colon + 1)));
    }
    writeStore(std::cout, store);
    return 0;
}
