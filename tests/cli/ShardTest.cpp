// N runs of --shard K/N into one output tree, one after another and at once,
// against one run of the whole folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "RunCli.h"
#include "support/Sandbox.h"
#include "support/TestJpeg.h"

namespace quorvale {
namespace {

namespace fs = std::filesystem;
using testing::RunCli;
using testing::Sandbox;

// The files under `folder` by relative path, with their bytes.
std::map<std::string, std::string> Tree(const Sandbox& box, const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(box.Path(folder))) {
    if (!entry.is_regular_file()) continue;
    const std::string relative = fs::relative(entry.path(), box.Path(folder)).string();
    files[relative] = box.Read(folder + "/" + relative);
  }
  return files;
}

using Summary = std::array<int, 3>;  // saved, errors, skipped

// What a --json run told: its summary's counts (added to `sum`) and the
// inputs of its photos (added to `inputs`).
void Take(const std::string& out, Summary& sum, std::vector<std::string>& inputs) {
  static const std::regex input(R"re(^\{"type":"photo","input":"([^"]*)")re");
  static const std::regex counts(
      R"re(^\{"type":"summary","saved":(\d+),"errors":(\d+),"skipped":(\d+),"stopped":false)re");
  for (const std::string& line : testing::Lines(out)) {
    std::smatch match;
    if (std::regex_search(line, match, input)) inputs.push_back(match[1]);
    if (std::regex_search(line, match, counts))
      for (int i = 0; i < 3; ++i) sum[i] += std::stoi(match[i + 1]);
  }
}

TEST(Shards, PartsIntoOneTreeMakeTheWholeRunsOutputsEachPhotoOnce) {
  Sandbox box;
  const char* const kFolders[] = {"", "sub/", "sub/deep/"};
  for (int i = 0; i < 14; ++i)
    box.Write("in/" + std::string(kFolders[i % 3]) + std::to_string(i) + ".jpg",
              testing::MakeJpeg(352 + 8 * i, 250 + 12 * i, testing::PhotoPixel));
  box.Write("in/sub/small.jpg", testing::MakeJpeg(40, 30, testing::PhotoPixel));  // skipped
  box.Write("in/deep/broken.jpg", "not a photo");                                 // an error
  const std::vector<std::string> options = {"--json", "--size", "qvga", "--reduce", "--jobs", "1"};
  const auto Args = [&](const std::string& out, const std::string& shard) {
    std::vector<std::string> args = options;
    if (!shard.empty()) args.insert(args.end(), {"--shard", shard});
    args.insert(args.end(), {box.Path("in"), box.Path(out)});
    return args;
  };

  Summary whole{};
  std::vector<std::string> wholeInputs;
  const testing::Result single = RunCli(box, Args("whole", ""));
  ASSERT_EQ(single.status, 1) << single.err;  // the broken photo
  Take(single.out, whole, wholeInputs);
  ASSERT_EQ(whole, (Summary{14, 1, 1}));
  const auto expected = Tree(box, "whole");
  std::sort(wholeInputs.begin(), wholeInputs.end());

  for (const int n : {1, 3, 7}) {
    for (const bool atOnce : {false, true}) {
      SCOPED_TRACE(std::to_string(n) + (atOnce ? " parts at once" : " parts in turn"));
      const std::string out = "parts-" + std::to_string(n) + (atOnce ? "-at-once" : "");
      std::vector<testing::Result> results(n);
      std::vector<Sandbox> consoles(n);  // each part's standard output and error
      const auto Part = [&](int k) {
        results[k] =
            RunCli(consoles[k], Args(out, std::to_string(k + 1) + "/" + std::to_string(n)));
      };
      if (atOnce) {
        std::vector<std::thread> threads;
        for (int k = 0; k < n; ++k) threads.emplace_back(Part, k);
        for (std::thread& thread : threads) thread.join();
      } else {
        for (int k = 0; k < n; ++k) Part(k);
      }
      Summary sum{};
      std::vector<std::string> inputs;
      for (const testing::Result& part : results) {
        EXPECT_TRUE(part.status == 0 || part.status == 1) << part.err;
        Take(part.out, sum, inputs);
      }
      std::sort(inputs.begin(), inputs.end());
      EXPECT_EQ(inputs, wholeInputs);  // every photo, once
      EXPECT_EQ(sum, whole);
      EXPECT_TRUE(Tree(box, out) == expected);
    }
  }
}

// A part that takes none of the photos finishes with zero counts; no JPEG
// file at all is still a run that did not start.
TEST(Shards, APartWithNoPhotoFinishesAndAnEmptyFolderDoesNotStart) {
  Sandbox box;
  box.Write("in/a.jpg", testing::MakeJpeg(96, 64, testing::PhotoPixel));
  int saved = 0;
  for (const char* shard : {"1/2", "2/2"}) {
    const testing::Result part = RunCli(box, {"--shard", shard, "in", "out"}, {box.Path(".")});
    EXPECT_EQ(part.status, 0) << part.err;
    const bool took = part.out.starts_with(box.Path("in/a.jpg"));
    saved += took;
    if (!took) {
      EXPECT_EQ(part.out,
                "作業が終了しました。保存ファイル数    0  エラー    0   スキップ     0\n");
    }
  }
  EXPECT_EQ(saved, 1);
  fs::create_directory(box.Path("empty"));
  EXPECT_EQ(RunCli(box, {"--shard", "1/2", "empty", "out"}, {box.Path(".")}).status, 2);
}

}  // namespace
}  // namespace quorvale
