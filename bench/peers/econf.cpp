// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// A layered configuration read by libeconf, the library that reads this
// layout for openSUSE's programs: USR_DIR/PROJECT.conf or ETC_DIR/PROJECT.conf,
// then the PROJECT.conf.d/ drop-ins of both, key=value lines; every key
// printed with its value, a line each.
#include <libeconf.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    if (argc != 4)
        return 2;
    econf_file *file = nullptr;
    if (econf_readDirs(&file, argv[1], argv[2], argv[3], "conf", "=", "#") != ECONF_SUCCESS)
        return 1;
    size_t count = 0;
    char **keys = nullptr;
    if (econf_getKeys(file, nullptr, &count, &keys) != ECONF_SUCCESS)
        return 1;
    for (size_t i = 0; i < count; ++i) {
        char *value = nullptr;
        if (econf_getStringValue(file, nullptr, keys[i], &value) == ECONF_SUCCESS) {
            std::printf("%s %s\n", keys[i], value);
            std::free(value);
        }
    }
    econf_freeArray(keys);
    econf_freeFile(file);
    return 0;
}
