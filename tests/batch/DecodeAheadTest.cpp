#include "batch/DecodeAhead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <system_error>
#include <thread>

#include "codec/PhotoReader.h"
#include "platform/FileSystem.h"
#include "support/Sandbox.h"
#include "support/TestJpeg.h"

namespace quorvale {
namespace {

using testing::MakeJpeg;
using testing::PhotoPixel;
using testing::Sandbox;

constexpr std::uint64_t Plenty = std::uint64_t{1} << 30;

// A bound only against a hang: what is waited for comes at once or never.
constexpr auto HangBound = std::chrono::seconds(20);

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
  ASSERT_TRUE(LoadPhotoFile(path, loaded, nullptr).Ok());
  ASSERT_EQ(photo.Width(), loaded.Width()) << path;
  ASSERT_EQ(photo.Height(), loaded.Height()) << path;
  for (int y = 0; y < loaded.Height(); ++y) {
    ASSERT_EQ(
        0, std::memcmp(photo.Row(y), loaded.Row(y), static_cast<std::size_t>(loaded.Width()) * 3))
        << path << " row " << y;
  }
}

FileStamp StampNow(const std::string& path) {
  struct stat st {};
  return StatPath(path, st) ? StampOf(st) : FileStamp{};
}

// Takes photos `from` to `to` (the end of `list`) in turn, each as loading
// it gives it.
void TakeInTurn(DecodeAhead& ahead, const std::vector<std::string>& list, std::size_t from,
                Bitmap& photo, std::size_t to = SIZE_MAX) {
  for (std::size_t i = from; i < list.size() && i < to; ++i) {
    ahead.Turn(i, photo);
    ASSERT_TRUE(ahead.Take(i, photo, StampNow(list[i])).decoded.Ok());
    ExpectAsLoaded(list[i], photo);
  }
}

// Whatever the jobs, however many worker threads the system lets start
// (with none, every photo is decoded at its turn, as with one job), and
// whether the photos fit the memory budget or each must wait for its turn.
TEST(DecodeAheadTest, EveryPhotoIsWhatLoadingItGivesWhateverTheJobsAndThreads) {
  const Sandbox box;
  const std::vector<std::string> list = Photos(box, 7);
  for (const std::uint64_t budget : {Plenty, std::uint64_t{1}}) {
    for (const int jobs : {1, 2, 3, 4}) {
      for (const int allowed : {0, 1, 3}) {
        SCOPED_TRACE(std::to_string(jobs) + " jobs, " + std::to_string(allowed) +
                     " threads allowed, budget " + std::to_string(budget));
        int started = 0;
        const DecodeAhead::ThreadStarter start = [&](std::function<void()> work) {
          if (started == allowed) throw std::system_error(EAGAIN, std::generic_category());
          ++started;
          return std::thread(std::move(work));
        };
        std::atomic<int> decodedAhead{0};
        const auto wanted = [&](std::size_t) { return ++decodedAhead, true; };
        BitmapPool pool(budget);
        DecodeAhead ahead(list, jobs, pool, nullptr, wanted, start);
        EXPECT_EQ(ahead.Workers(), std::min(jobs - 1, allowed));
        Bitmap photo;
        TakeInTurn(ahead, list, 0, photo);
        EXPECT_TRUE(ahead.Workers() > 0 || decodedAhead == 0);
      }
    }
  }
}

// What a test's decoder saw, shared with the threads it runs on.
struct DecodeLog {
  std::mutex mutex;
  std::condition_variable changed;
  std::map<std::string, bool> admitted;  // the admission's answer, by path
  int inFlight = 0;                      // decodes ahead that have begun

  // Makes `change` under the lock and wakes whoever waits.
  void Note(const std::function<void()>& change) {
    std::lock_guard lock(mutex);
    change();
    changed.notify_all();
  }
  // Waits until `done` holds; false if it never does.
  bool WaitFor(const std::function<bool()>& done) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, HangBound, done);
  }
};

// The memory budget charges a bitmap by all the memory it holds: a small
// photo decoded into a large bitmap handed back earlier holds the large one.
TEST(DecodeAheadTest, BudgetChargesEachBitmapByItsCapacity) {
  const Sandbox box;
  const std::vector<std::string> list = Photos(box, 4);
  const std::uint64_t large = static_cast<std::uint64_t>(RowBytes(400)) * 300;
  // Room for the large bitmap and photo 1 beside it, not for photo 2 too.
  BitmapPool pool(large + static_cast<std::uint64_t>(RowBytes(72)) * 52 + 100);
  pool.GiveBack(Bitmap(400, 300), 0, 1);
  DecodeLog log;
  const DecodeAhead::Decoder recording = [&](const std::string& path, Bitmap& bitmap,
                                             const CancelCheck& cancel,
                                             const DecodeAdmission& admit) {
    if (!admit) return DecodeAhead::LoadWhole(path, bitmap, cancel, admit);
    return DecodeAhead::LoadWhole(path, bitmap, cancel, [&](std::uint64_t bytes) {
      const bool yes = admit(bytes);
      log.Note([&] { log.admitted[path] = yes; });
      return yes;
    });
  };
  DecodeAhead ahead(list, 2, pool, nullptr, nullptr, DecodeAhead::StartThread, recording);
  // Before the first turn, the worker goes up to photo 2.
  ASSERT_TRUE(log.WaitFor([&] { return log.admitted.size() == 3; }));
  EXPECT_EQ(log.admitted,
            (std::map<std::string, bool>{{list[0], true}, {list[1], true}, {list[2], false}}));
  Bitmap photo;
  TakeInTurn(ahead, list, 0, photo);
}

// A decode ahead that runs out of memory (an allocation failure on a
// worker) is done again at its turn once nothing is held ahead; if that too
// runs out, Take throws std::bad_alloc, and it never says the photo cannot
// be read.
TEST(DecodeAheadTest, OutOfMemoryAheadIsTriedAgainAtItsTurnWithNothingAhead) {
  const Sandbox box;
  const std::vector<std::string> list = Photos(box, 5);
  for (const bool failsAtItsTurnToo : {false, true}) {
    SCOPED_TRACE(failsAtItsTurnToo ? "fails at its turn too" : "fails ahead only");
    BitmapPool pool(Plenty);
    DecodeLog log;
    bool failedAhead = false;
    bool roomMade = false;
    const DecodeAhead::Decoder failing = [&](const std::string& path, Bitmap& bitmap,
                                             const CancelCheck& cancel,
                                             const DecodeAdmission& admit) {
      if (path == list[2]) {
        // At its turn, on this thread, the workers hold off.
        if (admit) log.Note([&] { failedAhead = true; });
        if (!admit) roomMade = pool.Charged() == bitmap.Capacity();
        if (admit || failsAtItsTurnToo) throw std::bad_alloc();
      }
      return DecodeAhead::LoadWhole(path, bitmap, cancel, admit);
    };
    DecodeAhead ahead(list, 2, pool, nullptr, nullptr, DecodeAhead::StartThread, failing);
    ASSERT_TRUE(log.WaitFor([&] { return failedAhead; }));
    Bitmap photo;
    TakeInTurn(ahead, list, 0, photo, 2);
    if (failsAtItsTurnToo) {
      ahead.Turn(2, photo);
      EXPECT_THROW(ahead.Take(2, photo, StampNow(list[2])), std::bad_alloc);
    } else {
      TakeInTurn(ahead, list, 2, photo);
    }
    EXPECT_TRUE(roomMade);
  }
}

// While a worker has the photo whose turn it is, the calling thread does
// not sit idle: it decodes the photo right after it, and no further, since
// the turn would wait for that too (the worker's gate opens once the
// caller has begun its photo).
TEST(DecodeAheadTest, CallerDecodesTheNextPhotoWhileItsOwnIsOnAWorker) {
  const Sandbox box;
  const std::vector<std::string> list = Photos(box, 6);
  const std::thread::id caller = std::this_thread::get_id();
  DecodeLog log;
  std::set<std::string> byCaller;
  bool open = false;
  const CancelCheck gate = [&] {
    std::unique_lock lock(log.mutex);
    if (std::this_thread::get_id() != caller) log.changed.wait(lock, [&] { return open; });
    return false;
  };
  const auto wanted = [&](std::size_t index) {
    const std::string& path = list[index];
    std::lock_guard lock(log.mutex);
    if (std::this_thread::get_id() == caller) {
      byCaller.insert(path);
      open = true;
    }
    ++log.inFlight;
    log.changed.notify_all();
    return true;
  };
  BitmapPool pool(Plenty);
  DecodeAhead ahead(list, 2, pool, gate, wanted);
  // The worker has the first photo before the caller's first turn.
  ASSERT_TRUE(log.WaitFor([&] { return log.inFlight == 1; }));
  Bitmap photo;
  TakeInTurn(ahead, list, 0, photo, 1);
  {
    std::lock_guard lock(log.mutex);
    EXPECT_EQ(byCaller, (std::set<std::string>{list[1]}));
  }
  TakeInTurn(ahead, list, 1, photo);
}

// Decodes in flight end as soon as the run is cancelled, or stops (a
// question answered Yes) and lets the decoding go: none decodes on. Each
// decode ahead here goes on until its cancel check says to stop.
TEST(DecodeAheadTest, CancelWithDecodesInFlightStopsAtOnce) {
  const Sandbox box;
  const std::vector<std::string> list = Photos(box, 6);
  for (const bool cancelled : {true, false}) {
    SCOPED_TRACE(cancelled ? "cancelled" : "stopped");
    DecodeLog log;
    std::atomic<bool> cancel{false};
    std::atomic<int> decodedOn{0};
    const DecodeAhead::Decoder endless = [&](const std::string& path, Bitmap& bitmap,
                                             const CancelCheck& check,
                                             const DecodeAdmission& admit) {
      if (admit) {
        log.Note([&] { ++log.inFlight; });
        for (const auto bound = std::chrono::steady_clock::now() + HangBound; !check();) {
          if (std::chrono::steady_clock::now() > bound) {
            ++decodedOn;
            break;
          }
          std::this_thread::yield();
        }
      }
      return DecodeAhead::LoadWhole(path, bitmap, check, admit);
    };
    {
      BitmapPool pool(Plenty);
      DecodeAhead ahead(
          list, 4, pool, [&] { return cancel.load(); }, nullptr, DecodeAhead::StartThread, endless);
      ASSERT_TRUE(log.WaitFor([&] { return log.inFlight == 3; }));
      if (cancelled) {
        cancel = true;
        Bitmap photo;
        ahead.Turn(0, photo);
        EXPECT_EQ(ahead.Take(0, photo, StampNow(list[0])).decoded.status, DecodeStatus::Cancelled);
      }
    }
    EXPECT_EQ(decodedOn.load(), 0);
  }
}

}  // namespace
}  // namespace quorvale
