#pragma once
// The intro's own look at a shader's #include lines: which of the files they
// name cannot be opened now, so that a shader that failed for want of one is
// compiled again once it exists.
#include <string>
#include <vector>

// The names, as written, of the files that the source's #include lines ask
// for, directly or through files it includes, that cannot be opened now (as
// the include handler opens them: relative to the working directory). Each
// file is read once however it is named, so include cycles end; the walk
// stops after kMaxIncludeFiles files or kMaxIncludeBytes bytes read.
std::vector<std::string> MissingIncludes(const std::string& source);

// Whether the include handler could open the name now: a regular file.
bool IncludeFileOpens(const std::string& name);

inline constexpr std::size_t kMaxIncludeFiles = 1024;
inline constexpr std::size_t kMaxIncludeBytes = 64u * 1024 * 1024;
