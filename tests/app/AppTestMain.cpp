#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include "app/Application.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Never on a real display, also when CTest lists the tests.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  quorvale::Application app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  // The windows' settings stay out of the user's own.
  const QTemporaryDir settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  return RUN_ALL_TESTS();
}
