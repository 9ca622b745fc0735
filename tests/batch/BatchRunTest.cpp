#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "batch/BatchRun.h"
#include "batch/PhotoSteps.h"
#include "codec/JpegFile.h"
#include "codec/PhotoReader.h"
#include "folders/PathRules.h"
#include "geometry/SizeTable.h"
#include "pixels/Reduction.h"
#include "support/Child.h"
#include "support/RunFixture.h"
#include "support/TestJpeg.h"

namespace quorvale {
namespace {

namespace fs = std::filesystem;
using testing::CoordinatePixel;
using testing::MakeJpeg;
using testing::RecordingListener;
using testing::Summary;
using Strings = std::vector<std::string>;

const std::string kSkipLine = "320px×240px以下なのでスキップ";
const std::string kSmallerLine = "元画像が指定サイズより小さいので縮小は行われません";
const std::string kNotFound = "入力フォルダにJPEGファイルが存在しません。";

std::string Finished(int saved, int errors, int skipped) {
  return Summary("作業が終了しました。", saved, errors, skipped);
}

std::string Stopped(int saved, int errors, int skipped) {
  return Summary("作業を中断しました。", saved, errors, skipped);
}

class BatchRunTest : public testing::RunFixture {
 protected:
  // A photo under the input folder; a plain colour keeps large ones cheap.
  void Photo(const std::string& relative, int width, int height) {
    box.Write("in/" + relative, MakeJpeg(width, height, CoordinatePixel));
  }
  void PlainPhoto(const std::string& relative, int width, int height) {
    box.Write("in/" + relative, MakeJpeg(width, height, [](int, int) {
                return testing::Rgb{90, 120, 150};
              }));
  }

  // The pixel size of a written JPEG, nullopt when there is none.
  static std::optional<PixelSize> SizeOf(const std::string& path) {
    Bitmap bitmap;
    if (LoadPhotoFile(path, bitmap).status != DecodeStatus::Decoded) return std::nullopt;
    return PixelSize{bitmap.Width(), bitmap.Height()};
  }

  // Presses Cancel once the file whose path line made the log `logLines`
  // long is decoded.
  void CancelDuringFile(std::size_t logLines) {
    window.onOptions = [this, logLines] {
      if (window.log.size() == logLines) window.stop.request_stop();
    };
  }
};

// --- Before the loop ----------------------------------------------------

struct CheckCase {
  const char* name;
  std::string input;
  std::string output;
  bool trim;
  bool reduce;
  std::string message;
};

class BatchRunChecks : public BatchRunTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(BatchRunChecks, FailingCheckShowsOneBoxAndChangesNothing) {
  const CheckCase& c = GetParam();
  Photo("a.jpg", 64, 48);
  box.Fill({"empty/notes.txt"});
  options.inputFolder = c.input.empty() ? "" : box.Path(c.input);
  options.outputFolder = c.output.empty() ? "" : box.Path(c.output);
  window.photo.trim = c.trim;
  window.photo.reduce = c.reduce;
  window.log = {"earlier line"};

  const RunOutcome outcome = Run();

  EXPECT_EQ(window.events, Strings{"message: " + c.message});
  EXPECT_EQ(window.log, Strings{"earlier line"});
  EXPECT_EQ(window.notices.size(), 1u);
  EXPECT_FALSE(outcome.started);
  EXPECT_FALSE(fs::exists(Out("")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BatchRunChecks,
    ::testing::Values(
        CheckCase{"NoInputFolder", "", "out", true, false, "入力フォルダが指定されていません。"},
        CheckCase{"NoOutputFolder", "in/", "", true, true, "出力フォルダが指定されていません。"},
        CheckCase{"InputCheckedFirst", "", "", false, false, "入力フォルダが指定されていません。"},
        CheckCase{"NeitherTrimNorReduce", "in/", "out", false, false,
                  "縦横比変更か解像度縮小のどちらか１つはチェックしてください。"},
        CheckCase{"SameFolderSpelledOtherwise", "in/", "in/../in/.", true, false,
                  "出力フォルダに入力フォルダと同じフォルダは指定できません。"},
        CheckCase{"NoJpegFiles", "empty/", "out", true, false, kNotFound},
        CheckCase{"MissingInputFolder", "nowhere/", "out", true, false, kNotFound}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return info.param.name; });

TEST_F(BatchRunTest, OutputFolderInsideTheInputTreeIsNotScanned) {
  Photo("a.jpg", 400, 300);
  options.outputFolder = box.Path("in/prints");
  ASSERT_EQ(Run().counts.saved, 1);
  ASSERT_TRUE(fs::exists(box.Path("in/prints/a.jpg")));

  // The second run takes the photo again, never the first run's output.
  window.answers = {false};
  const RunOutcome again = Run();
  EXPECT_EQ(window.log, Strings{In("a.jpg")});
  EXPECT_EQ(again.counts.saved, 1);
  EXPECT_FALSE(fs::exists(box.Path("in/prints/prints")));
}

// --- Files that save --------------------------------------------------------

TEST_F(BatchRunTest, ThreeFilesSaveWithProgressAndStatus) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) Photo(name, 400, 300);
  window.log = {"scan list"};

  const RunOutcome outcome = Run();

  EXPECT_EQ(window.log, (Strings{In("a.jpg"), In("b.jpg"), In("c.jpg")}));
  EXPECT_EQ(window.progress, (std::vector<int>{0, 33, 66, 100}));
  EXPECT_EQ(window.statusTexts,
            (Strings{"処理中...　 33%         1 /     3  エラー    0   スキップ     0",
                     "処理中...　 66%         2 /     3  エラー    0   スキップ     0",
                     "処理中...　100%         3 /     3  エラー    0   スキップ     0",
                     "作業が終了しました。保存ファイル数    3  エラー    0   スキップ     0"}));
  EXPECT_EQ(window.messages, Strings{Finished(3, 0, 0)});
  EXPECT_TRUE(window.questions.empty());
  ASSERT_GE(window.events.size(), 3u);
  EXPECT_EQ(window.events[0], "running");
  EXPECT_EQ(window.events[1], "clear log");
  EXPECT_EQ(window.events[2], "progress: 0");
  EXPECT_EQ(window.events.end()[-3], "message: " + Finished(3, 0, 0));
  EXPECT_EQ(window.events.end()[-2], "status: " + Finished(3, 0, 0));
  EXPECT_EQ(window.events.back(), "idle");
  EXPECT_FALSE(window.running);

  EXPECT_TRUE(outcome.started);
  EXPECT_FALSE(outcome.stopped);
  EXPECT_EQ(outcome.counts.saved, 3);
  EXPECT_EQ(outcome.counts.errors, 0);
  // 400 x 300 trimmed to the L aspect 2000:1401 keeps the width.
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
    EXPECT_EQ(SizeOf(Out(name)), (PixelSize{400, 280})) << name;
  }
}

TEST_F(BatchRunTest, DecodeFailureAnsweredNoThenSave) {
  box.Fill({"in/a.jpg"});  // text, not a JPEG
  Photo("b.jpg", 400, 300);

  const RunOutcome outcome = Run();

  EXPECT_EQ(window.questions,
            Strings{"JPEGファイルを読み込めませんでした。中断しますか？\n\n" + In("a.jpg")});
  EXPECT_EQ(window.log, (Strings{In("a.jpg"), "JPEGファイルを読み込めません", In("b.jpg")}));
  ASSERT_EQ(window.statusTexts.size(), 2u);
  EXPECT_EQ(window.statusTexts[0],
            "処理中...　100%         2 /     2  エラー    1   スキップ     0");
  EXPECT_EQ(window.messages, Strings{Finished(1, 1, 0)});
  EXPECT_EQ(outcome.counts.saved, 1);
  EXPECT_EQ(outcome.counts.errors, 1);
  EXPECT_FALSE(fs::exists(Out("a.jpg")));
  EXPECT_TRUE(SizeOf(Out("b.jpg")));
}

TEST_F(BatchRunTest, NestedJapaneseAndSpacedNamesKeepTheirPlace) {
  Photo("写真 2024/夏 休み/海 の 日.JPG", 300, 400);
  Photo("top level.jpg", 400, 300);

  const RunOutcome outcome = Run();

  EXPECT_EQ(window.log, (Strings{In("top level.jpg"), In("写真 2024/夏 休み/海 の 日.JPG")}));
  EXPECT_EQ(outcome.counts.saved, 2);
  // A portrait 300 x 400 is wider than 1401:2000 and keeps its height.
  EXPECT_EQ(SizeOf(Out("写真 2024/夏 休み/海 の 日.JPG")), (PixelSize{280, 400}));
  EXPECT_EQ(SizeOf(Out("top level.jpg")), (PixelSize{400, 280}));
}

TEST_F(BatchRunTest, FolderLinkLoopIsNotFollowed) {
  Photo("a.jpg", 400, 300);
  Photo("sub/b.jpg", 400, 300);
  fs::create_directory_symlink(box.Path("in"), box.Path("in/sub/loop"));

  const RunOutcome outcome = Run();

  EXPECT_EQ(window.log, (Strings{In("a.jpg"), In("sub/b.jpg")}));
  EXPECT_EQ(outcome.counts.saved, 2);
  EXPECT_EQ(window.messages, Strings{Finished(2, 0, 0)});
}

TEST_F(BatchRunTest, NoSubfoldersTakesTheTopFolderOnly) {
  Photo("a.jpg", 400, 300);
  Photo("sub/b.jpg", 400, 300);
  options.subfolders = false;
  Run();
  EXPECT_EQ(window.log, Strings{In("a.jpg")});
}

// --- The skip rule ------------------------------------------------------------

TEST_F(BatchRunTest, SkipRuleBorders) {
  struct Size {
    const char* name;
    int w, h;
    bool skipped;
  };
  const Size sizes[] = {{"a_320x240.jpg", 320, 240, true},  {"b_240x320.jpg", 240, 320, true},
                        {"c_200x300.jpg", 200, 300, true},  {"d_321x240.jpg", 321, 240, false},
                        {"e_320x241.jpg", 320, 241, false}, {"f_241x320.jpg", 241, 320, false}};
  for (const Size& s : sizes) Photo(s.name, s.w, s.h);

  const RunOutcome outcome = Run();

  Strings expected;
  for (const Size& s : sizes) {
    expected.push_back(In(s.name));
    if (s.skipped) expected.push_back(kSkipLine);
    EXPECT_EQ(fs::exists(Out(s.name)), !s.skipped) << s.name;
  }
  EXPECT_EQ(window.log, expected);
  EXPECT_EQ(outcome.counts.skipped, 3);
  EXPECT_EQ(outcome.counts.saved, 3);
  EXPECT_EQ(window.messages, Strings{Finished(3, 0, 3)});
  EXPECT_EQ(window.statusTexts.end()[-2],
            "処理中...　100%         6 /     6  エラー    0   スキップ     3");

  fs::remove_all(Out(""));
  window.photo.skipSmall = false;
  const RunOutcome kept = Run();
  EXPECT_EQ(kept.counts.skipped, 0);
  EXPECT_EQ(kept.counts.saved, 6);
  EXPECT_EQ(SizeOf(Out("c_200x300.jpg")), (PixelSize{200, 285}));
}

TEST_F(BatchRunTest, WithoutTrimNeitherSkipNorTrimApplies) {
  Photo("a.jpg", 320, 240);
  window.photo.trim = false;
  window.photo.reduce = true;

  const RunOutcome outcome = Run();

  EXPECT_EQ(window.log, (Strings{In("a.jpg"), kSmallerLine}));
  EXPECT_EQ(outcome.counts.saved, 1);
  EXPECT_EQ(SizeOf(Out("a.jpg")), (PixelSize{320, 240}));
}

// --- Trim and reduction -------------------------------------------------------

TEST_F(BatchRunTest, CropWiderThanPlaneFailsItsTrim) {
  // At L 400 dpi the crop is 7000 x 4903, beyond the 6200 plane side.
  PlainPhoto("big.jpg", 7000, 5000);

  const RunOutcome outcome = Run();

  EXPECT_EQ(window.questions,
            Strings{"JPEGファイルのトリミングが実行出来ませんでした。中断しますか？\n\n\n" +
                    In("big.jpg")});
  EXPECT_EQ(window.log, (Strings{In("big.jpg"), "トリミング失敗"}));
  EXPECT_EQ(outcome.counts.errors, 1);
  EXPECT_EQ(window.messages, Strings{Finished(0, 1, 0)});
  EXPECT_FALSE(fs::exists(Out("big.jpg")));
}

TEST_F(BatchRunTest, PhotoSmallerThanBoxIsSavedUnreduced) {
  Photo("a.jpg", 640, 480);
  options.target = LongShort{800, 600};  // SVGA
  window.photo.reduce = true;

  const RunOutcome outcome = Run();

  EXPECT_EQ(window.log, (Strings{In("a.jpg"), kSmallerLine}));
  EXPECT_EQ(outcome.counts.saved, 1);
  EXPECT_EQ(window.messages, Strings{Finished(1, 0, 0)});
  EXPECT_EQ(SizeOf(Out("a.jpg")), (PixelSize{640, 480}));
}

TEST_F(BatchRunTest, ReductionToTheBoxBothWays) {
  Photo("a.jpg", 800, 600);
  options.target = LongShort{640, 480};  // VGA
  window.photo.reduce = true;
  Run();
  EXPECT_EQ(SizeOf(Out("a.jpg")), (PixelSize{640, 480}));

  window.photo.highQuality = true;
  options.outputFolder = box.Path("out-hq");
  const RunOutcome outcome = Run();
  EXPECT_EQ(window.log, Strings{In("a.jpg")});
  EXPECT_EQ(outcome.counts.saved, 1);
  EXPECT_EQ(SizeOf(box.Path("out-hq/a.jpg")), (PixelSize{640, 480}));
}

TEST_F(BatchRunTest, FoldersAndSizeAreFixedAtRunButPhotoOptionsAreNot) {
  Photo("a.jpg", 400, 300);
  Photo("b.jpg", 400, 300);
  options.target = LongShort{640, 480};  // VGA
  window.onPhotoStarted = [this] {
    if (window.log.size() == 2) {
      options.outputFolder = box.Path("out2");
      options.target = LongShort{2000, 1401};  // L: would trim to 400 x 280
      window.photo.reduce = true;
    }
  };
  const RunOptions asPressed = options;
  window.photo = options.photo;
  const RunOutcome outcome = RunBatch(asPressed, window, {});

  EXPECT_EQ(outcome.counts.saved, 2);
  EXPECT_EQ(SizeOf(Out("a.jpg")), (PixelSize{400, 300}));
  EXPECT_FALSE(fs::exists(box.Path("out2")));
  // b.jpg is 400 x 300, smaller than the 640 x 480 box: logged, not reduced.
  EXPECT_EQ(window.log, (Strings{In("a.jpg"), In("b.jpg"), kSmallerLine}));
  EXPECT_EQ(SizeOf(Out("b.jpg")), (PixelSize{400, 300}));
}

// A photo cut short is saved with its missing rows grey and says so; stray
// bytes before a marker lose nothing and are not damage.
TEST_F(BatchRunTest, DamagedPhotosAreSavedWithALine) {
  const std::string whole = MakeJpeg(400, 300, CoordinatePixel);
  box.Write("in/cut.jpg", whole.substr(0, whole.size() / 2));
  // Three stray bytes between the JFIF segment (2 + 18 bytes) and the next.
  box.Write("in/stray.jpg", whole.substr(0, 20) + std::string("\x01\x02\x03") + whole.substr(20));

  const RunOutcome outcome = Run();

  EXPECT_EQ(window.log,
            (Strings{In("cut.jpg"), "破損したデータを補って保存しました", In("stray.jpg")}));
  EXPECT_EQ(outcome.counts.saved, 2);
}

TEST_F(BatchRunTest, EachPhotoIsReportedOnceWithItsOutcome) {
  Photo("a.jpg", 400, 300);
  Photo("b.jpg", 300, 200);
  box.Fill({"in/c.jpg"});
  options.outputFolder = box.Path("out") + "/";

  Run();

  ASSERT_EQ(window.reports.size(), 3u);
  const PhotoReport& a = window.reports[0];
  EXPECT_EQ(a.input, In("a.jpg"));
  EXPECT_EQ(a.output, Out("a.jpg"));
  EXPECT_EQ(a.outcome, PhotoOutcome::Saved);
  EXPECT_EQ(a.decoded, (PixelSize{400, 300}));
  EXPECT_EQ(a.crop, (PixelSize{400, 280}));
  EXPECT_EQ(a.saved, (PixelSize{400, 280}));
  EXPECT_EQ(window.reports[1].outcome, PhotoOutcome::SkippedSmall);
  EXPECT_EQ(window.reports[2].outcome, PhotoOutcome::Unreadable);
  EXPECT_EQ(window.reports[2].output, "");
  EXPECT_EQ(window.questionKinds, std::vector<Question>{Question::Unreadable});
}

// --- Output paths --------------------------------------------------------------

TEST_F(BatchRunTest, InputFolderWithoutSeparatorDoublesItInTheOutputPath) {
  Photo("sub/a.jpg", 400, 300);
  box.Write("out/sub/a.jpg", "old");
  options.inputFolder = box.Path("in");
  options.outputFolder = box.Path("out") + "/";

  const RunOutcome outcome = Run();

  EXPECT_EQ(window.questions, Strings{"既に同名のJPEGファイルが存在します。中断しますか？\n\n" +
                                      box.Path("out") + "//sub/a.jpg"});
  EXPECT_EQ(outcome.counts.saved, 1);
  EXPECT_EQ(SizeOf(Out("sub/a.jpg")), (PixelSize{400, 280}));
}

// Folder text of exactly `length` bytes below the sandbox, made of
// components no longer than a file name may be.
std::string LongFolder(const std::string& base, std::size_t length) {
  std::string folder = base;
  while (folder.size() < length) {
    const std::size_t remaining = length - folder.size();
    if (remaining == 1) {
      folder += 'd';
    } else {
      folder += "/" + std::string(std::min<std::size_t>(200, remaining - 1), 'd');
    }
  }
  return folder;
}

TEST_F(BatchRunTest, OutputPathOverTheLimitIsRefusedNotCut) {
  Photo("a.jpg", 400, 300);
  Photo("abc.jpg", 400, 300);
  // Folder text plus separator: 2042 bytes, so out/a.jpg is 2047 and out/abc.jpg 2049.
  const std::string outFolder = LongFolder(box.Path("out"), 2041);
  ASSERT_NE(outFolder.back(), '/');
  options.outputFolder = outFolder;

  const RunOutcome outcome = Run();

  EXPECT_EQ(window.log, (Strings{In("a.jpg"), In("abc.jpg"), "ファイル名が長すぎます"}));
  EXPECT_TRUE(window.questions.empty());
  EXPECT_EQ(outcome.counts.saved, 1);
  EXPECT_EQ(outcome.counts.errors, 1);
  EXPECT_EQ(window.messages, Strings{Finished(1, 1, 0)});
  EXPECT_EQ((outFolder + "/a.jpg").size(), MaxOutputPathLength);
  EXPECT_TRUE(fs::exists(outFolder + "/a.jpg"));
  EXPECT_FALSE(fs::exists(outFolder + "/abc.j"));
  EXPECT_FALSE(fs::exists(outFolder + "/abc.jp"));
}

// --- Questions ----------------------------------------------------------------

TEST_F(BatchRunTest, SameNameQuestionOncePerRun) {
  Photo("a.jpg", 400, 300);
  Photo("b.jpg", 400, 300);
  box.Write("out/a.jpg", "old a");
  box.Write("out/b.jpg", "old b");
  const std::string question = "既に同名のJPEGファイルが存在します。中断しますか？\n\n";

  const RunOutcome first = Run();

  EXPECT_EQ(window.questions, Strings{question + Out("a.jpg")});
  EXPECT_EQ(window.log, (Strings{In("a.jpg"), In("b.jpg")}));
  EXPECT_EQ(first.counts.saved, 2);
  EXPECT_EQ(SizeOf(Out("a.jpg")), (PixelSize{400, 280}));
  EXPECT_EQ(SizeOf(Out("b.jpg")), (PixelSize{400, 280}));

  window.questions.clear();
  Run();
  EXPECT_EQ(window.questions, Strings{question + Out("a.jpg")});
}

TEST_F(BatchRunTest, YesToSameNameStopsWithOneBox) {
  Photo("a.jpg", 400, 300);
  Photo("b.jpg", 400, 300);
  box.Write("out/a.jpg", "old a");
  window.answers = {true};

  const RunOutcome outcome = Run();

  EXPECT_EQ(window.log, (Strings{In("a.jpg"), "中断"}));
  EXPECT_EQ(window.messages, Strings{Stopped(0, 0, 0)});
  EXPECT_EQ(box.Read("out/a.jpg"), "old a");
  EXPECT_FALSE(fs::exists(Out("b.jpg")));
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(window.events.back(), "idle");
}

TEST_F(BatchRunTest, FileThatVanishedAfterTheScan) {
  Photo("a.jpg", 400, 300);
  Photo("b.jpg", 400, 300);
  window.onPhotoStarted = [this] {
    if (window.log.size() == 1) fs::remove(In("a.jpg"));
  };

  const RunOutcome outcome = Run();

  EXPECT_EQ(window.questions,
            Strings{"入力フォルダにJPEGファイルが存在しません。中断しますか？\n\n" + In("a.jpg")});
  EXPECT_EQ(window.log, (Strings{In("a.jpg"), "JPEGファイルが存在しません", In("b.jpg")}));
  EXPECT_EQ(outcome.counts.errors, 1);
  EXPECT_EQ(outcome.counts.saved, 1);
}

TEST_F(BatchRunTest, YesToAProblemStopsWithoutCountingTheFile) {
  box.Fill({"in/a.jpg"});
  Photo("b.jpg", 400, 300);
  window.answers = {true};

  const RunOutcome outcome = Run();

  EXPECT_EQ(window.log, (Strings{In("a.jpg"), "中断"}));
  EXPECT_EQ(window.messages, Strings{Stopped(0, 0, 0)});
  EXPECT_EQ(outcome.counts.errors, 0);
  EXPECT_FALSE(fs::exists(Out("b.jpg")));
}

TEST_F(BatchRunTest, OutputFolderThatCannotBeCreated) {
  Photo("a.jpg", 400, 300);
  box.Fill({"blocker"});  // a file where a folder would have to be
  options.outputFolder = box.Path("blocker/out");

  const RunOutcome outcome = Run();

  EXPECT_EQ(window.questions, Strings{"JPEGファイルの保存が出来ませんでした。中断しますか？\n\n" +
                                      box.Path("blocker/out/a.jpg")});
  ASSERT_EQ(window.messages.size(), 2u);
  // The stored text, then the path and the system's reason.
  EXPECT_EQ(window.messages[0], "保存先フォルダを作成出来ません。\n" + box.Path("blocker/out") +
                                    "\n" + box.Path("blocker/out/a.jpg") + "\n" +
                                    std::strerror(ENOTDIR));
  EXPECT_EQ(window.notices[0], Notice::SaveFailed);
  EXPECT_EQ(window.messages[1], Finished(0, 1, 0));
  // The stored line, then the system's reason.
  EXPECT_EQ(window.log, (Strings{In("a.jpg"), "保存に失敗", std::strerror(ENOTDIR)}));
  EXPECT_EQ(outcome.counts.errors, 1);
  // The save box comes before the run's own question.
  const auto saveBox =
      std::find(window.events.begin(), window.events.end(), "message: " + window.messages[0]);
  const auto ask =
      std::find(window.events.begin(), window.events.end(), "ask: " + window.questions[0]);
  EXPECT_LT(saveBox, ask);
}

// --- Cancel -------------------------------------------------------------------

TEST_F(BatchRunTest, CancelBetweenFilesFinishesTheFileInHand) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) Photo(name, 400, 300);
  CancelDuringFile(1);

  const RunOutcome outcome = Run();

  EXPECT_EQ(window.log, (Strings{In("a.jpg"), In("b.jpg"), "中断"}));
  EXPECT_EQ(window.messages, (Strings{"中断しました。", Stopped(1, 0, 0)}));
  EXPECT_TRUE(SizeOf(Out("a.jpg")));
  EXPECT_FALSE(fs::exists(Out("b.jpg")));
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(outcome.counts.saved, 1);
  EXPECT_EQ(window.Status(), Stopped(1, 0, 0));
  EXPECT_EQ(window.events.back(), "idle");
  EXPECT_FALSE(window.running);
}

TEST_F(BatchRunTest, CancelOnTheLastFileEndsAsUsualInStoppedWording) {
  Photo("a.jpg", 400, 300);
  Photo("b.jpg", 400, 300);
  CancelDuringFile(2);

  const RunOutcome outcome = Run();

  EXPECT_EQ(window.log, (Strings{In("a.jpg"), In("b.jpg")}));
  EXPECT_EQ(window.messages, Strings{Stopped(2, 0, 0)});
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(outcome.counts.saved, 2);
  EXPECT_EQ(window.events.back(), "idle");
}

TEST_F(BatchRunTest, CancelInsideHighQualityReductionDropsThePhoto) {
  Photo("a.jpg", 800, 600);
  Photo("b.jpg", 800, 600);
  options.target = LongShort{640, 480};  // VGA
  window.photo.reduce = true;
  window.photo.highQuality = true;
  CancelDuringFile(1);

  const RunOutcome outcome = Run();

  EXPECT_EQ(window.log, (Strings{In("a.jpg"), "中断", ""}));
  EXPECT_EQ(window.messages, Strings{Stopped(0, 0, 0)});
  EXPECT_TRUE(window.questions.empty());
  EXPECT_FALSE(fs::exists(Out("a.jpg")));
  EXPECT_FALSE(fs::exists(Out("b.jpg")));
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(window.statusTexts, (Strings{"", Stopped(0, 0, 0)}));
  EXPECT_EQ(window.events.back(), "idle");
}

// --- Unexpected failures ------------------------------------------------------

// Run in a child process whose address space leaves no room for the second
// photo's pixels. The sanitizers reserve far more address space than that.
TEST_F(BatchRunTest, OutOfMemoryInsideAFileEndsTheRunCleanly) {
  QUORVALE_SKIP_UNDER_SANITIZERS();
  Photo("a.jpg", 400, 300);
  PlainPhoto("b.jpg", 9000, 9000);  // 243 MB of pixels
  Photo("c.jpg", 400, 300);
  testing::RunInChild(
      // Room for the run's own memory, not for the photo.
      [] { return testing::LimitAddressSpace(rlim_t{180} << 20); },
      [this] {
        const RunOutcome outcome = Run();
        EXPECT_EQ(window.log, (Strings{In("a.jpg"), In("b.jpg"), "中断"}));
        EXPECT_EQ(window.messages,
                  (Strings{"メモリが不足したため、処理を中断しました。\n\n" + In("b.jpg"),
                           Stopped(1, 0, 0)}));
        EXPECT_TRUE(outcome.stopped);
        EXPECT_EQ(outcome.counts.saved, 1);
        EXPECT_EQ(window.Status(), Stopped(1, 0, 0));
      });
}

TEST_F(BatchRunTest, OtherExceptionInsideAFileIsReportedWithItsText) {
  Photo("a.jpg", 400, 300);
  window.onOptions = [] { throw std::runtime_error("disk on fire"); };

  const RunOutcome outcome = Run();

  EXPECT_EQ(window.messages, (Strings{"予期しないエラーが発生したため、処理を中断しました。\n\n" +
                                          In("a.jpg") + "\ndisk on fire",
                                      Stopped(0, 0, 0)}));
  EXPECT_EQ(window.log, (Strings{In("a.jpg"), "中断"}));
  EXPECT_TRUE(outcome.stopped);
  EXPECT_FALSE(window.running);
}

// --- Decoding ahead -------------------------------------------------------------

// A tree with every outcome a photo can have, and its whole record: every
// event the front end saw and the bytes of every file written.
struct Recorded {
  Strings events;
  Strings outputs;  // "path: bytes"
  friend bool operator==(const Recorded&, const Recorded&) = default;
};

// A trimmed photo is decoded as its crop alone; its output holds the bytes
// the pixel steps make of the whole decode, for every kind of photo, crops
// at both ends and the centre, and options changed after a decode ahead.
TEST_F(BatchRunTest, PhotosDecodedAsTheirCropSaveTheBytesOfTheWholeDecode) {
  const struct {
    const char* name;
    testing::TestJpegOptions jpeg;
  } kinds[] = {{"420", {}}, {"progressive", {.progressive = true}}};
  Strings names;
  for (const auto& kind : kinds) {
    for (const auto& [suffix, w, h] : {std::tuple{"wide", 601, 389}, {"tall", 389, 601}}) {
      names.push_back(std::string(kind.name) + "-" + suffix + ".jpg");
      box.Write("in/" + names.back(), MakeJpeg(w, h, testing::PhotoPixel, kind.jpeg));
    }
  }
  std::sort(names.begin(), names.end());  // the order of the run
  options.target = {400, 300};
  options.jobs = 2;
  const PhotoOptions trim;  // trims, nothing else
  const PhotoOptions reduceOnly{.trim = false, .reduce = true};
  const PhotoOptions border{.fit = Fit::Border};
  // Reduced as the crop's rows come from the decoder, and encoded ahead.
  const PhotoOptions reduce{.reduce = true};
  const PhotoOptions highQuality{.reduce = true, .highQuality = true};
  const PhotoOptions lowQuality{.reduce = true, .quality = 50};
  const struct {
    double position;
    PhotoOptions pressed, atTurn;
  } runs[] = {{0, trim, trim},           {0.5, trim, trim},
              {1, trim, trim},           {1, trim, reduceOnly},
              {0, trim, border},         {0.5, reduceOnly, trim},
              {1, reduce, reduce},       {0, highQuality, highQuality},
              {0.5, reduce, lowQuality}, {0.5, highQuality, reduce},
              {0.5, reduce, border}};
  for (const auto& run : runs) {
    SCOPED_TRACE(::testing::Message() << "position " << run.position);
    fs::remove_all(Out(""));
    options.crops.general = run.position;
    options.photo = run.pressed;
    window.photo = run.atTurn;
    window.reports.clear();
    ASSERT_EQ(RunBatch(options, window, {}).counts.saved, static_cast<int>(names.size()));
    for (std::size_t i = 0; i < names.size(); ++i) {
      SCOPED_TRACE(names[i]);
      Bitmap photo;
      ASSERT_TRUE(LoadPhotoFile(In(names[i]), photo).Ok());
      EXPECT_EQ(window.reports[i].decoded, (PixelSize{photo.Width(), photo.Height()}));
      ReductionScratch scratch;
      PreparePhoto(photo, scratch, run.atTurn, options.target, run.position, {});
      const std::optional<std::vector<std::uint8_t>> bytes = EncodeJpeg(photo, run.atTurn.quality);
      ASSERT_TRUE(bytes);
      EXPECT_TRUE(box.Read("out/" + names[i]) == std::string(bytes->begin(), bytes->end()));
    }
  }
}

class DecodingAhead : public BatchRunTest {
 protected:
  void EveryOutcome() {
    Photo("a.jpg", 400, 300);         // saved
    box.Fill({"in/b.jpg"});           // not a photo
    Photo("c.jpg", 300, 200);         // small: skipped
    PlainPhoto("d.jpg", 7000, 5000);  // the trim fails
    Photo("e.jpg", 400, 300);         // exists: asked, replaced
    const std::string whole = MakeJpeg(480, 360, CoordinatePixel);
    box.Write("in/f.jpg", whole.substr(0, whole.size() / 2));  // cut short: grey rows
    Photo("sub/g.jpg", 200, 400);                              // smaller than the box
    box.Write("out/e.jpg", "old");
  }

  Recorded RunWithJobs(int jobs) {
    fs::remove_all(Out(""));
    box.Write("out/e.jpg", "old");
    RecordingListener port;
    port.photo.reduce = true;
    options.photo = port.photo;
    options.jobs = jobs;
    options.target = LongShort{640, 480};  // VGA
    RunBatch(options, port, {});
    Recorded recorded{port.events, {}};
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(Out(""))) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      const std::string relative = fs::relative(file, Out("")).string();
      recorded.outputs.push_back(relative + ": " + box.Read("out/" + relative));
    }
    return recorded;
  }
};

TEST_F(DecodingAhead, EveryOutcomeIsTheSameAsOnePhotoAfterAnother) {
  EveryOutcome();
  const Recorded sequential = RunWithJobs(1);
  ASSERT_EQ(sequential.outputs.size(), 5u);  // a, e, f, g and the output's mark
  EXPECT_EQ(RunWithJobs(4), sequential);
  EXPECT_EQ(RunWithJobs(2), sequential);
}

TEST_F(DecodingAhead, PhotosChangedOrRemovedBeforeTheirTurnAreTakenAsTheyAreThen) {
  Photo("a.jpg", 400, 300);
  Photo("b.jpg", 400, 300);
  Photo("c.jpg", 400, 300);
  options.jobs = 4;
  // At the second photo's turn it is removed and the third replaced;
  // both may well have been decoded ahead by then.
  window.onPhotoStarted = [this, done = false]() mutable {
    if (window.log.size() != 2 || done) return;
    done = true;
    Photo("c.jpg", 300, 400);
    fs::remove(In("b.jpg"));
  };

  const RunOutcome outcome = Run();

  EXPECT_EQ(window.log,
            (Strings{In("a.jpg"), In("b.jpg"), "JPEGファイルが存在しません", In("c.jpg")}));
  EXPECT_EQ(outcome.counts.saved, 2);
  EXPECT_EQ(SizeOf(Out("c.jpg")), (PixelSize{280, 400}));
  EXPECT_FALSE(fs::exists(Out("b.jpg")));
}

// A photo written ahead whose output appears before its turn: the turn asks
// the same-name question as for any existing output, and the answer No
// replaces that file; nothing else is left in the folder.
TEST_F(DecodingAhead, OutputThatAppearsAfterTheWriteAheadIsAskedAbout) {
  Photo("a.jpg", 900, 600);  // trimmed, so reduced as decoded, and encoded ahead
  Photo("b.jpg", 900, 600);
  box.Write("out/b.txt", "the output folder is there, so outputs are written ahead");
  options.jobs = 2;
  options.target = LongShort{640, 480};  // VGA
  window.photo.reduce = true;
  window.onPhotoStarted = [this] {
    if (window.log.size() == 2) box.Write("out/b.jpg", "theirs");
  };

  const RunOutcome outcome = Run();

  EXPECT_EQ(window.questions,
            Strings{"既に同名のJPEGファイルが存在します。中断しますか？\n\n" + Out("b.jpg")});
  EXPECT_EQ(outcome.counts.saved, 2);
  EXPECT_EQ(SizeOf(Out("b.jpg")), (PixelSize{640, 480}));
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(Out(""))) names.insert(entry.path().filename());
  EXPECT_EQ(names, (std::set<std::string>{".quorvale-output", "a.jpg", "b.jpg", "b.txt"}));
}

}  // namespace
}  // namespace quorvale
