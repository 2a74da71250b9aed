#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zephra::fuzz {

// Connects to `port` on the loopback address, sends the `size` bytes at `data`, ends its
// sending half and reads until the server closes the connection. Returns what the server sent
// (empty when the connection failed). The connection is reset rather than left in TIME_WAIT,
// so that many thousands of exchanges a minute do not use up the local ports.
std::string Exchange(std::uint16_t port, const std::uint8_t* data, std::size_t size);

}  // namespace zephra::fuzz
