// The data channel: the bytes a phone sends on one data connection (chunk answers, keep-alives,
// anything else) while a transfer of request FuzzRequestId is under way, handled by the real
// phone link and transfer state, which write the chunks to a temporary file.
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_target.h"
#include "link/link_constants.h"
#include "link_under_test.h"
#include "loopback_client.h"

namespace {

using namespace zephra;

// Two whole chunks and their heads: enough for a file of more than one chunk.
constexpr std::size_t MaxInput = 2 * (link::ChunkSize + 64);
// The request id the seed inputs answer.
constexpr std::int32_t FuzzRequestId = 7;

struct TDataSetUp {
  fuzz::TLinkUnderTest under;
  QTemporaryDir folder;
  QString path = folder.filePath(QStringLiteral("transfer.tmp"));
};

// The bytes of one chunk answer for FuzzRequestId that the phone offered at `Offset`.
struct TOffered {
  std::uint32_t Offset;
  std::string_view Bytes;
};

// The chunk answers of the input, framed as the data channel frames them: a header that is not
// from a phone is skipped alone, a payload beyond what the PC reads ends the connection.
std::vector<TOffered> OfferedChunks(std::string_view input) {
  std::vector<TOffered> offered;
  std::size_t at = 0;
  while (input.size() - at >= link::LinkHeaderSize) {
    const auto* head = reinterpret_cast<const unsigned char*>(input.data() + at);
    const link::TLinkHeader header = link::DecodeHeader(head);
    at += link::LinkHeaderSize;
    if (header.Magic != link::LinkMagicPhone) continue;
    if (header.Length > link::MaxPayloadLength) break;
    const std::string_view payload = input.substr(at, header.Length);
    at += payload.size();
    if (header.Command != link::cmdChunkData || header.Length < link::ChunkHeadLength ||
        payload.size() < link::ChunkHeadLength) {
      continue;
    }
    const link::TChunkHead chunk =
        link::DecodeChunkHead(reinterpret_cast<const unsigned char*>(payload.data()));
    if (chunk.Status == 0 && chunk.Id == std::uint32_t(FuzzRequestId)) {
      offered.push_back({chunk.Offset, payload.substr(link::ChunkHeadLength)});
    }
  }
  return offered;
}

// Every byte of the finished file is one that some chunk offered at that place: nothing is
// shifted, invented or taken from another request.
void CheckContent(const QString& path, std::string_view input) {
  QFile file(path);
  ZEPHRA_FUZZ_CHECK(file.open(QIODevice::ReadOnly));
  const QByteArray content = file.readAll();
  const std::vector<TOffered> offered = OfferedChunks(input);
  for (qsizetype i = 0; i < content.size(); ++i) {
    const auto at = std::uint64_t(i);
    bool found = false;
    for (const TOffered& chunk : offered) {
      if (at >= chunk.Offset && at - chunk.Offset < chunk.Bytes.size() &&
          chunk.Bytes[at - chunk.Offset] == content[i]) {
        found = true;
        break;
      }
    }
    ZEPHRA_FUZZ_CHECK(found);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > MaxInput) return 0;
  static TDataSetUp setUp;
  link::TPhoneLink& phoneLink = setUp.under.link;
  link::TTransferState& transfer = phoneLink.Transfer();
  ZEPHRA_FUZZ_CHECK(setUp.folder.isValid());
  ZEPHRA_FUZZ_CHECK(phoneLink.StartServers());
  transfer.Begin(FuzzRequestId, setUp.path);
  const std::string answer = fuzz::Exchange(phoneLink.DataPortInUse(), data, size);
  phoneLink.SetServersActive(false);

  // The PC never writes on the data channel.
  ZEPHRA_FUZZ_CHECK(answer.empty());
  const std::uint32_t total = transfer.Total();
  const std::uint32_t received = transfer.Received();
  ZEPHRA_FUZZ_CHECK(received <= total);
  const bool complete = transfer.End();
  const QFileInfo file(setUp.path);
  if (complete) {
    // A completed transfer leaves the whole file, of the size the phone announced.
    ZEPHRA_FUZZ_CHECK(total <= link::MaxTransferTotal && received == total);
    ZEPHRA_FUZZ_CHECK(file.exists() && file.size() == qint64(total));
    CheckContent(setUp.path, std::string_view(reinterpret_cast<const char*>(data), size));
    QFile::remove(setUp.path);
  } else {
    // Anything else leaves nothing behind.
    ZEPHRA_FUZZ_CHECK(!file.exists());
  }
  return 0;
}
