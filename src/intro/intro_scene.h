#pragma once
// The scene file: its reading functions, the scene model with the generated
// source of each shader, and the library that holds one model per scene file.
#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "intro/shader_parameter.h"
#include "rendering/shader.h"

class config;

namespace IntroModel {

class IntroScene {
public:
    ShaderParameterBlock shaderParameters;
    ShaderParameterBlock postParameters;
    ShaderParameter blurSamples{"blurSamples", 2};
    ShaderParameter blurSize{"blurSize", 2};
    float length = 16.0f;
    float timeSpeed = 1.0f;
    float timeOffset = 1.0f;
    std::int32_t timeUnit = 7000;
    std::string shaderFile;
    std::string postFile;
    std::string shaderSource;  // the generated source last compiled into sceneShader
    std::string postSource;
    Shader sceneShader;
    Shader postShader;
    // What each shader was last compiled from: the version of its file in
    // g_fileCache (0: never) and every file its compilation asked to
    // include. It is compiled again when one of them holds another version.
    // Kept by UpdateFrom.
    std::uint64_t shaderFileVersion = 0;
    std::uint64_t postFileVersion = 0;
    IncludeRecord shaderIncludes;
    IncludeRecord postIncludes;
    // The version of the scene file last merged into this entry, so that
    // every timeline entry naming the file merges each change once.
    std::uint64_t sceneFileVersion = 0;
    // The blocks that sceneShader and postShader were compiled for, with the
    // latest values of that layout: a frame feeds each shader these, so a
    // new layout whose shader did not compile never reaches the old shader.
    // Kept by UpdateFrom.
    ShaderParameterBlock drawnShaderParameters;
    ShaderParameterBlock drawnPostParameters;

    IntroScene() = default;

    std::string BuildShaderSource() const;
    std::string BuildPostSource() const;
    // Poll the file in g_fileCache; true when it holds another version than
    // the one the shader was last compiled from. Let the cache's
    // WinApi::WinApiException pass for a file that cannot be opened.
    bool ShaderFileChanged() const;
    bool PostFileChanged() const;
    void UpdateFrom(const IntroScene& other);
    void EvaluateShaderParameters(float t, float* out) const;
    void EvaluatePostParameters(float t, float* out) const;
};

}  // namespace IntroModel

// Each reader starts where the caller left the config reader: BuildIntroScene
// just after a [scene] header, BuildShaderParameterBlock after a [shader] or
// [post] header, BuildShaderParameter after an entry's "=".
// BuildIntroScene stops after the header of the next [scene] section, if
// any; nextSceneFollows then tells whether it did. fileName, when given, is
// named in the warnings about the file's sections.
IntroModel::IntroScene BuildIntroScene(config& reader, bool* nextSceneFollows = nullptr,
                                       const std::string& fileName = std::string());
IntroModel::ShaderParameterBlock BuildShaderParameterBlock(config& reader);
// Builds every [scene] section of a whole scene file in order, from the
// reader's start; the last one is the scene. False when there is none.
// Parameters of the scene that its generated blocks would declare twice
// (one declared again, one named like a filler) are said with fileName.
bool BuildSceneFile(config& reader, IntroModel::IntroScene& scene, const std::string& fileName = std::string());
IntroModel::ShaderParameter BuildShaderParameter(config& reader);

// After reader.NextSection() (found: what it returned): says a section name
// that is not closed, with the operation ("BuildIntroScene") and fileName:
// one whose "]" was left out, so that the name runs on to the "]" of the
// next header, one of the known names (the two sections are skipped), or,
// when NextSection found none, one that the file ends in. True when said.
bool WarnUnclosedSection(const config& reader, bool found, std::initializer_list<const char*> known,
                         const char* operation, const std::string& fileName);

// The declaration of block, a line break and the cached text of fileName.
// Empty (with an "introscene error: " line) when the name is empty or the
// file cannot be opened.
std::string introscene(std::string fileName, IntroModel::ShaderParameterBlock block);

class SceneLibrary {
public:
    // The entry for the name, created with a new scene's values when absent.
    // Entries never move or go away.
    IntroModel::IntroScene& GetScene(std::string sceneFile);

    std::map<std::string, IntroModel::IntroScene> scenes;
};

extern SceneLibrary g_sceneLibrary;
