// Program entry: hands the command line, without the program's own name, to
// the system's entry function.
#include <string>

#include "shell/framework.h"

int main(int argc, char** argv)
{
    // Each argument in double quotes, so that blanks stay inside it (the
    // command line has no escapes: a double quote inside an argument is lost).
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            commandLine += ' ';
        commandLine += '"';
        commandLine += argv[i];
        commandLine += '"';
    }
    return frameworkmain(nullptr, nullptr, commandLine.data(), 1);
}
