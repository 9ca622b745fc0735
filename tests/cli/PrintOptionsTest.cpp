// quorvale-batch's print options end to end: the report page and its crops,
// the dry run, and the option errors.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "RunCli.h"
#include "geometry/SizeTable.h"
#include "support/Sandbox.h"
#include "support/TestJpeg.h"

namespace quorvale {
namespace {

namespace fs = std::filesystem;
using testing::FromBase64;
using testing::MakeJpeg;
using testing::Result;
using testing::Sandbox;
using Strings = std::vector<std::string>;

class PrintOptionsTest : public ::testing::Test {
 protected:
  // Runs quorvale-batch with `args` from the sandbox, standard input empty.
  Result Run(const Strings& args) { return testing::RunCli(box, args, {.cwd = box.Root()}); }

  Sandbox box;
};

// The width and height a JPEG's header declares; 0 x 0 when unreadable.
PixelSize JpegSize(const std::string& jpeg) {
  jpeg_decompress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.data()),
               static_cast<unsigned long>(jpeg.size()));
  PixelSize size{0, 0};
  if (jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK) {
    size = {static_cast<int>(info.image_width), static_cast<int>(info.image_height)};
  }
  jpeg_destroy_decompress(&info);
  return size;
}

struct Card {
  std::string path;
  std::string outcome;
  PixelSize thumbnail{0, 0};
  double crop[4] = {-1, -1, -1, -1};  // left, top, width, height in per cent
};

std::vector<Card> Cards(const std::string& page) {
  std::vector<Card> cards;
  const std::regex article(R"(<article class="card [a-z]+">([\s\S]*?)</article>)");
  const std::regex image(R"re(src="data:image/jpeg;base64,([A-Za-z0-9+/=]+)")re");
  const std::regex crop(
      R"re(class="crop" style="left:([0-9.]+)%;top:([0-9.]+)%;width:([0-9.]+)%;height:([0-9.]+)%")re");
  const std::regex outcome(R"(<p class="outcome">\d+\. ([^<]*)</p>\s*<p class="path">([^<]*)<)");
  for (std::sregex_iterator i(page.begin(), page.end(), article), end; i != end; ++i) {
    const std::string body = (*i)[1];
    Card card;
    std::smatch m;
    if (std::regex_search(body, m, outcome)) {
      card.outcome = m[1];
      card.path = m[2];
    }
    if (std::regex_search(body, m, image)) card.thumbnail = JpegSize(FromBase64(m[1]));
    if (std::regex_search(body, m, crop)) {
      for (int k = 0; k < 4; ++k) card.crop[k] = std::stod(m[k + 1]);
    }
    cards.push_back(card);
  }
  return cards;
}

struct Photo {
  const char* name;
  int width, height;
};

// The crop the page draws on each thumbnail is the trim of its photo, in
// the photo's proportions; the photos come in the log's order.
TEST_F(PrintOptionsTest, TheReportDrawsEachTrimOnItsThumbnailInTheLogsOrder) {
  const Photo photos[] = {
      {"a.jpg", 600, 300}, {"b.jpg", 300, 600}, {"c.jpg", 400, 281}, {"sub/d.jpg", 500, 400}};
  for (const Photo& p : photos)
    box.Write("in/" + std::string(p.name), MakeJpeg(p.width, p.height, testing::PhotoPixel));
  box.Write("in/broken.jpg", "no photo");
  const Result result = Run({"--size", "hagaki", "--reduce", "--quality", "80", "--keep-times",
                             "--report", "report.html", "in", "out"});
  EXPECT_EQ(result.status, 1) << result.err;

  const std::string page = box.Read("report.html");
  const std::vector<Card> cards = Cards(page);
  ASSERT_EQ(cards.size(), 5u);
  const LongShort target = TargetSize(ChooseSize("hagaki", 400));
  const Photo inOrder[] = {photos[0], photos[1], photos[2], photos[3]};
  std::size_t photo = 0;
  for (const Card& card : cards) {
    SCOPED_TRACE(card.path);
    if (card.path.ends_with("broken.jpg")) {
      EXPECT_EQ(card.outcome, "error: unreadable");
      EXPECT_EQ(card.thumbnail, (PixelSize{0, 0}));
      continue;
    }
    const Photo& p = inOrder[photo++];
    EXPECT_EQ(card.path, box.Path("in/" + std::string(p.name)));
    EXPECT_EQ(card.outcome, "saved");
    const PixelSize crop = ComputeTrimSize(p.width, p.height, target);
    const double expected[4] = {100.0 * ((p.width - crop.width) / 2) / p.width,
                                100.0 * ((p.height - crop.height) / 2) / p.height,
                                100.0 * crop.width / p.width, 100.0 * crop.height / p.height};
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(card.crop[k], expected[k], 0.0006) << k;
    const int longer = std::max(p.width, p.height);
    EXPECT_EQ(std::max(card.thumbnail.width, card.thumbnail.height), std::min(longer, 200));
  }
  EXPECT_EQ(photo, 4u);
  EXPECT_NE(page.find("<p class=\"summary\" lang=\"ja\">作業が終了しました。保存ファイル数    4  "
                      "エラー    1"),
            std::string::npos);
  // What made the page, from the command line.
  EXPECT_NE(page.find("<p class=\"settings\">hagaki (はがき 102mm×152mm): " +
                      std::to_string(target.L) + " × " + std::to_string(target.S) +
                      " px at 400 dpi · trimmed to the aspect · reduced · JPEG quality 80 · "
                      "--keep-times</p>"),
            std::string::npos);
  EXPECT_TRUE(fs::exists(box.Path("out/sub/d.jpg")));
}

TEST_F(PrintOptionsTest, ADryRunWritesOnlyTheReport) {
  box.Write("in/a.jpg", MakeJpeg(600, 300, testing::PhotoPixel));
  box.Write("in/sub/b.jpg", MakeJpeg(300, 600, testing::PhotoPixel));
  const Result result = Run({"--dry-run", "--report=plan.html", "--keep-times", "--keep-metadata",
                             "--write-dpi", "in", "out"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_FALSE(fs::exists(box.Path("out")));
  const std::vector<Card> cards = Cards(box.Read("plan.html"));
  ASSERT_EQ(cards.size(), 2u);
  EXPECT_EQ(cards[0].outcome, "to be saved");
  EXPECT_EQ(cards[1].outcome, "to be saved");
  // Standard output is the log and the summary, as in a real run.
  EXPECT_EQ(result.out,
            box.Path("in/a.jpg") + "\n" + box.Path("in/sub/b.jpg") + "\n" +
                "作業が終了しました。保存ファイル数    2  エラー    0   スキップ     0\n");
  EXPECT_NE(result.err.find("--dry-run: no folder and no photo were written"), std::string::npos);
}

TEST_F(PrintOptionsTest, ExistingTakesStopOverwriteOrSkipAndTheLastSpellingWins) {
  box.Write("in/a.jpg", MakeJpeg(400, 300, testing::PhotoPixel));
  // A complete JPEG, as only those count as done when skipping.
  const std::string earlier = MakeJpeg(8, 8, testing::PhotoPixel);
  box.Write("out/a.jpg", earlier);
  const Result stopped = Run({"--existing", "stop", "in", "out"});
  EXPECT_EQ(stopped.status, 1);
  EXPECT_NE(stopped.err.find("=> Yes, stop (no --overwrite)"), std::string::npos);
  EXPECT_EQ(box.Read("out/a.jpg"), earlier);

  const Result skipped = Run({"--overwrite", "--existing=skip", "in", "out"});
  EXPECT_EQ(skipped.status, 0) << skipped.err;
  EXPECT_EQ(skipped.out,
            box.Path("in/a.jpg") + "\n同名のJPEGファイルが存在するのでスキップ\n" +
                "作業が終了しました。保存ファイル数    0  エラー    0   スキップ     1\n");
  EXPECT_EQ(box.Read("out/a.jpg"), earlier);

  const Result replaced = Run({"--existing", "skip", "--existing", "overwrite", "in", "out"});
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_NE(box.Read("out/a.jpg"), earlier);
}

TEST_F(PrintOptionsTest, BadValuesAndAnUnwritableReportStopBeforeAnyPhoto) {
  box.Write("in/a.jpg", MakeJpeg(64, 48, testing::PhotoPixel));
  struct Case {
    Strings args;
    std::string error;
  };
  const Case cases[] = {
      {{"--existing", "ask", "in", "out"},
       "quorvale-batch: invalid value 'ask' for --existing (expected stop, overwrite or skip)\n"},
      {{"--report=", "in", "out"}, "quorvale-batch: option --report needs a file name\n"},
      {{"--shard", "4/3", "in", "out"},
       "quorvale-batch: invalid value '4/3' for --shard (expected K/N with 1 <= K <= N)\n"},
      {{"--shard=0/3", "in", "out"},
       "quorvale-batch: invalid value '0/3' for --shard (expected K/N with 1 <= K <= N)\n"},
      {{"--shard", "2", "in", "out"},
       "quorvale-batch: invalid value '2' for --shard (expected K/N with 1 <= K <= N)\n"},
      {{"--dry-run=yes", "in", "out"}, "quorvale-batch: option --dry-run takes no value\n"},
      {{"--report", "no/such/folder/r.html", "in", "out"},
       "quorvale-batch: cannot write the report 'no/such/folder/r.html': No such file or "
       "directory\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    const Result result = Run(c.args);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, c.error);
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(fs::exists(box.Path("out")));
  }
}

// A report path that is, or leads to, a photo or anything in either tree,
// the --crops file, or that is no regular file, is refused before anything
// is touched.
TEST_F(PrintOptionsTest, AReportPathThatEndangersAPhotoIsRefused) {
  const std::string photo = MakeJpeg(64, 48, testing::PhotoPixel);
  box.Write("in/a.jpg", photo);
  box.Write("out/b.jpg", "an earlier output");
  box.Write("crops.json", "{}");
  ASSERT_EQ(symlink("in", box.Path("alias").c_str()), 0);
  ASSERT_EQ(symlink("in/a.jpg", box.Path("link.html").c_str()), 0);
  const struct {
    std::string report;
    std::string reason;
  } cases[] = {
      {"in/a.jpg", "it is inside INPUT_FOLDER"},   {"alias/new.html", "it is inside INPUT_FOLDER"},
      {"out/b.jpg", "it is inside OUTPUT_FOLDER"}, {"out", "it is not a regular file"},
      {"link.html", "it is not a regular file"},   {"/dev/full", "it is not a regular file"},
      {"./crops.json", "it is the --crops file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.report);
    const Result result = Run(
        {"--dry-run", "--overwrite", "--crops", "crops.json", "--report", c.report, "in", "out"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "quorvale-batch: refusing to write the report '" + c.report +
                              "': " + c.reason + "\n");
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(box.Read("in/a.jpg"), photo);
  EXPECT_EQ(box.Read("out/b.jpg"), "an earlier output");
  EXPECT_EQ(box.Read("crops.json"), "{}");
  EXPECT_FALSE(fs::exists(box.Path("alias/new.html")));
}

// A page that cannot be written whole (a full disk, here a file size limit
// the small photos stay under) is an error, exit status 2, and leaves the
// earlier page as it was; the photos stay saved.
TEST_F(PrintOptionsTest, AReportThatCannotBeWrittenIsAnErrorAndLeavesTheOldPage) {
  for (int i = 0; i < 12; ++i)
    box.Write("in/" + std::to_string(i) + ".jpg", MakeJpeg(64, 48, testing::PhotoPixel));
  box.Write("r.html", "the earlier page");
  const Result result = testing::RunCli(box, {"--keep-small", "--report", "r.html", "in", "out"},
                                        {.cwd = box.Root(), .fileSizeLimit = 8192});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "quorvale-batch: cannot write the report 'r.html': File too large\n");
  EXPECT_EQ(box.Read("r.html"), "the earlier page");
  EXPECT_TRUE(fs::exists(box.Path("out/11.jpg")));
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(box.Root()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Strings{"in", "out", "r.html"}));
}

}  // namespace
}  // namespace quorvale
