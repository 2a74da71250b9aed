#include "wifi_like_relay.h"

#include <algorithm>
#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <deque>
#include <list>
#include <vector>

namespace zephra::bench {
namespace {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using ErrorCode = boost::system::error_code;

// The most one read takes in: the grain at which the link is paced.
constexpr std::size_t SegmentBytes = 16 * 1024;

class TConnection;

// One direction of a connection: reads what the sender sends, holds each segment until the
// modelled link has delivered it, then writes it on. Runs on the relay's thread only.
class TLeg {
 public:
  TLeg(TConnection& owner, tcp::socket& in, tcp::socket& out, TWifiLikeLink link)
      : owner_(owner), in_(in), out_(out), link_(link), timer_(in.get_executor()) {}

  void Start() { Read(); }
  void Cancel() { timer_.cancel(); }

 private:
  struct TSegment {
    std::vector<char> bytes;
    Clock::time_point due;  // when its last byte has arrived at the far end
  };

  void Read();
  void Queue(std::size_t count);
  void WriteNext();
  Clock::duration CarryTime(std::size_t count) const {
    const double nanoseconds = static_cast<double>(count) * 8e3 / link_.megabitsPerSecond;
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::nano>(nanoseconds));
  }

  TConnection& owner_;
  tcp::socket& in_;
  tcp::socket& out_;
  const TWifiLikeLink link_;
  asio::steady_timer timer_;
  std::vector<char> buffer_ = std::vector<char>(SegmentBytes);
  std::deque<TSegment> segments_;
  std::size_t queued_ = 0;        // bytes in `segments_`
  Clock::time_point linkFree_{};  // when the link has carried everything queued so far
  bool reading_ = false;
  bool writing_ = false;  // a segment waits for its time or is being written
  bool ended_ = false;    // the sender closed its side
};

// A relayed connection: the accepted socket, the one to the target and a leg each way. Its
// handlers hold it alive; it goes when the last of them has run.
class TConnection : public std::enable_shared_from_this<TConnection> {
 public:
  TConnection(asio::io_context& io, tcp::socket accepted, TWifiLikeLink link)
      : near_(std::move(accepted)),
        far_(io),
        toFar_(*this, near_, far_, link),
        toNear_(*this, far_, near_, link) {}

  void Start(std::uint16_t targetPort) {
    const tcp::endpoint target(asio::ip::address_v4::loopback(), targetPort);
    far_.async_connect(target, [self = shared_from_this()](const ErrorCode& error) {
      if (error) return self->Close();
      ErrorCode ignored;
      self->near_.set_option(tcp::no_delay(true), ignored);
      self->far_.set_option(tcp::no_delay(true), ignored);
      self->toFar_.Start();
      self->toNear_.Start();
    });
  }
  void Close() {
    ErrorCode ignored;
    near_.close(ignored);
    far_.close(ignored);
    toFar_.Cancel();
    toNear_.Cancel();
  }
  std::shared_ptr<TConnection> Self() { return shared_from_this(); }

 private:
  tcp::socket near_;
  tcp::socket far_;
  TLeg toFar_;
  TLeg toNear_;
};

void TLeg::Read() {
  if (queued_ >= TWifiLikeRelay::QueueBytes) return;  // WriteNext reads again once there is room
  reading_ = true;
  in_.async_read_some(asio::buffer(buffer_),
                      [this, self = owner_.Self()](const ErrorCode& error, std::size_t count) {
                        reading_ = false;
                        if (error == asio::error::eof) {
                          ended_ = true;
                          if (!writing_) WriteNext();
                          return;
                        }
                        if (error) return owner_.Close();
                        Queue(count);
                        Read();
                      });
}

void TLeg::Queue(std::size_t count) {
  // The link carries one segment after another at its rate, from the moment each came in; each
  // arrives the one-way delay after its last bit left.
  linkFree_ = std::max(linkFree_, Clock::now()) + CarryTime(count);
  segments_.push_back(
      {std::vector<char>(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(count)),
       linkFree_ + link_.oneWayDelay});
  queued_ += count;
  if (!writing_) WriteNext();
}

void TLeg::WriteNext() {
  if (segments_.empty()) {
    writing_ = false;
    ErrorCode ignored;
    if (ended_) out_.shutdown(tcp::socket::shutdown_send, ignored);
    return;
  }
  writing_ = true;
  timer_.expires_at(segments_.front().due);
  timer_.async_wait([this, self = owner_.Self()](const ErrorCode& error) {
    if (error) return;  // cancelled: the connection closes
    asio::async_write(out_, asio::buffer(segments_.front().bytes),
                      [this, self](const ErrorCode& error, std::size_t) {
                        if (error) return owner_.Close();
                        queued_ -= segments_.front().bytes.size();
                        segments_.pop_front();
                        if (!reading_ && !ended_) Read();
                        WriteNext();
                      });
  });
}

}  // namespace

struct TWifiLikeRelay::TState {
  TState(std::uint16_t targetPort, TWifiLikeLink linkModel) : target(targetPort), link(linkModel) {}

  void Accept() {
    acceptor.async_accept([this](const ErrorCode& error, tcp::socket socket) {
      if (error) return;  // the listener closed
      connections.remove_if([](const std::weak_ptr<TConnection>& c) { return c.expired(); });
      if (connections.size() < MaxConnections) {
        auto connection = std::make_shared<TConnection>(io, std::move(socket), link);
        connections.push_back(connection);
        connection->Start(target);
      }  // else the socket closes as it goes
      Accept();
    });
  }
  void CloseAll() {
    ErrorCode ignored;
    acceptor.close(ignored);
    for (const auto& weak : connections) {
      if (const auto connection = weak.lock()) connection->Close();
    }
  }

  asio::io_context io;
  tcp::acceptor acceptor{io, tcp::endpoint(asio::ip::address_v4::loopback(), 0)};
  const std::uint16_t target;
  const TWifiLikeLink link;
  std::list<std::weak_ptr<TConnection>> connections;
};

TWifiLikeRelay::TWifiLikeRelay(std::uint16_t targetPort, TWifiLikeLink link)
    : state_(std::make_unique<TState>(targetPort, link)),
      port_(state_->acceptor.local_endpoint().port()) {
  state_->Accept();
  thread_ = std::thread([state = state_.get()] { state->io.run(); });
}

TWifiLikeRelay::~TWifiLikeRelay() {
  // Every handler then ends with an error, and the thread's run returns once none is left.
  asio::post(state_->io, [state = state_.get()] { state->CloseAll(); });
  thread_.join();
}

}  // namespace zephra::bench
