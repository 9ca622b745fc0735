#include "messages/Report.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "support/Sandbox.h"

namespace quorvale {
namespace {

using testing::Sandbox;

// True when `text` is valid UTF-8 (no overlong forms, surrogates or code
// points above U+10FFFF); written apart from the report's own check.
bool IsUtf8(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    int length;
    std::uint32_t cp;
    if (c < 0x80) {
      length = 1;
      cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      length = 2;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      length = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (int k = 1; k < length; ++k) {
      const unsigned char t = static_cast<unsigned char>(text[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = cp << 6 | (t & 0x3F);
    }
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += static_cast<std::size_t>(length);
  }
  return true;
}

TEST(EscapeHtml, PassesValidTextAndShowsEveryOtherByte) {
  struct Case {
    std::string bytes;
    std::string html;
  };
  const std::string raw = "<span class=\"raw\">";
  const Case cases[] = {
      {"plain/path.jpg", "plain/path.jpg"},
      {"a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&#39;f"},
      {"写真/夏.jpg", "写真/夏.jpg"},
      {"emoji 😀", "emoji 😀"},
      {"tab\tline\n", "tab\tline\n"},
      {"\x93\xfa\x96\x7b.jpg", raw + "\\x93\\xFA\\x96</span>{.jpg"},  // Shift-JIS 日本
      {"\xc3\x28", raw + "\\xC3</span>("},                            // lead byte without trail
      {"\xc0\xaf", raw + "\\xC0\\xAF</span>"},                        // overlong '/'
      {"\xe0\x80\xaf", raw + "\\xE0\\x80\\xAF</span>"},               // overlong, three bytes
      {"\xed\xa0\x80", raw + "\\xED\\xA0\\x80</span>"},               // a surrogate
      {"\xf4\x90\x80\x80", raw + "\\xF4\\x90\\x80\\x80</span>"},      // above U+10FFFF
      {"\xf5\x80", raw + "\\xF5\\x80</span>"},
      {"end\xe5\x86", "end" + raw + "\\xE5\\x86</span>"},  // cut at the end
      {std::string("nul\0x", 5), "nul" + raw + "\\x00</span>x"},
      {"bell\a\x7f", "bell" + raw + "\\x07\\x7F</span>"},
      {"c1\xc2\x85", "c1" + raw + "\\u{0085}</span>"},
      {"nbsp\xc2\xa0", "nbsp\xc2\xa0"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.html);
    EXPECT_EQ(EscapeHtml(c.bytes), c.html);
  }
}

// Whatever the bytes, the result is valid UTF-8 and holds no markup but the
// report's own spans.
TEST(EscapeHtml, AnyBytesGiveValidUtf8WithNoStrayMarkup) {
  std::mt19937 random(11);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes(random() % 24, '\0');
    for (char& c : bytes) c = static_cast<char>(random() % 256);
    const std::string html = EscapeHtml(bytes);
    ASSERT_TRUE(IsUtf8(html)) << html;
    const std::string stripped =
        std::regex_replace(html, std::regex("<span class=\"raw\">|</span>"), "");
    ASSERT_EQ(stripped.find_first_of("<>\""), std::string::npos) << html;
  }
}

TEST(Base64, EncodesTheRfcVectors) {
  const std::pair<std::string, std::string> vectors[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {std::string("\xff\xfe\x00", 3), "//4A"},
  };
  for (const auto& [bytes, text] : vectors) {
    const std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
    EXPECT_EQ(Base64(data), text);
  }
}

ReportEntry SavedPhoto() {
  ReportEntry entry;
  entry.inputPath = "/in/夏/a.jpg";
  entry.outputPath = "/out/夏/a.jpg";
  entry.outcome = ReportOutcome::Saved;
  entry.outcomeWord = "saved";
  entry.sourceWidth = 4000;
  entry.sourceHeight = 3000;
  entry.crop = ReportRect{145, 0, 3710, 3000};
  entry.outputWidth = 2000;
  entry.outputHeight = 1617;
  entry.thumbnail = {0xFF, 0xD8, 0xFF, 0xD9};
  entry.thumbnailWidth = 200;
  entry.thumbnailHeight = 150;
  return entry;
}

TEST(ReportCard, DrawsTheCropOverTheThumbnailInTheSourcesProportions) {
  const std::string card = ReportCard(SavedPhoto(), 7);
  EXPECT_NE(card.find("class=\"card saved\""), std::string::npos);
  EXPECT_NE(card.find("<img width=\"200\" height=\"150\""), std::string::npos);
  EXPECT_NE(card.find("src=\"data:image/jpeg;base64,/9j/2Q==\""), std::string::npos);
  EXPECT_NE(card.find("loading=\"lazy\""), std::string::npos);
  EXPECT_NE(card.find("decoding=\"async\""), std::string::npos);
  EXPECT_NE(card.find("left:3.625%;top:0.000%;width:92.750%;height:100.000%"), std::string::npos)
      << card;
  EXPECT_NE(card.find("7. saved"), std::string::npos);
  EXPECT_NE(card.find("/in/夏/a.jpg"), std::string::npos);
  EXPECT_NE(card.find("→\u00a0/out/夏/a.jpg"), std::string::npos);
  EXPECT_NE(card.find("4000 × 3000 → crop 3710 × 3000 at 145, 0 (position 0.5) → 2000 × 1617"),
            std::string::npos);
}

// A crop is placed where its position put it; a bordered photo is drawn
// on its canvas instead.
TEST(ReportCard, ShowsTheCropsPositionOrTheBordersFittedRectangle) {
  PhotoReport report;
  report.decoded = {601, 300};
  report.crop = {428, 300};
  report.position = 1;
  EXPECT_NE(ReportCard(ReportEntryFor(report, false), 1).find("at 173, 0 (position 1)"),
            std::string::npos);
  report.crop = report.decoded;
  report.fitted = {699, 550, 601, 300};
  report.saved = {2000, 1401};
  report.thumbnail = {0xFF, 0xD8, 0xFF, 0xD9};
  report.thumbnailSize = {200, 100};
  const std::string card = ReportCard(ReportEntryFor(report, false), 1);
  EXPECT_NE(card.find("class=\"pic canvas\" style=\"width:200px;height:140px\"><img "
                      "style=\"left:34.950%;top:39.258%;width:30.050%;height:21.413%\""),
            std::string::npos)
      << card;
}

TEST(ReportCard, APhotoThatWasNotDecodedHasNoPictureAndNoSizes) {
  ReportEntry entry;
  entry.inputPath = "/in/bad\xff.jpg";
  entry.outcome = ReportOutcome::Failed;
  entry.outcomeWord = "error";
  entry.log = "JPEGファイルを読み込めません";
  const std::string card = ReportCard(entry, 1);
  EXPECT_NE(card.find("class=\"card failed\""), std::string::npos);
  EXPECT_NE(card.find("no picture"), std::string::npos);
  EXPECT_EQ(card.find("<img"), std::string::npos);
  EXPECT_EQ(card.find("class=\"crop\""), std::string::npos);
  EXPECT_EQ(card.find("class=\"sizes\""), std::string::npos);
  EXPECT_EQ(card.find("→"), std::string::npos) << "no output path";
  EXPECT_NE(card.find("/in/bad<span class=\"raw\">\\xFF</span>.jpg"), std::string::npos);
  EXPECT_NE(card.find("<pre class=\"log\">JPEGファイルを読み込めません</pre>"), std::string::npos);
}

TEST(ReportWriter, WritesOneSelfContainedPageInTheOrderGiven) {
  Sandbox sandbox;
  ReportWriter writer;
  ReportSettings settings;
  settings.size = "2L (2L 127mm×178mm)";
  settings.longSide = 2100;
  settings.shortSide = 1500;
  settings.dpi = 300;
  settings.reduce = settings.highQuality = true;
  settings.quality = 85;
  settings.options = {"--auto-orient", "--existing skip"};
  ASSERT_TRUE(writer.Open(sandbox.Path("report.html"), "Quorvale <L 400 dpi>", settings));
  const char* names[] = {"c.jpg", "a.jpg", "b.jpg"};
  for (const char* name : names) {
    ReportEntry entry = SavedPhoto();
    entry.inputPath = std::string("/in/") + name;
    writer.Add(entry);
  }
  ReportEntry skipped;
  skipped.inputPath = "/in/small.jpg";
  skipped.outcome = ReportOutcome::Skipped;
  skipped.outcomeWord = "skipped";
  writer.Add(skipped);
  ASSERT_TRUE(
      writer.Finish("作業が終了しました。保存ファイル数    3  エラー    0   スキップ     1"));

  const std::string page = sandbox.Read("report.html");
  EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
  EXPECT_NE(page.find("<title>Quorvale &lt;L 400 dpi&gt;</title>"), std::string::npos);
  // The page says what made it, in its language: English with no catalogue.
  EXPECT_NE(page.find("<html lang=\"en\">"), std::string::npos);
  EXPECT_NE(page.find("<p class=\"settings\">2L (2L 127mm×178mm): 2100 × 1500 px at 300 dpi · "
                      "trimmed to the aspect · reduced (high quality) · JPEG quality 85 · "
                      "--auto-orient · --existing skip</p>"),
            std::string::npos);
  EXPECT_TRUE(IsUtf8(page));
  const std::size_t c = page.find("1. saved</p>\n<p class=\"path\">/in/c.jpg");
  const std::size_t a = page.find("2. saved</p>\n<p class=\"path\">/in/a.jpg");
  const std::size_t b = page.find("3. saved</p>\n<p class=\"path\">/in/b.jpg");
  const std::size_t small = page.find("4. skipped</p>\n<p class=\"path\">/in/small.jpg");
  ASSERT_NE(c, std::string::npos);
  EXPECT_TRUE(c < a && a < b && b < small);
  EXPECT_NE(page.find("スキップ     1</p>"), std::string::npos);
  EXPECT_EQ(page.rfind("</html>\n"), page.size() - 8);
  // Nothing that runs or loads: no script, no external reference.
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("http"), std::string::npos);
  EXPECT_EQ(page.find("<link"), std::string::npos);
  EXPECT_EQ(page.find("url("), std::string::npos);
}

TEST(ReportWriter, AFolderThatCannotHoldTheFileFailsToOpen) {
  Sandbox sandbox;
  ReportWriter writer;
  EXPECT_FALSE(writer.Open(sandbox.Path("missing/report.html"), "x", {}));
  EXPECT_FALSE(writer.IsOpen());
  writer.Add(SavedPhoto());
  EXPECT_FALSE(writer.Finish("done"));
}

// A run killed while its page is being written leaves nothing behind: the
// page there before is untouched and no other file appears.
TEST(ReportWriter, AKilledRunLeavesNothingBehind) {
  Sandbox sandbox;
  sandbox.Write("out/report.html", "the page before");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ReportWriter writer;
    if (!writer.Open(sandbox.Path("out/report.html"), "x", {})) _exit(1);
    for (int i = 0; i < 100; ++i) writer.Add(SavedPhoto());
    raise(SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(sandbox.Path("out"))) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"report.html"});
  EXPECT_EQ(sandbox.Read("out/report.html"), "the page before");
}

}  // namespace
}  // namespace quorvale
