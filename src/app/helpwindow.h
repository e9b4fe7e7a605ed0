#pragma once
// The program's own help window: the pages of the user manual in a browser
// with back and forward, the contents, and an index that "Topic Search"
// narrows as the user types.
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>

#include "platform/help.h"

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTabWidget;
class QTextBrowser;

namespace zevi {

class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* owner);

  // Shows the page and, the first time, reads the manual's folder: the
  // contents from the links of its contents page, the index from every
  // page's title and keywords.
  void ShowPage(const QString& pagePath);

  QTextBrowser* Browser() const { return browser_; }
  QListWidget* Contents() const { return contents_; }
  QListWidget* Index() const { return index_; }
  QLineEdit* TopicSearch() const { return search_; }
  // The page shown, as a file name ("mainwindow.html").
  QString PageName() const;
  // The index, ready for typing.
  void ShowTopicSearch();

 private:
  void ReadManual(const QString& folder);
  void FilterIndex(const QString& text);
  void OpenItem(QListWidgetItem* item);

  QString folder_;
  QTextBrowser* browser_;
  QListWidget* contents_;
  QListWidget* index_;
  QLineEdit* search_;
  QPushButton* back_;
  QPushButton* forward_;
  QTabWidget* tabs_;
};

// Answers the program's help requests with the help window. A manual that
// is not there is reported with the folder searched.
class QtHelpViewer : public HelpViewer {
 public:
  using Report = std::function<void(const std::string&)>;
  QtHelpViewer(QWidget* owner, Report report) : owner_(owner), report_(std::move(report)) {}
  ~QtHelpViewer() override;

  void HtmlHelp(const HtmlHelpCall& call) override;
  HelpWindow* Window() const { return window_; }

 private:
  QWidget* owner_;
  Report report_;
  QPointer<HelpWindow> window_;
};

// "User manual not found" and the folder searched.
std::string ManualMissingText(const std::string& folder);

}  // namespace zevi
