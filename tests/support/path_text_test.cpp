#include "support/path_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PathForMessage, LongNamesAreCut)
{
    const std::string e = "\xC3\xA9";  // two bytes
    struct Case {
        std::string path;
        std::string shown;
    } cases[] = {
        {"", ""},
        {"intro.quointro", "intro.quointro"},
        {std::string(200, 'a'), std::string(200, 'a')},
        {std::string(201, 'a'), std::string(200, 'a') + "\xE2\x80\xA6 (201 characters)"},
        {std::string(5 * 1024 * 1024, 'b'), std::string(200, 'b') + "\xE2\x80\xA6 (5242880 characters)"},
        // Not inside a character of two bytes.
        {std::string(199, 'c') + e + "tail", std::string(199, 'c') + "\xE2\x80\xA6 (205 characters)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PathForMessage(c.path), c.shown) << c.path.size();
}

TEST(WithoutLineEnds, DropsTrailingCrAndLf)
{
    EXPECT_EQ(WithoutLineEnds("reason\r\n"), "reason");
    EXPECT_EQ(WithoutLineEnds("a\nb\n\n"), "a\nb");
    EXPECT_EQ(WithoutLineEnds(""), "");
}

}  // namespace
