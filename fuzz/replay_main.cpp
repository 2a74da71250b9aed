// Runs every file of the folders named on the command line through the fuzz target once, in
// name order. Folders that do not exist are skipped; a folder that exists but holds no file is
// an error, so that a moved corpus doesn't pass unnoticed.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz_target.h"

namespace {

std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t total = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path folder(argv[i]);
    if (!std::filesystem::is_directory(folder)) continue;
    const auto files = FilesIn(folder);
    if (files.empty()) {
      std::fprintf(stderr, "no inputs in %s\n", argv[i]);
      return 1;
    }
    for (const auto& file : files) {
      const std::vector<std::uint8_t> input = ReadAll(file);
      std::printf("%s (%zu bytes)\n", file.c_str(), input.size());
      std::fflush(stdout);
      LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    total += files.size();
  }
  std::printf("%zu inputs replayed\n", total);
  return total > 0 ? 0 : 1;
}
