// Program entry: hands the command line, without the program's own name, to
// the system's entry function.
#include <cstdio>

int main(int argc, char** argv)
{
    (void)argc;
    (void)argv;
    std::puts("quorvelan: the player is not built yet");
    return 0;
}
