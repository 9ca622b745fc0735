// quorvale-batch's crop positions and borders end to end: where the crop
// sits in each output against a crop cut here from the photo's decode, the
// --crops file with its stale and malformed entries, a bordered output.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "RunCli.h"
#include "codec/JpegFile.h"
#include "codec/PhotoReader.h"
#include "support/Sandbox.h"
#include "support/TestJpeg.h"

namespace quorvale {
namespace {

using testing::Result;
using Strings = std::vector<std::string>;

// Every column and row differs sharply from its neighbours, so a crop one
// pixel off matches far worse than the right one.
testing::Rgb Striped(int x, int y) {
  return {static_cast<std::uint8_t>(x * 53), static_cast<std::uint8_t>(y * 53),
          static_cast<std::uint8_t>((x + y) * 7)};
}

// Trimmed to L, 601 x 300 and 300 x 601 keep 428 of their 601 pixels: a
// surplus of 173 along x for the first, along y for the second.
struct Shot {
  const char* name;
  int width, height;
};
const Shot kShots[] = {{"wide.jpg", 601, 300}, {"sub/tall.jpg", 300, 601}};

class CropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const Shot& s : kShots)
      box.Write("in/" + std::string(s.name), testing::MakeJpeg(s.width, s.height, Striped));
  }

  Result Run(Strings args) {
    args.insert(args.begin(), {"--quality", "100"});
    return testing::RunCli(box, args, {.cwd = box.Root()});
  }

  // The offset along the free axis, within 3 of `near`, at which the output
  // `out/<name>` matches the photo's own crop best; -1 for a wrong size.
  int BestOffset(const std::string& out, const Shot& shot, int near) {
    Bitmap photo, output;
    LoadPhotoFile(box.Path("in/" + std::string(shot.name)), photo);
    LoadPhotoFile(box.Path(out + "/" + shot.name), output);
    const bool alongX = shot.width > shot.height;
    if (output.Width() != (alongX ? 428 : shot.width) ||
        output.Height() != (alongX ? shot.height : 428))
      return -1;
    int best = -1;
    long bestError = 0;
    for (int offset = std::max(0, near - 3); offset <= std::min(near + 3, 173); ++offset) {
      long error = 0;
      for (int y = 0; y < output.Height(); ++y) {
        const std::uint8_t* source = photo.Row(alongX ? y : y + offset) + (alongX ? 3 * offset : 0);
        for (int i = 0; i < 3 * output.Width(); ++i)
          error += std::abs(output.Row(y)[i] - source[i]);
      }
      if (best < 0 || error < bestError) best = offset, bestError = error;
    }
    return best;
  }

  testing::Sandbox box;
};

TEST_F(CropTest, PositionsMoveTheCropAlongTheFreeAxisOfEitherOrientation) {
  // The last case gives no --crop-position: the middle.
  const std::pair<std::string, int> cases[] = {{"top", 0}, {"0.25", 43}, {"1", 173}, {"", 86}};
  for (const auto& [position, offset] : cases) {
    const std::string out = "out-" + std::to_string(offset);
    Strings args = {"in", out};
    if (!position.empty()) args.insert(args.begin(), {"--crop-position", position});
    ASSERT_EQ(Run(args).status, 0);
    for (const Shot& shot : kShots) EXPECT_EQ(BestOffset(out, shot, offset), offset) << out;
  }
}

// Photos the file names take its position, the others the general one: a
// key may start with "./", be absolute inside the input folder, or spell its
// accents and voicing marks apart where the name on the disk does not, or
// the other way round. Entries for photos not in the run are named, and the
// run goes on.
TEST_F(CropTest, TheCropsFileGivesPositionsByRelativePathAndNamesStaleEntries) {
  const std::string ga = "\xE3\x81\x8B\xE3\x82\x99.jpg";  // か + ゛ apart on the disk
  for (const std::string name : {"café.jpg", "née.jpg", ga.c_str()})
    box.Write("in/" + name, testing::MakeJpeg(601, 300, Striped));
  box.Write("crops.json",
            "\xEF\xBB\xBF{\n  \"./wide.jpg\": \"right\",\n  \"gone.jpg\": 0.3,\n  \"" +
                box.Path("in") + "/caf\\u00e9.jpg\": 5e-1,\n  \"ne\\u0301e.jpg\": 1,\n" +
                "  \"が.jpg\": 1,\n  \"tall.jpg\": 1\n}\n");
  const Result result = Run({"--crop-position", "top", "--crops", "crops.json", "in", "out"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(BestOffset("out", kShots[0], 173), 173);
  EXPECT_EQ(BestOffset("out", kShots[1], 0), 0) << "not in the file: the general position";
  EXPECT_EQ(BestOffset("out", {"café.jpg", 601, 300}, 86), 86);
  EXPECT_EQ(BestOffset("out", {"née.jpg", 601, 300}, 173), 173);
  EXPECT_EQ(BestOffset("out", {ga.c_str(), 601, 300}, 173), 173);
  EXPECT_EQ(result.err,
            "quorvale-batch: --crops: no photo 'gone.jpg' in this run\n"
            "quorvale-batch: --crops: no photo 'tall.jpg' in this run\n");
}

// Keys for no photo are named before the first photo, the first 20 and then
// their count, and counted in --json; with --strict-crops the run does not
// start. A crop file may be a pipe.
TEST_F(CropTest, UnknownKeysAreNamedAndCountedAndStrictCropsRefuses) {
  std::string text = "{\"wide.jpg\": 1";
  std::string named;
  for (int i = 0; i < 21; ++i) {
    const std::string key = "gone" + std::to_string(100 + i) + ".jpg";
    text += ",\"" + key + "\": 0";
    if (i < 20) named += "quorvale-batch: --crops: no photo '" + key + "' in this run\n";
  }
  box.Write("crops.json", text + "}");
  const Result named21 = Run({"--json", "--crops", "crops.json", "in", "out"});
  EXPECT_EQ(named21.status, 0);
  EXPECT_EQ(named21.err,
            named + "quorvale-batch: --crops: 1 more path names no photo in this run\n");
  EXPECT_NE(named21.out.find("\"unknown_crops\":21,"), std::string::npos) << named21.out;

  const Result strict = Run({"--strict-crops", "--crops", "crops.json", "in", "strict"});
  EXPECT_EQ(strict.status, 2);
  EXPECT_TRUE(
      strict.err.starts_with("トリミング位置の指定に、入力フォルダにない写真があります。\n"))
      << strict.err;
  EXPECT_FALSE(std::filesystem::exists(box.Path("strict")));

  ASSERT_EQ(mkfifo(box.Path("pipe").c_str(), 0600), 0);
  std::thread writer([&] { box.Write("pipe", "{\"wide.jpg\": \"right\"}"); });
  const Result piped = Run({"--crops", "pipe", "in", "piped"});
  // A writer still waiting for a reader (a run that never read the pipe) is let go.
  const int release = open(box.Path("pipe").c_str(), O_RDONLY | O_NONBLOCK);
  writer.join();
  close(release);
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(BestOffset("piped", kShots[0], 173), 173);
}

TEST_F(CropTest, AMalformedCropsFileIsRefusedBeforeAnythingIsTouchedNamingItsLine) {
  const std::pair<const char*, int> cases[] = {
      {"", 1},
      {"[0.5]", 1},
      {"{\"a\": 0.5,\n \"b\": 1.5}", 2},
      {"{\"a\": 0.5\n \"b\": 1}", 2},
      {"{\"a\": \"middle\"}", 1},
      {"{\"a\": true}", 1},
      {"{\n\"a\": 0,\n\"a\": 1\n}", 3},
      {"{\"a\": 0.5,}", 1},
      {"{\"a\": 0.5}\n{}", 2},
      {"{\"a\tb\": 0}", 1},
      {"{\"\\ud800\": 0}", 1},
      {"{\n\n\"a\": 0.5", 3},
  };
  for (const auto& [text, line] : cases) {
    box.Write("bad.json", text);
    const Result result = Run({"--crops", "bad.json", "in", "out"});
    EXPECT_EQ(result.status, 2) << text;
    EXPECT_TRUE(result.err.starts_with("quorvale-batch: --crops 'bad.json' line " +
                                       std::to_string(line) + ": ") &&
                testing::Lines(result.err).size() == 1)
        << text << "\n"
        << result.err;
  }
  EXPECT_EQ(Run({"--crops", "none.json", "in", "out"}).err,
            "quorvale-batch: cannot read --crops 'none.json': No such file or directory\n");
  EXPECT_EQ(Run({"--crop-position", "1.5", "in", "out"}).status, 2);
  EXPECT_EQ(Run({"--fit", "border", "--no-trim", "--reduce", "in", "out"}).status, 2);
  EXPECT_FALSE(std::filesystem::exists(box.Path("out")));
}

// The border needs the box even without --reduce; a photo smaller than it
// is not enlarged. The pixel rules are the batch tests'.
TEST_F(CropTest, ABorderGivesTheBoxAndTheReportDrawsIt) {
  ASSERT_EQ(Run({"--fit", "border", "--report", "report.html", "in", "out"}).status, 0);
  Bitmap wide, tall;
  LoadPhotoFile(box.Path("out/wide.jpg"), wide);
  LoadPhotoFile(box.Path("out/sub/tall.jpg"), tall);
  EXPECT_EQ((std::pair{wide.Width(), wide.Height()}), (std::pair{2000, 1401}));
  EXPECT_EQ((std::pair{tall.Width(), tall.Height()}), (std::pair{1401, 2000}));
  EXPECT_NE(box.Read("report.html")
                .find("601 × 300 → fitted 601 × 300 at 699, 550 with a border → 2000 × 1401"),
            std::string::npos);
}

// The frame: millimetres at a print size, pixels at a pixel size (QVGA here,
// 320 x 240), 3 unless --margin says otherwise.
TEST_F(CropTest, MarginSetsTheFrameOfTheBorder) {
  const struct {
    Strings margin;
    const char* placed;
  } cases[] = {
      {{}, "601 × 300 → fitted 314 × 156 at 3, 42 with a border"},
      {{"--margin", "0"}, "601 × 300 → fitted 320 × 159 at 0, 40 with a border"},
      {{"--margin=10"}, "601 × 300 → fitted 300 × 149 at 10, 45 with a border"},
  };
  for (const auto& c : cases) {
    Strings args{"--fit", "border", "--size", "qvga", "--report", "report.html"};
    args.insert(args.end(), c.margin.begin(), c.margin.end());
    args.insert(args.end(), {"--existing", "overwrite", "in", "out"});
    ASSERT_EQ(Run(args).status, 0) << c.placed;
    EXPECT_NE(box.Read("report.html").find(c.placed), std::string::npos) << c.placed;
  }
  EXPECT_EQ(Run({"--fit", "border", "--margin", "101", "in", "out"}).status, 2);
}

}  // namespace
}  // namespace quorvale
