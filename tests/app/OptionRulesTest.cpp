#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
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

// その他のサイズ chooses a size beyond the list in its place: no button of
// the list is checked, the status line names it, the settings keep its id,
// and a click on a button (the one checked before too) goes back to the list.
TEST_F(OptionRules, OtherSizesTakeThePlaceOfTheSizeList) {
  const struct {
    const char* action;
    const char* id;
    const char* caption;
    const char* back;  // the button clicked afterwards
  } cases[] = {
      {"sizeDscAction", "dsc", "DSC", "size2LButton"},
      {"sizePostcardAction", "postcard", "郵便はがき 100mm×148mm", "size2LButton"},
      {"sizeDscAction", "dsc", "DSC", "sizeVgaButton"},
  };
  Button("reduceCheck")->click();
  Button("dpi300Button")->click();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.action);
    auto* action = window.findChild<QAction*>(c.action);
    ASSERT_NE(action, nullptr);
    action->trigger();
    EXPECT_EQ(window.ChosenSize(), ChooseSize(c.id, 300));
    EXPECT_EQ(window.Controls().size, c.id);
    EXPECT_EQ(Button("size2LButton")->group()->checkedButton(), nullptr);
    EXPECT_TRUE(window.StatusText().contains(QString::fromUtf8(c.caption)))
        << window.StatusText().toStdString();
    EXPECT_TRUE(Enabled("dpi300Button"));
    Button(c.back)->click();
    EXPECT_FALSE(action->isChecked());
    EXPECT_TRUE(Button(c.back)->isChecked());
  }
  WindowControls controls = window.Controls();
  controls.size = "postcard";
  window.ShowControls(controls);
  EXPECT_EQ(window.ChosenSize(), ChooseSize("postcard", 300));
  EXPECT_TRUE(window.findChild<QAction*>("sizePostcardAction")->isChecked());
}

}  // namespace
}  // namespace quorvale::testing
