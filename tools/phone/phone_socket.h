#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <QByteArray>

#include "phone/phone_constants.h"

namespace zephra::phone {

// One link message as received, header fields in host order.
struct LinkMessage {
  std::uint32_t magic = 0;
  std::uint32_t command = 0;
  QByteArray payload;
};

// One client TCP connection (TCP_NODELAY) with time-outs. A private I/O thread owns the socket:
// it reads continuously into a buffer (pausing while the buffer holds MaxReceivePayload bytes
// plus a header) and performs the writes handed to it, so Receive in one thread, Send in
// others and Close from anywhere do not race on the socket.
//
// Receive, ReceiveBytes and WaitClosed are meant for one reader thread at a time. Connect and
// the destructor must not run concurrently with any other call.
class PhoneSocket {
 public:
  PhoneSocket();
  ~PhoneSocket();
  PhoneSocket(const PhoneSocket&) = delete;
  PhoneSocket& operator=(const PhoneSocket&) = delete;

  // Resolves `host` and connects within `timeout`; an open connection is closed first. A name
  // lookup still running at the time-out is waited for (numeric addresses need none).
  // `localAddress`, when given, is the source address to connect from (tests play several
  // hosts on 127.0.0.0/8).
  bool Connect(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout,
               const std::string& localAddress = {});

  // Sends `bytes` as one write; concurrent Sends are serialised. False when the connection is
  // closed or the write failed; a write not done within SendTimeout closes the connection.
  bool Send(const QByteArray& bytes);

  // The next whole message: exactly the header, then exactly Length bytes. Nothing is consumed
  // on a time-out, so a later call still sees the whole message. nullopt on time-out, on close
  // (bytes buffered before the peer closed are still delivered), or when the announced length
  // exceeds MaxReceivePayload (the connection is then closed).
  std::optional<LinkMessage> Receive(std::chrono::milliseconds timeout);

  // Exactly `n` raw bytes; nothing consumed on time-out or close. `n` at most the buffer limit.
  std::optional<QByteArray> ReceiveBytes(std::size_t n, std::chrono::milliseconds timeout);

  // True when the connection is closed (by the peer or by Close) within `timeout`; bytes that
  // arrive meanwhile are discarded.
  bool WaitClosed(std::chrono::milliseconds timeout);

  // Closes the connection and stops the I/O thread; a pending Receive or Send returns at once.
  // Safe from any thread (but the I/O thread), any number of times.
  void Close();
  bool IsOpen() const;

 private:
  struct Channel;
  struct SendOp;
  using Clock = std::chrono::steady_clock;

  bool ConnectChannel(const std::string& host, std::uint16_t port,
                      std::chrono::milliseconds timeout, const std::string& localAddress);
  void StartIoThread();
  void RunIo();
  // I/O thread: read loop.
  void StartRead();
  void OnRead(bool failed, std::size_t count);
  void MarkClosed();
  // Waits until `n` bytes are buffered; false on time-out or close. `mutex_` held.
  bool WaitForBytes(std::unique_lock<std::mutex>& lock, std::size_t n, Clock::time_point deadline);
  // Removes the first `n` buffered bytes and resumes a paused read loop. `mutex_` held.
  QByteArray TakeBytes(std::size_t n);

  std::unique_ptr<Channel> channel_;
  std::mutex closeMutex_;  // serialises Close
  std::mutex sendMutex_;   // one write in flight at a time

  mutable std::mutex mutex_;  // guards the fields below
  std::condition_variable changed_;
  QByteArray buffer_;
  bool open_ = false;
  bool readPaused_ = false;
};

}  // namespace zephra::phone
