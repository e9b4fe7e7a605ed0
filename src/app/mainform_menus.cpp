// The main window's menus and the commands behind them.
#include "mainform.h"

#include <QAction>
#include <QActionGroup>
#include <QMenuBar>
#include <exception>
#include <optional>

#include "aboutform.h"
#include "cp1252.h"
#include "export/exportrun.h"
#include "helprouting.h"
#include "helpwindow.h"
#include "mainform_parts.h"
#include "settings/options.h"
#include "previewdialog.h"
#include "qtui.h"
#include "settings/recent.h"
#include "settings/settingscommands.h"
#include "settings/startup.h"
#include "settings/state.h"
#include "source/kinds.h"
#include "suggestdialog.h"

namespace zevi {
namespace {

void CheckAction(const std::vector<QAction*>& actions, int index) {
  if (index >= 0 && index < static_cast<int>(actions.size())) actions[index]->setChecked(true);
}

}  // namespace

void TFileconvForm::CreateMenus() {
  QMenuBar* bar = menuBar();
  auto action = [this](QMenu* menu, const char* caption, const char* name) {
    QAction* item = menu->addAction(QString::fromLatin1(caption));
    item->setObjectName(QString::fromLatin1(name));
    return item;
  };
  auto radioGroup = [this](QMenu* menu, std::vector<QAction*>& actions,
                           std::initializer_list<std::pair<const char*, const char*>> items) {
    auto* group = new QActionGroup(this);
    for (const auto& [caption, name] : items) {
      QAction* item = menu->addAction(QString::fromLatin1(caption));
      item->setObjectName(QString::fromLatin1(name));
      item->setCheckable(true);
      group->addAction(item);
      actions.push_back(item);
    }
  };

  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("mnuFile"));
  QAction* open = action(file, "Open...", "Open1");
  open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  connect(open, &QAction::triggered, this, &TFileconvForm::Open1Click);
  file->addSeparator();
  for (int i = 0; i < kRecentMenuEntries; ++i) {
    QAction* item = file->addAction(QString::number(i + 1));
    item->setObjectName(QStringLiteral("mnuRecent%1").arg(i + 1));
    item->setVisible(false);
    connect(item, &QAction::triggered, this, [this, i] { RecentFileClick(i); });
    recentActions_[i] = item;
  }
  file->addSeparator();
  QAction* quit = action(file, "Quit", "mnuQuit");
  quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  // Through the close query, like the window's close box.
  connect(quit, &QAction::triggered, this, &QWidget::close);

  QMenu* exportMenu = bar->addMenu(QStringLiteral("&Export"));
  exportMenu->setObjectName(QStringLiteral("mnuExport"));
  QAction* exportAs = action(exportMenu, "SaveAs...", "mnuExsaveAs");
  exportAs->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  connect(exportAs, &QAction::triggered, this, &TFileconvForm::mnuExsaveAsClick);

  QMenu* fields = bar->addMenu(QStringLiteral("F&ields"));
  fields->setObjectName(QStringLiteral("mnuFields"));
  CreateFieldsMenu(fields, false);
  fields->addSeparator();
  connect(action(fields, "Ignore All", "mnuIgnoreall"), &QAction::triggered, this,
          &TFileconvForm::mnuIgnoreallClick);
  connect(action(fields, "Suggest Kinds", "mnuSuggestKinds"), &QAction::triggered, this,
          &TFileconvForm::mnuSuggestKindsClick);

  QMenu* settings = bar->addMenu(QStringLiteral("&Settings"));
  settings->setObjectName(QStringLiteral("mnuSettings"));
  QMenu* date = settings->addMenu(QStringLiteral("Date"));
  date->setObjectName(QStringLiteral("mnuDate"));
  radioGroup(date, dateActions_, {{"D/M/Y", "mnuDMY"}, {"M/D/Y", "mnuMDY"}, {"Y/M/D", "mnuYMD"}});
  for (int i = 0; i < 3; ++i)
    connect(dateActions_[i], &QAction::triggered, this, [this, i] { mnuDateClick("DMY"[i]); });

  QMenu* listSeparator = settings->addMenu(QStringLiteral("List Separator"));
  listSeparator->setObjectName(QStringLiteral("mnuListSep"));
  radioGroup(listSeparator, listSeparatorActions_,
             {{"comma (,)", "mnuLScomma"}, {"Semicolon (;)", "mnuLSsemicolon"}, {"Space ( )", "mnuLSspace"},
              {"User Defined (*)", "mnuLSuser"}, {"(none) - using Column Breaks", "mnuLSnone"}});
  userSeparatorAction_ = listSeparatorActions_[3];
  for (int i = 0; i < 5; ++i)
    connect(listSeparatorActions_[i], &QAction::triggered, this, [this, i] { mnuListSepClick(i); });

  QMenu* decimal = settings->addMenu(QStringLiteral("Decimal Separator"));
  decimal->setObjectName(QStringLiteral("mnuDecSep"));
  radioGroup(decimal, decimalActions_, {{"point (.)", "mnuDSpoint"}, {"comma (,)", "mnuDScomma"}});
  connect(decimalActions_[0], &QAction::triggered, this, [this] { mnuDecSepClick('.'); });
  connect(decimalActions_[1], &QAction::triggered, this, [this] { mnuDecSepClick(','); });

  QMenu* sign = settings->addMenu(QStringLiteral("Sign Lat/Long (+ is) "));
  sign->setObjectName(QStringLiteral("mnuSign"));
  radioGroup(sign, latitudeActions_, {{"North", "mnuNorth"}, {"South", "mnuSouth"}});
  sign->addSeparator();
  radioGroup(sign, longitudeActions_, {{"East", "mnuEast"}, {"West", "mnuWest"}});
  connect(latitudeActions_[0], &QAction::triggered, this, [this] { mnuLatSignClick(1); });
  connect(latitudeActions_[1], &QAction::triggered, this, [this] { mnuLatSignClick(-1); });
  connect(longitudeActions_[0], &QAction::triggered, this, [this] { mnuLongSignClick(1); });
  connect(longitudeActions_[1], &QAction::triggered, this, [this] { mnuLongSignClick(-1); });

  QMenu* aux = settings->addMenu(QStringLiteral("Auxiliary Data ..."));
  aux->setObjectName(QStringLiteral("mnuAux"));
  radioGroup(aux, auxActions_, {{"Depth", "mnuDepth"}, {"Heartrate", "mnuHeartrate"},
                                {"Heading", "mnuHeading"}, {"Temperature", "mnuTemperature"}});
  for (int i = 0; i < 4; ++i)
    connect(auxActions_[i], &QAction::triggered, this, [this, i] { mnuAuxClick("DHBT"[i]); });

  QMenu* gridFiles = settings->addMenu(QStringLiteral("Grid files"));
  gridFiles->setObjectName(QStringLiteral("mnuGridfiles"));
  const char* const gridItems[][2] = {
      {"World grids", "mnuwgrids"}, {"USA grids", "mnuugrids"}, {"OSTN02 grids", "mnuogrids"}};
  for (int i = 0; i < 3; ++i) {
    QAction* item = action(gridFiles, gridItems[i][0], gridItems[i][1]);
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, i] { mnugridsClick(i); });
    gridFileActions_.push_back(item);
  }
  connect(action(settings, "Grid decimal place ...", "mnuscale"), &QAction::triggered, this,
          &TFileconvForm::mnuscaleClick);
  CreateEncodingMenu(settings);
  settings->addSeparator();
  connect(action(settings, "Open Settings...", "mnuOpenSettings"), &QAction::triggered, this,
          &TFileconvForm::mnuOpenSettingsClick);
  saveSettingsAction_ = action(settings, "Save Settings", "mnuSaveSettings");
  saveSettingsAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  connect(saveSettingsAction_, &QAction::triggered, this, &TFileconvForm::mnuSaveSettingsClick);
  QAction* saveAs = action(settings, "Save Settings As...", "mnuSaveSettingsAs");
  saveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  connect(saveAs, &QAction::triggered, this, &TFileconvForm::mnuSaveSettingsAsClick);
  connect(action(settings, "No settings file", "mnuNoSettings"), &QAction::triggered, this,
          &TFileconvForm::mnuNoSettingsClick);

  QMenu* view = bar->addMenu(QStringLiteral("&View"));
  view->setObjectName(QStringLiteral("mnuView"));
  connect(action(view, "Preview Positions", "mnuPreview"), &QAction::triggered, this,
          &TFileconvForm::mnuPreviewClick);

  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("mnuHelp"));
  connect(action(help, "Contents", "mnuContents"), &QAction::triggered, this,
          &TFileconvForm::mnuContentsClick);
  connect(action(help, "Topic Search", "mnuTopicSearch"), &QAction::triggered, this,
          &TFileconvForm::mnuTopicSearchClick);
  help->addSeparator();
  connect(action(help, "About...", "mnuAbout"), &QAction::triggered, this, &TFileconvForm::mnuAboutClick);

  kindPopup_ = new QMenu(this);
  kindPopup_->setObjectName(QStringLiteral("PopupMenu1"));
  CreateFieldsMenu(kindPopup_, true);

  rowPopup_ = new QMenu(this);
  rowPopup_->setObjectName(QStringLiteral("PopupMenuRows"));
  QAction* first = action(rowPopup_, "Make first record", "pupfirstrec");
  QAction* last = action(rowPopup_, "Make last record", "puplastrec");
  connect(first, &QAction::triggered, this, &TFileconvForm::puprowsclick);
  connect(last, &QAction::triggered, this, &TFileconvForm::puprowsclick);
}

// The kind items in vocabulary order: top-level items directly, the others
// in a sub-menu per group, each group made where its first item stands.
void TFileconvForm::CreateFieldsMenu(QMenu* menu, bool popup) {
  const std::vector<KindInfo>& vocabulary = KindVocabulary();
  std::vector<std::pair<std::string, QMenu*>> groups;
  for (std::size_t row = 0; row < vocabulary.size(); ++row) {
    const KindInfo& kind = vocabulary[row];
    if (kind.menuCaption[0] == '\0') continue;
    QMenu* target = menu;
    if (kind.menuGroup[0] != '\0') {
      auto found = std::find_if(groups.begin(), groups.end(),
                                [&](const auto& group) { return group.first == kind.menuGroup; });
      if (found == groups.end()) {
        QMenu* sub = menu->addMenu(FromCp1252(kind.menuGroup));
        groups.emplace_back(kind.menuGroup, sub);
        target = sub;
      } else {
        target = found->second;
      }
    }
    const char* caption = popup && kind.popupCaption[0] != '\0' ? kind.popupCaption : kind.menuCaption;
    QAction* item = target->addAction(FromCp1252(caption));
    item->setObjectName(ObjectNameOfCode(popup ? "pup" : "mnuFmt", kind.code));
    item->setData(static_cast<int>(row));
    connect(item, &QAction::triggered, this,
            popup ? &TFileconvForm::PopupMenuClick : &TFileconvForm::mnuFormatClick);
    if (std::string_view(kind.code).size() == 1) fieldsAuxActions_.push_back(item);
    if (kind.separatorAfter) target->addSeparator();
  }
}

void TFileconvForm::ShowMenus() {
  const ConversionSettings& settings = state_.settings;
  std::vector<std::string> captions = RecentMenuCaptions(state_.recent);
  for (int i = 0; i < kRecentMenuEntries; ++i) {
    const std::string caption = i < static_cast<int>(captions.size()) ? captions[i] : std::string();
    recentActions_[i]->setText(FromPath(caption));
    recentActions_[i]->setVisible(!caption.empty());
  }

  CheckAction(dateActions_, std::string_view("DMY").find(DateFormatShown(settings)));
  CheckAction(listSeparatorActions_, static_cast<int>(ListSeparatorShown(settings)));
  userSeparatorAction_->setText(FromCp1252(UserSeparatorCaption(settings)));
  CheckAction(decimalActions_, settings.decimalSeparator == ',' ? 1 : 0);
  CheckAction(latitudeActions_, settings.latitudeSign < 0 ? 1 : 0);
  CheckAction(longitudeActions_, settings.longitudeSign < 0 ? 1 : 0);
  CheckAction(auxActions_, static_cast<int>(std::string_view("DHBT").find(AuxDataShown(settings))));
  QString auxCaption = FromCp1252(AuxCaption(settings));
  for (QAction* item : fieldsAuxActions_) item->setText(auxCaption);
  for (int i = 0; i < 3; ++i) gridFileActions_[i]->setChecked(GridFileSwitchOn(settings.gridFiles, i));
  saveSettingsAction_->setEnabled(state_.settingsChanged);
}

void TFileconvForm::Open1Click() { OpenSourceThrough(*ui_); }

void TFileconvForm::OpenSourceThrough(UserInterface& ui) {
  Run([&] {
    // The dialog's choice is known only inside the command; the label follows the state after it.
    std::string before = state_.sourceFile;
    OpenSourceCommand(state_, ui);
    if (state_.sourceFile != before) ShowLoadingPath(state_.sourceFile);
  });
}

void TFileconvForm::RecentFileClick(int index) {
  if (index < 0 || index >= static_cast<int>(state_.recent.files.size())) return;
  ShowLoadingPath(state_.recent.files[static_cast<std::size_t>(index)]);
  Run([&] { OpenRecentFile(state_, *ui_, index); });
}

void TFileconvForm::btnopenlastClick() {
  ShowLoadingPath(state_.recent.lastFile);
  Run([&] { OpenLastFile(state_, *ui_); });
}

void TFileconvForm::mnuExsaveAsClick() {
  Run([&] { ExportCommand(state_, *ui_); });
}

void TFileconvForm::btnexportasClick() { mnuExsaveAsClick(); }

// One preview at a time; asking again reads the records again.
void TFileconvForm::mnuPreviewClick() {
  Run([this] {
    if (preview_) {
      preview_->Reload();
    } else {
      preview_ = new PreviewDialog(
          state_, [this](int column, int row) { ShowCellOfTable(*filegrid_, column, row); }, this);
      preview_->setAttribute(Qt::WA_DeleteOnClose);
    }
    preview_->show();
    preview_->raise();
    preview_->activateWindow();
  });
}

void TFileconvForm::btnpreviewClick() { mnuPreviewClick(); }

void TFileconvForm::mnuSuggestKindsClick() {
  Run([this] { SuggestKindsCommand(state_, *ui_, this); });
}

void TFileconvForm::mnuDateClick(char letter) {
  Run([&] { ChooseDateFormat(state_, letter); });
}

void TFileconvForm::mnuListSepClick(int entry) {
  Run([&] { ChooseListSeparator(state_, *ui_, static_cast<ListSeparatorEntry>(entry)); });
}

void TFileconvForm::mnuDecSepClick(char mark) {
  Run([&] { ChooseDecimalSeparator(state_, *ui_, mark); });
}

void TFileconvForm::mnuLatSignClick(int sign) {
  Run([&] { ChooseLatitudeSign(state_, sign); });
}

void TFileconvForm::mnuLongSignClick(int sign) {
  Run([&] { ChooseLongitudeSign(state_, sign); });
}

void TFileconvForm::mnuAuxClick(char letter) {
  Run([&] { ChooseAuxData(state_, letter); });
}

void TFileconvForm::mnugridsClick(int gridSwitch) {
  Run([&] { SwitchGridFile(state_, *ui_, gridSwitch); });
}

void TFileconvForm::mnuscaleClick() {
  Run([&] { AskScale(state_, *ui_); });
}

void TFileconvForm::mnuOpenSettingsClick() {
  Run([&] { OpenSettingsCommand(state_, *ui_); });
}

void TFileconvForm::mnuSaveSettingsClick() {
  Run([&] { SaveSettingsCommand(state_, *ui_); });
}

void TFileconvForm::mnuSaveSettingsAsClick() {
  Run([&] { SaveSettingsAsCommand(state_, *ui_); });
}

void TFileconvForm::mnuEncodingClick(SourceEncoding encoding) {
  Run([&] { ChooseSourceEncoding(state_, *ui_, encoding); });
}

void TFileconvForm::CreateEncodingMenu(QMenu* settings) {
  QMenu* menu = settings->addMenu(QStringLiteral("Source Encoding"));
  menu->setObjectName(QStringLiteral("SourceEncodingMenu"));
  auto* group = new QActionGroup(this);
  const std::pair<SourceEncoding, const char*> items[] = {
      {SourceEncoding::Automatic, "EncodingAutomatic"},
      {SourceEncoding::Utf8, "EncodingUtf8"},
      {SourceEncoding::Utf16, "EncodingUtf16"},
      {SourceEncoding::Windows1252, "EncodingWindows1252"}};
  for (const auto& [encoding, name] : items) {
    QAction* item = menu->addAction(FromCp1252(EncodingName(encoding)));
    item->setObjectName(QString::fromLatin1(name));
    item->setCheckable(true);
    group->addAction(item);
    connect(item, &QAction::triggered, this, [this, encoding] { mnuEncodingClick(encoding); });
    encodingActions_.emplace_back(encoding, item);
  }
}

void TFileconvForm::mnuNoSettingsClick() {
  Run([&] { NoSettingsFileCommand(state_); });
}

void TFileconvForm::mnuContentsClick() { help_->HelpCommand(kHelpContents, kHelpMainWindow); }

// The request opens the default topic, like "Contents"; the window's own
// viewer then offers its index for typing.
void TFileconvForm::mnuTopicSearchClick() {
  help_->HelpCommand(kHelpPartialKey, 0);
  if (auto* viewer = dynamic_cast<QtHelpViewer*>(ownViewer_.get()); viewer != nullptr && viewer->Window() != nullptr)
    viewer->Window()->ShowTopicSearch();
}

void TFileconvForm::mnuAboutClick() {
  TAboutFrm about(this);
  about.exec();
}

void TFileconvForm::btnHelpClick() { help_->HelpContext(kHelpMainWindow); }

}  // namespace zevi
