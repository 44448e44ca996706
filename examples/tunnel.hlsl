// Scene shader of tunnel.quoscene: speed, pattern, lightColour and wallColour
// come from its [shader] section (cbuffer vars, b3).
#include "common.hlsl"

float4 p(VSOutput input) : SV_TARGET
{
    float2 uv = (input.TexCoord - 0.5) * float2(Resolution.x / Resolution.y, 1.0);
    float r = max(length(uv), 0.001);
    float angle = atan2(uv.y, uv.x) / 6.2831853;
    float depth = 0.3 / r;
    // A whole number of segments, so the pattern closes where the angle wraps.
    float segments = floor(pattern.x + 0.5);
    float around = angle * segments + pattern.y * depth;
    float along = depth + frameTime * speed;
    float rings = 0.5 + 0.5 * cos(along * 6.2831853);
    float stripes = 0.5 + 0.5 * cos(around * 6.2831853);
    float light = pow(saturate(rings * stripes), 3.0);
    float fog = saturate(r * 2.0);
    float3 colour = lerp(wallColour.rgb, lightColour, light) * fog * wallColour.a;
    return float4(colour, 1.0);
}
