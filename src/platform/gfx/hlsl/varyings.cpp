// Varying locations by semantic, shared by every shader of the process.
#include "platform/gfx/hlsl/varyings.h"

#include <map>
#include <mutex>

namespace gfx {

std::uint32_t VaryingLocation(const std::string& semantic, std::uint32_t index)
{
    // Fixed places for the usual names, so that stages compiled apart meet;
    // any other name gets the next free place, the same for the whole process.
    if (semantic == "TEXCOORD" && index < 16)
        return index;
    if (semantic == "COLOR" && index < 4)
        return 16 + index;
    static std::mutex mutex;
    static std::map<std::string, std::uint32_t> others;
    std::lock_guard<std::mutex> lock(mutex);
    std::string key = semantic + "#" + std::to_string(index);
    auto it = others.find(key);
    if (it != others.end())
        return it->second;
    std::uint32_t location = 20 + std::uint32_t(others.size());
    others.emplace(key, location);
    return location;
}

}  // namespace gfx
