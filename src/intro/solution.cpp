#include "intro/solution.h"

#include <charconv>
#include <climits>
#include <system_error>

#include "platform/system/console.h"
#include "rendering/builtin_shaders.h"
#include "support/config.h"
#include "support/minify.h"
#include "support/path_text.h"
#include "support/reloadable_file.h"

namespace {

// The exception's text names the path and the reason; drop its line end.
void ReportUnreadable(const char* operation, const char* what, const WinApi::WinApiException& e)
{
    ConsoleWrite(std::string(operation) + " error: cannot read " + what + " " + WithoutLineEnds(e.message) + "\n");
}

// An empty file name cannot be opened: say so when the scene file is read,
// instead of failing to open "" on every reload.
bool CanPoll(const char* key, const std::string& fileName, const std::string& sceneFile, bool sceneFileRead)
{
    if (!fileName.empty())
        return true;
    if (sceneFileRead)
        ConsoleWrite(std::string("SolutionScene::Load error: ") + PathForMessage(sceneFile) + " names no " + key +
                     "\n");
    return false;
}

// One of a scene's two shaders: the file that the scene file names for it,
// how its source is built, and what was last compiled from it.
struct SceneShader {
    const char* key;      // the scene-file key that names the file
    const char* section;  // the scene-file section of its parameters
    const std::string& file;
    bool (IntroModel::IntroScene::*fileChanged)() const;
    std::string (IntroModel::IntroScene::*buildSource)() const;
    std::string& source;
    Shader& shader;
    std::uint64_t& fileVersion;                          // of the file, last compiled from
    IncludeRecord& includes;                             // what that compilation asked to include
    const IntroModel::ShaderParameterBlock& parameters;  // as the scene file says now
    IntroModel::ShaderParameterBlock& drawnParameters;   // what the shader was compiled for
};

// A constant buffer holds at most this many registers of four floats.
constexpr std::uint32_t kMaxRegisters = D3D11_REQ_CONSTANT_BUFFER_ELEMENT_COUNT;

// A block that no constant buffer can hold: said when it would be compiled,
// and not compiled, so that the previous shader keeps its own block.
bool FitsAConstantBuffer(const SceneShader& s, const std::string& sceneFile)
{
    const std::uint64_t registers = (std::uint64_t(s.parameters.SizeInFloats()) + 3) / 4;
    if (registers <= kMaxRegisters)
        return true;
    ConsoleWrite("SolutionScene::Load error: " + PathForMessage(sceneFile) + " [" + s.section + "] needs " +
                 std::to_string(registers) + " registers, more than the " + std::to_string(kMaxRegisters) +
                 " a constant buffer holds; the previous shader stays\n");
    return false;
}

// Polls the shader's file on every load, before the layout flag is looked
// at, and compiles when the file holds a version it was not compiled from,
// the layout changed or a file that its last compilation asked to include
// changed (or can be opened now). Then the block the shader draws with
// follows: the new one after a compilation that succeeded, the new values
// while the layout is the one compiled for, otherwise the old block stays
// with the old shader.
void CompileWhenChanged(const IntroModel::IntroScene& model, const SceneShader& s, bool layoutChanged,
                        ID3D11Device* device, const std::string& sceneFile, bool sceneFileRead)
{
    bool compiled = false;
    if (CanPoll(s.key, s.file, sceneFile, sceneFileRead)) {
        try {
            if ((model.*s.fileChanged)() || layoutChanged || IncludesChanged(s.includes)) {
                // The versions acted on, compiled or refused: a refusal is
                // said once, not on every reload.
                s.fileVersion = g_fileCache.Get(s.file).GetVersion();
                if (FitsAConstantBuffer(s, sceneFile)) {
                    s.source = (model.*s.buildSource)();
                    ConsolePrintf("compiling %s\n", PathForMessage(s.file).c_str());
                    s.shader.device = device;
                    compiled = s.shader.CompilePixelShader(s.source, &s.includes);
                } else {
                    for (IncludedFile& f : s.includes)
                        f.version = g_fileCache.PollVersion(f.name);
                }
            }
        } catch (const WinApi::WinApiException& e) {
            ReportUnreadable("SolutionScene::Load", s.key, e);
        }
    }
    if (compiled || s.parameters.SameLayout(s.drawnParameters))
        s.drawnParameters = s.parameters;
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
        file.Update();
        IntroModel::IntroScene& entry = g_sceneLibrary.GetScene(sceneFile);
        // Another entry naming the same file may have merged this version.
        if (file.GetVersion() != entry.sceneFileVersion) {
            entry.sceneFileVersion = file.GetVersion();
            config reader = ConfigFromFile(file);
            IntroModel::IntroScene fresh;
            if (BuildSceneFile(reader, fresh, sceneFile)) {
                // A switch to another file that is already read shows no change
                // in that file: it has to be compiled all the same.
                shaderLayoutChanged =
                    !entry.shaderParameters.SameLayout(fresh.shaderParameters) || entry.shaderFile != fresh.shaderFile;
                postLayoutChanged =
                    !entry.postParameters.SameLayout(fresh.postParameters) || entry.postFile != fresh.postFile;
                entry.UpdateFrom(fresh);
            } else {
                const bool empty = file.GetText().find_first_not_of(" \t\r\n") == std::string::npos;
                ConsoleWrite("SolutionScene::Load error: " + PathForMessage(sceneFile) +
                             (empty ? " is empty" : " holds no [scene] section") + "; what was read before stays\n");
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
                       {"shaderFile", "shader", m.shaderFile, &IntroScene::ShaderFileChanged,
                        &IntroScene::BuildShaderSource, m.shaderSource, m.sceneShader, m.shaderFileVersion,
                        m.shaderIncludes, m.shaderParameters, m.drawnShaderParameters},
                       shaderLayoutChanged, device, sceneFile, read);
    CompileWhenChanged(m,
                       {"postFile", "post", m.postFile, &IntroScene::PostFileChanged, &IntroScene::BuildPostSource,
                        m.postSource, m.postShader, m.postFileVersion, m.postIncludes, m.postParameters,
                        m.drawnPostParameters},
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
    const char* names[] = {"scene", "horizontal blur", "blur"};
    for (int i = 0; i < 3; ++i) {
        RenderTarget* target = targets[i];
        target->Create(device, width, height, DXGI_FORMAT_R16G16B16A16_FLOAT, 1, 1, 0, false, false, 1, false,
                       D3D11_SUBRESOURCE_DATA{});
        // Half made is not made: what was made goes, and no frame is drawn.
        if (!target->texture || !target->renderTargetView || !target->shaderResourceView) {
            target->Release();
            ConsoleWrite("Solution error: cannot create the " + std::string(names[i]) + " target of " +
                         std::to_string(width) + " x " + std::to_string(height) + "; no frame is drawn\n");
        }
    }
    if (!postProcessor.params.buffer || !combineProcessor.params.buffer)
        ConsoleWrite("Solution error: cannot create the passes' parameter buffers\n");
}

Solution::~Solution()
{
    sceneTarget.Release();
    horizontalBlurTarget.Release();
    blurTarget.Release();
}

bool Solution::Load()
{
    WinApi::ReloadPass pass;
    bool result = false;
    try {
        WinApi::ReloadableTextFile& file = g_fileCache.Get(introFile);
        file.Update();
        if (file.GetVersion() != introFileVersion) {
            introFileVersion = file.GetVersion();
            if (ReadIntroFile(file))
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

bool Solution::ReadIntroFile(const WinApi::ReloadableTextFile& file)
{
    // Read into a fresh timeline: one without any entry is refused whole, and
    // the one read before keeps playing.
    const std::uint32_t previousUnit = timeUnit;
    const std::uint32_t previousDelay = timeDelay;
    std::vector<SolutionScene> previousScenes;
    previousScenes.swap(scenes);
    ResetParameters();
    config reader = ConfigFromFile(file);
    const std::string& path = file.GetPath();
    bool found = false;
    while ((found = reader.NextSection())) {
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
        } else if (!WarnUnclosedSection(reader, true, {"intro", "scene"}, "Solution::Load", path)) {
            // A misspelt [scene] would drop its entry without a word.
            ConsoleWrite("Solution::Load warning: unknown section [" + PathForMessage(section) + "] in " +
                         PathForMessage(path) + "; its entries are skipped\n");
        }
    }
    WarnUnclosedSection(reader, false, {}, "Solution::Load", path);
    if (!scenes.empty())
        return true;

    const bool empty = file.GetText().find_first_not_of(" \t\r\n") == std::string::npos;
    ConsoleWrite(
        "Solution::Load warning: " + PathForMessage(file.GetPath()) +
        (empty ? " is empty" : " holds no [scene] entry") +
        (previousScenes.empty() ? "; there is no timeline to play\n" : "; the timeline read before keeps playing\n"));
    timeUnit = previousUnit;
    timeDelay = previousDelay;
    scenes.swap(previousScenes);
    return false;
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

namespace {

// The whole number (config::IsInt) when it lies inside the range.
bool IntInRange(const config& reader, long long low, long long high, int& out)
{
    const std::string& text = reader.GetValue();
    const char* begin = text.data();
    const char* const stop = begin + text.size();
    // from_chars takes a minus sign only.
    if (begin != stop && *begin == '+')
        ++begin;
    long long value = 0;
    const auto [end, error] = std::from_chars(begin, stop, value);
    if (error != std::errc() || end != stop || value < low || value > high)
        return false;
    out = static_cast<int>(value);
    return true;
}

// A key whose value cannot stand: said, and the default is taken.
void WarnOutOfRange(const config& reader, long long low, long long high, unsigned fallback)
{
    ConsolePrintf("ParseIntroParameters warning: %s %s is out of range (%lld to %lld), using %u\n",
                  reader.GetName().c_str(), PathForMessage(reader.GetValue()).c_str(), low, high, fallback);
}

// An integer key: a value that is no whole number (no number at all, as
// abc, included), or one out of range, is said and gives the default.
template <typename Field>
void ReadIntKey(const config& reader, long long low, long long high, Field fallback, Field& field)
{
    int value = 0;
    if (!reader.IsInt()) {
        field = fallback;
        reader.WarnUnreadable("a whole number", std::to_string(fallback));
    } else if (!IntInRange(reader, low, high, value)) {
        field = fallback;
        WarnOutOfRange(reader, low, high, fallback);
    } else {
        field = static_cast<Field>(value);
    }
}

}  // namespace

void Solution::ParseIntroParameters(config& reader)
{
    while (reader.NextParameter()) {
        if (!reader.NextValue())
            continue;
        const std::string& name = reader.GetName();
        if (name == "timeUnit") {
            ReadIntKey<std::uint32_t>(reader, 1, INT_MAX, 11025, timeUnit);
        } else if (name == "timeDelay") {
            ReadIntKey<std::uint32_t>(reader, INT_MIN, INT_MAX, 0, timeDelay);
        } else {
            ConsolePrintf("ParseIntroParameters warning: unrecognised parameter %s\n", name.c_str());
        }
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
            scene.sceneFile = reader.StringOr("");
        else if (name == "length")
            ReadIntKey<std::uint32_t>(reader, 1, INT_MAX, 16, scene.length);
        else if (name == "timeSpeed")
            scene.timeSpeed = reader.FloatOr(1.0f);
        else if (name == "timeOffset")
            scene.timeOffset = reader.FloatOr(0.0f);
        else
            ConsolePrintf("ParseIntroParameters warning: unrecognised parameter %s\n", name.c_str());
    }
}

config ConfigFromFile(const WinApi::ReloadableTextFile& file)
{
    bool commentNotClosed = false;
    config reader(MinifyText(file.GetText(), &commentNotClosed));
    // Everything after it vanishes: sections, entries, values.
    if (commentNotClosed)
        ConsoleWrite("config warning: a /* comment in " + PathForMessage(file.GetPath()) +
                     " is not closed before the end of the file; what follows it is skipped\n");
    return reader;
}
