#include "link/transfer_state.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "link/link_constants.h"

namespace zephra::link {
namespace {

constexpr std::int32_t Id = 7;

QByteArray Bytes(std::size_t count, char fill = 'x') {
  return QByteArray(static_cast<qsizetype>(count), fill);
}

class TransferStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    state_.Begin(Id, TempPath());
  }

  QString TempPath() const { return dir_.filePath(QStringLiteral("pic.jpg.tmp")); }

  TChunkResult Take(std::uint32_t total, std::uint32_t offset, const QByteArray& bytes,
                    std::uint32_t id = Id, std::uint32_t status = 0) {
    return state_.TakeChunk({status, id, total, offset}, bytes.constData(),
                            static_cast<std::size_t>(bytes.size()));
  }

  QTemporaryDir dir_;
  TTransferState state_;
};

TEST_F(TransferStateTest, ChunksInOrderAssembleTheFile) {
  const std::uint32_t total = 2 * ChunkSize + 5;
  EXPECT_EQ(Take(total, 0, Bytes(ChunkSize, 'a')), TChunkResult::Accepted);
  EXPECT_EQ(Take(total, ChunkSize, Bytes(ChunkSize, 'b')), TChunkResult::Accepted);
  // A payload longer than the file's rest is cut to the rest.
  EXPECT_EQ(Take(total, 2 * ChunkSize, Bytes(100, 'c')), TChunkResult::Completed);
  EXPECT_EQ(state_.Received(), total);
  QFile file(TempPath());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), Bytes(ChunkSize, 'a') + Bytes(ChunkSize, 'b') + Bytes(5, 'c'));
  EXPECT_TRUE(state_.End());
}

TEST_F(TransferStateTest, AnEmptyFileCompletesWithAnEmptyTemporaryFile) {
  EXPECT_EQ(Take(0, 0, {}), TChunkResult::Completed);
  EXPECT_EQ(QFile(TempPath()).size(), 0);
  EXPECT_TRUE(state_.End());
}

TEST_F(TransferStateTest, ChunksThatDoNotBelongAreDroppedWithoutEffect) {
  const std::uint32_t total = 3 * ChunkSize;
  EXPECT_EQ(Take(total, 0, Bytes(ChunkSize), Id + 1), TChunkResult::Dropped);
  // A refusal of another request does not touch this one.
  EXPECT_EQ(Take(0, 0, {}, Id + 1, 1), TChunkResult::Dropped);
  // Bytes beyond those that arrived would leave a gap; offsets beyond the total too.
  EXPECT_EQ(Take(total, ChunkSize, Bytes(ChunkSize)), TChunkResult::Dropped);
  EXPECT_EQ(Take(total, 0xFFFFFF00u, Bytes(ChunkSize)), TChunkResult::Dropped);
  EXPECT_EQ(state_.Received(), 0u);
  EXPECT_TRUE(state_.Continuing());
  EXPECT_EQ(Take(total, 0, Bytes(ChunkSize)), TChunkResult::Accepted);
  // The answer to a repeated request brings nothing new.
  EXPECT_EQ(Take(total, 0, Bytes(ChunkSize)), TChunkResult::Dropped);
  EXPECT_EQ(state_.Received(), ChunkSize);
}

TEST_F(TransferStateTest, RefusalsOversizedAndChangingTotalsFailTheTransfer) {
  EXPECT_EQ(Take(0, 0, {}, Id, 3), TChunkResult::Refused);
  EXPECT_FALSE(state_.Continuing());
  EXPECT_FALSE(state_.End());

  state_.Begin(Id, TempPath());
  EXPECT_EQ(Take(MaxTransferTotal + 1, 0, Bytes(ChunkSize)), TChunkResult::Refused);
  EXPECT_FALSE(state_.End());
  state_.Begin(Id, TempPath());
  EXPECT_EQ(Take(0xFFFFFFFFu, 0, Bytes(ChunkSize)), TChunkResult::Refused);
  EXPECT_FALSE(state_.End());

  state_.Begin(Id, TempPath());
  EXPECT_EQ(Take(3 * ChunkSize, 0, Bytes(ChunkSize)), TChunkResult::Accepted);
  EXPECT_EQ(Take(ChunkSize + 1, ChunkSize, Bytes(1)), TChunkResult::Refused);
  EXPECT_FALSE(state_.End());
  EXPECT_FALSE(QFile::exists(TempPath()));
}

TEST_F(TransferStateTest, TheLargestAcceptedTotalIsTaken) {
  EXPECT_EQ(Take(MaxTransferTotal, 0, Bytes(ChunkSize)), TChunkResult::Accepted);
  EXPECT_EQ(state_.Total(), MaxTransferTotal);
}

TEST_F(TransferStateTest, ACutShortTransferNeverCountsAsComplete) {
  const std::uint32_t total = 3 * ChunkSize;
  EXPECT_EQ(Take(total, 0, Bytes(ChunkSize)), TChunkResult::Accepted);
  EXPECT_EQ(Take(total, ChunkSize, Bytes(500)), TChunkResult::CutShort);
  EXPECT_FALSE(state_.Continuing());
  EXPECT_FALSE(state_.End());
  EXPECT_FALSE(QFile::exists(TempPath()));
}

TEST_F(TransferStateTest, ATemporaryFileThatCannotBeWrittenFailsTheTransfer) {
  state_.Begin(Id, dir_.filePath(QStringLiteral("missing/folder/pic.jpg.tmp")));
  EXPECT_EQ(Take(10, 0, Bytes(10)), TChunkResult::Refused);
  EXPECT_FALSE(state_.Continuing());
  EXPECT_FALSE(state_.End());
}

TEST_F(TransferStateTest, AnUnfinishedTransferLeavesNoTemporaryFile) {
  EXPECT_EQ(Take(3 * ChunkSize, 0, Bytes(ChunkSize)), TChunkResult::Accepted);
  EXPECT_FALSE(state_.End());
  EXPECT_FALSE(QFile::exists(TempPath()));
  // Nor does one that a new transfer replaces before it ended.
  state_.Begin(Id, TempPath());
  EXPECT_EQ(Take(3 * ChunkSize, 0, Bytes(ChunkSize)), TChunkResult::Accepted);
  state_.Begin(Id + 1, dir_.filePath(QStringLiteral("other.jpg.tmp")));
  EXPECT_FALSE(QFile::exists(TempPath()));
}

TEST_F(TransferStateTest, CancelAndEndStopChunksFromLanding) {
  EXPECT_FALSE(state_.CancelIf(Id + 1));
  EXPECT_TRUE(state_.CancelIf(Id));
  EXPECT_EQ(state_.RequestId(), -1);
  EXPECT_FALSE(state_.CancelIf(Id));
  EXPECT_EQ(Take(10, 0, Bytes(10), 0xFFFFFFFFu), TChunkResult::Dropped);

  state_.Begin(Id, TempPath());
  EXPECT_FALSE(state_.End());
  EXPECT_EQ(Take(10, 0, Bytes(10)), TChunkResult::Dropped);
  EXPECT_FALSE(QFile::exists(TempPath()));
}

TEST_F(TransferStateTest, AChunkStillBeingReadBlocksOthersAndNeverCountsForALaterTransfer) {
  const TChunkHead head{0, Id, 2 * ChunkSize, 0};
  const TChunkPlan reading = state_.PlanChunk(head, ChunkSize);
  ASSERT_TRUE(reading.Store);
  // A second data connection's copy of the chunk is not read into the same bytes.
  EXPECT_EQ(Take(2 * ChunkSize, 0, Bytes(ChunkSize)), TChunkResult::Dropped);
  // The transfer ends and the same request starts again while the first read goes on.
  EXPECT_FALSE(state_.End());
  state_.Begin(Id, TempPath());
  const QByteArray late = Bytes(ChunkSize, 'r');
  EXPECT_EQ(state_.CommitChunk(reading, true, late.constData()), TChunkResult::Dropped);
  EXPECT_EQ(state_.Received(), 0u);
  EXPECT_EQ(Take(2 * ChunkSize, 0, Bytes(ChunkSize)), TChunkResult::Accepted);
}

TEST_F(TransferStateTest, TheWaitEndsAsSoonAsTheChunkLands) {
  std::thread phone([this] { Take(2 * ChunkSize, 0, Bytes(ChunkSize)); });
  // Generous: the wait must end on the chunk, long before this.
  EXPECT_TRUE(state_.WaitForProgress(0, std::chrono::minutes(1), [] { return false; }));
  phone.join();
  EXPECT_FALSE(
      state_.WaitForProgress(ChunkSize, std::chrono::milliseconds(20), [] { return false; }));
  EXPECT_TRUE(state_.WaitForProgress(ChunkSize, std::chrono::minutes(1), [] { return true; }));
}

}  // namespace
}  // namespace zephra::link
