#include <gtest/gtest.h>

#include "app/Application.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Never on a real display, also when CTest lists the tests.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  quorvale::Application app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  return RUN_ALL_TESTS();
}
