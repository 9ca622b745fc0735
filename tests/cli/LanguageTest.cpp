// quorvale-batch's own words follow the messages locale; what scripts read
// (the log, the summary, --json) is the same bytes in every locale. The
// locales are made in the build (QUORVALE_TEST_LOCALES), so the machine
// needs none installed.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "RunCli.h"
#include "support/Sandbox.h"
#include "support/TestJpeg.h"

namespace quorvale {
namespace {

using testing::Result;
using Strings = std::vector<std::string>;

// The messages locale from each of the variables that may set it, the
// stronger one winning.
struct LocaleCase {
  const char* name;
  Strings env;
  bool japanese;
};

const LocaleCase kLocales[] = {
    {"Lang", {"LANG=ja_JP.UTF-8"}, true},
    {"LcAllOverLang", {"LANG=en_US.UTF-8", "LC_ALL=ja_JP.UTF-8"}, true},
    {"LcMessagesOverLang", {"LANG=ja_JP.UTF-8", "LC_MESSAGES=en_US.UTF-8"}, false},
    {"English", {"LANG=en_US.UTF-8"}, false},
};

class LanguageTest : public ::testing::TestWithParam<LocaleCase> {
 protected:
  Result Run(const Strings& args) {
    Strings env = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG", "LOCPATH=" QUORVALE_TEST_LOCALES};
    env.insert(env.end(), GetParam().env.begin(), GetParam().env.end());
    return testing::RunCli(box, args, {.cwd = box.Root(), .env = env});
  }

  testing::Sandbox box;
};

TEST_P(LanguageTest, HelpAndUsageErrorsSpeakTheLocale) {
  const bool japanese = GetParam().japanese;
  const Result help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.starts_with("使い方: quorvale-batch"), japanese) << help.out;

  const Result usage = Run({"--quality", "101", "in", "out"});
  EXPECT_EQ(usage.status, 2);
  EXPECT_EQ(usage.err,
            japanese ? "quorvale-batch: --quality の値 '101' は不正です（有効な値: 0～100）\n"
                     : "quorvale-batch: invalid value '101' for --quality (expected 0 to 100)\n");
}

// A run with a save, a skip and a problem: standard output and --json are
// the bytes of the English run, the answer on standard error and the report
// page are in the locale's language.
TEST_P(LanguageTest, OnlyStderrAndTheReportChange) {
  const bool japanese = GetParam().japanese;
  box.Write("in/a.jpg", testing::MakeJpeg(600, 400, testing::PhotoPixel));
  box.Write("in/b.jpg", testing::MakeJpeg(300, 200, testing::PhotoPixel));
  box.Write("in/c.jpg", "no photo");
  const auto fresh = [&](const Strings& args, bool english) {
    std::filesystem::remove_all(box.Path("out"));
    return english ? testing::RunCli(box, args, {.cwd = box.Root(), .env = {"LC_ALL=C"}})
                   : Run(args);
  };

  const Result run = fresh({"--reduce", "--report", "page.html", "in", "out"}, false);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, fresh({"--reduce", "in", "out"}, true).out);
  EXPECT_EQ(fresh({"--reduce", "--json", "in", "out"}, false).out,
            fresh({"--reduce", "--json", "in", "out"}, true).out);
  EXPECT_NE(run.err.find(japanese ? "=> いいえ、続けます（--on-problem continue）"
                                  : "=> No, continue (--on-problem continue)"),
            std::string::npos)
      << run.err;

  const std::string page = box.Read("page.html");
  EXPECT_NE(page.find(japanese ? "<html lang=\"ja\">" : "<html lang=\"en\">"), std::string::npos);
  EXPECT_NE(page.find(japanese ? "エラー: 読み込み不可" : "error: unreadable"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Locales, LanguageTest, ::testing::ValuesIn(kLocales),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvale
