#pragma once
// Dynamic constant buffers fed from the CPU: ConstantBuffer<T> mirrors one
// fixed payload, FloatConstantBuffer a float array sized at run time. Both
// upload their whole payload with a discarding map.
#include <cstddef>
#include <cstring>

#include "platform/gfx/d3d11.h"
#include "rendering/math_types.h"

// Payloads: HLSL packing, byte for byte (registers c0, c1, ... of 16 bytes).
struct BlurParams {
    Float2 blursamples;  // half width in samples: x horizontal, y vertical
    Float2 blursize;     // distance between samples in output pixels
    BlurParams() { std::memset(static_cast<void*>(this), 0, sizeof(*this)); }
};

struct PostProcessorParams {
    Float4 values;
    Matrix4 matrix;
    float frameTime;  // the scene's running time, c5.x
    PostProcessorParams() { std::memset(static_cast<void*>(this), 0, sizeof(*this)); }
};

// The combine pass reads the same block.
using CombineProcessorParams = PostProcessorParams;

struct TexgenProcessorParams {
    Float4 data1;  // the octave generator's (octaves, first octave, blend, 1)
    Float4 data2;
    Float4 data3;
    Float4 data4;
    Float4 data5;
    Float4 data6;
    Float4 data7;
    Float4 data8;
    Float4 data9;
    Float4 data10;
    TexgenProcessorParams() { std::memset(static_cast<void*>(this), 0, sizeof(*this)); }
};

static_assert(sizeof(BlurParams) == 16);
static_assert(sizeof(PostProcessorParams) == 84 && offsetof(PostProcessorParams, matrix) == 16 &&
              offsetof(PostProcessorParams, frameTime) == 80);
static_assert(sizeof(TexgenProcessorParams) == 160 && offsetof(TexgenProcessorParams, data10) == 144);

// A dynamic, CPU-written constant buffer of byteWidth bytes into *buffer;
// false, with *buffer null, when the device refuses it (more than 4096
// registers, no bytes, no device).
bool CreateDynamicConstantBuffer(ID3D11Device* device, UINT byteWidth, ID3D11Buffer** buffer);
// Maps buffer with discard and copies size bytes into it; nothing without a
// buffer or when the map is refused.
void UploadDiscarding(ID3D11DeviceContext* context, ID3D11Buffer* buffer, const void* bytes, std::size_t size);

template <typename T>
class ConstantBuffer {
public:
    T data;
    ID3D11Buffer* buffer;
    bool created;

    ConstantBuffer() : buffer(nullptr), created(false) { std::memset(static_cast<void*>(&data), 0, sizeof(T)); }
    ConstantBuffer(const ConstantBuffer&) = delete;
    ConstantBuffer& operator=(const ConstantBuffer&) = delete;
    ~ConstantBuffer()
    {
        if (buffer)
            buffer->Release();
    }

    bool Create(ID3D11Device* device) { return Create(device, 1); }

    // One register more than a payload that is already a multiple of 16 needs.
    // A second call replaces the buffer of the first, which is released. False
    // when the device refuses the buffer; there is none then.
    bool Create(ID3D11Device* device, u32 count)
    {
        if (buffer) {
            buffer->Release();
            buffer = nullptr;
        }
        created = true;
        return CreateDynamicConstantBuffer(device, static_cast<UINT>(count * (sizeof(T) / 16 + 1) * 16), &buffer);
    }

    void Update(ID3D11DeviceContext* context) { UploadDiscarding(context, buffer, &data, sizeof(T)); }

    void BindPS(ID3D11DeviceContext* context, u32 slot) { context->PSSetConstantBuffers(slot, 1, &buffer); }
};

class FloatConstantBuffer {
public:
    float* data;
    u32 count;  // a multiple of 4
    ID3D11Buffer* buffer;

    explicit FloatConstantBuffer(u32 count);
    FloatConstantBuffer(const FloatConstantBuffer&) = delete;
    FloatConstantBuffer& operator=(const FloatConstantBuffer&) = delete;
    ~FloatConstantBuffer();

    // Makes the buffer when there is none; true when there is one afterwards.
    bool Create(ID3D11Device* device);
    void Update(ID3D11DeviceContext* context);
    void BindPS(ID3D11DeviceContext* context, u32 slot);
    void Release();
};
