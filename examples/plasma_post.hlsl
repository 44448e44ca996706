// Post shader of plasma.quoscene. Its [post] section declares no parameter,
// so this is compiled but not drawn: the built-in add pass draws the frame.
// Declare a parameter there and this shader takes over.
#include "common.hlsl"

float4 p(VSOutput input) : SV_TARGET
{
    float4 scene = SceneImage.Sample(PointSampler, input.TexCoord);
    float4 blurred = BlurredImage.Sample(LinearSampler, input.TexCoord);
    return scene + blurred;
}
