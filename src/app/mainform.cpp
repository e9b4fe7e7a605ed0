#include "mainform.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollArea>
#include <QWindow>
#include <QUrl>
#include <QPainter>
#include <QShortcut>
#include <QStyleOptionHeader>
#include <QTimer>
#include <algorithm>
#include <exception>
#include <optional>
#include <utility>

#include "cp1252.h"
#include "helprouting.h"
#include "helpwindow.h"
#include "mainform_parts.h"
#include "settings/options.h"
#include "platform/help.h"
#include "qtui.h"
#include "settings/appconfig.h"
#include "settings/settingscommands.h"
#include "settings/startup.h"
#include "settings/state.h"

namespace zevi {

TFileconvForm::TFileconvForm(AppState& state, FormEnvironment environment, QWidget* parent)
    : QMainWindow(parent), state_(state), arguments_(std::move(environment.arguments)) {
  setObjectName(QStringLiteral("FileconvForm"));
  setWindowTitle(QString::fromLatin1(kWindowTitle));
  HelpViewer* viewer = environment.helpViewer;
  if (viewer == nullptr) {
    ownViewer_ = std::make_unique<QtHelpViewer>(this, [this](const std::string& text) { ui_->ShowMessage(text); });
    viewer = ownViewer_.get();
  }
  help_ = std::make_unique<TUseHTMLHelp>(*viewer, std::string());
  ui_ = environment.ui;
  if (ui_ == nullptr) {
    ownUi_ = std::make_unique<QtUserInterface>(this, help_.get());
    ui_ = ownUi_.get();
  }

  panel_ = new QWidget;
  QFont font = panel_->font();
  font.setPixelSize(kFontPixels);
  panel_->setFont(font);
  // The controls stand where the layout rule puts them, and need the
  // minimum width to do so: on a screen smaller than that the panel scrolls
  // rather than the window growing past the screen's edge.
  auto* panelArea = new QScrollArea(this);
  panelArea->setObjectName(QStringLiteral("panelArea"));
  panelArea->setFrameShape(QFrame::NoFrame);
  panelArea->setWidgetResizable(true);
  panelArea->setWidget(panel_);
  setCentralWidget(panelArea);
  CreateMenus();
  CreateControls(panel_);
  CreateTable(panel_);
  if (ownUi_) ownUi_->SetTable(filegrid_);
  panel_->installEventFilter(this);
  SetTabOrder();
  auto* helpKey = new QShortcut(QKeySequence::HelpContents, this);
  connect(helpKey, &QShortcut::activated, this, &TFileconvForm::btnHelpClick);
  setAcceptDrops(true);
  panel_->setMinimumSize(kMinimumWidth, kMinimumHeight - menuBar()->sizeHint().height());
  FitMinimumToScreen();
  resize(kDesignWidth, kDesignHeight);

  HeldMessages held(*ui_);
  Run([&] {
    std::optional<StartupPlatform> current;
    StartupPlatform* platform = environment.platform;
    if (platform == nullptr) platform = &current.emplace(StartupPlatform::Current());
    StartUp(state_, held, *platform);
  });
  startupMessages_ = held.Take();
  help_->SetHelpFile(state_.programFolder + kHelpFileName);
  ApplyBounds();
}

TFileconvForm::~TFileconvForm() = default;

void TFileconvForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!shown_) {
    if (QWindow* window = windowHandle())
      connect(window, &QWindow::screenChanged, this, &TFileconvForm::FitMinimumToScreen, Qt::UniqueConnection);
    QTimer::singleShot(0, this, &TFileconvForm::FormShow);
  }
}

void TFileconvForm::FitWhenFramed(int waitsLeft) {
  if (!isVisible()) return;
  // Some window managers frame a window without moving it, and say nothing
  // Qt hears as an event: asked again until the frame is known.
  if ((frameGeometry().size() - size()).isEmpty()) {
    if (waitsLeft > 0) QTimer::singleShot(kFrameWaitMs, this, [this, waitsLeft] { FitWhenFramed(waitsLeft - 1); });
    return;
  }
  FitMinimumToScreen();
  // Placed before its frame was known, the window may stand with its title
  // bar above the screen's top, out of reach: moved down into the screen.
  QScreen* shownOn = screen();
  if (shownOn == nullptr || isMaximized() || isFullScreen()) return;
  const QRect free = shownOn->availableGeometry();
  const QPoint corner = frameGeometry().topLeft();
  if (corner.y() < free.top() || corner.x() < free.left())
    move(std::max(corner.x(), free.left()), std::max(corner.y(), free.top()));
}

void TFileconvForm::FitMinimumToScreen() {
  QScreen* shownOn = screen();
  if (shownOn == nullptr) return;
  if (const QSize frame = frameGeometry().size() - size(); isVisible() && !frame.isEmpty()) frame_ = frame;
  // Until the window manager has said how large its frame is, a tenth of
  // the screen is left for it.
  const QSize area = shownOn->availableGeometry().size();
  const QSize room = frame_.isEmpty() ? area * 0.9 : area - frame_;
  setMinimumSize(std::clamp(room.width(), 1, kMinimumWidth), std::clamp(room.height(), 1, kMinimumHeight));
  if (!isVisible() || isMaximized() || isFullScreen()) return;
  if (width() > room.width() || height() > room.height()) resize(size().boundedTo(room));
}

void TFileconvForm::FormShow() {
  if (shown_) return;
  shown_ = true;
  FitMinimumToScreen();
  FitWhenFramed(kFrameWaits);
  ApplyLayoutRule();
  for (const std::string& text : std::exchange(startupMessages_, {})) ui_->ShowMessage(text);
  std::string commandLineFile = CommandLineSourceFile(arguments_);
  if (!commandLineFile.empty()) ShowLoadingPath(commandLineFile);
  Run([&] { FirstShow(state_, *ui_, arguments_); });
}

namespace {

// The local files of a drop; a drop of anything else is refused.
std::vector<std::string> DroppedFiles(const QMimeData* data) {
  std::vector<std::string> files;
  if (data == nullptr || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) files.push_back(ToPath(url.toLocalFile()));
  return files;
}

// Answers the file dialog of one command with a file chosen beforehand,
// so a drop runs the very command the menu runs.
class ChosenFileUi : public ForwardingUserInterface {
 public:
  ChosenFileUi(UserInterface& ui, std::string path) : ForwardingUserInterface(ui), path_(std::move(path)) {}
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override {
    if (used_) return ui_.ChooseOpenFile(request);
    used_ = true;
    return path_;
  }

 private:
  std::string path_;
  bool used_ = false;
};

bool IsSettingsFile(const std::string& path) {
  return QString::fromStdString(path).endsWith(QStringLiteral(".ini"), Qt::CaseInsensitive);
}

}  // namespace

void TFileconvForm::dragEnterEvent(QDragEnterEvent* event) {
  if (DroppedFiles(event->mimeData()).size() == 1) event->acceptProposedAction();
}

void TFileconvForm::dropEvent(QDropEvent* event) {
  std::vector<std::string> files = DroppedFiles(event->mimeData());
  if (files.size() != 1) return;
  event->acceptProposedAction();
  // The drag source waits for the drop to end; the file opens after that.
  std::string path = files.front();
  QTimer::singleShot(0, this, [this, path] { OpenDroppedFile(path); });
}

void TFileconvForm::OpenDroppedFile(const std::string& path) {
  ChosenFileUi chosen(*ui_, path);
  if (IsSettingsFile(path)) {
    Run([&] { OpenSettingsCommand(state_, chosen); });
    return;
  }
  OpenSourceThrough(chosen);
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

void TFileconvForm::ApplyBounds() {
  std::vector<ScreenArea> screens;
  QList<QScreen*> all = QGuiApplication::screens();
  all.removeOne(QGuiApplication::primaryScreen());
  all.prepend(QGuiApplication::primaryScreen());
  for (QScreen* screen : all) {
    if (screen == nullptr) continue;
    QRect area = screen->availableGeometry();
    screens.push_back({area.left(), area.top(), area.left() + area.width(), area.top() + area.height()});
  }
  state_.bounds = PlaceWindow(state_.bounds, kDefaultWindowWidth, kDefaultWindowHeight, screens);
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

void TFileconvForm::ShowAll() {
  ShowControls();
  ShowMenus();
  ShowTable();
}

void TFileconvForm::ShowLoadingPath(const std::string& path) { fileLabelPath_ = FromPath(path); }

}  // namespace zevi
