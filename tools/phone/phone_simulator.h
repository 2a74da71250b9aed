#pragma once

#include <QByteArray>
#include <QList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "link/link_constants.h"
#include "phone/chunk_source.h"
#include "phone/phone_constants.h"
#include "phone/phone_messages.h"
#include "phone/phone_socket.h"

namespace zephra::phone {

struct PhoneOptions {
  std::string host = DefaultHost;
  std::uint16_t controlPort = link::ControlPort;
  std::uint16_t dataPort = link::DataPort;
  std::string name = DefaultPhoneName;  // 8-bit bytes; the hello carries the first 20
  std::uint32_t appVersion = DefaultAppVersion;
  std::int32_t startIndex = 0;
  bool slideshow = false;  // first list as slide show (1004) instead of show list (1003)
  std::chrono::milliseconds keepAliveInterval = DefaultKeepAliveInterval;
  std::chrono::milliseconds connectTimeout = DefaultConnectTimeout;  // per connection
  std::chrono::milliseconds helloReplyTimeout = DefaultHelloReplyTimeout;
  // Each chunk answer is held back this long, as a slow phone would (tests use it to keep a
  // large transfer running); Stop cuts the wait short.
  std::chrono::milliseconds chunkDelay{0};
};

// A phone that joins the PC: control connection and hello, then the data connection and the
// picture list. A reader thread answers the PC's chunk requests from the local files (on the
// data connection) and counts what else arrives; a keep-alive thread sends a keep-alive on the
// data connection every interval. The log callback gets one line per message sent or received
// and is never called from two threads at once.
class PhoneSimulator {
 public:
  using LogFn = std::function<void(const std::string&)>;

  PhoneSimulator(PhoneOptions options, QList<PhonePicture> pictures, LogFn log);
  ~PhoneSimulator();
  PhoneSimulator(const PhoneSimulator&) = delete;
  PhoneSimulator& operator=(const PhoneSimulator&) = delete;

  // Connects, says hello and waits for the reply, then opens the data connection, sends the
  // list and starts both threads. False (connections closed, LastError() set) when the PC
  // can't be reached, doesn't answer, or refuses the hello. A running session is stopped first.
  bool Start();
  // Closes both connections and joins both threads. Any thread but the simulator's own.
  void Stop();
  // True from a successful Start until Stop or until the PC closes the control connection.
  bool Running() const;
  // True once the simulator is not running, false when `timeout` passed first.
  bool WaitUntilStopped(std::chrono::milliseconds timeout);

  // The status of the PC's hello reply; nullopt until one arrived.
  std::optional<std::uint32_t> HelloStatus() const;
  // Why the last Start failed, in words ("" after a successful Start).
  std::string LastError() const;

  // Sends the picture list again (slide show or show list) on the control connection.
  bool SendList(bool slideshow, std::int32_t index);
  // Sends a whole message as it is on the control or the data connection.
  bool Send(const QByteArray& message);
  bool SendData(const QByteArray& message);

  int ChunksAnswered() const { return chunksAnswered_.load(); }
  int RefusalsSent() const { return refusalsSent_.load(); }
  int ViewStopsReceived() const { return viewStopsReceived_.load(); }
  int KeepAliveEchoes() const { return keepAliveEchoes_.load(); }
  int KeepAlivesSent() const { return keepAlivesSent_.load(); }
  // Messages that were neither chunk requests, view stops nor keep-alive echoes.
  int OtherMessages() const { return otherMessages_.load(); }

 private:
  void ResetState();
  bool Handshake();
  bool Fail(const std::string& error);
  void ReadControl();  // reader thread
  void HandleMessage(const LinkMessage& message);
  void AnswerChunkRequest(const QByteArray& payload);
  void DelayChunkAnswer();
  void SendKeepAlives();  // keep-alive thread
  void EndSession();
  void Log(const std::string& line);

  const PhoneOptions options_;
  const QList<PhonePicture> pictures_;
  ChunkSource chunks_;  // used by the reader thread only
  const LogFn log_;
  std::mutex logMutex_;

  PhoneSocket control_;
  PhoneSocket data_;
  std::thread reader_;
  std::thread keepAlive_;

  mutable std::mutex stateMutex_;  // guards the fields below
  std::condition_variable stateChanged_;
  bool running_ = false;
  bool stopping_ = false;
  std::optional<std::uint32_t> helloStatus_;
  std::string lastError_;

  std::atomic<int> chunksAnswered_{0};
  std::atomic<int> refusalsSent_{0};
  std::atomic<int> viewStopsReceived_{0};
  std::atomic<int> keepAliveEchoes_{0};
  std::atomic<int> keepAlivesSent_{0};
  std::atomic<int> otherMessages_{0};
};

}  // namespace zephra::phone
