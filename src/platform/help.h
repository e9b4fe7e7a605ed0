#pragma once
// The help file is opened with the desktop's own viewer. The converter asks
// for topics the way the HTML Help viewer is asked; a desktop viewer can only
// open the file, so every request that names the file opens it.
#include <cstdint>
#include <string>
#include <vector>

namespace zevi {

inline constexpr const char* kHelpFileName = "rirido.chm";

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
  // Fire and forget: a request that cannot be served is dropped silently.
  virtual void HtmlHelp(const HtmlHelpCall& call) = 0;
};

// Opens the file with xdg-open without waiting for it. CloseAll is dropped:
// the desktop viewer is a program of its own.
class DesktopHelpViewer : public HelpViewer {
 public:
  void HtmlHelp(const HtmlHelpCall& call) override;
};

// Starts a program detached from the converter (no zombie, no inherited
// terminal output), through a shell that puts it in the background. False
// when that shell could not be started; a program the shell cannot find is
// not reported.
bool LaunchDetached(const std::vector<std::string>& arguments);

}  // namespace zevi
