// The control channel: the bytes a phone sends on one control connection, read, decoded and
// dispatched by the real phone link (hello and session, picture lists, slide show, view stop,
// close, unknown commands), with a fake viewer and cache folders.
#include <QtEndian>
#include <string>

#include "fuzz_target.h"
#include "link/link_constants.h"
#include "link_under_test.h"
#include "loopback_client.h"

namespace {

using namespace zephra;

// Several messages and a list of some hundred names.
constexpr std::size_t MaxInput = 65536;

// What the PC sends back on the control channel is whole PC messages, nothing else.
void CheckAnswer(const std::string& answer) {
  std::size_t at = 0;
  while (at < answer.size()) {
    ZEPHRA_FUZZ_CHECK(answer.size() - at >= link::LinkHeaderSize);
    const auto* head = reinterpret_cast<const unsigned char*>(answer.data() + at);
    ZEPHRA_FUZZ_CHECK(qFromBigEndian<quint32>(head) == link::LinkMagicPc);
    const std::size_t length = qFromBigEndian<quint32>(head + 8);
    ZEPHRA_FUZZ_CHECK(answer.size() - at - link::LinkHeaderSize >= length);
    at += link::LinkHeaderSize + length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > MaxInput) return 0;
  static fuzz::TLinkUnderTest under;
  ZEPHRA_FUZZ_CHECK(under.link.StartServers());
  const std::string answer = fuzz::Exchange(under.link.ControlPortInUse(), data, size);
  under.link.SetServersActive(false);
  CheckAnswer(answer);
  // The session ends with the connection that holds it.
  ZEPHRA_FUZZ_CHECK(!under.link.SessionPresent());
  return 0;
}
