#include "helprouting.h"

namespace zevi {

HtmlHelpCall RouteHelpRequest(int command, std::int64_t data, const std::string& helpFile) {
  switch (command) {
    case kHelpContext:
    case kHelpContextPopup: return {HtmlHelpCommand::HelpContext, helpFile, data};
    case kHelpKey: return {HtmlHelpCommand::DisplayIndex, helpFile, data};
    case kHelpQuit: return {HtmlHelpCommand::CloseAll, std::string(), 0};
    default: return {HtmlHelpCommand::DisplayTopic, helpFile, 0};
  }
}

TUseHTMLHelp::~TUseHTMLHelp() { HelpCommand(kHelpQuit, 0); }

void TUseHTMLHelp::HelpCommand(int command, std::int64_t data) {
  viewer_.HtmlHelp(RouteHelpRequest(command, data, helpFile_));
}

}  // namespace zevi
