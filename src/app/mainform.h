#pragma once
// TFileconvForm, the main window. It holds no conversion logic: every handler
// edits the one AppState through a core command, then ShowAll shows every
// control again from the state.
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "source/encoding.h"

class QAction;
class QActionGroup;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTableView;

namespace zevi {

struct AppState;
struct StartupPlatform;
class HelpViewer;
class PreviewDialog;
class QtUserInterface;
class SourceTableModel;
class TSpinButton;
class TUseHTMLHelp;
class UserInterface;

inline constexpr const char* kWindowTitle = "ZEVI Import File Converter - Version 1.36";
inline constexpr int kDesignWidth = 820;
inline constexpr int kDesignHeight = 493;
// The smallest window in which no control overlaps another or is cut.
inline constexpr int kMinimumWidth = 720;
inline constexpr int kMinimumHeight = 400;
inline constexpr int kTableTop = 209;            // the controls above, the table below
inline constexpr int kHeadingRowHeight = 24;
inline constexpr int kRowHeight = 17;
inline constexpr int kRowNumberWidth = 40;
inline constexpr int kKindPopupShiftX = 20;      // the pop-ups open left of and above the pointer
inline constexpr int kKindPopupShiftY = 8;

// Everything the window takes from outside; tests give their own.
struct FormEnvironment {
  UserInterface* ui = nullptr;          // null: dialogs of the window's own
  HelpViewer* helpViewer = nullptr;     // null: the desktop's viewer
  StartupPlatform* platform = nullptr;  // null: StartupPlatform::Current()
  std::vector<std::string> arguments;   // command line, without the program name
};

class TFileconvForm : public QMainWindow {
  Q_OBJECT

 public:
  explicit TFileconvForm(AppState& state, FormEnvironment environment = {}, QWidget* parent = nullptr);
  ~TFileconvForm() override;

  UserInterface& Ui() const { return *ui_; }
  TUseHTMLHelp& Help() const { return *help_; }
  QTableView* Table() const { return filegrid_; }
  QMenu* KindPopup() const { return kindPopup_; }
  QMenu* RowPopup() const { return rowPopup_; }
  // The kind items of the "Fields" menu and of the column pop-up, by code as
  // the vocabulary lists it ("KD", "A" for the aux item).
  QAction* FieldsAction(const QString& code) const;
  QAction* PopupAction(const QString& code) const;
  // The data column the "Fields" menu acts on: the current cell's (1-based),
  // or 0 when there is none or a row number was chosen last.
  int SelectedColumn() const;
  // A file dropped on the window: a ".ini" file opens as "Open Settings..."
  // would, any other as "Open..." would.
  void OpenDroppedFile(const std::string& path);
  // The window's bounds as the configuration keeps them.
  void GetBounds(int& left, int& top, int& right, int& bottom) const;

 public slots:
  // The first show: the rest of start-up. Runs once.
  void FormShow();
  // Re-shows every control from the state.
  void ShowAll();
  void ApplyLayoutRule();

  // "File"
  void Open1Click();
  void RecentFileClick(int index);
  void btnopenlastClick();
  // "Export"
  void mnuExsaveAsClick();
  void btnexportasClick();
  // "Fields" and the table's pop-ups
  void mnuFormatClick();
  void PopupMenuClick();
  void mnuIgnoreallClick();
  void mnuSuggestKindsClick();
  void filegridMouseDown(Qt::Orientation orientation, int section, const QPoint& globalPos);
  void puprowsclick();
  void filegridColumnResized(int section, int oldSize, int newSize);
  // "Settings"
  void mnuDateClick(char letter);
  void mnuListSepClick(int entry);
  void mnuDecSepClick(char mark);
  void mnuLatSignClick(int sign);
  void mnuLongSignClick(int sign);
  void mnuAuxClick(char letter);
  void mnugridsClick(int gridSwitch);
  void mnuscaleClick();
  void mnuOpenSettingsClick();
  void mnuSaveSettingsClick();
  void mnuSaveSettingsAsClick();
  void mnuNoSettingsClick();
  void mnuEncodingClick(SourceEncoding encoding);
  // "View"
  void mnuPreviewClick();
  void btnpreviewClick();
  // "Help"
  void mnuContentsClick();
  void mnuTopicSearchClick();
  void mnuAboutClick();
  void btnHelpClick();
  // Controls
  void rbmodeClick(int entry);
  void cbtextoptChange(int entry);
  void cbsymtypeChange();
  void cbtrackstartcolChange(int entry);
  void ebidprefixChange(const QString& text);
  void ebdefzoneChange(const QString& text);
  void SpinButton1DownClick();
  void SpinButton1UpClick();
  void cbautodatumClick();
  void cbgridClick(int entry);
  void cbdatumChange(int entry);
  void cbalignmentClick(int entry);
  void rgfirstrecClick(int entry);
  void rglastrecClick(int entry);
  void ebfirstrecChange(const QString& text);
  void eblastrecChange(const QString& text);
  void spbtnfirstDownClick();
  void spbtnfirstUpClick();
  void spbtlastDownClick();
  void spbtlastUpClick();
  void btnFieldBreakClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Runs a command; a failure it lets out is shown as a message, as the
  // toolkit's own handler would; then everything is shown again.
  template <class Command>
  void Run(Command&& command);
  // Called before a file is loaded, so the label shows the path even when
  // the file turns out to be missing.
  void ShowLoadingPath(const std::string& path);
  // "Open..." with the file dialog of the given user.
  void OpenSourceThrough(UserInterface& ui);

  void CreateMenus();
  void CreateFieldsMenu(QMenu* menu, bool popup);
  // Settings > "Source Encoding", and the encoding shown beside the file name.
  void CreateEncodingMenu(QMenu* settings);
  void ShowEncoding();
  void CreateControls(QWidget* panel);
  void CreateTable(QWidget* panel);
  void SetTabOrder();
  void ShowTable();
  void ShowMenus();
  void ShowControls();
  void ApplyBounds();
  // The minimum size, or the screen's room where that is smaller.
  void FitMinimumToScreen();
  // FitMinimumToScreen once the window manager's frame is known, and the
  // title bar brought into the screen; asks every kFrameWaitMs, at most
  // `waitsLeft` times.
  void FitWhenFramed(int waitsLeft);
  static constexpr int kFrameWaits = 40;
  static constexpr int kFrameWaitMs = 50;

  AppState& state_;
  std::unique_ptr<HelpViewer> ownViewer_;
  std::unique_ptr<TUseHTMLHelp> help_;
  std::unique_ptr<QtUserInterface> ownUi_;
  UserInterface* ui_;
  std::vector<std::string> arguments_;
  std::vector<std::string> startupMessages_;  // shown once the window is on the screen
  bool shown_ = false;
  bool applyingWidths_ = false;
  QString fileLabelPath_;  // the path of the last load asked for
  int popupColumn_ = 0;    // data column (1-based) of the kind pop-up
  int popupRow_ = 0;       // row of the row pop-up
  bool rowChosen_ = false; // a row number, not a cell, was chosen last

  // Menus
  std::array<QAction*, 9> recentActions_{};
  QAction* saveSettingsAction_ = nullptr;
  QAction* userSeparatorAction_ = nullptr;
  std::vector<QAction*> dateActions_, listSeparatorActions_, decimalActions_, latitudeActions_,
      longitudeActions_, auxActions_, gridFileActions_;
  std::vector<QAction*> fieldsAuxActions_;  // the aux item of the Fields menu and of the pop-up
  std::vector<std::pair<SourceEncoding, QAction*>> encodingActions_;
  QMenu* kindPopup_ = nullptr;
  QMenu* rowPopup_ = nullptr;

  // Controls
  QLabel* ebfilename_ = nullptr;
  QLabel* lblsetfile_ = nullptr;
  QLabel* lblencoding_ = nullptr;
  QGroupBox* rbmode_ = nullptr;
  QButtonGroup* modeButtons_ = nullptr;
  QGroupBox* gbwpts_ = nullptr;
  QLabel* lblidprefix_ = nullptr;
  QLineEdit* ebidprefix_ = nullptr;
  QComboBox* cbtextopt_ = nullptr;
  QComboBox* cbsymtype_ = nullptr;
  QGroupBox* gbtracks_ = nullptr;
  QLabel* lbltrackstart_ = nullptr;
  QLabel* lbltrackchanges_ = nullptr;
  QComboBox* cbtrackstartcol_ = nullptr;
  QPushButton* btnFieldBreak_ = nullptr;
  QComboBox* cbgrid_ = nullptr;
  QComboBox* cbdatum_ = nullptr;
  QCheckBox* cbautodatum_ = nullptr;
  QLabel* lbldefzone_ = nullptr;
  QLineEdit* ebdefzone_ = nullptr;
  QLabel* lblscale_ = nullptr;
  TSpinButton* SpinButton1_ = nullptr;
  QLineEdit* ebformat_ = nullptr;
  QComboBox* cbalignment_ = nullptr;
  QGroupBox* rgfirstrec_ = nullptr;
  QButtonGroup* firstButtons_ = nullptr;
  QLineEdit* ebfirstrec_ = nullptr;
  TSpinButton* spbtnfirst_ = nullptr;
  QGroupBox* rglastrec_ = nullptr;
  QButtonGroup* lastButtons_ = nullptr;
  QLineEdit* eblastrec_ = nullptr;
  TSpinButton* spbtlast_ = nullptr;
  QPushButton* btnopenlast_ = nullptr;
  QPushButton* btnexportas_ = nullptr;
  QPushButton* btnpreview_ = nullptr;
  QPointer<PreviewDialog> preview_;
  QPushButton* btnHelp_ = nullptr;
  QWidget* panel_ = nullptr;
  QSize frame_;  // the window manager's frame round the window, once known
  QTableView* filegrid_ = nullptr;
  SourceTableModel* model_ = nullptr;
};

// The 23 symbol set types, by index.
const std::vector<const char*>& SymbolSetTypes();

}  // namespace zevi
