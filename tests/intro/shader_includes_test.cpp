#include "intro/shader_includes.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "intro_files.h"

namespace {

using Names = std::vector<std::string>;

std::string Include(const std::string& name)
{
    return "#include \"" + name + "\"\n";
}

// Cycles of every shape end, and what is missing behind them is found.
TEST(MissingIncludes, CyclesEnd)
{
    ScratchFolder folder;
    const std::string self = folder.Path("self.hlsl"), a = folder.Path("a.hlsl"), b = folder.Path("b.hlsl");
    const std::string alias = folder.Path("alias.hlsl"), gone = folder.Path("gone.hlsl");
    folder.Write("self.hlsl", Include(self) + Include(gone));
    folder.Write("a.hlsl", Include(b));
    folder.Write("b.hlsl", Include(a) + Include(gone));
    // Another name for the same file.
    folder.Write("dots.hlsl", "#include \"" + folder.Path("") + "./dots.hlsl\"\n");
    ASSERT_EQ(symlink(folder.Path("alias.hlsl").c_str(), folder.Path("loop.hlsl").c_str()), 0);
    folder.Write("alias.hlsl", Include(folder.Path("loop.hlsl")) + "#include <" + alias + ">\n");

    struct Case {
        const char* what;
        std::string source;
        Names missing;
    } cases[] = {
        {"self", Include(self), {gone}},
        {"mutual", Include(a), {gone}},
        {"another name for itself", Include(folder.Path("dots.hlsl")), {}},
        {"through a link", Include(alias), {}},
        {"missing twice", Include(gone) + Include(gone), {gone}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MissingIncludes(c.source), c.missing) << c.what;
}

// A chain of any depth takes no stack; a very long one is followed up to the
// file limit and then given up.
TEST(MissingIncludes, DeepChainsEnd)
{
    ScratchFolder folder;
    const int depth = static_cast<int>(kMaxIncludeFiles) + 500;
    for (int i = 0; i < depth; ++i)
        folder.Write("c" + std::to_string(i) + ".hlsl", Include(folder.Path("c" + std::to_string(i + 1) + ".hlsl")));
    const std::string bottom = folder.Path("c" + std::to_string(depth) + ".hlsl");
    EXPECT_EQ(MissingIncludes(Include(folder.Path("c0.hlsl"))), Names{}) << "given up before the bottom";
    const int within = static_cast<int>(kMaxIncludeFiles) - 10;
    EXPECT_EQ(MissingIncludes(Include(folder.Path("c" + std::to_string(depth - within) + ".hlsl"))), Names{bottom});
}

}  // namespace
