#pragma once
// Comment removal and whitespace collapsing for every text file before the
// config parser sees it.
#include <string>

// Removes // and /* */ comments and every whitespace run that does not
// separate two word characters; a # line is kept whole on a line of its own.
// A /* comment that the text ends in drops the rest of it; commentNotClosed,
// when given, tells whether that happened.
std::string MinifyText(const std::string& text, bool* commentNotClosed = nullptr);
// a-z, A-Z, 0-9, underscore, full stop, minus and plus.
bool IsWordChar(char c);
