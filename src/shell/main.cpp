// Program entry: hands the command line, without the program's own name, to
// the system's entry function.
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/system/large_stack.h"
#include "shell/command_line.h"
#include "shell/framework.h"

int main(int argc, char** argv)
{
    // The words as they are: the command line cannot carry a double quote.
    SetArgumentWords(std::vector<std::string>(argv + 1, argv + argc));
    // Each argument in double quotes, so that blanks stay inside it.
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            commandLine += ' ';
        commandLine += '"';
        commandLine += argv[i];
        commandLine += '"';
    }
    // The whole run on the large stack: the driver compiles a shader where it
    // is first drawn, and its compiler recurses as deep as the shader's
    // longest chain of dependent values, far deeper than this thread's stack.
    // A run that returns ends the process there, as a return from main would,
    // while the thread and what it holds (SDL's record of it) still exist.
    platform::RunWithLargeStack([&] { std::exit(frameworkmain(nullptr, nullptr, commandLine.data(), 1)); });
    return 1;
}
