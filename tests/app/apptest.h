#pragma once
// A main window on a state of its own: a temporary folder for the
// configuration, a scripted user, a help viewer that only records, and the
// program folder on the bundled datum and grid lists.
#include <QAction>
#include <QDir>
#include <QHeaderView>
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

class WindowFixture {
 public:
  WindowFixture() : WindowFixture(nullptr) { form->FormShow(); }

  // The window created on a configuration file holding `configuration` (none
  // when null), not yet shown.
  explicit WindowFixture(const char* configuration) {
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
    environment.ui = &ui;
    environment.helpViewer = &help;
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

}  // namespace zevi::testing
