#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/window/process.h"
#include "shell/command_line.h"

namespace {

std::vector<std::string> Words(const char* line, int* countOut = nullptr)
{
    int count = -1;
    char** words = SplitCommandLine(line, &count);
    std::vector<std::string> out;
    for (int i = 0; words[i]; ++i)
        out.push_back(words[i]);
    EXPECT_EQ(static_cast<int>(out.size()), count) << line;
    if (countOut)
        *countOut = count;
    GlobalFree(words);  // the program never frees it; a test does
    return out;
}

using W = std::vector<std::string>;

TEST(SplitCommandLine, Words)
{
    struct Case {
        const char* line;
        W words;
    } cases[] = {
        {"", {}},
        {"   \t ", {}},
        {"intro.quo", {"intro.quo"}},
        {"  a\tb\nc\rd  ", {"a", "b", "c", "d"}},
        {"\"my intros/intro.quo\" extra", {"my intros/intro.quo", "extra"}},
        {"\"\"", {""}},
        {"\"\" x", {"", "x"}},
        {"ab\"c d\"ef g", {"abc def", "g"}},  // quoting inside a word keeps one word
        {"\"a\"\"b\"", {"ab"}},               // a doubled quote ends and restarts quoting
        {"a\\\"b c\"", {"a\\b c"}},           // backslash is ordinary; open quote runs to the end
        {"a\vb\fc", {"a\vb\fc"}},             // vertical tab and form feed do not separate
        {"C:\\intro\\x.quo", {"C:\\intro\\x.quo"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Words(c.line), c.words) << c.line;
}

TEST(SplitCommandLine, WorstCaseFitsItsBlock)
{
    // Many one-character words and many empty words use the table fully.
    std::string singles, empties;
    for (int i = 0; i < 500; ++i) {
        singles += "x ";
        empties += "\"\" ";
    }
    EXPECT_EQ(Words(singles.c_str()).size(), 500u);
    EXPECT_EQ(Words(empties.c_str()).size(), 500u);
}

TEST(GetDirectoryOfPath, Cases)
{
    // Only a slash separates; the folder that holds the file.
    struct Case {
        const char* path;
        const char* directory;
    } cases[] = {
        {"intro.quo", "."},
        {"examples/demo/intro.quo", "examples/demo"},
        {"examples\\demo\\intro.quo", "."},  // one file name with backslashes in it
        {"b\\s/intro.quo", "b\\s"},
        {"a/b\\c.quo", "a"},
        {"/intro.quo", "/"},
        {"/srv/intro.quo", "/srv"},
        {"folder/", "folder"},
        {"", "."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetDirectoryOfPath(c.path), c.directory) << c.path;
}

// Words handed over one by one reach frameworkmain unchanged, whatever they
// hold; without them the command line is split.
TEST(CommandLineWords, GivenWordsStandAsTheyAre)
{
    const W given = {"q\"d/intro.quointro", "b\\s/x y", "\"", ""};
    SetArgumentWords(given);
    EXPECT_EQ(CommandLineWords("\"q\"d/intro.quointro\""), given);
    SetArgumentWords(std::nullopt);
    EXPECT_EQ(CommandLineWords("\"q\"d/intro.quointro\""), (W{"qd/intro.quointro"}));
    EXPECT_EQ(CommandLineWords(nullptr), W{});
}

}  // namespace
