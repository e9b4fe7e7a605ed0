#include "platform/help.h"

namespace zevi {

namespace {

struct ContextPage {
  std::int64_t context;
  const char* page;
};

constexpr ContextPage kContextPages[] = {
    {10, "mainwindow.html"},
    {300, "missing-position.html"},
    {400, "export-questions.html"},
    {500, "settings-questions.html"},
};

}  // namespace

std::string HelpPageOfContext(std::int64_t context) {
  for (const ContextPage& entry : kContextPages)
    if (entry.context == context) return entry.page;
  return kContentsPage;
}

std::string HelpFolderOf(const std::string& helpFile) {
  std::size_t slash = helpFile.find_last_of('/');
  std::string folder = slash == std::string::npos ? std::string() : helpFile.substr(0, slash + 1);
  return folder + kHelpFolderName + "/";
}

std::string HelpPagePath(const HtmlHelpCall& call) {
  if (call.command == HtmlHelpCommand::CloseAll || call.file.empty()) return {};
  std::string page = call.command == HtmlHelpCommand::HelpContext ? HelpPageOfContext(call.data) : kContentsPage;
  return HelpFolderOf(call.file) + page;
}

}  // namespace zevi
