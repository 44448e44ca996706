// The intro-file and scene-file readers on arbitrary bytes. The input is an
// intro file, a NUL byte and a scene file (without a NUL, the bytes serve as
// both). Checks that every parameter's slots lie inside its block, that the
// components of a parameter have equal key counts, and evaluates every curve
// at ordinary and at non-finite times into buffers of exactly the block's size;
// the names a block says it would declare twice are the ones it does.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <limits>
#include <map>
#include <set>
#include <streambuf>
#include <string>
#include <vector>

#include "intro/intro_scene.h"
#include "intro/solution.h"
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

const float kTimes[] = {0.0f,
                        0.25f,
                        0.5f,
                        1.0f,
                        -1.0f,
                        2.0f,
                        1e30f,
                        -1e30f,
                        std::numeric_limits<float>::infinity(),
                        -std::numeric_limits<float>::infinity(),
                        std::numeric_limits<float>::quiet_NaN()};

void CheckParameter(const IntroModel::ShaderParameter& p)
{
    Check(p.ComponentCount() >= 1 && p.ComponentCount() <= 4);
    for (const IntroModel::Curve& c : p.curves) {
        Check(c.keys.size() == p.curves[0].keys.size());
        Check(c.scale == IntroModel::Curve::SegmentCount(c.keys));
        for (float t : kTimes) {
            const float v = c.Evaluate(t);
            if (!std::isfinite(t)) {
                Check(c.keys.size() == 1 ? v == c.keys[0] || std::isnan(c.keys[0]) : std::isnan(v));
            }
        }
    }
}

void CheckBlock(const IntroModel::ShaderParameterBlock& block)
{
    const std::uint32_t size = block.SizeInFloats();
    Check(size % 4 == 0);
    for (const IntroModel::ShaderParameter& p : block.parameters) {
        CheckParameter(p);
        Check(p.slotOffset + p.ComponentCount() <= size);
        // A parameter stays inside one 16-byte register.
        Check(p.slotOffset / 4 == (p.slotOffset + p.ComponentCount() - 1) / 4);
    }
    Check(block.SameLayout(block));
    const std::string text = block.GenerateHlslCBuffer();
    Check(text.rfind("cbuffer vars : register(b3) { ", 0) == 0);
    Check(text.size() >= 3 && text.compare(text.size() - 3, 3, " }\n") == 0);
    // The names the declaration holds more than once are exactly the ones
    // the block says: a parameter declared again, one named like a filler.
    std::map<std::string, int> members;
    const std::string body = text.substr(30, text.size() - 33);
    for (std::size_t at = 0; at < body.size();) {
        const std::size_t end = body.find(';', at);
        Check(end != std::string::npos);
        const std::string member = body.substr(at, end - at);
        ++members[member.substr(member.rfind(' ') + 1)];
        at = end + 1;
    }
    std::set<std::string> repeated;
    for (const auto& [name, count] : members)
        if (count > 1)
            repeated.insert(name);
    std::set<std::string> said;
    for (const std::string& name : block.DeclaredTwice())
        Check(said.insert(name).second);
    for (const std::string& name : block.NamedLikeFillers())
        said.insert(name);
    Check(said == repeated);
    // Exactly the block's size: a write past it is the sanitizer's to find.
    std::vector<float> out(size);
    for (float t : kTimes) {
        block.Evaluate(t, out.data());
    }
}

void ReadIntro(const std::string& text)
{
    config reader(MinifyText(text));
    std::vector<SolutionScene> scenes;
    while (reader.NextSection()) {
        if (reader.GetSection() == "scene" || reader.GetSection() == "intro") {
            SolutionScene entry(nullptr);
            ParseIntroParameters(reader, entry);
            scenes.push_back(entry);
        }
    }
    // The timeline's arithmetic: unsigned and wrapping, never undefined.
    std::uint32_t t = 0;
    for (SolutionScene& scene : scenes) {
        scene.start = t;
        t += scene.length * 11025u;
        scene.end = t;
    }
}

void ReadScene(const std::string& text)
{
    config reader(MinifyText(text));
    IntroModel::IntroScene scene;
    BuildSceneFile(reader, scene, "fuzz.quoscene");
    CheckBlock(scene.shaderParameters);
    CheckBlock(scene.postParameters);
    CheckParameter(scene.blurSamples);
    CheckParameter(scene.blurSize);
    Check(scene.blurSamples.ComponentCount() == 2 && scene.blurSize.ComponentCount() == 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The system's warnings would only slow the fuzzer down.
    ConsoleCapture quiet;

    const std::string raw(reinterpret_cast<const char*>(data), size);
    const std::size_t split = raw.find('\0');
    const std::string intro = raw.substr(0, split);
    const std::string scene = split == std::string::npos ? raw : raw.substr(split + 1);
    ReadIntro(intro);
    ReadScene(scene);
    return 0;
}
