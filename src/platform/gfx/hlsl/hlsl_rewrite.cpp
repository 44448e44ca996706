// Token-level rewrites of HLSL text: loop variables that outlive their loop,
// vectors passed to scalar parameters.
#include "platform/gfx/hlsl/hlsl_rewrite.h"

#include <algorithm>
#include <cctype>
#include <regex>

namespace gfx {

namespace {

struct Token {
    std::size_t begin, end;
    std::uint32_t line;
    std::string text;
};

bool IsWordChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Words, numbers and single punctuation characters; comments, strings and
// preprocessor lines are skipped.
std::vector<Token> Tokenize(const std::string& s)
{
    std::vector<Token> out;
    std::uint32_t line = 1;
    bool lineStart = true;
    std::size_t i = 0, n = s.size();
    while (i < n) {
        char c = s[i];
        if (c == '\n') {
            ++line;
            lineStart = true;
            ++i;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && s[i + 1] == '/') {
            while (i < n && s[i] != '\n')
                ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            i += 2;
            while (i + 1 < n && !(s[i] == '*' && s[i + 1] == '/')) {
                line += s[i] == '\n';
                ++i;
            }
            i = std::min(n, i + 2);
            continue;
        }
        if (c == '#' && lineStart) {
            while (i < n && s[i] != '\n') {
                if (s[i] == '\\' && i + 1 < n && s[i + 1] == '\n') {
                    ++line;
                    ++i;
                }
                ++i;
            }
            continue;
        }
        lineStart = false;
        if (c == '"') {
            std::size_t b = i++;
            while (i < n && s[i] != '"' && s[i] != '\n')
                i += s[i] == '\\' ? 2 : 1;
            i = std::min(n, i + 1);
            out.push_back({b, i, line, s.substr(b, i - b)});
            continue;
        }
        if (IsWordChar(c) || (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
            std::size_t b = i;
            bool number = std::isdigit(static_cast<unsigned char>(c)) || c == '.';
            while (i < n && (IsWordChar(s[i]) || (number && (s[i] == '.' || ((s[i] == '+' || s[i] == '-') &&
                                                                             (s[i - 1] == 'e' || s[i - 1] == 'E'))))))
                ++i;
            out.push_back({b, i, line, s.substr(b, i - b)});
            continue;
        }
        out.push_back({i, i + 1, line, std::string(1, c)});
        ++i;
    }
    return out;
}

bool IsScalarType(const std::string& t)
{
    static const std::regex scalar("(float|int|uint|bool|half|double|dword|min16float|min10float|min16int|min12int|"
                                   "min16uint)1?");
    return std::regex_match(t, scalar);
}

bool IsWord(const Token& t)
{
    return !t.text.empty() && (std::isalpha(static_cast<unsigned char>(t.text[0])) || t.text[0] == '_');
}

// Index of the token closing the bracket at `open`, or tokens.size().
std::size_t Match(const std::vector<Token>& t, std::size_t open)
{
    const std::string& o = t[open].text;
    std::string c = o == "(" ? ")" : o == "[" ? "]" : "}";
    int depth = 0;
    for (std::size_t i = open; i < t.size(); ++i) {
        if (t[i].text == o)
            ++depth;
        else if (t[i].text == c && --depth == 0)
            return i;
    }
    return t.size();
}

// The last token of the statement that starts at `first`.
std::size_t StatementEnd(const std::vector<Token>& t, std::size_t first)
{
    if (first >= t.size())
        return t.size();
    if (t[first].text == "{")
        return Match(t, first);
    int depth = 0;
    for (std::size_t i = first; i < t.size(); ++i) {
        const std::string& x = t[i].text;
        if (x == "(" || x == "[" || x == "{")
            ++depth;
        else if (x == ")" || x == "]" || x == "}")
            --depth;
        else if (x == ";" && depth == 0)
            return i;
        if (depth < 0)
            return i;
    }
    return t.size();
}

struct Edit {
    std::size_t at;
    std::size_t length;
    std::string text;
};

std::string ApplyEdits(std::string s, std::vector<Edit> edits)
{
    std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.at > b.at; });
    for (const Edit& e : edits)
        s.replace(e.at, e.length, e.text);
    return s;
}

// `for ( T name =` at k.
bool IsLoopDeclaration(const std::vector<Token>& t, std::size_t k, const std::string& name)
{
    return k + 4 < t.size() && t[k].text == "for" && t[k + 1].text == "(" && IsWord(t[k + 2]) &&
           t[k + 3].text == name && (t[k + 4].text == "=" || t[k + 4].text == ";" || t[k + 4].text == ",");
}

// Is the name at i declared there (after a type), rather than used?
bool IsDeclarationAt(const std::vector<Token>& t, std::size_t i)
{
    if (i == 0 || !(IsWord(t[i - 1]) || t[i - 1].text == ">"))
        return false;
    const std::string& before = t[i - 1].text;
    if (before == "return" || before == "else" || before == "case" || before == "do")
        return false;
    return i + 1 >= t.size() || t[i + 1].text != "(";
}

constexpr std::size_t kNone = std::size_t(-1);

// A declaration of `name` earlier in the block that holds the token at k
// (not that of an earlier loop, whose scope glslang ends with the loop): the
// index of its type, or kNone.
std::size_t EarlierDeclaration(const std::vector<Token>& t, std::size_t k, const std::string& name)
{
    int depth = 0;
    for (std::size_t j = k; j-- > 0;) {
        const std::string& x = t[j].text;
        if (x == "}") {
            ++depth;
        } else if (x == "{") {
            if (depth == 0)
                return kNone;
            --depth;
        } else if (depth == 0 && x == name && IsDeclarationAt(t, j) && !(j >= 3 && IsLoopDeclaration(t, j - 3, name))) {
            return j - 1;
        }
    }
    return kNone;
}

// Direct3D declares a for loop's variable in the enclosing block; glslang
// ends its scope with the loop. Where the name is read after the loop, the
// declaration moves in front of it, or, declared already in that block,
// becomes an assignment to the earlier variable ("most recent declaration
// will be used").
void RewriteLoopVariables(const std::string& file, const std::string& text, const std::vector<Token>& t,
                          std::vector<Edit>& edits, Diagnostics& warnings)
{
    for (std::size_t k = 0; k + 4 < t.size(); ++k) {
        if (t[k].text != "for" || !IsWord(t[k + 3]) || !IsLoopDeclaration(t, k, t[k + 3].text))
            continue;
        const std::string& name = t[k + 3].text;
        std::size_t close = Match(t, k + 1);
        std::size_t initEnd = k + 2;
        while (initEnd < close && t[initEnd].text != ";")
            ++initEnd;
        if (close >= t.size() || initEnd >= close)
            continue;
        std::size_t bodyEnd = StatementEnd(t, close + 1);
        if (bodyEnd >= t.size())
            continue;
        // Read after the loop in the enclosing block, before any new declaration?
        bool used = false;
        int depth = 0;
        for (std::size_t i = bodyEnd + 1; i < t.size(); ++i) {
            const std::string& x = t[i].text;
            if (x == "{")
                ++depth;
            else if (x == "}" && --depth < 0)
                break;
            if (x != name || t[i - 1].text == ".")
                continue;
            if (IsDeclarationAt(t, i))
                break;
            used = true;
            break;
        }
        if (!used)
            continue;
        std::size_t earlier = EarlierDeclaration(t, k, name);
        if (earlier != kNone) {
            bool isConst =
                (earlier >= 1 && t[earlier - 1].text == "const") || (earlier >= 2 && t[earlier - 2].text == "const");
            if (t[earlier].text != t[k + 2].text || isConst)
                continue;
            // A second declaration in one scope: Direct3D's own warning.
            edits.push_back({t[k + 2].begin, t[k + 3].begin - t[k + 2].begin, ""});
            warnings.push_back({file, t[k].line, Severity::Warning,
                                "X3078: loop control variable conflicts with a previous declaration in the outer "
                                "scope; most recent declaration will be used"});
            continue;
        }
        // The declaration goes in front of the loop and its attributes, which
        // must start a statement for that to be safe.
        std::size_t start = k;
        while (start > 0 && t[start - 1].text == "]") {
            std::size_t open = start - 1;
            int d = 0;
            for (;; --open) {
                if (t[open].text == "]")
                    ++d;
                else if (t[open].text == "[" && --d == 0)
                    break;
                if (open == 0)
                    break;
            }
            if (t[open].text != "[")
                break;
            start = open;
        }
        if (start > 0) {
            const std::string& before = t[start - 1].text;
            if (before != ";" && before != "{" && before != "}")
                continue;
        }
        std::string declaration = text.substr(t[k + 2].begin, t[initEnd].end - t[k + 2].begin);
        std::string keptLines;
        for (char c : declaration)
            if (c == '\n')
                keptLines += '\n';
        std::replace(declaration.begin(), declaration.end(), '\n', ' ');
        edits.push_back({t[start].begin, 0, declaration + " "});
        edits.push_back({t[k + 2].begin, t[initEnd].end - t[k + 2].begin, keptLines + ";"});
        warnings.push_back({file, t[k].line, Severity::Warning,
                            "'" + name + "' : a for loop's variable used after the loop; declared before the loop"});
    }
}

struct Parameter {
    std::string type;
    bool scalar;
    bool output;
    bool optional;  // has a default value
};

// The parameter lists of every declaration of function `name`.
std::vector<std::vector<Parameter>> Declarations(const std::vector<Token>& t, const std::string& name)
{
    std::vector<std::vector<Parameter>> out;
    int depth = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i].text == "{")
            ++depth;
        else if (t[i].text == "}")
            --depth;
        if (depth != 0 || t[i].text != name || i == 0 || !IsWord(t[i - 1]) || t[i - 1].text == "return" ||
            i + 1 >= t.size() || t[i + 1].text != "(")
            continue;
        std::size_t close = Match(t, i + 1);
        std::vector<Parameter> params;
        std::size_t p = i + 2;
        while (p < close) {
            std::size_t e = p;
            int d = 0;
            while (e < close && !(d == 0 && t[e].text == ",")) {
                d += t[e].text == "(" || t[e].text == "<" ? 1 : t[e].text == ")" || t[e].text == ">" ? -1 : 0;
                ++e;
            }
            Parameter param{{}, false, false, false};
            for (std::size_t q = p; q < e; ++q)
                param.optional |= t[q].text == "=";
            for (std::size_t q = p; q < e; ++q) {
                static const char* const modifiers[] = {"in",       "out",          "inout",           "uniform",
                                                        "const",    "precise",      "nointerpolation", "linear",
                                                        "centroid", "noperspective"};
                const std::string& x = t[q].text;
                bool modifier = std::find_if(std::begin(modifiers), std::end(modifiers),
                                             [&](const char* m) { return x == m; }) != std::end(modifiers);
                if (x == "out" || x == "inout")
                    param.output = true;
                if (!modifier) {
                    param.type = x;
                    param.scalar = IsScalarType(x);
                    break;
                }
            }
            params.push_back(param);
            p = e + 1;
        }
        out.push_back(params);
    }
    return out;
}

// The arguments between the brackets at open and close.
std::size_t ArgumentCount(const std::vector<Token>& t, std::size_t open, std::size_t close)
{
    if (close == open + 1)
        return 0;
    std::size_t count = 1;
    int d = 0;
    for (std::size_t e = open + 1; e < close; ++e) {
        const std::string& x = t[e].text;
        d += x == "(" || x == "[" || x == "{" ? 1 : x == ")" || x == "]" || x == "}" ? -1 : 0;
        count += d == 0 && x == ",";
    }
    return count;
}

void TruncateArguments(const std::string& file, const std::vector<Token>& t, const SourceRewrite::Call& call,
                       std::vector<Edit>& edits, Diagnostics& warnings)
{
    bool changed = false;
    for (std::size_t i = 1; i + 1 < t.size(); ++i) {
        if (t[i].text != call.function || t[i + 1].text != "(")
            continue;
        const std::string& before = t[i - 1].text;
        if (before == "." || (IsWord(t[i - 1]) && before != "return" && before != "else"))
            continue;  // a member, or a declaration
        std::size_t close = Match(t, i + 1);
        if (close >= t.size() || call.line < t[i].line || call.line > t[close].line)
            continue;
        auto overload = call.scalar.find(ArgumentCount(t, i + 1, close));
        if (overload == call.scalar.end())
            continue;
        const std::vector<bool>& scalar = overload->second;
        std::size_t p = i + 2, index = 0;
        while (p < close && index < scalar.size()) {
            std::size_t e = p;
            int d = 0;
            while (e < close && !(d == 0 && t[e].text == ",")) {
                const std::string& x = t[e].text;
                d += x == "(" || x == "[" || x == "{" ? 1 : x == ")" || x == "]" || x == "}" ? -1 : 0;
                ++e;
            }
            bool literal = e == p + 1 && std::isdigit(static_cast<unsigned char>(t[p].text[0]));
            if (e > p && scalar[index] && !literal) {
                edits.push_back({t[p].begin, 0, "("});
                edits.push_back({t[e - 1].end, 0, ").x"});
                changed = true;
            }
            p = e + 1;
            ++index;
        }
    }
    if (changed)
        warnings.push_back({file, call.line, Severity::Warning, "X3206: implicit truncation of vector type"});
}

}  // namespace

std::string SourceRewrite::Apply(const std::string& file, const std::string& text, Diagnostics& warnings) const
{
    if (empty() || (truncate.empty() && text.find("for") == std::string::npos))
        return text;
    std::vector<Token> tokens = Tokenize(text);
    std::vector<Edit> edits;
    if (loops)
        RewriteLoopVariables(file, text, tokens, edits, warnings);
    for (const Call& call : truncate)
        if (call.file == file)
            TruncateArguments(file, tokens, call, edits, warnings);
    return ApplyEdits(text, std::move(edits));
}

bool DeclaresLoopVariable(const std::string& text, const std::string& name)
{
    std::vector<Token> t = Tokenize(text);
    for (std::size_t k = 0; k < t.size(); ++k)
        if (IsLoopDeclaration(t, k, name))
            return true;
    return false;
}

bool HasScalarParameter(const std::string& text, const std::string& name)
{
    for (const auto& d : Declarations(Tokenize(text), name))
        for (const Parameter& p : d)
            if (p.scalar)
                return true;
    return false;
}

bool TruncatableParameters(const std::vector<std::string>& texts, const std::string& name,
                           std::map<std::size_t, std::vector<bool>>& scalar)
{
    std::map<std::size_t, std::vector<std::vector<bool>>> byCount;
    for (const std::string& text : texts)
        for (const auto& d : Declarations(Tokenize(text), name)) {
            std::vector<bool> takesOne;
            for (const Parameter& p : d)
                takesOne.push_back(p.scalar && !p.output);
            // Parameters with default values may be left out of a call.
            std::size_t least = d.size();
            while (least > 0 && d[least - 1].optional)
                --least;
            for (std::size_t count = least; count <= d.size(); ++count)
                byCount[count].emplace_back(takesOne.begin(), takesOne.begin() + std::ptrdiff_t(count));
        }
    scalar.clear();
    for (const auto& [count, overloads] : byCount) {
        // Overloads of one count that differ in which parameters are scalar:
        // which one Direct3D would pick is not for a rewrite to guess.
        const std::vector<bool>& first = overloads[0];
        bool agree = std::all_of(overloads.begin(), overloads.end(), [&first](const auto& o) { return o == first; });
        bool any = std::find(overloads[0].begin(), overloads[0].end(), true) != overloads[0].end();
        if (agree && any)
            scalar[count] = overloads[0];
    }
    return !scalar.empty();
}

}  // namespace gfx
