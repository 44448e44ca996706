// ID3DBlob over a byte vector.
#include "platform/gfx/hlsl/shader_blob.h"

#include <cstdint>
#include <vector>

#include "platform/gfx/com_object.h"

namespace gfx {

namespace {

class Blob final : public Object<ID3DBlob> {
public:
    explicit Blob(std::size_t size) : bytes_(size) {}
    Blob(const void* data, std::size_t size)
        : bytes_(static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + size)
    {
    }

    bool Matches(REFIID riid) override { return riid == IID_ID3DBlob; }
    LPVOID GetBufferPointer() override { return bytes_.empty() ? nullptr : bytes_.data(); }
    SIZE_T GetBufferSize() override { return bytes_.size(); }

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace

ID3DBlob* MakeBlob(std::size_t size)
{
    return new Blob(size);
}

ID3DBlob* MakeBlob(const void* data, std::size_t size)
{
    return new Blob(data, size);
}

ID3DBlob* MakeTextBlob(const std::string& text)
{
    return new Blob(text.c_str(), text.size() + 1);
}

}  // namespace gfx
