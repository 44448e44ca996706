// Scene shader of plasma.quoscene. zoom, centre, colourA and colourB come from
// its [shader] section, declared in front of this text as cbuffer vars (b3).
#include "common.hlsl"

float4 p(VSOutput input) : SV_TARGET
{
    float2 uv = (input.TexCoord - 0.5) * float2(Resolution.x / Resolution.y, 1.0) * zoom + centre;
    float t = frameTime;
    float v = sin(uv.x * 1.7 + t)
            + sin(uv.y * 2.3 - t * 0.7)
            + sin(length(uv) * 3.0 - t * 1.3)
            + sin((uv.x + uv.y) * 1.1 + t * 0.5);
    v = v * 0.125 + 0.5;
    // Thin bright bands on a dark ground; the blurred copy adds their glow.
    float bands = pow(0.5 + 0.5 * sin(v * 14.0 + t), 6.0);
    float3 colour = lerp(colourA, colourB.rgb, v) * (0.08 + bands) * colourB.a;
    return float4(colour, 1.0);
}
