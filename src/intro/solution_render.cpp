#include "intro/solution.h"

#include <optional>

#include "platform/system/console.h"
#include "rendering/constant_buffer.h"
#include "support/path_text.h"

namespace {

// The blur shaders step from -n to n by 1: an infinite n never ends, and one
// too large for a step of 1 to change it never moves. NaN runs no tap.
float BoundedBlurSamples(float n)
{
    constexpr float kMost = 1024.0f;
    if (n > kMost)
        return kMost;
    if (n < -kMost)
        return -kMost;
    return n;
}

}  // namespace

void Solution::ReportRenderProblem(const std::string& problem)
{
    if (problem == renderProblem)
        return;
    renderProblem = problem;
    ConsoleWrite("Solution::Render error: " + problem + "\n");
}

void Solution::Render(std::uint32_t position, ID3D11RenderTargetView* target)
{
    const SolutionScene* scene = GetSceneAt(position);
    if (!scene || !scene->model)
        return;
    // Said when the Solution was made; a frame without them draws nothing.
    if (!sceneTarget.renderTargetView || !horizontalBlurTarget.renderTargetView || !blurTarget.renderTargetView)
        return;
    const IntroModel::IntroScene& model = *scene->model;
    // A buffer that cannot be made is said once; that frame is not drawn
    // rather than drawn with an empty register.
    auto cannotCreate = [&](const char* what, std::uint32_t bytes) {
        ReportRenderProblem(std::string("cannot create the ") + what + " constant buffer of " +
                            PathForMessage(scene->sceneFile) + " (" + std::to_string(bytes) + " bytes)");
        context->ClearState();
    };

    // Each value is rounded to float where it is formed.
    const std::uint32_t local = position - scene->start;
    const float L = static_cast<float>(local);
    const float seconds = static_cast<float>(L / 44100.0);
    const float span = static_cast<float>(scene->length * timeUnit);
    const float progress = L / span;
    const float sceneTime = static_cast<float>(double(progress) * scene->timeSpeed + scene->timeOffset);
    const float frameTime = static_cast<float>(double(seconds) * scene->timeSpeed +
                                               double(static_cast<float>(scene->length)) * scene->timeOffset);

    PostProcessorParams frameParams;
    frameParams.frameTime = frameTime;
    postProcessor.SetParams(frameParams);

    std::optional<FloatConstantBuffer> sceneVars;
    const std::uint32_t sceneFloats = model.drawnShaderParameters.SizeInFloats();
    if (sceneFloats != 0) {
        sceneVars.emplace(sceneFloats);
        if (!sceneVars->Create(device))
            return cannotCreate("[shader]", sceneVars->count * 4);
        model.drawnShaderParameters.Evaluate(sceneTime, sceneVars->data);
        sceneVars->Update(context);
        sceneVars->BindPS(context, 3);
    }

    postProcessor.Draw(context, nullptr, sceneTarget.renderTargetView, &model.sceneShader);

    ConstantBuffer<BlurParams> blurParams;
    if (!blurParams.Create(device))
        return cannotCreate("blur", 32);
    blurParams.data.blursamples.x = BoundedBlurSamples(model.blurSamples.GetCurve(0).Evaluate(sceneTime));
    blurParams.data.blursamples.y = BoundedBlurSamples(model.blurSamples.GetCurve(1).Evaluate(sceneTime));
    blurParams.data.blursize.x = model.blurSize.GetCurve(0).Evaluate(sceneTime);
    blurParams.data.blursize.y = model.blurSize.GetCurve(1).Evaluate(sceneTime);
    blurParams.Update(context);
    blurParams.BindPS(context, 2);

    postProcessor.Draw(context, sceneTarget.shaderResourceView, horizontalBlurTarget.renderTargetView,
                       &horizontalBlurShader);
    postProcessor.Draw(context, horizontalBlurTarget.shaderResourceView, blurTarget.renderTargetView,
                       &verticalBlurShader);

    const std::uint32_t postFloats = model.drawnPostParameters.SizeInFloats();
    if (postFloats != 0) {
        FloatConstantBuffer postVars(postFloats);
        if (!postVars.Create(device))
            return cannotCreate("[post]", postVars.count * 4);
        model.drawnPostParameters.Evaluate(sceneTime, postVars.data);
        postVars.Update(context);
        postVars.BindPS(context, 3);
        combineProcessor.Draw(context, sceneTarget.shaderResourceView, blurTarget.shaderResourceView, target,
                              &model.postShader);
        postVars.Release();
    } else {
        combineProcessor.Draw(context, sceneTarget.shaderResourceView, blurTarget.shaderResourceView, target,
                              &addShader);
    }

    if (sceneVars)
        sceneVars->Release();
    context->ClearState();
    renderProblem.clear();
}
