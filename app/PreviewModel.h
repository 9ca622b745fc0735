#pragma once

#include <QAbstractListModel>
#include <QImage>
#include <QThreadPool>
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "batch/RunOptions.h"
#include "geometry/SizeTable.h"

namespace quorvale {

// What the preview shows of one photo. The thumbnail and the size are those
// of the photo as the run turns it (upright when auto-orientation is on).
struct PreviewPhoto {
  enum class State { Waiting, Decoding, Shown, Failed };
  std::string path;      // full path bytes
  std::string relative;  // after the input folder: the key of its crop
  QImage thumbnail;
  PixelSize size{0, 0};
  State state = State::Waiting;
};

// The photos of the preview, their thumbnails and their crop positions.
// A thumbnail is decoded only when asked for (Request, as an item is
// painted), at a reduced scale, on worker threads; one asked for but no
// longer near the visible rows when a worker reaches it waits to be asked
// again, so a fast scroll does not queue the whole folder. Nothing is
// written anywhere.
class PreviewModel : public QAbstractListModel {
  Q_OBJECT

 public:
  // The longest side of a thumbnail.
  static constexpr int ThumbnailSide = 150;

  PreviewModel(const std::vector<std::string>& paths, const std::string& inputFolder,
               LongShort target, Fit fit, bool autoOrient, QObject* parent = nullptr);
  // Stops the decodes not started and waits for those running.
  ~PreviewModel() override;

  int rowCount(const QModelIndex& parent = {}) const override;
  // The file name to show, the relative path as the tool tip.
  QVariant data(const QModelIndex& index, int role) const override;

  const PreviewPhoto& Photo(int row) const { return photos_[static_cast<std::size_t>(row)]; }
  LongShort Target() const { return target_; }
  Fit FitMode() const { return fit_; }

  // The photo's crop position: its own, or the centre.
  double Position(int row) const;
  void SetPosition(int row, double position);
  // The positions given, by relative path (also of photos not listed).
  const std::map<std::string, double>& Positions() const { return positions_; }
  void SetPositions(std::map<std::string, double> positions);

  // Starts the decode of the thumbnail of `row` unless it is there or on
  // its way.
  void Request(int row);
  // The rows in view: a decode queued for a row far from them is dropped.
  void SetVisibleRows(int first, int last);
  // Decodes asked for and not yet shown.
  int Pending() const { return pending_; }
  // The device pixels of a view pixel where the thumbnails are shown: they
  // are decoded that much larger (ThumbnailSide view pixels on a side), so
  // that a screen at scale 2 shows them sharp. For the decodes to come.
  void SetPixelRatio(double ratio) { pixelRatio_ = std::max(1.0, ratio); }

 signals:
  // A thumbnail came in (or failed) and no other is pending.
  void ThumbnailsSettled();

 private:
  struct Shared;
  void Arrived(int row, QImage thumbnail, PixelSize size, bool ok);
  void Dropped(int row);

  std::vector<PreviewPhoto> photos_;
  std::map<std::string, double> positions_;
  LongShort target_;
  Fit fit_;
  bool autoOrient_;
  double pixelRatio_ = 1;
  int pending_ = 0;
  std::shared_ptr<Shared> shared_;
  QThreadPool pool_;
};

}  // namespace quorvale
