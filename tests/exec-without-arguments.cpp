// exec-without-arguments PROGRAM: runs PROGRAM with argc == 0.
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
