// Runs every test class of the window in one QApplication.
#include <QApplication>

#include "apptest.h"

namespace zevi::testing {

std::vector<std::function<int(int, char**)>>& AppTests() {
  static std::vector<std::function<int(int, char**)>> tests;
  return tests;
}

}  // namespace zevi::testing

int main(int argc, char** argv) {
  // The tests drive Qt's file dialog, whatever the desktop offers.
  QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  QApplication app(argc, argv);
  int failed = 0;
  for (const auto& run : zevi::testing::AppTests()) failed += run(argc, argv) != 0 ? 1 : 0;
  return failed;
}
