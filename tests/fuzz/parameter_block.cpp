// The parameter-block builder on arbitrary bytes. The input is a parameter
// section text, a NUL byte and a list of parameters (without a NUL, the
// bytes serve as both). The text goes through MinifyText, a config reader
// and BuildShaderParameterBlock, section by section; the list adds
// parameters of 1 to 4 components with any bytes as names, to an empty block
// and to the last block built from the text, by AddParameter or by Allocate.
// Every block is checked against its own slot walk: slots inside the block,
// no slot of two components, the slot rules of Allocate, the exact
// declaration text and its float count, and what Evaluate writes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <limits>
#include <streambuf>
#include <string>
#include <vector>

#include "intro/intro_scene.h"
#include "intro/shader_parameter.h"
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

const std::string kOpen = "cbuffer vars : register(b3) { ";
const std::string kClose = " }\n";

// The placement rule on a plain map: a single float takes the first free
// slot anywhere, a vector the first register whose leading slots are free;
// otherwise new registers open at the end.
std::uint32_t ReferenceAllocate(std::vector<bool>& map, std::uint32_t n)
{
    const std::size_t m = map.size();
    std::size_t o = m;
    if (n == 1) {
        for (std::size_t s = 0; s < m; ++s) {
            if (map[s]) {
                o = s;
                break;
            }
        }
    } else {
        for (std::size_t r = 0; r + n <= m; r += 4) {
            bool free = true;
            for (std::size_t s = r; s < r + n; ++s) {
                free = free && map[s];
            }
            if (free) {
                o = r;
                break;
            }
        }
    }
    if (o == m) {
        map.resize(m + n, true);
        while (map.size() % 4 != 0) {
            map.push_back(true);
        }
    }
    for (std::size_t s = o; s < o + n; ++s) {
        map[s] = false;
    }
    return static_cast<std::uint32_t>(o);
}

// The float count of a declaration text whose names hold no ';'.
std::uint32_t DeclaredFloats(const std::string& body)
{
    std::uint32_t floats = 0;
    std::size_t at = 0;
    while (at < body.size()) {
        const std::size_t end = body.find(';', at);
        Check(end != std::string::npos);
        const std::string declaration = body.substr(at, end - at);
        if (declaration.rfind("float ", 0) == 0) {
            floats += 1;
        } else {
            Check(declaration.size() >= 7 && declaration.compare(0, 5, "float") == 0 && declaration[6] == ' ');
            Check(declaration[5] >= '2' && declaration[5] <= '4');
            floats += static_cast<std::uint32_t>(declaration[5] - '0');
        }
        at = end + 1;
    }
    return floats;
}

bool SameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void CheckBlock(const IntroModel::ShaderParameterBlock& block)
{
    const std::uint32_t size = block.SizeInFloats();
    Check(size % 4 == 0);
    Check(block.SizeInBytes() == 4 * size);

    // Which parameter owns each slot; -1 for none.
    std::vector<int> owner(size, -1);
    bool namesWithoutSemicolon = true;
    for (std::size_t i = 0; i < block.parameters.size(); ++i) {
        const IntroModel::ShaderParameter& p = block.parameters[i];
        const std::uint32_t n = p.ComponentCount();
        Check(n >= 1 && n <= 4);
        Check(p.slotOffset < size && n <= size - p.slotOffset);
        // Inside one 16-byte register; a vector starts on its first slot.
        Check(p.slotOffset / 4 == (p.slotOffset + n - 1) / 4);
        Check(n == 1 || p.slotOffset % 4 == 0);
        for (std::uint32_t c = 0; c < n; ++c) {
            Check(owner[p.slotOffset + c] == -1);
            owner[p.slotOffset + c] = static_cast<int>(i);
        }
        namesWithoutSemicolon = namesWithoutSemicolon && p.GetName().find(';') == std::string::npos;
    }
    // Taken slots are exactly the parameters' slots.
    for (std::uint32_t s = 0; s < size; ++s) {
        Check(block.allocationMap[s] == (owner[s] == -1));
    }

    const std::string text = block.GenerateHlslCBuffer();
    Check(text.size() >= kOpen.size() + kClose.size());
    Check(text.compare(0, kOpen.size(), kOpen) == 0);
    Check(text.compare(text.size() - kClose.size(), kClose.size(), kClose) == 0);
    std::string expected = kOpen;
    for (std::uint32_t s = 0; s < size;) {
        if (owner[s] == -1) {
            expected += "float unused" + std::to_string(s) + ";";
            s += 1;
        } else {
            const IntroModel::ShaderParameter& p = block.parameters[static_cast<std::size_t>(owner[s])];
            Check(p.slotOffset == s);
            expected += p.HlslDeclaration();
            s += p.ComponentCount();
        }
    }
    expected += kClose;
    Check(text == expected);
    if (namesWithoutSemicolon) {
        Check(DeclaredFloats(text.substr(kOpen.size(), text.size() - kOpen.size() - kClose.size())) == size);
    }

    Check(block.SameLayout(block));
    IntroModel::ShaderParameterBlock copy;
    copy.UpdateFrom(block);
    Check(copy.SameLayout(block) && copy.GenerateHlslCBuffer() == text);

    // Exactly the block's size: a write past it is the sanitizer's to find.
    const float untouched = -12345.5f;
    for (float t : {0.5f, -3.0f, std::numeric_limits<float>::quiet_NaN()}) {
        std::vector<float> out(size, untouched);
        block.Evaluate(t, out.data());
        for (std::uint32_t s = 0; s < size; ++s) {
            if (owner[s] == -1) {
                Check(SameBits(out[s], untouched));
            } else {
                const IntroModel::ShaderParameter& p = block.parameters[static_cast<std::size_t>(owner[s])];
                Check(SameBits(out[s], p.GetCurve(s - p.slotOffset).Evaluate(t)));
            }
        }
    }
}

// The block as the placement rule lays out its parameters in order.
void CheckLayout(const IntroModel::ShaderParameterBlock& block)
{
    std::vector<bool> map;
    for (const IntroModel::ShaderParameter& p : block.parameters) {
        Check(ReferenceAllocate(map, p.ComponentCount()) == p.slotOffset);
    }
    Check(map == block.allocationMap);
}

int ComponentsOfType(const std::string& type)
{
    if (type == "float2") {
        return 2;
    }
    if (type == "float3") {
        return 3;
    }
    if (type == "float4") {
        return 4;
    }
    return 1;
}

// A second reader walks the same text beside the builder and checks that
// each parameter has the entry's name, the type word's component count and
// the values dealt in turn, an incomplete last group filled with zeros.
void CheckAgainstEntries(config& shadow, const IntroModel::ShaderParameterBlock& block)
{
    std::size_t i = 0;
    while (shadow.NextParameter()) {
        Check(i < block.parameters.size());
        const IntroModel::ShaderParameter& p = block.parameters[i++];
        Check(p.GetName() == shadow.GetName());
        const std::uint32_t n = static_cast<std::uint32_t>(ComponentsOfType(shadow.GetTypeName()));
        Check(p.ComponentCount() == n);
        std::vector<float> values;
        // A value that is not a number as a whole is said and read as 0.
        while (shadow.NextValue()) {
            values.push_back(shadow.IsFloat() ? shadow.GetFloat() : 0.0f);
        }
        const std::size_t groups = (values.size() + n - 1) / n;
        for (std::uint32_t c = 0; c < n; ++c) {
            const std::vector<float>& keys = p.GetCurve(c).keys;
            Check(keys.size() == groups);
            for (std::size_t g = 0; g < groups; ++g) {
                const std::size_t k = g * n + c;
                Check(SameBits(keys[g], k < values.size() ? values[k] : 0.0f));
            }
        }
    }
    Check(i == block.parameters.size());
}

// Every section of the text, the first one before any header included.
std::vector<IntroModel::ShaderParameterBlock> BuildFromText(const std::string& section)
{
    const std::string text = MinifyText("[shader]" + section);
    config reader(text);
    config shadow(text);
    std::vector<IntroModel::ShaderParameterBlock> blocks;
    while (reader.NextSection()) {
        Check(shadow.NextSection());
        blocks.push_back(BuildShaderParameterBlock(reader));
        CheckAgainstEntries(shadow, blocks.back());
        CheckLayout(blocks.back());
        CheckBlock(blocks.back());
    }
    Check(!shadow.NextSection());
    return blocks;
}

// Each list entry is a byte h and then h's name bytes and key bytes:
// bits 0-1 the component count - 1, bit 2 Allocate instead of AddParameter,
// bits 3-5 the name's length, bits 6-7 the keys per component.
void AddFromList(IntroModel::ShaderParameterBlock& block, const std::string& list)
{
    std::size_t at = 0;
    while (at < list.size()) {
        const unsigned h = static_cast<unsigned char>(list[at++]);
        const int n = static_cast<int>(h & 3u) + 1;
        const bool byAllocate = (h & 4u) != 0;
        const std::size_t nameLength = (h >> 3) & 7u;
        const std::size_t keys = (h >> 6) & 3u;
        const std::string name = list.substr(at, nameLength);
        at += name.size();
        IntroModel::ShaderParameter p(name, n);
        for (std::size_t k = 0; k < keys; ++k) {
            for (int c = 0; c < n; ++c) {
                const float key =
                    at < list.size() ? static_cast<float>(static_cast<signed char>(list[at++])) / 16.0f : 0.0f;
                p.GetCurve(static_cast<std::uint32_t>(c)).AddKey(key);
            }
        }
        std::vector<bool> expectedMap = block.allocationMap;
        const std::uint32_t expected = ReferenceAllocate(expectedMap, static_cast<std::uint32_t>(n));
        const std::size_t before = block.parameters.size();
        if (byAllocate) {
            p.slotOffset = block.Allocate(n);
            Check(p.slotOffset == expected);
            block.parameters.push_back(p);
        } else {
            block.AddParameter(p);
            Check(p.slotOffset == 0);
        }
        Check(block.parameters.size() == before + 1);
        Check(block.parameters.back().slotOffset == expected);
        Check(block.allocationMap == expectedMap);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The system's warnings would only slow the fuzzer down.
    ConsoleCapture quiet;

    const std::string raw(reinterpret_cast<const char*>(data), size);
    const std::size_t split = raw.find('\0');
    const std::string section = raw.substr(0, split);
    const std::string list = split == std::string::npos ? raw : raw.substr(split + 1);

    std::vector<IntroModel::ShaderParameterBlock> blocks = BuildFromText(section);
    // Placement around the holes a text left, and from an empty map.
    if (blocks.empty()) {
        blocks.emplace_back();
    }
    IntroModel::ShaderParameterBlock fresh;
    IntroModel::ShaderParameterBlock* const targets[] = {&blocks.back(), &fresh};
    for (IntroModel::ShaderParameterBlock* block : targets) {
        AddFromList(*block, list);
        CheckBlock(*block);
    }
    return 0;
}
