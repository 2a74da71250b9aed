#pragma once

#include <cstdint>
#include <cstring>

namespace zephra::qrcode {

// Writes bit fields, most significant bit first, into a caller's byte buffer that the writer
// zeroes on Reset. The caller checks the room before each write.
class TBitWriter {
 public:
  // `buffer` holds `capacityBytes` bytes and outlives the writer's use.
  void Reset(std::uint8_t* buffer, int capacityBytes) {
    buffer_ = buffer;
    capacityBits_ = capacityBytes * 8;
    bits_ = 0;
    std::memset(buffer, 0, static_cast<std::size_t>(capacityBytes));
  }

  // Appends the low `count` bits of `value` (count in 0..24).
  void Write(std::uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
      if ((value >> i) & 1u) buffer_[bits_ >> 3] |= static_cast<std::uint8_t>(0x80u >> (bits_ & 7));
      ++bits_;
    }
  }
  // Moves on by `count` zero bits.
  void Skip(int count) { bits_ += count; }

  int Bits() const { return bits_; }
  int Remaining() const { return capacityBits_ - bits_; }

 private:
  std::uint8_t* buffer_ = nullptr;
  int capacityBits_ = 0;
  int bits_ = 0;
};

}  // namespace zephra::qrcode
