// The viewer end to end: the real program on a virtual X display next to the partner hotspot's
// stand-in, a phone simulator in this process on the program's fixed ports, and the screen read
// back from the X server.

#include <QFile>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "e2e_fixture.h"
#include "link/link_constants.h"
#include "phone/phone_messages.h"
#include "test_files.h"

namespace zephra::e2e {
namespace {

using namespace std::chrono_literals;
using phone::PhonePicture;
using viewer::testing::EncodeJpeg;
using viewer::testing::Near;

// The desktop as the viewer shows it behind the picture: dimmed to 40/255.
constexpr int DimmedDesktop = 200 * 40 / 255;
constexpr int DimTolerance = 8;

// Points of the desktop beside every picture used here (none is wider than twice its height,
// so even fitted to the screen it leaves bands above and below), away from the stand-in's window
// at the top left, the close button at the top right and the toast at the bottom right.
const QPoint DesktopPoints[] = {{512, 60}, {800, 60}, {512, 720}};

// The largest comment segment a JPEG can carry (its length field counts itself).
constexpr int LargestComment = 0xFFFF - 2;

// `jpeg` with comment segments of `padding` bytes in all right after its start marker: the same
// picture in a file of several chunks.
QByteArray WithComments(const QByteArray& jpeg, int padding) {
  QByteArray segments;
  for (int left = padding; left > 0; left -= LargestComment) {
    const int length = std::min(left, LargestComment) + 2;
    segments += QByteArray("\xFF\xFE", 2);
    segments += static_cast<char>(length >> 8);
    segments += static_cast<char>(length & 0xFF);
    segments += QByteArray(length - 2, 'c');
  }
  return jpeg.left(2) + segments + jpeg.mid(2);
}

class ViewerE2eTest : public ProgramE2eTest {
 protected:
  // The palette entry shown at the centre, when two samples a poll apart agree on one (a
  // transition under way shows neither).
  // The phone's last log lines, for a failure's message.
  std::string LogTail() {
    const std::vector<std::string> log = Log();
    std::string tail;
    for (std::size_t i = log.size() > 8 ? log.size() - 8 : 0; i < log.size(); ++i) {
      tail += log[i] + "; ";
    }
    return tail;
  }
  std::optional<int> ShownEntry(int count) {
    std::optional<int> seen;
    for (int sample = 0; sample < 2; ++sample) {
      if (sample > 0) QThread::msleep(PollMs);
      const QRgb pixel = PixelAt(Centre);
      const auto match = std::find_if(Palette, Palette + count,
                                      [&](QRgb colour) { return Near(pixel, colour, 30); });
      if (match == Palette + count) return std::nullopt;
      const int entry = static_cast<int>(match - Palette);
      if (seen && *seen != entry) return std::nullopt;
      seen = entry;
    }
    return seen;
  }
  // True when the viewer's window stayed unmapped for `ms`.
  bool StaysHidden(int ms) {
    return !Eventually([this] { return ViewerMapped(); }, ms);
  }
  void PressEscape() {
    // Without a window manager the keyboard follows the pointer.
    ASSERT_TRUE(MovePointer(Centre));
    ASSERT_TRUE(PressKeys({"Escape"}));
  }
};

// The road of one picture: hello, list, the PC's chunk requests in order, the cache file, the
// screen.
TEST_F(ViewerE2eTest, FirstPictureTravelsFromTheListToTheCacheAndComesUpOverTheDimmedDesktop) {
  // Red, green, blue and white quadrants; shown at its size or fitted, each quadrant covers the
  // point 120 pixels left or right and 60 up or down from the centre. Comments make it a file
  // of three chunks.
  constexpr int Chunks = 3;
  const QByteArray bytes = WithComments(EncodeJpeg(viewer::testing::Quadrants(480, 240)),
                                        (Chunks - 1) * static_cast<int>(link::ChunkSize));
  ASSERT_GT(bytes.size(), (Chunks - 1) * static_cast<qsizetype>(link::ChunkSize));
  StartPhone({AddPicture(QStringLiteral("a.jpg"), bytes)});

  // The session is granted, then the list goes out and the file is asked for chunk by chunk.
  const std::vector<std::string> hello = LogLines("<- hello-reply ");
  ASSERT_EQ(hello.size(), 1u);
  EXPECT_TRUE(hello[0].ends_with(" status=0")) << hello[0];
  EXPECT_TRUE(Logged("-> list count=1 index=0"));
  ASSERT_TRUE(Eventually([this] { return phone_->ChunksAnswered() >= Chunks; }));
  const std::vector<std::string> requests = LogLines("<- chunk-request ");
  ASSERT_EQ(requests.size(), static_cast<std::size_t>(Chunks));
  for (int chunk = 0; chunk < Chunks; ++chunk) {
    const std::string offset = " offset=" + std::to_string(chunk * link::ChunkSize) + " ";
    EXPECT_NE(requests[chunk].find(offset), std::string::npos) << requests[chunk];
    EXPECT_TRUE(requests[chunk].ends_with(" name=/DCIM/a.jpg")) << requests[chunk];
  }

  ASSERT_TRUE(WaitForColour(Centre + QPoint(-120, -60), qRgb(255, 0, 0)));
  EXPECT_TRUE(ViewerMapped());
  const QImage screen = x_->Grab();
  EXPECT_TRUE(Near(screen.pixel(Centre + QPoint(120, -60)), qRgb(0, 255, 0)));
  EXPECT_TRUE(Near(screen.pixel(Centre + QPoint(-120, 60)), qRgb(0, 0, 255)));
  EXPECT_TRUE(Near(screen.pixel(Centre + QPoint(120, 60)), qRgb(255, 255, 255)));
  for (const QPoint point : DesktopPoints) {
    const QRgb pixel = screen.pixel(point);
    EXPECT_TRUE(Near(pixel, qRgb(DimmedDesktop, DimmedDesktop, DimmedDesktop), DimTolerance))
        << "at " << point.x() << "," << point.y() << ": " << qRed(pixel) << " " << qGreen(pixel)
        << " " << qBlue(pixel);
  }

  // "/DCIM/a.jpg" is kept under the MD5 of its UTF-16 text.
  QFile cached(PhoneCache() + QStringLiteral("/04F8AE555A4ED7E82A895818FBEA911B.jpg"));
  ASSERT_TRUE(cached.open(QIODevice::ReadOnly)) << cached.fileName().toStdString();
  EXPECT_TRUE(cached.readAll() == bytes);
  cached.close();

  // Closing the program empties the cache.
  ASSERT_TRUE(app_.Stop());
  EXPECT_TRUE(CacheEmpty()) << CachedFiles().join(QLatin1Char(' ')).toStdString();
}

TEST_F(ViewerE2eTest, PicturesThatFailKeepTheViewerHiddenUntilOneShows) {
  const PhonePicture broken =
      AddPicture(QStringLiteral("broken.jpg"), QByteArray("no picture in here, just text"));
  // Listed, but the phone has no such file: it refuses the chunk.
  const PhonePicture missing{QStringLiteral("/DCIM/missing.jpg"),
                             dir_.filePath(QStringLiteral("nowhere.jpg")), 5000};
  const PhonePicture good = AddPicture(QStringLiteral("good.jpg"), SolidJpeg(Palette[1]));
  StartPhone({broken, missing, good});

  ASSERT_TRUE(Eventually([this] { return phone_->ChunksAnswered() >= 1; }));
  EXPECT_TRUE(StaysHidden(2000)) << "a picture that can't be decoded brought the viewer up";
  ASSERT_TRUE(phone_->SendList(false, 1));
  ASSERT_TRUE(Eventually([this] { return phone_->RefusalsSent() >= 1; }));
  EXPECT_TRUE(StaysHidden(2000)) << "a refused picture brought the viewer up";
  // Around the middle of this tray-less desktop stands the program's menu window.
  const QImage screen = x_->Grab();
  for (const QPoint point : DesktopPoints) {
    EXPECT_TRUE(Near(screen.pixel(point), DesktopColour, DimTolerance)) << "the desktop changed";
  }

  ASSERT_TRUE(phone_->SendList(false, 2));
  EXPECT_TRUE(WaitForColour(Centre, Palette[1]));
  EXPECT_TRUE(ViewerMapped());
}

TEST_F(ViewerE2eTest, EscClosesAndTellsThePhoneWhileThePhonesCloseIsSilent) {
  if (!XdotoolPresent()) GTEST_SKIP() << "no xdotool";
  StartPhone({AddPicture(QStringLiteral("a.jpg"), SolidJpeg(Palette[0]))});
  ASSERT_TRUE(WaitForColour(Centre, Palette[0]));

  ASSERT_NO_FATAL_FAILURE(PressEscape());
  ASSERT_TRUE(Eventually([this] { return !ViewerMapped(); })) << "Esc left the viewer up";
  ASSERT_TRUE(Eventually([this] { return phone_->ViewStopsReceived() >= 1; }));
  EXPECT_TRUE(Logged("<- view-stop value=1"));

  // The phone shows the picture again and then closes the viewer itself.
  ASSERT_TRUE(phone_->SendList(false, 0));
  ASSERT_TRUE(WaitForColour(Centre, Palette[0]));
  ASSERT_TRUE(phone_->Send(phone::MakeCloseViewer()));
  ASSERT_TRUE(Eventually([this] { return !ViewerMapped(); })) << "the phone's close did nothing";
  QThread::msleep(1000);
  EXPECT_EQ(phone_->ViewStopsReceived(), 1);
}

TEST_F(ViewerE2eTest, SlideShowStepsOnUntilTheViewStopReturnsToItsStart) {
  QList<PhonePicture> pictures;
  for (int i = 0; i < 3; ++i) {
    pictures << AddPicture(QStringLiteral("s%1.jpg").arg(i), SolidJpeg(Palette[i]));
  }
  phone::PhoneOptions options;
  options.slideshow = true;
  StartPhone(pictures, options);
  ASSERT_TRUE(WaitForColour(Centre, Palette[0]));

  // The next entry follows by itself (every 3 s).
  std::optional<int> shown;
  ASSERT_TRUE(Eventually([&] {
    shown = ShownEntry(3);
    return shown && *shown != 0;
  })) << "the slide show did not move on";
  EXPECT_EQ(*shown, 1);

  ASSERT_TRUE(phone_->Send(phone::MakeViewStop(0)));
  ASSERT_TRUE(WaitForColour(Centre, Palette[0])) << "the start picture did not come back";
  // Longer than a slide step: the start picture stays.
  QDeadlineTimer watch(4000);
  while (!watch.hasExpired()) {
    const QRgb pixel = PixelAt(Centre);
    ASSERT_TRUE(Near(pixel, Palette[0], ColourTolerance))
        << "the slide show went on: the centre turned #" << std::hex << (pixel & 0xffffff)
        << std::dec << " " << 4000 - watch.remainingTime() << " ms after the start picture "
        << "came back; mapped: " << ViewerMapped() << "; phone log: " << LogTail();
    QThread::msleep(100);
  }
  EXPECT_TRUE(ViewerMapped());
}

TEST_F(ViewerE2eTest, NeighboursOfTheShownEntryAreFetchedAfterIt) {
  QList<PhonePicture> pictures;
  for (int i = 0; i < 5; ++i) {
    pictures << AddPicture(QStringLiteral("n%1.jpg").arg(i), SolidJpeg(Palette[i]));
  }
  phone::PhoneOptions options;
  options.startIndex = 2;
  StartPhone(pictures, options);
  ASSERT_TRUE(WaitForColour(Centre, Palette[2]));

  ASSERT_TRUE(Eventually([&] {
    return ChunkRequestsFor(pictures[1].phoneName) > 0 &&
           ChunkRequestsFor(pictures[3].phoneName) > 0;
  })) << "the neighbours were not fetched";
  const std::vector<std::string> requests = ChunkRequests();
  const auto first = [&requests](const PhonePicture& picture) {
    return std::find(requests.begin(), requests.end(), picture.phoneName.toStdString()) -
           requests.begin();
  };
  EXPECT_LT(first(pictures[2]), first(pictures[1]));
  EXPECT_LT(first(pictures[2]), first(pictures[3]));
  // Once all three are in the cache, nothing further away is fetched.
  ASSERT_TRUE(Eventually([this] { return CachedFiles().size() == 3; }))
      << CachedFiles().join(QLatin1Char(' ')).toStdString();
  QThread::msleep(1000);
  EXPECT_EQ(ChunkRequestsFor(pictures[0].phoneName), 0);
  EXPECT_EQ(ChunkRequestsFor(pictures[4].phoneName), 0);
}

TEST_F(ViewerE2eTest, NewListStopsTheDownloadUnderWay) {
  // Noise hardly compresses: dozens of chunks, which the slowed phone hands over one by one.
  const QByteArray largeBytes =
      EncodeJpeg(viewer::testing::NoisePicture(2000, 1500), {.Quality = 95});
  const int largeChunks = static_cast<int>((largeBytes.size() + link::ChunkSize - 1) /
                                           static_cast<qsizetype>(link::ChunkSize));
  ASSERT_GT(largeChunks, 30);
  const PhonePicture large = AddPicture(QStringLiteral("large.jpg"), largeBytes);
  const PhonePicture small = AddPicture(QStringLiteral("small.jpg"), SolidJpeg(Palette[3]));
  phone::PhoneOptions options;
  options.chunkDelay = 40ms;
  StartPhone({large, small}, options);
  ASSERT_TRUE(Eventually([&] { return ChunkRequestsFor(large.phoneName) >= 3; }));

  ASSERT_TRUE(phone_->Send(phone::MakePictureList(link::cmdShowList, 0, phone::ListText({small}))));
  ASSERT_TRUE(WaitForColour(Centre, Palette[3])) << "the new list's picture did not show";
  const int asked = ChunkRequestsFor(large.phoneName);
  QThread::msleep(1500);
  EXPECT_EQ(ChunkRequestsFor(large.phoneName), asked) << "the old download went on";
  EXPECT_LT(asked, largeChunks);
  // Neither the large picture nor a piece of it stays in the cache.
  EXPECT_EQ(CachedFiles().size(), 1u) << CachedFiles().join(QLatin1Char(' ')).toStdString();
}

}  // namespace
}  // namespace zephra::e2e
