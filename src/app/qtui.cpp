#include "qtui.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include "cp1252.h"
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

QuestionDialog::QuestionDialog(QWidget* parent, MessageKind kind, const QString& title,
                               const QString& text, const std::vector<Button>& buttons,
                               int helpContext, TUseHTMLHelp* help)
    : QDialog(parent), answer_(buttons.empty() ? Button::Ok : buttons.back()) {
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
  static_cast<QPushButton*>(buttons_.front().second)->setDefault(true);
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

void QuestionDialog::reject() {
  answer_ = buttons_.back().first;
  QDialog::reject();
}

QtUserInterface::~QtUserInterface() = default;

void QtUserInterface::ShowMessage(const std::string& text) {
  QuestionDialog box(parent_, MessageKind::Information, ApplicationTitle(), MessageText(text),
                     {Button::Ok}, 0, help_);
  box.exec();
}

Button QtUserInterface::Ask(MessageKind kind, const std::string& text,
                            const std::vector<Button>& buttons, int helpContext) {
  QuestionDialog box(parent_, kind, KindTitle(kind), MessageText(text), buttons, helpContext, help_);
  box.exec();
  return box.Answer();
}

std::string QtUserInterface::InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& proposed) {
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
  QFileDialog dialog(parent_, FromCp1252(request.title));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
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
  constexpr int kSteps = 1000;
  if (done >= total) {
    progress_.reset();
    return;
  }
  if (!progress_) {
    progress_ = std::make_unique<QProgressDialog>(FromCp1252(task), QString(), 0, kSteps, parent_);
    progress_->setWindowTitle(ApplicationTitle());
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setMinimumDuration(300);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
  }
  progress_->setLabelText(FromCp1252(task));
  progress_->setValue(static_cast<int>(done * kSteps / total));
}

}  // namespace zevi
