#include "helpwindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "cp1252.h"
#include "screenfit.h"

namespace zevi {
namespace {

constexpr int kPageRole = Qt::UserRole;

QString ReadText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

QString FirstMatch(const QString& text, const QRegularExpression& pattern) {
  QRegularExpressionMatch match = pattern.match(text);
  return match.hasMatch() ? match.captured(1).simplified() : QString();
}

QListWidgetItem* PageItem(const QString& text, const QString& page) {
  auto* item = new QListWidgetItem(text);
  item->setData(kPageRole, page);
  return item;
}

}  // namespace

std::string ManualMissingText(const std::string& folder) {
  return "User manual not found\r\n" + folder;
}

HelpWindow::HelpWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(QStringLiteral("ZEVI Import File Converter Help"));
  setAttribute(Qt::WA_DeleteOnClose);

  back_ = new QPushButton(QStringLiteral("< Back"), this);
  back_->setObjectName(QStringLiteral("btnHelpBack"));
  forward_ = new QPushButton(QStringLiteral("Forward >"), this);
  forward_->setObjectName(QStringLiteral("btnHelpForward"));
  auto* home = new QPushButton(QStringLiteral("Contents"), this);
  home->setObjectName(QStringLiteral("btnHelpContents"));
  back_->setEnabled(false);
  forward_->setEnabled(false);

  browser_ = new QTextBrowser(this);
  browser_->setObjectName(QStringLiteral("helpBrowser"));
  browser_->setOpenExternalLinks(true);
  connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
  connect(home, &QPushButton::clicked, this, [this] { ShowPage(folder_ + kContentsPage); });
  connect(browser_, &QTextBrowser::backwardAvailable, back_, &QPushButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QPushButton::setEnabled);

  contents_ = new QListWidget(this);
  contents_->setObjectName(QStringLiteral("helpContents"));
  connect(contents_, &QListWidget::itemActivated, this, &HelpWindow::OpenItem);
  connect(contents_, &QListWidget::itemClicked, this, &HelpWindow::OpenItem);

  auto* indexPage = new QWidget(this);
  search_ = new QLineEdit(indexPage);
  search_->setObjectName(QStringLiteral("helpTopicSearch"));
  search_->setPlaceholderText(QStringLiteral("Topic Search"));
  search_->setClearButtonEnabled(true);
  index_ = new QListWidget(indexPage);
  index_->setObjectName(QStringLiteral("helpIndex"));
  connect(search_, &QLineEdit::textChanged, this, &HelpWindow::FilterIndex);
  connect(search_, &QLineEdit::returnPressed, this, [this] {
    for (int i = 0; i < index_->count(); ++i)
      if (!index_->item(i)->isHidden()) return OpenItem(index_->item(i));
  });
  connect(index_, &QListWidget::itemActivated, this, &HelpWindow::OpenItem);
  connect(index_, &QListWidget::itemClicked, this, &HelpWindow::OpenItem);
  auto* indexLayout = new QVBoxLayout(indexPage);
  indexLayout->setContentsMargins(0, 0, 0, 0);
  indexLayout->addWidget(new QLabel(QStringLiteral("Topic Search"), indexPage));
  indexLayout->addWidget(search_);
  indexLayout->addWidget(index_);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("helpTabs"));
  tabs_->addTab(contents_, QStringLiteral("Contents"));
  tabs_->addTab(indexPage, QStringLiteral("Index"));

  auto* splitter = new QSplitter(this);
  splitter->addWidget(tabs_);
  splitter->addWidget(browser_);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({200, 560});

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(back_);
  buttons->addWidget(forward_);
  buttons->addWidget(home);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(splitter, 1);
  resize(BoundedToScreen(QSize(760, 520), owner));
}

void HelpWindow::ShowPage(const QString& pagePath) {
  QString folder = QFileInfo(pagePath).absolutePath() + QChar('/');
  if (folder != folder_) ReadManual(folder);
  browser_->setSource(QUrl::fromLocalFile(pagePath));
}

void HelpWindow::ShowTopicSearch() {
  tabs_->setCurrentIndex(1);
  search_->setFocus();
  search_->selectAll();
}

QString HelpWindow::PageName() const { return QFileInfo(browser_->source().toLocalFile()).fileName(); }

void HelpWindow::ReadManual(const QString& folder) {
  folder_ = folder;
  contents_->clear();
  index_->clear();
  static const QRegularExpression link(QStringLiteral("<a href=\"([^\"#:]+\\.html)\">([^<]+)</a>"));
  QRegularExpressionMatchIterator links = link.globalMatch(ReadText(folder + kContentsPage));
  while (links.hasNext()) {
    QRegularExpressionMatch match = links.next();
    if (match.captured(1) == QLatin1String(kContentsPage)) continue;  // the way back to itself
    contents_->addItem(PageItem(match.captured(2).simplified(), match.captured(1)));
  }
  static const QRegularExpression title(QStringLiteral("<title>([^<]*)</title>"));
  static const QRegularExpression keywords(QStringLiteral("<meta name=\"keywords\" content=\"([^\"]*)\""));
  for (const QString& page : QDir(folder).entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name)) {
    QString text = ReadText(folder + page);
    QStringList words = FirstMatch(text, keywords).split(QChar(','), Qt::SkipEmptyParts);
    words << FirstMatch(text, title);
    for (const QString& word : words)
      if (!word.trimmed().isEmpty()) index_->addItem(PageItem(word.trimmed(), page));
  }
  index_->sortItems();
}

void HelpWindow::FilterIndex(const QString& text) {
  for (int i = 0; i < index_->count(); ++i)
    index_->item(i)->setHidden(!index_->item(i)->text().contains(text.trimmed(), Qt::CaseInsensitive));
}

void HelpWindow::OpenItem(QListWidgetItem* item) {
  if (item != nullptr) browser_->setSource(QUrl::fromLocalFile(folder_ + item->data(kPageRole).toString()));
}

QtHelpViewer::~QtHelpViewer() { delete window_; }

void QtHelpViewer::HtmlHelp(const HtmlHelpCall& call) {
  if (call.command == HtmlHelpCommand::CloseAll) {
    if (window_) window_->close();
    return;
  }
  std::string page = HelpPagePath(call);
  if (page.empty()) return;
  std::string folder = HelpFolderOf(call.file);
  if (!QFileInfo::exists(FromPath(folder + kContentsPage))) {
    if (report_) report_(ManualMissingText(folder));
    return;
  }
  // A context without a page of its own shows the contents.
  if (!QFileInfo::exists(FromPath(page))) page = folder + kContentsPage;
  if (!window_) window_ = new HelpWindow(owner_);
  window_->ShowPage(FromPath(page));
  window_->show();
  window_->raise();
  window_->activateWindow();
}

}  // namespace zevi
