#include "rendering/simple_array.h"

#include <gtest/gtest.h>

#include "platform/gfx/d3d11.h"
#include "rendering/math_types.h"

TEST(SimpleArray, StartsWithThirtyTwoZeroedSlots)
{
    SimpleArray<void*> array;
    EXPECT_EQ(array.Size(), 0u);
    EXPECT_EQ(array.capacity, 32u);
    for (u32 i = 0; i < 32; ++i)
        EXPECT_EQ(array[i], nullptr);
}

TEST(SimpleArray, DoublesWhenFullAndKeepsTheOrder)
{
    SimpleArray<u32> array;
    for (u32 i = 0; i < 32; ++i)
        array.Add(i * 3);
    EXPECT_EQ(array.capacity, 32u);
    array.Add(96);
    EXPECT_EQ(array.capacity, 64u);
    EXPECT_EQ(array.Size(), 33u);
    for (u32 i = 0; i < 33; ++i)
        EXPECT_EQ(array[i], i * 3);
    for (u32 i = 33; i < 65; ++i)
        array.Add(i * 3);
    EXPECT_EQ(array.capacity, 128u);
    EXPECT_EQ(array[64], 192u);
}

TEST(SimpleArray, ClearKeepsTheBlock)
{
    SimpleArray<u32> array;
    for (u32 i = 0; i < 40; ++i)
        array.Add(i + 1);
    array.Clear();
    EXPECT_EQ(array.Size(), 0u);
    EXPECT_EQ(array.capacity, 64u);
    array.Add(77);
    EXPECT_EQ(array[0], 77u);
    EXPECT_EQ(array[1], 2u) << "the stored bytes stay";
}

TEST(SimpleArray, ReserveNeverDropsElements)
{
    SimpleArray<u32> array;
    for (u32 i = 0; i < 5; ++i)
        array.Add(i);
    array.Reserve(3);
    EXPECT_EQ(array.capacity, 32u) << "below the size: nothing changes";
    array.Reserve(5);
    EXPECT_EQ(array.capacity, 5u);
    for (u32 i = 0; i < 5; ++i)
        EXPECT_EQ(array[i], i);
    array.Add(5);
    EXPECT_EQ(array.capacity, 10u);
    EXPECT_EQ(array[5], 5u);

    // Adding an element of the full array itself: the value survives the growth.
    array.Reserve(array.Size());
    array.Add(array[2]);
    EXPECT_EQ(array.capacity, 12u);
    EXPECT_EQ(array[6], 2u);

    SimpleArray<u32> empty;
    empty.Reserve(0);
    empty.Add(9);  // an array reserved down to nothing still grows
    EXPECT_EQ(empty[0], 9u);
    EXPECT_GE(empty.capacity, 1u);
}

TEST(SimpleArray, CopiesInputElementsBitwise)
{
    static const char kName[] = "texcoord";
    SimpleArray<D3D11_INPUT_ELEMENT_DESC> array;
    const D3D11_INPUT_ELEMENT_DESC element{
        kName, 3, DXGI_FORMAT_R32G32_FLOAT, 2, D3D11_APPEND_ALIGNED_ELEMENT, D3D11_INPUT_PER_INSTANCE_DATA, 7};
    array.Add(element);
    EXPECT_EQ(array[0].SemanticName, kName);
    EXPECT_EQ(array[0].SemanticIndex, 3u);
    EXPECT_EQ(array[0].Format, DXGI_FORMAT_R32G32_FLOAT);
    EXPECT_EQ(array[0].InputSlot, 2u);
    EXPECT_EQ(array[0].AlignedByteOffset, D3D11_APPEND_ALIGNED_ELEMENT);
    EXPECT_EQ(array[0].InputSlotClass, D3D11_INPUT_PER_INSTANCE_DATA);
    EXPECT_EQ(array[0].InstanceDataStepRate, 7u);
}

TEST(MathTypes, LayoutOfTheVectorsAndTheMatrix)
{
    const float values[6] = {1, 2, 3, 4, 5, 6};
    const Float4 v(values + 1);
    EXPECT_EQ(v.x, 2);
    EXPECT_EQ(v.w, 5);

    Matrix4 m;
    for (u32 i = 0; i < 16; ++i)
        m.m[i] = static_cast<float>(i);
    EXPECT_EQ(m(2, 3), 11.0f);
    EXPECT_EQ(&m(2, 3), &m.m[11]);
    EXPECT_EQ(m(3, 0), 12.0f);

    Float3 p(7, 8, 9);
    float* f = p;
    EXPECT_EQ(f, &p.x);
    EXPECT_EQ(f[2], 9.0f);
}
