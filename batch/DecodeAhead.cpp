#include "batch/DecodeAhead.h"

#include <sys/stat.h>

#include <chrono>
#include <optional>

namespace quorvale {
namespace {

constexpr auto WaitSlice = std::chrono::milliseconds(10);

}  // namespace

DecodeAhead::DecodeAhead(const std::vector<std::string>& list, int workers,
                         std::uint64_t memoryBudget, CancelCheck cancel,
                         std::function<bool(const std::string&)> wanted)
    : list_(list),
      budget_(memoryBudget),
      ahead_(static_cast<std::size_t>(std::max(workers, 0))),
      cancel_(
          [this, cancel = std::move(cancel)] { return abandon_.load() || (cancel && cancel()); }),
      wanted_(std::move(wanted)),
      slots_(list.size()) {
  for (int i = 0; i < workers; ++i) threads_.emplace_back([this] { Work(); });
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
  if (::stat(path.c_str(), &st) != 0) return {};
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
    spare_ = std::move(finished);
    finished = Bitmap();
    for (std::size_t i = turn_; i < index && i < slots_.size(); ++i) Drop(i);
    turn_ = index;
    if (next_ < index) next_ = index;
  }
  changed_.notify_all();
}

void DecodeAhead::Drop(std::size_t index) {
  Slot& slot = slots_[index];
  // A decode still running drops its own result once it sees the turn has passed.
  if (slot.state == State::Decoding) return;
  used_ -= slot.bytes;
  if (spare_.Width() == 0) spare_ = std::move(slot.bitmap);
  slot = Slot{};
  slot.state = State::Taken;
}

Bitmap DecodeAhead::TakeSpare() {
  Bitmap bitmap = std::move(spare_);
  spare_ = Bitmap();
  return bitmap;
}

DecodeResult DecodeAhead::Take(std::size_t index, Bitmap& photo,
                               const std::function<void()>& waiting) {
  const std::string& path = list_[index];
  std::unique_lock lock(mutex_);
  Slot& slot = slots_[index];
  while (slot.state == State::Decoding) {
    if (changed_.wait_for(lock, WaitSlice, [&] { return slot.state != State::Decoding; })) break;
    lock.unlock();
    if (waiting) waiting();
    lock.lock();
  }
  if (slot.state != State::Done) {
    slot.state = State::Taken;
    photo = TakeSpare();
    lock.unlock();
    return LoadJpegFile(path, photo, cancel_);
  }

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
  if (done.result.cancelled || !done.stamp.valid || done.stamp != StampOf(path)) {
    return LoadJpegFile(path, photo, cancel_);
  }
  return std::move(done.result);
}

void DecodeAhead::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock,
                  [&] { return stopping_ || (next_ < slots_.size() && next_ <= turn_ + ahead_); });
    if (stopping_) return;
    const std::size_t index = next_++;
    Slot& slot = slots_[index];
    if (slot.state != State::Open) continue;  // taken at its turn already
    slot.state = State::Decoding;
    const std::string& path = list_[index];
    lock.unlock();

    if (wanted_ && !wanted_(path)) {
      lock.lock();
      slot.state = State::Left;
      changed_.notify_all();
      continue;
    }
    // Only a photo whose pixels fit beside those already held goes ahead;
    // a larger one waits for its turn.
    const std::optional<PixelSize> size = ReadJpegSize(path);
    const std::uint64_t bytes =
        size ? static_cast<std::uint64_t>(RowBytes(size->width)) * size->height : 0;
    lock.lock();
    if (stopping_) return;
    if (used_ + bytes > budget_ || index < turn_) {
      slot.state = index < turn_ ? State::Taken : State::Left;
      changed_.notify_all();
      continue;
    }
    used_ += bytes;
    slot.bytes = bytes;

    Slot done;
    done.bitmap = TakeSpare();
    lock.unlock();
    done.stamp = StampOf(path);
    try {
      done.result = LoadJpegFile(path, done.bitmap, cancel_);
    } catch (...) {
      done.error = std::current_exception();
    }

    lock.lock();
    done.bytes = slot.bytes;
    done.state = State::Done;
    slot = std::move(done);
    if (index < turn_) Drop(index);
    changed_.notify_all();
  }
}

}  // namespace quorvale
