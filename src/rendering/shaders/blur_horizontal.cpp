// Horizontal half of the separable blur: 2n + 1 taps blursize texels apart,
// Gaussian weights (outermost taps 2.8 deviations out) normalised by their sum.
extern const char g_blurHorizontalText[] = R"hlsl(
struct VSOutput
{
    float4 PositionCS : SV_POSITION;
    float2 TexCoord : texcoord0;
};

cbuffer PSConstants : register(b0)
{
    float2 Resolution : packoffset(c2.x);
};

cbuffer params : register(b2)
{
    float2 blursamples;
    float2 blursize;
};

Texture2D InputTexture0 : register(t0);
SamplerState sm : register(s0);

float GaussianDistribution(float x, float theta)
{
    return 1.0 / sqrt(2.0 * (355.0 / 113.0) * theta) * pow(2.71828182846, -(x * x) / (2.0 * theta * theta));
}

float4 p(VSOutput input) : SV_TARGET
{
    float4 sum = float4(0.0, 0.0, 0.0, 0.0);
    float weightSum = 0.0;
    for (float i = -blursamples.x; i <= blursamples.x; i += 1.0)
    {
        float weight = GaussianDistribution(i / blursamples.x * 2.8, 1.0);
        sum += InputTexture0.Sample(sm, input.TexCoord + float2(i / Resolution.x * blursize.x, 0.0)) * weight;
        weightSum += weight;
    }
    return sum / weightSum;
}
)hlsl";
