#include "support/file_reader.h"

#include "platform/system/files.h"
#include "platform/system/message_box.h"

namespace {

// One byte, or false when none can be read (end of file, failed open or read).
bool ReadOneByte(HANDLE file, char& byte)
{
    char got = 0;
    DWORD bytesRead = 0;
    if (!ReadFile(file, &got, 1, &bytesRead, nullptr) || bytesRead != 1) {
        byte = 0;
        return false;
    }
    byte = got;
    return true;
}

}  // namespace

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

char ReadByteFromHandle(HANDLE file)
{
    char byte = 0;
    ReadOneByte(file, byte);
    return byte;
}

FileReader::FileReader(const char* fileName) : file(INVALID_HANDLE_VALUE)
{
    Open(fileName);
}

void FileReader::Open(const char* fileName)
{
    HANDLE opened =
        CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        MessageBoxA(nullptr, fileName != nullptr ? fileName : "", "Failed to Open File", MB_OK);
    }
    file = opened;
}

void FileReader::Close()
{
    if (!CloseHandle(file)) {
        MessageBoxA(nullptr, "Couln't close handle.", "Failed to Close File", MB_OK);
    }
}

char FileReader::ReadByte()
{
    return ReadByteFromHandle(file);
}

int FileReader::ReadInt()
{
    char c = 0;
    char p = 0;
    // Ends at the end of the file instead of waiting there for a digit.
    while (!IsDigit(c)) {
        p = c;
        if (!ReadOneByte(file, c)) {
            return 0;
        }
    }
    std::uint32_t value = 0;
    while (IsDigit(c)) {
        value = value * 10u + static_cast<std::uint32_t>(c - 48);
        if (!ReadOneByte(file, c)) {
            break;
        }
    }
    return static_cast<int>(p == '-' ? 0u - value : value);
}
