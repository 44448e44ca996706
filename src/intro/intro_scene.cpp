#include "intro/intro_scene.h"

#include "platform/system/console.h"
#include "support/config.h"
#include "support/path_text.h"
#include "support/reloadable_file.h"

SceneLibrary g_sceneLibrary;

namespace IntroModel {

std::string IntroScene::BuildShaderSource() const
{
    return introscene(shaderFile, shaderParameters);
}

std::string IntroScene::BuildPostSource() const
{
    return introscene(postFile, postParameters);
}

namespace {

bool VersionDiffers(const std::string& fileName, std::uint64_t built)
{
    WinApi::ReloadableTextFile& file = g_fileCache.Get(fileName);
    file.Update();
    return file.GetVersion() != built;
}

}  // namespace

bool IntroScene::ShaderFileChanged() const
{
    return VersionDiffers(shaderFile, shaderFileVersion);
}

bool IntroScene::PostFileChanged() const
{
    return VersionDiffers(postFile, postFileVersion);
}

void IntroScene::UpdateFrom(const IntroScene& other)
{
    blurSamples.UpdateFrom(other.blurSamples);
    blurSize.UpdateFrom(other.blurSize);
    length = other.length;
    postParameters.UpdateFrom(other.postParameters);
    shaderParameters.UpdateFrom(other.shaderParameters);
    timeOffset = other.timeOffset;
    timeSpeed = other.timeSpeed;
    timeUnit = other.timeUnit;
    postFile = other.postFile;
    shaderFile = other.shaderFile;
}

void IntroScene::EvaluateShaderParameters(float t, float* out) const
{
    shaderParameters.Evaluate(t, out);
}

void IntroScene::EvaluatePostParameters(float t, float* out) const
{
    postParameters.Evaluate(t, out);
}

}  // namespace IntroModel

namespace {

// The sections of a scene file.
constexpr std::initializer_list<const char*> kSceneSections = {"scene", "shader", "post"};

// " in file" for a message, nothing without a name.
std::string InFile(const std::string& fileName)
{
    return fileName.empty() ? std::string() : " in " + PathForMessage(fileName);
}

// A name the generated block holds twice stops its shader from compiling
// with a message that names neither the parameter nor the file.
void WarnRepeatedNames(const IntroModel::ShaderParameterBlock& block, const char* section, const std::string& fileName)
{
    for (const std::string& name : block.DeclaredTwice())
        ConsoleWrite("BuildIntroScene warning: [" + std::string(section) + "]" + InFile(fileName) + " declares " +
                     name + " more than once; its shader cannot compile\n");
    for (const std::string& name : block.NamedLikeFillers())
        ConsoleWrite("BuildIntroScene warning: [" + std::string(section) + "]" + InFile(fileName) + " declares " +
                     name + ", the name of a filler of the generated cbuffer; its shader cannot compile, rename it\n");
}

}  // namespace

bool WarnUnclosedSection(const config& reader, bool found, std::initializer_list<const char*> known,
                         const char* operation, const std::string& fileName)
{
    const std::string& section = reader.GetSection();
    std::size_t shown = 0;
    while (shown < section.size() && IsIdentifierChar(section[shown]))
        ++shown;
    const std::string name = "[" + section.substr(0, shown);
    // NextSection keeps what it read of a header it found no "]" for.
    if (!found) {
        if (section.empty())
            return false;
        ConsoleWrite(std::string(operation) + " warning: section name " + name + InFile(fileName) +
                     " is not closed before the end of the file\n");
        return true;
    }
    const std::size_t inner = section.rfind('[');
    if (inner == std::string::npos)
        return false;
    const std::string next = section.substr(inner + 1);
    for (const char* k : known) {
        if (next == k) {
            ConsoleWrite(std::string(operation) + " warning: section name " + name + InFile(fileName) +
                         " is not closed before [" + next + "]; both sections are skipped\n");
            return true;
        }
    }
    return false;
}

IntroModel::IntroScene BuildIntroScene(config& reader, bool* nextSceneFollows, const std::string& fileName)
{
    static const IntroModel::IntroScene defaults;
    IntroModel::IntroScene scene;
    while (reader.NextParameter()) {
        const std::string type = reader.GetTypeName();
        const std::string name = reader.GetName();
        if (type == "float2" && name == scene.blurSamples.GetName()) {
            scene.blurSamples = BuildShaderParameter(reader);
            continue;
        }
        if (type == "float2" && name == scene.blurSize.GetName()) {
            scene.blurSize = BuildShaderParameter(reader);
            continue;
        }
        if (!reader.NextValue()) {
            ConsoleWrite("BuildIntroScene warning: unrecognised parameter in [scene] " + name + "\n");
            continue;
        }
        // A value that cannot be read is said and gives the key's default.
        if (name == "shaderFile")
            scene.shaderFile = reader.StringOr(defaults.shaderFile);
        else if (name == "postFile")
            scene.postFile = reader.StringOr(defaults.postFile);
        else if (name == "length")
            scene.length = reader.FloatOr(defaults.length);
        else if (name == "timeSpeed")
            scene.timeSpeed = reader.FloatOr(defaults.timeSpeed);
        else if (name == "timeOffset")
            scene.timeOffset = reader.FloatOr(defaults.timeOffset);
        else if (name == "timeUnit")
            scene.timeUnit = reader.IntOr(defaults.timeUnit);
        else
            ConsoleWrite("BuildIntroScene warning: unrecognised parameter in [scene] " + name + "\n");
    }

    bool atNextScene = false;
    bool found = false;
    while ((found = reader.NextSection())) {
        const std::string section = reader.GetSection();
        if (section == "scene") {
            atNextScene = true;
            break;
        }
        if (section == "shader")
            scene.shaderParameters = BuildShaderParameterBlock(reader);
        else if (section == "post")
            scene.postParameters = BuildShaderParameterBlock(reader);
        else if (!WarnUnclosedSection(reader, true, kSceneSections, "BuildIntroScene", fileName))
            ConsoleWrite("BuildIntroScene warning: unrecognised section " + section + InFile(fileName) + "\n");
    }
    if (!found)
        WarnUnclosedSection(reader, false, kSceneSections, "BuildIntroScene", fileName);
    if (nextSceneFollows)
        *nextSceneFollows = atNextScene;
    return scene;
}

bool BuildSceneFile(config& reader, IntroModel::IntroScene& scene, const std::string& fileName)
{
    // BuildIntroScene stops right after the next [scene] header; that one is
    // built next instead of looking for a further header. Sections before
    // the first [scene] are not read.
    bool found = false;
    bool atScene = false;
    while (atScene || reader.NextSection()) {
        atScene = false;
        if (reader.GetSection() != "scene") {
            WarnUnclosedSection(reader, true, kSceneSections, "BuildIntroScene", fileName);
            continue;
        }
        scene = BuildIntroScene(reader, &atScene, fileName);
        found = true;
    }
    WarnUnclosedSection(reader, false, kSceneSections, "BuildIntroScene", fileName);
    if (found) {
        WarnRepeatedNames(scene.shaderParameters, "shader", fileName);
        WarnRepeatedNames(scene.postParameters, "post", fileName);
    }
    return found;
}

IntroModel::ShaderParameterBlock BuildShaderParameterBlock(config& reader)
{
    IntroModel::ShaderParameterBlock block;
    while (reader.NextParameter())
        block.AddParameter(BuildShaderParameter(reader));
    return block;
}

IntroModel::ShaderParameter BuildShaderParameter(config& reader)
{
    const std::string type = reader.GetTypeName();
    const std::string name = reader.GetName();
    int n = 1;
    if (type == "float")
        n = 1;
    else if (type == "float2")
        n = 2;
    else if (type == "float3")
        n = 3;
    else if (type == "float4")
        n = 4;
    else
        ConsoleWrite("BuildShaderParameter warning: invalid type for cbuffer " + type + " at param " + name +
                     ", reverting to float\n");

    IntroModel::ShaderParameter parameter(name, n);
    // Values are dealt to the components in turn: x0, y0, x1, y1, ...
    int c = 0;
    while (reader.NextValue()) {
        parameter.GetCurve(c).AddKey(reader.FloatOr(0.0f));
        if (++c == n)
            c = 0;
    }
    // An incomplete last group is filled with zeros.
    while (c != 0) {
        parameter.GetCurve(c).AddKey(0.0f);
        if (++c == n)
            c = 0;
    }
    return parameter;
}

std::string introscene(std::string fileName, IntroModel::ShaderParameterBlock block)
{
    if (fileName.empty()) {
        ConsoleWrite("introscene error: No filename was given.\n");
        return std::string();
    }
    try {
        std::string source = block.GenerateHlslCBuffer();
        source += "\n";
        // A byte-order mark (as Windows editors save) starts the file, not the
        // compiled text, where it would follow the generated declaration.
        const std::string& text = g_fileCache.Get(fileName).GetText();
        const bool marked = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
        source.append(text, marked ? 3 : 0, std::string::npos);
        return source;
    } catch (WinApi::WinApiException e) {
        // The reason ends in CR LF, which the console would show escaped.
        ConsoleWrite("introscene error: exception while accessing " + PathForMessage(fileName) +
                     WithoutLineEnds(e.message) + "\n");
        return std::string();
    }
}

IntroModel::IntroScene& SceneLibrary::GetScene(std::string sceneFile)
{
    auto found = scenes.find(sceneFile);
    if (found != scenes.end())
        return found->second;
    scenes.emplace(sceneFile, IntroModel::IntroScene());
    return scenes.find(sceneFile)->second;
}
