// Plain file access of the bilevel coder on POSIX descriptors; -1 stands for memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zc::codec {

// Creates (truncating) the file for reading and writing and positions it at `offset`;
// the descriptor, or -1.
int funcFaxOpenFile(const char* name, int64_t offset);
// Bytes written, -1 on error.
int64_t funcFaxWriteFile(int handle, const void* data, size_t count);
// 0 for handle -1 (nothing closed), else the result of close.
int funcFaxCloseFile(int handle);
void funcFaxSeekFile(int handle, int64_t offset);

}  // namespace zc::codec
