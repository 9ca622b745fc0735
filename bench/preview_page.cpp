// Times the 確認 window's first page, offscreen: from the menu item until
// every photo in view has its thumbnail painted. The folder holds PHOTOS
// (default 1000) photos of WIDTH x HEIGHT (default 4000 x 3000): one made
// here, the others hard links to it (copies where links cannot be made), so
// the folder costs the disk one photo; every photo is still decoded on its
// own. Each of REPEATS (default 5) openings starts with no thumbnail. The
// full decode of one photo is timed beside it, for scale.
//
//   preview_page [FOLDER]     (default: a fresh folder under /tmp, removed after)

#include <QAction>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QListView>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "app/PreviewWindow.h"
#include "app/ScriptedDialogs.h"
#include "codec/JpegFile.h"
#include "codec/PhotoReader.h"
#include "support/TestJpeg.h"

namespace fs = std::filesystem;
using namespace quorvale;

namespace {

int Setting(const char* name, int fallback) {
  const QByteArray value = qgetenv(name);
  return value.isEmpty() ? fallback : value.toInt();
}

void MakeFolder(const fs::path& folder, int photos, int width, int height) {
  fs::create_directories(folder);
  const fs::path first = folder / "IMG_0000.jpg";
  if (!fs::exists(first)) {
    const std::string bytes =
        testing::MakeJpeg(width, height, testing::PhotoPixel, {.quality = 92});
    std::FILE* file = std::fopen(first.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  for (int n = 1; n < photos; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%04d.jpg", n);
    const fs::path path = folder / name;
    if (fs::exists(path)) continue;
    std::error_code error;
    fs::create_hard_link(first, path, error);
    if (error) fs::copy_file(first, path);
  }
}

// Every row in view has its thumbnail.
bool PageShown(PreviewWindow& preview) {
  QListView& list = preview.PhotoList();
  const PreviewModel& model = preview.Model();
  int inView = 0;
  for (int row = 0; row < model.rowCount(); ++row) {
    if (!list.visualRect(model.index(row)).intersects(list.viewport()->rect())) continue;
    ++inView;
    if (model.Photo(row).state == PreviewPhoto::State::Waiting ||
        model.Photo(row).state == PreviewPhoto::State::Decoding) {
      return false;
    }
  }
  return inView > 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const int photos = Setting("PHOTOS", 1000);
  const int width = Setting("WIDTH", 4000);
  const int height = Setting("HEIGHT", 3000);
  const int repeats = Setting("REPEATS", 5);
  const bool own = argc < 2;
  const fs::path folder =
      own ? fs::temp_directory_path() / ("quorvale-preview-" + std::to_string(::getpid()))
          : fs::absolute(argv[1]);
  MakeFolder(folder, photos, width, height);

  testing::ScriptedDialogs dialogs;
  Application app(argc, argv);
  app.SetDialogs(&dialogs);
  MainWindow window(dialogs);
  dialogs.folders = {folder.string()};
  window.BrowseInputFolder();

  std::vector<double> times;
  int shown = 0;
  for (int r = 0; r < repeats; ++r) {
    QElapsedTimer timer;
    timer.start();
    window.OpenPreview();
    auto* preview = window.findChild<PreviewWindow*>();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
      if (PageShown(*preview)) loop.quit();
    });
    QObject::connect(&preview->Model(), &PreviewModel::ThumbnailsSettled, &loop, [&] {
      if (PageShown(*preview)) loop.quit();
    });
    check.start(5);
    loop.exec();
    preview->PhotoList().viewport()->repaint();
    times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    shown = 0;
    for (int row = 0; row < preview->Model().rowCount(); ++row) {
      shown += preview->Model().Photo(row).state == PreviewPhoto::State::Shown;
    }
    delete preview;
  }

  Bitmap bitmap;
  const auto start = std::chrono::steady_clock::now();
  LoadPhotoFile((folder / "IMG_0000.jpg").string(), bitmap);
  const double fullDecode =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

  std::sort(times.begin(), times.end());
  std::printf("preview first page: %d photos of %d x %d, %d thumbnails in view\n", photos, width,
              height, shown);
  std::printf("  median %.0f ms (min %.0f, max %.0f) over %d openings\n", times[times.size() / 2],
              times.front(), times.back(), repeats);
  std::printf("  one full decode: %.0f ms (the page as full decodes, one after another: %.0f ms)\n",
              fullDecode, fullDecode * shown);
  if (own) fs::remove_all(folder);
  return 0;
}
