// Blends zoomed copies of its input: data1 = (octaves, first octave, blend, 1).
// s0 filters by point whatever the sampler's name says.
extern const char g_octaveBlendText[] = R"hlsl(
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

cbuffer PassBuffer : register(b1)
{
    float4 data1;
};

Texture2D InputTexture0 : register(t0);
SamplerState LinearSampler : register(s0);

float4 p(VSOutput input) : SV_TARGET
{
    float4 accumulator = InputTexture0.Sample(LinearSampler, input.TexCoord / pow(2.0, data1.y));
    for (int i = 1; i < data1.x; i++)
    {
        accumulator = lerp(accumulator, InputTexture0.Sample(LinearSampler, input.TexCoord / pow(2.0, data1.y + i)), data1.z);
    }
    return accumulator;
}
)hlsl";
