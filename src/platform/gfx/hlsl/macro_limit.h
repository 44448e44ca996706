#pragma once
// Inside the gfx layer: a macro whose expansion would be too large for the
// front end (a definition that doubles at each level grows without bound) is
// refused by name before the preprocessor expands it.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/gfx/hlsl/hlsl_diagnostics.h"

namespace gfx {

// Tokens one macro may expand to.
constexpr double kMaxMacroTokens = 250000;

// The macros of one compilation, read in the order the texts come.
class MacroLimit {
public:
    // Reads the #define and #undef lines of text. A definition that expands to
    // more than kMaxMacroTokens adds an error at its line and becomes a
    // definition of 0 in the text returned (lines stay where they are).
    // Conditional directives are not followed: every definition counts.
    std::string Check(const std::string& file, const std::string& text, Diagnostics& errors);

private:
    // Tokens of an expansion: constant + sum of perParameter[i] * tokens of argument i.
    struct Macro {
        bool function = false;
        std::vector<std::string> parameters;
        double constant = 1;
        std::vector<double> perParameter;
    };
    double Weigh(const std::vector<std::string>& tokens, std::size_t begin, std::size_t end,
                 const std::map<std::string, double>& arguments, const std::string& self) const;

    std::map<std::string, Macro> macros_;
};

}  // namespace gfx
