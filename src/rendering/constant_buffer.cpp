#include "rendering/constant_buffer.h"

bool CreateDynamicConstantBuffer(ID3D11Device* device, UINT byteWidth, ID3D11Buffer** buffer)
{
    *buffer = nullptr;
    if (!device)
        return false;
    D3D11_BUFFER_DESC desc{};
    desc.ByteWidth = byteWidth;
    desc.Usage = D3D11_USAGE_DYNAMIC;
    desc.BindFlags = D3D11_BIND_CONSTANT_BUFFER;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_WRITE;
    desc.MiscFlags = 0;
    desc.StructureByteStride = 0;
    if (FAILED(device->CreateBuffer(&desc, nullptr, buffer)) || !*buffer) {
        if (*buffer)
            (*buffer)->Release();
        *buffer = nullptr;
        return false;
    }
    return true;
}

void UploadDiscarding(ID3D11DeviceContext* context, ID3D11Buffer* buffer, const void* bytes, std::size_t size)
{
    if (!buffer)
        return;
    D3D11_MAPPED_SUBRESOURCE mapped{};
    if (FAILED(context->Map(buffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped)) || !mapped.pData)
        return;
    std::memcpy(mapped.pData, bytes, size);
    context->Unmap(buffer, 0);
}

FloatConstantBuffer::FloatConstantBuffer(u32 count_) : data(nullptr), count(0), buffer(nullptr)
{
    count = (count_ + 3) / 4 * 4;
    data = new float[count];
    for (u32 i = 0; i < count; ++i)
        data[i] = 31337.0f;  // what floats no parameter fills read as
}

FloatConstantBuffer::~FloatConstantBuffer()
{
    delete[] data;
    data = nullptr;
    Release();
}

bool FloatConstantBuffer::Create(ID3D11Device* device)
{
    if (buffer)
        return true;
    return CreateDynamicConstantBuffer(device, count * 4, &buffer);
}

void FloatConstantBuffer::Update(ID3D11DeviceContext* context)
{
    UploadDiscarding(context, buffer, data, static_cast<std::size_t>(count) * 4);
}

void FloatConstantBuffer::BindPS(ID3D11DeviceContext* context, u32 slot)
{
    context->PSSetConstantBuffers(slot, 1, &buffer);
}

void FloatConstantBuffer::Release()
{
    if (buffer) {
        buffer->Release();
        buffer = nullptr;
    }
}
