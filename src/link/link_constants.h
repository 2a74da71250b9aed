#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace zephra::link {

// Ports of the phone link on every local address.
inline constexpr std::uint16_t ControlPort = 22307;
inline constexpr std::uint16_t DataPort = 22308;
// How long stopping a link listener waits for its connection threads.
inline constexpr std::chrono::milliseconds LinkStopWait{3000};
// A connection that has not sent one whole message within this time is closed.
inline constexpr std::chrono::milliseconds FirstMessageDeadline{60000};
inline constexpr std::size_t MaxConnectionsPerPeer = 16;
inline constexpr std::size_t MaxConnectionsPerPort = 128;

// Direction marks in the header's first field.
inline constexpr std::uint32_t LinkMagicPhone = 0xD840;
inline constexpr std::uint32_t LinkMagicPc = 0x7815;

// Message codes.
inline constexpr std::uint32_t cmdHello = 1001;
inline constexpr std::uint32_t cmdCloseViewer = 1002;
inline constexpr std::uint32_t cmdShowList = 1003;
inline constexpr std::uint32_t cmdSlideShow = 1004;
inline constexpr std::uint32_t cmdViewStop = 1005;
inline constexpr std::uint32_t cmdChunkRequest = 1006;
inline constexpr std::uint32_t cmdChunkData = 1008;
inline constexpr std::uint32_t cmdKeepAlive = 1199;

// Hello reply status values.
inline constexpr std::uint32_t stOk = 0;
inline constexpr std::uint32_t stTooOld = 2;
inline constexpr std::uint32_t stBusy = 4;

inline constexpr std::uint32_t PcVersion = 1001000;
inline constexpr std::uint32_t MinPhoneVersion = 1000;
// cmdViewStop value that tells the phone the user closed the viewer.
inline constexpr std::uint32_t ViewStopClosedByUser = 1;

// Message layout sizes in bytes.
inline constexpr std::size_t LinkHeaderSize = 12;
inline constexpr std::size_t HelloLength = 24;
inline constexpr std::size_t HelloNameBytes = 20;
inline constexpr std::size_t HelloReplyLength = 8;
inline constexpr std::size_t ListHeadLength = 12;
inline constexpr std::size_t ViewStopLength = 4;
inline constexpr std::size_t ChunkRequestHeadLength = 12;
inline constexpr std::size_t ChunkHeadLength = 16;

// Files move in chunks of this many bytes.
inline constexpr std::uint32_t ChunkSize = 96000;
// A chunk request carries at most this many UTF-16 units of the picture name.
inline constexpr std::size_t MaxRequestNameUnits = 256;

// Transfer engine. The total a transfer starts from, before the phone has reported the size.
inline constexpr std::uint32_t UnknownTotal = 1u << 30;
// Largest file the PC accepts; a phone announcing more is treated as refusing the file.
inline constexpr std::uint32_t MaxTransferTotal = 256u * 1024 * 1024;
// How long the engine waits for a chunk before asking once more, then giving up.
inline constexpr std::chrono::milliseconds ChunkWait{3000};
// Request ids run from 0 up to this value and then start again at 0.
inline constexpr std::int32_t MaxRequestId = 20000000;
// Completion codes of a request.
inline constexpr std::int32_t RequestComplete = 100;
inline constexpr std::int32_t RequestFailed = -1;

// Payloads that are skipped are read and discarded in blocks of this size.
inline constexpr std::size_t DrainBlock = 1024;
// Largest payload the PC reads or drains; a larger announced length closes the connection.
inline constexpr std::uint32_t MaxPayloadLength = 8u * 1024 * 1024;

}  // namespace zephra::link
