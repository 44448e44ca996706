#pragma once
// Inside the gfx layer: token-level rewrites of HLSL text for what Direct3D's
// compiler accepts with a warning and glslang refuses. Each keeps the lines
// of the text where they are.
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/gfx/hlsl/hlsl_diagnostics.h"

namespace gfx {

struct SourceRewrite {
    // For loop variables read after their loop: declared in front of the
    // loop, where Direct3D's scope puts them.
    bool loops = false;
    // Calls at file(line) of a function with scalar parameters: each such
    // argument becomes (argument).x, Direct3D's implicit truncation. Of
    // overloads, the declarations that take as many arguments as the call decide.
    struct Call {
        std::string file;
        std::uint32_t line;
        std::string function;
        std::map<std::size_t, std::vector<bool>> scalar;  // by argument count, by parameter: takes one component
        bool operator<(const Call& o) const
        {
            return file != o.file ? file < o.file : line != o.line ? line < o.line : function < o.function;
        }
    };
    std::set<Call> truncate;

    bool empty() const { return !loops && truncate.empty(); }

    // The rewritten text; what was changed is added to warnings.
    std::string Apply(const std::string& file, const std::string& text, Diagnostics& warnings) const;
};

// True when `name` is declared as a for loop's variable somewhere in text.
bool DeclaresLoopVariable(const std::string& text, const std::string& name);
// True when text declares a function `name` that has a scalar parameter.
bool HasScalarParameter(const std::string& text, const std::string& name);
// The parameters of function `name`, declared somewhere in texts, that a
// vector argument may be truncated for (scalar, not out), by the number of
// arguments: as Direct3D does, the overloads that take that many decide. A
// count whose overloads disagree on which parameters are scalar is left out.
// False when no count is left.
bool TruncatableParameters(const std::vector<std::string>& texts, const std::string& name,
                           std::map<std::size_t, std::vector<bool>>& scalar);

}  // namespace gfx
