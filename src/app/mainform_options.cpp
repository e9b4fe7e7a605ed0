// The option panel above the table: its controls, their layout and handlers.
#include "mainform.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <algorithm>
#include <exception>
#include <optional>

#include "cp1252.h"
#include "fbform.h"
#include "mainform_parts.h"
#include "settings/options.h"
#include "qtui.h"
#include "settings/settingscommands.h"
#include "settings/startup.h"
#include "settings/state.h"
#include "source/breaks.h"
#include "source/range.h"
#include "spinbutton.h"
#include "values/gridvalues.h"

namespace zevi {
namespace {

constexpr int kButtonWidth = 92;
constexpr int kButtonHeight = 24;
constexpr int kButtonMargin = 24;   // right of the buttons
constexpr int kButtonsTop = 34;
constexpr int kSettingsGroupHeight = 104;  // ends above the format row
constexpr int kLowerRowsLeft = 338;  // right of the "Last Record" group
constexpr int kButtonGap = 10;      // right of the "First Record" group, at least

const char* const kAlignmentItems[] = {"Right Aligned ", "x 10", "x 100", "x 1000", "Left Aligned"};
const char* const kTextOptionItems[] = {"(None)", "ID", "Comment", "Altitude",
                                        "ID&Comment", "ID+Altitude", "Comment Altitude"};

// Wide enough for the longest sample any grid, notation or alignment gives.
int FormatBoxWidth(const QFontMetrics& metrics) {
  int widest = 0;
  for (const char* sample : {"01234567000   03456789000   ZNE", "DD MM SS.ss DDD MM SS.ss",
                             "GARMIN 01234567 89ABCDEF", "DDMM.mmmm DDDMM.mmmm"})
    widest = std::max(widest, metrics.horizontalAdvance(QString::fromLatin1(sample)));
  return widest + 16;  // frame and text margins
}

// A label at least as wide as its text, whatever the font.
QLabel* MakeLabel(const QString& text, QWidget* parent, const QRect& where) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  QRect place = where;
  place.setWidth(std::max(where.width(), label->fontMetrics().horizontalAdvance(text) + 4));
  label->setGeometry(place);
  return label;
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
  gbwpts_->setGeometry(124, 36, 262, kSettingsGroupHeight);
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
  gbtracks_->setGeometry(124, 36, 262, kSettingsGroupHeight);
  lbltrackstart_ = MakeLabel(QStringLiteral("Start new track when"), gbtracks_, {8, 24, 200, 16});
  cbtrackstartcol_ = new QComboBox(gbtracks_);
  cbtrackstartcol_->setObjectName(QStringLiteral("cbtrackstartcol"));
  cbtrackstartcol_->setGeometry(8, 44, 246, 22);
  connect(cbtrackstartcol_, &QComboBox::activated, this, &TFileconvForm::cbtrackstartcolChange);
  lbltrackchanges_ = MakeLabel(QStringLiteral("changes"), gbtracks_, {8, 72, 100, 16});

  MakeLabel(QStringLiteral("Grid"), panel, {392, 37, 44, 16});
  cbgrid_ = new QComboBox(panel);
  cbgrid_->setObjectName(QStringLiteral("cbgrid"));
  cbgrid_->setGeometry(438, 34, 158, 22);
  cbgrid_->setMaxVisibleItems(20);
  connect(cbgrid_, &QComboBox::activated, this, &TFileconvForm::cbgridClick);
  MakeLabel(QStringLiteral("Datum"), panel, {392, 61, 44, 16});
  cbdatum_ = new QComboBox(panel);
  cbdatum_->setObjectName(QStringLiteral("cbdatum"));
  cbdatum_->setGeometry(438, 58, 158, 22);
  cbdatum_->setMaxVisibleItems(20);
  connect(cbdatum_, &QComboBox::activated, this, &TFileconvForm::cbdatumChange);
  cbautodatum_ = new QCheckBox(QStringLiteral("Autoset on Grid change"), panel);
  cbautodatum_->setObjectName(QStringLiteral("cbautodatum"));
  cbautodatum_->setGeometry(436, 84, 164, 20);
  connect(cbautodatum_, &QCheckBox::clicked, this, &TFileconvForm::cbautodatumClick);
  lbldefzone_ = MakeLabel(QStringLiteral("Default Zone"), panel, {392, 115, 80, 16});
  lbldefzone_->setObjectName(QStringLiteral("lbldefzone"));
  ebdefzone_ = new QLineEdit(panel);
  ebdefzone_->setObjectName(QStringLiteral("ebdefzone"));
  ebdefzone_->setGeometry(476, 112, 48, 22);
  connect(ebdefzone_, &QLineEdit::textEdited, this, &TFileconvForm::ebdefzoneChange);
  // The record range, one group each, radio items stacked beside the number.
  auto recordGroup = [this, panel](const char* title, const char* name, const char* firstItem, int x,
                                   QButtonGroup*& buttons, QLineEdit*& edit, TSpinButton*& spin,
                                   const char* editName, const char* spinName) {
    auto* group = new QGroupBox(QString::fromLatin1(title), panel);
    group->setObjectName(QString::fromLatin1(name));
    group->setGeometry(x, 150, 160, 57);
    buttons = new QButtonGroup(this);
    auto* whole = new QRadioButton(QString::fromLatin1(firstItem), group);
    whole->setGeometry(8, 17, 136, 16);
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

  // Below the buttons, right of the record range: the grid number rows.
  QLabel* formatLabel = MakeLabel(QStringLiteral("Coordinate Format"), panel, {kLowerRowsLeft, 145, 0, 16});
  ebformat_ = new QLineEdit(panel);
  ebformat_->setObjectName(QStringLiteral("ebformat"));
  ebformat_->setReadOnly(true);
  ebformat_->setFocusPolicy(Qt::NoFocus);
  ebformat_->setGeometry(formatLabel->geometry().right() + 8, 142, FormatBoxWidth(ebformat_->fontMetrics()), 22);
  QLabel* alignmentLabel =
      MakeLabel(QStringLiteral("Easting/Northing Alignment"), panel, {kLowerRowsLeft, 169, 0, 16});
  cbalignment_ = new QComboBox(panel);
  cbalignment_->setObjectName(QStringLiteral("cbalignment"));
  cbalignment_->setGeometry(alignmentLabel->geometry().right() + 8, 166, 120, 22);
  for (const char* item : kAlignmentItems) cbalignment_->addItem(QString::fromLatin1(item));
  connect(cbalignment_, &QComboBox::activated, this, &TFileconvForm::cbalignmentClick);
  SpinButton1_ = new TSpinButton(panel);
  SpinButton1_->setObjectName(QStringLiteral("SpinButton1"));
  SpinButton1_->setGeometry(kLowerRowsLeft, 189, 14, 20);
  connect(SpinButton1_, &TSpinButton::upClick, this, &TFileconvForm::SpinButton1UpClick);
  connect(SpinButton1_, &TSpinButton::downClick, this, &TFileconvForm::SpinButton1DownClick);
  lblscale_ = MakeLabel(QStringLiteral("Scale x10"), panel, {kLowerRowsLeft + 18, 191, 130, 16});
  lblscale_->setObjectName(QStringLiteral("lblscale"));

  // One column of buttons, each in a place of its own, ending above the format row.
  btnopenlast_ = new QPushButton(QStringLiteral("Open last file"), panel);
  btnopenlast_->setObjectName(QStringLiteral("btnopenlast"));
  btnexportas_ = new QPushButton(QStringLiteral("Export As.."), panel);
  btnexportas_->setObjectName(QStringLiteral("btnexportas"));
  btnpreview_ = new QPushButton(QStringLiteral("Preview"), panel);
  btnpreview_->setObjectName(QStringLiteral("btnpreview"));
  btnHelp_ = new QPushButton(QStringLiteral("Help"), panel);
  btnHelp_->setObjectName(QStringLiteral("btnHelp"));
  int y = kButtonsTop;
  for (QPushButton* button : {btnopenlast_, btnexportas_, btnpreview_, btnHelp_}) {
    button->setGeometry(kDesignWidth - kButtonWidth - kButtonMargin, y, kButtonWidth, kButtonHeight);
    y += kButtonHeight + 2;
  }
  connect(btnopenlast_, &QPushButton::clicked, this, &TFileconvForm::btnopenlastClick);
  connect(btnexportas_, &QPushButton::clicked, this, &TFileconvForm::btnexportasClick);
  connect(btnpreview_, &QPushButton::clicked, this, &TFileconvForm::btnpreviewClick);
  connect(btnHelp_, &QPushButton::clicked, this, &TFileconvForm::btnHelpClick);
}

// Reading order: the options from left to right, the buttons, then the table.
void TFileconvForm::SetTabOrder() {
  std::vector<QWidget*> order;
  for (QAbstractButton* radio : modeButtons_->buttons()) order.push_back(radio);
  order.insert(order.end(), {btnFieldBreak_, ebidprefix_, cbtextopt_, cbsymtype_, cbtrackstartcol_, cbgrid_,
                             cbdatum_, cbautodatum_, ebdefzone_});
  for (QButtonGroup* group : {firstButtons_, lastButtons_}) {
    for (QAbstractButton* radio : group->buttons()) order.push_back(radio);
    order.push_back(group == firstButtons_ ? static_cast<QWidget*>(ebfirstrec_) : eblastrec_);
  }
  order.insert(order.end(), {cbalignment_, btnopenlast_, btnexportas_, btnpreview_, btnHelp_, filegrid_});
  for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void TFileconvForm::ApplyLayoutRule() {
  if (panel_ == nullptr || filegrid_ == nullptr) return;
  int width = panel_->width();
  filegrid_->setGeometry(0, kTableTop, width, std::max(0, panel_->height() - kTableTop));
  int x = width - btnopenlast_->width() - kButtonMargin;
  int leftmost = rgfirstrec_->geometry().right() + 1 + kButtonGap;
  x = std::max(x, leftmost);
  for (QPushButton* button : {btnopenlast_, btnexportas_, btnpreview_, btnHelp_}) button->move(x, button->y());
  ShowEncoding();
}

void TFileconvForm::ShowEncoding() {
  for (const auto& [encoding, item] : encodingActions_) item->setChecked(encoding == state_.settings.encoding);
  // Only the loaded file has an encoding in force; a path that failed to load has none.
  bool loaded = !state_.sourceFile.empty() && fileLabelPath_ == FromPath(state_.sourceFile);
  lblencoding_->setText(loaded ? QStringLiteral("(%1)").arg(FromCp1252(EncodingName(state_.sourceEncoding)))
                               : QString());
  // The file label gives up room for the encoding, so a long path is cut
  // before the encoding is.
  const int room = width() - ebfilename_->x();
  const int label = lblencoding_->text().isEmpty() ? 0 : lblencoding_->sizeHint().width();
  const int name = ebfilename_->fontMetrics().horizontalAdvance(ebfilename_->text()) + 4;
  const int nameWidth = label == 0 ? room : std::max(0, std::min(name, room - label - 8));
  ebfilename_->resize(nameWidth, ebfilename_->height());
  lblencoding_->setVisible(label > 0);
  lblencoding_->setGeometry(ebfilename_->x() + nameWidth + 8, ebfilename_->y(), label, ebfilename_->height());
}

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
  // The dialog has no help of its own: F1 there asks for the window's.
  auto* helpKey = new QShortcut(QKeySequence::HelpContents, &dialog);
  connect(helpKey, &QShortcut::activated, this, &TFileconvForm::btnHelpClick);
  if (dialog.exec() != QDialog::Accepted || !dialog.Changed()) return;
  Run([&] { ApplyMarkLine(state_, *ui_, dialog.MarkLine(), sample.size()); });
}

}  // namespace zevi
