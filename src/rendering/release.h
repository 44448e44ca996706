#pragma once
// Giving back raw interface pointers: the reference goes and the field is
// cleared, so that a second call releases nothing.
#include "rendering/simple_array.h"

template <typename T>
void ReleaseOnce(T*& object)
{
    if (object)
        object->Release();
    object = nullptr;
}

// Every element, then the array is emptied.
template <typename T>
void ReleaseAll(SimpleArray<T*>& objects)
{
    for (u32 i = 0; i < objects.Size(); ++i)
        ReleaseOnce(objects[i]);
    objects.Clear();
}
