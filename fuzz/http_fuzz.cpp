// The download server: the bytes a client sends on one connection, read as a request by the real
// server (Beast's parser, the header and body bounds) and answered: the package, the
// access-denied page or nothing. The program folder is a temporary folder with a subfolder that
// holds an index file; the request's document also goes through the name rules directly.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <chrono>
#include <string>
#include <string_view>
#include <thread>

#include "fuzz_target.h"
#include "install/http_request.h"
#include "install/http_server.h"
#include "install/local_name.h"
#include "install/mime_table.h"
#include "loopback_client.h"

namespace {

using namespace zephra;

// A header of the largest size the server takes, and a body of some kilobytes.
constexpr std::size_t MaxInput = 16384;
constexpr char Package[] = "PK\x03\x04 the package the fuzz server hands out";
constexpr auto IdleWait = std::chrono::seconds(10);

install::TPackageView PackageBytes() {
  return {reinterpret_cast<const std::byte*>(Package), sizeof Package - 1};
}

struct THttpSetUp {
  THttpSetUp() {
    ZEPHRA_FUZZ_CHECK(root.isValid());
    // <root>/program/ is served; <root>/program/web/index.htm is an index file, and
    // <root>/outside/index.htm one beside the program folder.
    ZEPHRA_FUZZ_CHECK(QDir(root.path()).mkpath(QStringLiteral("program/web")));
    ZEPHRA_FUZZ_CHECK(QDir(root.path()).mkpath(QStringLiteral("outside")));
    for (const char* name : {"program/web/index.htm", "outside/index.htm"}) {
      QFile file(root.filePath(QString::fromLatin1(name)));
      ZEPHRA_FUZZ_CHECK(file.open(QIODevice::WriteOnly));
    }
    ZEPHRA_FUZZ_CHECK(server.SetActive(true));
  }

  static install::THttpConfig Config() {
    install::THttpConfig config;
    config.port = 0;
    return config;
  }

  QTemporaryDir root;
  QString programFolder = root.filePath(QStringLiteral("program")) + u'/';
  install::TMimeTable mimeTable{false};
  install::THttpServer server{Config(), programFolder, mimeTable,
                              [] { return std::optional(PackageBytes()); }};
};

// The server answers at most once, with the package (or its length for HEAD) or the
// access-denied page. A connection reset may cut the answer short.
void CheckAnswer(const std::string& answer) {
  if (answer.empty()) return;
  ZEPHRA_FUZZ_CHECK(answer.rfind("HTTP/1.1 ", 0) == 0);
  const std::size_t headerEnd = answer.find("\r\n\r\n");
  if (headerEnd == std::string::npos) return;
  const std::string_view body = std::string_view(answer).substr(headerEnd + 4);
  const std::string_view status = std::string_view(answer).substr(9, 3);
  if (status == "200") {
    ZEPHRA_FUZZ_CHECK(std::string_view(Package).substr(0, body.size()) == body);
  } else {
    ZEPHRA_FUZZ_CHECK(status == "403");
    ZEPHRA_FUZZ_CHECK(std::string_view(install::AccessDeniedPage).substr(0, body.size()) == body);
  }
}

// The name rules on the input read as a request target: the index-file rule only ever swaps in
// an index file that exists.
void CheckNameRules(const THttpSetUp& setUp, const std::uint8_t* data, std::size_t size) {
  const QString document =
      install::DocumentOf(std::string_view(reinterpret_cast<const char*>(data), size));
  const QString localName = install::LocalName(setUp.programFolder, document);
  const QString applied = install::ApplyIndexFile(localName);
  if (applied != localName) {
    ZEPHRA_FUZZ_CHECK(applied.endsWith(QStringLiteral("index.htm")));
    ZEPHRA_FUZZ_CHECK(QFileInfo(applied).isFile());
  }
  install::InsideProgramFolder(applied, setUp.programFolder);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > MaxInput) return 0;
  static THttpSetUp setUp;
  CheckAnswer(fuzz::Exchange(setUp.server.Port(), data, size));
  // The connection's thread has ended before the next input.
  const auto deadline = std::chrono::steady_clock::now() + IdleWait;
  while (setUp.server.ConnectionCount() != 0) {
    ZEPHRA_FUZZ_CHECK(std::chrono::steady_clock::now() < deadline);
    std::this_thread::yield();
  }
  CheckNameRules(setUp, data, size);
  return 0;
}
