#include "intro/solution.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "platform/system/console.h"
#include "rendering/builtin_shaders.h"
#include "support/config.h"
#include "support/minify.h"
#include "support/reloadable_file.h"

namespace {

// The exception's text names the path and the reason; drop its line end.
void ReportUnreadable(const char* operation, const char* what, const WinApi::WinApiException& e)
{
    std::string reason = e.message;
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
        reason.pop_back();
    ConsoleWrite(std::string(operation) + " error: cannot read " + what + " " + reason + "\n");
}

bool FileOpens(const std::string& name)
{
    // A folder may open as well, but it is no include file.
    std::error_code error;
    if (!std::filesystem::is_regular_file(name, error))
        return false;
    std::FILE* f = std::fopen(name.c_str(), "r");
    if (!f)
        return false;
    std::fclose(f);
    return true;
}

// Adds the names of the files that the source's #include lines ask for,
// directly or through a file it includes, and that cannot be opened now (as
// the include handler opens them: as written). Each file is looked at once.
void CollectMissingIncludes(const std::string& source, std::set<std::string>& seen, std::vector<std::string>& missing)
{
    std::size_t at = 0;
    while ((at = source.find("#include", at)) != std::string::npos) {
        at += 8;
        const std::size_t open = source.find_first_of("\"<\n", at);
        if (open == std::string::npos || source[open] == '\n')
            continue;
        const char close = source[open] == '"' ? '"' : '>';
        const std::size_t stop = source.find_first_of(std::string(1, close) + "\n", open + 1);
        if (stop == std::string::npos || source[stop] == '\n')
            continue;
        at = stop;
        const std::string name = source.substr(open + 1, stop - open - 1);
        if (!seen.insert(name).second)
            continue;
        if (!FileOpens(name)) {
            missing.push_back(name);
            continue;
        }
        // The compiler refuses includes this large; do not read them here either.
        std::error_code error;
        const auto size = std::filesystem::file_size(name, error);
        if (error || size > 64u * 1024 * 1024)
            continue;
        std::ifstream included(name, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(included)), std::istreambuf_iterator<char>());
        CollectMissingIncludes(text, seen, missing);
    }
}

std::vector<std::string> MissingIncludes(const std::string& source)
{
    std::set<std::string> seen;
    std::vector<std::string> missing;
    CollectMissingIncludes(source, seen, missing);
    return missing;
}

bool AnyNowOpens(const std::vector<std::string>& names)
{
    for (const std::string& name : names)
        if (FileOpens(name))
            return true;
    return false;
}

// An empty file name cannot be opened: say so when the scene file is read,
// instead of failing to open "" on every reload.
bool CanPoll(const char* key, const std::string& fileName, const std::string& sceneFile, bool sceneFileRead)
{
    if (!fileName.empty())
        return true;
    if (sceneFileRead)
        ConsoleWrite(std::string("SolutionScene::Load error: ") + sceneFile + " names no " + key + "\n");
    return false;
}

// One of a scene's two shaders: the file that the scene file names for it,
// how its source is built, and what was last compiled from it.
struct SceneShader {
    const char* key;  // the scene-file key that names the file
    const std::string& file;
    bool (IntroModel::IntroScene::*fileChanged)() const;
    std::string (IntroModel::IntroScene::*buildSource)() const;
    std::string& source;
    Shader& shader;
    std::vector<std::string>& missingIncludes;
};

// Polls the shader's file on every load, before the layout flag is looked
// at, and compiles when the file was read, the layout changed or a missing
// include has appeared.
void CompileWhenChanged(const IntroModel::IntroScene& model, const SceneShader& s, bool layoutChanged,
                        ID3D11Device* device, const std::string& sceneFile, bool sceneFileRead)
{
    if (!CanPoll(s.key, s.file, sceneFile, sceneFileRead))
        return;
    try {
        if ((model.*s.fileChanged)() || layoutChanged || AnyNowOpens(s.missingIncludes)) {
            s.source = (model.*s.buildSource)();
            ConsolePrintf("compiling %s\n", s.file.c_str());
            s.shader.device = device;
            const bool compiled = s.shader.CompilePixelShader(s.source.c_str());
            s.missingIncludes = compiled ? std::vector<std::string>() : MissingIncludes(s.source);
        }
    } catch (const WinApi::WinApiException& e) {
        ReportUnreadable("SolutionScene::Load", s.key, e);
    }
}

}  // namespace

SolutionScene::SolutionScene(ID3D11Device* device_) : device(device_) {}

bool SolutionScene::Load()
{
    bool shaderLayoutChanged = false;
    bool postLayoutChanged = false;
    bool read = false;
    // Reported when the intro file is read; "" can never be opened.
    if (sceneFile.empty()) {
        ResolveModel();
        return false;
    }
    try {
        WinApi::ReloadableTextFile& file = g_fileCache.Get(sceneFile);
        if (file.Update()) {
            config reader = ConfigFromFile(file);
            IntroModel::IntroScene fresh;
            if (BuildSceneFile(reader, fresh)) {
                IntroModel::IntroScene& entry = g_sceneLibrary.GetScene(sceneFile);
                // A switch to another file that is already read shows no change
                // in that file: it has to be compiled all the same.
                shaderLayoutChanged =
                    !entry.shaderParameters.SameLayout(fresh.shaderParameters) || entry.shaderFile != fresh.shaderFile;
                postLayoutChanged =
                    !entry.postParameters.SameLayout(fresh.postParameters) || entry.postFile != fresh.postFile;
                entry.UpdateFrom(fresh);
            }
            read = true;
        }
    } catch (const WinApi::WinApiException& e) {
        // Never read, so the model has no shader files to poll yet.
        ReportUnreadable("SolutionScene::Load", "scene file", e);
        ResolveModel();
        return false;
    }

    ResolveModel();

    using IntroModel::IntroScene;
    IntroScene& m = *model;
    CompileWhenChanged(m,
                       {"shaderFile", m.shaderFile, &IntroScene::ShaderFileChanged, &IntroScene::BuildShaderSource,
                        m.shaderSource, m.sceneShader, m.shaderMissingIncludes},
                       shaderLayoutChanged, device, sceneFile, read);
    CompileWhenChanged(m,
                       {"postFile", m.postFile, &IntroScene::PostFileChanged, &IntroScene::BuildPostSource,
                        m.postSource, m.postShader, m.postMissingIncludes},
                       postLayoutChanged, device, sceneFile, read);
    return read;
}

void SolutionScene::ResolveModel()
{
    model = &g_sceneLibrary.GetScene(sceneFile);
}

Solution::Solution(const char* introFile_, ID3D11Device* device_, ID3D11DeviceContext* context_, std::uint32_t width,
                   std::uint32_t height)
{
    device = device_;
    context = context_;
    introFile = introFile_ ? introFile_ : "";

    postProcessor.Initialize(device);
    combineProcessor.Initialize(device);

    Shader* builtins[] = {&horizontalBlurShader, &verticalBlurShader, &addShader};
    const BuiltinShader::Index sources[] = {BuiltinShader::BlurHorizontal, BuiltinShader::BlurVertical,
                                            BuiltinShader::AddTwo};
    for (int i = 0; i < 3; ++i) {
        builtins[i]->device = device;
        builtins[i]->CompilePixelShader(g_builtinShaders[sources[i]]);
    }

    RenderTarget* targets[] = {&sceneTarget, &horizontalBlurTarget, &blurTarget};
    for (RenderTarget* target : targets)
        target->Create(device, width, height, DXGI_FORMAT_R16G16B16A16_FLOAT, 1, 1, 0, false, false, 1, false,
                       D3D11_SUBRESOURCE_DATA{});
}

Solution::~Solution()
{
    sceneTarget.Release();
    horizontalBlurTarget.Release();
    blurTarget.Release();
}

bool Solution::Load()
{
    bool result = false;
    try {
        WinApi::ReloadableTextFile& file = g_fileCache.Get(introFile);
        if (file.Update()) {
            ResetParameters();
            config reader = ConfigFromFile(file);
            while (reader.NextSection()) {
                const std::string& section = reader.GetSection();
                if (section == "intro") {
                    ParseIntroParameters(reader);
                } else if (section == "scene") {
                    SolutionScene scene(device);
                    ::ParseIntroParameters(reader, scene);
                    if (scene.sceneFile.empty())
                        ConsoleWrite("Solution::Load error: [scene] entry " + std::to_string(scenes.size()) +
                                     " of the intro names no sceneFile\n");
                    scenes.push_back(scene);
                }
            }
            result = true;
        }
    } catch (const WinApi::WinApiException& e) {
        // The timeline loaded before (if any) keeps playing.
        ReportUnreadable("Solution::Load", "intro file", e);
    }

    for (SolutionScene& scene : scenes)
        if (scene.Load())
            result = true;

    if (result)
        UpdateSceneTimes();
    return result;
}

std::uint32_t Solution::GetTimeDelay() const
{
    return timeDelay;
}

int Solution::FindSceneIndex(std::uint32_t position) const
{
    for (std::size_t i = 0; i < scenes.size(); ++i)
        if (scenes[i].start <= position && position < scenes[i].end)
            return static_cast<int>(i);
    return -1;
}

SolutionScene* Solution::GetSceneAt(std::uint32_t position)
{
    const int index = FindSceneIndex(position);
    return index < 0 ? nullptr : &scenes[static_cast<std::size_t>(index)];
}

float Solution::TimeInUnits(std::uint32_t position) const
{
    return static_cast<float>(position) / static_cast<float>(timeUnit);
}

void Solution::ParseIntroParameters(config& reader)
{
    while (reader.NextParameter()) {
        if (!reader.NextValue())
            continue;
        const std::string& name = reader.GetName();
        if (name == "timeUnit")
            timeUnit = static_cast<std::uint32_t>(reader.GetInt());
        else if (name == "timeDelay")
            timeDelay = static_cast<std::uint32_t>(reader.GetInt());
        else
            ConsolePrintf("ParseIntroParameters warning: unrecognised parameter %s\n", name.c_str());
    }
}

void Solution::UpdateSceneTimes()
{
    std::uint32_t t = timeDelay;
    for (SolutionScene& scene : scenes) {
        scene.start = t;
        t += scene.length * timeUnit;
        scene.end = t;
    }
}

void Solution::ResetParameters()
{
    timeUnit = 11025;
    timeDelay = 0;
    scenes.clear();
}

void ParseIntroParameters(config& reader, SolutionScene& scene)
{
    while (reader.NextParameter()) {
        if (!reader.NextValue())
            continue;
        const std::string& name = reader.GetName();
        if (name == "sceneFile")
            scene.sceneFile = reader.GetString();
        else if (name == "length")
            scene.length = static_cast<std::uint32_t>(reader.GetInt());
        else if (name == "timeSpeed")
            scene.timeSpeed = reader.GetFloat();
        else if (name == "timeOffset")
            scene.timeOffset = reader.GetFloat();
        else
            ConsolePrintf("ParseIntroParameters warning: unrecognised parameter %s\n", name.c_str());
    }
}

config ConfigFromFile(const WinApi::ReloadableTextFile& file)
{
    return config(MinifyText(file.GetText()));
}
