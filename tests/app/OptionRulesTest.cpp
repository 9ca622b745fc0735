#include <QRadioButton>
#include <string>
#include <vector>

#include "app/WindowTest.h"

namespace quorvale::testing {
namespace {

const char* const ResolutionButtons[] = {"RadioButton11", "RadioButton12", "RadioButton13",
                                         "RadioButton14", "RadioButton16"};
const char* const FixedSizes[] = {"RadioButton4",  "RadioButton15", "RadioButton17",
                                  "RadioButton18", "RadioButton19", "RadioButton20",
                                  "RadioButton21", "RadioButton22", "RadioButton23"};

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
    const bool reduce = Button("CheckBox2")->isChecked();
    EXPECT_EQ(Enabled("GroupBox2"), reduce) << after;
    EXPECT_EQ(Enabled("CheckBox3"), reduce) << after;
    for (const char* name : ResolutionButtons) {
      EXPECT_EQ(Enabled(name), reduce && !FixedSizeSelected()) << name << " after " << after;
    }
  }
};

struct Sequence {
  std::vector<const char*> clicks;  // each a click on that control
  bool reduce;                      // CheckBox2 afterwards
  bool resolutionsEnabled;
  const char* size;  // the selected size button afterwards
};

TEST_F(OptionRules, ClickSequencesKeepGroupAndOptionsConsistent) {
  const Sequence sequences[] = {
      {{}, false, false, "RadioButton1"},
      {{"CheckBox2"}, true, true, "RadioButton1"},
      {{"CheckBox2", "CheckBox2"}, false, false, "RadioButton1"},
      {{"RadioButton17"}, true, false, "RadioButton17"},
      {{"RadioButton17", "RadioButton8"}, true, true, "RadioButton8"},
      {{"RadioButton2"}, false, false, "RadioButton2"},
      {{"RadioButton17", "CheckBox2"}, false, false, "RadioButton17"},
      {{"RadioButton17", "CheckBox2", "CheckBox2"}, true, false, "RadioButton17"},
      {{"RadioButton4", "RadioButton22", "RadioButton1"}, true, true, "RadioButton1"},
      {{"CheckBox2", "RadioButton20"}, true, false, "RadioButton20"},
      {{"CheckBox2", "RadioButton20", "RadioButton10"}, true, true, "RadioButton10"},
      {{"RadioButton1"}, false, false, "RadioButton1"},
      {{"RadioButton23", "RadioButton23"}, true, false, "RadioButton23"},
  };
  for (const Sequence& sequence : sequences) {
    ScriptedDialogs sequenceDialogs;
    TForm1 window(sequenceDialogs);
    std::string done = "start";
    for (const char* name : sequence.clicks) {
      window.findChild<QAbstractButton*>(name)->click();
      done += std::string(", ") + name;
    }
    const bool reduce = window.findChild<QAbstractButton*>("CheckBox2")->isChecked();
    EXPECT_EQ(reduce, sequence.reduce) << done;
    EXPECT_EQ(window.findChild<QWidget*>("GroupBox2")->isEnabled(), sequence.reduce) << done;
    EXPECT_EQ(window.findChild<QWidget*>("CheckBox3")->isEnabled(), sequence.reduce) << done;
    for (const char* name : ResolutionButtons) {
      EXPECT_EQ(window.findChild<QWidget*>(name)->isEnabled(), sequence.resolutionsEnabled)
          << name << " after " << done;
    }
    EXPECT_TRUE(window.SelectedRadioButtons().test(
        std::stoi(std::string(sequence.size).substr(std::string("RadioButton").size()))))
        << done;
  }
}

TEST_F(OptionRules, HoldAfterEveryClickOverAllSizes) {
  Button("CheckBox2")->click();
  ExpectRulesHold("ticking CheckBox2");
  for (QAbstractButton* size : Control<QWidget>("GroupBox1")->findChildren<QRadioButton*>()) {
    size->click();
    ExpectRulesHold(size->objectName().toStdString());
    EXPECT_TRUE(Button("CheckBox2")->isChecked());
    Button("CheckBox2")->click();
    ExpectRulesHold("unticking with " + size->objectName().toStdString());
    Button("CheckBox2")->click();
    ExpectRulesHold("ticking with " + size->objectName().toStdString());
  }
}

TEST_F(OptionRules, SettingCheckBox2FromTheProgramRunsItsHandlerToo) {
  Button("CheckBox2")->setChecked(true);
  EXPECT_TRUE(Enabled("GroupBox2"));
  EXPECT_TRUE(Enabled("RadioButton12"));
  Button("CheckBox2")->setChecked(false);
  EXPECT_FALSE(Enabled("GroupBox2"));
  EXPECT_FALSE(Enabled("RadioButton12"));
}

TEST_F(OptionRules, DisablingNeverChangesASelection) {
  Button("CheckBox2")->click();
  Button("RadioButton12")->click();
  Button("CheckBox3")->click();
  Button("RadioButton18")->click();  // a fixed size: resolutions disabled
  EXPECT_FALSE(Enabled("RadioButton12"));
  EXPECT_TRUE(Button("RadioButton12")->isChecked());
  Button("CheckBox2")->click();  // reduction off: the whole group disabled
  EXPECT_FALSE(Enabled("CheckBox3"));
  EXPECT_TRUE(Button("CheckBox3")->isChecked());
  EXPECT_TRUE(form.OptionsForRun().photo.highQuality);
  EXPECT_EQ(form.SelectedRadioButtons(), RadioSelection().set(12).set(18));
}

TEST_F(OptionRules, ADisabledResolutionButtonCannotBeClicked) {
  Button("RadioButton12")->click();
  EXPECT_EQ(form.SelectedRadioButtons(), RadioSelection().set(1).set(13));
}

}  // namespace
}  // namespace quorvale::testing
