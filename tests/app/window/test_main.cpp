// The window's tests need the application object before any widget; they run on Qt's
// offscreen platform unless QT_QPA_PLATFORM names another.

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication Application(argc, argv);
  return RUN_ALL_TESTS();
}
