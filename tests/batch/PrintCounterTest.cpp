// What a print counter asks of a run: the date taken stamped on each print,
// and names a shop's machine takes.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <ctime>

#include "batch/PhotoSteps.h"
#include "batch/ShopNames.h"
#include "codec/PhotoReader.h"
#include "messages/Messages.h"
#include "pixels/Orientation.h"
#include "support/ExifBlock.h"
#include "support/RunFixture.h"
#include "support/TestJpeg.h"

namespace quorvale::testing {
namespace {

std::vector<std::uint8_t> ExifTaken(const std::string& when, int orientation = 1) {
  ExifBlock block(true);
  block.ifd0 = {block.Short(exif_tag::Orientation, static_cast<std::uint16_t>(orientation))};
  block.exif = {block.Ascii(exif_tag::DateTimeOriginal, when)};
  return block.Build();
}

Bitmap Decoded(const std::string& path) {
  Bitmap bitmap;
  EXPECT_EQ(LoadPhotoFile(path, bitmap).status, DecodeStatus::Decoded) << path;
  return bitmap;
}

bool Orange(const std::uint8_t* bgr) {
  return bgr[2] > 215 && bgr[1] > 100 && bgr[1] < 180 && bgr[0] < 80;
}

class PrintCounterRun : public RunFixture {};

// The stamp changes only the JPEG blocks it touches (16 x 16 with the
// output's 4:2:0 sampling, one more for the decoder's smoothing across
// them), and the pixels it covers are the stamp's orange; all of this on
// the photo as shown, where its output keeps an orientation to be turned by.
TEST_F(PrintCounterRun, AStampedOutputDiffersOnlyAroundItsStampInTheLowerRight) {
  struct Case {
    Fit fit;
    DateFormat format;
    const char* text;
    int orientation;  // kept in the output's Exif
  };
  const Case cases[] = {
      {Fit::Trim, DateFormat::Kiosk, "'24 8 5", 1},
      {Fit::Trim, DateFormat::Japanese, "2024年8月5日", 1},
      {Fit::Border, DateFormat::Dotted, "2024.08.05", 1},
      {Fit::Trim, DateFormat::Kiosk, "'24 8 5", 6},
  };
  const auto grey = [](int x, int) { return Rgb{40, 90, static_cast<std::uint8_t>(x % 99)}; };
  options.target = {600, 400};
  window.photo.reduce = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SCOPED_TRACE(c.orientation);
    box.Write("in/a.jpg",
              MakeJpeg(900, 600, grey, {.app1 = ExifTaken("2024:08:05 09:30:00", c.orientation)}));
    options.print.keepMetadata = c.orientation != 1;
    window.photo.fit = c.fit;
    window.photo.margin = c.fit == Fit::Border ? 40 : 0;  // room below for the stamp
    options.print.dateStamp = 0;
    options.outputFolder = box.Path("plain");
    Run();
    options.print.dateStamp = 28;
    options.print.dateFormat = c.format;
    options.outputFolder = box.Path("stamped");
    window.reports.clear();
    Run();
    ASSERT_EQ(window.reports.size(), 1u);
    EXPECT_EQ(window.reports[0].dateStamp, c.text);

    Bitmap plain = Decoded(box.Path("plain/a.jpg"));
    Bitmap stamped = Decoded(box.Path("stamped/a.jpg"));
    ApplyOrientation(plain, c.orientation);
    ApplyOrientation(stamped, c.orientation);
    ASSERT_EQ(stamped.Width() * stamped.Height(), plain.Width() * plain.Height());
    const PixelRect picture = c.fit == Fit::Border ? window.reports[0].fitted
                                                   : PixelRect{0, 0, plain.Width(), plain.Height()};
    const PixelRect stamp =
        DateStampPlace({plain.Width(), plain.Height()}, picture, DateStampWidth(c.text, 28), 28);
    EXPECT_GT(stamp.left, plain.Width() / 2);
    EXPECT_GT(stamp.top, plain.Height() * 3 / 4);
    const int left = stamp.left / 16 * 16 - 16, top = stamp.top / 16 * 16 - 16;
    const int right = (stamp.left + stamp.width + 15) / 16 * 16 + 16;
    const int bottom = (stamp.top + stamp.height + 15) / 16 * 16 + 16;
    // Where the stamp has its glyphs, drawn alone.
    Bitmap glyphs(plain.Width(), plain.Height());
    DrawDateStamp(glyphs, c.text, stamp);
    int different = 0, covered = 0;
    std::array<std::int64_t, 3> sum{};  // blue, green, red
    for (int y = 0; y < plain.Height(); ++y) {
      for (int x = 0; x < plain.Width(); ++x) {
        const std::uint8_t* a = plain.Row(y) + 3 * x;
        const std::uint8_t* b = stamped.Row(y) + 3 * x;
        const bool inside = x >= left && x < right && y >= top && y < bottom;
        if (!inside) different += a[0] != b[0] || a[1] != b[1] || a[2] != b[2];
        if (Orange(glyphs.Row(y) + 3 * x)) {
          ++covered;
          for (int k = 0; k < 3; ++k) sum[k] += b[k];
        }
      }
    }
    EXPECT_EQ(different, 0);
    // JPEG blurs the glyphs' edges: their mean is the stamp's orange.
    std::uint8_t mean[3];
    for (int k = 0; k < 3; ++k) mean[k] = static_cast<std::uint8_t>(sum[k] / std::max(covered, 1));
    EXPECT_TRUE(Orange(mean)) << int(mean[2]) << ' ' << int(mean[1]) << ' ' << int(mean[0]);
  }
}

TEST(DateStamp, GlyphsAreTheFontsRowsSampledToTheHeight) {
  // "1.2" at 7 pixels: the font as it stands, one pixel between glyphs.
  const char* const font[] = {".........###.", "....#.......#", "....#.......#", ".........###.",
                              "....#...#....", "....#...#....", "......#..###."};
  for (const int height : {7, 14}) {
    SCOPED_TRACE(height);
    const int scale = height / 7;
    const int width = DateStampWidth("1.2", height);
    ASSERT_EQ(width, 13 * scale);
    Bitmap bitmap(width + 4, height + 4);
    DrawDateStamp(bitmap, "1.2", {2, 2, width, height});
    for (int y = 0; y < bitmap.Height(); ++y) {
      std::string row;
      for (int x = 0; x < bitmap.Width(); ++x) row += Orange(bitmap.Row(y) + 3 * x) ? '#' : '.';
      std::string expected(bitmap.Width(), '.');
      if (y >= 2 && y < 2 + height) {
        for (int x = 0; x < width; ++x) expected[2 + x] = font[(y - 2) / scale][x / scale];
      }
      EXPECT_EQ(row, expected) << "row " << y;
    }
  }
}

TEST(DateStamp, TheDateComesFromExifElseTheFileTimeWithANotice) {
  const FileStamp file{.inode = 7, .modifiedSeconds = 1700000000};
  const std::time_t seconds = file.modifiedSeconds;
  std::tm local{};
  localtime_r(&seconds, &local);
  const CalendarDate fileDay{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
  const std::vector<std::string> fromFile{
      "撮影日時がないため、ファイルの更新日時の日付を入れました"};
  const struct {
    std::vector<std::uint8_t> exif;
    FileStamp file;
    std::optional<CalendarDate> date;
    DateSource source;
    std::vector<std::string> log;  // after the photo's path
  } cases[] = {
      {ExifTaken("2023:12:31 23:59:59"), file, CalendarDate{2023, 12, 31}, DateSource::Exif, {}},
      {ExifTaken("2024:02:29 00:00:00"), file, CalendarDate{2024, 2, 29}, DateSource::Exif, {}},
      {{}, file, fileDay, DateSource::FileTime, fromFile},
      {ExifTaken("0000:00:00 00:00:00"), file, fileDay, DateSource::FileTime, fromFile},
      {ExifTaken("2023:02:29 10:00:00"), file, fileDay, DateSource::FileTime, fromFile},
      {ExifWithOrientation(6), file, fileDay, DateSource::FileTime, fromFile},
      {{},
       {},
       std::nullopt,
       DateSource::None,
       {"撮影日時がわからないため、日付を入れませんでした"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(&c - cases));
    PhotoHeader header;
    header.exif = c.exif;
    header.file = c.file;
    const StampDay day = DayForStamp(header);
    EXPECT_EQ(day.date, c.date);
    EXPECT_EQ(day.source, c.source);
    PhotoReport report;
    report.dateSource = day.source;
    EXPECT_EQ(PhotoLogLines(report), c.log);
  }
}

// A tree of Japanese names, spaces, decomposed accents, names that meet
// and deep paths, in the order the scan lists it.
TEST_F(PrintCounterRun, ShopNamesPutEveryOutputInOneFolderWithTheMapBeside) {
  const std::string deep = "2024/" + std::string(30, 'd') + "/" + std::string(40, 'e') + "/x.jpg";
  const std::pair<std::string, std::string> cases[] = {
      {deep, std::string(17, 'd') + "_" + std::string(40, 'e') + "_x.jpg"},  // its end kept
      {"Cafe\xCC\x81 & bar.jpg", "Cafe_bar.jpg"},  // NFD: the accent dropped
      {"Caf\xC3\xA9.jpg", "Cafe.jpg"},             // NFC: its base letter
      {"a.jpg", "a.jpg"},
      {"bad\xFF\xFEname.jpg", "bad_name.jpg"},  // not UTF-8
      {"sub/A.jpg", "sub_A.jpg"},
      {"x,\"y\".jpg", "x_y.jpg"},
      {"がっこう.jpg", "photo.jpg"},  // nothing left
      {"子供/運動会 1.jpg", "1.jpg"},
      {"遠足/運動会 1.jpg", "1-2.jpg"},
      {"ｓｕｂ/Ａ.jpg", "sub_A-2.jpg"},  // full width, meets sub/A.jpg in any case
  };
  const std::string photo = MakeJpeg(400, 300, PhotoPixel);
  std::string csv = "\xEF\xBB\xBFoutput,input\r\n";
  for (const auto& [input, output] : cases) {
    box.Write("in/" + input, photo);
    const bool quote = input.find(',') != std::string::npos;
    csv += output + "," + (quote ? "\"x,\"\"y\"\".jpg\"" : input) + "\r\n";
  }
  options.print.shopNames = true;
  Run();
  EXPECT_EQ(window.messages, std::vector<std::string>{Summary("作業が終了しました。", 11, 0, 0)});
  EXPECT_EQ(box.Read("out/quorvale-names.csv"), csv);
  for (const auto& [input, output] : cases) {
    EXPECT_LE(output.size(), MaxShopNameBytes);
    EXPECT_EQ(Decoded(Out(output)).Width(), 400) << output;
  }
}

}  // namespace
}  // namespace quorvale::testing
