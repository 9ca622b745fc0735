#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "RunCli.h"
#include "codec/Colour.h"
#include "codec/JpegFile.h"
#include "codec/PhotoReader.h"
#include "pixels/Bitmap.h"
#include "support/Sandbox.h"
#include "support/TestJpeg.h"
#include "support/Unprivileged.h"

namespace quorvale {
namespace {

namespace fs = std::filesystem;
using testing::FromBase64;
using testing::Launch;
using testing::Lines;
using testing::MakeJpeg;
using testing::PhotoPixel;
using testing::Result;
using testing::Sandbox;
using Strings = std::vector<std::string>;

// The value of `key` in a JSON object as quorvale-batch writes it: a string
// with its quotes, an object, or a word; empty when there is no such key.
std::string Member(const std::string& json, const std::string& key) {
  const std::string name = "\"" + key + "\":";
  std::size_t at = json.find(name);
  if (at == std::string::npos) return {};
  at += name.size();
  std::size_t end = at + 1;
  if (json[at] == '"') {
    for (; end < json.size() && json[end] != '"'; ++end) end += json[end] == '\\';
    ++end;
  } else {
    end = json[at] == '{' ? json.find('}', at) + 1 : json.find_first_of(",}", at);
  }
  return json.substr(at, end - at);
}

class CliTest : public ::testing::Test {
 protected:
  Result RunCli(const Strings& args, const Launch& launch = {}) {
    return testing::RunCli(box, args, launch);
  }

  void Photo(const std::string& relative, int width, int height) {
    box.Write(relative, MakeJpeg(width, height, PhotoPixel));
  }

  static std::optional<std::pair<int, int>> SizeOf(const std::string& path) {
    Bitmap bitmap;
    if (LoadPhotoFile(path, bitmap).status != DecodeStatus::Decoded) return std::nullopt;
    return std::pair{bitmap.Width(), bitmap.Height()};
  }

  Sandbox box;
};

const std::string kSummaryClean =
    "作業が終了しました。保存ファイル数    2  エラー    0   スキップ     0";

TEST_F(CliTest, ReducesATreeAndPrintsTheLogThenTheSummary) {
  Photo("in/a.jpg", 1000, 700);
  Photo("in/sub/b.jpg", 700, 1000);

  const Result r =
      RunCli({"--size", "L", "--dpi", "150", "--reduce", box.Path("in"), box.Path("out")});

  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(r.out), (Strings{box.Path("in/a.jpg"), box.Path("in/sub/b.jpg"), kSummaryClean}));
  EXPECT_EQ(r.err, "");
  // L at 150 dpi is 750 x 525.
  EXPECT_EQ(SizeOf(box.Path("out/a.jpg")), (std::pair{750, 525}));
  EXPECT_EQ(SizeOf(box.Path("out/sub/b.jpg")), (std::pair{525, 750}));
}

TEST_F(CliTest, RelativeFoldersAreMadeAbsolute) {
  Photo("work/in/a.jpg", 400, 300);
  Photo("work/in/sub/b.jpg", 400, 300);
  const std::string work = fs::canonical(box.Path("work")).string();

  const Result r = RunCli({"./in/", "out//x"}, {.cwd = work});

  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(r.out), (Strings{work + "/in/a.jpg", work + "/in/sub/b.jpg", kSummaryClean}));
  EXPECT_EQ(SizeOf(work + "/out/x/a.jpg"), (std::pair{400, 280}));
  EXPECT_EQ(SizeOf(work + "/out/x/sub/b.jpg"), (std::pair{400, 280}));
}

// A shell may still sit in a folder that has since been removed: absolute
// folders run from there all the same; only relative ones need the folder.
TEST_F(CliTest, RemovedCurrentFolderMattersOnlyForRelativeFolders) {
  Photo("in/a.jpg", 400, 300);
  const Launch fromRemoved{.cwd = box.Path("gone"), .cwdRemoved = true};

  box.Fill({"gone/"});
  const Result absolute = RunCli({box.Path("in"), box.Path("out")}, fromRemoved);
  EXPECT_EQ(absolute.status, 0) << absolute.err;
  EXPECT_EQ(Lines(absolute.out),
            (Strings{box.Path("in/a.jpg"),
                     "作業が終了しました。保存ファイル数    1  エラー    0   スキップ     0"}));
  EXPECT_EQ(SizeOf(box.Path("out/a.jpg")), (std::pair{400, 280}));

  box.Fill({"gone/"});
  const Result relative = RunCli({box.Path("in"), "out2"}, fromRemoved);
  EXPECT_EQ(relative.status, 2);
  EXPECT_EQ(relative.out, "");
  EXPECT_EQ(relative.err, "quorvale-batch: cannot determine the current folder\n");
}

TEST_F(CliTest, SizeIdsIgnoreCaseAndOptionsTakeEqualsValues) {
  Photo("in/a.jpg", 800, 600);
  const Result r = RunCli({"--size=Vga", "--reduce", "--high-quality", "--quality=50",
                           box.Path("in"), box.Path("out")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(SizeOf(box.Path("out/a.jpg")), (std::pair{640, 480}));
}

TEST_F(CliTest, ProblemsAnsweredContinueFinishWithStatusOne) {
  box.Write("in/a.jpg", "not a photo");
  Photo("in/b.jpg", 400, 300);

  const Result r = RunCli({box.Path("in"), box.Path("out")});

  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Lines(r.out),
            (Strings{box.Path("in/a.jpg"), "JPEGファイルを読み込めません", box.Path("in/b.jpg"),
                     "作業が終了しました。保存ファイル数    1  エラー    1   スキップ     0"}));
  EXPECT_EQ(Lines(r.err),
            (Strings{"JPEGファイルを読み込めませんでした。中断しますか？", "", box.Path("in/a.jpg"),
                     "=> No, continue (--on-problem continue)"}));
  EXPECT_TRUE(SizeOf(box.Path("out/b.jpg")));
}

TEST_F(CliTest, OnProblemStopEndsTheRun) {
  box.Write("in/a.jpg", "not a photo");
  Photo("in/b.jpg", 400, 300);

  const Result r = RunCli({"--on-problem", "stop", box.Path("in"), box.Path("out")});

  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Lines(r.out),
            (Strings{box.Path("in/a.jpg"), "中断",
                     "作業を中断しました。保存ファイル数    0  エラー    0   スキップ     0"}));
  EXPECT_NE(r.err.find("=> Yes, stop (--on-problem stop)"), std::string::npos);
  EXPECT_FALSE(fs::exists(box.Path("out/b.jpg")));
}

TEST_F(CliTest, ExistingOutputStopsUnlessOverwrite) {
  Photo("in/a.jpg", 400, 300);
  box.Write("out/a.jpg", "keep me");

  const Result kept = RunCli({box.Path("in"), box.Path("out")});
  EXPECT_EQ(kept.status, 1);
  EXPECT_EQ(Lines(kept.out),
            (Strings{box.Path("in/a.jpg"), "中断",
                     "作業を中断しました。保存ファイル数    0  エラー    0   スキップ     0"}));
  EXPECT_EQ(Lines(kept.err), (Strings{"既に同名のJPEGファイルが存在します。中断しますか？", "",
                                      box.Path("out/a.jpg"), "=> Yes, stop (no --overwrite)"}));
  EXPECT_EQ(box.Read("out/a.jpg"), "keep me");

  const Result replaced = RunCli({"--overwrite", box.Path("in"), box.Path("out")});
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_NE(replaced.err.find("=> No, replace (--overwrite)"), std::string::npos);
  EXPECT_EQ(SizeOf(box.Path("out/a.jpg")), (std::pair{400, 280}));
}

TEST_F(CliTest, SubfolderAndSmallPhotoOptions) {
  Photo("in/small.jpg", 300, 200);
  Photo("in/sub/b.jpg", 400, 300);

  const Result plain = RunCli({box.Path("in"), box.Path("out1")});
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(
      Lines(plain.out),
      (Strings{box.Path("in/small.jpg"), "320px×240px以下なのでスキップ", box.Path("in/sub/b.jpg"),
               "作業が終了しました。保存ファイル数    1  エラー    0   スキップ     1"}));

  const Result options =
      RunCli({"--no-subfolders", "--keep-small", box.Path("in"), box.Path("out2")});
  EXPECT_EQ(options.status, 0);
  EXPECT_EQ(Lines(options.out),
            (Strings{box.Path("in/small.jpg"),
                     "作業が終了しました。保存ファイル数    1  エラー    0   スキップ     0"}));
  EXPECT_EQ(SizeOf(box.Path("out2/small.jpg")), (std::pair{285, 200}));
}

// What a run passes over or leaves as it is is named on standard error,
// with the option that takes it, and counted in the JSON summary: the files
// of other kinds before the first photo (also when nothing else is there to
// do), the photos' orientations and profiles after the last.
TEST_F(CliTest, WhatTheRunPassesOverIsNamedWithItsOption) {
  const std::vector<std::uint8_t> adobe =
      *ProfileFor({{0.64, 0.33}, {0.21, 0.71}, {0.15, 0.06}, {0.3127, 0.3290}, 4});
  box.Write("kinds/a.jpeg", MakeJpeg(400, 300, PhotoPixel));
  // Other kinds are read by their first bytes: JPEG bytes will do.
  for (const char* name : {"b.JPE", "c.jfif", "d.HEIC", "e.png", "f.png"}) {
    box.Write(std::string("kinds/") + name, MakeJpeg(400, 300, PhotoPixel));
  }
  box.Fill({"kinds/sub/"});
  box.Write("kinds/sub/g.jpg", MakeJpeg(400, 300, PhotoPixel, {.exif = true, .icc = adobe}));
  box.Write("kinds/sub/h.jpg", MakeJpeg(400, 300, PhotoPixel, {.exif = true}));
  const std::string files =
      "quorvale-batch: 3 files ending in .jpeg, .jpe or .jfif passed over "
      "(--all-jpeg-names takes them)\n"
      "quorvale-batch: 1 HEIC or HEIF file passed over (--all-photos takes it)\n"
      "quorvale-batch: 2 PNG files passed over (--all-photos takes them)\n";
  const std::string photos =
      "quorvale-batch: 2 photos have an Exif orientation that was not applied "
      "(--auto-orient applies it)\n"
      "quorvale-batch: 1 photo has a colour profile other than sRGB that was not converted "
      "(--colour srgb converts it)\n";
  const struct {
    Strings options;
    const char* in;
    int status;
    std::string err;
    const char* passedOver;  // in the JSON summary
  } rows[] = {
      {{},
       "kinds",
       0,
       files + photos,
       R"("passed_over":{"jpeg_names":3,"heif":1,"png":2,"orientation":2,"profile":1})"},
      {{"--no-subfolders"},
       "kinds",
       2,
       files + "入力フォルダにJPEGファイルが存在しません。\n",
       nullptr},
      {{"--all-jpeg-names", "--auto-orient"},
       "kinds",
       0,
       "quorvale-batch: 1 HEIC or HEIF file passed over (--all-photos takes it)\n"
       "quorvale-batch: 2 PNG files passed over (--all-photos takes them)\n"
       "quorvale-batch: 1 photo has a colour profile other than sRGB that was not converted "
       "(--colour srgb converts it)\n",
       R"("passed_over":{"jpeg_names":0,"heif":1,"png":2,"orientation":0,"profile":1})"},
      {{"--phone"},
       "kinds",
       0,
       "",
       R"("passed_over":{"jpeg_names":0,"heif":0,"png":0,"orientation":0,"profile":0})"},
  };
  int run = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.options.empty() ? "defaults" : row.options[0]);
    for (const bool json : {false, true}) {
      Strings args = row.options;
      if (json) args.push_back("--json");
      args.insert(args.end(), {box.Path(row.in), box.Path("out" + std::to_string(run++))});
      const Result result = RunCli(args);
      EXPECT_EQ(result.status, row.status);
      EXPECT_EQ(result.err, row.err);
      if (json && row.passedOver) {
        EXPECT_NE(result.out.find(row.passedOver), std::string::npos) << result.out;
      }
    }
  }
  // --all-jpeg-names keeps each photo's name; every photo kind is named .jpg.
  EXPECT_TRUE(SizeOf(box.Path("out4/b.JPE")));
  for (const char* name : {"a.jpg", "b.jpg", "d.jpg", "e.jpg", "sub/g.jpg"}) {
    EXPECT_TRUE(SizeOf(box.Path(std::string("out6/") + name))) << name;
  }
}

TEST_F(CliTest, RunThatDoesNotStartExitsTwo) {
  struct Case {
    Strings args;
    std::string message;
  };
  box.Fill({"empty/notes.txt"});
  Photo("in/a.jpg", 400, 300);
  const Case cases[] = {
      {{box.Path("empty"), box.Path("out")}, "入力フォルダにJPEGファイルが存在しません。"},
      {{box.Path("in"), box.Path("in/../in/.")},
       "出力フォルダに入力フォルダと同じフォルダは指定できません。"},
      {{"", box.Path("out")}, "入力フォルダが指定されていません。"},
      {{box.Path("in"), ""}, "出力フォルダが指定されていません。"},
  };
  for (const Case& c : cases) {
    const Result r = RunCli(c.args);
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_EQ(r.out, "") << c.message;
    EXPECT_EQ(r.err, c.message + "\n");
  }
  EXPECT_FALSE(fs::exists(box.Path("out")));
}

TEST_F(CliTest, InvalidCommandLinesGiveOneLineNamingTheOption) {
  struct Case {
    Strings args;
    std::string named;
  };
  Photo("in/a.jpg", 400, 300);
  const std::string in = box.Path("in");
  const std::string out = box.Path("out");
  const Case cases[] = {
      {{"--size", "XL", in, out}, "--size"},
      {{"--size=", in, out}, "--size"},
      {{"--dpi", "250", in, out}, "--dpi"},
      {{"--dpi", "4OO", in, out}, "--dpi"},
      {{"--quality", "101", in, out}, "--quality"},
      {{"--quality", "-1", in, out}, "--quality"},
      {{"--quality", " 90", in, out}, "--quality"},
      {{"--on-problem", "maybe", in, out}, "--on-problem"},
      {{"--bogus", in, out}, "--bogus"},
      {{"-x", in, out}, "-x"},
      {{"--reduce=yes", in, out}, "--reduce"},
      {{in, out, "--size"}, "--size"},
      {{"--high-quality", in, out}, "--high-quality"},
      {{"--no-trim", in, out}, "--no-trim"},
      {{"--jobs", "0", in, out}, "--jobs"},
      {{"--jobs", "65", in, out}, "--jobs"},
      {{box.Path("nowhere"), out}, box.Path("nowhere")},
      {{box.Path("in/a.jpg"), out}, "INPUT_FOLDER"},
      {{in, box.Path("in/a.jpg")}, "OUTPUT_FOLDER"},
      {{in}, "OUTPUT_FOLDER"},
      {{}, "INPUT_FOLDER"},
      {{in, out, "extra"}, "extra"},
  };
  for (const Case& c : cases) {
    const Result r = RunCli(c.args);
    EXPECT_EQ(r.status, 2) << c.named;
    EXPECT_EQ(r.out, "") << c.named;
    const Strings lines = Lines(r.err);
    ASSERT_EQ(lines.size(), 1u) << r.err;
    EXPECT_TRUE(lines[0].starts_with("quorvale-batch: ")) << lines[0];
    EXPECT_NE(lines[0].find(c.named), std::string::npos) << lines[0];
  }
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(CliTest, HelpVersionAndDoubleDash) {
  const Result help = RunCli({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(
      help.out.starts_with("Usage: quorvale-batch [OPTION]... INPUT_FOLDER OUTPUT_FOLDER\n"));
  for (const char* option :
       {"--size", "--dpi", "--reduce", "--high-quality", "--quality", "--no-subfolders",
        "--keep-small", "--no-trim", "--on-problem", "--overwrite", "--list-sizes", "--version",
        "Exit status", "Example"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
  EXPECT_EQ(RunCli({"-h", "--bogus-value-free"}).status, 2);
  EXPECT_EQ(RunCli({"in", "-h"}).out, help.out);

  const Result version = RunCli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(version.out.starts_with("quorvale-batch (Quorvale) ")) << version.out;
  EXPECT_EQ(Lines(version.out).size(), 1u);

  // After "--" a name that looks like an option is a folder.
  box.Fill({"--odd/notes.txt"});
  const Result dashed = RunCli({"--", "--odd", "out"}, {.cwd = box.Root()});
  EXPECT_EQ(dashed.status, 2);
  EXPECT_EQ(dashed.err, "入力フォルダにJPEGファイルが存在しません。\n");
}

TEST_F(CliTest, ListSizesShowsEveryRowWithItsPair) {
  const Result r = RunCli({"--list-sizes"});
  EXPECT_EQ(r.status, 0);
  const Strings lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 22u) << r.out;  // heading, 20 rows, footnote
  EXPECT_TRUE(lines[0].starts_with("ID")) << lines[0];
  EXPECT_TRUE(lines[1].starts_with("L ")) << lines[1];
  auto row = [&](const std::string& id) {
    const auto it = std::find_if(lines.begin(), lines.end(),
                                 [&](const std::string& l) { return l.starts_with(id + " "); });
    return it == lines.end() ? std::string() : *it;
  };
  EXPECT_NE(row("L").find("2000 x 1401  print"), std::string::npos) << row("L");
  EXPECT_NE(row("sxga-2048").find("2048 x 1536  fixed"), std::string::npos) << row("sxga-2048");
  EXPECT_NE(row("vga").find("640 x  480  fixed"), std::string::npos) << row("vga");
  EXPECT_EQ(lines[19], row("dsc"));  // after the window's list
  EXPECT_NE(row("dsc").find("1874 x 1401  print  DSC"), std::string::npos) << row("dsc");

  const Result scaled = RunCli({"--list-sizes", "--dpi", "150"});
  const Strings scaledLines = Lines(scaled.out);
  ASSERT_GE(scaledLines.size(), 2u);
  EXPECT_NE(scaledLines[1].find(" 750 x  525  print"), std::string::npos) << scaledLines[1];
}

// Ctrl-C acts as the Cancel button; so do SIGTERM and SIGHUP.
TEST_F(CliTest, CtrlCTermAndHangUpActAsTheCancelButton) {
  Photo("in/a.jpg", 400, 300);
  Photo("in/b.jpg", 400, 300);

  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    const Result r =
        RunCli({box.Path("in"), box.Path("out")}, {.cwd = {}, .pendingSignal = signal});

    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Lines(r.out),
              (Strings{box.Path("in/a.jpg"), "中断",
                       "作業を中断しました。保存ファイル数    0  エラー    0   スキップ     0"}));
    EXPECT_EQ(r.err, "中断しました。\n");
    EXPECT_FALSE(fs::exists(box.Path("out/a.jpg")));
  }
}

// Every photo of a tree deeper than the system's path limit, below an input
// folder of nearly 2000 bytes, gets its path line and one outcome: saved
// while its output path fits in 2047 bytes (its own path is longer), an
// error after (once it is read, beyond the limit too); none is missed.
TEST_F(CliTest, PhotosBeyondThePathLimitEachGetAnOutcome) {
  const std::string photo = MakeJpeg(400, 300, PhotoPixel, {.quality = 70});
  std::vector<std::string> steps = {"in"};
  while (box.Root().size() + 241 * steps.size() < 2000) steps.push_back(std::string(240, 'i'));
  std::string in = box.Root();
  for (const std::string& step : steps) in += "/" + step;
  Strings expected;
  std::string lastSaved;
  int saved = 0;
  for (int depth = 1; depth <= 12; ++depth) {
    steps.push_back(std::string(240, static_cast<char>('q' + depth % 10)));
    const std::string input = box.WriteDeep(steps, "p.jpg", photo);
    // Names sort before the folder beside them, so the walk meets them in
    // this order.
    expected.push_back(input);
    const std::string output = box.Path("out") + input.substr(in.size());
    if (output.size() > 2047) {
      expected.push_back("ファイル名が長すぎます");
    } else {
      lastSaved = output;
      ++saved;
    }
  }
  ASSERT_GT(expected[0].size(), 2047u);
  ASSERT_GT(expected[expected.size() - 2].size(), 4096u);
  ASSERT_GT(saved, 0);

  const Result r = RunCli({in, box.Path("out")});

  char summary[128];
  std::snprintf(summary, sizeof summary,
                "作業が終了しました。保存ファイル数 %4d  エラー %4d   スキップ  %4d", saved,
                12 - saved, 0);
  expected.push_back(summary);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Lines(r.out), expected);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(SizeOf(lastSaved), (std::pair{400, 280}));
}

// A subfolder that cannot be listed is named on standard error (the log
// stays as the window shows it) and is a problem of the run: exit status 1. Run as nobody, from a
// copy of the program that nobody may run, when the tests run as root.
TEST_F(CliTest, UnlistableSubfolderIsNamedOnStandardError) {
  Photo("in/a.jpg", 400, 300);
  Photo("in/locked/b.jpg", 400, 300);
  fs::create_directories(box.Path("bin"));
  fs::copy_file(QUORVALE_BATCH_EXE, box.Path("bin/quorvale-batch"));
  fs::permissions(box.Path("in/locked"), fs::perms::owner_write);
  testing::RunUnprivileged(box, [&] {
    const Result r = RunCli({box.Path("in"), box.Path("out")},
                            {.cwd = {}, .exe = box.Path("bin/quorvale-batch")});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(Lines(r.out),
              (Strings{box.Path("in/a.jpg"),
                       "作業が終了しました。保存ファイル数    1  エラー    0   スキップ     0"}));
    EXPECT_EQ(r.err, "quorvale-batch: cannot list the folder " + box.Path("in/locked") +
                         ": Permission denied\n");
  });
}

// Whatever links lead from the output tree into the input tree, and with
// existing outputs replaced, no photo is written there: each such photo is
// refused on its own and counted as an error; the originals keep their bytes.
TEST_F(CliTest, NothingInTheInputTreeIsWrittenWhateverLinksLeadThere) {
  const struct {
    const char* label;
    std::string output;
    std::vector<std::pair<std::string, std::string>> links;  // link, target
    int refused;
  } cases[] = {
      {"output subfolder linked to the input's", "out", {{"out/sub", "../x/in/sub"}}, 1},
      {"nested output linked back", "x/in/out", {{"x/in/out/sub", "../sub"}}, 1},
      {"output reached through a link",
       "alias",
       {{"alias", "x/in/out"}, {"x/in/out/sub", "../sub"}},
       1},
      {"input inside the output", "x", {}, 1},
      {"a folder still to be made, then ..", "x/in/new/..", {}, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove_all(box.Path("x"));
    fs::remove_all(box.Path("out"));
    fs::remove(box.Path("alias"));
    Photo("x/in/a.jpg", 400, 300);
    Photo("x/in/sub/b.jpg", 400, 300);
    Photo("x/in/in/a.jpg", 400, 300);
    const std::string photos[] = {box.Read("x/in/a.jpg"), box.Read("x/in/sub/b.jpg"),
                                  box.Read("x/in/in/a.jpg")};
    for (const auto& [link, target] : c.links) {
      fs::create_directories(fs::path(box.Path(link)).parent_path());
      fs::create_directory_symlink(target, box.Path(link));
    }
    const Result r =
        RunCli({"--existing", "overwrite", "--json", box.Path("x/in"), box.Path(c.output)});
    EXPECT_EQ(r.status, 1) << r.err;
    const Strings lines = Lines(r.out);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                              return Member(line, "outcome") == "\"in-input-tree\"";
                            }),
              c.refused)
        << r.out;
    EXPECT_EQ(
        (Strings{box.Read("x/in/a.jpg"), box.Read("x/in/sub/b.jpg"), box.Read("x/in/in/a.jpg")}),
        (Strings(std::begin(photos), std::end(photos))));
  }
}

// A second size written beside the first inside the input folder passes
// over the first's output, named with its photos, and saves as many.
TEST_F(CliTest, AnEarlierOutputInsideTheInputIsNotTakenAgain) {
  Photo("in/a.jpg", 1000, 700);
  Photo("in/sub/b.jpg", 700, 1000);
  const Result first = RunCli({"--size", "2L", "--json", box.Path("in"), box.Path("in/2L")});
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_TRUE(fs::exists(box.Path("in/2L/.quorvale-output")));
  const Result second =
      RunCli({"--size", "hagaki", "--json", box.Path("in"), box.Path("in/hagaki")});
  EXPECT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(Member(Lines(second.out).back(), "saved"), Member(Lines(first.out).back(), "saved"));
  EXPECT_EQ(Member(Lines(second.out).back(), "earlier_outputs"), "1");
  EXPECT_EQ(second.err, "quorvale-batch: passed over " + box.Path("in/2L") +
                            ", an earlier run's output (2 photos)\n");
  EXPECT_FALSE(fs::exists(box.Path("in/hagaki/2L")));
}

// Photos saved despite damage, or reduced plainly when the high-quality
// reduction declined, are named on standard error with the reason; the log
// and the summary are as the window shows them.
TEST_F(CliTest, DamageAndADeclinedReductionAreNamedOnStandardError) {
  // 1000 x 700 has the aspect of L's 750 x 525; the wide one does not, and
  // untrimmed the high-quality reduction declines it.
  const std::string whole = MakeJpeg(1000, 700, PhotoPixel);
  box.Write("in/cut.jpg", whole.substr(0, whole.size() / 2));
  Photo("in/fine.jpg", 1000, 700);
  Photo("in/wide.jpg", 2000, 600);

  const Result r = RunCli(
      {"--no-trim", "--reduce", "--high-quality", "--dpi", "150", box.Path("in"), box.Path("out")});

  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(r.out),
            (Strings{box.Path("in/cut.jpg"), "破損したデータを補って保存しました",
                     box.Path("in/fine.jpg"), box.Path("in/wide.jpg"),
                     "作業が終了しました。保存ファイル数    3  エラー    0   スキップ     0"}));
  const Strings err = Lines(r.err);
  ASSERT_EQ(err.size(), 2u) << r.err;
  EXPECT_TRUE(err[0].starts_with("quorvale-batch: " + box.Path("in/cut.jpg") +
                                 ": the JPEG data ended early or was corrupt ("))
      << err[0];
  EXPECT_TRUE(err[0].ends_with("first: Premature end of JPEG file); the rows it left out are grey"))
      << err[0];
  EXPECT_TRUE(err[1].starts_with("quorvale-batch: " + box.Path("in/wide.jpg") +
                                 ": the high-quality reduction declined, the plain one was used: "))
      << err[1];
  EXPECT_TRUE(err[1].ends_with("比率が違うので高画質圧縮を中断しました。(幅 750  高さ525)"))
      << err[1];
}

TEST_F(CliTest, StatusLineOnlyOnATerminal) {
  Photo("in/a.jpg", 400, 300);
  Photo("in/b.jpg", 400, 300);

  const Result r = RunCli({box.Path("in"), box.Path("out")},
                          {.cwd = {}, .pendingSignal = 0, .terminalOnStderr = true});

  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Lines(r.out), (Strings{box.Path("in/a.jpg"), box.Path("in/b.jpg"), kSummaryClean}));
  const std::string erase = "\r\033[K";
  EXPECT_NE(r.err.find(erase + "処理中...　 50%         1 /     2  エラー    0   スキップ     0"),
            std::string::npos)
      << r.err;
  const std::string last = "処理中...　100%         2 /     2  エラー    0   スキップ     0";
  const std::size_t at = r.err.find(erase + last);
  ASSERT_NE(at, std::string::npos);
  // Then the time spent, the rate and, at the end, no time left; or the
  // time spent alone, should the run take less than a millisecond.
  const std::size_t from = at + erase.size() + last.size();
  EXPECT_TRUE(std::regex_match(
      r.err.substr(from, r.err.find('\r', from) - from),
      std::regex("  [0-9]+:[0-9]{2} elapsed  [0-9.]+ photos/s  0:00 left|  0:00 elapsed")))
      << r.err;
  // The summary goes to standard output; the terminal line is left empty.
  EXPECT_TRUE(r.err.ends_with(erase)) << r.err;
  EXPECT_EQ(r.err.find('\n'), std::string::npos);
}

TEST_F(CliTest, JsonLinesGiveEveryPhotoThenTheCounts) {
  const std::string out(60, 'o');  // a longer name than "in"
  Photo("in/a.jpg", 400, 300);
  Photo("in/b\nc.jpg", 400, 300);
  box.Write("in/bad.jpg", "not a photo");
  // Its crop at L 400 dpi is beyond the trim's limit.
  box.Write("in/big.jpg", MakeJpeg(7000, 5000, [](int, int) { return testing::Rgb{9, 9, 9}; }));
  Photo("in/caf\xE9.jpg", 400, 300);  // Latin-1, not UTF-8
  // Its output path, under the longer output folder, is beyond 2047 bytes.
  std::string deep = "long/";
  while (box.Path("in/" + deep).size() + 101 < 2000) deep += std::string(100, 'd') + "/";
  deep += std::string(2030 - box.Path("in/" + deep).size() - 4, 'e') + ".jpg";
  Photo("in/" + deep, 400, 300);
  Photo("in/small.jpg", 300, 200);
  Photo("in/sub/d.jpg", 400, 300);
  box.Fill({out + "/sub/d.jpg/"});  // a folder where d.jpg goes: its save fails

  const Result r = RunCli({"--json", box.Path("in"), box.Path(out)});

  EXPECT_EQ(r.status, 1);
  const Strings lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 9u) << r.out;
  Strings outcomes;
  for (const std::string& line : lines) outcomes.push_back(Member(line, "outcome"));
  EXPECT_EQ(outcomes,
            (Strings{"\"saved\"", "\"saved\"", "\"unreadable\"", "\"trim-failed\"", "\"saved\"",
                     "\"name-too-long\"", "\"skipped-small\"", "\"save-failed\"", ""}));
  EXPECT_EQ(lines[0], "{\"type\":\"photo\",\"input\":\"" + box.Path("in/a.jpg") +
                          "\",\"output\":\"" + box.Path(out + "/a.jpg") +
                          "\",\"outcome\":\"saved\",\"log\":[],"
                          "\"decoded\":{\"width\":400,\"height\":300},"
                          "\"crop\":{\"width\":400,\"height\":280},"
                          "\"saved\":{\"width\":400,\"height\":280},\"warnings\":[]}");
  EXPECT_EQ(Member(lines[1], "input"), "\"" + box.Path("in/b\\nc.jpg") + "\"");
  EXPECT_EQ(Member(lines[2], "log"), "[\"JPEGファイルを読み込めません\"]");
  EXPECT_EQ(Member(lines[3], "decoded"), "{\"width\":7000,\"height\":5000}");
  EXPECT_EQ(Member(lines[3], "saved"), "null");
  // Not UTF-8: shown with U+FFFD, and every byte in base64 beside it.
  EXPECT_EQ(Member(lines[4], "input"), "\"" + box.Path("in/caf\uFFFD.jpg") + "\"");
  EXPECT_EQ(FromBase64(Member(lines[4], "input_base64")), box.Path("in/caf\xE9.jpg"));
  EXPECT_EQ(SizeOf(FromBase64(Member(lines[4], "output_base64"))), (std::pair{400, 280}));
  EXPECT_EQ(Member(lines[1], "input_base64"), "");
  EXPECT_EQ(Member(lines[5], "output"), "\"" + box.Path(out + "/" + deep) + "\"");
  EXPECT_EQ(Member(lines[5], "log"), "[\"ファイル名が長すぎます\"]");
  // A failed save says why, in the log after the stored line and for scripts.
  EXPECT_NE(lines[7].find("\"log\":[\"保存に失敗\",\"Is a directory\"]"), std::string::npos);
  EXPECT_EQ(Member(lines[7], "reason"), "\"Is a directory\"");
  EXPECT_EQ(Member(lines[6], "reason"), "");
  EXPECT_EQ(lines[8],
            "{\"type\":\"summary\",\"saved\":3,\"errors\":4,\"skipped\":1,"
            "\"stopped\":false,\"unreadable_folders\":0,\"earlier_outputs\":0,"
            "\"unknown_crops\":0,\"text\":\"作業が終了しました。"
            "保存ファイル数    3  エラー    4   スキップ     1\","
            "\"passed_over\":{\"jpeg_names\":0,\"heif\":0,\"png\":0,\"orientation\":0,"
            "\"profile\":0}}");
  // Questions and notices stay on standard error.
  EXPECT_NE(r.err.find("JPEGファイルの保存が出来ませんでした。"), std::string::npos) << r.err;

  const Result stopped = RunCli({"--json", "--on-problem=stop", box.Path("in"), box.Path("x")});
  EXPECT_EQ(stopped.status, 1);
  const Strings stoppedLines = Lines(stopped.out);
  ASSERT_EQ(stoppedLines.size(), 4u) << stopped.out;
  EXPECT_EQ(Member(stoppedLines[2], "outcome"), "\"stopped\"");
  EXPECT_EQ(Member(stoppedLines[2], "log"), "[\"中断\"]");
  EXPECT_EQ(Member(stoppedLines[3], "stopped"), "true");
}

TEST_F(CliTest, ControlCharactersInPathsAreEscapedOnlyOnATerminal) {
  Photo("in/a\tb.jpg", 400, 300);
  box.Write("in/c\x1b[2J\nd.jpg", "not a photo");
  const std::string in = box.Path("in/");
  const std::string summary =
      "作業が終了しました。保存ファイル数    1  エラー    1   スキップ     0";
  const std::string question = "JPEGファイルを読み込めませんでした。中断しますか？\n\n";

  const Result files = RunCli({in, box.Path("out1")});
  EXPECT_EQ(Lines(files.out), (Strings{in + "a\tb.jpg", in + "c\x1b[2J", "d.jpg",
                                       "JPEGファイルを読み込めません", summary}));
  EXPECT_NE(files.err.find(question + in + "c\x1b[2J\nd.jpg\n"), std::string::npos);

  const Result outTerminal = RunCli({in, box.Path("out2")}, {.cwd = {}, .terminalOnStdout = true});
  EXPECT_EQ(Lines(outTerminal.out), (Strings{in + "a\\tb.jpg", in + "c\\x1b[2J\\nd.jpg",
                                             "JPEGファイルを読み込めません", summary}));

  const Result errTerminal = RunCli({in, box.Path("out3")}, {.cwd = {}, .terminalOnStderr = true});
  EXPECT_NE(errTerminal.err.find(question + in + "c\\x1b[2J\\nd.jpg\n=> No, continue"),
            std::string::npos)
      << errTerminal.err;
  EXPECT_EQ(Lines(errTerminal.out)[1], in + "c\x1b[2J");
}

}  // namespace
}  // namespace quorvale
