#pragma once
// The rendering library's own growable array: a block of plain values that
// starts with 32 zeroed slots and doubles its capacity whenever it is full.
// Elements are copied bitwise and never constructed or destroyed one by one.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

#include "rendering/math_types.h"

template <typename T>
class SimpleArray {
    static_assert(std::is_trivially_copyable_v<T>, "SimpleArray holds plain values only");

public:
    T* data;
    u32 size;
    u32 capacity;

    SimpleArray() : data(nullptr), size(0), capacity(0)
    {
        capacity = 32;
        size = 0;
        data = static_cast<T*>(std::calloc(capacity, sizeof(T)));
        if (!data)
            throw std::bad_alloc();
    }

    // The block is owned: an array is never copied, so copies are refused
    // rather than left to free the same block twice.
    SimpleArray(const SimpleArray&) = delete;
    SimpleArray& operator=(const SimpleArray&) = delete;

    ~SimpleArray()
    {
        std::free(data);
        data = nullptr;
    }

    void Add(const T& value)
    {
        // A copy first: value may be an element of this array, which growing frees.
        alignas(T) unsigned char copy[sizeof(T)];
        std::memcpy(copy, &value, sizeof(T));
        if (size == capacity)
            Reserve(capacity ? capacity * 2 : 32);  // an array reserved down to 0 starts over at 32
        std::memcpy(static_cast<void*>(&data[size]), copy, sizeof(T));
        ++size;
    }

    void Reserve(u32 n)
    {
        if (n < size)
            return;
        T* block = static_cast<T*>(std::malloc(static_cast<std::size_t>(n ? n : 1) * sizeof(T)));
        if (!block)
            throw std::bad_alloc();
        capacity = n;
        if (size)
            std::memcpy(static_cast<void*>(block), data, static_cast<std::size_t>(size) * sizeof(T));
        std::free(data);
        data = block;
    }

    T& operator[](u32 i) { return data[i]; }
    const T& operator[](u32 i) const { return data[i]; }

    u32 Size() const { return size; }

    void Clear() { size = 0; }
};
