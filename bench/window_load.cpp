// How long the window takes from "Open..." to its table on screen, for a
// large file: the load, the model over the table and the first paint. Runs
// on Qt's offscreen platform.
//
//   window_load SOURCE [RUNS]     prints the median in seconds
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/apptest.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: window_load SOURCE [RUNS]\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  std::vector<double> seconds;
  for (int run = 0; run < runs; ++run) {
    zevi::testing::WindowFixture window;
    // A copy without the settings file beside it, so that no question waits.
    const std::string source = window.Path("source.txt");
    QFile::copy(QString::fromLocal8Bit(argv[1]), QString::fromStdString(source));
    QElapsedTimer timer;
    timer.start();
    window.Open(source);
    QTableView* table = window.form->Table();
    table->viewport()->repaint();
    QCoreApplication::processEvents();
    seconds.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    if (table->model()->rowCount() < 2) {
      std::fprintf(stderr, "window_load: the table stayed empty\n");
      return 1;
    }
  }
  std::sort(seconds.begin(), seconds.end());
  std::printf("%.4f\n", seconds[seconds.size() / 2]);
  return 0;
}
