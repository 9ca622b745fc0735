#include <QApplication>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/Application.h"
#include "app/QtDialogs.h"
#include "support/Sandbox.h"

namespace quorvale {
namespace {

// Runs `act` on the message box once it is up, then answers it with `answer`.
void WhenBoxIsUp(const std::function<void(QMessageBox&)>& act, QMessageBox::StandardButton answer) {
  QTimer::singleShot(0, [act, answer] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    act(*box);
    box->button(answer)->click();
  });
}

TEST(QtDialogs, QuestionIgnoresEscapeAndCloseUntilAButtonAnswersIt) {
  QtDialogs dialogs;
  bool stillUp = false;
  WhenBoxIsUp(
      [&](QMessageBox& box) {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&box, &escape);
        box.close();
        stillUp = box.isVisible() && box.clickedButton() == nullptr;
      },
      QMessageBox::Yes);
  EXPECT_TRUE(dialogs.YesNo("Quorvale", "中断しますか？"));
  EXPECT_TRUE(stillUp);
}

TEST(QtDialogs, QuestionOffersYesOrNoAsTheDefaultAndNoCloseButton) {
  for (const bool noByDefault : {false, true}) {
    QtDialogs dialogs;
    QAbstractButton* preferred = nullptr;
    QAbstractButton* expected = nullptr;
    bool closable = true;
    WhenBoxIsUp(
        [&](QMessageBox& box) {
          preferred = box.defaultButton();
          expected = box.button(noByDefault ? QMessageBox::No : QMessageBox::Yes);
          closable = box.windowFlags().testFlag(Qt::WindowCloseButtonHint);
        },
        QMessageBox::No);
    EXPECT_FALSE(dialogs.YesNo("Quorvale", "中断しますか？", noByDefault));
    EXPECT_EQ(preferred, expected) << noByDefault;
    EXPECT_FALSE(closable);
  }
}

TEST(QtDialogs, ABoxLeavesItsTitleBarRoomForTheWholeCaption) {
  for (const char* caption : {"バージョン情報", "Quorvale（Tessaly付属ツール）"}) {
    QtDialogs dialogs;
    int width = 0, needed = 0;
    WhenBoxIsUp(
        [&](QMessageBox& box) {
          width = box.width();
          needed = box.fontMetrics().horizontalAdvance(box.windowTitle()) + 100;
        },
        QMessageBox::Ok);
    dialogs.Message(caption, "1");
    EXPECT_GE(width, needed) << caption;
  }
}

TEST(QtDialogs, NoticeClosesWithEscape) {
  QtDialogs dialogs;
  QTimer::singleShot(0, [] {
    QWidget* box = QApplication::activeModalWidget();
    ASSERT_NE(box, nullptr);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(box, &escape);
  });
  dialogs.Message("Quorvale", "中断しました。");  // returns: Escape closed it
}

// A caption as it reads, without its mnemonic: Japanese captions carry it
// after the word ("はい(&Y)"), English ones inside it ("&Yes").
std::string Reads(const QString& caption) {
  QString text = caption;
  text.remove(QRegularExpression(QStringLiteral("\\(&.\\)$")));
  text.remove(QLatin1Char('&'));
  return text.toStdString();
}

// Runs `act` on the folder dialog once it is up; `act` closes it.
void WhenFolderDialogIsUp(const std::function<void(QFileDialog&)>& act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    act(*dialog);
  });
}

// HOME points at `folder` while the object lives.
class HomeAt {
 public:
  explicit HomeAt(const std::string& folder) : saved_(qgetenv("HOME")) {
    qputenv("HOME", QByteArray::fromStdString(folder));
  }
  ~HomeAt() { qputenv("HOME", saved_); }

 private:
  QByteArray saved_;
};

std::string Canonical(const QString& folder) {
  return QDir(folder).canonicalPath().toStdString();
}

TEST(QtDialogs, BrowseOpensAtItsStartFolderElseAtHomeNeverTheCurrentOne) {
  testing::Sandbox box;
  box.Fill({"home/photos/", "current/", "plain-file"});
  const HomeAt home(box.Path("home"));
  QDir::setCurrent(QString::fromStdString(box.Path("current")));
  const struct {
    std::string start;
    std::string opens;
  } cases[] = {
      {"", "home"},
      {box.Path("home/photos") + "/", "home/photos"},
      {box.Path("gone"), "home"},
      {box.Path("plain-file"), "home"},
  };
  for (const auto& c : cases) {
    QtDialogs dialogs;
    QString opened, title;
    QStringList preselected;
    WhenFolderDialogIsUp([&](QFileDialog& dialog) {
      opened = dialog.directory().absolutePath();
      title = dialog.windowTitle();
      preselected = dialog.selectedFiles();
      dialog.reject();
    });
    EXPECT_EQ(dialogs.BrowseFolder("入力フォルダの選択", c.start), "");
    EXPECT_EQ(Canonical(opened), Canonical(QString::fromStdString(box.Path(c.opens)))) << c.start;
    EXPECT_EQ(title.toStdString(), "入力フォルダの選択");
    // Qt reports the folder itself when no entry is selected.
    for (const QString& file : preselected) EXPECT_EQ(Canonical(file), Canonical(opened));
  }
}

TEST(QtDialogs, BrowseGivesTheChosenFolder) {
  testing::Sandbox box;
  box.Fill({"home/photos/"});
  const HomeAt home(box.Path("home"));
  QtDialogs dialogs;
  WhenFolderDialogIsUp([&](QFileDialog& dialog) {
    dialog.selectFile(QString::fromStdString(box.Path("home/photos")));
    static_cast<QDialog&>(dialog).accept();  // QFileDialog::accept, as the button would
  });
  EXPECT_EQ(Canonical(QString::fromStdString(dialogs.BrowseFolder("出力フォルダの選択", ""))),
            Canonical(QString::fromStdString(box.Path("home/photos"))));
}

// The stock texts come from Qt's catalog; a machine without it shows them
// in English, which is allowed.
class QtTranslations : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!QFile::exists(QtTranslationsFile())) {
      GTEST_SKIP() << "Qt's Japanese catalog is not installed: "
                   << QtTranslationsFile().toStdString();
    }
    ASSERT_TRUE(static_cast<Application*>(QCoreApplication::instance())->QtTranslationsLoaded());
  }
  QtDialogs dialogs;
};

TEST_F(QtTranslations, QuestionsReadHaiAndIie) {
  std::string yes, no;
  WhenBoxIsUp(
      [&](QMessageBox& box) {
        yes = Reads(box.button(QMessageBox::Yes)->text());
        no = Reads(box.button(QMessageBox::No)->text());
      },
      QMessageBox::No);
  dialogs.YesNo("Quorvale", "中断しますか？");
  EXPECT_EQ(yes, "はい");
  EXPECT_EQ(no, "いいえ");
}

TEST_F(QtTranslations, ThePromptReadsOkAndCancel) {
  std::string ok, cancel;
  QTimer::singleShot(0, [&] {
    QWidget* prompt = QApplication::activeModalWidget();
    ASSERT_NE(prompt, nullptr);
    auto* buttons = prompt->findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    ok = Reads(buttons->button(QDialogButtonBox::Ok)->text());
    cancel = Reads(buttons->button(QDialogButtonBox::Cancel)->text());
    buttons->button(QDialogButtonBox::Cancel)->click();
  });
  EXPECT_EQ(dialogs.PromptText("フォルダ作成", "フォルダ名", 255), std::nullopt);
  EXPECT_EQ(ok, "OK");
  EXPECT_EQ(cancel, "キャンセル");
}

TEST_F(QtTranslations, TheFolderDialogIsJapanese) {
  std::string choose, lookIn;
  WhenFolderDialogIsUp([&](QFileDialog& dialog) {
    choose = Reads(dialog.labelText(QFileDialog::Accept));
    lookIn = Reads(dialog.labelText(QFileDialog::LookIn));
    dialog.reject();
  });
  dialogs.BrowseFolder("入力フォルダの選択", "");
  EXPECT_EQ(choose, "選択");       // "Choose"
  EXPECT_EQ(lookIn, "アドレス:");  // "Look in:"
}

}  // namespace
}  // namespace quorvale
