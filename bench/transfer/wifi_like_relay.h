#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

namespace zephra::bench {

// How the relay's link behaves: each direction on its own, as a Wi-Fi hotspot's air time is
// not modelled as shared.
struct TWifiLikeLink {
  std::chrono::microseconds oneWayDelay{2000};  // from the last bit sent to its arrival
  double megabitsPerSecond = 200;               // each direction's rate cap
};

// A TCP relay on loopback that makes a connection feel like a Wi-Fi link: every byte arrives
// `oneWayDelay` after the rate-capped link has carried it. It listens on an ephemeral port of
// 127.0.0.1 and joins each connection it accepts to 127.0.0.1:`targetPort`. Bounded: at most
// MaxConnections at once (more are closed at once), and at most QueueBytes on the way in each
// direction, beyond which it stops reading, so the sender waits as on a full link.
class TWifiLikeRelay {
 public:
  static constexpr int MaxConnections = 8;
  static constexpr std::size_t QueueBytes = 4 * 1024 * 1024;

  explicit TWifiLikeRelay(std::uint16_t targetPort, TWifiLikeLink link = {});
  // Closes every connection and the listener and joins the relay's thread.
  ~TWifiLikeRelay();
  TWifiLikeRelay(const TWifiLikeRelay&) = delete;
  TWifiLikeRelay& operator=(const TWifiLikeRelay&) = delete;

  std::uint16_t Port() const { return port_; }

 private:
  struct TState;
  std::unique_ptr<TState> state_;
  std::uint16_t port_ = 0;
  std::thread thread_;
};

}  // namespace zephra::bench
