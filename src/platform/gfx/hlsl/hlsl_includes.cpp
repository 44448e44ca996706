// #include for glslang: through the application's ID3DInclude, or through
// files found beside the including file.
#include "platform/gfx/hlsl/hlsl_includes.h"

#include <algorithm>
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

bool TakePragmaOnce(std::string& text)
{
    bool found = false;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = std::min(text.find('\n', at), text.size());
        auto word = [&](std::size_t& i, const char* w) {
            while (i < end && (text[i] == ' ' || text[i] == '\t'))
                ++i;
            std::size_t n = std::strlen(w);
            if (text.compare(i, n, w) != 0)
                return false;
            i += n;
            return true;
        };
        std::size_t i = at;
        if (word(i, "#") && word(i, "pragma") && i < end && (text[i] == ' ' || text[i] == '\t') && word(i, "once")) {
            while (i < end && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r'))
                ++i;
            if (i == end || text.compare(i, 2, "//") == 0) {
                text.replace(at, end - at, std::string(end - at, ' '));
                found = true;
            }
        }
        at = end + 1;
    }
    return found;
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
    root_.owned = false;
    stack_.push_back(&root_);
    std::string text = sourceText;
    if (TakePragmaOnce(text))
        once_.insert(root_.identity);
}

IncludeBridge::~IncludeBridge()
{
    for (std::size_t i = replayed_; i < recorded_.size(); ++i)
        Close(recorded_[i].data, recorded_[i].fromCallback);
}

void IncludeBridge::Close(const void* data, bool fromCallback)
{
    if (!data)
        return;
    if (fromCallback)
        include_->Close(data);
    else
        delete[] static_cast<const char*>(data);
}

void IncludeBridge::Replay()
{
    recording_ = false;
    replayed_ = 0;
    refusals_.clear();
    stack_.resize(1);
    const bool rootOnce = once_.count(root_.identity) > 0;
    once_.clear();
    if (rootOnce)
        once_.insert(root_.identity);
}

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
    if (own->owned)
        Close(own->data, own->fromCallback);
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

IncludeBridge::Resolution IncludeBridge::Resolve(D3D_INCLUDE_TYPE type, const char* header, const Opened& parent)
{
    Resolution r;
    r.type = type;
    r.header = header;
    r.parent = parent.identity;
    if (!recording_ && replayed_ < recorded_.size()) {
        Resolution& next = recorded_[replayed_];
        if (next.type == type && next.header == r.header && next.parent == r.parent) {
            ++replayed_;
            return std::move(next);
        }
        // glslang reads otherwise than the pass did: the rest is not what it asks for.
        for (; replayed_ < recorded_.size(); ++replayed_)
            Close(recorded_[replayed_].data, recorded_[replayed_].fromCallback);
    }

    std::string name = header;
    r.fromCallback = include_ != D3D_COMPILE_STANDARD_FILE_INCLUDE;
    auto tooLarge = [&](const std::string& file) {
        r.refusal =
            "include larger than " + std::to_string(kMaxIncludeBytes) + " bytes: " + parent.name + " -> " + file;
    };
    if (r.fromCallback) {
        const void* data = nullptr;
        UINT bytes = 0;
        if (FAILED(include_->Open(type, header, parent.data, &data, &bytes)) || (!data && bytes)) {
        } else if (bytes > kMaxIncludeBytes) {
            include_->Close(data);
            tooLarge(name);
        } else {
            r.found = true;
            r.name = name;
            r.data = data;
            r.text.assign(static_cast<const char*>(data), bytes);
            r.identity = name + '\0' + r.text;
        }
    } else {
        // Beside the including file, then beside the files that include it,
        // as Direct3D's own handler looks.
        std::vector<std::string> candidates;
        if (!name.empty() && name[0] == '/')
            candidates.push_back(name);
        else
            for (std::size_t i = stack_.size(); i-- > 0;)
                candidates.push_back(FolderOf(stack_[i]->name) + name);
        for (const std::string& candidate : candidates) {
            r.text.clear();
            const FileRead read = ReadFile(candidate, r.text);
            if (read == FileRead::TooLarge) {
                tooLarge(candidate);
                break;
            }
            if (read == FileRead::Read) {
                r.found = true;
                r.name = candidate;
                r.identity = RealPath(candidate);
                char* copy = new char[r.text.size() + 1];
                std::memcpy(copy, r.text.c_str(), r.text.size() + 1);
                r.data = copy;
                break;
            }
        }
    }
    if (recording_)
        recorded_.push_back(r);  // it holds the data until glslang is handed it
    return r;
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

    Resolution r = Resolve(type, header, *parent);
    if (!r.refusal.empty())
        refusals_.push_back({includerName, header, r.refusal});
    if (!r.found)
        return nullptr;
    const bool owned = !recording_;
    std::string text = std::move(r.text);
    // A file with #pragma once is read once; the second time it is empty.
    if (once_.count(r.identity)) {
        text.clear();
    } else {
        for (std::size_t i = 0; i < stack_.size(); ++i)
            if (stack_[i]->identity == r.identity) {
                refusals_.push_back({includerName, header, "include cycle: " + Chain(i, r.name)});
                if (owned)
                    Close(r.data, r.fromCallback);
                return nullptr;
            }
        text.erase(0, ByteOrderMarkLength(text.data(), text.size()));
        if (TakePragmaOnce(text))
            once_.insert(r.identity);
        if (rewrite_)
            text = rewrite_(r.name, text);
    }
    auto* own = new Opened{r.name, r.identity, r.data, r.fromCallback, std::move(text), owned};
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
