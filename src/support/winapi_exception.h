#pragma once
// The one exception of the system: a file could not be opened.
#include <string>

namespace WinApi {

class WinApiException {
public:
    explicit WinApiException(std::string message);
    WinApiException(const WinApiException& other);
    WinApiException& operator=(const WinApiException& other) = default;
    ~WinApiException();

    const char* Message() const { return message.c_str(); }
    static WinApiException FromLastError();

    std::string message;  // the system's text, ending in CR LF
};

// Text of the calling thread's last error, with its trailing CR LF; empty
// when the last error is 0.
std::string GetLastErrorString();

}  // namespace WinApi
