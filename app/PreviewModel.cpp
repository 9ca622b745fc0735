#include "app/PreviewModel.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "app/DisplayText.h"
#include "codec/PhotoReader.h"
#include "codec/Thumbnail.h"
#include "folders/PathRules.h"
#include "pixels/Orientation.h"

namespace quorvale {

// What the workers read while the model lives; the model waits for them
// before it goes.
namespace {

// Rows this far beyond those in view are still decoded: the next scroll
// step finds them ready.
constexpr int NearRows = 24;

}  // namespace

struct PreviewModel::Shared {
  std::atomic<bool> stop{false};
  std::atomic<int> firstVisible{0};
  std::atomic<int> lastVisible{std::numeric_limits<int>::max() - NearRows};
};

namespace {

QImage ToImage(const Bitmap& bitmap) {
  return QImage(bitmap.Row(0), bitmap.Width(), bitmap.Height(), RowBytes(bitmap.Width()),
                QImage::Format_BGR888)
      .copy();
}

struct Decoded {
  QImage thumbnail;
  PixelSize size{0, 0};
  bool ok = false;
};

// `side`: the thumbnail's longest side in device pixels.
Decoded DecodeThumbnail(const std::string& path, bool autoOrient, int side,
                        const std::atomic<bool>& stop) {
  Decoded out;
  try {
    const CancelCheck cancel = [&stop] { return stop.load(); };
    // The list holds only the kinds the run takes; each is read as its
    // first bytes say.
    const OpenedPhoto opened = OpenPhotoFile(path, cancel, PhotoKinds::All);
    if (!opened.reader) return out;
    Bitmap bitmap;
    if (!opened.reader->DecodePreview(bitmap, side, cancel).Ok()) return out;
    const PixelSize picture = opened.reader->Header().size;
    const int orientation = autoOrient ? opened.reader->Header().orientation : 1;
    ApplyOrientation(bitmap, orientation);
    const OrientedSize upright = OrientedDimensions(picture.width, picture.height, orientation);
    out.size = {upright.width, upright.height};
    out.thumbnail = ToImage(MakeThumbnail(bitmap, side));
    out.ok = true;
  } catch (const std::bad_alloc&) {
    out.ok = false;
  }
  return out;
}

}  // namespace

PreviewModel::PreviewModel(const std::vector<std::string>& paths, const std::string& inputFolder,
                           LongShort target, Fit fit, bool autoOrient, QObject* parent)
    : QAbstractListModel(parent),
      target_(target),
      fit_(fit),
      autoOrient_(autoOrient),
      shared_(std::make_shared<Shared>()) {
  const std::string folder = WithSeparator(inputFolder);
  photos_.reserve(paths.size());
  for (const std::string& path : paths) {
    PreviewPhoto photo;
    photo.path = path;
    photo.relative = path.starts_with(folder) ? path.substr(folder.size()) : path;
    photos_.push_back(std::move(photo));
  }
}

PreviewModel::~PreviewModel() {
  shared_->stop = true;
  pool_.clear();
  pool_.waitForDone();
}

int PreviewModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(photos_.size());
}

QVariant PreviewModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const PreviewPhoto& photo = Photo(index.row());
  if (role == Qt::DisplayRole) {
    const std::size_t slash = photo.relative.rfind('/');
    return DisplayText(slash == std::string::npos ? photo.relative
                                                  : photo.relative.substr(slash + 1));
  }
  if (role == Qt::ToolTipRole) return DisplayText(photo.relative);
  return {};
}

double PreviewModel::Position(int row) const {
  const auto found = positions_.find(Photo(row).relative);
  return found != positions_.end() ? found->second : 0.5;
}

void PreviewModel::SetPosition(int row, double position) {
  positions_[Photo(row).relative] = std::clamp(position, 0.0, 1.0);
  emit dataChanged(index(row), index(row));
}

void PreviewModel::SetPositions(std::map<std::string, double> positions) {
  positions_ = std::move(positions);
  if (rowCount() > 0) emit dataChanged(index(0), index(rowCount() - 1));
}

void PreviewModel::SetVisibleRows(int first, int last) {
  shared_->firstVisible = first;
  shared_->lastVisible = last;
}

void PreviewModel::Request(int row) {
  PreviewPhoto& photo = photos_[static_cast<std::size_t>(row)];
  if (photo.state != PreviewPhoto::State::Waiting) return;
  photo.state = PreviewPhoto::State::Decoding;
  ++pending_;
  // The pool is waited for before this object goes, so the pointer stays
  // good while a task runs; a result posted after that is dropped with it.
  const int side = static_cast<int>(std::ceil(ThumbnailSide * pixelRatio_));
  pool_.start([this, row, side, path = photo.path, autoOrient = autoOrient_, shared = shared_] {
    if (shared->stop) return;
    if (row < shared->firstVisible - NearRows || row > shared->lastVisible + NearRows) {
      QMetaObject::invokeMethod(
          this, [this, row] { Dropped(row); }, Qt::QueuedConnection);
      return;
    }
    Decoded decoded = DecodeThumbnail(path, autoOrient, side, shared->stop);
    QMetaObject::invokeMethod(
        this,
        [this, row, decoded = std::move(decoded)] {
          Arrived(row, decoded.thumbnail, decoded.size, decoded.ok);
        },
        Qt::QueuedConnection);
  });
}

void PreviewModel::Arrived(int row, QImage thumbnail, PixelSize size, bool ok) {
  PreviewPhoto& photo = photos_[static_cast<std::size_t>(row)];
  photo.thumbnail = std::move(thumbnail);
  photo.size = size;
  photo.state = ok ? PreviewPhoto::State::Shown : PreviewPhoto::State::Failed;
  --pending_;
  emit dataChanged(index(row), index(row));
  if (pending_ == 0) emit ThumbnailsSettled();
}

void PreviewModel::Dropped(int row) {
  photos_[static_cast<std::size_t>(row)].state = PreviewPhoto::State::Waiting;
  --pending_;
  // Painted again should it have come back into view meanwhile.
  emit dataChanged(index(row), index(row));
  if (pending_ == 0) emit ThumbnailsSettled();
}

}  // namespace quorvale
