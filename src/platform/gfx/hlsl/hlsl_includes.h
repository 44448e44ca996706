#pragma once
// Inside the gfx layer: #include for glslang through ID3DInclude, or through
// the files themselves for D3D_COMPILE_STANDARD_FILE_INCLUDE. The one place
// where the include limits of d3dcompiler.h and the cycle check are applied.
// ENABLE_HLSL (the HLSL members of TShader) comes from the build.
#include <glslang/Public/ShaderLang.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/gfx/d3dcompiler.h"
#include "platform/gfx/hlsl/hlsl_diagnostics.h"

namespace gfx {

// A UTF-8 byte-order mark at the start of a text is not part of the HLSL.
std::size_t ByteOrderMarkLength(const char* text, std::size_t size);

// Blanks the text's #pragma once lines (lines stay where they are), which
// glslang does not know; true when there was one.
bool TakePragmaOnce(std::string& text);

class IncludeBridge final : public glslang::TShader::Includer {
public:
    // Changes a text before glslang reads it (file name, text); may be empty.
    using Rewrite = std::function<std::string(const std::string&, const std::string&)>;

    // sourceName/sourceText: the compiled file, the bottom of the include stack.
    IncludeBridge(ID3DInclude* include, const std::string& sourceName, const std::string& sourceText, Rewrite rewrite);
    ~IncludeBridge() override;

    IncludeResult* includeLocal(const char* header, const char* includer, size_t depth) override;
    IncludeResult* includeSystem(const char* header, const char* includer, size_t depth) override;
    void releaseInclude(IncludeResult* result) override;

    // A pass that reads the includes before glslang does (the macro weighing)
    // opens them through this same resolver; then Replay: glslang's requests
    // that come in the same order get what was opened, without a second Open.
    void Replay();

    // glslang's "Could not process include directive" errors of refused
    // cycles, depths and sizes become errors that name the files.
    void Explain(Diagnostics& diagnostics) const;

private:
    struct Opened {
        std::string name;      // as glslang and the messages know it
        std::string identity;  // what tells two includes apart: a real path, or name and text
        const void* data;      // the callback's or our own bytes
        bool fromCallback;
        std::string text;  // what glslang reads
        bool owned;        // data is closed with it (not: a recorded resolution holds it)
    };
    // What one request found: a file, nothing, or a refusal.
    struct Resolution {
        D3D_INCLUDE_TYPE type;
        std::string header;
        std::string parent;  // the includer's identity
        bool found = false;
        std::string refusal;  // why it is too large
        std::string name;
        std::string identity;
        const void* data = nullptr;
        bool fromCallback = false;
        std::string text;
    };
    struct Refusal {
        std::string includer;
        std::string header;
        std::string why;
    };

    IncludeResult* Open(D3D_INCLUDE_TYPE type, const char* header, const char* includer, size_t depth);
    Resolution Resolve(D3D_INCLUDE_TYPE type, const char* header, const Opened& parent);
    void Close(const void* data, bool fromCallback);
    std::string Chain(std::size_t from, const std::string& last) const;

    ID3DInclude* include_;
    Rewrite rewrite_;
    Opened root_;                 // the compiled source
    std::vector<Opened*> stack_;  // [0]: root_, then the open includes
    std::vector<Refusal> refusals_;
    std::set<std::string> once_;  // identities of the files with #pragma once read so far
    bool recording_ = true;
    std::vector<Resolution> recorded_;  // until Replay, what was opened; then what is not yet handed over
    std::size_t replayed_ = 0;
};

}  // namespace gfx
