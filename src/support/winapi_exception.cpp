#include "support/winapi_exception.h"

#include <utility>

#include "platform/system/errors.h"

namespace WinApi {

WinApiException::WinApiException(std::string message) : message(std::move(message)) {}

WinApiException::WinApiException(const WinApiException& other) = default;

WinApiException::~WinApiException() = default;

WinApiException WinApiException::FromLastError()
{
    return WinApiException(GetLastErrorString());
}

std::string GetLastErrorString()
{
    DWORD error = ::GetLastError();
    if (error == 0) {
        return std::string();
    }
    char* buffer = nullptr;
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
                       nullptr, error, 0x400, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = length > 0 && buffer != nullptr ? std::string(buffer, length) : std::string();
    LocalFree(buffer);
    return text;
}

}  // namespace WinApi
