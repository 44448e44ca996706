#include "rendering/constant_buffer.h"

#include <gtest/gtest.h>

#include "common/gpu_device.h"

namespace {
template <typename T>
bool AllZero(const T& payload)
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&payload);
    for (std::size_t i = 0; i < sizeof(T); ++i)
        if (bytes[i])
            return false;
    return true;
}

UINT ByteWidth(ID3D11Buffer* buffer)
{
    D3D11_BUFFER_DESC desc{};
    buffer->GetDesc(&desc);
    return desc.ByteWidth;
}
}  // namespace

TEST(ConstantBuffer, PayloadsStartAsZeros)
{
    EXPECT_TRUE(AllZero(BlurParams()));
    EXPECT_TRUE(AllZero(PostProcessorParams()));
    EXPECT_TRUE(AllZero(CombineProcessorParams()));
    EXPECT_TRUE(AllZero(TexgenProcessorParams()));
    ConstantBuffer<TexgenProcessorParams> cb;
    EXPECT_TRUE(AllZero(cb.data));
    EXPECT_EQ(cb.buffer, nullptr);
    EXPECT_FALSE(cb.created);
}

TEST(ConstantBuffer, BufferSizesHaveOneRegisterToSpare)
{
    REQUIRE_GPU();
    ConstantBuffer<BlurParams> blur;
    ConstantBuffer<PostProcessorParams> post;
    ConstantBuffer<CombineProcessorParams> combine;
    ConstantBuffer<TexgenProcessorParams> texgen;
    blur.Create(device);
    post.Create(device);
    combine.Create(device);
    texgen.Create(device);
    ASSERT_TRUE(blur.buffer && post.buffer && combine.buffer && texgen.buffer);
    EXPECT_TRUE(blur.created);
    EXPECT_EQ(ByteWidth(blur.buffer), 32u);
    EXPECT_EQ(ByteWidth(post.buffer), 96u);
    EXPECT_EQ(ByteWidth(combine.buffer), 96u);
    EXPECT_EQ(ByteWidth(texgen.buffer), 176u);
    D3D11_BUFFER_DESC desc{};
    texgen.buffer->GetDesc(&desc);
    EXPECT_EQ(desc.Usage, D3D11_USAGE_DYNAMIC);
    EXPECT_EQ(desc.BindFlags, static_cast<UINT>(D3D11_BIND_CONSTANT_BUFFER));
    EXPECT_EQ(desc.CPUAccessFlags, static_cast<UINT>(D3D11_CPU_ACCESS_WRITE));
}

TEST(FloatConstantBuffer, CountsRoundUpToWholeRegisters)
{
    struct Case {
        u32 asked, count;
    };
    const Case cases[] = {{0, 0}, {1, 4}, {4, 4}, {5, 8}, {8, 8}, {13, 16}};
    for (const Case& c : cases) {
        FloatConstantBuffer block(c.asked);
        EXPECT_EQ(block.count, c.count) << c.asked;
        for (u32 i = 0; i < block.count; ++i)
            EXPECT_EQ(block.data[i], 31337.0f);
    }
}

TEST(FloatConstantBuffer, CreateOnceReleaseOnce)
{
    REQUIRE_GPU();
    FloatConstantBuffer block(5);
    block.Create(device);
    ASSERT_NE(block.buffer, nullptr);
    EXPECT_EQ(ByteWidth(block.buffer), 32u);
    ID3D11Buffer* first = block.buffer;
    block.Create(device);
    EXPECT_EQ(block.buffer, first) << "a second Create keeps the buffer";

    first->AddRef();
    block.Release();
    EXPECT_EQ(block.buffer, nullptr);
    block.Release();
    EXPECT_EQ(first->Release(), 0u) << "released exactly once";

    FloatConstantBuffer none(0);
    none.Create(device);
    EXPECT_EQ(none.buffer, nullptr) << "a zero-byte buffer is refused";
    none.Update(context);
    none.Release();
}

TEST(ConstantBuffer, ASecondCreateReleasesTheFirstBuffer)
{
    REQUIRE_GPU();
    ConstantBuffer<BlurParams> cb;
    ASSERT_TRUE(cb.Create(device));
    ID3D11Buffer* first = cb.buffer;
    ASSERT_NE(first, nullptr);
    first->AddRef();
    ASSERT_TRUE(cb.Create(device));
    EXPECT_NE(cb.buffer, nullptr);
    EXPECT_EQ(first->Release(), 0u) << "the first buffer is released by the second Create";
}

// Direct3D's limit of 4096 registers holds; a refused buffer is said by the
// result and leaves no buffer behind.
TEST(ConstantBuffer, CreationFailuresAreReported)
{
    REQUIRE_GPU();
    struct Case {
        const char* what;
        u32 floats;
        bool created;
    } cases[] = {
        {"one register", 4, true},
        {"4096 registers", 4096 * 4, true},
        {"4097 registers", 4097 * 4, false},
        {"no bytes", 0, false},
    };
    for (const Case& c : cases) {
        FloatConstantBuffer block(c.floats);
        EXPECT_EQ(block.Create(device), c.created) << c.what;
        EXPECT_EQ(block.buffer != nullptr, c.created) << c.what;
        block.Update(context);  // nothing to upload into, nothing breaks
    }

    ConstantBuffer<TexgenProcessorParams> tooMany;
    EXPECT_FALSE(tooMany.Create(device, 1000)) << "176 000 bytes";
    EXPECT_EQ(tooMany.buffer, nullptr);
    ConstantBuffer<BlurParams> noDevice;
    EXPECT_FALSE(noDevice.Create(nullptr));
    EXPECT_EQ(noDevice.buffer, nullptr);
    FloatConstantBuffer noDeviceBlock(4);
    EXPECT_FALSE(noDeviceBlock.Create(nullptr));
}
