#include "batch/DecodeAhead.h"

#include <chrono>

#include "platform/FileSystem.h"

namespace quorvale {
namespace {

constexpr auto WaitSlice = std::chrono::milliseconds(10);

// A running estimate: a quarter of each new measure.
template <typename T>
T Blend(T estimate, T measured) {
  return estimate == T{} ? measured : (3 * estimate + measured) / 4;
}

}  // namespace

DecodeAhead::DecodeAhead(const std::vector<std::string>& list, int jobs, std::uint64_t memoryBudget,
                         CancelCheck cancel, std::function<bool(const std::string&)> wanted,
                         Clock::time_point (*now)())
    : list_(list),
      budget_(memoryBudget),
      ahead_(jobs > 1 ? static_cast<std::size_t>(jobs) : 0),
      cancel_(
          [this, cancel = std::move(cancel)] { return abandon_.load() || (cancel && cancel()); }),
      wanted_(std::move(wanted)),
      now_(now),
      slots_(list.size()) {
  for (int i = 1; i < jobs; ++i) threads_.emplace_back([this] { Work(); });
}

DecodeAhead::~DecodeAhead() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    abandon_ = true;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

DecodeAhead::Stamp DecodeAhead::StampOf(const std::string& path) {
  struct stat st {};
  if (!StatPath(path, st)) return {};
  return {true,
          static_cast<std::uint64_t>(st.st_dev),
          static_cast<std::uint64_t>(st.st_ino),
          static_cast<std::uint64_t>(st.st_size),
          static_cast<std::int64_t>(st.st_mtim.tv_sec),
          static_cast<std::int64_t>(st.st_mtim.tv_nsec)};
}

void DecodeAhead::Turn(std::size_t index, Bitmap& finished) {
  {
    std::lock_guard lock(mutex_);
    EndHold();
    KeepSpare(std::move(finished));
    finished = Bitmap();
    for (std::size_t i = turn_; i < index && i < slots_.size(); ++i) Drop(i);
    turn_ = index;
    released_ = false;
    if (next_ < index) next_ = index;
  }
  changed_.notify_all();
}

void DecodeAhead::Release(Bitmap& memory) {
  {
    std::lock_guard lock(mutex_);
    EndHold();
    KeepSpare(std::move(memory));
    memory = Bitmap();
    released_ = true;
  }
  changed_.notify_all();
}

void DecodeAhead::EndHold() {
  if (holding_) hold_ = Blend(hold_, now_() - taken_);
  holding_ = false;
}

void DecodeAhead::Drop(std::size_t index) {
  Slot& slot = slots_[index];
  // A decode still running drops its own result once it sees the turn has passed.
  if (slot.state == State::Decoding) return;
  used_ -= slot.bytes;
  KeepSpare(std::move(slot.bitmap));
  slot = Slot{};
  slot.state = State::Taken;
}

Bitmap DecodeAhead::TakeSpare() {
  if (spares_.empty()) return Bitmap();
  Bitmap bitmap = std::move(spares_.back());
  spares_.pop_back();
  return bitmap;
}

void DecodeAhead::KeepSpare(Bitmap&& bitmap) {
  // The photo in hand and those ahead are all that can be held at once.
  if (bitmap.Width() > 0 && spares_.size() <= ahead_) spares_.push_back(std::move(bitmap));
}

DecodeResult DecodeAhead::Take(std::size_t index, Bitmap& photo,
                               const std::function<void()>& waiting) {
  const std::string& path = list_[index];
  // Decodes done here while the photo is still on a worker keep the front
  // end's events going too, from their first cancel check on. The check
  // runs inside libjpeg, which an exception must not cross: one from
  // `waiting` ends that decode (it is done again at its turn) and is thrown
  // once out of it.
  auto lastCall = std::chrono::steady_clock::now() - WaitSlice;
  std::exception_ptr waitingError;
  const CancelCheck helping = [&] {
    const auto now = std::chrono::steady_clock::now();
    if (waiting && !waitingError && now - lastCall >= WaitSlice) {
      lastCall = now;
      try {
        waiting();
      } catch (...) {
        waitingError = std::current_exception();
      }
    }
    return waitingError != nullptr || cancel_();
  };
  std::unique_lock lock(mutex_);
  Slot& slot = slots_[index];
  while (slot.state == State::Decoding) {
    if (MayGoAhead() && WorthHelping(slot)) {
      // Not timed: these decodes also serve the front end's events.
      DecodeNext(lock, helping, false);
      if (waitingError) {
        lock.unlock();
        std::rethrow_exception(waitingError);
      }
      continue;
    }
    if (changed_.wait_for(lock, WaitSlice, [&] { return slot.state != State::Decoding; })) break;
    lock.unlock();
    if (waiting) waiting();
    lastCall = std::chrono::steady_clock::now();
    lock.lock();
  }
  if (slot.state != State::Done) {
    slot.state = State::Taken;
    photo = TakeSpare();
    lock.unlock();
    return LoadJpegFile(path, photo, cancel_);
  }

  // How long the photo's memory is kept from here is timed; a photo decoded
  // at its turn, above, would count its decode too, so it is not.
  taken_ = now_();
  holding_ = true;
  Slot done = std::move(slot);
  slot = Slot{};
  slot.state = State::Taken;
  used_ -= done.bytes;
  lock.unlock();
  changed_.notify_all();

  if (done.error) std::rethrow_exception(done.error);
  // A file that changed since, or a decode that gave up, is decoded again:
  // the photo is what the file holds at its turn.
  photo = std::move(done.bitmap);
  if (done.result.status == DecodeStatus::Cancelled || !done.stamp.valid || done.stamp != StampOf(path)) {
    return LoadJpegFile(path, photo, cancel_);
  }
  return std::move(done.result);
}

bool DecodeAhead::MayGoAhead() const {
  return next_ < slots_.size() && next_ <= turn_ + ahead_ + (released_ && ahead_ > 0 ? 1 : 0);
}

// Helping, this thread is bound to its decode for a whole photo. The photo
// whose turn it is then waits; its worker decodes one more photo after it
// and must then wait for the memory of the photo in hand, which this thread
// keeps for about `hold_` once it has taken it. So helping costs the worker
// about hold_ - remaining, and waiting costs this thread the `remaining`
// time of the worker's decode: help when that is the larger.
bool DecodeAhead::WorthHelping(const Slot& slot) const {
  const std::uint64_t bytes = slot.bytes != 0 ? slot.bytes : lastBytes_;
  if (bytes == 0 || decodeNanosPerByte_ == 0 || hold_ == Clock::duration{}) return true;
  const auto expected = std::chrono::nanoseconds(
      static_cast<std::int64_t>(decodeNanosPerByte_ * static_cast<double>(bytes)));
  return slot.started + expected - now_() > hold_ / 2;
}

void DecodeAhead::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stopping_ || MayGoAhead(); });
    if (stopping_) return;
    DecodeNext(lock, cancel_, true);
  }
}

void DecodeAhead::DecodeNext(std::unique_lock<std::mutex>& lock, const CancelCheck& cancel,
                             bool timed) {
  const std::size_t index = next_++;
  Slot& slot = slots_[index];
  if (slot.state != State::Open) return;  // taken at its turn already
  slot.state = State::Decoding;
  slot.started = now_();
  const std::string& path = list_[index];
  Slot done;
  done.bitmap = TakeSpare();
  lock.unlock();

  bool left = wanted_ && !wanted_(path);
  if (!left) {
    done.stamp = StampOf(path);
    // Only a photo whose pixels fit beside those already held goes ahead;
    // a larger one waits for its turn, as does one whose turn has passed.
    const DecodeAdmission admit = [&](std::uint64_t bytes) {
      const std::lock_guard guard(mutex_);
      if (stopping_ || index < turn_ || used_ + bytes > budget_) return false;
      used_ += bytes;
      done.bytes = slots_[index].bytes = bytes;
      return true;
    };
    try {
      done.result = LoadJpegFile(path, done.bitmap, cancel, admit);
    } catch (...) {
      done.error = std::current_exception();
    }
    left = done.result.status == DecodeStatus::Declined;
  }

  lock.lock();
  if (timed && done.bytes > 0 && done.result.Ok() && !done.error) {
    const std::chrono::duration<double, std::nano> took = now_() - slot.started;
    decodeNanosPerByte_ =
        Blend(decodeNanosPerByte_, took.count() / static_cast<double>(done.bytes));
    lastBytes_ = done.bytes;
  }
  if (left) {
    KeepSpare(std::move(done.bitmap));
    slot.state = index < turn_ ? State::Taken : State::Left;
  } else {
    done.state = State::Done;
    slot = std::move(done);
    if (index < turn_) Drop(index);
  }
  changed_.notify_all();
}

}  // namespace quorvale
