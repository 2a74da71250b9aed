#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include <boost/asio/ip/tcp.hpp>

namespace zephra::net {

// One accepted TCP connection. Its own thread reads from it with blocking exact-count reads;
// any thread may write to it (writes are serialised, each one is sent whole) or close it.
class TcpConnection : public std::enable_shared_from_this<TcpConnection> {
 public:
  TcpConnection(boost::asio::ip::tcp::socket socket, std::string peerAddress);
  ~TcpConnection();
  TcpConnection(const TcpConnection&) = delete;
  TcpConnection& operator=(const TcpConnection&) = delete;

  // Reads exactly `count` bytes. False when the connection closed or failed first; the
  // connection is then closed.
  bool ReadExact(void* buffer, std::size_t count);

  // Reads what has arrived, waiting for at least one byte: between 1 and `capacity` bytes
  // (`capacity` > 0). 0 when the connection closed or failed first; the connection is then
  // closed. For protocols whose message ends at a marker rather than after a known length.
  std::size_t ReadSome(void* buffer, std::size_t capacity);

  // One blocking write of `count` bytes. A message must be handed over in one piece: a message
  // split across writes stalls on delayed acknowledgements. False on failure (the message is lost).
  bool Write(const void* data, std::size_t count);

  // Ends the connection: a blocked read or write in another thread returns at once with failure.
  // Safe from any thread, any number of times.
  void Close();
  bool Connected() const { return !closed_.load(); }

  // The peer's IPv4 address as dotted text ("" when it could not be read).
  const std::string& PeerAddress() const { return peerAddress_; }

  // True once the server asked this connection's thread to end.
  bool StopRequested() const { return stopRequested_.load(); }
  void RequestStop() { stopRequested_.store(true); }

  // Marks that a whole first message (or request header) has arrived: the connection is then
  // exempt from the server's first-message deadline.
  void MarkSpoken() { spoken_.store(true); }
  bool Spoken() const { return spoken_.load(); }

  // Per-connection data of the protocol layer (for the link: its peer record).
  void SetUserData(std::shared_ptr<void> data);
  template <class T>
  std::shared_ptr<T> UserData() const {
    return std::static_pointer_cast<T>(LoadUserData());
  }

 private:
  std::shared_ptr<void> LoadUserData() const;

  boost::asio::ip::tcp::socket socket_;
  const std::string peerAddress_;
  std::mutex writeMutex_;
  mutable std::mutex dataMutex_;
  std::shared_ptr<void> userData_;
  std::atomic<bool> closed_{false};
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> spoken_{false};
};

}  // namespace zephra::net
