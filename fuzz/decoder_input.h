#pragma once

#include <QBuffer>
#include <QByteArray>
#include <cstddef>
#include <cstdint>

namespace zephra::fuzz {

// A read-only device over a fuzz input, without copying it.
class TInputDevice {
 public:
  TInputDevice(const std::uint8_t* data, std::size_t size)
      : FBytes(QByteArray::fromRawData(reinterpret_cast<const char*>(data),
                                       static_cast<qsizetype>(size))) {
    FBuffer.setBuffer(&FBytes);
    FBuffer.open(QIODevice::ReadOnly);
  }
  QBuffer& Device() { return FBuffer; }

 private:
  QByteArray FBytes;
  QBuffer FBuffer;
};

}  // namespace zephra::fuzz
