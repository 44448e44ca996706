#include "platform/gfx/hlsl/macro_limit.h"

#include <algorithm>
#include <cctype>

namespace gfx {

namespace {

bool IdentifierStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool IdentifierPart(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Preprocessing tokens of one logical line; comments are dropped.
std::vector<std::string> Tokens(const std::string& line, bool& inComment)
{
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < line.size()) {
        if (inComment) {
            std::size_t end = line.find("*/", i);
            if (end == std::string::npos)
                return out;
            inComment = false;
            i = end + 2;
            continue;
        }
        char c = line[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (line.compare(i, 2, "//") == 0) {
            return out;
        } else if (line.compare(i, 2, "/*") == 0) {
            inComment = true;
            i += 2;
        } else if (IdentifierStart(c)) {
            std::size_t j = i;
            while (j < line.size() && IdentifierPart(line[j]))
                ++j;
            out.push_back(line.substr(i, j - i));
            i = j;
        } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                   (c == '.' && i + 1 < line.size() && std::isdigit(static_cast<unsigned char>(line[i + 1])))) {
            std::size_t j = i + 1;
            while (j < line.size() &&
                   (IdentifierPart(line[j]) || line[j] == '.' ||
                    ((line[j] == '+' || line[j] == '-') && (line[j - 1] == 'e' || line[j - 1] == 'E'))))
                ++j;
            out.push_back(line.substr(i, j - i));
            i = j;
        } else if (c == '"') {
            std::size_t j = i + 1;
            while (j < line.size() && line[j] != '"')
                j += line[j] == '\\' ? 2 : 1;
            out.push_back(line.substr(i, std::min(j + 1, line.size()) - i));
            i = j + 1;
        } else {
            out.push_back(std::string(1, c));
            ++i;
        }
    }
    return out;
}

}  // namespace

double MacroLimit::Weigh(const std::vector<std::string>& tokens, std::size_t begin, std::size_t end,
                         const std::map<std::string, double>& arguments, const std::string& self) const
{
    double total = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const std::string& t = tokens[i];
        auto argument = arguments.find(t);
        if (argument != arguments.end()) {
            total += argument->second;
            continue;
        }
        if (t == "#" && i + 1 < end && arguments.count(tokens[i + 1])) {
            total += 1;  // a parameter made a string
            ++i;
            continue;
        }
        auto m = t == self ? macros_.end() : macros_.find(t);
        if (m == macros_.end()) {
            total += 1;
            continue;
        }
        const Macro& macro = m->second;
        if (!macro.function) {
            total += macro.constant;
            continue;
        }
        if (i + 1 >= end || tokens[i + 1] != "(") {
            total += 1;  // the name alone is not a call
            continue;
        }
        // The arguments, each weighed as it expands, then the body with them.
        std::vector<double> weights;
        std::size_t j = i + 2, start = j;
        int depth = 0;
        for (; j < end; ++j) {
            if (tokens[j] == "(") {
                ++depth;
            } else if (tokens[j] == ")" && depth-- == 0) {
                break;
            } else if (tokens[j] == "," && depth == 0) {
                weights.push_back(Weigh(tokens, start, j, arguments, self));
                start = j + 1;
            }
        }
        weights.push_back(Weigh(tokens, start, std::min(j, end), arguments, self));
        double expanded = macro.constant;
        for (std::size_t p = 0; p < macro.perParameter.size() && p < weights.size(); ++p)
            expanded += macro.perParameter[p] * weights[p];
        total += expanded;
        i = std::min(j, end);
    }
    return std::min(total, 1e300);
}

std::string MacroLimit::Check(const std::string& file, const std::string& text, Diagnostics& errors)
{
    std::string out;
    out.reserve(text.size());
    bool inComment = false;
    std::uint32_t line = 1;
    std::size_t at = 0;
    while (at < text.size()) {
        // One logical line: physical lines joined where they end in a backslash.
        std::size_t end = at;
        std::uint32_t physical = 1;
        std::string logical;
        for (;;) {
            std::size_t nl = text.find('\n', end);
            std::size_t stop = nl == std::string::npos ? text.size() : nl;
            std::size_t content = stop > end && text[stop - 1] == '\r' ? stop - 1 : stop;
            bool joined = content > end && text[content - 1] == '\\' && nl != std::string::npos;
            logical.append(text, end, joined ? content - 1 - end : content - end);
            end = nl == std::string::npos ? text.size() : nl + 1;
            if (!joined)
                break;
            ++physical;
        }
        const bool commentBefore = inComment;
        std::vector<std::string> tokens = Tokens(logical, inComment);
        bool replaced = false;
        if (!commentBefore && tokens.size() >= 3 && tokens[0] == "#" && tokens[1] == "define" &&
            IdentifierStart(tokens[2][0])) {
            const std::string& name = tokens[2];
            Macro macro;
            std::size_t body = 3;
            // Function-like only when '(' follows the name with no space.
            std::size_t nameAt = logical.find(name, logical.find("define") + 6);
            if (tokens.size() > 3 && tokens[3] == "(" && nameAt != std::string::npos &&
                nameAt + name.size() < logical.size() && logical[nameAt + name.size()] == '(') {
                macro.function = true;
                body = 4;
                while (body < tokens.size() && tokens[body] != ")") {
                    if (tokens[body] != ",")
                        macro.parameters.push_back(tokens[body]);
                    ++body;
                }
                ++body;
            }
            body = std::min(body, tokens.size());
            std::map<std::string, double> arguments;
            for (const std::string& p : macro.parameters)
                arguments[p] = 0;
            macro.constant = Weigh(tokens, body, tokens.size(), arguments, name);
            double largest = macro.constant;
            for (const std::string& p : macro.parameters) {
                arguments[p] = 1;
                double with = Weigh(tokens, body, tokens.size(), arguments, name);
                arguments[p] = 0;
                macro.perParameter.push_back(with - macro.constant);
                largest = std::max(largest, with);
            }
            if (largest > kMaxMacroTokens) {
                AddError(errors, file,
                         "macro " + name + " expands to more than " + std::to_string(long(kMaxMacroTokens)) + " tokens",
                         line);
                std::string params;
                for (const std::string& p : macro.parameters)
                    params += (params.empty() ? "" : ", ") + p;
                out += "#define " + name + (macro.function ? "(" + params + ")" : "") + " 0";
                out.append(physical, '\n');
                macro.constant = 1;
                macro.perParameter.assign(macro.parameters.size(), 0);
                replaced = true;
            }
            macros_[name] = macro;
        } else if (!commentBefore && tokens.size() >= 3 && tokens[0] == "#" && tokens[1] == "undef") {
            macros_.erase(tokens[2]);
        }
        if (!replaced)
            out.append(text, at, end - at);
        at = end;
        line += physical;
    }
    return out;
}

}  // namespace gfx
