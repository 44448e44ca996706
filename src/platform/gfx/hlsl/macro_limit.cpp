#include "platform/gfx/hlsl/macro_limit.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>

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
std::vector<std::string> LineTokens(const std::string& line, bool& inComment)
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

constexpr double kMost = 1e300;  // sums stay finite: no infinity times zero

void Add(std::vector<double>& to, const std::vector<double>& a, double times = 1)
{
    for (std::size_t i = 0; i < to.size() && i < a.size(); ++i)
        to[i] = std::min(to[i] + std::min(times * a[i], kMost), kMost);
}

void Max(std::vector<double>& to, const std::vector<double>& a)
{
    for (std::size_t i = 0; i < to.size() && i < a.size(); ++i)
        to[i] = std::max(to[i], a[i]);
}

// f (of its own parameters) with each parameter replaced by an argument.
std::vector<double> Compose(const std::vector<double>& f, const std::vector<std::vector<double>>& arguments,
                            std::size_t size)
{
    std::vector<double> out(size, 0);
    out[0] = f[0];
    for (std::size_t j = 0; j + 1 < f.size() && j < arguments.size(); ++j)
        Add(out, arguments[j], f[j + 1]);
    return out;
}

// The #if expression's value; false where it cannot be told here.
class Expression {
public:
    explicit Expression(const std::vector<std::string>& tokens) : t_(tokens) {}
    bool Value(long long& value)
    {
        value = Conditional();
        return ok_ && at_ == t_.size();
    }

private:
    bool Is(const char* op)
    {
        const std::size_t n = std::strlen(op);
        if (at_ + n > t_.size())
            return false;
        for (std::size_t i = 0; i < n; ++i)
            if (t_[at_ + i] != std::string(1, op[i]))
                return false;
        // "<" is not the start of "<<" or "<=", "&" not of "&&", ...
        if (n == 1 && at_ + 1 < t_.size()) {
            const std::string& next = t_[at_ + 1];
            if ((std::strchr("<>&|", op[0]) && next == op) || (std::strchr("<>!=", op[0]) && next == "="))
                return false;
        }
        at_ += n;
        return true;
    }
    long long Conditional()
    {
        long long c = Or();
        if (!Is("?"))
            return c;
        long long a = Conditional();
        if (!Is(":"))
            ok_ = false;
        long long b = Conditional();
        return c ? a : b;
    }
    long long Or()
    {
        long long v = And();
        while (Is("||"))
            v = (And() != 0) | (v != 0);
        return v;
    }
    long long And()
    {
        long long v = BitOr();
        while (Is("&&"))
            v = (BitOr() != 0) & (v != 0);
        return v;
    }
    long long BitOr()
    {
        long long v = BitXor();
        while (Is("|"))
            v |= BitXor();
        return v;
    }
    long long BitXor()
    {
        long long v = BitAnd();
        while (Is("^"))
            v ^= BitAnd();
        return v;
    }
    long long BitAnd()
    {
        long long v = Equality();
        while (Is("&"))
            v &= Equality();
        return v;
    }
    long long Equality()
    {
        long long v = Relation();
        for (;;) {
            if (Is("=="))
                v = v == Relation();
            else if (Is("!="))
                v = v != Relation();
            else
                return v;
        }
    }
    long long Relation()
    {
        long long v = Shift();
        for (;;) {
            if (Is("<="))
                v = v <= Shift();
            else if (Is(">="))
                v = v >= Shift();
            else if (Is("<"))
                v = v < Shift();
            else if (Is(">"))
                v = v > Shift();
            else
                return v;
        }
    }
    long long Shift()
    {
        long long v = Sum();
        for (;;) {
            if (Is("<<"))
                v = (long long)((unsigned long long)v << (Sum() & 63));
            else if (Is(">>"))
                v >>= (Sum() & 63);
            else
                return v;
        }
    }
    long long Sum()
    {
        long long v = Product();
        for (;;) {
            if (Is("+"))
                v = (long long)((unsigned long long)v + (unsigned long long)Product());
            else if (Is("-"))
                v = (long long)((unsigned long long)v - (unsigned long long)Product());
            else
                return v;
        }
    }
    long long Product()
    {
        long long v = Unary();
        for (;;) {
            if (Is("*")) {
                v = (long long)((unsigned long long)v * (unsigned long long)Unary());
            } else if (Is("/") || Is("%")) {
                const bool divide = t_[at_ - 1] == "/";
                long long d = Unary();
                if (d == 0 || (d == -1 && v == std::numeric_limits<long long>::min())) {
                    ok_ = false;
                    return 0;
                }
                v = divide ? v / d : v % d;
            } else {
                return v;
            }
        }
    }
    long long Unary()
    {
        if (Is("!"))
            return !Unary();
        if (Is("~"))
            return ~Unary();
        if (Is("-"))
            return (long long)(0ull - (unsigned long long)Unary());
        if (Is("+"))
            return Unary();
        if (Is("(")) {
            long long v = Conditional();
            if (!Is(")"))
                ok_ = false;
            return v;
        }
        if (at_ >= t_.size()) {
            ok_ = false;
            return 0;
        }
        const std::string& t = t_[at_++];
        if (IdentifierStart(t[0]))
            return 0;  // a name that is no macro
        std::string digits = t;
        while (!digits.empty() && std::strchr("uUlL", digits.back()))
            digits.pop_back();
        char* end = nullptr;
        long long v = std::strtoll(digits.c_str(), &end, 0);
        if (digits.empty() || *end)
            ok_ = false;
        return v;
    }

    const std::vector<std::string>& t_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

}  // namespace

void MacroLimit::Read(const std::string& file, const std::string& text, glslang::TShader::Includer* includer,
                      Diagnostics& errors)
{
    includer_ = includer;
    errors_ = &errors;
    ReadText(file, text, 0);
}

void MacroLimit::ReadText(const std::string& file, const std::string& text, std::size_t depth)
{
    struct Group {
        bool active;
        bool taken;    // a branch of it was taken
        bool unknown;  // a condition could not be told: every branch is read
    };
    std::vector<Group> groups;
    auto active = [&] { return groups.empty() || groups.back().active; };
    auto outerActive = [&] { return groups.size() < 2 || groups[groups.size() - 2].active; };
    Tokens code;  // since the last directive
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
        Tokens tokens;
        for (std::string& t : LineTokens(logical, inComment))
            tokens.push_back({std::move(t), line});
        at = end;
        line += physical;
        if (commentBefore || tokens.empty() || tokens[0].text != "#") {
            if (active())
                code.insert(code.end(), tokens.begin(), tokens.end());
            continue;
        }
        WeighUses(file, code);
        code.clear();
        const std::string directive = tokens.size() > 1 ? tokens[1].text : "";
        // An #if line's condition: defined(X) told here, the rest expanded.
        auto condition = [&](Group& g) {
            Tokens expression;
            for (std::size_t i = 2; i < tokens.size(); ++i) {
                if (tokens[i].text != "defined") {
                    expression.push_back(tokens[i]);
                    continue;
                }
                const bool parenthesised = i + 1 < tokens.size() && tokens[i + 1].text == "(";
                const std::size_t nameAt = i + (parenthesised ? 2 : 1);
                const bool defined = nameAt < tokens.size() && macros_.count(tokens[nameAt].text);
                expression.push_back({defined ? "1" : "0", tokens[i].line});
                i = nameAt + (parenthesised ? 1 : 0);
            }
            const std::size_t before = errors_->size();
            WeighUses(file, expression);
            long long value = 0;
            if (errors_->size() == before && Evaluate(expression, value)) {
                g.active = value != 0;
            } else {
                g.active = true;
                g.unknown = true;
            }
            g.taken = g.active;
        };
        if (directive == "if" || directive == "ifdef" || directive == "ifndef") {
            Group g{false, false, false};
            if (active()) {
                if (directive == "if") {
                    condition(g);
                } else {
                    const bool defined = tokens.size() > 2 && macros_.count(tokens[2].text);
                    g.active = defined == (directive == "ifdef");
                    g.taken = g.active;
                }
            } else {
                g.taken = true;  // no branch of it is read
            }
            groups.push_back(g);
        } else if (directive == "elif" && !groups.empty()) {
            Group& g = groups.back();
            if (!outerActive() || (g.taken && !g.unknown))
                g.active = false;
            else
                condition(g);
        } else if (directive == "else" && !groups.empty()) {
            Group& g = groups.back();
            g.active = outerActive() && (!g.taken || g.unknown);
            g.taken = true;
        } else if (directive == "endif" && !groups.empty()) {
            groups.pop_back();
        } else if (!active()) {
        } else if (directive == "define" && tokens.size() >= 3 && IdentifierStart(tokens[2].text[0])) {
            const std::string& name = tokens[2].text;
            Macro macro;
            std::size_t body = 3;
            // Function-like only when '(' follows the name with no space.
            std::size_t nameAt = logical.find(name, logical.find("define") + 6);
            if (tokens.size() > 3 && tokens[3].text == "(" && nameAt != std::string::npos &&
                nameAt + name.size() < logical.size() && logical[nameAt + name.size()] == '(') {
                macro.function = true;
                body = 4;
                while (body < tokens.size() && tokens[body].text != ")") {
                    if (tokens[body].text != ",")
                        macro.parameters.push_back(tokens[body].text);
                    ++body;
                }
                ++body;
            }
            body = std::min(body, tokens.size());
            macro.body.assign(tokens.begin() + std::ptrdiff_t(body), tokens.end());
            macros_[name] = std::move(macro);
            Forget(name);
        } else if (directive == "undef" && tokens.size() >= 3) {
            macros_.erase(tokens[2].text);
            Forget(tokens[2].text);
        } else if (directive == "include" && includer_) {
            // The name as written, spaces and all.
            std::size_t i = logical.find("include") + 7;
            while (i < logical.size() && std::isspace(static_cast<unsigned char>(logical[i])))
                ++i;
            const char close = i < logical.size() && logical[i] == '<' ? '>' : '"';
            std::size_t last = i < logical.size() ? logical.find(close, i + 1) : std::string::npos;
            if (i >= logical.size() || (logical[i] != '"' && logical[i] != '<') || last == std::string::npos)
                continue;
            const std::string header = logical.substr(i + 1, last - i - 1);
            // As glslang asks: a quoted name beside the includer first.
            glslang::TShader::Includer::IncludeResult* r = nullptr;
            if (close == '"')
                r = includer_->includeLocal(header.c_str(), file.c_str(), depth + 1);
            if (!r || r->headerName.empty()) {
                includer_->releaseInclude(r);
                r = includer_->includeSystem(header.c_str(), file.c_str(), depth + 1);
            }
            if (r && !r->headerName.empty())
                ReadText(r->headerName, std::string(r->headerData, r->headerLength), depth + 1);
            includer_->releaseInclude(r);
        }
    }
    WeighUses(file, code);
}

std::size_t MacroLimit::CallArguments(const Tokens& tokens, std::size_t i, std::size_t end,
                                      std::vector<std::pair<std::size_t, std::size_t>>& ranges) const
{
    std::size_t j = i + 2, start = j;
    int depth = 0;
    for (; j < end; ++j) {
        if (tokens[j].text == "(") {
            ++depth;
        } else if (tokens[j].text == ")" && depth-- == 0) {
            break;
        } else if (tokens[j].text == "," && depth == 0) {
            ranges.emplace_back(start, j);
            start = j + 1;
        }
    }
    ranges.emplace_back(start, std::min(j, end));
    return std::min(j + 1, end);
}

MacroLimit::Affine MacroLimit::Walk(const Tokens& tokens, std::size_t begin, std::size_t end,
                                    const Arguments* arguments, std::size_t size, Affine& peak)
{
    Affine total(size, 0);
    for (std::size_t i = begin; i < end; ++i) {
        const std::string& t = tokens[i].text;
        if (arguments) {
            auto argument = arguments->find(t);
            if (argument != arguments->end()) {
                Add(total, argument->second);
                continue;
            }
            if (t == "#" && i + 1 < end && arguments->count(tokens[i + 1].text)) {
                total[0] += 1;  // a parameter made a string
                ++i;
                continue;
            }
        }
        if (t == "##")
            continue;
        auto m = macros_.find(t);
        if (m != macros_.end() && expanding_.count(t)) {
            blocked_.insert(t);
            m = macros_.end();
        }
        if (m == macros_.end() || (m->second.function && (i + 1 >= end || tokens[i + 1].text != "("))) {
            total[0] = std::min(total[0] + 1, kMost);  // no macro, or a name alone that is not a call
            continue;
        }
        std::vector<std::pair<std::size_t, std::size_t>> ranges;
        const std::size_t after = m->second.function ? CallArguments(tokens, i, end, ranges) : i + 1;
        std::vector<Affine> values;
        for (const auto& range : ranges) {
            values.push_back(Walk(tokens, range.first, range.second, arguments, size, peak));
            Max(peak, values.back());  // each argument is expanded before it is put in place
        }
        const Form form = FormOf(t);
        Affine result = Compose(form.result, values, size);
        Max(peak, Compose(form.peak, values, size));
        Max(peak, result);
        Add(total, result);
        i = after - 1;
    }
    return total;
}

const MacroLimit::Form& MacroLimit::FormOf(const std::string& name)
{
    auto known = forms_.find(name);
    if (known != forms_.end())
        return known->second;
    const Macro& macro = macros_.at(name);
    const std::size_t size = 1 + macro.parameters.size();
    Arguments parameters;
    for (std::size_t j = 0; j < macro.parameters.size(); ++j) {
        Affine unit(size, 0);
        unit[1 + j] = 1;
        parameters[macro.parameters[j]] = unit;
    }
    std::set<std::string> outer;
    outer.swap(blocked_);
    expanding_.insert(name);
    Form form;
    form.peak.assign(size, 0);
    form.result = Walk(macro.body, 0, macro.body.size(), macro.function ? &parameters : nullptr, size, form.peak);
    Max(form.peak, form.result);
    expanding_.erase(name);
    blocked_.erase(name);
    // A form that met a macro only because that one was being expanded
    // around it holds for this place only.
    const bool general = blocked_.empty();
    outer.insert(blocked_.begin(), blocked_.end());
    outer.swap(blocked_);
    if (general) {
        for (const Token& t : macro.body)
            if (IdentifierStart(t.text[0]))
                readers_[t.text].insert(name);
        return forms_[name] = std::move(form);
    }
    scratch_ = std::move(form);
    return scratch_;
}

void MacroLimit::Forget(const std::string& name)
{
    std::vector<std::string> names{name};
    while (!names.empty()) {
        const std::string n = std::move(names.back());
        names.pop_back();
        forms_.erase(n);
        auto readers = readers_.find(n);
        if (readers == readers_.end())
            continue;
        for (const std::string& r : readers->second)
            if (forms_.count(r))
                names.push_back(r);
        readers_.erase(readers);
    }
}

void MacroLimit::WeighUses(const std::string& file, const Tokens& tokens)
{
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        auto m = macros_.find(tokens[i].text);
        if (m == macros_.end())
            continue;
        std::vector<std::pair<std::size_t, std::size_t>> ranges;
        std::size_t end = i + 1;
        if (m->second.function) {
            if (i + 1 >= tokens.size() || tokens[i + 1].text != "(")
                continue;
            end = CallArguments(tokens, i, tokens.size(), ranges);
        }
        Affine peak(1, 0);
        Max(peak, Walk(tokens, i, end, nullptr, 1, peak));
        if (peak[0] > kMaxMacroTokens) {
            std::string name = Culprit(tokens, i, end, nullptr);
            std::string why = "macro " + (name.empty() ? tokens[i].text : name) + " expands to more than " +
                              std::to_string(long(kMaxMacroTokens)) + " tokens";
            const std::uint32_t line = tokens[i].line;
            // A file read twice says it once.
            if (std::none_of(errors_->begin(), errors_->end(),
                             [&](const Diagnostic& d) { return d.file == file && d.line == line && d.text == why; }))
                AddError(*errors_, file, why, line);
        }
        i = end - 1;
    }
}

std::string MacroLimit::Culprit(const Tokens& tokens, std::size_t begin, std::size_t end, const Arguments* arguments)
{
    for (std::size_t i = begin; i < end; ++i) {
        const std::string& t = tokens[i].text;
        if (arguments && arguments->count(t))
            continue;
        auto m = macros_.find(t);
        if (m == macros_.end() || expanding_.count(t) ||
            (m->second.function && (i + 1 >= end || tokens[i + 1].text != "(")))
            continue;
        std::vector<std::pair<std::size_t, std::size_t>> ranges;
        const std::size_t after = m->second.function ? CallArguments(tokens, i, end, ranges) : i + 1;
        std::vector<Affine> values;
        double most = 0;
        for (const auto& range : ranges) {
            std::string inner = Culprit(tokens, range.first, range.second, arguments);
            if (!inner.empty())
                return inner;
            Affine ignored(1, 0);
            values.push_back(Walk(tokens, range.first, range.second, arguments, 1, ignored));
            most = std::max(most, values.back()[0]);
        }
        const Form form = FormOf(t);
        most = std::max({most, Compose(form.result, values, 1)[0], Compose(form.peak, values, 1)[0]});
        if (most > kMaxMacroTokens) {
            // Too large by its own body (with arguments of one token): what it expands may be the one to name.
            const std::vector<Affine> ones(values.size(), Affine(1, 1));
            if (Compose(form.peak, ones, 1)[0] > kMaxMacroTokens) {
                const Macro& macro = m->second;
                Arguments inner;
                for (std::size_t j = 0; j < macro.parameters.size(); ++j)
                    inner[macro.parameters[j]] = j < values.size() ? values[j] : Affine(1, 0);
                expanding_.insert(t);
                std::string deeper = Culprit(macro.body, 0, macro.body.size(), macro.function ? &inner : nullptr);
                expanding_.erase(t);
                if (!deeper.empty())
                    return deeper;
            }
            return t;
        }
        i = after - 1;
    }
    return "";
}

bool MacroLimit::Evaluate(const Tokens& expression, long long& value)
{
    // Object-like macros put in place, as far as a few thousand tokens; a
    // call of a function-like one is not told here.
    std::vector<std::string> out;
    std::set<std::string> inside;
    std::size_t budget = 10000;
    std::function<bool(const Tokens&)> expand = [&](const Tokens& tokens) {
        for (const Token& t : tokens) {
            auto m = macros_.find(t.text);
            if (m == macros_.end() || inside.count(t.text)) {
                out.push_back(t.text);
                continue;
            }
            if (m->second.function || m->second.body.size() > budget)
                return false;
            budget -= m->second.body.size();
            inside.insert(t.text);
            const bool ok = expand(m->second.body);
            inside.erase(t.text);
            if (!ok)
                return false;
        }
        return true;
    };
    return expand(expression) && Expression(out).Value(value);
}

}  // namespace gfx
