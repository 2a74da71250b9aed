#include "phone/phone_socket.h"

#include <array>
#include <optional>
#include <thread>

#include <boost/asio/connect.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>

#include "link/link_message.h"

namespace zephra::phone {

namespace asio = boost::asio;
using asio::ip::tcp;
using boost::system::error_code;

namespace {

// The read loop pauses once this many bytes wait unread: one largest message fits.
constexpr std::size_t BufferLimit = link::LinkHeaderSize + MaxReceivePayload;

}  // namespace

struct PhoneSocket::Channel {
  asio::io_context io;
  tcp::socket socket{io};
  std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work;
  std::array<char, ReadBlockSize> block{};
  std::thread thread;
};

struct PhoneSocket::SendOp {
  QByteArray bytes;
  bool done = false;  // guarded by mutex_
  bool ok = false;
};

PhoneSocket::PhoneSocket() = default;

PhoneSocket::~PhoneSocket() { Close(); }

bool PhoneSocket::Connect(const std::string& host, std::uint16_t port,
                          std::chrono::milliseconds timeout, const std::string& localAddress) {
  Close();
  channel_ = std::make_unique<Channel>();
  if (!ConnectChannel(host, port, timeout, localAddress)) return false;
  {
    std::lock_guard lock(mutex_);
    open_ = true;
  }
  StartIoThread();
  return true;
}

bool PhoneSocket::ConnectChannel(const std::string& host, std::uint16_t port,
                                 std::chrono::milliseconds timeout,
                                 const std::string& localAddress) {
  Channel& ch = *channel_;
  tcp::resolver resolver(ch.io);
  std::optional<error_code> outcome;
  const auto onConnected = [&](const error_code& ec, const tcp::endpoint&) { outcome = ec; };
  const auto onResolved = [&](const error_code& ec, const tcp::resolver::results_type& endpoints) {
    if (ec) {
      outcome = ec;
    } else if (localAddress.empty()) {
      asio::async_connect(ch.socket, endpoints, onConnected);
    } else {
      // A fixed source address: one loopback host can then play several phones.
      const tcp::endpoint target = *endpoints.begin();
      error_code bindError;
      ch.socket.open(target.protocol(), bindError);
      if (!bindError) ch.socket.bind({asio::ip::make_address(localAddress, bindError), 0}, bindError);
      if (bindError) {
        outcome = bindError;
        return;
      }
      ch.socket.async_connect(target, [&](const error_code& e) { outcome = e; });
    }
  };
  resolver.async_resolve(host, std::to_string(port), onResolved);
  ch.io.run_for(timeout);
  if (outcome && !*outcome) {
    error_code ignored;
    ch.socket.set_option(tcp::no_delay(true), ignored);
    return true;
  }
  // Abort what is still pending and let its handlers finish while the locals exist.
  resolver.cancel();
  error_code ignored;
  ch.socket.close(ignored);
  ch.io.restart();
  ch.io.run();
  return false;
}

void PhoneSocket::StartIoThread() {
  Channel& ch = *channel_;
  ch.io.restart();
  ch.work.emplace(ch.io.get_executor());
  StartRead();
  ch.thread = std::thread([this] { RunIo(); });
}

void PhoneSocket::RunIo() {
  try {
    channel_->io.run();
  } catch (...) {
    // Whatever went wrong, the connection counts as closed from here on.
  }
  MarkClosed();
}

void PhoneSocket::StartRead() {
  Channel& ch = *channel_;
  ch.socket.async_read_some(asio::buffer(ch.block), [this](const error_code& ec, std::size_t n) {
    OnRead(static_cast<bool>(ec), n);
  });
}

void PhoneSocket::OnRead(bool failed, std::size_t count) {
  bool full = false;
  {
    std::lock_guard lock(mutex_);
    buffer_.append(channel_->block.data(), static_cast<qsizetype>(count));
    full = static_cast<std::size_t>(buffer_.size()) >= BufferLimit;
    readPaused_ = full;
  }
  changed_.notify_all();
  if (failed) {
    MarkClosed();
  } else if (!full) {
    StartRead();
  }
}

void PhoneSocket::MarkClosed() {
  {
    std::lock_guard lock(mutex_);
    open_ = false;
  }
  changed_.notify_all();
}

bool PhoneSocket::Send(const QByteArray& bytes) {
  std::lock_guard sendLock(sendMutex_);
  auto op = std::make_shared<SendOp>();
  op->bytes = bytes;
  {
    std::lock_guard lock(mutex_);
    if (!open_) return false;
  }
  asio::post(channel_->io, [this, op] {
    asio::async_write(channel_->socket, asio::buffer(op->bytes.constData(), op->bytes.size()),
                      [this, op](const error_code& ec, std::size_t) {
                        {
                          std::lock_guard lock(mutex_);
                          op->done = true;
                          op->ok = !ec;
                        }
                        changed_.notify_all();
                        if (ec) MarkClosed();
                      });
  });
  std::unique_lock lock(mutex_);
  if (changed_.wait_for(lock, SendTimeout, [&] { return op->done || !open_; })) {
    return op->done && op->ok;
  }
  lock.unlock();
  Close();
  return false;
}

std::optional<LinkMessage> PhoneSocket::Receive(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::unique_lock lock(mutex_);
  if (!WaitForBytes(lock, link::LinkHeaderSize, deadline)) return std::nullopt;
  const auto header =
      link::DecodeHeader(reinterpret_cast<const unsigned char*>(buffer_.constData()));
  if (header.Length > MaxReceivePayload) {
    lock.unlock();
    Close();
    return std::nullopt;
  }
  const std::size_t total = link::LinkHeaderSize + header.Length;
  if (!WaitForBytes(lock, total, deadline)) return std::nullopt;
  const QByteArray bytes = TakeBytes(total);
  return LinkMessage{header.Magic, header.Command,
                     bytes.sliced(static_cast<qsizetype>(link::LinkHeaderSize))};
}

std::optional<QByteArray> PhoneSocket::ReceiveBytes(std::size_t n,
                                                    std::chrono::milliseconds timeout) {
  if (n > BufferLimit) return std::nullopt;
  const auto deadline = Clock::now() + timeout;
  std::unique_lock lock(mutex_);
  if (!WaitForBytes(lock, n, deadline)) return std::nullopt;
  return TakeBytes(n);
}

bool PhoneSocket::WaitClosed(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::unique_lock lock(mutex_);
  for (;;) {
    TakeBytes(static_cast<std::size_t>(buffer_.size()));
    if (!open_) return true;
    if (!changed_.wait_until(lock, deadline, [&] { return !open_ || !buffer_.isEmpty(); })) {
      return false;
    }
  }
}

bool PhoneSocket::WaitForBytes(std::unique_lock<std::mutex>& lock, std::size_t n,
                               Clock::time_point deadline) {
  const auto enough = [&] { return static_cast<std::size_t>(buffer_.size()) >= n; };
  changed_.wait_until(lock, deadline, [&] { return enough() || !open_; });
  return enough();
}

QByteArray PhoneSocket::TakeBytes(std::size_t n) {
  const auto count = static_cast<qsizetype>(n);
  QByteArray bytes = buffer_.first(count);
  buffer_.remove(0, count);
  if (readPaused_ && open_ && static_cast<std::size_t>(buffer_.size()) < BufferLimit) {
    readPaused_ = false;
    asio::post(channel_->io, [this] { StartRead(); });
  }
  return bytes;
}

void PhoneSocket::Close() {
  std::lock_guard closeLock(closeMutex_);
  {
    std::lock_guard lock(mutex_);
    open_ = false;
    buffer_.clear();
    readPaused_ = false;
  }
  changed_.notify_all();
  if (!channel_) return;
  channel_->io.stop();
  if (channel_->thread.joinable()) channel_->thread.join();
  error_code ignored;
  channel_->socket.close(ignored);
}

bool PhoneSocket::IsOpen() const {
  std::lock_guard lock(mutex_);
  return open_;
}

}  // namespace zephra::phone
