// Bounds-checked big-endian reads from a received message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace horavex {

// Reads fields at fixed offsets; a field that does not fit inside the bytes reads as 0.
class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

  // The byte at `offset`, or 0 past the end.
  std::uint8_t U8(std::size_t offset) const { return offset < m_bytes.size() ? m_bytes[offset] : 0; }
  // The big-endian 16-bit number at `offset`.
  std::uint16_t U16(std::size_t offset) const {
    return static_cast<std::uint16_t>(U8(offset) << 8 | U8(offset + 1));
  }
  // The big-endian 32-bit number at `offset`.
  std::uint32_t U32(std::size_t offset) const {
    return std::uint32_t{U16(offset)} << 16 | U16(offset + 2);
  }

 private:
  std::span<const std::uint8_t> m_bytes;
};

}  // namespace horavex
