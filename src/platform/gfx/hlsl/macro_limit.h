#pragma once
// Inside the gfx layer: a macro expansion too large for the front end (a
// definition that doubles at each level grows without bound) is refused by
// name before the preprocessor performs it. What is weighed is each expansion
// the preprocessor will perform, in the order it reads the texts: uses in
// code and in #if lines, with the macros defined at that point, includes read
// where they are included. A definition alone is never weighed.
#include <glslang/Public/ShaderLang.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/gfx/hlsl/hlsl_diagnostics.h"

namespace gfx {

// Tokens one macro may expand to.
constexpr double kMaxMacroTokens = 250000;

// The macros of one compilation, read in the order the texts come.
class MacroLimit {
public:
    // Reads text as the preprocessor will: conditional groups followed,
    // #define and #undef in order, each #include opened through includer
    // (glslang's, which the compilation then uses) and read in its place.
    // An expansion of more than kMaxMacroTokens adds an error at the line of
    // its use that names the innermost macro whose own body makes it so.
    void Read(const std::string& file, const std::string& text, glslang::TShader::Includer* includer,
              Diagnostics& errors);

private:
    struct Token {
        std::string text;
        std::uint32_t line;
    };
    using Tokens = std::vector<Token>;
    struct Macro {
        bool function = false;
        std::vector<std::string> parameters;
        Tokens body;
    };
    // Tokens as an affine function of the arguments' tokens: [0] the constant,
    // [1 + i] per token of argument i.
    using Affine = std::vector<double>;
    struct Form {
        Affine result;  // tokens of the expansion
        Affine peak;    // an upper bound of it and of every expansion it performs
    };
    using Arguments = std::map<std::string, Affine>;

    void ReadText(const std::string& file, const std::string& text, std::size_t depth);
    void Include(const Tokens& directive, std::size_t depth);
    // Each use in tokens (code or an #if line) weighed, too large ones said.
    void WeighUses(const std::string& file, const Tokens& tokens);
    // Tokens of [begin, end) once expanded; peak takes the expansions performed.
    Affine Walk(const Tokens& tokens, std::size_t begin, std::size_t end, const Arguments* arguments, std::size_t size,
                Affine& peak);
    // [begin of each argument, its end) of the call whose name is at i, and where the call ends.
    std::size_t CallArguments(const Tokens& tokens, std::size_t i, std::size_t end,
                              std::vector<std::pair<std::size_t, std::size_t>>& ranges) const;
    const Form& FormOf(const std::string& name);
    // A definition changed: the forms that read it, and those that read them, go.
    void Forget(const std::string& name);
    std::string Culprit(const Tokens& tokens, std::size_t begin, std::size_t end, const Arguments* arguments);
    bool Evaluate(const Tokens& expression, long long& value);

    glslang::TShader::Includer* includer_ = nullptr;
    Diagnostics* errors_ = nullptr;
    std::map<std::string, Macro> macros_;
    std::map<std::string, Form> forms_;                     // of the macros as defined now
    std::map<std::string, std::set<std::string>> readers_;  // name: the macros whose form read it
    std::set<std::string> expanding_;                       // not expanded again inside themselves
    std::set<std::string> blocked_;                         // of those, the ones a form met
    Form scratch_;                                          // a form that holds at one place only
};

}  // namespace gfx
