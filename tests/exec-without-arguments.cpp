// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// exec-without-arguments PROGRAM: runs PROGRAM with an empty argument vector.
// Linux 5.18 and later hand such a program one empty argument (argc == 1,
// argv[0] == ""), so there the program never sees argc == 0.
#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fputs("usage: exec-without-arguments PROGRAM\n", stderr);
        return 2;
    }
    char *none[] = {nullptr};
    execv(argv[1], none);
    std::perror("execv");
    return 127;
}
