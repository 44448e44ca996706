// Edge anti-aliasing in the manner of FXAA 3.11's quality preset: luma from
// the alpha channel, an edge found from the 3x3 neighbourhood, a twelve-step
// search along it for both ends, and a sample moved across the edge by the
// larger of the edge-end offset and the sub-pixel offset.
extern const char g_fxaaText[] = R"hlsl(
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

Texture2D InputTexture0 : register(t0);
Texture2D InputTexture1 : register(t1);
SamplerState LinearSampler : register(s0);
SamplerState PointSampler : register(s1);

#define FXAA_SEARCH_STEPS 12

static const float searchStep[FXAA_SEARCH_STEPS] = { 1.0, 1.0, 1.0, 1.0, 1.0, 1.5, 2.0, 2.0, 2.0, 2.0, 4.0, 8.0 };

#define LumaAt(uv) InputTexture0.SampleLevel(PointSampler, (uv), 0.0).a
#define LumaNear(uv, dx, dy) InputTexture0.SampleLevel(PointSampler, (uv), 0.0, int2(dx, dy)).a

float4 FxaaPixelShader(float2 pos, float2 rcpFrame, float subpixAmount, float edgeThreshold, float edgeThresholdMin)
{
    float4 centre = InputTexture0.SampleLevel(PointSampler, pos, 0.0);
    float lumaM = centre.a;
    float lumaN = LumaNear(pos, 0, -1);
    float lumaS = LumaNear(pos, 0, 1);
    float lumaW = LumaNear(pos, -1, 0);
    float lumaE = LumaNear(pos, 1, 0);

    float lumaMax = max(max(max(lumaN, lumaS), max(lumaW, lumaE)), lumaM);
    float lumaMin = min(min(min(lumaN, lumaS), min(lumaW, lumaE)), lumaM);
    float lumaRange = lumaMax - lumaMin;
    if (lumaRange < max(edgeThresholdMin, lumaMax * edgeThreshold))
        return centre;

    float lumaNW = LumaNear(pos, -1, -1);
    float lumaNE = LumaNear(pos, 1, -1);
    float lumaSW = LumaNear(pos, -1, 1);
    float lumaSE = LumaNear(pos, 1, 1);

    // Sub-pixel aliasing: how far the centre stands out of its neighbourhood.
    float lowpass = (2.0 * (lumaN + lumaS + lumaW + lumaE) + (lumaNW + lumaNE + lumaSW + lumaSE)) / 12.0;
    float contrast = saturate(abs(lowpass - lumaM) / lumaRange);
    float smoothed = (3.0 - 2.0 * contrast) * contrast * contrast;
    float subpixOffset = smoothed * smoothed * subpixAmount;

    // Second differences across rows and across columns decide the edge's direction.
    float changeAcrossRows = abs(lumaNW + lumaSW - 2.0 * lumaW) + 2.0 * abs(lumaN + lumaS - 2.0 * lumaM) +
                             abs(lumaNE + lumaSE - 2.0 * lumaE);
    float changeAcrossColumns = abs(lumaNW + lumaNE - 2.0 * lumaN) + 2.0 * abs(lumaW + lumaE - 2.0 * lumaM) +
                                abs(lumaSW + lumaSE - 2.0 * lumaS);
    bool edgeAlongX = changeAcrossRows >= changeAcrossColumns;

    float lumaBefore = edgeAlongX ? lumaN : lumaW;
    float lumaAfter = edgeAlongX ? lumaS : lumaE;
    float stepAcross = edgeAlongX ? rcpFrame.y : rcpFrame.x;
    float gradientBefore = abs(lumaBefore - lumaM);
    float gradientAfter = abs(lumaAfter - lumaM);

    float lumaOther = lumaAfter;
    float gradient = gradientAfter;
    if (gradientBefore >= gradientAfter)
    {
        stepAcross = -stepAcross;
        lumaOther = lumaBefore;
        gradient = gradientBefore;
    }
    float gradientScaled = gradient * 0.25;
    float lumaEdge = 0.5 * (lumaM + lumaOther);

    // Walk along the edge, half a texel across it, until the luma leaves the edge's.
    float2 along = edgeAlongX ? float2(rcpFrame.x, 0.0) : float2(0.0, rcpFrame.y);
    float2 edgePos = pos + (edgeAlongX ? float2(0.0, 0.5 * stepAcross) : float2(0.5 * stepAcross, 0.0));
    float2 posBack = edgePos - along * searchStep[0];
    float2 posFore = edgePos + along * searchStep[0];
    float endBack = LumaAt(posBack) - lumaEdge;
    float endFore = LumaAt(posFore) - lumaEdge;
    bool doneBack = abs(endBack) >= gradientScaled;
    bool doneFore = abs(endFore) >= gradientScaled;
    for (int i = 1; i < FXAA_SEARCH_STEPS && !(doneBack && doneFore); i++)
    {
        if (!doneBack)
        {
            posBack -= along * searchStep[i];
            endBack = LumaAt(posBack) - lumaEdge;
            doneBack = abs(endBack) >= gradientScaled;
        }
        if (!doneFore)
        {
            posFore += along * searchStep[i];
            endFore = LumaAt(posFore) - lumaEdge;
            doneFore = abs(endFore) >= gradientScaled;
        }
    }

    float distBack = edgeAlongX ? pos.x - posBack.x : pos.y - posBack.y;
    float distFore = edgeAlongX ? posFore.x - pos.x : posFore.y - pos.y;
    bool backNearer = distBack < distFore;
    float dist = min(distBack, distFore);
    float span = distBack + distFore;

    // Only an end whose luma moves away from the centre's side bends the edge here.
    bool centreBelow = lumaM < lumaEdge;
    bool endBelow = (backNearer ? endBack : endFore) < 0.0;
    float edgeOffset = (endBelow != centreBelow) ? 0.5 - dist / span : 0.0;

    float offset = max(edgeOffset, subpixOffset);
    float2 finalPos = pos + (edgeAlongX ? float2(0.0, offset * stepAcross) : float2(offset * stepAcross, 0.0));
    return float4(InputTexture0.SampleLevel(PointSampler, finalPos, 0.0).rgb, lumaM);
}

float4 p(VSOutput input) : SV_TARGET
{
    return FxaaPixelShader(input.TexCoord, 1.0 / float2(1600.0, 900.0), 0.756863,
                           lerp(1.0 / 3.0, 0.063, 0.501961), 0.0833);
}
)hlsl";
