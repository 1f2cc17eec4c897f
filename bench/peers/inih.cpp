// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The same job with inih's parser ("name: value" lines).
#include "dump_line.h"

#include <ini.h>

#include <iostream>

static int takeEntry(void *user, const char *, const char *name, const char *value)
{
    (*static_cast<Store *>(user))[name] = peerItems(value);
    return 1;
}

int main(int argc, char *argv[])
{
    if (argc != 2)
        return 2;
    std::ios::sync_with_stdio(false);
    Store store;
    if (ini_parse(argv[1], takeEntry, &store) < 0) {
        std::cerr << "Error parsing " << argv[1];
        return 1;
    }
    writeStore(std::cout, store);
    return 0;
}
