#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/Cancel.h"
#include "imaging/JpegFile.h"

namespace quorvale {

// Decodes the photos of a run's list ahead of their turn, `jobs` at a time:
// jobs - 1 worker threads, and the calling thread itself whenever the photo
// whose turn it is is still being decoded by a worker and has long enough to
// go (it then decodes the next photo ahead rather than wait). So `jobs`
// threads are busy, never more: a third busy thread on two cores only waits
// for the system to move it.
// The calling thread keeps the list's order: it announces each turn with
// Turn and may then Take the photo. At most `jobs` photos after the one in
// hand are decoded ahead (one more once that one has Released its memory),
// and only while the decoded pixels of all of them fit `memoryBudget`
// bytes; a photo that does not fit is decoded at its turn. With one job
// every photo is decoded at its turn, on the calling thread. Work ahead is
// abandoned and joined when the object goes.
class DecodeAhead {
 public:
  using Clock = std::chrono::steady_clock;

  // `cancel` is asked by every decode, on whichever thread it runs; `wanted`
  // by the workers before they decode a photo ahead (a photo it refuses is
  // decoded at its turn, if it is taken then). `now` tells the time by which
  // the calling thread judges whether to help.
  DecodeAhead(const std::vector<std::string>& list, int jobs, std::uint64_t memoryBudget,
              CancelCheck cancel, std::function<bool(const std::string& path)> wanted = nullptr,
              Clock::time_point (*now)() = Clock::now);
  ~DecodeAhead();
  DecodeAhead(const DecodeAhead&) = delete;
  DecodeAhead& operator=(const DecodeAhead&) = delete;

  // Photo `index` is in hand now: the earlier ones are done with, and the
  // decodes may go on up to `index` + jobs. `finished`, the bitmap of the
  // photo before, gives its memory to the next decode (so that at most
  // jobs + 1 photos are held, and memory is reused rather than faulted in
  // anew); it is left empty. Indices only grow.
  void Turn(std::size_t index, Bitmap& finished);

  // The photo in hand no longer needs the memory it was decoded into (it
  // was reduced into a bitmap of its own): `memory` goes to the next
  // decode, and one more photo may be decoded ahead, the in-hand one
  // holding no decoded photo's memory any more. `memory` is left empty.
  void Release(Bitmap& memory);

  // Photo `index` (the one in hand) decoded into `photo`, as LoadJpegFile
  // would give it now: the one decoded ahead, unless the file changed since
  // (then it is decoded again here). While a worker is still on it, this
  // thread decodes photos further ahead if they may go and the wait is worth
  // it, and calls `waiting` about every 10 ms all the same. An exception
  // thrown by the decode of this photo, on whatever thread, is thrown here,
  // as is one from `waiting`.
  DecodeResult Take(std::size_t index, Bitmap& photo, const std::function<void()>& waiting = {});

 private:
  // What identifies the content of a file: a change to it changes one of these.
  struct Stamp {
    bool valid = false;
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t seconds = 0, nanoseconds = 0;
    friend bool operator==(const Stamp&, const Stamp&) = default;
  };
  static Stamp StampOf(const std::string& path);

  enum class State { Open, Decoding, Done, Left, Taken };
  struct Slot {
    State state = State::Open;
    Bitmap bitmap;
    DecodeResult result;
    Stamp stamp;
    std::exception_ptr error;
    // Of the budget, from the moment the decode is admitted (its header read).
    std::uint64_t bytes = 0;
    Clock::time_point started;  // while Decoding
  };

  void Work();
  // Whether the next photo may be decoded ahead now; the lock is held.
  bool MayGoAhead() const;
  // Whether the calling thread, waiting for `slot` that a worker decodes,
  // had better decode the next photo meanwhile than wait; the lock is held.
  bool WorthHelping(const Slot& slot) const;
  // The photo in hand stops holding its decoded memory (it was released, or
  // its turn ended); the lock is held.
  void EndHold();
  // Decodes the next photo ahead, or leaves it for its turn, with `cancel`;
  // a `timed` decode adds to the estimate of decoding time. Called with the
  // lock held and MayGoAhead true; returns with it held.
  void DecodeNext(std::unique_lock<std::mutex>& lock, const CancelCheck& cancel, bool timed);
  // Frees what slot `index` holds; the lock is held.
  void Drop(std::size_t index);
  // Memory for a decode, from a finished photo if one was handed back, or an
  // empty bitmap; the lock is held.
  Bitmap TakeSpare();
  // Keeps `bitmap`'s memory for a later decode, as long as no more bitmaps
  // are kept than can be in use at once; the lock is held.
  void KeepSpare(Bitmap&& bitmap);

  const std::vector<std::string>& list_;
  const std::uint64_t budget_;
  const std::size_t ahead_;

  std::atomic<bool> abandon_{false};  // asked by the decodes, with the run's cancel
  const CancelCheck cancel_;
  const std::function<bool(const std::string&)> wanted_;
  Clock::time_point (*const now_)();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Slot> slots_;
  std::vector<Bitmap> spares_;  // memory for the next decodes
  std::size_t turn_ = 0;        // the photo in hand
  std::size_t next_ = 0;        // the first photo no worker has looked at
  bool released_ = false;       // the photo in hand gave its memory back
  std::uint64_t used_ = 0;      // bytes of decoded pixels held ahead
  bool stopping_ = false;
  // How long decodes take per byte of pixels, and how long the photo in
  // hand keeps its decoded memory after Take: running estimates, zero until
  // measured. A photo whose header is not read yet is taken to be as large
  // as the last one timed.
  double decodeNanosPerByte_ = 0;
  std::uint64_t lastBytes_ = 0;
  Clock::duration hold_{};
  Clock::time_point taken_;
  bool holding_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace quorvale
