// #include for glslang: through the application's ID3DInclude, or through
// files found beside the including file.
#include "platform/gfx/hlsl/hlsl_includes.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace gfx {

namespace {

std::string FolderOf(const std::string& path)
{
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

enum class FileRead { Missing, TooLarge, Read };

FileRead ReadFile(const std::string& path, std::string& text)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return FileRead::Missing;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec)
        return FileRead::Missing;
    if (size > kMaxIncludeBytes)
        return FileRead::TooLarge;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return FileRead::Missing;
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0 && text.size() <= kMaxIncludeBytes)
        text.append(chunk, got);
    std::fclose(f);
    // It grew while it was read.
    return text.size() > kMaxIncludeBytes ? FileRead::TooLarge : FileRead::Read;
}

std::string RealPath(const std::string& path)
{
    std::error_code ec;
    std::filesystem::path p = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : p.string();
}

}  // namespace

std::size_t ByteOrderMarkLength(const char* text, std::size_t size)
{
    return size >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
}

IncludeBridge::IncludeBridge(ID3DInclude* include, const std::string& sourceName, const std::string& sourceText,
                             Rewrite rewrite)
    : include_(include), rewrite_(std::move(rewrite))
{
    std::error_code ec;
    bool onDisk = include_ == D3D_COMPILE_STANDARD_FILE_INCLUDE && std::filesystem::is_regular_file(sourceName, ec);
    root_.name = sourceName;
    root_.identity = onDisk ? RealPath(sourceName) : sourceName + '\0' + sourceText;
    root_.data = nullptr;
    root_.fromCallback = false;
    stack_.push_back(&root_);
}

IncludeBridge::~IncludeBridge() = default;

IncludeBridge::IncludeResult* IncludeBridge::includeLocal(const char* header, const char* includer, size_t depth)
{
    return Open(D3D_INCLUDE_LOCAL, header, includer, depth);
}

IncludeBridge::IncludeResult* IncludeBridge::includeSystem(const char* header, const char* includer, size_t depth)
{
    return Open(D3D_INCLUDE_SYSTEM, header, includer, depth);
}

void IncludeBridge::releaseInclude(IncludeResult* result)
{
    if (!result)
        return;
    auto* own = static_cast<Opened*>(result->userData);
    if (own->fromCallback)
        include_->Close(own->data);
    else
        delete[] static_cast<const char*>(own->data);
    for (std::size_t i = stack_.size(); i-- > 1;)
        if (stack_[i] == own) {
            stack_.erase(stack_.begin() + std::ptrdiff_t(i));
            break;
        }
    delete own;
    delete result;
}

std::string IncludeBridge::Chain(std::size_t from, const std::string& last) const
{
    std::string chain;
    for (std::size_t i = from; i < stack_.size(); ++i)
        chain += stack_[i]->name + " -> ";
    return chain + last;
}

IncludeBridge::IncludeResult* IncludeBridge::Open(D3D_INCLUDE_TYPE type, const char* header, const char* includer,
                                                  size_t depth)
{
    if (!include_ || !header)
        return nullptr;  // glslang reports the include it could not process
    // glslang counts the compiled source as depth 1 and closes files in order;
    // anything above the includer's place is already closed.
    while (stack_.size() > 1 && stack_.size() > depth)
        stack_.pop_back();
    const Opened* parent = stack_.back();
    std::string includerName = includer ? includer : parent->name;

    if (stack_.size() >= kMaxIncludeDepth) {
        // The whole chain is long: its start and the include refused say where.
        refusals_.push_back({includerName, header,
                             "includes nested deeper than " + std::to_string(kMaxIncludeDepth) + ": " +
                                 stack_[0]->name + " -> " + stack_[1]->name + " -> ... -> " + parent->name + " -> " +
                                 header});
        return nullptr;
    }

    std::string name = header;
    std::string text;
    const void* data = nullptr;
    bool fromCallback = include_ != D3D_COMPILE_STANDARD_FILE_INCLUDE;
    std::string identity;
    auto tooLarge = [&](const std::string& file) {
        refusals_.push_back(
            {includerName, header,
             "include larger than " + std::to_string(kMaxIncludeBytes) + " bytes: " + parent->name + " -> " + file});
        return nullptr;
    };
    if (fromCallback) {
        UINT bytes = 0;
        if (FAILED(include_->Open(type, header, parent->data, &data, &bytes)) || (!data && bytes))
            return nullptr;
        if (bytes > kMaxIncludeBytes) {
            include_->Close(data);
            return tooLarge(name);
        }
        text.assign(static_cast<const char*>(data), bytes);
        identity = name + '\0' + text;
    } else {
        // Beside the including file, then beside the files that include it,
        // as Direct3D's own handler looks.
        std::string found;
        std::vector<std::string> candidates;
        if (!name.empty() && name[0] == '/')
            candidates.push_back(name);
        else
            for (std::size_t i = stack_.size(); i-- > 0;)
                candidates.push_back(FolderOf(stack_[i]->name) + name);
        for (const std::string& candidate : candidates) {
            text.clear();
            const FileRead read = ReadFile(candidate, text);
            if (read == FileRead::TooLarge)
                return tooLarge(candidate);
            if (read == FileRead::Read) {
                found = candidate;
                break;
            }
        }
        if (found.empty())
            return nullptr;
        name = found;
        identity = RealPath(found);
        char* copy = new char[text.size() + 1];
        std::memcpy(copy, text.c_str(), text.size() + 1);
        data = copy;
    }

    for (std::size_t i = 0; i < stack_.size(); ++i)
        if (stack_[i]->identity == identity) {
            refusals_.push_back({includerName, header, "include cycle: " + Chain(i, name)});
            if (fromCallback)
                include_->Close(data);
            else
                delete[] static_cast<const char*>(data);
            return nullptr;
        }

    std::size_t bom = ByteOrderMarkLength(text.data(), text.size());
    text.erase(0, bom);
    if (rewrite_)
        text = rewrite_(name, text);
    auto* own = new Opened{name, identity, data, fromCallback, std::move(text)};
    stack_.push_back(own);
    return new IncludeResult(own->name, own->text.c_str(), own->text.size(), own);
}

void IncludeBridge::Explain(Diagnostics& diagnostics) const
{
    std::vector<bool> explained(diagnostics.size(), false);
    for (const Refusal& r : refusals_) {
        std::string glslangText = "Could not process include directive for header name: " + r.header;
        for (std::size_t i = 0; i < diagnostics.size(); ++i) {
            Diagnostic& d = diagnostics[i];
            if (!explained[i] && d.severity == Severity::Error && d.file == r.includer &&
                d.text.find(glslangText) != std::string::npos) {
                d.text = r.why;
                explained[i] = true;
                break;
            }
        }
    }
}

}  // namespace gfx
