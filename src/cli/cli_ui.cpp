#include "cli/cli_ui.h"

#include <algorithm>

#include "source/encoding.h"

namespace zevi::cli {

namespace {

constexpr const char* kRecordQuestionStart = "Error in record ";
constexpr const char* kMissingLatLong = "Missing Latitude/Longitude";
constexpr const char* kMissingEastNorth = "Missing Easting/Northing";
constexpr const char* kWrittenText = "File written successfully";
constexpr const char* kRangePastTableStart = "Less than ";

bool StartsWith(const std::string& text, const char* start) { return text.rfind(start, 0) == 0; }

const char* ButtonName(Button button) {
  switch (button) {
    case Button::Ok: return "OK";
    case Button::Cancel: return "Cancel";
    case Button::Yes: return "Yes";
    case Button::No: return "No";
    case Button::Abort: return "Abort";
    case Button::Ignore: return "Ignore";
    case Button::All: return "All";
  }
  return "";
}

// What a run says when all went well: --quiet leaves it out.
bool IsInformation(const std::string& text) {
  return text == kWrittenText || StartsWith(text, kRangePastTableStart);
}

// A message holds cells (Windows-1252) and paths (the file system's bytes,
// UTF-8 on a UTF-8 system). One that is UTF-8 already is taken as it is: a
// path, or cells of plain ASCII.
std::string MessageForUser(std::string text, bool utf8) {
  if (!utf8 || IsUtf8(text)) return text;
  return Cp1252ToUtf8(text);
}

}  // namespace

CliUserInterface::CliUserInterface(const Options& options, std::FILE* err, std::FILE* in,
                                   bool terminal, bool errTerminal, bool utf8)
    : options_(options), err_(err), in_(in), terminal_(terminal), errTerminal_(errTerminal), utf8_(utf8) {}

std::string CliUserInterface::ForUser(std::string_view text) const {
  return utf8_ ? Cp1252ToUtf8(text) : std::string(text);
}

void CliUserInterface::Note(const std::string& text) {
  EndProgress();
  std::string line = MessageForUser(VisibleText(text), utf8_);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), err_);
  std::fflush(err_);
}

void CliUserInterface::Inform(const std::string& text) {
  if (!options_.quiet) Note(text);
}

void CliUserInterface::ShowMessage(const std::string& text) {
  messages_.push_back(text);
  if (IsInformation(text)) {
    Inform(text);
  } else {
    Note(text);
  }
}

void CliUserInterface::StartWork(const std::string& name) {
  EndProgress();
  // One line it must stay: a long name would wrap and the carriage return
  // would redraw only its last part.
  constexpr std::size_t kNameRoom = 40;
  std::size_t from = name.size() > kNameRoom ? name.size() - kNameRoom : 0;
  // Not inside a UTF-8 character, which would no longer read as UTF-8.
  while (from > 0 && from < name.size() && (static_cast<unsigned char>(name[from]) & 0xC0) == 0x80) ++from;
  workName_ = from > 0 ? "..." + name.substr(from) : name;
  workStart_ = std::chrono::steady_clock::now();
}

void CliUserInterface::Progress(std::string_view task, std::int64_t done, std::int64_t total) {
  using namespace std::chrono;
  if (!errTerminal_ || options_.quiet || total <= 0) return;
  const auto now = steady_clock::now();
  if (now - workStart_ < seconds(1)) return;
  if (progressWidth_ > 0 && now - lastDrawn_ < milliseconds(100) && done < total) return;
  lastDrawn_ = now;
  const std::int64_t percent = std::clamp<std::int64_t>(done * 100 / total, 0, 100);
  std::string line =
      MessageForUser(VisibleText(workName_), utf8_) + ": " + std::string(task) + " " + std::to_string(percent) + "%";
  std::string text = "\r" + line;
  if (line.size() < progressWidth_) text += std::string(progressWidth_ - line.size(), ' ');
  progressWidth_ = std::max(progressWidth_, line.size());
  std::fwrite(text.data(), 1, text.size(), err_);
  std::fflush(err_);
}

void CliUserInterface::EndProgress() {
  if (progressWidth_ == 0) return;
  std::string text = "\r" + std::string(progressWidth_, ' ') + "\r";
  std::fwrite(text.data(), 1, text.size(), err_);
  std::fflush(err_);
  progressWidth_ = 0;
}

Button CliUserInterface::Ask(MessageKind, const std::string& text,
                             const std::vector<Button>& buttons, int) {
  messages_.push_back(text);
  if (StartsWith(text, kRecordQuestionStart)) return AnswerRecordError(text);
  if (StartsWith(text, kMissingLatLong) || StartsWith(text, kMissingEastNorth)) {
    Button answer = options_.defaultPosition ? Button::Yes : Button::No;
    Note(text);
    Note(std::string("-> ") + ButtonName(answer) +
         (options_.defaultPosition ? " (--default-position)"
                                   : " (--default-position writes default coordinates)"));
    return answer;
  }
  // Anything else is a notice with a single way on, or a question no option
  // answers: closing the box is the last button.
  Note(text);
  if (buttons.empty()) return Button::Ok;
  if (buttons.size() > 1) Note(std::string("-> ") + ButtonName(buttons.back()));
  return buttons.back();
}

Button CliUserInterface::AnswerRecordError(const std::string& text) {
  // "Error in record N" CR LF message CR LF CR LF the button legend.
  std::size_t firstBreak = text.find("\r\n");
  std::string heading = text.substr(0, firstBreak);
  std::string message;
  if (firstBreak != std::string::npos) {
    std::size_t start = firstBreak + 2;
    message = text.substr(start, text.find("\r\n\r\n", start) - start);
  }
  Note(heading + ": " + message);
  switch (options_.onError) {
    case OnError::Abort: return Button::Abort;
    case OnError::Ignore: return Button::Ignore;
    case OnError::All: return Button::All;
    case OnError::Ask: return terminal_ ? AskOnTerminal() : Button::Abort;
  }
  return Button::Abort;
}

Button CliUserInterface::AskOnTerminal() {
  for (;;) {
    std::fputs("(a)bort, (i)gnore, ignore a(l)l? ", err_);
    std::fflush(err_);
    char line[64];
    if (std::fgets(line, sizeof line, in_) == nullptr) return Button::Abort;
    switch (line[0]) {
      case 'a': case 'A': return Button::Abort;
      case 'i': case 'I': return Button::Ignore;
      case 'l': case 'L': return Button::All;
      default: break;
    }
  }
}

std::string CliUserInterface::InputBox(const std::string& caption, const std::string& prompt,
                                       const std::string& proposed) {
  if (caption == kZoneLetterCaption) {
    if (options_.zoneLetter) return std::string(1, *options_.zoneLetter);
    if (!zoneWarningShown_) {
      zoneWarningShown_ = true;
      Note("Warning: " + std::string(caption) + ": using " + proposed +
           " (--zone-letter gives another)");
    }
    return proposed;
  }
  Note(caption + ": " + prompt + " -> " + proposed);
  return proposed;
}

}  // namespace zevi::cli
