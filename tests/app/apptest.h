#pragma once
// A main window on a state of its own: a temporary folder for the
// configuration, a scripted user, a help viewer that only records, and the
// program folder on the bundled datum and grid lists.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QMenu>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mainform.h"
#include "platform/help.h"
#include "platform/keystore.h"
#include "qtui.h"
#include "settings/startup.h"
#include "settings/state.h"
#include "support/scripted_ui.h"

namespace zevi::testing {

// The test classes, run one after another by the test program's main.
std::vector<std::function<int(int, char**)>>& AppTests();

template <class Test>
struct RegisterAppTest {
  RegisterAppTest() {
    AppTests().push_back([](int argc, char** argv) {
      Test test;
      return QTest::qExec(&test, argc, argv);
    });
  }
};

class RecordingHelpViewer : public HelpViewer {
 public:
  std::vector<HtmlHelpCall> calls;
  void HtmlHelp(const HtmlHelpCall& call) override { calls.push_back(call); }
};

// Which user the window meets: the script below, or its own Qt dialogs
// and help window (driven by the test through the modal widgets, see
// ModalDriver).
enum class Dialogs { Scripted, Real };

class WindowFixture {
 public:
  explicit WindowFixture(Dialogs dialogs = Dialogs::Scripted, std::vector<std::string> arguments = {})
      : WindowFixture(nullptr, dialogs, std::move(arguments)) {
    form->FormShow();
  }

  // The window created on a configuration file holding `configuration` (none
  // when null), not yet shown.
  explicit WindowFixture(const char* configuration, Dialogs dialogs = Dialogs::Scripted,
                         std::vector<std::string> arguments = {}) {
    if (configuration != nullptr) {
      QDir().mkpath(QString::fromStdString(Path("config/Vozirado/ZEVI")));
      WriteFile("config/Vozirado/ZEVI/rirido.ini", configuration);
    }
    // Configuration and documents go to this test's own folder.
    qputenv("HOME", Path("home").c_str());
    qputenv("XDG_CONFIG_HOME", Path("config").c_str());
    qputenv("XDG_DOCUMENTS_DIR", Path("documents").c_str());
    platform = std::make_unique<StartupPlatform>(StartupPlatform{
        std::string(ZEVI_DATA_DIR) + "/zevi-fileconv", KeyStore(Path("machine")), KeyStore(Path("user"))});
    FormEnvironment environment;
    environment.ui = dialogs == Dialogs::Scripted ? &ui : nullptr;
    environment.arguments = std::move(arguments);
    environment.helpViewer = dialogs == Dialogs::Scripted ? &help : nullptr;
    environment.platform = platform.get();
    form = std::make_unique<TFileconvForm>(state, environment);
  }

  std::string Path(const std::string& name) const { return folder.path().toStdString() + "/" + name; }

  // Writes the bytes as they are.
  std::string WriteFile(const std::string& name, const std::string& bytes) const {
    std::string path = Path(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  template <class T = QAction>
  T* Find(const char* name) const {
    T* found = form->findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) qFatal("no %s", name);
    return found;
  }

  void Trigger(const char* action) const { Find<QAction>(action)->trigger(); }

  // "Open..." answered with the path.
  void Open(const std::string& path) {
    ui.fileChoices.push_back(path);
    Trigger("Open1");
  }

  // A press on a heading (or row number) of the table, as the user makes it.
  void PressHeader(Qt::Orientation orientation, int section, Qt::MouseButton button) const {
    QTableView* table = form->Table();
    QHeaderView* header = orientation == Qt::Horizontal ? table->horizontalHeader() : table->verticalHeader();
    int along = header->sectionViewportPosition(section) + header->sectionSize(section) / 2;
    QPoint at = orientation == Qt::Horizontal ? QPoint(along, header->height() / 2)
                                              : QPoint(header->width() / 2, along);
    QTest::mousePress(header->viewport(), button, Qt::NoModifier, at);
    QTest::mouseRelease(header->viewport(), button, Qt::NoModifier, at);
    QCoreApplication::processEvents();
  }

  QString HeadingOf(int column) const {
    return form->Table()->model()->headerData(column - 1, Qt::Horizontal, Qt::DisplayRole).toString();
  }

  QTemporaryDir folder;
  AppState state;
  ScriptedUi ui;
  RecordingHelpViewer help;
  std::unique_ptr<StartupPlatform> platform;
  std::unique_ptr<TFileconvForm> form;
};

// Answers the window's own modal boxes from inside their event loops, as a
// user at the screen would, and watches the progress box meanwhile.
class ModalDriver : public QObject {
 public:
  std::string saveTarget;           // the file dialog's answer
  std::vector<QString> texts;       // every question and message, in order
  bool progressSeen = false;        // the progress box was up at some time
  bool progressBesideModal = false; // ... at the same time as a question or dialog

  ModalDriver() {
    connect(&timer_, &QTimer::timeout, this, &ModalDriver::Tick);
    timer_.start(5);
  }

  // Enter on the focused button, as the keyboard gives it.
  static void Press(QWidget* box, Qt::Key key) {
    QWidget* target = box->focusWidget() != nullptr ? box->focusWidget() : box;
    QTest::keyClick(target, key);
  }

 private:
  void Tick() {
    bool progress = false;
    for (QWidget* window : QApplication::topLevelWidgets())
      if (qobject_cast<ProgressBox*>(window) != nullptr && window->isVisible()) progress = true;
    progressSeen = progressSeen || progress;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || qobject_cast<ProgressBox*>(modal) != nullptr) return;
    progressBesideModal = progressBesideModal || progress;
    if (modal == handled_) return;
    handled_ = modal;
    if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
      dialog->selectFile(QString::fromStdString(saveTarget));
      QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    } else if (auto* question = qobject_cast<QuestionDialog*>(modal)) {
      texts.push_back(question->findChild<QLabel*>(QStringLiteral("questionText"))->text());
      Press(question, Qt::Key_Return);
    }
  }

  QTimer timer_;
  QPointer<QWidget> handled_;
};

}  // namespace zevi::testing
