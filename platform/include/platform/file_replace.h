// Replacing a file's contents so that no reader ever sees half of it: the bytes go to a temporary file
// of a unique name beside the target, which is then renamed over it. Writers that replace the same file
// at once never share their temporary file; the last rename wins whole.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace plat {

// True when `path` now holds exactly `size` bytes from `data`, with permission bits `mode`; on failure
// the target is untouched and the temporary file removed.
bool ReplaceFileContents(const std::string& path, const void* data, size_t size, mode_t mode);

}  // namespace plat
