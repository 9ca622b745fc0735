#include "app/PreviewWindow.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>

#include "batch/CropFile.h"
#include "geometry/TrimPosition.h"
#include "messages/Report.h"
#include "platform/SafeFile.h"

namespace quorvale {
namespace {

constexpr int Margin = 8;

// Where one item's parts lie in the view. For a trim: the photo, its crop,
// and how far (in view pixels) the crop can travel along the free axis.
// For a border: the paper, and the photo fitted on it.
struct ItemGeometry {
  QRectF paper;
  QRectF picture;
  QRectF kept;
  Qt::Orientation axis = Qt::Horizontal;
  double travel = 0;  // 0: the crop cannot move
};

QRectF Centred(const QRect& box, double width, double height) {
  return {box.left() + (box.width() - width) / 2, box.top() + (box.height() - height) / 2, width,
          height};
}

QRectF Mapped(const PixelRect& rect, const QPointF& origin, double scale) {
  return {origin.x() + rect.left * scale, origin.y() + rect.top * scale, rect.width * scale,
          rect.height * scale};
}

QRect ThumbnailBox(const QRect& cell) {
  return {cell.left() + Margin, cell.top() + Margin, PreviewModel::ThumbnailSide,
          PreviewModel::ThumbnailSide};
}

// Only for a photo whose size is known. `margin`: the frame of a border,
// in the photo's output pixels.
ItemGeometry Geometry(const QRect& cell, const PreviewModel& model, int row, int margin) {
  const PreviewPhoto& photo = model.Photo(row);
  const int w = photo.size.width;
  const int h = photo.size.height;
  const QRect box = ThumbnailBox(cell);
  ItemGeometry g;
  if (model.FitMode() == Fit::Border) {
    const ReductionBox paper = ComputeReductionBox(w, h, model.Target());
    const double scale = double(box.width()) / std::max(paper.width, paper.height);
    g.paper = Centred(box, paper.width * scale, paper.height * scale);
    g.picture = g.kept =
        Mapped(ComputeFitRect(w, h, model.Target(), margin), g.paper.topLeft(), scale);
    return g;
  }
  const double scale = double(box.width()) / std::max(w, h);
  g.paper = g.picture = Centred(box, w * scale, h * scale);
  const PixelRect crop = ComputeTrimRect(w, h, model.Target(), model.Position(row));
  g.kept = Mapped(crop, g.picture.topLeft(), scale);
  if (crop.width < w) {
    g.travel = (w - crop.width) * scale;
  } else if (crop.height < h) {
    g.axis = Qt::Vertical;
    g.travel = (h - crop.height) * scale;
  }
  return g;
}

class PhotoDelegate : public QStyledItemDelegate {
 public:
  PhotoDelegate(PreviewModel& model, int margin, QObject* parent)
      : QStyledItemDelegate(parent), model_(model), margin_(margin) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
    return {PreviewModel::ThumbnailSide + 2 * Margin,
            PreviewModel::ThumbnailSide + 2 * Margin + option.fontMetrics.height()};
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const int row = index.row();
    model_.Request(row);
    const PreviewPhoto& photo = model_.Photo(row);
    painter->save();
    if (option.state & QStyle::State_Selected) {
      painter->fillRect(option.rect, option.palette.highlight());
    }
    const QRect box = ThumbnailBox(option.rect);
    if (photo.state == PreviewPhoto::State::Shown) {
      const ItemGeometry g = Geometry(option.rect, model_, row, margin_);
      painter->setRenderHint(QPainter::SmoothPixmapTransform);
      if (model_.FitMode() == Fit::Border) {
        painter->fillRect(g.paper, Qt::white);
        painter->setPen(QPen(Qt::gray, 1));
        painter->drawRect(g.paper);
      }
      painter->drawImage(g.picture, photo.thumbnail);
      // What the trim cuts away: the strips of the photo outside the crop.
      const QColor dim(0, 0, 0, 150);
      const QRectF& p = g.picture;
      const QRectF& k = g.kept;
      painter->fillRect(QRectF(p.left(), p.top(), p.width(), k.top() - p.top()), dim);
      painter->fillRect(QRectF(p.left(), k.bottom(), p.width(), p.bottom() - k.bottom()), dim);
      painter->fillRect(QRectF(p.left(), k.top(), k.left() - p.left(), k.height()), dim);
      painter->fillRect(QRectF(k.right(), k.top(), p.right() - k.right(), k.height()), dim);
      painter->setPen(QPen(QColor(255, 170, 0), 2));
      painter->drawRect(k.adjusted(1, 1, -1, -1));
    } else {
      painter->fillRect(box, QColor(225, 225, 225));
      if (photo.state == PreviewPhoto::State::Failed) {
        painter->setPen(Qt::darkRed);
        painter->drawText(box, Qt::AlignCenter, QStringLiteral("×"));
      }
    }
    painter->setPen(option.palette.color(
        option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
    const QRect text(option.rect.left() + 2, box.bottom() + Margin / 2, option.rect.width() - 4,
                     option.fontMetrics.height());
    painter->drawText(
        text, Qt::AlignHCenter,
        option.fontMetrics.elidedText(index.data().toString(), Qt::ElideMiddle, text.width()));
    painter->restore();
  }

 private:
  PreviewModel& model_;
  int margin_;
};

// The list of photos; a press on a photo whose crop can move starts a drag
// of its crop along the free axis.
class PhotoListView : public QListView {
 public:
  PhotoListView(PreviewModel& model, int margin, std::function<void()> changed, QWidget* parent)
      : QListView(parent), model_(model), margin_(margin), changed_(std::move(changed)) {
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setDragEnabled(false);
    setResizeMode(QListView::Adjust);
    setWrapping(true);
    setUniformItemSizes(true);
    setSpacing(4);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setModel(&model);
    setItemDelegate(new PhotoDelegate(model, margin, this));
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    QListView::mousePressEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !index.isValid()) return;
    if (model_.Photo(index.row()).state != PreviewPhoto::State::Shown) return;
    const ItemGeometry g = Geometry(visualRect(index), model_, index.row(), margin_);
    if (g.travel <= 0 || !g.picture.contains(event->position())) return;
    dragRow_ = index.row();
    dragStart_ = event->position();
    dragFrom_ = model_.Position(dragRow_);
    dragTravel_ = g.travel;
    dragAxis_ = g.axis;
  }

  void mouseMoveEvent(QMouseEvent* event) override {
    if (dragRow_ < 0) {
      QListView::mouseMoveEvent(event);
      return;
    }
    const QPointF moved = event->position() - dragStart_;
    const double along = dragAxis_ == Qt::Horizontal ? moved.x() : moved.y();
    model_.SetPosition(dragRow_, dragFrom_ + along / dragTravel_);
    changed_();
  }

  void mouseReleaseEvent(QMouseEvent* event) override {
    dragRow_ = -1;
    QListView::mouseReleaseEvent(event);
  }

  void scrollContentsBy(int dx, int dy) override {
    QListView::scrollContentsBy(dx, dy);
    UpdateVisibleRows();
  }

  void resizeEvent(QResizeEvent* event) override {
    QListView::resizeEvent(event);
    UpdateVisibleRows();
  }

 private:
  void UpdateVisibleRows() {
    int first = -1;
    int last = -1;
    const QRect area = viewport()->rect();
    for (int row = 0; row < model_.rowCount(); ++row) {
      if (!visualRect(model_.index(row)).intersects(area)) {
        if (first >= 0) break;
        continue;
      }
      if (first < 0) first = row;
      last = row;
    }
    model_.SetVisibleRows(first, last);
  }

  PreviewModel& model_;
  int margin_;
  std::function<void()> changed_;
  int dragRow_ = -1;
  QPointF dragStart_;
  double dragFrom_ = 0.5;
  double dragTravel_ = 1;
  Qt::Orientation dragAxis_ = Qt::Horizontal;
};

const char* CropFileReason(CropFileError::Kind kind) {
  switch (kind) {
    case CropFileError::ExpectedObject:
      return "JSONのオブジェクト '{' がありません";
    case CropFileError::ExpectedPath:
      return "写真のパスが \" で囲まれていません";
    case CropFileError::ExpectedColon:
      return "パスの後に ':' がありません";
    case CropFileError::ExpectedComma:
      return "',' か '}' がありません";
    case CropFileError::TrailingText:
      return "オブジェクトの後に余分な文字があります";
    case CropFileError::BadString:
      return "文字列に制御文字か誤ったエスケープがあるか、閉じる \" がありません";
    case CropFileError::BadPosition:
      return "位置は 0 から 1 の数か \"top\" \"centre\" \"center\" \"bottom\" \"left\" \"right\" "
             "です";
    case CropFileError::DuplicatePath:
      return "同じパスが2回あります";
  }
  return "";
}

}  // namespace

PreviewWindow::PreviewWindow(const PreviewSubject& subject, Dialogs& dialogs, std::string caption,
                             QWidget* parent)
    : QDialog(parent),
      dialogs_(dialogs),
      caption_(std::move(caption)),
      inputFolder_(subject.inputFolder) {
  setObjectName("previewWindow");
  setWindowTitle(QStringLiteral("確認"));
  model_ = new PreviewModel(subject.photos, subject.inputFolder, subject.target, subject.fit,
                            subject.autoOrient, this);
  model_->SetPositions(subject.positions);
  model_->SetPixelRatio(devicePixelRatioF());
  list_ = new PhotoListView(
      *model_, subject.margin, [this] { emit Changed(); }, this);
  list_->setObjectName("photoList");

  auto* buttons = new QHBoxLayout;
  const auto add = [&](const char* name, const char* text) {
    auto* button = new QPushButton(QString::fromUtf8(text), this);
    button->setObjectName(name);
    button->setAutoDefault(false);
    buttons->addWidget(button);
    return button;
  };
  const bool border = subject.fit == Fit::Border;
  for (const auto& [name, text, position] :
       {std::tuple{"topButton", "上（左）", 0.0}, std::tuple{"centreButton", "中央", 0.5},
        std::tuple{"bottomButton", "下（右）", 1.0}}) {
    QPushButton* button = add(name, text);
    button->setEnabled(!border);
    connect(button, &QPushButton::clicked, this, [this, p = position] { SetSelected(p); });
  }
  allPhotos_ = new QCheckBox(QStringLiteral("すべての写真"), this);
  allPhotos_->setObjectName("allPhotosCheck");
  allPhotos_->setEnabled(!border);
  buttons->addWidget(allPhotos_);
  buttons->addStretch();
  connect(add("loadButton", "読み込み..."), &QPushButton::clicked, this, [this] { LoadFile(); });
  connect(add("saveButton", "保存..."), &QPushButton::clicked, this, [this] { SaveFile(); });
  connect(add("closeButton", "閉じる"), &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addLayout(buttons);
  // Within the screen, so that the buttons below the photos can be reached
  // on a small or scaled one.
  QSize size(880, 640);
  if (const QScreen* where = parent != nullptr ? parent->screen() : screen()) {
    size = size.boundedTo(where->availableGeometry().size());
  }
  resize(size);
}

void PreviewWindow::SetSelected(double position) {
  if (allPhotos_->isChecked()) {
    for (int row = 0; row < model_->rowCount(); ++row) model_->SetPosition(row, position);
  } else {
    for (const QModelIndex& index : list_->selectionModel()->selectedIndexes()) {
      model_->SetPosition(index.row(), position);
    }
  }
  emit Changed();
}

void PreviewWindow::SaveFile() {
  const std::string path = dialogs_.CropFilePath(true, cropFile_);
  if (path.empty()) return;
  // Nothing the run reads is written over, whatever links lead there.
  if (CheckReportPlace(path, inputFolder_, {}) != ReportPlace::Safe) {
    dialogs_.Message(
        caption_,
        "トリミング位置は入力フォルダの中やファイルでない場所には保存できません。\n" + path);
    return;
  }
  SafeFile file = SafeFile::Create(path, IfExists::Replace);
  file.Append(WriteCropFile(model_->Positions()));
  if (const int error = file.Commit(); error != 0) {
    dialogs_.Message(caption_,
                     "トリミング位置を保存できません。\n" + path + "\n" + std::strerror(error));
    return;
  }
  cropFile_ = path;
}

void PreviewWindow::LoadFile() {
  const std::string path = dialogs_.CropFilePath(false, cropFile_);
  if (path.empty()) return;
  const std::string heading = "トリミング位置を読み込めません。\n" + path + "\n";
  const std::optional<std::string> text = ReadCropFileText(path);
  if (!text) {
    dialogs_.Message(caption_, heading + std::strerror(errno));
    return;
  }
  const CropFile file = ParseCropFile(*text);
  if (file.error) {
    char line[32];
    std::snprintf(line, sizeof line, "%d行目: ", file.error->line);
    dialogs_.Message(caption_, heading + line + CropFileReason(file.error->kind));
    return;
  }
  cropFile_ = path;
  std::set<std::string> listed;
  for (int row = 0; row < model_->rowCount(); ++row) listed.insert(model_->Photo(row).relative);
  std::map<std::string, double> positions;
  int unknown = 0;
  for (const auto& [relative, position] : file.positions) {
    if (listed.contains(relative)) {
      positions.emplace(relative, position);
    } else {
      ++unknown;
    }
  }
  model_->SetPositions(std::move(positions));
  emit Changed();
  if (unknown > 0) {
    dialogs_.Message(
        caption_, "入力フォルダにない写真 " + std::to_string(unknown) + " 枚の位置は使いません。");
  }
}

}  // namespace quorvale
