// Declarations shared by the example's shaders (included by name, from the
// folder of the intro file).

struct VSOutput
{
    float4 PositionCS : SV_POSITION;
    float2 TexCoord : texcoord0;      // (0, 0) top left, (1, 1) bottom right
};

// b0: the pass sizes; Resolution is the size of the image being drawn.
cbuffer PSConstants : register(b0)
{
    float2 Resolution : packoffset(c2.x);
};

// b1: the pass's own block. The scene pass finds the scene's running time in
// frameTime (seconds times timeSpeed); the post pass finds zeros here.
cbuffer FrameParams : register(b1)
{
    float4 values;
    float4x4 transform;
    float frameTime;
};

// The post pass's inputs: the scene image and its blurred copy.
Texture2D SceneImage : register(t0);
Texture2D BlurredImage : register(t1);
SamplerState PointSampler : register(s0);
SamplerState LinearSampler : register(s1);
