#pragma once
// The command line of the program and the folder of a path.
#include <optional>
#include <string>
#include <vector>

// Words of the command line (double quotes group, nothing escapes), ended by
// a null pointer; the number of words goes to count. The table is never freed.
char** SplitCommandLine(const char* commandLine, int* count);

// The folder of a path: the text before its last slash ("/" for a path whose
// only slash is its first character), or "." when it has none. A backslash
// belongs to a name on this system and separates nothing.
std::string GetDirectoryOfPath(const std::string& path);

// The program's arguments as the system handed them over, word by word:
// a command line in one string cannot carry every name (a double quote in
// one is lost), so these stand when they are given. nullopt forgets them.
void SetArgumentWords(std::optional<std::vector<std::string>> words);
// The words given to SetArgumentWords, or else SplitCommandLine's words of
// the command line.
std::vector<std::string> CommandLineWords(const char* commandLine);
