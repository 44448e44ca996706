// A hash of the texture coordinate in all four channels.
extern const char g_hashNoiseText[] = R"hlsl(
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

#define _HASH(X) frac((X) * (X) * 13.7412 + (X) * 117.123147 - 111.512577)

float hash(float x)
{
    return _HASH(_HASH(x));
}

float hash(float2 v)
{
    return _HASH(_HASH(v.x) * 27.7153 + _HASH(v.y) * 1.7173);
}

float4 p(VSOutput input) : SV_TARGET
{
    float h = hash(input.TexCoord);
    return float4(h, h, h, h);
}
)hlsl";
