// The window's print options, remembered settings and menus, apart from the
// window: what is kept in the settings file and what is read back from a
// damaged one, the run options the menu gives, and the menu's own rules.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QMenuBar>
#include <QSettings>
#include <QtGlobal>
#include <filesystem>
#include <memory>

#include "app/PrintRun.h"
#include "app/ScriptedDialogs.h"
#include "app/WindowMenus.h"
#include "app/WindowSettings.h"
#include "cli/CommandLine.h"
#include "support/Sandbox.h"

namespace quorvale::testing {
namespace {

class WindowSettingsTest : public ::testing::Test {
 protected:
  std::unique_ptr<QSettings> File() {
    return std::make_unique<QSettings>(QString::fromStdString(box.Path("quorvale.conf")),
                                       QSettings::IniFormat);
  }
  WindowSettings Load() { return LoadWindowSettings(*File()); }

  Sandbox box;
};

WindowSettings Changed() {
  WindowSettings s;
  s.print = {true, true,        true, true, ExistingOutput::Skip, true, true, "/r/\xFF report.html",
             true, Fit::Border, true, 5};
  s.print.allPhotos = s.print.colourSrgb = true;
  s.reopenLast = true;
  s.last = {"/in/\xE9t\xE9", "/out", "sxga-1600", 150, false, true, true, 0, true, false};
  return s;
}

TEST_F(WindowSettingsTest, RoundTripKeepsEveryValueAndPathBytes) {
  EXPECT_EQ(Load(), WindowSettings{}) << "a first start has the initial values";
  ASSERT_TRUE(SaveWindowSettings(*File(), Changed()));
  EXPECT_EQ(Load(), Changed());
  for (ExistingOutput existing : {ExistingOutput::Ask, ExistingOutput::Overwrite}) {
    WindowSettings s = Changed();
    s.print.existing = existing;
    ASSERT_TRUE(SaveWindowSettings(*File(), s));
    EXPECT_EQ(Load().print.existing, existing);
  }
}

// Each value is checked alone: one out of range, of the wrong kind or
// missing takes its initial value and leaves the others as written.
TEST_F(WindowSettingsTest, AValueOutOfRangeTakesItsInitialValueAlone) {
  struct Case {
    const char* key;
    const char* text;
  };
  const Case cases[] = {
      {"window/quality", "101"},   {"window/quality", "-1"},
      {"window/quality", "high"},  {"window/dpi", "250"},
      {"window/size", "XL"},       {"window/size", ""},
      {"print/existing", "maybe"}, {"print/autoOrient", "yes"},
      {"window/trim", "1"},        {"window/reopenLast", "@Invalid()"},
      {"print/fit", "round"},      {"print/margin", "101"},
  };
  const WindowSettings initial;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.text);
    ASSERT_TRUE(SaveWindowSettings(*File(), Changed()));
    File()->setValue(c.key, QString::fromUtf8(c.text));
    const WindowSettings loaded = Load();
    WindowSettings expected = Changed();
    const std::string key = c.key;
    if (key == "window/quality") expected.last.quality = initial.last.quality;
    if (key == "window/dpi") expected.last.dpi = initial.last.dpi;
    if (key == "window/size") expected.last.size = initial.last.size;
    if (key == "print/existing") expected.print.existing = initial.print.existing;
    if (key == "print/autoOrient") expected.print.autoOrient = initial.print.autoOrient;
    if (key == "window/trim") expected.last.trim = initial.last.trim;
    if (key == "window/reopenLast") expected.reopenLast = initial.reopenLast;
    if (key == "print/fit") expected.print.fit = initial.print.fit;
    if (key == "print/margin") expected.print.margin = initial.print.margin;
    EXPECT_EQ(loaded, expected);
  }
  // A report without its path is not written.
  ASSERT_TRUE(SaveWindowSettings(*File(), Changed()));
  File()->remove("print/reportPath");
  EXPECT_FALSE(Load().print.writeReport);
}

TEST_F(WindowSettingsTest, ACorruptOrNewerFileGivesTheInitialValues) {
  box.Write("quorvale.conf", std::string("\x00\xFF[\x01=\n\x89PNG\r\n[print\nautoOrient=\"", 24));
  EXPECT_EQ(Load(), WindowSettings{});
  ASSERT_TRUE(SaveWindowSettings(*File(), Changed()));
  EXPECT_EQ(Load(), Changed()) << "a corrupt file is written over";

  // A newer version's file is read as nothing and kept for that version.
  File()->setValue("format", WindowSettingsFormat + 1);
  EXPECT_EQ(Load(), WindowSettings{});
  const std::string newer = box.Read("quorvale.conf");
  EXPECT_FALSE(SaveWindowSettings(*File(), WindowSettings{}));
  EXPECT_EQ(box.Read("quorvale.conf"), newer);

  File()->setValue("format", "two");
  EXPECT_EQ(Load(), WindowSettings{});
}

// A line Qt cannot parse costs only itself, and what is not ours survives
// a save; a settings path that is no regular file is left alone.
TEST_F(WindowSettingsTest, ABadLineCostsOnlyItselfAndOtherGroupsStay) {
  for (const char* bad : {"# written by hand\n", "[\n", "no equals sign\n"}) {
    SCOPED_TRACE(bad);
    ASSERT_TRUE(SaveWindowSettings(*File(), Changed()));
    box.Write("quorvale.conf", bad + box.Read("quorvale.conf") + "[other]\nkept=1\n");
    EXPECT_EQ(Load(), Changed());
    ASSERT_TRUE(SaveWindowSettings(*File(), WindowSettings{}));
    EXPECT_EQ(Load(), WindowSettings{});
    EXPECT_EQ(File()->value("other/kept").toString(), "1");
  }

  const std::string path = OpenWindowSettings()->fileName().toStdString();
  std::filesystem::remove(path);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  EXPECT_EQ(OpenWindowSettings(), nullptr);
  std::filesystem::remove(path);
}

// The window's options make the run, report heading included, that
// quorvale-batch makes of the same options. A border trims nothing, so
// neither heading says the photos were trimmed.
TEST(WindowRunChoices, AreThoseOfQuorvaleBatchForTheSameOptions) {
  WindowControls border2L;
  border2L.size = "2L";
  border2L.dpi = 300;
  PrintSettings borderOverwrite;
  borderOverwrite.fit = Fit::Border;
  borderOverwrite.existing = ExistingOutput::Overwrite;
  borderOverwrite.writeDpi = true;
  WindowSettings all = Changed();
  all.last.trim = true;  // the window's trim check is always on
  const struct {
    WindowControls controls;
    PrintSettings print;
    std::vector<std::string> args;
  } cases[] = {
      {{}, {}, {"", ""}},
      {border2L,
       borderOverwrite,
       {"--size=2l", "--dpi", "300", "--fit", "border", "--overwrite", "--write-dpi", "", ""}},
      {all.last,
       all.print,
       {"--size",
        "SXGA-1600",
        "--dpi",
        "150",
        "--reduce",
        "--high-quality",
        "--quality",
        "0",
        "--no-subfolders",
        "--all-jpeg-names",
        "--all-photos",
        "--keep-small",
        "--auto-orient",
        "--keep-metadata",
        "--colour",
        "srgb",
        "--write-dpi",
        "--keep-times",
        "--existing",
        "skip",
        "--large-photos",
        "--report",
        "/r/\xFF report.html",
        "--fit",
        "border",
        "--margin",
        "5",
        "/in/\xE9t\xE9",
        "/out"}},
  };
  for (const auto& c : cases) {
    const cli::ParseResult line = cli::ParseCommandLine(c.args);
    ASSERT_EQ(line.error, "");
    const RunChoices choices = WindowRunChoices(c.controls, c.print, {});
    EXPECT_EQ(choices, line.commandLine.choices) << c.controls.size;
    EXPECT_EQ(PlanRun(choices).report.trim, c.print.fit == Fit::Trim) << c.controls.size;
  }
}

TEST(PrintRun, TheReportPageIsWrittenAndItsUrlEscapesThePathsBytes) {
  Sandbox box;
  PrintSettings settings;
  settings.writeReport = settings.openReport = true;
  settings.reportPath = box.Path("r \xFF.html");
  RunChoices choices;
  choices.inputFolder = "/in/";
  choices.outputFolder = "/out";
  choices.reportPath = settings.reportPath;
  PrintRun run(settings, PlanRun(choices));
  ASSERT_EQ(run.OpenReport(), "");
  PhotoReport photo;
  photo.input = "/in/a.jpg";
  run.PhotoFinished(photo);
  const PrintRun::End end = run.Finish("作業が終了しました。");
  EXPECT_EQ(end.error, "");
  const std::string root =
      QByteArray::fromStdString(box.Root()).toPercentEncoding("/").toStdString();
  EXPECT_EQ(end.url, "file://" + root + "/r%20%FF.html");
  EXPECT_NE(box.Read("r \xFF.html").find("作業が終了しました。"), std::string::npos);

  // An input photo is never written over, nor a page put among the outputs.
  box.Write("in/a.jpg", "photo");
  choices.inputFolder = box.Path("in/");
  choices.outputFolder = box.Path("out");
  const struct {
    std::string path;
    std::string refusal;
  } refused[] = {
      {box.Path("in/a.jpg"), "トリミングレポートは入力フォルダの中に作成できません。\n"},
      {box.Path("out/r.html"), "トリミングレポートは出力フォルダの中に作成できません。\n"},
      {box.Path("in"), "トリミングレポートの保存先がファイルではありません。\n"},
      {box.Path("no/r.html"), "トリミングレポートを書き込めません。\n"},
  };
  for (const auto& r : refused) {
    settings.reportPath = choices.reportPath = r.path;
    PrintRun refusing(settings, PlanRun(choices));
    EXPECT_EQ(refusing.OpenReport().rfind(r.refusal + r.path, 0), 0u) << r.path;
  }
  EXPECT_EQ(box.Read("in/a.jpg"), "photo");
}

class WindowMenusTest : public ::testing::Test {
 protected:
  QAction* Action(const char* name) {
    auto* action = bar.findChild<QAction*>(name);
    EXPECT_NE(action, nullptr) << name;
    return action;
  }

  ScriptedDialogs dialogs;
  QMenuBar bar;
  WindowMenus menus{bar, dialogs, "Quorvale"};
  int changes = 0;
  int resets = 0;
  void SetUp() override {
    QObject::connect(&menus, &WindowMenus::Changed, [this] { ++changes; });
    QObject::connect(&menus, &WindowMenus::ResetRequested, [this] { ++resets; });
  }
};

TEST_F(WindowMenusTest, ShowingSettingsIsNoChangeAndExistingTakesOneAnswer) {
  Action("existingSkipAction")->trigger();
  Action("existingOverwriteAction")->trigger();
  EXPECT_FALSE(Action("existingSkipAction")->isChecked());
  EXPECT_EQ(menus.Print().existing, ExistingOutput::Overwrite);
  menus.Show(Changed().print, true);
  EXPECT_EQ(menus.Print(), Changed().print);
  EXPECT_TRUE(Action("existingSkipAction")->isChecked());
  EXPECT_TRUE(menus.ReopenLast());
  EXPECT_EQ(changes, 2);
}

TEST_F(WindowMenusTest, TheReportTakesItsPathFromTheSaveDialog) {
  EXPECT_FALSE(Action("openReportAction")->isEnabled());
  Action("writeReportAction")->trigger();  // cancelled
  EXPECT_FALSE(Action("writeReportAction")->isChecked());
  EXPECT_FALSE(menus.Print().writeReport);
  EXPECT_EQ(changes, 0);

  dialogs.savePaths = {"/home/op/report.html"};
  Action("writeReportAction")->trigger();
  Action("openReportAction")->trigger();
  EXPECT_EQ(dialogs.saveCaptions.size(), 2u);
  EXPECT_TRUE(menus.Print().writeReport);
  EXPECT_TRUE(menus.Print().openReport);
  EXPECT_EQ(menus.Print().reportPath, "/home/op/report.html");
  Action("writeReportAction")->trigger();
  EXPECT_FALSE(menus.Print().writeReport);
  EXPECT_EQ(menus.Print().reportPath, "/home/op/report.html") << "kept for the next time";
  EXPECT_FALSE(Action("openReportAction")->isEnabled());
}

TEST_F(WindowMenusTest, ResetAsksFirstAndAboutNamesTheVersions) {
  dialogs.answers = {false, true};
  Action("resetSettingsAction")->trigger();
  Action("resetSettingsAction")->trigger();
  EXPECT_EQ(resets, 1);
  EXPECT_EQ(dialogs.Texts("yesno").size(), 2u);

  Action("aboutAction")->trigger();
  ASSERT_EQ(dialogs.Texts("message").size(), 1u);
  const std::string about = dialogs.Texts("message")[0];
  EXPECT_EQ(about.rfind("Quorvale ", 0), 0u) << about;
  EXPECT_NE(about.find("libjpeg-turbo 2."), std::string::npos) << about;
  EXPECT_NE(about.find(std::string("Qt ") + qVersion()), std::string::npos) << about;

  menus.SetRunning(true);
  EXPECT_FALSE(bar.findChild<QMenu*>("optionsMenu")->isEnabled());
  EXPECT_TRUE(bar.findChild<QMenu*>("helpMenu")->isEnabled());
}

}  // namespace
}  // namespace quorvale::testing
