// zevi-fileconv: the converter's main window.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "export/format.h"
#include "mainform.h"
#include "platform/locale.h"
#include "settings/state.h"

namespace {

constexpr const char* kUsageText =
    "Usage: zevi-fileconv [FILE]\n"
    "Opens the ZEVI Import File Converter's window; FILE, when given, is loaded\n"
    "when the window first shows.\n"
    "\n"
    "  -h, --help     this text\n"
    "      --version  the program's name and version\n"
    "\n"
    "Qt's own options (such as -platform NAME) are accepted as well.\n"
    "zevi-convert converts without a window.\n";

// Answered before Qt starts, so that they work without a display.
bool AnsweredWithoutWindow(int argc, char** argv) {
  if (argc != 2) return false;
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("ZEVI Import File Converter %s\n", zevi::kProgramVersion);
    return true;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsageText, stdout);
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnsweredWithoutWindow(argc, argv)) return std::fflush(stdout) == 0 ? 0 : 1;
  // Qt's own file dialogs on request, where the desktop's chooser misbehaves.
  if (!qEnvironmentVariableIsEmpty("ZEVI_QT_FILE_DIALOGS"))
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  QApplication app(argc, argv);  // takes Qt's own options out of argv
  // No display name: Qt would append it to every window title.
  QApplication::setApplicationName(QStringLiteral("zevi-fileconv"));
  // The desktop entry's name: the desktop finds the menu entry and icon by it.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.zevi.FileConverter"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.zevi.FileConverter")));

  zevi::AppState state;
  state.locale = zevi::SystemLocaleValues();
  zevi::FormEnvironment environment;
  environment.arguments.assign(argv + 1, argv + argc);
  zevi::TFileconvForm form(state, environment);
  form.show();
  return QApplication::exec();
}
