#include "intro/shader_parameter.h"
#include "platform/system/console.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

using IntroModel::ShaderParameter;
using IntroModel::ShaderParameterBlock;

namespace {

using Decl = std::pair<const char*, int>;  // name, component count

ShaderParameterBlock MakeBlock(const std::vector<Decl>& decls)
{
    ShaderParameterBlock block;
    for (auto [name, count] : decls)
        block.AddParameter(ShaderParameter(name, count));
    return block;
}

std::string MapText(const ShaderParameterBlock& b)
{
    std::string s;
    for (bool free : b.allocationMap)
        s += free ? '.' : 'X';
    return s;
}

const std::string kOpen = "cbuffer vars : register(b3) { ";
const std::string kClose = " }\n";

}  // namespace

struct LayoutCase {
    const char* what;
    std::vector<Decl> decls;
    std::vector<unsigned> offsets;
    std::string map;
    std::string declarations;
};

TEST(ShaderParameterBlock, PlacesSlotsAndGeneratesTheDeclaration)
{
    const LayoutCase cases[] = {
        {"empty", {}, {}, "", ""},
        {"one float", {{"x", 1}}, {0}, "X...", "float x;float unused1;float unused2;float unused3;"},
        {"four floats",
         {{"a", 1}, {"b", 1}, {"c", 1}, {"d", 1}},
         {0, 1, 2, 3},
         "XXXX",
         "float a;float b;float c;float d;"},
        {"five floats",
         {{"a", 1}, {"b", 1}, {"c", 1}, {"d", 1}, {"e", 1}},
         {0, 1, 2, 3, 4},
         "XXXXX...",
         "float a;float b;float c;float d;float e;float unused5;float unused6;float unused7;"},
        {"float3 then float", {{"v", 3}, {"f", 1}}, {0, 3}, "XXXX", "float3 v;float f;"},
        {"float2 then two floats", {{"v", 2}, {"f", 1}, {"g", 1}}, {0, 2, 3}, "XXXX", "float2 v;float f;float g;"},
        {"float then float2",
         {{"f", 1}, {"v", 2}, {"g", 1}},
         {0, 4, 1},
         "XX..XX..",
         "float f;float g;float unused2;float unused3;float2 v;float unused6;float unused7;"},
        {"float4", {{"c", 4}}, {0}, "XXXX", "float4 c;"},
        {"worked example a b c d",
         {{"a", 1}, {"b", 3}, {"c", 2}, {"d", 1}},
         {0, 4, 8, 1},
         "XX..XXX.XX..",
         "float a;float d;float unused2;float unused3;float3 b;float unused7;float2 c;float unused10;float unused11;"},
        {"worked example p..u",
         {{"p", 2}, {"q", 1}, {"r", 1}, {"s", 4}, {"t", 1}, {"u", 3}},
         {0, 2, 3, 4, 8, 12},
         "XXXXXXXXX...XXX.",
         "float2 p;float q;float r;float4 s;float t;float unused9;float unused10;float unused11;float3 u;float "
         "unused15;"},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.what);
        const ShaderParameterBlock block = MakeBlock(c.decls);
        ASSERT_EQ(block.parameters.size(), c.offsets.size());
        for (std::size_t i = 0; i < c.offsets.size(); ++i)
            EXPECT_EQ(block.parameters[i].slotOffset, c.offsets[i]) << block.parameters[i].GetName();
        EXPECT_EQ(MapText(block), c.map);
        EXPECT_EQ(block.SizeInFloats(), c.map.size());
        EXPECT_EQ(block.SizeInBytes(), 4 * c.map.size());
        EXPECT_EQ(block.GenerateHlslCBuffer(), kOpen + c.declarations + kClose);
    }
}

TEST(ShaderParameterBlock, EmptyBlockDeclaresNothing)
{
    EXPECT_EQ(ShaderParameterBlock().GenerateHlslCBuffer(), "cbuffer vars : register(b3) {  }\n");
    EXPECT_EQ(ShaderParameterBlock().SizeInFloats(), 0u);
}

TEST(ShaderParameterBlock, AllocateTakesHolesOnlyForSingleFloats)
{
    ShaderParameterBlock b;
    EXPECT_EQ(b.Allocate(3), 0u);
    EXPECT_EQ(b.Allocate(2), 4u);
    EXPECT_EQ(b.Allocate(1), 3u);
    EXPECT_EQ(b.Allocate(1), 6u);
    EXPECT_EQ(b.Allocate(1), 7u);
    EXPECT_EQ(b.Allocate(4), 8u);
    EXPECT_EQ(b.Allocate(1), 12u);
    EXPECT_EQ(MapText(b), "XXXXXXXXXXXXX...");
    // A register whose leading slots are free takes a vector; none is ever
    // left so by AddParameter, but a hand-made map shows the rule.
    ShaderParameterBlock holes;
    holes.allocationMap = {true, true, true, false};
    EXPECT_EQ(holes.Allocate(3), 0u);
    EXPECT_EQ(MapText(holes), "XXXX");
}

TEST(ShaderParameterBlock, EvaluateWritesParameterSlotsOnly)
{
    ShaderParameterBlock block;
    ShaderParameter a("a", 1), b("b", 3), c("c", 2), d("d", 1);
    a.GetCurve(0).AddKey(1.0f);
    for (int i = 0; i < 3; ++i)
        b.GetCurve(i).AddKey(10.0f + i);
    c.GetCurve(0).AddKey(20.0f);
    c.GetCurve(0).AddKey(22.0f);  // 21 at t = 0.5
    c.GetCurve(1).AddKey(30.0f);
    d.GetCurve(0).AddKey(40.0f);
    for (const ShaderParameter* p : {&a, &b, &c, &d})
        block.AddParameter(*p);
    EXPECT_EQ(a.slotOffset, 0u);  // the given parameter is not changed
    EXPECT_EQ(b.slotOffset, 0u);

    std::vector<float> out(block.SizeInFloats(), 31337.0f);
    block.Evaluate(0.5f, out.data());
    const std::vector<float> expected = {1, 40, 31337, 31337, 10, 11, 12, 31337, 21, 30, 31337, 31337};
    EXPECT_EQ(out, expected);
}

TEST(ShaderParameterBlock, SameLayoutComparesNamesCountsOrderNotValues)
{
    const std::vector<Decl> base = {{"a", 1}, {"b", 3}, {"c", 2}};
    struct Case {
        const char* what;
        std::vector<Decl> other;
        bool same;
    } cases[] = {
        {"same declarations", base, true},
        {"renamed", {{"a", 1}, {"bb", 3}, {"c", 2}}, false},
        {"component count", {{"a", 1}, {"b", 4}, {"c", 2}}, false},
        {"one more", {{"a", 1}, {"b", 3}, {"c", 2}, {"d", 1}}, false},
        {"one fewer", {{"a", 1}, {"b", 3}}, false},
        {"order", {{"b", 3}, {"a", 1}, {"c", 2}}, false},
    };
    const ShaderParameterBlock reference = MakeBlock(base);
    for (const Case& c : cases)
        EXPECT_EQ(reference.SameLayout(MakeBlock(c.other)), c.same) << c.what;

    ShaderParameterBlock valued = MakeBlock(base);
    valued.parameters[1].GetCurve(2).AddKey(5.0f);
    EXPECT_TRUE(reference.SameLayout(valued));
    // Equal names and counts in other slots are another layout.
    ShaderParameterBlock moved = MakeBlock(base);
    moved.parameters[0].slotOffset = 3;
    EXPECT_FALSE(reference.SameLayout(moved));
}

TEST(ShaderParameter, DeclarationsByComponentCount)
{
    EXPECT_EQ(ShaderParameter("x", 1).HlslDeclaration(), "float x;");
    EXPECT_EQ(ShaderParameter("v", 2).HlslDeclaration(), "float2 v;");
    EXPECT_EQ(ShaderParameter("tint", 3).HlslDeclaration(), "float3 tint;");
    EXPECT_EQ(ShaderParameter("c", 4).HlslDeclaration(), "float4 c;");
    for (int count : {0, 5}) {
        try {
            ShaderParameter(std::string("bad"), count).HlslDeclaration();
            ADD_FAILURE() << "no exception for " << count;
        } catch (const char* message) {
            EXPECT_STREQ(message, "shader parameter can't have more than 4 components");
        }
    }
}

TEST(ShaderParameter, LayoutAndUpdate)
{
    ShaderParameter p("p", 2), q("p", 2), r("r", 2), s("p", 3);
    q.GetCurve(0).AddKey(3.0f);
    q.slotOffset = 8;
    EXPECT_TRUE(p.SameLayout(q));
    EXPECT_FALSE(p.SameLayout(r));
    EXPECT_FALSE(p.SameLayout(s));
    EXPECT_EQ(p.ComponentCount(), 2u);

    p.UpdateFrom(r);
    EXPECT_EQ(p.GetName(), "r");
    p.UpdateFrom(q);
    EXPECT_EQ(p.GetName(), "p");
    EXPECT_EQ(p.slotOffset, 8u);
    EXPECT_EQ(p.GetCurve(0).keys, std::vector<float>{3.0f});

    ShaderParameterBlock a = MakeBlock({{"x", 1}}), b = MakeBlock({{"y", 4}, {"z", 1}});
    a.UpdateFrom(b);
    EXPECT_EQ(a.GenerateHlslCBuffer(), b.GenerateHlslCBuffer());
    EXPECT_TRUE(a.SameLayout(b));
}

TEST(ShaderParameterBlock, WarnsAboutATakenSlotWhereNoParameterStarts)
{
    ShaderParameterBlock block;
    block.allocationMap = {false, true, true, true};
    ConsoleCapture console;
    const std::string text = block.GenerateHlslCBuffer();
    const std::string log = console.Text();
    EXPECT_EQ(text, kOpen + "float unused1;float unused2;float unused3;" + kClose);
    EXPECT_EQ(log, "GenerateHlslCBuffer warning: Allocation map inconsistencty at offset 0\n");
}
