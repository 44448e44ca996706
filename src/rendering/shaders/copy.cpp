// Copies its input through the point sampler.
extern const char g_copyText[] = R"hlsl(
struct VSOutput
{
    float4 PositionCS : SV_POSITION;
    float2 TexCoord : texcoord0;
};

Texture2D InputTexture0 : register(t0);
SamplerState sm : register(s0);

float4 p(VSOutput input) : SV_TARGET
{
    return InputTexture0.Sample(sm, input.TexCoord);
}
)hlsl";
