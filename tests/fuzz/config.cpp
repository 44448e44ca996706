// The config reader on arbitrary bytes, raw and minified, driven through the
// calling patterns of the system's readers and every getter. Checks that the
// cursor stays inside the text and moves on every successful step, that
// getters leave it where it was, and that the readers' checked getters read
// every value of their kind as the plain getters do.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <streambuf>
#include <string>

#include "platform/system/console.h"
#include "support/config.h"
#include "support/minify.h"

namespace {

void Check(bool condition)
{
    if (!condition) {
        __builtin_trap();
    }
}

bool SameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The readers' getters: a value of the kind asked for reads exactly as the
// plain getter reads it; any other gives the fallback.
void UseCheckedGetters(const config& c)
{
    const int pos = c.pos;
    Check(c.IntOr(-5) == (c.IsInt() ? c.GetInt() : -5));
    Check(SameBits(c.FloatOr(-2.5f), c.IsFloat() ? c.GetFloat() : -2.5f));
    Check(c.BoolOr(true) == (c.IsBool() ? c.GetBool() : true));
    Check(c.BoolOr(false) == (c.IsBool() ? c.GetBool() : false));
    Check(c.StringOr("d") == (c.IsQuoted() ? c.GetString() : "d"));
    // Every integer is a bool as well, and a number unless a float cannot
    // hold it; a number is always finite.
    Check(!c.IsInt() || (c.IsBool() && (c.IsFloat() || !std::isfinite(c.GetFloat()))));
    Check(!c.IsFloat() || std::isfinite(c.GetFloat()));
    Check(c.pos == pos);
}

void UseEveryGetter(const config& c)
{
    const int pos = c.pos;
    volatile int i = c.GetInt();
    volatile float f = c.GetFloat();
    volatile bool b = c.GetBool();
    const std::string s = c.GetString();
    (void)i;
    (void)f;
    (void)b;
    Check(s.size() + 1 <= c.GetValue().size() || c.GetValue().empty());
    Check(c.GetSection().size() <= c.text.size());
    Check(c.GetName().size() <= c.text.size() && c.GetTypeName().size() <= c.text.size());
    Check(c.pos == pos);
    UseCheckedGetters(c);
}

// maxValues < 0: every value; otherwise at most that many per parameter
// (a reader of scalars), which leaves the rest for the next header.
void Drive(const std::string& text, int maxValues)
{
    config c(text);
    Check(c.length == static_cast<int>(text.size()));
    while (true) {
        const int beforeSection = c.pos;
        if (!c.NextSection()) {
            break;
        }
        Check(c.pos > beforeSection && c.pos <= c.length + 1);
        while (true) {
            const int beforeParameter = c.pos;
            if (!c.NextParameter()) {
                break;
            }
            Check(c.pos > beforeParameter && c.pos <= c.length + 1);
            UseEveryGetter(c);
            for (int n = 0; maxValues < 0 || n < maxValues; ++n) {
                const int beforeValue = c.pos;
                if (!c.NextValue()) {
                    break;
                }
                Check(c.pos > beforeValue && c.pos <= c.length + 1);
                Check(!c.GetValue().empty());
                UseEveryGetter(c);
            }
        }
        Check(c.pos <= c.length + 1);
    }
    Check(c.pos <= c.length + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The system's warnings would only slow the fuzzer down.
    ConsoleCapture quiet;

    const std::string raw(reinterpret_cast<const char*>(data), size);
    const std::string minified = MinifyText(raw);
    for (const std::string* text : {&raw, &minified}) {
        Drive(*text, -1);
        Drive(*text, 1);
        Drive(*text, 0);
    }
    return 0;
}
