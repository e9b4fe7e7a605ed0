#pragma once
// The help requests of the program, as the HTML Help viewer is asked, and
// the page of the user manual each one opens. The manual is a folder of
// HTML pages, "help", beside the help file the program names; a request for
// a context opens that context's page, any other request the contents page.
#include <cstdint>
#include <string>

namespace zevi {

inline constexpr const char* kHelpFileName = "rirido.chm";
inline constexpr const char* kHelpFolderName = "help";
inline constexpr const char* kContentsPage = "index.html";

// The HTML Help commands the converter sends.
enum class HtmlHelpCommand : int { DisplayTopic = 0, DisplayIndex = 2, HelpContext = 15, CloseAll = 18 };

struct HtmlHelpCall {
  HtmlHelpCommand command = HtmlHelpCommand::DisplayTopic;
  std::string file;        // empty for CloseAll
  std::int64_t data = 0;   // the context number for HelpContext
  bool operator==(const HtmlHelpCall&) const = default;
};

class HelpViewer {
 public:
  virtual ~HelpViewer() = default;
  virtual void HtmlHelp(const HtmlHelpCall& call) = 0;
};

// The page of a help context: 10 "mainwindow.html", 300 "missing-position.html",
// 400 "export-questions.html", 500 "settings-questions.html"; any other
// context the contents page.
std::string HelpPageOfContext(std::int64_t context);

// The folder of the manual for a help file: "/usr/share/zevi-fileconv/rirido.chm"
// gives "/usr/share/zevi-fileconv/help/".
std::string HelpFolderOf(const std::string& helpFile);

// The page a call opens, as a full path: its context's page for HelpContext,
// the contents page for DisplayTopic and DisplayIndex, nothing for CloseAll
// or a call without a file.
std::string HelpPagePath(const HtmlHelpCall& call);

}  // namespace zevi
