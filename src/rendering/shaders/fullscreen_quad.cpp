// Vertex shader of every full-screen pass: passes the quad through unchanged.
extern const char g_fullscreenQuadText[] = R"hlsl(
struct VSInput
{
    float4 PositionCS : POSITION;
    float2 TexCoord : texcoord0;
};

struct VSOutput
{
    float4 PositionCS : SV_POSITION;
    float2 TexCoord : texcoord0;
};

VSOutput v(VSInput input)
{
    VSOutput output;
    output.PositionCS = input.PositionCS;
    output.TexCoord = input.TexCoord;
    return output;
}
)hlsl";
