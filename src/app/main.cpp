// zevi-fileconv: the converter's main window.
#include <QApplication>
#include <string>
#include <vector>

#include "mainform.h"
#include "platform/locale.h"
#include "settings/state.h"

int main(int argc, char** argv) {
  // Qt's own file dialogs on request, where the desktop's chooser misbehaves.
  if (!qEnvironmentVariableIsEmpty("ZEVI_QT_FILE_DIALOGS"))
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  QApplication app(argc, argv);  // takes Qt's own options out of argv
  // No display name: Qt would append it to every window title.
  QApplication::setApplicationName(QStringLiteral("zevi-fileconv"));

  zevi::AppState state;
  state.locale = zevi::SystemLocaleValues();
  zevi::FormEnvironment environment;
  environment.arguments.assign(argv + 1, argv + argc);
  zevi::TFileconvForm form(state, environment);
  form.show();
  return QApplication::exec();
}
