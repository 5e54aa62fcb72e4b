// The size header that smalloc and hmalloc put in front of every block.
#ifndef TARNUTIL_MEMORY_SIZE_HEADER_H
#define TARNUTIL_MEMORY_SIZE_HEADER_H

#include <cstdint>
#include <cstring>

namespace tarnutil {
namespace detail {

// One unsigned 32-bit word; the caller's bytes start right after it.
constexpr unsigned int sizeHeaderBytes = 4;

// Largest request whose size plus header still fits in 32 bits.
constexpr unsigned int largestHeaderedRequest = 0xFFFFFFFFu - sizeHeaderBytes;

static_assert(sizeof(unsigned int) == 4, "sizes and headers are 32-bit words");

// Bytewise, so that no alignment is assumed of the block.
inline std::uint32_t ReadSizeHeader(const void* block) {
  std::uint32_t stored = 0;
  std::memcpy(&stored, block, sizeof stored);
  return stored;
}

inline void WriteSizeHeader(void* block, std::uint32_t stored) {
  std::memcpy(block, &stored, sizeof stored);
}

inline void* PastSizeHeader(void* block) {
  return static_cast<unsigned char*>(block) + sizeHeaderBytes;
}

inline void* BlockOfCallerPointer(void* p) {
  return static_cast<unsigned char*>(p) - sizeHeaderBytes;
}

}  // namespace detail
}  // namespace tarnutil

#endif  // TARNUTIL_MEMORY_SIZE_HEADER_H
