// D3DCompile and D3DCreateBlob over the HLSL translator.
#include "platform/gfx/d3dcompiler.h"
#include "platform/gfx/hlsl/hlsl_translator.h"
#include "platform/gfx/hlsl/shader_blob.h"
#include "platform/gfx/refusal.h"

using namespace gfx;

HRESULT D3DCreateBlob(SIZE_T Size, ID3DBlob** ppBlob)
{
    if (!ppBlob)
        return Refuse(AnyDebugDevice(), "D3DCreateBlob", "ppBlob", "is null: there is nowhere to put the blob");
    *ppBlob = MakeBlob(Size);
    return S_OK;
}

HRESULT D3DCompile(LPCVOID pSrcData, SIZE_T SrcDataSize, LPCSTR pSourceName, const D3D_SHADER_MACRO* pDefines,
                   ID3DInclude* pInclude, LPCSTR pEntrypoint, LPCSTR pTarget, UINT Flags1, UINT /*Flags2*/,
                   ID3DBlob** ppCode, ID3DBlob** ppErrorMsgs)
{
    if (ppCode)
        *ppCode = nullptr;
    if (ppErrorMsgs)
        *ppErrorMsgs = nullptr;

    HlslRequest request;
    request.sourceName = pSourceName && *pSourceName ? pSourceName : "memory";
    request.entry = pEntrypoint ? pEntrypoint : "";
    request.target = pTarget ? pTarget : "";
    request.defines = pDefines;
    request.include = pInclude;
    request.warningsAreErrors = (Flags1 & D3DCOMPILE_WARNINGS_ARE_ERRORS) != 0;
    request.sourceMissing = !pSrcData && SrcDataSize;
    if (pSrcData)
        request.source.assign(static_cast<const char*>(pSrcData), SrcDataSize);
    HlslResult result = TranslateHlsl(request);

    ID3DBlob* code = nullptr;
    if (result.ok) {
        std::vector<std::uint8_t> bytes = SerializeShaderInfo(result.info);
        code = MakeBlob(bytes.data(), bytes.size());
    }
    std::string messages = FormatDiagnostics(result.diagnostics);
    if (ppErrorMsgs && !messages.empty())
        *ppErrorMsgs = MakeTextBlob(messages);
    if (ppCode)
        *ppCode = code;
    else if (code)
        code->Release();
    return code ? S_OK : E_FAIL;
}
