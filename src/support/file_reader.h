#pragma once
// Byte-wise file reading and decimal integers, with message boxes on failed
// open and close. At the end of the file, or when nothing can be read,
// ReadByte gives 0 and ReadInt ends.
#include "platform/system/types.h"

class FileReader {
public:
    explicit FileReader(const char* fileName);

    void Open(const char* fileName);
    void Close();
    char ReadByte();
    int ReadInt();

    HANDLE file;  // INVALID_HANDLE_VALUE after a failed open
};

// One byte from the file; 0 when none could be read.
char ReadByteFromHandle(HANDLE file);
bool IsDigit(char c);
