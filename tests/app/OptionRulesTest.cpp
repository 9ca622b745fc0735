#include <QAbstractButton>
#include <string>
#include <vector>

#include "app/WindowTest.h"

namespace quorvale::testing {
namespace {

const char* const ResolutionButtons[] = {"dpi150Button", "dpi300Button", "dpi400Button",
                                         "dpi200Button", "dpi320Button"};
const char* const FixedSizes[] = {"size4baseButton",    "size16baseButton",   "sizeSvgaButton",
                                  "sizeXgaButton",      "sizeSxgaButton",     "sizeQvgaButton",
                                  "sizeSxga1600Button", "sizeSxga2048Button", "sizeVgaButton"};

class OptionRules : public WindowTest {
 protected:
  bool FixedSizeSelected() {
    for (const char* name : FixedSizes) {
      if (Button(name)->isChecked()) return true;
    }
    return false;
  }
  // The rules that hold after every event.
  void ExpectRulesHold(const std::string& after) {
    const bool reduce = Button("reduceCheck")->isChecked();
    EXPECT_EQ(Enabled("reductionGroup"), reduce) << after;
    EXPECT_EQ(Enabled("highQualityCheck"), reduce) << after;
    for (const char* name : ResolutionButtons) {
      EXPECT_EQ(Enabled(name), reduce && !FixedSizeSelected()) << name << " after " << after;
    }
  }
};

struct Sequence {
  std::vector<const char*> clicks;  // each a click on that control
  bool reduce;                      // the reduction check afterwards
  bool resolutionsEnabled;
  const char* size;  // the selected size button afterwards
};

TEST_F(OptionRules, ClickSequencesKeepGroupAndOptionsConsistent) {
  const Sequence sequences[] = {
      {{}, false, false, "sizeLButton"},
      {{"reduceCheck"}, true, true, "sizeLButton"},
      {{"reduceCheck", "reduceCheck"}, false, false, "sizeLButton"},
      {{"sizeSvgaButton"}, true, false, "sizeSvgaButton"},
      {{"sizeSvgaButton", "sizeA4Button"}, true, true, "sizeA4Button"},
      {{"sizeHagakiButton"}, false, false, "sizeHagakiButton"},
      {{"sizeSvgaButton", "reduceCheck"}, false, false, "sizeSvgaButton"},
      {{"sizeSvgaButton", "reduceCheck", "reduceCheck"}, true, false, "sizeSvgaButton"},
      {{"size4baseButton", "sizeSxga2048Button", "sizeLButton"}, true, true, "sizeLButton"},
      {{"reduceCheck", "sizeQvgaButton"}, true, false, "sizeQvgaButton"},
      {{"reduceCheck", "sizeQvgaButton", "sizeWYotsugiriButton"},
       true,
       true,
       "sizeWYotsugiriButton"},
      {{"sizeLButton"}, false, false, "sizeLButton"},
      {{"sizeVgaButton", "sizeVgaButton"}, true, false, "sizeVgaButton"},
  };
  for (const Sequence& sequence : sequences) {
    ScriptedDialogs sequenceDialogs;
    MainWindow window(sequenceDialogs);
    std::string done = "start";
    for (const char* name : sequence.clicks) {
      window.findChild<QAbstractButton*>(name)->click();
      done += std::string(", ") + name;
    }
    const bool reduce = window.findChild<QAbstractButton*>("reduceCheck")->isChecked();
    EXPECT_EQ(reduce, sequence.reduce) << done;
    EXPECT_EQ(window.findChild<QWidget*>("reductionGroup")->isEnabled(), sequence.reduce) << done;
    EXPECT_EQ(window.findChild<QWidget*>("highQualityCheck")->isEnabled(), sequence.reduce) << done;
    for (const char* name : ResolutionButtons) {
      EXPECT_EQ(window.findChild<QWidget*>(name)->isEnabled(), sequence.resolutionsEnabled)
          << name << " after " << done;
    }
    EXPECT_TRUE(window.findChild<QAbstractButton*>(sequence.size)->isChecked()) << done;
  }
}

TEST_F(OptionRules, HoldAfterEveryClickOverAllSizes) {
  Button("reduceCheck")->click();
  ExpectRulesHold("ticking the reduction check");
  for (QAbstractButton* size : Control<QWidget>("sizeGroup")->findChildren<QAbstractButton*>()) {
    size->click();
    ExpectRulesHold(size->objectName().toStdString());
    EXPECT_TRUE(Button("reduceCheck")->isChecked());
    Button("reduceCheck")->click();
    ExpectRulesHold("unticking with " + size->objectName().toStdString());
    Button("reduceCheck")->click();
    ExpectRulesHold("ticking with " + size->objectName().toStdString());
  }
}

TEST_F(OptionRules, SettingTheReductionCheckFromTheProgramRunsItsHandlerToo) {
  Button("reduceCheck")->setChecked(true);
  EXPECT_TRUE(Enabled("reductionGroup"));
  EXPECT_TRUE(Enabled("dpi300Button"));
  Button("reduceCheck")->setChecked(false);
  EXPECT_FALSE(Enabled("reductionGroup"));
  EXPECT_FALSE(Enabled("dpi300Button"));
}

TEST_F(OptionRules, DisablingNeverChangesASelection) {
  Button("reduceCheck")->click();
  Button("dpi300Button")->click();
  Button("highQualityCheck")->click();
  Button("sizeXgaButton")->click();  // a fixed size: resolutions disabled
  EXPECT_FALSE(Enabled("dpi300Button"));
  EXPECT_TRUE(Button("dpi300Button")->isChecked());
  Button("reduceCheck")->click();  // reduction off: the whole group disabled
  EXPECT_FALSE(Enabled("highQualityCheck"));
  EXPECT_TRUE(Button("highQualityCheck")->isChecked());
  EXPECT_TRUE(window.OptionsForRun().photo.highQuality);
  EXPECT_EQ(window.ChosenSize(), ChooseSize("xga", 300));
}

TEST_F(OptionRules, ADisabledResolutionButtonCannotBeClicked) {
  Button("dpi300Button")->click();
  EXPECT_EQ(window.ChosenSize(), SizeChoice{});
}

}  // namespace
}  // namespace quorvale::testing
