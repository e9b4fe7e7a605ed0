#pragma once
// TUseHTMLHelp: takes every help request of the program (the command and data
// of the classic help protocol) and turns it into a call of the help viewer,
// so no other help engine is ever asked.
#include <cstdint>
#include <string>

#include "platform/help.h"

namespace zevi {

// The help requests the window issues.
enum HelpRequestCommand : int {
  kHelpContext = 1,
  kHelpQuit = 2,
  kHelpContents = 3,
  kHelpContextPopup = 8,
  kHelpKey = 257,
  kHelpPartialKey = 261,
};

// The viewer call for a request: context (and context pop-up) go to the
// context number, key to the index, quit closes everything, anything else
// (contents, partial key) opens the default topic.
HtmlHelpCall RouteHelpRequest(int command, std::int64_t data, const std::string& helpFile);

class TUseHTMLHelp {
 public:
  TUseHTMLHelp(HelpViewer& viewer, std::string helpFile)
      : viewer_(viewer), helpFile_(std::move(helpFile)) {}
  ~TUseHTMLHelp();  // closes the viewer's windows, as the program ends

  void HelpCommand(int command, std::int64_t data);
  void HelpContext(int context) { HelpCommand(kHelpContext, context); }
  const std::string& HelpFile() const { return helpFile_; }
  void SetHelpFile(std::string helpFile) { helpFile_ = std::move(helpFile); }

 private:
  HelpViewer& viewer_;
  std::string helpFile_;
};

}  // namespace zevi
