#pragma once

#include <QDialog>
#include <map>
#include <string>
#include <vector>

#include "app/Dialogs.h"
#include "app/PreviewModel.h"

class QCheckBox;
class QListView;

namespace quorvale {

// What the preview is opened on.
struct PreviewSubject {
  std::string inputFolder;          // path bytes
  std::vector<std::string> photos;  // full paths, as the scan lists them
  LongShort target{2000, 1401};
  Fit fit = Fit::Trim;
  int margin = 0;  // with Fit::Border: the frame in pixels (PhotoOptions::margin)
  bool autoOrient = false;
  std::map<std::string, double> positions;  // by relative path
};

// The 確認 window: every photo as a thumbnail with the crop of the size
// framed and the part cut away dimmed (for フチあり, the photo fitted on its
// paper). Dragging a frame moves that photo's crop along the side the trim
// shortens; 上（左）, 中央 and 下（右） put the crops of the selected photos,
// or of all with すべての写真, at 0, 0.5 or 1. The positions are saved to
// and loaded from a crop file (as quorvale-batch's --crops reads it);
// loading takes the file's positions for the listed photos and names a
// refusal with its line. Changed is sent at every change.
class PreviewWindow : public QDialog {
  Q_OBJECT

 public:
  PreviewWindow(const PreviewSubject& subject, Dialogs& dialogs, std::string caption,
                QWidget* parent = nullptr);

  const std::map<std::string, double>& Positions() const { return model_->Positions(); }
  PreviewModel& Model() { return *model_; }
  QListView& PhotoList() { return *list_; }

 signals:
  void Changed();

 private:
  void SetSelected(double position);
  void SaveFile();
  void LoadFile();

  Dialogs& dialogs_;
  std::string caption_;
  std::string cropFile_;  // the file last saved or loaded
  std::string inputFolder_;
  PreviewModel* model_ = nullptr;
  QListView* list_ = nullptr;
  QCheckBox* allPhotos_ = nullptr;
};

}  // namespace quorvale
