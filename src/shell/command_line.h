#pragma once
// The command line of the program and the folder of a path.
#include <string>

// Words of the command line (double quotes group, nothing escapes), ended by
// a null pointer; the number of words goes to count. The table is never freed.
char** SplitCommandLine(const char* commandLine, int* count);

// The path before its last slash or backslash; ".\" when it has neither.
std::string GetDirectoryOfPath(const std::string& path);
