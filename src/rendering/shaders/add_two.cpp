// The final pass of a scene without post parameters: scene plus its blur.
// The samplers' names do not match their registers: s1 filters linearly.
extern const char g_addTwoText[] = R"hlsl(
struct VSOutput
{
    float4 PositionCS : SV_POSITION;
    float2 TexCoord : texcoord0;
};

Texture2D InputTexture0 : register(t0);
Texture2D InputTexture1 : register(t1);
SamplerState LinearSampler : register(s0);
SamplerState PointSampler : register(s1);

float4 p(VSOutput input) : SV_TARGET
{
    return InputTexture0.Sample(PointSampler, input.TexCoord) + InputTexture1.Sample(PointSampler, input.TexCoord);
}
)hlsl";
