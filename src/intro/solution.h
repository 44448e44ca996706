#pragma once
// The intro as the shell sees it: the timeline of an intro file, the scenes it
// names, and the passes that draw the frame of a playback position.
// Playback positions are unsigned 32-bit counts of samples at 44100 a second.
#include <cstdint>
#include <string>
#include <vector>

#include "intro/intro_scene.h"
#include "platform/gfx/d3d11.h"
#include "rendering/post_processor.h"
#include "rendering/render_target.h"
#include "rendering/shader.h"

class config;
namespace WinApi {
class ReloadableTextFile;
}

// One timeline entry.
class SolutionScene {
public:
    std::string sceneFile;
    IntroModel::IntroScene* model = nullptr;  // g_sceneLibrary's entry for sceneFile
    std::uint32_t length = 16;                // in time units
    float timeSpeed = 1.0f;
    float timeOffset = 0.0f;
    ID3D11Device* device = nullptr;
    std::uint32_t start = 0;  // first position of the entry
    std::uint32_t end = 0;    // first position after it

    explicit SolutionScene(ID3D11Device* device);
    SolutionScene(const SolutionScene& other) = default;
    SolutionScene& operator=(const SolutionScene& other) = default;

    // Reads the scene file when it changed, merges it into the library and
    // recompiles a shader whose file or parameter layout changed. True when
    // the scene file was read.
    bool Load();
    void ResolveModel();
};

class Solution {
public:
    std::string introFile;
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
    PostProcessor postProcessor;
    CombineProcessor combineProcessor;
    std::vector<SolutionScene> scenes;
    std::uint32_t timeUnit = 11025;      // samples per time unit
    std::uint32_t timeDelay = 0;         // position of the first entry
    std::uint64_t introFileVersion = 0;  // of the intro file, last read into the timeline
    Shader horizontalBlurShader;
    Shader verticalBlurShader;
    Shader addShader;
    RenderTarget sceneTarget;
    RenderTarget horizontalBlurTarget;
    RenderTarget blurTarget;
    // The last problem a frame met, said once rather than every frame.
    std::string renderProblem;

    Solution(const char* introFile, ID3D11Device* device, ID3D11DeviceContext* context, std::uint32_t width,
             std::uint32_t height);
    // Releases the three targets, which release nothing themselves.
    ~Solution();
    Solution(const Solution&) = delete;
    Solution& operator=(const Solution&) = delete;

    // Re-reads what changed on disk; true when the intro file or a scene file
    // was read. A file that cannot be read is reported and skipped.
    bool Load();
    void Render(std::uint32_t position, ID3D11RenderTargetView* target);
    // Says a problem of a frame once, until a frame is drawn again.
    void ReportRenderProblem(const std::string& problem);
    std::uint32_t GetTimeDelay() const;
    // Index of the entry holding the position, or -1.
    int FindSceneIndex(std::uint32_t position) const;
    SolutionScene* GetSceneAt(std::uint32_t position);
    // The position in time units; infinite (NaN at 0) when timeUnit is 0.
    float TimeInUnits(std::uint32_t position) const;
    void ParseIntroParameters(config& reader);
    // Builds the timeline from the intro file's text; false, with a warning
    // and the previous timeline kept, when the text holds no [scene] entry.
    bool ReadIntroFile(const WinApi::ReloadableTextFile& file);
    void UpdateSceneTimes();
    void ResetParameters();
};

// Applies the keys of the [scene] section the reader stands in to the entry.
void ParseIntroParameters(config& reader, SolutionScene& scene);
// A reader over the minified current text of the file; a /* comment that the
// file does not close is said with the file's name.
config ConfigFromFile(const WinApi::ReloadableTextFile& file);
