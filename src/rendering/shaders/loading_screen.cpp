// Animated backdrop with a progress bar; data = (width, height, time, load 0..1).
extern const char g_loadingScreenText[] = R"hlsl(
struct VSInput
{
    float4 Position : POSITION;
    float2 TexCoord : texcoord0;
};

struct VSOutput
{
    float4 PositionCS : SV_POSITION;
    float2 TexCoord : texcoord0;
};

cbuffer PSConstants : register(b0)
{
    float2 Resolution : packoffset(c2.x);
};

cbuffer PreloadData : register(b1)
{
    float4 data;
};

float4 circles(float2 pos, float s, float t)
{
    pos *= s;
    float2 cell = floor(pos + 0.5);
    float2 offset = frac(pos + 0.5) - 0.5;
    offset += (sin(dot(cell, float2(81.2, 54.24)) + t) + sin(dot(cell, float2(1.2, 5.24)) + t)) * 0.13;
    float3 colour = float3(sin(cell.x + cell.y * 41.2), cos(cell.y), sin(cell.x * 2.4)) * 0.5 + 0.5;
    colour = lerp(colour, float3(1.9, 0.4, 0.1), 0.5);
    float disc = sin(saturate(-(length(offset) - 0.2) * data.y / (0.4 + s * s * s * s)));
    return float4(colour, disc / s);
}

float4 p(VSOutput input) : SV_TARGET
{
    float load = data.w;
    float t = data.z * 2.0 - 51.2;
    float2 uv = input.TexCoord - 0.5;
    uv.x /= data.y / data.x;

    float3 colour = float3(0.0, 0.0, 0.0);
    for (int i = 1; i <= 19; i++)
    {
        float f = i * 0.2 + 0.05;
        float4 c = circles(uv - 0.5 + float2(f * 3.725 + t * 0.1, -0.2 * t / f) + float2(cos(f), sin(f)) * t * 0.01, f, t);
        colour += 0.25 * c.rgb * c.a;
    }

    if (uv.y > 0.30 && uv.y < 0.31 && input.TexCoord.x < load)
        colour += 1.0;

    colour += float3(0.4, 0.5, 0.7) * 0.1 * uv.y;
    float glow = 4.0 * length(uv - float2(load, 0.3));
    colour /= 1.0 + glow * glow;
    float g = length(colour);
    colour = lerp(colour, float3(g, g, g), g * 0.2 - 0.3) * 0.7;
    return float4(colour, 1.0);
}
)hlsl";
