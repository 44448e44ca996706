#pragma once
// Comment removal and whitespace collapsing for every text file before the
// config parser sees it.
#include <string>

// Removes // and /* */ comments and every whitespace run that does not
// separate two word characters; a # line is kept whole on a line of its own.
std::string MinifyText(const std::string& text);
// a-z, A-Z, 0-9, underscore, full stop, minus and plus.
bool IsWordChar(char c);
