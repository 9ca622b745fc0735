// The pieces of quorvale-batch's output: the JSON writer, the terminal
// escapes, the progress suffix and the port that puts them together.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cli/ConsolePort.h"
#include "cli/JsonLines.h"
#include "cli/TerminalText.h"

namespace quorvale::cli {
namespace {

using namespace std::chrono_literals;

TEST(JsonLines, StringsEscapeControlsAndReplaceBytesThatAreNotUtf8) {
  struct Case {
    std::string text;
    std::string json;
    bool utf8;
  };
  const Case cases[] = {
      {"a/b c.jpg", R"("a/b c.jpg")", true},
      {"say \"hi\" \\ ok", R"("say \"hi\" \\ ok")", true},
      {"\b\f\n\r\t", R"("\b\f\n\r\t")", true},
      {std::string("\x01\x1b[31m\x7f", 7) + std::string(1, '\0'),
       R"("\u0001\u001b[31m\u007f\u0000")", true},
      {"\xC2\x9B \xC2\xA0 \xE2\x80\xA8", "\"\\u009b \xC2\xA0 \\u2028\"", true},
      {"写真.jpg 😀", "\"写真.jpg 😀\"", true},
      {"caf\xE9.jpg", "\"caf\xEF\xBF\xBD.jpg\"", false},                      // Latin-1
      {"\x80 \xC0\xAF", "\"\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD\"", false},  // stray, overlong
      {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"", false},    // a surrogate
      {"\xF4\x90\x80\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"", false},
      {"\xE5\x86", "\"\xEF\xBF\xBD\xEF\xBF\xBD\"", false},  // cut short
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JsonString(c.text), c.json) << c.text;
    EXPECT_EQ(IsUtf8(c.text), c.utf8) << c.text;
  }
}

TEST(JsonLines, OutcomeWordsAreStable) {
  EXPECT_STREQ(OutcomeWord(PhotoOutcome::Saved), "saved");
  EXPECT_STREQ(OutcomeWord(PhotoOutcome::SkippedSmall), "skipped-small");
  EXPECT_STREQ(OutcomeWord(PhotoOutcome::SkippedExisting), "skipped-existing");
  EXPECT_STREQ(OutcomeWord(PhotoOutcome::Missing), "missing");
  EXPECT_STREQ(OutcomeWord(PhotoOutcome::Unreadable), "unreadable");
  EXPECT_STREQ(OutcomeWord(PhotoOutcome::TrimFailed), "trim-failed");
  EXPECT_STREQ(OutcomeWord(PhotoOutcome::BadName), "bad-name");
  EXPECT_STREQ(OutcomeWord(PhotoOutcome::NameTooLong), "name-too-long");
  EXPECT_STREQ(OutcomeWord(PhotoOutcome::SaveFailed), "save-failed");
  EXPECT_STREQ(OutcomeWord(PhotoOutcome::Stopped), "stopped");
}

TEST(JsonLines, PhotoAndSummaryObjects) {
  PhotoReport missing;
  missing.input = "/in/gone.jpg";
  missing.outcome = PhotoOutcome::Missing;
  EXPECT_EQ(PhotoJson(missing),
            R"({"type":"photo","input":"/in/gone.jpg","output":null,"outcome":"missing",)"
            R"("log":["JPEGファイルが存在しません"],"decoded":null,"crop":null,"saved":null,)"
            R"("warnings":[]})");

  PhotoReport saved;
  saved.input = "/in/\xFF.jpg";
  saved.output = "/out/\xFF.jpg";
  saved.decoded = {640, 480};
  saved.crop = {640, 448};
  saved.saved = {400, 280};
  saved.warnings.damage = 2;
  saved.warnings.firstDamage = "Corrupt JPEG data";
  saved.warnings.exifMalformed = true;
  EXPECT_EQ(
      PhotoJson(saved),
      "{\"type\":\"photo\",\"input\":\"/in/\xEF\xBF\xBD.jpg\",\"input_base64\":\"L2luL/8uanBn\","
      "\"output\":\"/out/\xEF\xBF\xBD.jpg\",\"output_base64\":\"L291dC//LmpwZw==\","
      "\"outcome\":\"saved\",\"log\":[\"破損したデータを補って保存しました\"],"
      "\"decoded\":{\"width\":640,\"height\":480},"
      "\"crop\":{\"width\":640,\"height\":448},\"saved\":{\"width\":400,\"height\":280},"
      "\"warnings\":[\"the JPEG data ended early or was corrupt (2 warnings, first: Corrupt JPEG "
      "data); the rows it left out are grey\",\"Exif not copied: the photo's Exif block is "
      "malformed\"]}");

  RunOutcome outcome{
      true, true, {3, 1, 2}, {1, 2, 3, 4, 5}, {{{"/in/locked", EACCES}}, {}, {"a.jpg"}, 4}};
  EXPECT_EQ(SummaryJson(outcome),
            R"({"type":"summary","saved":3,"errors":1,"skipped":2,"stopped":true,)"
            R"("unreadable_folders":1,"earlier_outputs":0,"unknown_crops":4,)"
            R"("text":"作業を中断しました。保存ファイル数    3  エラー    1   スキップ     2",)"
            R"("passed_over":{"jpeg_names":1,"heif":2,"png":3,"orientation":4,"profile":5}})");
}

TEST(TerminalText, ControlsAreShownEscaped) {
  EXPECT_EQ(EscapeControls("/in/a\nb\tc\rd.jpg", true), "/in/a\\nb\\tc\\rd.jpg");
  EXPECT_EQ(EscapeControls("\x1b[2J\x7f\x01 a\\n 写真", true), "\\x1b[2J\\x7f\\x01 a\\n 写真");
  EXPECT_EQ(EscapeControls("\xC2\x9B"
                           "1m \xC2\xA0 \xC2",
                           true),
            "\\xc2\\x9b1m \xC2\xA0 \xC2");
  EXPECT_EQ(EscapeControls("\xC2\x9B", false), "\xC2\x9B");  // two-byte locales
}

TEST(TerminalText, DisplayWidth) {
  const std::string status = "処理中...　 50%         1 /     2  エラー    0   スキップ     0";
  EXPECT_EQ(DisplayWidth(status), 63);
  EXPECT_EQ(DisplayWidth("ab\xFF"), 3);
}

TEST(TerminalText, ProgressSuffixShortensToFit) {
  struct Case {
    std::chrono::milliseconds elapsed;
    int done, total, room;
    std::string suffix;
  };
  const Case cases[] = {
      {12'500ms, 5, 20, 80, "  0:12 elapsed  0.40 photos/s  0:38 left"},
      {12'500ms, 5, 20, 39, "  0:12 elapsed  0:38 left"},
      {12'500ms, 5, 20, 24, "  0:38 left"},
      {12'500ms, 5, 20, 10, ""},
      {3'723'000ms, 900, 1000, 80, "  1:02:03 elapsed  0.24 photos/s  6:54 left"},
      {2'000ms, 300, 300, 80, "  0:02 elapsed  150 photos/s  0:00 left"},
      {1'000ms, 7, 10, 80, "  0:01 elapsed  7.0 photos/s  0:00 left"},
      {0ms, 1, 10, 80, "  0:00 elapsed"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgressSuffix(c.elapsed, {c.done, c.total}, c.room), c.suffix) << c.suffix;
  }
}

// The port in process, with files for its streams and a clock the test
// moves.
struct PortOnFiles {
  // Both streams count as terminals of 120 columns.
  PortOnFiles() {
    line.choices.inputFolder = "/in/";
    line.choices.outputFolder = "/out";
    ConsoleSetup setup;
    setup.outIsTerminal = setup.errIsTerminal = true;
    setup.now = [this] { return std::chrono::steady_clock::time_point(now); };
    setup.columns = [] { return 120; };
    port = std::make_unique<ConsolePort>(line, out, err, std::move(setup));
  }
  ~PortOnFiles() {
    std::fclose(out);
    std::fclose(err);
  }
  static std::string Read(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char chunk[4096];
    while (const std::size_t n = std::fread(chunk, 1, sizeof chunk, file)) text.append(chunk, n);
    return text;
  }
  CommandLine line;
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  std::chrono::steady_clock::duration now{};
  std::unique_ptr<ConsolePort> port;
};

// A question's or notice's own line ends stay; those in its paths are escaped.
TEST(ConsolePort, TerminalsGetEscapedPathsAndTheTimedProgressLine) {
  PortOnFiles files;
  ConsolePort& port = *files.port;
  files.now = 100s;
  port.RunStarted(2);
  port.PhotoStarted(0, "/in/a\nb.jpg");
  files.now = 104s;
  port.Progress({50, 1, 2, 0, 0});
  port.PhotoFinished({});
  port.PhotoStarted(1, "/in/s\nub\x1b/c.jpg");
  SaveResult failed{SaveStatus::FolderNotCreated, ENOSPC, "/out/s\nub\x1b"};
  port.Notify({Notice::SaveFailed, "/out/s\nub\x1b/c.jpg", failed, {}});

  EXPECT_EQ(PortOnFiles::Read(files.out), "/in/a\\nb.jpg\n/in/s\\nub\\x1b/c.jpg\n");
  const std::string line =
      "\r\033[K処理中...　 50%         1 /     2  エラー    0   スキップ     0"
      "  0:04 elapsed  0.25 photos/s  0:04 left";
  EXPECT_EQ(PortOnFiles::Read(files.err),
            line + "\r\033[K" + line + "\r\033[K" +
                "保存先フォルダを作成出来ません。\n/out/s\\nub\\x1b\n" +
                "/out/s\\nub\\x1b/c.jpg\n" + std::strerror(ENOSPC) + "\n" + line);
}

}  // namespace
}  // namespace quorvale::cli
