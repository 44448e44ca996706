#include "intro/solution.h"

#include <optional>

#include "rendering/constant_buffer.h"

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

void Solution::Render(std::uint32_t position, ID3D11RenderTargetView* target)
{
    const SolutionScene* scene = GetSceneAt(position);
    if (!scene || !scene->model)
        return;
    const IntroModel::IntroScene& model = *scene->model;

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
    const std::uint32_t sceneFloats = model.shaderParameters.SizeInFloats();
    if (sceneFloats != 0) {
        sceneVars.emplace(sceneFloats);
        sceneVars->Create(device);
        model.shaderParameters.Evaluate(sceneTime, sceneVars->data);
        sceneVars->Update(context);
        sceneVars->BindPS(context, 3);
    }

    postProcessor.Draw(context, nullptr, sceneTarget.renderTargetView, &model.sceneShader);

    ConstantBuffer<BlurParams> blurParams;
    blurParams.Create(device);
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

    const std::uint32_t postFloats = model.postParameters.SizeInFloats();
    if (postFloats != 0) {
        FloatConstantBuffer postVars(postFloats);
        postVars.Create(device);
        model.postParameters.Evaluate(sceneTime, postVars.data);
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
}
