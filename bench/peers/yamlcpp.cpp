// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The same job with yaml-cpp.
#include "dump_line.h"

#include <yaml-cpp/yaml.h>

#include <iostream>

int main(int argc, char *argv[])
{
    if (argc != 2)
        return 2;
    std::ios::sync_with_stdio(false);
    Store store;
    try {
        const YAML::Node root = YAML::LoadFile(argv[1]);
        for (const auto &pair : root) {
            std::vector<std::string> items;
            if (pair.second.IsSequence()) {
                for (const auto &item : pair.second)
                    items.push_back(item.as<std::string>());
            } else {
                items.push_back(pair.second.IsNull() ? std::string() : pair.second.as<std::string>());
            }
            store[pair.first.as<std::string>()] = std::move(items);
        }
    } catch (const YAML::Exception &) {
        std::cerr << "Error parsing " << argv[1];
        return 1;
    }
    writeStore(std::cout, store);
    return 0;
}
