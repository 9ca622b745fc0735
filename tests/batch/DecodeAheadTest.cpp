#include "batch/DecodeAhead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include "support/Sandbox.h"
#include "support/TestJpeg.h"

namespace quorvale {
namespace {

using testing::MakeJpeg;
using testing::PhotoPixel;
using testing::Sandbox;

// Photos of different sizes, so that a mix-up shows.
std::vector<std::string> Photos(const Sandbox& box, int count) {
  std::vector<std::string> list;
  for (int i = 0; i < count; ++i) {
    const std::string name = "p" + std::to_string(i) + ".jpg";
    box.Write(name, MakeJpeg(64 + 8 * i, 48 + 4 * i, PhotoPixel));
    list.push_back(box.Path(name));
  }
  return list;
}

void ExpectAsLoaded(const std::string& path, const Bitmap& photo) {
  Bitmap loaded;
  ASSERT_TRUE(LoadJpegFile(path, loaded, nullptr).Ok());
  ASSERT_EQ(photo.Width(), loaded.Width()) << path;
  ASSERT_EQ(photo.Height(), loaded.Height()) << path;
  for (int y = 0; y < loaded.Height(); ++y) {
    ASSERT_EQ(
        0, std::memcmp(photo.Row(y), loaded.Row(y), static_cast<std::size_t>(loaded.Width()) * 3))
        << path << " row " << y;
  }
}

// Takes photos `from` to the end of `list` in turn, each as loading it gives it.
void TakeInTurn(DecodeAhead& ahead, const std::vector<std::string>& list, std::size_t from,
                Bitmap& photo) {
  for (std::size_t i = from; i < list.size(); ++i) {
    ahead.Turn(i, photo);
    ASSERT_EQ(ahead.Take(i, photo, nullptr).Ok(), true);
    ExpectAsLoaded(list[i], photo);
  }
}

// Whatever the jobs, and whether the photos fit the memory budget or each
// must wait for its turn.
TEST(DecodeAheadTest, EveryPhotoIsWhatLoadingItGivesWhateverTheJobs) {
  const Sandbox box;
  const std::vector<std::string> list = Photos(box, 7);
  for (const std::uint64_t budget : {std::uint64_t{1} << 30, std::uint64_t{1}}) {
    for (const int jobs : {1, 2, 3, 4}) {
      SCOPED_TRACE(std::to_string(jobs) + " jobs, budget " + std::to_string(budget));
      DecodeAhead ahead(list, jobs, budget, nullptr);
      Bitmap photo;
      TakeInTurn(ahead, list, 0, photo);
    }
  }
}

// The clock of the gated tests: it stands still unless a test moves it,
// and each test starts at 0.
std::atomic<std::int64_t> clockMilliseconds{0};
DecodeAhead::Clock::time_point StillClock() {
  return DecodeAhead::Clock::time_point(std::chrono::milliseconds(clockMilliseconds.load()));
}

// Two jobs over six photos, whose worker holds each decode until the gate
// opens, and a record of which thread claimed which photo ahead.
class GatedDecodeAhead : public ::testing::Test {
 protected:
  GatedDecodeAhead()
      : list(Photos(box, 6)), ahead(list, 2, std::uint64_t{1} << 30, gate, wanted, StillClock) {
    // The worker has the first photo before the caller's first turn.
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return !byWorker.empty(); });
  }
  ~GatedDecodeAhead() override { clockMilliseconds = 0; }

  void Open(bool isOpen = true) {
    std::lock_guard lock(mutex);
    open = isOpen;
    changed.notify_all();
  }

  bool CallerTakesOnPhoto4At(std::int64_t turn);

  bool ClaimedByWorker(std::size_t index) {
    std::unique_lock lock(mutex);
    // A bound only against a hang: the claim comes at once or never.
    return changed.wait_for(lock, std::chrono::seconds(20),
                            [&] { return byWorker.count(list[index]) == 1; });
  }

  const Sandbox box;
  const std::vector<std::string> list;
  const std::thread::id caller = std::this_thread::get_id();
  std::mutex mutex;
  std::condition_variable changed;
  bool open = false;
  std::set<std::string> byCaller, byWorker;
  const CancelCheck gate = [this] {
    if (std::this_thread::get_id() == caller) return false;
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return open; });
    return false;
  };
  const std::function<bool(const std::string&)> wanted = [this](const std::string& path) {
    std::lock_guard lock(mutex);
    (std::this_thread::get_id() == caller ? byCaller : byWorker).insert(path);
    changed.notify_all();
    return true;
  };
  DecodeAhead ahead;
  Bitmap photo;
};

// While the worker holds the photo whose turn it is, the calling thread
// does not sit idle: it takes on every later photo that may be decoded
// ahead (the worker's gate opens once it has, or, should it never, after
// some hundred calls of `waiting`), and keeps calling `waiting` meanwhile.
TEST_F(GatedDecodeAhead, CallerDecodesFurtherPhotosWhileItsOwnIsOnAWorker) {
  int calls = 0;
  const auto waiting = [&] {
    ++calls;
    std::lock_guard lock(mutex);
    if (byCaller.size() == 2 || calls > 100) open = true;
    changed.notify_all();
  };
  ahead.Turn(0, photo);
  ASSERT_EQ(ahead.Take(0, photo, waiting).Ok(), true);

  EXPECT_LE(calls, 100);
  {
    std::lock_guard lock(mutex);
    EXPECT_EQ(byCaller, (std::set<std::string>{list[1], list[2]}));
  }
  ExpectAsLoaded(list[0], photo);
  TakeInTurn(ahead, list, 1, photo);
}

// Once it has timed the workers' decodes and how long it keeps a photo's
// memory (20 ms here), the calling thread helps only while the photo a
// worker has for it has more than half that time to go: a decode it takes
// on ties it up for a whole photo. Whether it took on photo 4, with its
// turn at `turn` ms.
bool GatedDecodeAhead::CallerTakesOnPhoto4At(std::int64_t turn) {
  // Photo 0 takes the worker 100 ms; the caller has 1 and 2 meanwhile.
  ahead.Turn(0, photo);
  const auto whenTheCallerHasTwo = [&] {
    std::lock_guard lock(mutex);
    if (byCaller.size() < 2 || open) return;
    clockMilliseconds += 100;
    open = true;
    changed.notify_all();
  };
  EXPECT_EQ(ahead.Take(0, photo, whenTheCallerHasTwo).Ok(), true);
  Open(false);
  {
    std::lock_guard lock(mutex);
    EXPECT_EQ(byWorker.count(list[3]), 0u);
  }
  // Each photo is kept 20 ms. The first release gives the photo's memory
  // back, and with it a third photo past it may go ahead: photo 3, at 120 ms.
  for (std::size_t i = 1; i <= 3; ++i) {
    clockMilliseconds += 20;
    ahead.Release(photo);
    if (i == 1) {
      EXPECT_EQ(photo.Width(), 0);
      EXPECT_TRUE(ClaimedByWorker(3));
    }
    if (i == 3) break;
    ahead.Turn(i, photo);
    EXPECT_EQ(ahead.Take(i, photo, nullptr).Ok(), true);
  }
  clockMilliseconds = turn;
  ahead.Turn(3, photo);
  EXPECT_TRUE(ahead.Take(3, photo, [&] { Open(); }).Ok());
  ExpectAsLoaded(list[3], photo);
  bool tookOn = false;
  {
    std::lock_guard lock(mutex);
    tookOn = byCaller.count(list[4]) == 1;
  }
  TakeInTurn(ahead, list, 4, photo);
  return tookOn;
}

// Photo 3 should be done at 220 ms if it is taken to be as large as photo
// 0, at 292 ms once its header says it is 1.72 times larger: either way
// long after a turn at 200 ms, and not after one at 300 ms.
TEST_F(GatedDecodeAhead, CallerHelpsWhileTheWaitIsLong) {
  EXPECT_TRUE(CallerTakesOnPhoto4At(200));
}

TEST_F(GatedDecodeAhead, CallerWaitsForAPhotoNearlyDone) {
  EXPECT_FALSE(CallerTakesOnPhoto4At(300));
}

// What `waiting` throws while the caller decodes a photo ahead comes out
// of Take, not through the decoder, and that photo is decoded anew at its
// turn.
TEST_F(GatedDecodeAhead, ExceptionFromWaitingWhileDecodingAheadComesOutOfTake) {
  ahead.Turn(0, photo);
  EXPECT_THROW(ahead.Take(0, photo, [] { throw std::runtime_error("window gone"); }),
               std::runtime_error);
  {
    std::lock_guard lock(mutex);
    EXPECT_EQ(byCaller, std::set<std::string>{list[1]});
  }
  Open();
  TakeInTurn(ahead, list, 0, photo);
}

}  // namespace
}  // namespace quorvale
