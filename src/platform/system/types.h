#pragma once
// The few Windows-shaped scalar and handle types that the system's code and
// the platform layer's interfaces share. Only what is used is declared.
#include <cstdint>

typedef int BOOL;
typedef unsigned int UINT;
typedef std::uint8_t BYTE;
typedef std::uint16_t WORD;
typedef std::uint32_t DWORD;
typedef std::int32_t LONG;
typedef std::int32_t HRESULT;
typedef std::uintptr_t WPARAM;
typedef std::intptr_t LPARAM;
typedef std::intptr_t LRESULT;
typedef std::intptr_t LONG_PTR;
typedef std::intptr_t INT_PTR;
typedef const char* LPCSTR;
typedef char* LPSTR;

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

// An open kernel object (a file); the system layer's own table entry underneath.
typedef void* HANDLE;
#define INVALID_HANDLE_VALUE ((HANDLE)(std::intptr_t)-1)

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_FAIL ((HRESULT)0x80004005u)
#define E_INVALIDARG ((HRESULT)0x80070057u)
#define E_OUTOFMEMORY ((HRESULT)0x8007000Eu)
#define E_NOINTERFACE ((HRESULT)0x80004002u)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

// A window is the window layer's own record (platform/window/native_window.h);
// everything above the platform layer holds it only as this opaque pointer.
struct HWND__;
typedef HWND__* HWND;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;

// A drawing object of the text layer (platform/text/gdi.h); a brush is one of
// them, so a window class's background brush and a GDI brush are one type.
struct HGDIOBJ__;
typedef HGDIOBJ__* HGDIOBJ;
typedef HGDIOBJ HBRUSH;
