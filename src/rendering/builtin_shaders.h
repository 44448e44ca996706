#pragma once
// The HLSL texts the program carries: zero-terminated, plain ASCII, one line
// feed per line end. Registers follow the full-screen pass conventions
// (b0 pass sizes, b1 pass block, b2 blur block, t0/t1 inputs, s0 point, s1 linear).

namespace BuiltinShader {
enum Index {
    BlurHorizontal = 0,
    BlurVertical = 1,
    AddTwo = 2,
    Fxaa = 3,
    HashNoise = 4,
    Copy = 5,
    OctaveBlend = 6,
    LoadingScreen = 7,
    FullscreenQuad = 8,
    RaymarchLibrary = 9,
    Count = 10
};
}

extern const char* const g_builtinShaders[BuiltinShader::Count];
