#include "qtui.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QCloseEvent>
#include <QProgressBar>
#include <algorithm>
#include <QPushButton>
#include <QKeyEvent>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include "cp1252.h"
#include "screenfit.h"
#include "helprouting.h"

namespace zevi {
namespace {

QString ApplicationTitle() { return QString::fromLatin1(kApplicationTitle); }

QString KindTitle(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning: return QStringLiteral("Warning");
    case MessageKind::Confirmation: return QStringLiteral("Confirmation");
    default: return QStringLiteral("Information");
  }
}

QStyle::StandardPixmap KindIcon(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning: return QStyle::SP_MessageBoxWarning;
    case MessageKind::Confirmation: return QStyle::SP_MessageBoxQuestion;
    default: return QStyle::SP_MessageBoxInformation;
  }
}

}  // namespace

QStringList QtNameFilters(const std::string& filter) {
  QStringList parts = FromCp1252(filter).split(QChar('|'));
  QStringList result;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(QChar(';'), Qt::SkipEmptyParts);
    for (QString& pattern : patterns) {
      pattern = pattern.trimmed();
      if (pattern == QStringLiteral("*.*")) pattern = QStringLiteral("*");  // names without a dot too
    }
    // The dialog hides the part in the last parentheses and shows the description.
    result << parts[i] + QStringLiteral(" (") + patterns.join(QChar(' ')) + QChar(')');
  }
  return result;
}

QString ButtonCaption(Button button) {
  switch (button) {
    case Button::Ok: return QStringLiteral("OK");
    case Button::Cancel: return QStringLiteral("Cancel");
    case Button::Yes: return QStringLiteral("&Yes");
    case Button::No: return QStringLiteral("&No");
    case Button::Abort: return QStringLiteral("&Abort");
    case Button::Ignore: return QStringLiteral("&Ignore");
    case Button::All: return QStringLiteral("&All");
  }
  return {};
}

Button DefaultAnswer(const std::vector<Button>& buttons) {
  if (buttons.empty()) return Button::Ok;
  for (Button safe : {Button::Cancel, Button::No, Button::Ignore})
    if (std::find(buttons.begin(), buttons.end(), safe) != buttons.end()) return safe;
  return buttons.front();
}

Button EscapeAnswer(const std::vector<Button>& buttons) {
  if (buttons.empty()) return Button::Ok;
  if (std::find(buttons.begin(), buttons.end(), Button::Abort) != buttons.end()) return Button::Abort;
  return buttons.back();
}

QuestionDialog::QuestionDialog(QWidget* parent, MessageKind kind, const QString& title,
                               const QString& text, const std::vector<Button>& buttons,
                               int helpContext, TUseHTMLHelp* help, std::optional<Button> preferred)
    : QDialog(parent), answer_(EscapeAnswer(buttons)) {
  setWindowTitle(title);
  setModal(true);
  auto* icon = new QLabel(this);
  int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  icon->setPixmap(style()->standardIcon(KindIcon(kind), nullptr, this).pixmap(iconSize, iconSize));
  icon->setAlignment(Qt::AlignTop);
  auto* label = new QLabel(text, this);
  label->setObjectName(QStringLiteral("questionText"));
  label->setTextFormat(Qt::PlainText);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch();
  std::vector<Button> set = buttons.empty() ? std::vector<Button>{Button::Ok} : buttons;
  for (Button button : set) {
    auto* push = new QPushButton(ButtonCaption(button), this);
    buttonRow->addWidget(push);
    buttons_.emplace_back(button, push);
    connect(push, &QPushButton::clicked, this, [this, button] {
      answer_ = button;
      accept();
    });
  }
  // Focus too: a focused push button would take Enter for itself.
  const bool offered = preferred && std::find(set.begin(), set.end(), *preferred) != set.end();
  auto* safe = static_cast<QPushButton*>(ButtonFor(offered ? *preferred : DefaultAnswer(set)));
  safe->setDefault(true);
  safe->setFocus();
  if (helpContext > 0) {
    auto* push = new QPushButton(QStringLiteral("&Help"), this);
    push->setAutoDefault(false);
    buttonRow->addWidget(push);
    helpButton_ = push;
    connect(push, &QPushButton::clicked, this, [help, helpContext] {
      if (help != nullptr) help->HelpContext(helpContext);
    });
  }
  buttonRow->addStretch();

  auto* body = new QHBoxLayout;
  body->addWidget(icon);
  body->addSpacing(10);
  body->addWidget(label, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body);
  layout->addSpacing(8);
  layout->addLayout(buttonRow);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QAbstractButton* QuestionDialog::ButtonFor(Button button) const {
  for (const auto& [which, push] : buttons_)
    if (which == button) return push;
  return nullptr;
}

void QuestionDialog::keyPressEvent(QKeyEvent* event) {
  if (helpButton_ != nullptr && event->matches(QKeySequence::HelpContents)) {
    helpButton_->click();
    return;
  }
  QDialog::keyPressEvent(event);
}

void QuestionDialog::reject() {
  std::vector<Button> set;
  for (const auto& entry : buttons_) set.push_back(entry.first);
  answer_ = EscapeAnswer(set);
  QDialog::reject();
}

ProgressBox::ProgressBox(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ProgressBox"));
  setWindowTitle(ApplicationTitle());
  setWindowModality(Qt::WindowModal);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  label_ = new QLabel(this);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 1000);
  bar_->setTextVisible(false);
  bar_->setMinimumWidth(300);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label_);
  layout->addWidget(bar_);
}

void ProgressBox::Show(const QString& task, int permille) {
  label_->setText(task);
  bar_->setValue(permille);
  if (!isVisible()) show();
  // Paint now; keys and clicks wait for whatever the work asks next.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QString ProgressBox::Task() const { return label_->text(); }

int ProgressBox::Permille() const { return bar_->value(); }

void ProgressBox::closeEvent(QCloseEvent* event) { event->ignore(); }

QtUserInterface::~QtUserInterface() = default;

void QtUserInterface::EndProgress() {
  progress_.reset();
  workClock_.invalidate();
}

void QtUserInterface::ShowMessage(const std::string& text) {
  EndProgress();
  QuestionDialog box(parent_, MessageKind::Information, ApplicationTitle(), MessageText(text),
                     {Button::Ok}, 0, help_);
  box.exec();
}

Button QtUserInterface::Ask(MessageKind kind, const std::string& text,
                            const std::vector<Button>& buttons, int helpContext) {
  EndProgress();
  QuestionDialog box(parent_, kind, KindTitle(kind), MessageText(text), buttons, helpContext, help_);
  box.exec();
  return box.Answer();
}

Button QtUserInterface::AskPreferring(MessageKind kind, const std::string& text,
                                      const std::vector<Button>& buttons, int helpContext,
                                      Button preferred) {
  EndProgress();
  QuestionDialog box(parent_, kind, KindTitle(kind), MessageText(text), buttons, helpContext, help_,
                     preferred);
  box.exec();
  return box.Answer();
}

std::string QtUserInterface::InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& proposed) {
  EndProgress();
  bool ok = false;
  QString answer = QInputDialog::getText(parent_, FromCp1252(caption), FromCp1252(prompt),
                                         QLineEdit::Normal, FromCp1252(proposed), &ok);
  return ok ? ToCp1252(answer) : proposed;
}

std::optional<std::string> QtUserInterface::ChooseOpenFile(const FileDialogRequest& request) {
  return ChooseFile(request, false);
}

std::optional<std::string> QtUserInterface::ChooseSaveFile(const FileDialogRequest& request) {
  return ChooseFile(request, true);
}

std::optional<std::string> QtUserInterface::ChooseFile(const FileDialogRequest& request, bool save) {
  EndProgress();
  QFileDialog dialog(parent_, FromCp1252(request.title));
  // The desktop's own chooser where the platform offers one, unless
  // Qt::AA_DontUseNativeDialogs asks for Qt's (ZEVI_QT_FILE_DIALOGS, tests).
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  // The converter asks its own overwrite question.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  QStringList filters = QtNameFilters(request.filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
      dialog.selectNameFilter(filters[request.filterIndex - 1]);
  }
  if (!request.initialFolder.empty()) dialog.setDirectory(FromPath(request.initialFolder));
  if (!request.defaultExtension.empty()) dialog.setDefaultSuffix(FromCp1252(request.defaultExtension));
  if (!request.fileName.empty()) dialog.selectFile(FromPath(request.fileName));
  // Qt's own chooser, where the desktop has none, sizes itself for a screen
  // of common size; on a small or scaled one its buttons would fall below the
  // screen's edge. A native chooser sizes itself.
  dialog.setMinimumSize(BoundedToScreen(dialog.minimumSizeHint(), parent_));
  dialog.resize(BoundedToScreen(dialog.sizeHint(), parent_));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ToPath(dialog.selectedFiles().front());
}

void ShowCellOfTable(QTableView& table, int column, int row) {
  QAbstractItemModel* model = table.model();
  if (model == nullptr || model->rowCount() == 0 || model->columnCount() == 0) return;
  int r = std::clamp(row - 1, 0, model->rowCount() - 1);
  int c = std::clamp(column - 1, 0, model->columnCount() - 1);
  QModelIndex cell = model->index(r, c);
  table.setCurrentIndex(cell);
  table.selectionModel()->select(cell, QItemSelectionModel::ClearAndSelect);
  table.scrollTo(model->index(std::max(0, r - 3), c), QAbstractItemView::PositionAtTop);
}

void QtUserInterface::ShowFailingCell(int column, int row) {
  if (table_) ShowCellOfTable(*table_, column, row);
}

void QtUserInterface::Progress(std::string_view task, std::int64_t done, std::int64_t total) {
  if (total <= kProgressThreshold) return;
  if (done >= total) {
    EndProgress();
    return;
  }
  if (!workClock_.isValid()) workClock_.start();
  if (!progress_ && workClock_.elapsed() < progressDelayMs_) return;
  if (!progress_) progress_ = std::make_unique<ProgressBox>(parent_);
  progress_->Show(FromCp1252(task), static_cast<int>(std::clamp<std::int64_t>(done * 1000 / total, 0, 1000)));
}

}  // namespace zevi
