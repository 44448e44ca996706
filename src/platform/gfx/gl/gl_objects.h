#pragma once
// Inside the gfx layer: the GL objects behind the device's children (resources,
// views, states, shaders, input layouts).
#include "platform/gfx/gl/resources.h"
#include "platform/gfx/gl/shaders.h"
#include "platform/gfx/gl/states.h"
#include "platform/gfx/gl/views.h"
