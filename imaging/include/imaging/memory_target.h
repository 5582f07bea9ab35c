// Memory targets named "MD:<decimal address>[:<size>]": the writers' output goes to memory at the address.
// Callers that know their buffer add its size, and every write is then bounded by it; old callers send the
// address alone and the output is unbounded, as it always was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace zc::imaging {

struct MemoryTarget {
  uintptr_t address = 0;
  size_t size = 0;  // 0: not given
  bool bounded() const { return size != 0; }
};

// Parses a name that starts with "MD:" (letters in either case): blanks after the colon are skipped, the
// address is the run of decimal digits up to the first other character (an empty run is 0), and ":<size>"
// right after the digits gives the size. Nothing for another name, for a number beyond the pointer or
// size range, or for a size that runs past the end of the address space.
std::optional<MemoryTarget> ParseMemoryTarget(const char* name);

// The bilevel encoder's end address not to pass (0 when unbounded), and the byte count a codec
// descriptor may write (the largest the descriptor's 32-bit field holds when unbounded, or when the size
// is larger).
uintptr_t OutputLimit(const MemoryTarget& target);
int32_t DescriptorMemorySize(const MemoryTarget& target);

}  // namespace zc::imaging
