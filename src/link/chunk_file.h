#pragma once

#include <QFile>
#include <QString>
#include <cstdint>
#include <mutex>

namespace zephra::link {

// The temporary file a transfer writes chunk by chunk, as the chunks arrive. Writes may come
// from several data connection threads; each lands at its own offset. Once discarded or
// finished, further writes fail and never bring the file back.
class TChunkFile {
 public:
  // Creates or empties the file at `path`. False when it can't be opened for writing.
  bool Open(const QString& path);
  // Writes `count` bytes at `offset`. False when the file is closed or the write failed; a
  // failure sticks, so Finish reports it too.
  bool WriteAt(std::uint64_t offset, const char* data, std::uint64_t count);
  // Closes the file; true when every write succeeded and the file is on disk whole.
  bool Finish();
  // Closes and deletes the file: a transfer that did not complete leaves nothing behind.
  void Discard();

 private:
  std::mutex mutex_;
  QFile file_;
  bool failed_ = false;
};

// Moves the finished file `from` over `to` in one step, replacing a file that is there.
bool ReplaceFile(const QString& from, const QString& to);

}  // namespace zephra::link
