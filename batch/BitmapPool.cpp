#include "batch/BitmapPool.h"

#include <utility>

namespace quorvale {

Bitmap BitmapPool::Lend() {
  if (spares_.empty()) return Bitmap();
  Bitmap bitmap = std::move(spares_.back());
  spares_.pop_back();
  return bitmap;
}

bool BitmapPool::Admit(std::uint64_t bytes) {
  if (bytes > budget_ || charged_ > budget_ - bytes) return false;
  charged_ += bytes;
  return true;
}

void BitmapPool::Recharge(std::uint64_t before, std::uint64_t after) {
  charged_ = charged_ - before + after;
}

void BitmapPool::GiveBack(Bitmap&& bitmap, std::uint64_t charged, std::size_t keep) {
  charged_ -= charged;
  if (bitmap.Capacity() == 0 || spares_.size() >= keep) {
    bitmap.Release();
    return;
  }
  const std::uint64_t capacity = bitmap.Capacity();
  spares_.push_back(std::move(bitmap));
  charged_ += capacity;
}

void BitmapPool::FreeSpares() {
  for (const Bitmap& spare : spares_) charged_ -= spare.Capacity();
  spares_.clear();
}

}  // namespace quorvale
