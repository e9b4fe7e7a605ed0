#include "mainform.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QStyleOptionHeader>
#include <QTableView>
#include <QTimer>
#include <exception>
#include <optional>

#include "aboutform.h"
#include "cp1252.h"
#include "export/exportrun.h"
#include "fbform.h"
#include "helprouting.h"
#include "settings/options.h"
#include "platform/help.h"
#include "previewdialog.h"
#include "qtui.h"
#include "settings/recent.h"
#include "settings/settingscommands.h"
#include "settings/startup.h"
#include "settings/state.h"
#include "source/breaks.h"
#include "source/kinds.h"
#include "source/range.h"
#include "spinbutton.h"
#include "suggestdialog.h"
#include "tablemodel.h"
#include "values/gridvalues.h"

namespace zevi {
namespace {

constexpr int kFontPixels = 12;
constexpr int kButtonWidth = 92;
constexpr int kButtonHeight = 24;
constexpr int kButtonMargin = 24;   // right of the buttons
constexpr int kPreviewButtonWidth = 70;  // left of "Export As.."
constexpr int kButtonGap = 10;      // right of the "First Record" group, at least

const char* const kAlignmentItems[] = {"Right Aligned ", "x 10", "x 100", "x 1000", "Left Aligned"};
const char* const kTextOptionItems[] = {"(None)", "ID", "Comment", "Altitude",
                                        "ID&Comment", "ID+Altitude", "Comment Altitude"};

QLabel* MakeLabel(const QString& text, QWidget* parent, const QRect& where) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setGeometry(where);
  return label;
}

QString ObjectNameOfCode(const char* prefix, const std::string& code) {
  QString name = QString::fromLatin1(prefix);
  for (char c : code) name += c == ' ' ? QChar('_') : QChar::fromLatin1(c);
  return name;
}

// Puts the items in a combo box when they differ from what it lists, so an
// open list or a typed text is not disturbed by a refresh that changes nothing.
void ShowItems(QComboBox* box, const std::vector<std::string>& items) {
  bool same = box->count() == static_cast<int>(items.size());
  for (int i = 0; same && i < box->count(); ++i) same = box->itemText(i) == FromCp1252(items[i]);
  if (same) return;
  box->clear();
  for (const std::string& item : items) box->addItem(FromCp1252(item));
}

void ShowIndex(QComboBox* box, int index) {
  if (index >= box->count()) index = -1;
  if (box->currentIndex() != index) box->setCurrentIndex(index);
}

void ShowText(QLineEdit* edit, const std::string& text) {
  QString shown = FromCp1252(text);
  if (edit->text() != shown) edit->setText(shown);
}

void CheckAction(const std::vector<QAction*>& actions, int index) {
  if (index >= 0 && index < static_cast<int>(actions.size())) actions[index]->setChecked(true);
}

}  // namespace

const std::vector<const char*>& SymbolSetTypes() {
  static const std::vector<const char*> kTypes = {
      "(None)",       "Garmin (old)",   "Garmin (2-byte)", "Magellan",         "Trav.Mgr.",
      "Nav6000",      "Furuno",         "Magellan (new)",  "MLR",              "Simrad",
      "Google Earth", "MaxSea",         "Lowrance",        "CPlot",            "Maptech",
      "Garmin (colour)", "Streets and Trips", "MemoryMap", "Transas",         "Coastal Explorer",
      "Olex",         "TelChart",       "Raymarine"};
  return kTypes;
}

TFileconvForm::TFileconvForm(AppState& state, FormEnvironment environment, QWidget* parent)
    : QMainWindow(parent), state_(state), arguments_(std::move(environment.arguments)) {
  setObjectName(QStringLiteral("FileconvForm"));
  setWindowTitle(QString::fromLatin1(kWindowTitle));
  HelpViewer* viewer = environment.helpViewer;
  if (viewer == nullptr) {
    ownViewer_ = std::make_unique<DesktopHelpViewer>();
    viewer = ownViewer_.get();
  }
  help_ = std::make_unique<TUseHTMLHelp>(*viewer, std::string());
  ui_ = environment.ui;
  if (ui_ == nullptr) {
    ownUi_ = std::make_unique<QtUserInterface>(this, help_.get());
    ui_ = ownUi_.get();
  }

  panel_ = new QWidget(this);
  QFont font = panel_->font();
  font.setPixelSize(kFontPixels);
  panel_->setFont(font);
  setCentralWidget(panel_);
  CreateMenus();
  CreateControls(panel_);
  CreateTable(panel_);
  if (ownUi_) ownUi_->SetTable(filegrid_);
  panel_->installEventFilter(this);
  auto* helpKey = new QShortcut(QKeySequence::HelpContents, this);
  connect(helpKey, &QShortcut::activated, this, &TFileconvForm::btnHelpClick);
  resize(kDesignWidth, kDesignHeight);

  Run([&] {
    std::optional<StartupPlatform> current;
    StartupPlatform* platform = environment.platform;
    if (platform == nullptr) platform = &current.emplace(StartupPlatform::Current());
    StartUp(state_, *ui_, *platform);
  });
  help_->SetHelpFile(state_.programFolder + kHelpFileName);
  ApplyBounds();
}

TFileconvForm::~TFileconvForm() = default;

template <class Command>
void TFileconvForm::Run(Command&& command) {
  try {
    command();
  } catch (const std::exception& failure) {
    ui_->ShowMessage(failure.what());
  }
  if (ownUi_) ownUi_->EndProgress();
  ShowAll();
}

// ---------------------------------------------------------------- building

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
  connect(action(file, "Open...", "Open1"), &QAction::triggered, this, &TFileconvForm::Open1Click);
  file->addSeparator();
  for (int i = 0; i < kRecentMenuEntries; ++i) {
    QAction* item = file->addAction(QString::number(i + 1));
    item->setObjectName(QStringLiteral("mnuRecent%1").arg(i + 1));
    item->setVisible(false);
    connect(item, &QAction::triggered, this, [this, i] { RecentFileClick(i); });
    recentActions_[i] = item;
  }

  QMenu* exportMenu = bar->addMenu(QStringLiteral("&Export"));
  exportMenu->setObjectName(QStringLiteral("mnuExport"));
  connect(action(exportMenu, "SaveAs...", "mnuExsaveAs"), &QAction::triggered, this,
          &TFileconvForm::mnuExsaveAsClick);

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
  connect(saveSettingsAction_, &QAction::triggered, this, &TFileconvForm::mnuSaveSettingsClick);
  connect(action(settings, "Save Settings As...", "mnuSaveSettingsAs"), &QAction::triggered, this,
          &TFileconvForm::mnuSaveSettingsAsClick);
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

void TFileconvForm::ShowEncoding() {
  for (const auto& [encoding, item] : encodingActions_) item->setChecked(encoding == state_.settings.encoding);
  // Only the loaded file has an encoding in force; a path that failed to load has none.
  bool loaded = !state_.sourceFile.empty() && fileLabelPath_ == FromPath(state_.sourceFile);
  lblencoding_->setText(loaded ? QStringLiteral("(%1)").arg(FromCp1252(EncodingName(state_.sourceEncoding)))
                               : QString());
  int after = ebfilename_->fontMetrics().horizontalAdvance(ebfilename_->text()) + 12;
  lblencoding_->move(ebfilename_->x() + after, ebfilename_->y());
  lblencoding_->resize(lblencoding_->sizeHint().width(), ebfilename_->height());
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

void TFileconvForm::CreateControls(QWidget* panel) {
  ebfilename_ = MakeLabel(QStringLiteral("Source File = (None)  "), panel, {8, 2, 700, 16});
  ebfilename_->setObjectName(QStringLiteral("ebfilename"));
  lblencoding_ = MakeLabel(QString(), panel, {8, 2, 120, 16});  // placed after the file name when shown
  lblencoding_->setObjectName(QStringLiteral("lblencoding"));
  lblsetfile_ = MakeLabel(QStringLiteral("Settings File = (None)"), panel, {8, 18, 700, 16});
  lblsetfile_->setObjectName(QStringLiteral("lblsetfile"));

  rbmode_ = new QGroupBox(QStringLiteral("Convert to"), panel);
  rbmode_->setObjectName(QStringLiteral("rbmode"));
  rbmode_->setGeometry(6, 36, 112, 84);
  modeButtons_ = new QButtonGroup(this);
  const char* const modes[] = {"Waypoints", "Wpts+Route", "Trackpoints"};
  for (int i = 0; i < 3; ++i) {
    auto* radio = new QRadioButton(QString::fromLatin1(modes[i]), rbmode_);
    radio->setGeometry(10, 18 + 21 * i, 98, 20);
    modeButtons_->addButton(radio, i);
  }
  connect(modeButtons_, &QButtonGroup::idClicked, this, &TFileconvForm::rbmodeClick);

  btnFieldBreak_ = new QPushButton(QStringLiteral("Column Breaks..."), panel);
  btnFieldBreak_->setObjectName(QStringLiteral("btnFieldBreak"));
  btnFieldBreak_->setGeometry(6, 124, 112, 24);
  connect(btnFieldBreak_, &QPushButton::clicked, this, &TFileconvForm::btnFieldBreakClick);

  gbwpts_ = new QGroupBox(QStringLiteral("Waypoint Settings"), panel);
  gbwpts_->setObjectName(QStringLiteral("gbwpts"));
  gbwpts_->setGeometry(124, 36, 262, 110);
  lblidprefix_ = MakeLabel(QStringLiteral("ID Prefix"), gbwpts_, {8, 25, 102, 16});
  lblidprefix_->setObjectName(QStringLiteral("lblidprefix"));
  ebidprefix_ = new QLineEdit(gbwpts_);
  ebidprefix_->setObjectName(QStringLiteral("ebidprefix"));
  ebidprefix_->setGeometry(112, 22, 60, 22);
  connect(ebidprefix_, &QLineEdit::textEdited, this, &TFileconvForm::ebidprefixChange);
  MakeLabel(QStringLiteral("Text Option"), gbwpts_, {8, 53, 102, 16});
  cbtextopt_ = new QComboBox(gbwpts_);
  cbtextopt_->setObjectName(QStringLiteral("cbtextopt"));
  cbtextopt_->setGeometry(112, 50, 142, 22);
  for (const char* item : kTextOptionItems) cbtextopt_->addItem(QString::fromLatin1(item));
  connect(cbtextopt_, &QComboBox::activated, this, &TFileconvForm::cbtextoptChange);
  MakeLabel(QStringLiteral("Symbol Set Type"), gbwpts_, {8, 81, 102, 16});
  cbsymtype_ = new QComboBox(gbwpts_);
  cbsymtype_->setObjectName(QStringLiteral("cbsymtype"));
  cbsymtype_->setGeometry(112, 78, 142, 22);
  cbsymtype_->setEditable(true);
  cbsymtype_->setInsertPolicy(QComboBox::NoInsert);
  cbsymtype_->setMaxVisibleItems(23);
  for (const char* item : SymbolSetTypes()) cbsymtype_->addItem(QString::fromLatin1(item));
  connect(cbsymtype_, &QComboBox::activated, this, &TFileconvForm::cbsymtypeChange);
  connect(cbsymtype_->lineEdit(), &QLineEdit::textEdited, this, &TFileconvForm::cbsymtypeChange);

  gbtracks_ = new QGroupBox(QStringLiteral("Track Settings"), panel);
  gbtracks_->setObjectName(QStringLiteral("gbtracks"));
  gbtracks_->setGeometry(124, 36, 262, 110);
  lbltrackstart_ = MakeLabel(QStringLiteral("Start new track when"), gbtracks_, {8, 24, 200, 16});
  cbtrackstartcol_ = new QComboBox(gbtracks_);
  cbtrackstartcol_->setObjectName(QStringLiteral("cbtrackstartcol"));
  cbtrackstartcol_->setGeometry(8, 44, 246, 22);
  connect(cbtrackstartcol_, &QComboBox::activated, this, &TFileconvForm::cbtrackstartcolChange);
  lbltrackchanges_ = MakeLabel(QStringLiteral("changes"), gbtracks_, {8, 72, 100, 16});

  MakeLabel(QStringLiteral("Grid"), panel, {394, 37, 40, 16});
  cbgrid_ = new QComboBox(panel);
  cbgrid_->setObjectName(QStringLiteral("cbgrid"));
  cbgrid_->setGeometry(436, 34, 160, 22);
  cbgrid_->setMaxVisibleItems(20);
  connect(cbgrid_, &QComboBox::activated, this, &TFileconvForm::cbgridClick);
  MakeLabel(QStringLiteral("Datum"), panel, {394, 61, 40, 16});
  cbdatum_ = new QComboBox(panel);
  cbdatum_->setObjectName(QStringLiteral("cbdatum"));
  cbdatum_->setGeometry(436, 58, 160, 22);
  cbdatum_->setMaxVisibleItems(20);
  connect(cbdatum_, &QComboBox::activated, this, &TFileconvForm::cbdatumChange);
  cbautodatum_ = new QCheckBox(QStringLiteral("Autoset on Grid change"), panel);
  cbautodatum_->setObjectName(QStringLiteral("cbautodatum"));
  cbautodatum_->setGeometry(436, 84, 164, 20);
  connect(cbautodatum_, &QCheckBox::clicked, this, &TFileconvForm::cbautodatumClick);
  lbldefzone_ = MakeLabel(QStringLiteral("Default Zone"), panel, {394, 115, 80, 16});
  lbldefzone_->setObjectName(QStringLiteral("lbldefzone"));
  ebdefzone_ = new QLineEdit(panel);
  ebdefzone_->setObjectName(QStringLiteral("ebdefzone"));
  ebdefzone_->setGeometry(476, 112, 48, 22);
  connect(ebdefzone_, &QLineEdit::textEdited, this, &TFileconvForm::ebdefzoneChange);
  SpinButton1_ = new TSpinButton(panel);
  SpinButton1_->setObjectName(QStringLiteral("SpinButton1"));
  SpinButton1_->setGeometry(528, 112, 14, 22);
  connect(SpinButton1_, &TSpinButton::upClick, this, &TFileconvForm::SpinButton1UpClick);
  connect(SpinButton1_, &TSpinButton::downClick, this, &TFileconvForm::SpinButton1DownClick);
  lblscale_ = MakeLabel(QStringLiteral("Scale x10"), panel, {546, 115, 124, 16});
  lblscale_->setObjectName(QStringLiteral("lblscale"));

  // The record range, one group each, radio items stacked beside the number.
  auto recordGroup = [this, panel](const char* title, const char* name, const char* firstItem, int x,
                                   QButtonGroup*& buttons, QLineEdit*& edit, TSpinButton*& spin,
                                   const char* editName, const char* spinName) {
    auto* group = new QGroupBox(QString::fromLatin1(title), panel);
    group->setObjectName(QString::fromLatin1(name));
    group->setGeometry(x, 150, 160, 57);
    buttons = new QButtonGroup(this);
    auto* whole = new QRadioButton(QString::fromLatin1(firstItem), group);
    whole->setGeometry(8, 18, 136, 17);
    auto* number = new QRadioButton(QStringLiteral("Record #"), group);
    number->setGeometry(8, 36, 82, 17);
    buttons->addButton(whole, 0);
    buttons->addButton(number, 1);
    edit = new QLineEdit(group);
    edit->setObjectName(QString::fromLatin1(editName));
    edit->setGeometry(92, 34, 46, 20);
    spin = new TSpinButton(group);
    spin->setObjectName(QString::fromLatin1(spinName));
    spin->setGeometry(138, 34, 14, 20);
    return group;
  };
  rgfirstrec_ = recordGroup("First Record", "rgfirstrec", "Beginning of File", 6, firstButtons_,
                            ebfirstrec_, spbtnfirst_, "ebfirstrec", "spbtnfirst");
  rglastrec_ = recordGroup("Last Record", "rglastrec", "End of File", 172, lastButtons_, eblastrec_,
                           spbtlast_, "eblastrec", "spbtlast");
  connect(firstButtons_, &QButtonGroup::idClicked, this, &TFileconvForm::rgfirstrecClick);
  connect(lastButtons_, &QButtonGroup::idClicked, this, &TFileconvForm::rglastrecClick);
  connect(ebfirstrec_, &QLineEdit::textEdited, this, &TFileconvForm::ebfirstrecChange);
  connect(eblastrec_, &QLineEdit::textEdited, this, &TFileconvForm::eblastrecChange);
  connect(spbtnfirst_, &TSpinButton::upClick, this, &TFileconvForm::spbtnfirstUpClick);
  connect(spbtnfirst_, &TSpinButton::downClick, this, &TFileconvForm::spbtnfirstDownClick);
  connect(spbtlast_, &TSpinButton::upClick, this, &TFileconvForm::spbtlastUpClick);
  connect(spbtlast_, &TSpinButton::downClick, this, &TFileconvForm::spbtlastDownClick);

  MakeLabel(QStringLiteral("Easting/Northing Alignment"), panel, {342, 160, 172, 16});
  cbalignment_ = new QComboBox(panel);
  cbalignment_->setObjectName(QStringLiteral("cbalignment"));
  cbalignment_->setGeometry(342, 178, 130, 22);
  for (const char* item : kAlignmentItems) cbalignment_->addItem(QString::fromLatin1(item));
  connect(cbalignment_, &QComboBox::activated, this, &TFileconvForm::cbalignmentClick);
  MakeLabel(QStringLiteral("Coordinate Format"), panel, {394, 139, 114, 16});
  ebformat_ = new QLineEdit(panel);
  ebformat_->setObjectName(QStringLiteral("ebformat"));
  ebformat_->setGeometry(510, 136, 160, 22);
  ebformat_->setReadOnly(true);

  // The buttons end above the scale and format rows, which may reach under them.
  btnopenlast_ = new QPushButton(QStringLiteral("Open last file"), panel);
  btnopenlast_->setObjectName(QStringLiteral("btnopenlast"));
  btnexportas_ = new QPushButton(QStringLiteral("Export As.."), panel);
  btnexportas_->setObjectName(QStringLiteral("btnexportas"));
  btnHelp_ = new QPushButton(QStringLiteral("Help"), panel);
  btnHelp_->setObjectName(QStringLiteral("btnHelp"));
  int y = 34;
  for (QPushButton* button : {btnopenlast_, btnexportas_, btnHelp_}) {
    button->setGeometry(kDesignWidth - kButtonWidth - kButtonMargin, y, kButtonWidth, kButtonHeight);
    y += kButtonHeight + 2;
  }
  connect(btnopenlast_, &QPushButton::clicked, this, &TFileconvForm::btnopenlastClick);
  connect(btnexportas_, &QPushButton::clicked, this, &TFileconvForm::btnexportasClick);
  btnpreview_ = new QPushButton(QStringLiteral("Preview"), panel);
  btnpreview_->setObjectName(QStringLiteral("btnpreview"));
  btnpreview_->setGeometry(btnexportas_->x() - kPreviewButtonWidth - 4, btnexportas_->y(),
                           kPreviewButtonWidth, kButtonHeight);
  connect(btnpreview_, &QPushButton::clicked, this, &TFileconvForm::btnpreviewClick);
  connect(btnHelp_, &QPushButton::clicked, this, &TFileconvForm::btnHelpClick);
}

void TFileconvForm::CreateTable(QWidget* panel) {
  filegrid_ = new QTableView(panel);
  filegrid_->setObjectName(QStringLiteral("filegrid"));
  model_ = new SourceTableModel(state_, this);
  filegrid_->setModel(model_);
  filegrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  filegrid_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  filegrid_->setSelectionBehavior(QAbstractItemView::SelectItems);
  filegrid_->setWordWrap(false);
  filegrid_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  filegrid_->setCornerButtonEnabled(false);

  // Uniform sizes: no per-row measuring, so a million rows open at once.
  QHeaderView* rows = filegrid_->verticalHeader();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setMinimumSectionSize(1);
  rows->setDefaultSectionSize(kRowHeight);
  rows->setFixedWidth(kRowNumberWidth);
  rows->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QHeaderView* headings = filegrid_->horizontalHeader();
  headings->setSectionResizeMode(QHeaderView::Interactive);
  headings->setMinimumSectionSize(1);
  headings->setDefaultSectionSize(kDefaultColumnWidth);
  headings->setFixedHeight(kHeadingRowHeight);
  headings->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  headings->setHighlightSections(false);
  rows->setHighlightSections(false);
  connect(headings, &QHeaderView::sectionResized, this, &TFileconvForm::filegridColumnResized);

  // Left presses come as section presses (a press on a column edge starts a
  // drag instead); other buttons are caught on the headers' viewports.
  connect(headings, &QHeaderView::sectionPressed, this,
          [this](int section) { filegridMouseDown(Qt::Horizontal, section, QCursor::pos()); });
  connect(rows, &QHeaderView::sectionPressed, this,
          [this](int section) { filegridMouseDown(Qt::Vertical, section, QCursor::pos()); });
  headings->viewport()->installEventFilter(this);
  rows->viewport()->installEventFilter(this);
  if (auto* corner = filegrid_->findChild<QAbstractButton*>()) corner->installEventFilter(this);
}

// ---------------------------------------------------------------- events

void TFileconvForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!shown_) QTimer::singleShot(0, this, &TFileconvForm::FormShow);
}

void TFileconvForm::FormShow() {
  if (shown_) return;
  shown_ = true;
  ApplyLayoutRule();
  std::string commandLineFile = CommandLineSourceFile(arguments_);
  if (!commandLineFile.empty()) ShowLoadingPath(commandLineFile);
  Run([&] { FirstShow(state_, *ui_, arguments_); });
}

void TFileconvForm::closeEvent(QCloseEvent* event) {
  bool close = true;
  Run([&] { close = ConfirmClose(state_, *ui_); });
  if (!close) {
    event->ignore();
    return;
  }
  WindowBounds bounds;
  GetBounds(bounds.left, bounds.top, bounds.right, bounds.bottom);
  Run([&] { ShutDown(state_, *ui_, bounds); });
  event->accept();
}

bool TFileconvForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == panel_ && event->type() == QEvent::Resize) {
    ApplyLayoutRule();
    return false;
  }
  if (auto* corner = qobject_cast<QAbstractButton*>(watched);
      corner != nullptr && event->type() == QEvent::Paint) {
    QPainter painter(corner);
    QStyleOptionHeader option;
    option.initFrom(corner);
    option.state |= QStyle::State_Enabled;
    option.rect = corner->rect();
    option.text = QStringLiteral("#");
    option.textAlignment = Qt::AlignCenter;
    option.position = QStyleOptionHeader::OnlyOneSection;
    corner->style()->drawControl(QStyle::CE_Header, &option, &painter, corner);
    return true;
  }
  if (event->type() == QEvent::MouseButtonPress) {
    auto* press = static_cast<QMouseEvent*>(event);
    if (press->button() != Qt::LeftButton) {
      for (QHeaderView* header : {filegrid_->horizontalHeader(), filegrid_->verticalHeader()}) {
        if (watched != header->viewport()) continue;
        int section = header->logicalIndexAt(press->position().toPoint());
        if (section >= 0) filegridMouseDown(header->orientation(), section, press->globalPosition().toPoint());
        return true;
      }
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TFileconvForm::ApplyLayoutRule() {
  if (panel_ == nullptr || filegrid_ == nullptr) return;
  int width = panel_->width();
  filegrid_->setGeometry(0, kTableTop, width, std::max(0, panel_->height() - kTableTop));
  int x = width - btnopenlast_->width() - kButtonMargin;
  int leftmost = rgfirstrec_->geometry().right() + 1 + kButtonGap;
  x = std::max(x, leftmost);
  for (QPushButton* button : {btnopenlast_, btnexportas_, btnHelp_}) button->move(x, button->y());
  btnpreview_->move(x - btnpreview_->width() - 4, btnpreview_->y());
}

void TFileconvForm::ApplyBounds() {
  const WindowBounds& b = state_.bounds;
  int width = b.right - b.left;
  int height = b.bottom - b.top;
  if (width <= 0 || height <= 0) return;
  move(b.left, b.top);
  resize(width, height);
}

void TFileconvForm::GetBounds(int& left, int& top, int& right, int& bottom) const {
  QPoint corner = frameGeometry().topLeft();
  left = corner.x();
  top = corner.y();
  right = left + width();
  bottom = top + height();
}

// ---------------------------------------------------------------- showing

void TFileconvForm::ShowAll() {
  ShowControls();
  ShowMenus();
  ShowTable();
}

void TFileconvForm::ShowLoadingPath(const std::string& path) { fileLabelPath_ = FromPath(path); }

void TFileconvForm::ShowControls() {
  const ConversionSettings& settings = state_.settings;
  if (fileLabelPath_.isEmpty() && !state_.sourceFile.empty()) fileLabelPath_ = FromPath(state_.sourceFile);
  ebfilename_->setText(fileLabelPath_.isEmpty() ? QStringLiteral("Source File = (None)  ")
                                                : QStringLiteral("Data File = ") + fileLabelPath_);
  lblsetfile_->setText(FromPath(SettingsFileLabel(state_)));
  ShowEncoding();

  if (QAbstractButton* mode = modeButtons_->button(ModeEntry(settings))) mode->setChecked(true);
  bool waypoints = settings.mode != 'T';
  gbwpts_->setVisible(waypoints);
  gbtracks_->setVisible(!waypoints);

  bool noId = !state_.kinds.Has(Slot::ID);
  lblidprefix_->setEnabled(noId);
  ebidprefix_->setEnabled(noId);
  ShowText(ebidprefix_, state_.edits.idPrefix);
  ShowIndex(cbtextopt_, TextOptionEntry(settings.textOption));
  if (settings.symbolType >= 0) ShowIndex(cbsymtype_, settings.symbolType);

  ShowItems(cbtrackstartcol_, state_.trackStartList);
  ShowIndex(cbtrackstartcol_, TrackStartEntry(settings));
  bool noTrackStart = !state_.kinds.Has(Slot::TrackStart);
  for (QWidget* control : std::initializer_list<QWidget*>{lbltrackstart_, lbltrackchanges_, cbtrackstartcol_})
    control->setEnabled(noTrackStart);

  btnFieldBreak_->setEnabled(state_.columnBreaksEnabled);

  ShowItems(cbgrid_, state_.grid.entries);
  ShowIndex(cbgrid_, state_.grid.selected);
  ShowItems(cbdatum_, state_.datum.entries);
  ShowIndex(cbdatum_, state_.datum.selected);
  cbautodatum_->setChecked(settings.autoDatum);

  bool zoneShown = state_.grid.defaultZoneVisible;
  bool noZone = !state_.kinds.Has(Slot::Zone);
  lbldefzone_->setVisible(zoneShown);
  ebdefzone_->setVisible(zoneShown);
  lbldefzone_->setEnabled(noZone);
  ebdefzone_->setEnabled(noZone);
  ShowText(ebdefzone_, state_.edits.defaultZone);

  bool scaleShown = ScaleShown(state_);
  lblscale_->setVisible(scaleShown);
  SpinButton1_->setVisible(scaleShown);
  lblscale_->setText(FromCp1252(ScaleLabel(settings.scaleFactor)));
  ebformat_->setText(FromCp1252(FormatSample(settings, state_.kinds, state_.grid)));
  ShowIndex(cbalignment_, AlignmentEntry(settings.alignment));

  bool firstByNumber = settings.firstRecordMode == 'R';
  bool lastByNumber = settings.lastRecordMode == 'R';
  firstButtons_->button(firstByNumber ? 1 : 0)->setChecked(true);
  lastButtons_->button(lastByNumber ? 1 : 0)->setChecked(true);
  ebfirstrec_->setEnabled(firstByNumber);
  eblastrec_->setEnabled(lastByNumber);
  ShowText(ebfirstrec_, state_.edits.firstRecord);
  ShowText(eblastrec_, state_.edits.lastRecord);

  btnopenlast_->setVisible(OpenLastFileVisible(state_));
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

void TFileconvForm::ShowTable() {
  model_->Refresh();
  // 40 pixels hold five digits; a cut number would name another row.
  QHeaderView* rows = filegrid_->verticalHeader();
  int numberWidth = rows->fontMetrics().horizontalAdvance(QString::number(model_->rowCount())) + 10;
  rows->setFixedWidth(std::max(kRowNumberWidth, numberWidth));
  QHeaderView* headings = filegrid_->horizontalHeader();
  applyingWidths_ = true;
  for (int section = 0; section < model_->columnCount(); ++section) {
    std::size_t column = static_cast<std::size_t>(section) + 1;
    int width = column < state_.displayedWidths.size()
                    ? state_.displayedWidths[column]
                    : state_.settings.columns.entries[std::min<std::size_t>(column, kMaxDataColumns)].width;
    if (headings->sectionSize(section) != width) headings->resizeSection(section, std::max(width, 0));
  }
  applyingWidths_ = false;
  if (!filegrid_->currentIndex().isValid() && model_->rowCount() > 0 && model_->columnCount() > 0)
    filegrid_->selectionModel()->setCurrentIndex(model_->index(0, 0), QItemSelectionModel::ClearAndSelect);
}

QAction* TFileconvForm::FieldsAction(const QString& code) const {
  return menuBar()->findChild<QAction*>(ObjectNameOfCode("mnuFmt", code.toStdString()));
}

QAction* TFileconvForm::PopupAction(const QString& code) const {
  return kindPopup_->findChild<QAction*>(ObjectNameOfCode("pup", code.toStdString()));
}

int TFileconvForm::SelectedColumn() const {
  QModelIndex current = filegrid_->currentIndex();
  return current.isValid() ? current.column() + 1 : 0;
}

// ---------------------------------------------------------------- "File"

void TFileconvForm::Open1Click() {
  Run([&] {
    // The dialog's choice is known only inside the command; the label follows the state after it.
    std::string before = state_.sourceFile;
    OpenSourceCommand(state_, *ui_);
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

// ---------------------------------------------------------------- "Export"

void TFileconvForm::mnuExsaveAsClick() {
  Run([&] { ExportCommand(state_, *ui_); });
}

void TFileconvForm::btnexportasClick() { mnuExsaveAsClick(); }

// ---------------------------------------------------------------- preview and suggestion

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

// ---------------------------------------------------------------- kinds and table

void TFileconvForm::mnuFormatClick() {
  auto* item = qobject_cast<QAction*>(sender());
  if (item == nullptr) return;
  const KindInfo& kind = KindVocabulary()[static_cast<std::size_t>(item->data().toInt())];
  int target = SelectedColumn();
  Run([&] { AssignColumnKind(state_, *ui_, CodeOfMenuItem(kind, state_.settings.auxData), target); });
}

void TFileconvForm::PopupMenuClick() {
  auto* item = qobject_cast<QAction*>(sender());
  if (item == nullptr) return;
  const KindInfo& kind = KindVocabulary()[static_cast<std::size_t>(item->data().toInt())];
  int target = popupColumn_;
  Run([&] { AssignColumnKind(state_, *ui_, CodeOfMenuItem(kind, state_.settings.auxData), target); });
}

void TFileconvForm::mnuIgnoreallClick() {
  Run([&] { IgnoreAllColumns(state_); });
}

void TFileconvForm::filegridMouseDown(Qt::Orientation orientation, int section, const QPoint& globalPos) {
  if (section < 0) return;
  QPoint at = globalPos - QPoint(kKindPopupShiftX, kKindPopupShiftY);
  QMenu* menu = nullptr;
  if (orientation == Qt::Horizontal) {
    if (section >= model_->columnCount()) return;
    filegrid_->selectColumn(section);
    popupColumn_ = section + 1;
    menu = kindPopup_;
  } else {
    if (section >= model_->rowCount()) return;
    filegrid_->selectRow(section);
    popupRow_ = section + 1;
    menu = rowPopup_;
  }
  // After the press has been handled, so the header is not left mid-press.
  QTimer::singleShot(0, menu, [menu, at] { menu->popup(at); });
}

void TFileconvForm::puprowsclick() {
  auto* item = qobject_cast<QAction*>(sender());
  if (item == nullptr) return;
  bool first = item->objectName() == QStringLiteral("pupfirstrec");
  int row = popupRow_;
  Run([&] {
    if (first)
      MakeFirstRecord(state_, *ui_, row);
    else
      MakeLastRecord(state_, *ui_, row);
  });
}

void TFileconvForm::filegridColumnResized(int section, int /*oldSize*/, int newSize) {
  if (applyingWidths_) return;
  std::size_t column = static_cast<std::size_t>(section) + 1;
  if (column > static_cast<std::size_t>(kMaxDataColumns)) return;
  if (state_.displayedWidths.size() <= column) state_.displayedWidths.resize(column + 1, kDefaultColumnWidth);
  state_.displayedWidths[column] = newSize;
}

// ---------------------------------------------------------------- "Settings"

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

void TFileconvForm::mnuNoSettingsClick() {
  Run([&] { NoSettingsFileCommand(state_); });
}

void TFileconvForm::mnuEncodingClick(SourceEncoding encoding) {
  Run([&] { ChooseSourceEncoding(state_, *ui_, encoding); });
}

// ---------------------------------------------------------------- "Help"

void TFileconvForm::mnuContentsClick() { help_->HelpCommand(kHelpContents, kHelpMainWindow); }

void TFileconvForm::mnuTopicSearchClick() { help_->HelpCommand(kHelpPartialKey, 0); }

void TFileconvForm::mnuAboutClick() {
  TAboutFrm about(this);
  about.exec();
}

void TFileconvForm::btnHelpClick() { help_->HelpContext(kHelpMainWindow); }

// ---------------------------------------------------------------- controls

void TFileconvForm::rbmodeClick(int entry) {
  Run([&] { ChooseMode(state_, entry); });
}

void TFileconvForm::cbtextoptChange(int entry) {
  Run([&] { ChooseTextOption(state_, entry); });
}

void TFileconvForm::cbsymtypeChange() {
  int index = cbsymtype_->findText(cbsymtype_->currentText());
  Run([&] { ChooseSymbolType(state_, index); });
}

void TFileconvForm::cbtrackstartcolChange(int entry) {
  Run([&] { ChooseTrackStart(state_, entry); });
}

void TFileconvForm::ebidprefixChange(const QString& text) { state_.edits.idPrefix = ToCp1252(text); }

void TFileconvForm::ebdefzoneChange(const QString& text) {
  Run([&] { EditDefaultZone(state_, ToCp1252(text)); });
}

void TFileconvForm::SpinButton1DownClick() {
  Run([&] { StepScaleButton(state_, -1); });
}

void TFileconvForm::SpinButton1UpClick() {
  Run([&] { StepScaleButton(state_, 1); });
}

void TFileconvForm::cbautodatumClick() {
  Run([&] { SetAutoDatum(state_, cbautodatum_->isChecked()); });
}

void TFileconvForm::cbgridClick(int entry) {
  Run([&] { ChooseGrid(state_, *ui_, entry); });
}

void TFileconvForm::cbdatumChange(int entry) {
  Run([&] { ChooseDatum(state_, *ui_, entry); });
}

void TFileconvForm::cbalignmentClick(int entry) {
  Run([&] { ChooseAlignment(state_, entry); });
}

void TFileconvForm::rgfirstrecClick(int entry) {
  Run([&] { FirstRecordGroupClick(state_, *ui_, entry); });
}

void TFileconvForm::rglastrecClick(int entry) {
  Run([&] { LastRecordGroupClick(state_, entry); });
}

void TFileconvForm::ebfirstrecChange(const QString& text) { state_.edits.firstRecord = ToCp1252(text); }

void TFileconvForm::eblastrecChange(const QString& text) { state_.edits.lastRecord = ToCp1252(text); }

void TFileconvForm::spbtnfirstDownClick() {
  Run([&] { FirstSpinDown(state_, *ui_); });
}

void TFileconvForm::spbtnfirstUpClick() {
  Run([&] { FirstSpinUp(state_, *ui_); });
}

void TFileconvForm::spbtlastDownClick() {
  Run([&] { LastSpinDown(state_); });
}

void TFileconvForm::spbtlastUpClick() {
  Run([&] { LastSpinUp(state_); });
}

void TFileconvForm::btnFieldBreakClick() {
  std::string sample = ColumnBreakSample(state_);
  Tfbform dialog(state_.settings.breaks, sample, this);
  if (dialog.exec() != QDialog::Accepted || !dialog.Changed()) return;
  Run([&] { ApplyMarkLine(state_, *ui_, dialog.MarkLine(), sample.size()); });
}

}  // namespace zevi
