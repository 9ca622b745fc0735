#include "batch/DecodeAhead.h"

#include <new>

namespace quorvale {

DecodeAhead::DecodeAhead(const std::vector<std::string>& list, int jobs, BitmapPool& pool,
                         CancelCheck cancel, std::function<bool(std::size_t)> wanted,
                         ThreadStarter start, Decoder decode)
    : list_(list),
      pool_(pool),
      decode_(std::move(decode)),
      cancel_(
          [this, cancel = std::move(cancel)] { return abandon_.load() || (cancel && cancel()); }),
      wanted_(std::move(wanted)),
      slots_(list.size()) {
  // The workers wait for the lock until ahead_ says how far they may go.
  std::lock_guard lock(mutex_);
  threads_.reserve(jobs > 1 ? static_cast<std::size_t>(jobs - 1) : 0);
  for (int i = 1; i < jobs; ++i) {
    try {
      threads_.push_back(start([this] { Work(); }));
    } catch (const std::exception&) {
      break;  // out of threads or memory: the run goes on with those it has
    }
  }
  ahead_ = threads_.empty() ? 0 : threads_.size() + 1;
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

LoadedPhoto DecodeAhead::LoadWhole(const std::string& path, Bitmap& bitmap,
                                   const CancelCheck& cancel, const DecodeAdmission& admit) {
  return OpenAndDecode(path, bitmap, cancel, [&](PhotoReader& reader) {
    return DecodeToBitmap(reader, bitmap, std::nullopt, cancel, admit);
  });
}

void DecodeAhead::Turn(std::size_t index, Bitmap& finished) {
  {
    std::lock_guard lock(mutex_);
    GiveBack(finished, handCharge_);
    handCharge_ = 0;
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
    GiveBack(memory, handCharge_);
    handCharge_ = 0;
    released_ = true;
  }
  changed_.notify_all();
}

void DecodeAhead::GiveBack(Bitmap& bitmap, std::uint64_t charge) {
  // The photo in hand and those ahead are all that can be held at once.
  pool_.GiveBack(std::move(bitmap), charge, ahead_ + 1);
  bitmap = Bitmap();
}

void DecodeAhead::Drop(std::size_t index, State state) {
  Slot& slot = slots_[index];
  // A decode still running drops its own result once it sees the turn has passed.
  if (slot.state == State::Decoding) return;
  GiveBack(slot.bitmap, slot.charge);
  slot = Slot{};
  slot.state = state;
}

LoadedPhoto DecodeAhead::Take(std::size_t index, Bitmap& photo, const FileStamp& now) {
  const std::string& path = list_[index];
  std::unique_lock lock(mutex_);
  Slot& slot = slots_[index];
  while (slot.state == State::Decoding) {
    if (next_ == index + 1 && MayGoAhead()) {
      DecodeNext(lock);
    } else {
      changed_.wait(lock);
    }
  }
  if (slot.state != State::Done) {
    slot.state = State::Taken;
    photo = pool_.Lend();
    handCharge_ = photo.Capacity();
    return DecodeInHand(lock, path, photo, false, decode_);
  }

  Slot done = std::move(slot);
  slot = Slot{};
  slot.state = State::Taken;
  photo = std::move(done.bitmap);
  handCharge_ = done.charge;
  lock.unlock();
  changed_.notify_all();

  if (done.error) std::rethrow_exception(done.error);
  // A file that changed since (or was not there to open), or a decode that
  // gave up, is decoded again: the photo is what the file holds at its turn.
  const DecodeStatus status = done.loaded.decoded.status;
  if (status != DecodeStatus::Cancelled && status != DecodeStatus::OutOfMemory &&
      done.loaded.header.file != FileStamp{} && done.loaded.header.file == now) {
    return std::move(done.loaded);
  }
  lock.lock();
  return DecodeInHand(lock, path, photo, status == DecodeStatus::OutOfMemory, decode_);
}

LoadedPhoto DecodeAhead::DecodeAgain(std::size_t index, Bitmap& photo, const Decoder& decode) {
  std::unique_lock lock(mutex_);
  return DecodeInHand(lock, list_[index], photo, false, decode);
}

LoadedPhoto DecodeAhead::DecodeInHand(std::unique_lock<std::mutex>& lock, const std::string& path,
                                      Bitmap& photo, bool makeRoom, const Decoder& decode) {
  for (;;) {
    if (makeRoom) MakeRoom(lock);
    lock.unlock();
    LoadedPhoto result;
    try {
      result = decode(path, photo, cancel_, nullptr);
    } catch (const std::bad_alloc&) {
      result.decoded.status = DecodeStatus::OutOfMemory;
    }
    lock.lock();
    pool_.Recharge(handCharge_, photo.Capacity());
    handCharge_ = photo.Capacity();
    if (result.decoded.status != DecodeStatus::OutOfMemory) {
      holding_ = false;
      changed_.notify_all();
      return result;
    }
    if (makeRoom) throw std::bad_alloc();
    makeRoom = true;
  }
}

void DecodeAhead::MakeRoom(std::unique_lock<std::mutex>& lock) {
  holding_ = true;
  abandon_ = true;
  changed_.wait(lock, [&] { return inFlight_ == 0; });
  abandon_ = false;
  for (std::size_t i = turn_ + 1; i < next_ && i < slots_.size(); ++i) Drop(i, State::Open);
  if (next_ > turn_ + 1) next_ = turn_ + 1;
  pool_.FreeSpares();
}

bool DecodeAhead::MayGoAhead() const {
  return !holding_ && next_ < slots_.size() &&
         next_ <= turn_ + ahead_ + (released_ && ahead_ > 0 ? 1 : 0);
}

void DecodeAhead::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stopping_ || MayGoAhead(); });
    if (stopping_) return;
    DecodeNext(lock);
  }
}

void DecodeAhead::DecodeNext(std::unique_lock<std::mutex>& lock) {
  const std::size_t index = next_++;
  Slot& slot = slots_[index];
  if (slot.state != State::Open) return;  // taken at its turn already
  slot.state = State::Decoding;
  ++inFlight_;
  const std::string& path = list_[index];
  Slot done;
  done.bitmap = pool_.Lend();
  done.charge = done.bitmap.Capacity();
  lock.unlock();

  // Nothing may leave a worker: a failure is the photo's, reported at its turn.
  bool left = false;
  try {
    left = wanted_ && !wanted_(index);
    if (!left) {
      // Only a photo that fits beside what is held already goes ahead; a
      // larger one waits for its turn, as does one whose turn has passed.
      const DecodeAdmission admit = [&](std::uint64_t bytes) {
        const std::lock_guard guard(mutex_);
        const std::uint64_t more = bytes > done.charge ? bytes - done.charge : 0;
        if (stopping_ || index < turn_ || !pool_.Admit(more)) return false;
        done.charge += more;
        return true;
      };
      done.loaded = decode_(path, done.bitmap, cancel_, admit);
      left = done.loaded.decoded.status == DecodeStatus::Declined;
    }
  } catch (const std::bad_alloc&) {
    done.loaded.decoded.status = DecodeStatus::OutOfMemory;
  } catch (...) {
    done.error = std::current_exception();
  }

  lock.lock();
  --inFlight_;
  // The decode's buffers are gone; the bitmap holds what it holds.
  pool_.Recharge(done.charge, done.bitmap.Capacity());
  done.charge = done.bitmap.Capacity();
  if (left) {
    GiveBack(done.bitmap, done.charge);
    slot.state = index < turn_ ? State::Taken : State::Left;
  } else {
    done.state = State::Done;
    slot = std::move(done);
    if (index < turn_) Drop(index);
  }
  changed_.notify_all();
}

}  // namespace quorvale
