// zephra-phone: joins the PC as a phone would and offers the given files as its pictures.

#include <atomic>
#include <charconv>
#include <chrono>
#include <csignal>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include <QFileInfo>
#include <QList>
#include <QString>

#include "phone/phone_messages.h"
#include "phone/phone_simulator.h"

namespace {

using zephra::phone::PhoneOptions;
using zephra::phone::PhonePicture;

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;
// How often the main thread looks at the stop flag set by the signal handler.
constexpr std::chrono::milliseconds SignalPoll{100};

constexpr char Usage[] =
    "usage: zephra-phone [--host H] [--name N] [--app-version V] [--index I] [--slideshow]\n"
    "                    [--control-port P] [--data-port P] FILE...\n"
    "Joins the PC as a phone and offers FILE... as its pictures; ends on Ctrl+C or when the\n"
    "PC closes the connection.\n";

std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnStopSignal(int) { stopRequested.store(true); }

struct CommandLine {
  PhoneOptions options;
  QList<PhonePicture> pictures;
};

template <class Number>
bool ParseNumber(std::string_view text, Number& value) {
  const auto* end = text.data() + text.size();
  const auto [last, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && last == end;
}

// Applies the option `flag`, taking its value from argv[++i] where it has one. False on an
// unknown option or a bad or missing value.
bool ApplyOption(std::string_view flag, int& i, int argc, char** argv, PhoneOptions& options) {
  if (flag == "--slideshow") {
    options.slideshow = true;
    return true;
  }
  if (i + 1 >= argc) return false;
  const std::string_view value = argv[++i];
  if (flag == "--host") {
    options.host = value;
    return !value.empty();
  }
  if (flag == "--name") {
    options.name = value;
    return true;
  }
  if (flag == "--app-version") return ParseNumber(value, options.appVersion);
  if (flag == "--index") return ParseNumber(value, options.startIndex);
  if (flag == "--control-port") return ParseNumber(value, options.controlPort);
  if (flag == "--data-port") return ParseNumber(value, options.dataPort);
  return false;
}

// nullopt (with a message on stderr) when the command line is unusable.
std::optional<CommandLine> ParseCommandLine(int argc, char** argv) {
  CommandLine line;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.starts_with("--")) {
      if (!ApplyOption(arg, i, argc, argv, line.options)) {
        std::cerr << "zephra-phone: bad option or value: " << arg << "\n";
        return std::nullopt;
      }
      continue;
    }
    const QString path = QString::fromLocal8Bit(argv[i]);
    if (!QFileInfo(path).isFile()) {
      std::cerr << "zephra-phone: no such file: " << arg << "\n";
      return std::nullopt;
    }
    line.pictures.append(zephra::phone::PictureFromFile(path));
  }
  if (line.pictures.isEmpty()) return std::nullopt;
  return line;
}

void PrintLine(const std::string& line) { std::cout << line << std::endl; }

}  // namespace

int main(int argc, char** argv) {
  const auto commandLine = ParseCommandLine(argc, argv);
  if (!commandLine) {
    std::cerr << Usage;
    return ExitUsage;
  }
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);

  zephra::phone::PhoneSimulator phone(commandLine->options, commandLine->pictures, PrintLine);
  if (!phone.Start()) {
    std::cerr << "zephra-phone: " << phone.LastError() << "\n";
    return ExitFailed;
  }
  while (!stopRequested.load() && !phone.WaitUntilStopped(SignalPoll)) {
  }
  phone.Stop();
  return ExitOk;
}
