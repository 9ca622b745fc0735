#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "batch/BitmapPool.h"
#include "batch/PhotoSteps.h"
#include "pixels/Bitmap.h"
#include "pixels/Cancel.h"

namespace quorvale {

// Decodes the photos of a run's list ahead of their turn, `jobs` at a time:
// jobs - 1 worker threads, and the calling thread itself, which decodes the
// photo right after the one whose turn it is while that one is still on a
// worker. So `jobs` threads are busy, never more: a third busy thread on
// two cores only waits for the system to move it. The calling thread takes
// no photo further ahead: the turn waits for whatever it decodes, and the
// workers with it once they reach the end of what may go ahead.
// The calling thread keeps the list's order: it announces each turn with
// Turn and may then Take the photo. At most `jobs` photos after the one in
// hand are decoded ahead (one more once that one has Released its memory),
// into bitmaps of `pool`, and only while the pool's budget admits them; a
// photo it does not admit is decoded at its turn. With one job, or when no
// worker thread could be started, every photo is decoded at its turn, on
// the calling thread. Work ahead is abandoned and joined when the object
// goes.
class DecodeAhead {
 public:
  using ThreadStarter = std::function<std::thread(std::function<void()> work)>;
  // Opens the photo file at `path` once and decodes it into `bitmap`, as
  // LoadWhole does.
  using Decoder =
      std::function<LoadedPhoto(const std::string& path, Bitmap& bitmap, const CancelCheck& cancel,
                                const DecodeAdmission& admit)>;

  static std::thread StartThread(std::function<void()> work) {
    return std::thread(std::move(work));
  }
  // The whole photo, through OpenPhotoFile and DecodeToBitmap.
  static LoadedPhoto LoadWhole(const std::string& path, Bitmap& bitmap, const CancelCheck& cancel,
                               const DecodeAdmission& admit);

  // `cancel`, which only reads flags, is asked by every decode, on whichever
  // thread it runs; `wanted` with a photo's index before it is decoded
  // ahead (a photo it refuses is decoded at its turn, if it is taken then).
  // `start` starts each worker; one it cannot start (it throws) leaves the
  // run with fewer.
  DecodeAhead(const std::vector<std::string>& list, int jobs, BitmapPool& pool, CancelCheck cancel,
              std::function<bool(std::size_t index)> wanted = nullptr,
              ThreadStarter start = StartThread, Decoder decode = LoadWhole);
  ~DecodeAhead();
  DecodeAhead(const DecodeAhead&) = delete;
  DecodeAhead& operator=(const DecodeAhead&) = delete;

  // The worker threads started: jobs - 1, or fewer when the system refused.
  int Workers() const { return static_cast<int>(threads_.size()); }

  // Photo `index` is in hand now: the earlier ones are done with, and the
  // decodes may go on up to `index` + jobs. `finished`, the bitmap of the
  // photo before, goes back to the pool for the next decode (so that at
  // most jobs + 1 photos are held, and memory is reused rather than faulted
  // in anew); it is left empty. Indices only grow.
  void Turn(std::size_t index, Bitmap& finished);

  // The photo in hand no longer needs the memory it was decoded into (it
  // was reduced into a bitmap of its own): `memory` goes back to the pool,
  // and one more photo may be decoded ahead. `memory` is left empty.
  void Release(Bitmap& memory);

  // Photo `index` (the one in hand) decoded into `photo`, as the decoder
  // would give it now: the one decoded ahead, unless the file changed since
  // (its stamp now is `now`, what a stat of it gives; then it is decoded
  // again here). While a worker is still on it, this
  // thread decodes the photo right after it, if no thread has. A decode
  // that ran out of memory is done again here once every decode ahead has
  // ended and given its memory back; when that one runs out too, this throws
  // std::bad_alloc (so no result says out of memory). Any other exception
  // thrown by the decode of this photo, on whatever thread, is thrown here.
  LoadedPhoto Take(std::size_t index, Bitmap& photo, const FileStamp& now);

  // Photo `index`, taken already, decoded again into `photo` by `decode`
  // rather than the run's decoder (its options changed since the decode
  // ahead), as Take decodes a photo at its turn.
  LoadedPhoto DecodeAgain(std::size_t index, Bitmap& photo, const Decoder& decode);

 private:
  enum class State { Open, Decoding, Done, Left, Taken };
  struct Slot {
    State state = State::Open;
    Bitmap bitmap;
    std::uint64_t charge = 0;  // what the pool charges for `bitmap`
    LoadedPhoto loaded;
    std::exception_ptr error;
  };

  void Work();
  // Whether the next photo may be decoded ahead now; the lock is held.
  bool MayGoAhead() const;
  // Decodes the next photo ahead, or leaves it for its turn. Called with
  // the lock held and MayGoAhead true; returns with it held.
  void DecodeNext(std::unique_lock<std::mutex>& lock);
  // Decodes the photo in hand, `path`, into `photo` at its turn, first
  // making room when `makeRoom` (then, or once it has run out of memory, it
  // is tried once more). Called and returns with the lock held.
  LoadedPhoto DecodeInHand(std::unique_lock<std::mutex>& lock, const std::string& path,
                           Bitmap& photo, bool makeRoom, const Decoder& decode);
  // Ends the decodes ahead and gives their memory and the spare bitmaps
  // back, and holds off further decodes ahead until the photo in hand is
  // decoded; those photos are decoded again later. The lock is held.
  void MakeRoom(std::unique_lock<std::mutex>& lock);
  // Gives back what slot `index` holds and leaves it `state`; the lock is held.
  void Drop(std::size_t index, State state = State::Taken);
  // `bitmap`, charged `charge`, back to the pool; the lock is held.
  void GiveBack(Bitmap& bitmap, std::uint64_t charge);

  const std::vector<std::string>& list_;
  BitmapPool& pool_;
  const Decoder decode_;

  std::atomic<bool> abandon_{false};  // asked by the decodes, with the run's cancel
  const CancelCheck cancel_;
  const std::function<bool(std::size_t)> wanted_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t ahead_ = 0;  // set once the workers are started
  std::vector<Slot> slots_;
  std::size_t turn_ = 0;          // the photo in hand
  std::size_t next_ = 0;          // the first photo no thread has looked at
  bool released_ = false;         // the photo in hand gave its memory back
  std::uint64_t handCharge_ = 0;  // what the pool charges for the photo in hand
  int inFlight_ = 0;              // decodes ahead running
  bool holding_ = false;          // no decode ahead may start (MakeRoom)
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace quorvale
