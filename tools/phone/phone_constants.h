#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace zephra::phone {

// Name the simulator announces in its hello unless told otherwise.
inline constexpr char DefaultPhoneName[] = "zephra-phone";
inline constexpr char DefaultHost[] = "127.0.0.1";
// App version the simulator announces; the PC refuses versions below its minimum.
inline constexpr std::uint32_t DefaultAppVersion = 1001000;
// Folder the phone shows its pictures under.
inline constexpr char PhonePictureFolder[] = "/DCIM/";

inline constexpr std::chrono::milliseconds DefaultKeepAliveInterval{3000};
inline constexpr std::chrono::milliseconds DefaultConnectTimeout{3000};
// How long the phone waits for the PC to answer its hello.
inline constexpr std::chrono::milliseconds DefaultHelloReplyTimeout{5000};
// A send that the PC does not take off the wire within this time closes the connection.
inline constexpr std::chrono::milliseconds SendTimeout{10000};
// Slice of the control reader's wait; Close() wakes it earlier.
inline constexpr std::chrono::milliseconds ReaderWaitSlice{1000};

// Largest payload the phone accepts; a larger announced length closes the connection.
inline constexpr std::uint32_t MaxReceivePayload = 16u * 1024 * 1024;
// Bytes taken from the socket per read.
inline constexpr std::size_t ReadBlockSize = 64 * 1024;

// Chunk answer status: the phone can't deliver the file.
inline constexpr std::uint32_t ChunkRefused = 1;
inline constexpr std::uint32_t ChunkDelivered = 0;

}  // namespace zephra::phone
