#include "phone/phone_simulator.h"

#include <utility>

#include "link/link_message.h"
#include "phone/chunk_source.h"

namespace zephra::phone {

namespace {

std::string HelloStatusText(std::uint32_t status) {
  switch (status) {
    case link::stOk:
      return "ok";
    case link::stTooOld:
      return "app version too old";
    case link::stBusy:
      return "PC busy with another phone";
    default:
      return "unknown status";
  }
}

std::string Where(const std::string& host, std::uint16_t port) {
  return host + ":" + std::to_string(port);
}

std::string Describe(const QByteArray& message) {
  if (static_cast<std::size_t>(message.size()) < link::LinkHeaderSize) {
    return "bytes=" + std::to_string(message.size());
  }
  const auto header =
      link::DecodeHeader(reinterpret_cast<const unsigned char*>(message.constData()));
  return "command=" + std::to_string(header.Command) + " length=" + std::to_string(header.Length);
}

}  // namespace

PhoneSimulator::PhoneSimulator(PhoneOptions options, QList<PhonePicture> pictures, LogFn log)
    : options_(std::move(options)),
      pictures_(std::move(pictures)),
      chunks_(pictures_),
      log_(std::move(log)) {}

PhoneSimulator::~PhoneSimulator() { Stop(); }

bool PhoneSimulator::Start() {
  Stop();
  ResetState();
  if (!control_.Connect(options_.host, options_.controlPort, options_.connectTimeout)) {
    return Fail("cannot reach the PC at " + Where(options_.host, options_.controlPort));
  }
  if (!Handshake()) return false;
  if (!data_.Connect(options_.host, options_.dataPort, options_.connectTimeout)) {
    return Fail("cannot open the data connection to " + Where(options_.host, options_.dataPort));
  }
  {
    std::lock_guard lock(stateMutex_);
    running_ = true;
  }
  if (!SendList(options_.slideshow, options_.startIndex)) {
    return Fail("the PC closed the control connection");
  }
  reader_ = std::thread([this] { ReadControl(); });
  keepAlive_ = std::thread([this] { SendKeepAlives(); });
  return true;
}

void PhoneSimulator::ResetState() {
  std::lock_guard lock(stateMutex_);
  stopping_ = false;
  helloStatus_.reset();
  lastError_.clear();
}

bool PhoneSimulator::Handshake() {
  if (!control_.Send(MakeHello(options_.appVersion, QByteArray::fromStdString(options_.name)))) {
    return Fail("the PC closed the control connection");
  }
  Log("-> hello version=" + std::to_string(options_.appVersion) + " name=" + options_.name);
  const auto reply = control_.Receive(options_.helloReplyTimeout);
  if (!reply) return Fail("no hello reply from the PC");
  const auto hello = ParseHelloReply(reply->payload);
  if (reply->command != link::cmdHello || !hello) {
    return Fail("unexpected answer to the hello: " + std::to_string(reply->command));
  }
  {
    std::lock_guard lock(stateMutex_);
    helloStatus_ = hello->status;
  }
  Log("<- hello-reply version=" + std::to_string(hello->pcVersion) +
      " status=" + std::to_string(hello->status));
  if (hello->status != link::stOk) {
    return Fail("hello refused: status " + std::to_string(hello->status) + " (" +
                HelloStatusText(hello->status) + ")");
  }
  return true;
}

bool PhoneSimulator::Fail(const std::string& error) {
  control_.Close();
  data_.Close();
  std::lock_guard lock(stateMutex_);
  running_ = false;
  lastError_ = error;
  return false;
}

void PhoneSimulator::Stop() {
  {
    std::lock_guard lock(stateMutex_);
    running_ = false;
    stopping_ = true;
  }
  stateChanged_.notify_all();
  control_.Close();
  data_.Close();
  if (reader_.joinable()) reader_.join();
  if (keepAlive_.joinable()) keepAlive_.join();
}

bool PhoneSimulator::Running() const {
  std::lock_guard lock(stateMutex_);
  return running_;
}

bool PhoneSimulator::WaitUntilStopped(std::chrono::milliseconds timeout) {
  std::unique_lock lock(stateMutex_);
  return stateChanged_.wait_for(lock, timeout, [this] { return !running_; });
}

std::optional<std::uint32_t> PhoneSimulator::HelloStatus() const {
  std::lock_guard lock(stateMutex_);
  return helloStatus_;
}

std::string PhoneSimulator::LastError() const {
  std::lock_guard lock(stateMutex_);
  return lastError_;
}

bool PhoneSimulator::SendList(bool slideshow, std::int32_t index) {
  const std::uint32_t command = slideshow ? link::cmdSlideShow : link::cmdShowList;
  if (!control_.Send(MakePictureList(command, index, ListText(pictures_)))) return false;
  Log(std::string(slideshow ? "-> slideshow" : "-> list") +
      " count=" + std::to_string(pictures_.size()) + " index=" + std::to_string(index));
  return true;
}

bool PhoneSimulator::Send(const QByteArray& message) {
  if (!control_.Send(message)) return false;
  Log("-> message " + Describe(message));
  return true;
}

bool PhoneSimulator::SendData(const QByteArray& message) {
  if (!data_.Send(message)) return false;
  Log("-> data message " + Describe(message));
  return true;
}

void PhoneSimulator::ReadControl() {
  try {
    for (;;) {
      if (auto message = control_.Receive(ReaderWaitSlice)) {
        HandleMessage(*message);
        continue;
      }
      if (control_.IsOpen()) continue;
      // Whole messages that arrived just before the close are still answered.
      while (auto message = control_.Receive(std::chrono::milliseconds::zero())) {
        HandleMessage(*message);
      }
      break;
    }
  } catch (...) {
    Log("control reader failed");
  }
  EndSession();
}

void PhoneSimulator::HandleMessage(const LinkMessage& message) {
  if (message.magic != link::LinkMagicPc) {
    ++otherMessages_;
    Log("<- unexpected magic=" + std::to_string(message.magic) +
        " command=" + std::to_string(message.command));
    return;
  }
  switch (message.command) {
    case link::cmdChunkRequest:
      AnswerChunkRequest(message.payload);
      break;
    case link::cmdKeepAlive:
      ++keepAliveEchoes_;
      Log("<- keep-alive");
      break;
    case link::cmdViewStop: {
      ++viewStopsReceived_;
      const auto value = ParseViewStop(message.payload);
      Log("<- view-stop value=" + (value ? std::to_string(*value) : std::string("?")));
      break;
    }
    default:
      ++otherMessages_;
      Log("<- message command=" + std::to_string(message.command) +
          " length=" + std::to_string(message.payload.size()));
  }
}

void PhoneSimulator::AnswerChunkRequest(const QByteArray& payload) {
  const auto request = ParseChunkRequest(payload);
  if (!request) {
    ++otherMessages_;
    Log("<- short chunk-request length=" + std::to_string(payload.size()));
    return;
  }
  const std::string id = std::to_string(request->id);
  const std::string name = request->name.toStdString();
  Log("<- chunk-request id=" + id + " offset=" + std::to_string(request->offset) + " name=" + name);
  DelayChunkAnswer();
  const ChunkAnswer answer = chunks_.Read(request->name, request->offset);
  if (!data_.Send(
          MakeChunkData(answer.status, request->id, answer.total, request->offset, answer.bytes))) {
    Log("data connection lost: no answer to id=" + id);
    return;
  }
  if (answer.status != ChunkDelivered) {
    ++refusalsSent_;
    Log("-> refuse id=" + id + " name=" + name);
    return;
  }
  ++chunksAnswered_;
  Log("-> chunk id=" + id + " offset=" + std::to_string(request->offset) +
      " bytes=" + std::to_string(answer.bytes.size()) + " total=" + std::to_string(answer.total));
}

void PhoneSimulator::DelayChunkAnswer() {
  if (options_.chunkDelay <= std::chrono::milliseconds::zero()) return;
  std::unique_lock lock(stateMutex_);
  stateChanged_.wait_for(lock, options_.chunkDelay, [this] { return stopping_; });
}

void PhoneSimulator::SendKeepAlives() {
  try {
    std::unique_lock lock(stateMutex_);
    while (
        !stateChanged_.wait_for(lock, options_.keepAliveInterval, [this] { return !running_; })) {
      lock.unlock();
      if (data_.Send(MakeKeepAlive())) {
        ++keepAlivesSent_;
        Log("-> keep-alive");
      }
      lock.lock();
    }
  } catch (...) {
    Log("keep-alive thread failed");
  }
}

void PhoneSimulator::EndSession() {
  bool byPc = false;
  {
    std::lock_guard lock(stateMutex_);
    byPc = !stopping_;
    running_ = false;
  }
  stateChanged_.notify_all();
  data_.Close();
  if (byPc) Log("<- control connection closed by the PC");
}

void PhoneSimulator::Log(const std::string& line) {
  if (!log_) return;
  std::lock_guard lock(logMutex_);
  try {
    log_(line);
  } catch (...) {
    // A failing log sink must not end the session.
  }
}

}  // namespace zephra::phone
