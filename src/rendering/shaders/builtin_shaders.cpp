#include "rendering/builtin_shaders.h"

extern const char g_blurHorizontalText[];
extern const char g_blurVerticalText[];
extern const char g_addTwoText[];
extern const char g_fxaaText[];
extern const char g_hashNoiseText[];
extern const char g_copyText[];
extern const char g_octaveBlendText[];
extern const char g_loadingScreenText[];
extern const char g_fullscreenQuadText[];
extern const char g_raymarchLibraryText[];

const char* const g_builtinShaders[BuiltinShader::Count] = {
    g_blurHorizontalText, g_blurVerticalText, g_addTwoText,        g_fxaaText,           g_hashNoiseText,
    g_copyText,           g_octaveBlendText,  g_loadingScreenText, g_fullscreenQuadText, g_raymarchLibraryText,
};
