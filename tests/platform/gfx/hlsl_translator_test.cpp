// The HLSL translator through D3DCompile without a device: include lookup,
// include cycles and depth, byte-order marks, and what Direct3D accepts with
// a warning.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gfx/d3dcompiler.h"
#include "platform/gfx/hlsl/hlsl_translator.h"

namespace {

struct Compiled {
    HRESULT hr = E_FAIL;
    ID3DBlob* code = nullptr;
    std::string messages;
    ~Compiled()
    {
        if (code)
            code->Release();
    }
};

void Compile(Compiled& r, const std::string& text, ID3DInclude* include = nullptr, const char* name = nullptr,
             UINT flags = 0)
{
    ID3DBlob* errors = nullptr;
    r.hr = D3DCompile(text.c_str(), text.size(), name, nullptr, include, "p", "ps_5_0", flags, 0, &r.code, &errors);
    if (errors) {
        r.messages = static_cast<const char*>(errors->GetBufferPointer());
        errors->Release();
    }
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// In-memory files; Open and Close counted. Names without an entry can be
// made on demand by `make`.
class MapInclude : public ID3DInclude {
public:
    std::map<std::string, std::string> files;
    std::string (*make)(const std::string& name) = nullptr;
    int opens = 0, closes = 0;
    HRESULT Open(D3D_INCLUDE_TYPE, LPCSTR name, LPCVOID, LPCVOID* data, UINT* bytes) override
    {
        auto it = files.find(name);
        if (it == files.end()) {
            if (!make)
                return E_FAIL;
            it = files.emplace(name, make(name)).first;
        }
        ++opens;
        *data = it->second.c_str();
        *bytes = UINT(it->second.size());
        return S_OK;
    }
    HRESULT Close(LPCVOID) override
    {
        ++closes;
        return S_OK;
    }
};

// Like the player's handler: each Open reads the file afresh into a new
// buffer, by the name as written, and ignores the parent.
class FreshFileInclude : public ID3DInclude {
public:
    int opens = 0, closes = 0;
    HRESULT Open(D3D_INCLUDE_TYPE, LPCSTR name, LPCVOID, LPCVOID* data, UINT* bytes) override
    {
        std::ifstream in(std::string("includes/cycle/") + name, std::ios::binary);
        if (!in)
            return E_FAIL;
        std::stringstream s;
        s << in.rdbuf();
        std::string text = s.str();
        char* copy = new char[text.size() + 1];
        std::memcpy(copy, text.c_str(), text.size() + 1);
        ++opens;
        *data = copy;
        *bytes = UINT(text.size());
        return S_OK;
    }
    HRESULT Close(LPCVOID data) override
    {
        ++closes;
        delete[] static_cast<const char*>(data);
        return S_OK;
    }
};

const char* kMarked = "\xEF\xBB\xBF";

}  // namespace

TEST(HlslIncludes, StandardIncludeLooksBesideTheIncludingFile)
{
    // main.hlsl includes lib/colour.hlsl, which includes "shade.hlsl" (its own
    // neighbour, not main's) and "../common.hlsl".
    const std::string path = "includes/nested/main.hlsl";
    Compiled r;
    Compile(r, ReadFile(path), D3D_COMPILE_STANDARD_FILE_INCLUDE, path.c_str());
    EXPECT_EQ(r.hr, S_OK) << r.messages;
    EXPECT_TRUE(r.messages.empty()) << r.messages;

    // Without a folder in the source name, the top file's includes come from
    // the working directory and theirs from beside them.
    Compiled fromHere;
    Compile(fromHere, "#include \"includes/nested/lib/colour.hlsl\"\nfloat4 p() : SV_TARGET { return Colour(); }\n",
            D3D_COMPILE_STANDARD_FILE_INCLUDE);
    EXPECT_EQ(fromHere.hr, S_OK) << fromHere.messages;

    // An error in a nested file names that file where it was found.
    Compiled missing;
    Compile(missing, "#include \"includes/nested/lib/colour.hlsl\"\nfloat4 p() : SV_TARGET { return Nothing(); }\n",
            D3D_COMPILE_STANDARD_FILE_INCLUDE);
    EXPECT_EQ(missing.hr, E_FAIL);
    EXPECT_NE(missing.messages.find("memory(2): error"), std::string::npos) << missing.messages;
}

TEST(HlslIncludes, CyclesFailAndNameTheChain)
{
    MapInclude callback;
    FreshFileInclude fresh;
    callback.files["a.hlsl"] = "float A() { return 1; }\n#include \"b.hlsl\"\n";
    callback.files["b.hlsl"] = "\n\n#include \"a.hlsl\"\n";
    callback.files["self.hlsl"] = "#include \"self.hlsl\"\n";
    struct Case {
        const char* what;
        ID3DInclude* include;
        const char* source;
        const char* expect;
    } cases[] = {
        {"two files, callback", &callback, "#include \"a.hlsl\"\n",
         "b.hlsl(3): error: include cycle: a.hlsl -> b.hlsl -> a.hlsl"},
        {"itself, callback", &callback, "#include \"self.hlsl\"\n",
         "self.hlsl(1): error: include cycle: self.hlsl -> self.hlsl"},
        {"two files, fresh buffers", &fresh, "#include \"a.hlsl\"\n",
         "b.hlsl(1): error: include cycle: a.hlsl -> b.hlsl -> a.hlsl"},
        {"two files, standard", D3D_COMPILE_STANDARD_FILE_INCLUDE, "#include \"includes/cycle/a.hlsl\"\n",
         "includes/cycle/b.hlsl(1): error: include cycle: includes/cycle/a.hlsl -> includes/cycle/b.hlsl -> "
         "includes/cycle/a.hlsl"},
        {"itself, standard", D3D_COMPILE_STANDARD_FILE_INCLUDE, "#include \"includes/cycle/self.hlsl\"\n",
         "includes/cycle/self.hlsl(2): error: include cycle: includes/cycle/self.hlsl -> includes/cycle/self.hlsl"},
    };
    for (const Case& c : cases) {
        Compiled r;
        Compile(r, std::string(c.source) + "float4 p() : SV_TARGET { return 1; }\n", c.include);
        EXPECT_EQ(r.hr, E_FAIL) << c.what;
        EXPECT_EQ(r.code, nullptr) << c.what;
        EXPECT_NE(r.messages.find(c.expect), std::string::npos) << c.what << ":\n" << r.messages;
    }
    EXPECT_EQ(callback.opens, callback.closes);
    EXPECT_EQ(fresh.opens, fresh.closes);

    // The compiled file itself, included by name from beside it.
    Compiled top;
    Compile(top, ReadFile("includes/cycle/self.hlsl") + "float4 p() : SV_TARGET { return Self(); }\n",
            D3D_COMPILE_STANDARD_FILE_INCLUDE, "includes/cycle/self.hlsl");
    EXPECT_EQ(top.hr, E_FAIL);
    EXPECT_NE(top.messages.find("includes/cycle/self.hlsl(2): error: include cycle: includes/cycle/self.hlsl -> "
                                "includes/cycle/self.hlsl"),
              std::string::npos)
        << top.messages;

    // The same file twice, one after the other, is no cycle.
    MapInclude twice;
    twice.files["once.hlsl"] = "#ifndef ONCE\n#define ONCE\nfloat Once() { return 1; }\n#endif\n";
    Compiled ok;
    Compile(ok, "#include \"once.hlsl\"\n#include \"once.hlsl\"\nfloat4 p() : SV_TARGET { return Once(); }\n", &twice);
    EXPECT_EQ(ok.hr, S_OK) << ok.messages;
}

TEST(HlslIncludes, DeepChainsWorkAndRunawayOnesStop)
{
    // d<n>.hlsl includes d<n+1>.hlsl up to a last one, or without end.
    static int last = 0;
    MapInclude deep;
    deep.make = +[](const std::string& name) -> std::string {
        int n = std::stoi(name.substr(1));
        std::string text = "float F" + std::to_string(n) + "() { return 1; }\n";
        if (last < 0 || n < last)
            text += "#include \"d" + std::to_string(n + 1) + ".hlsl\"\n";
        return text;
    };
    last = 200;
    Compiled ok;
    Compile(ok, "#include \"d1.hlsl\"\nfloat4 p() : SV_TARGET { return F200(); }\n", &deep);
    EXPECT_EQ(ok.hr, S_OK) << ok.messages.substr(0, 2000);
    EXPECT_EQ(deep.opens, 200);
    EXPECT_EQ(deep.opens, deep.closes);

    MapInclude endless;
    endless.make = deep.make;
    last = -1;
    Compiled runaway;
    Compile(runaway, "#include \"d1.hlsl\"\nfloat4 p() : SV_TARGET { return F1(); }\n", &endless);
    EXPECT_EQ(runaway.hr, E_FAIL);
    EXPECT_NE(runaway.messages.find(
                  "error: includes nested deeper than 256: memory -> d1.hlsl -> ... -> d255.hlsl -> d256.hlsl"),
              std::string::npos)
        << runaway.messages.substr(0, 2000);
    EXPECT_EQ(endless.opens, endless.closes);
}

// Missing and oversize files fail the compilation, through the callback and
// the standard include alike; an oversize one is named with its includer.
TEST(HlslIncludes, MissingAndOversizeFilesFail)
{
    const std::string big(gfx::kMaxIncludeBytes + 1, ' ');
    MapInclude callback;
    callback.files["big.hlsl"] = big;
    callback.files["limit.hlsl"] = std::string(gfx::kMaxIncludeBytes - 40, ' ') + "float Limit() { return 1; }\n";
    callback.files["outer.hlsl"] = "#include \"big.hlsl\"\n";
    char folder[] = "/tmp/quorvelan-includes-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string onDisk = std::string(folder) + "/big.hlsl";
    {
        std::ofstream out(onDisk, std::ios::binary);
        out << big;
    }
    const std::string limit = std::to_string(gfx::kMaxIncludeBytes);
    struct Case {
        const char* what;
        ID3DInclude* include;
        std::string source;
        std::string expect;  // empty: compiles
    } cases[] = {
        {"missing, callback", &callback, "#include \"gone.hlsl\"\n",
         "memory(1): error: '#include' : Could not process include directive for header name: gone.hlsl"},
        {"missing, standard", D3D_COMPILE_STANDARD_FILE_INCLUDE, "#include \"includes/gone.hlsl\"\n",
         "memory(1): error: '#include' : Could not process include directive for header name: includes/gone.hlsl"},
        {"one byte too many, callback", &callback, "#include \"big.hlsl\"\n",
         "memory(1): error: include larger than " + limit + " bytes: memory -> big.hlsl"},
        {"one byte too many, nested", &callback, "#include \"outer.hlsl\"\n",
         "outer.hlsl(1): error: include larger than " + limit + " bytes: outer.hlsl -> big.hlsl"},
        {"one byte too many, standard", D3D_COMPILE_STANDARD_FILE_INCLUDE, "#include \"" + onDisk + "\"\n",
         "memory(1): error: include larger than " + limit + " bytes: memory -> " + onDisk},
        {"within the limit", &callback, "#include \"limit.hlsl\"\n", ""},
    };
    for (const Case& c : cases) {
        Compiled r;
        Compile(r, c.source + "float4 p() : SV_TARGET { return 1; }\n", c.include);
        if (c.expect.empty()) {
            EXPECT_EQ(r.hr, S_OK) << c.what << ":\n" << r.messages.substr(0, 2000);
            continue;
        }
        EXPECT_EQ(r.hr, E_FAIL) << c.what;
        EXPECT_NE(r.messages.find(c.expect), std::string::npos) << c.what << ":\n" << r.messages.substr(0, 2000);
    }
    EXPECT_EQ(callback.opens, callback.closes);
    std::remove(onDisk.c_str());
    rmdir(folder);
}

TEST(HlslIncludes, AByteOrderMarkIsSkipped)
{
    MapInclude callback;
    callback.files["marked.hlsl"] = std::string(kMarked) + "float4 Marked() { return float4(0, 1, 0, 1); }\n";
    struct Case {
        const char* what;
        std::string source;
        ID3DInclude* include;
    } cases[] = {
        {"source", std::string(kMarked) + "float4 p() : SV_TARGET { return 1; }\n", nullptr},
        {"include through the callback", "#include \"marked.hlsl\"\nfloat4 p() : SV_TARGET { return Marked(); }\n",
         &callback},
        {"included file",
         "#include \"includes/bom/marked.hlsl\"\nfloat4 p() : SV_TARGET { return FromMarkedFile(); }\n",
         D3D_COMPILE_STANDARD_FILE_INCLUDE},
        {"both", std::string(kMarked) + "#include \"marked.hlsl\"\nfloat4 p() : SV_TARGET { return Marked(); }\n",
         &callback},
    };
    for (const Case& c : cases) {
        Compiled r;
        Compile(r, c.source, c.include);
        EXPECT_EQ(r.hr, S_OK) << c.what << ":\n" << r.messages;
        EXPECT_EQ(r.messages.find("bad token"), std::string::npos) << c.what;
    }
    // Only at the start: the same bytes later are still not HLSL.
    Compiled later;
    Compile(later, std::string("float4 p() : SV_TARGET { return 1; }\n") + kMarked + "\n");
    EXPECT_EQ(later.hr, E_FAIL);
}

// #pragma once as Direct3D honours it: a file that holds it and was already
// included in this compilation is empty the second time.
TEST(HlslIncludes, PragmaOnceReadsAFileOnce)
{
    const std::string shared = "struct VSOutput { float4 position : SV_POSITION; float4 colour : COLOR0; };\n";
    const std::string entry = "float4 p(VSOutput o) : SV_TARGET { return A(o) + B(o); }\n";
    MapInclude callback;
    callback.files["common.hlsl"] = "#pragma once\n" + shared;
    callback.files["commented.hlsl"] = "  #  pragma   once // shared\n" + shared;
    callback.files["marked.hlsl"] = std::string(kMarked) + "#pragma once\n" + shared;
    callback.files["guardless.hlsl"] = shared;
    for (const char* name : {"common", "commented", "marked", "guardless"}) {
        const std::string file = std::string(name) + ".hlsl";
        callback.files[std::string("a-") + file] =
            "#include \"" + file + "\"\nfloat4 A(VSOutput o) { return o.colour; }\n";
        callback.files[std::string("b-") + file] =
            "#include \"" + file + "\"\nfloat4 B(VSOutput o) { return o.colour * 2; }\n";
    }
    // Includes itself: the second time it is empty, so no cycle.
    callback.files["self.hlsl"] = "#pragma once\n#include \"self.hlsl\"\n" + shared +
                                  "float4 A(VSOutput o) { return o.colour; }\nfloat4 B(VSOutput o) { return 0; }\n";
    struct Case {
        const char* what;
        std::string source;
        ID3DInclude* include;
        bool compiles;
    } cases[] = {
        {"through two includes", "#include \"a-common.hlsl\"\n#include \"b-common.hlsl\"\n" + entry, &callback, true},
        {"through two included files", "#include \"includes/once/a.hlsl\"\n#include \"includes/once/b.hlsl\"\n" + entry,
         D3D_COMPILE_STANDARD_FILE_INCLUDE, true},
        {"written with spaces and a comment", "#include \"a-commented.hlsl\"\n#include \"b-commented.hlsl\"\n" + entry,
         &callback, true},
        {"after a byte-order mark", "#include \"a-marked.hlsl\"\n#include \"b-marked.hlsl\"\n" + entry, &callback,
         true},
        {"included by itself", "#include \"self.hlsl\"\n" + entry, &callback, true},
        // Without it the second copy is read: the struct is defined twice.
        {"a file without it", "#include \"a-guardless.hlsl\"\n#include \"b-guardless.hlsl\"\n" + entry, &callback,
         false},
    };
    for (const Case& c : cases) {
        Compiled r;
        Compile(r, c.source, c.include);
        EXPECT_EQ(r.hr, c.compiles ? S_OK : E_FAIL) << c.what << ":\n" << r.messages;
        EXPECT_EQ(r.messages.find("not implemented"), std::string::npos) << c.what << ":\n" << r.messages;
        if (c.compiles)
            EXPECT_EQ(r.messages, "") << c.what;
        else
            EXPECT_NE(r.messages.find("'VSOutput' : redefinition"), std::string::npos) << c.what << ":\n" << r.messages;
    }
    EXPECT_EQ(callback.opens, callback.closes);
}

TEST(HlslSource, AZeroByteCutsTheTextAndAFailureNamesItsLine)
{
    const std::string why = ": error: the file holds a NUL byte here; the text is read only up to it";
    auto bytes = [](const auto& literal) { return std::string(literal, sizeof literal - 1); };
    MapInclude callback;
    callback.files["cut.hlsl"] = bytes("float4 Cut()\n{\n    return 1;\0\n}\n");
    callback.files["head.hlsl"] = bytes("// header\n\0\nfloat4 p() : SV_TARGET { return 1; }\n");
    struct Case {
        const char* what;
        std::string source;
        ID3DInclude* include;
        const char* expect;  // file(line) of the zero byte
    } cases[] = {
        {"on the first line", bytes("float4 p() : SV_TARGET { return 1;\0 }\n"), nullptr, "memory(1)"},
        {"on a later line", bytes("float4 p() : SV_TARGET\n{\n    return 1;\n\0}\n"), nullptr, "memory(4)"},
        {"in an include through the callback", "#include \"cut.hlsl\"\nfloat4 p() : SV_TARGET { return Cut(); }\n",
         &callback, "cut.hlsl(3)"},
        {"in an included file",
         "#include \"includes/nul/cut.hlsl\"\nfloat4 p() : SV_TARGET { return FromCutFile(); }\n",
         D3D_COMPILE_STANDARD_FILE_INCLUDE, "includes/nul/cut.hlsl(4)"},
        {"included twice", "#include \"cut.hlsl\"\n#include \"cut.hlsl\"\nfloat4 p() : SV_TARGET { return Cut(); }\n",
         &callback, "cut.hlsl(3)"},
        // What is left parses, but holds no entry point: the link fails.
        {"before the entry point", bytes("// header\0\nfloat4 p() : SV_TARGET { return 1; }\n"), nullptr, "memory(1)"},
        {"in an include, before the entry point", "#include \"head.hlsl\"\n", &callback, "head.hlsl(2)"},
    };
    for (const Case& c : cases) {
        Compiled r;
        Compile(r, c.source, c.include);
        EXPECT_EQ(r.hr, E_FAIL) << c.what;
        std::string line = c.expect + why + "\n";
        // First, ahead of the front end's errors it explains, and once.
        EXPECT_EQ(r.messages.find(line), 0u) << c.what << ":\n" << r.messages;
        EXPECT_EQ(r.messages.find(line, 1), std::string::npos) << c.what << ":\n" << r.messages;
        EXPECT_NE(r.messages.find("error", line.size()), std::string::npos) << c.what << ":\n" << r.messages;
    }

    // What comes after the zero byte is never read: a text that compiles up to it gets no message.
    Compiled fine;
    Compile(fine, bytes("float4 p() : SV_TARGET { return 1; }\n\0 not HLSL"));
    EXPECT_EQ(fine.hr, S_OK) << fine.messages;
    EXPECT_EQ(fine.messages, "");
}

TEST(HlslDirect3DLeniency, AcceptedWithDirect3DsWarning)
{
    const char* conflict = "X3078: loop control variable conflicts with a previous declaration in the outer scope; "
                           "most recent declaration will be used";
    // Read after the loop: no code of Direct3D's, which has none for it.
    auto loop = [](const char* name) {
        return "'" + std::string(name) + "' : a for loop's variable used after the loop; declared before the loop";
    };
    const char* truncation = "X3206: implicit truncation of vector type";
    struct Case {
        const char* what;
        const char* source;
        const char* expect;   // file(line)
        std::string warning;  // its text
    } cases[] = {
        {"loop variable after the loop",
         "float4 p() : SV_TARGET\n{\n    for (int i = 0; i < 4; i++) {}\n    return i / 4.0;\n}\n", "memory(3)",
         loop("i")},
        {"after an attributed loop without braces",
         "float4 p() : SV_TARGET\n{\n    float s = 0;\n    [unroll] for (float x = 0; x < 2; x += 1)\n        s += x;\n"
         "    return s * x;\n}\n",
         "memory(4)", loop("x")},
        {"loop variable that declares again one of its block",
         "float4 p() : SV_TARGET\n{\n    int i = 1;\n    for (int i = 0; i < 4; i++) {}\n    return i / 4.0;\n}\n",
         "memory(4)", conflict},
        {"vector to a scalar parameter",
         "float Half(float x) { return x * 0.5; }\nfloat4 p() : SV_TARGET\n{\n    float3 v = 1;\n"
         "    return Half(v);\n}\n",
         "memory(5)", truncation},
        {"one of two parameters",
         "float Add(float a, int b) { return a + b; }\nfloat4 p() : SV_TARGET\n{\n"
         "    return Add(float2(0.25, 1), 0);\n}\n",
         "memory(4)", truncation},
        {"a parameter left to its default value",
         "float Add(float a, float b = 1) { return a + b; }\nfloat4 p() : SV_TARGET\n{\n"
         "    return Add(float2(0.25, 1));\n}\n",
         "memory(4)", truncation},
        {"overloads: the one that takes two arguments",
         "float3 widen(float2 a, float b) { return float3(a, b); }\nfloat3 widen(float a) { return float3(a, a, a); }\n"
         "float4 p(float4 pos : SV_Position) : SV_Target { float2 v = pos.xy / 64; return float4(widen(v, v), 1); }\n",
         "memory(3)", truncation},
        {"overloads: the one that takes one argument",
         "float F(float x) { return x; }\nfloat F(float x, float y) { return y; }\nfloat4 p() : SV_TARGET\n{\n"
         "    return F(float3(1, 2, 3));\n}\n",
         "memory(5)", truncation},
        {"overloads of one count that agree on the scalar parameter",
         "float F(float x, float2 y) { return x; }\nfloat F(float x, float3 y) { return y.z; }\nfloat F(float x) "
         "{ return x; }\nfloat4 p() : SV_TARGET\n{\n    return F(float2(1, 2), float3(1, 2, 3));\n}\n",
         "memory(6)", truncation},
        {"a prototype and its definition",
         "float Half(float x);\nfloat4 p() : SV_TARGET\n{\n    return Half(float2(1, 0));\n}\n"
         "float Half(float x) { return x * 0.5; }\n",
         "memory(4)", truncation},
    };
    for (const Case& c : cases) {
        Compiled r;
        Compile(r, c.source);
        EXPECT_EQ(r.hr, S_OK) << c.what << ":\n" << r.messages;
        std::string text = std::string(c.expect) + ": warning: " + c.warning;
        EXPECT_NE(r.messages.find(text), std::string::npos) << c.what << ":\n" << r.messages;
        EXPECT_EQ(r.messages.find("error"), std::string::npos) << c.what << ":\n" << r.messages;
        // That warning alone: no other code comes with it.
        EXPECT_EQ(r.messages, text + "\n") << c.what;

        // Warnings as errors: refused, as Direct3D does.
        Compiled strict;
        Compile(strict, c.source, nullptr, nullptr, D3DCOMPILE_WARNINGS_ARE_ERRORS);
        EXPECT_EQ(strict.hr, E_FAIL) << c.what;
    }

    // In an include, the warning names the include.
    MapInclude callback;
    callback.files["loop.hlsl"] = "float Count()\n{\n    for (int i = 0; i < 3; i++) {}\n    return i;\n}\n";
    Compiled included;
    Compile(included, "#include \"loop.hlsl\"\nfloat4 p() : SV_TARGET { return Count() / 3; }\n", &callback);
    EXPECT_EQ(included.hr, S_OK) << included.messages;
    EXPECT_NE(included.messages.find("loop.hlsl(3): warning: " + loop("i")), std::string::npos) << included.messages;

    // A function declared in an include, given a vector in the file that includes it.
    callback.files["half.hlsl"] = "float Half(float x) { return x * 0.5; }\n";
    Compiled across;
    Compile(across, "#include \"half.hlsl\"\nfloat4 p() : SV_TARGET\n{\n    return Half(float2(1, 0));\n}\n",
            &callback);
    EXPECT_EQ(across.hr, S_OK) << across.messages;
    EXPECT_NE(across.messages.find(std::string("memory(4): warning: ") + truncation), std::string::npos)
        << across.messages;
}

TEST(HlslDirect3DLeniency, LoopsThatGlslangReadsAsDirect3DDoesAreLeftAlone)
{
    struct Case {
        const char* what;
        const char* body;
    } cases[] = {
        {"not read after the loop", "for (int i = 0; i < 4; i++) { s += i; }\n    return s;"},
        {"declared again after the loop", "for (int i = 0; i < 4; i++) { s += i; }\n    S i;\n    i.v = s;\n"
                                          "    return i.v;"},
        {"a member of the same name", "S t;\n    t.i = 2;\n    for (int i = 0; i < 4; i++) {}\n    return t.i;"},
        {"a loop variable declared before", "int i;\n    for (i = 0; i < 4; i++) {}\n    return i;"},
        // Declared in the block in a form the rewrite does not follow: the
        // rewritten text fails, and the text as written is compiled.
        {"declared in a list before", "int a = 0, i = 1;\n    for (int i = 0; i < 4; i++) {}\n    return i + a;"},
    };
    for (const Case& c : cases) {
        Compiled r;
        Compile(r, std::string("struct S { float v; int i; };\nfloat4 p() : SV_TARGET\n{\n    float s = 0;\n    ") +
                       c.body + "\n}\n");
        EXPECT_EQ(r.hr, S_OK) << c.what << ":\n" << r.messages;
        EXPECT_TRUE(r.messages.empty()) << c.what << ":\n" << r.messages;
    }
}

TEST(HlslDirect3DLeniency, WhereNoRewriteIsSafeTheErrorSaysWhatToChange)
{
    struct Case {
        const char* what;
        const char* source;
        const char* expect;
    } cases[] = {
        {"loop as the body of an if",
         "float4 p() : SV_TARGET\n{\n    float s = 0;\n    if (s == 0)\n        for (int i = 0; i < 4; i++) s += 1;\n"
         "    return i;\n}\n",
         "memory(6): error: 'i' : unknown variable (a for loop's variable used after the loop: declare i before the "
         "loop)"},
        {"overloads of that count that differ in their scalar parameters",
         "float F(float x, float2 y) { return x; }\nfloat F(float2 x, float y) { return y; }\n"
         "float4 p() : SV_TARGET\n{\n    return F(float3(1, 2, 3), float3(1, 2, 3));\n}\n",
         "memory(5): error: 'F' : no matching overloaded function found (to pass one component of a vector to a "
         "scalar parameter, write .x)"},
    };
    for (const Case& c : cases) {
        Compiled r;
        Compile(r, c.source);
        EXPECT_EQ(r.hr, E_FAIL) << c.what;
        EXPECT_NE(r.messages.find(c.expect), std::string::npos) << c.what << ":\n" << r.messages;
    }
    // A name that is no loop's variable keeps glslang's plain error.
    Compiled plain;
    Compile(plain, "float4 p() : SV_TARGET { return nothing_here; }\n");
    EXPECT_NE(plain.messages.find("'nothing_here' : unknown variable"), std::string::npos) << plain.messages;
    EXPECT_EQ(plain.messages.find("before the loop"), std::string::npos) << plain.messages;
}

TEST(HlslTranslator, DiagnosticsAreTypedAndTheBlobTextIsMadeFromThem)
{
    MapInclude callback;
    callback.files["bad.hlsl"] = "float4 Shade()\n{\n  return oops;\n}\n";
    gfx::HlslRequest request;
    request.source = "#include \"bad.hlsl\"\nfloat4 p() : SV_TARGET { return Shade(); }\n";
    request.sourceName = "scene.hlsl";
    request.entry = "p";
    request.target = "ps_5_0";
    request.include = &callback;
    gfx::HlslResult result = gfx::TranslateHlsl(request);
    EXPECT_FALSE(result.ok);
    ASSERT_FALSE(result.diagnostics.empty());
    const gfx::Diagnostic& first = result.diagnostics.front();
    EXPECT_EQ(first.file, "bad.hlsl");
    EXPECT_EQ(first.line, 3u);
    EXPECT_EQ(first.severity, gfx::Severity::Error);
    EXPECT_EQ(first.text.find("oops"), 1u) << first.text;
    EXPECT_EQ(gfx::FormatDiagnostics({first}), "bad.hlsl(3): error: " + first.text + "\n");

    // A warning whose text says "error" is still a warning: the compilation stands.
    request.source = "#extension GL_error_feature : enable\nfloat4 p() : SV_TARGET { return 1; }\n";
    result = gfx::TranslateHlsl(request);
    EXPECT_TRUE(result.ok);
    ASSERT_FALSE(result.diagnostics.empty());
    EXPECT_EQ(result.diagnostics.front().severity, gfx::Severity::Warning);
    EXPECT_NE(result.diagnostics.front().text.find("error"), std::string::npos);
}

TEST(HlslTranslator, TheDriverCheckComesFromWhoeverRegisteredIt)
{
    gfx::HlslRequest request;
    request.source = "float4 p() : SV_TARGET\n{\n    return 1;\n}\n";
    request.sourceName = "checked.hlsl";
    request.entry = "p";
    request.target = "ps_5_0";
    ASSERT_TRUE(gfx::TranslateHlsl(request).ok);

    // A check that refuses: its log comes back as errors; the line from the
    // GLSL's line directives.
    int calls = 0;
    bool sawLines = false;
    int owner = 0;
    gfx::SetDriverCheck(&owner, [&](const gfx::ShaderInfo& info) {
        ++calls;
        sawLines |= info.glsl.find("#line 3") != std::string::npos;
        gfx::DriverVerdict v;
        v.checked = true;
        v.ok = false;
        v.log =
            info.glsl.find("#line") != std::string::npos ? "0:3(5): error: refused here" : "0:40(5): error: refused";
        return v;
    });
    gfx::HlslResult refused = gfx::TranslateHlsl(request);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(sawLines);
    EXPECT_NE(
        gfx::FormatDiagnostics(refused.diagnostics).find("checked.hlsl(3): error: GL: 0:3(5): error: refused here"),
        std::string::npos)
        << gfx::FormatDiagnostics(refused.diagnostics);

    // One that cannot run now leaves the verdict to the next; none left: no check.
    int later = 0;
    gfx::SetDriverCheck(&later, [](const gfx::ShaderInfo&) { return gfx::DriverVerdict{}; });
    EXPECT_FALSE(gfx::TranslateHlsl(request).ok);
    gfx::ClearDriverCheck(&owner);
    EXPECT_TRUE(gfx::TranslateHlsl(request).ok);
    gfx::ClearDriverCheck(&later);
    EXPECT_TRUE(gfx::TranslateHlsl(request).ok);
}
