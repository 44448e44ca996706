// Post shader of tunnel.quoscene: the scene image, its blurred copy as bloom,
// a vignette and a colour grade. bloom, vignette and grade come from the
// scene file's [post] section (cbuffer vars, b3).
#include "common.hlsl"

float4 p(VSOutput input) : SV_TARGET
{
    float3 scene = SceneImage.Sample(PointSampler, input.TexCoord).rgb;
    float3 blurred = BlurredImage.Sample(LinearSampler, input.TexCoord).rgb;
    float3 colour = scene + blurred * bloom;
    float d = length(input.TexCoord - 0.5);
    colour *= 1.0 - smoothstep(vignette.x, vignette.x + 0.4, d) * vignette.y;
    colour *= grade;
    colour = colour / (1.0 + colour);
    return float4(colour, 1.0);
}
