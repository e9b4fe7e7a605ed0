// The settings reader on any INI text, and its writer: a settings file
// survives being saved and read again.
#include <algorithm>

#include "fuzz_support.h"
#include "platform/ini.h"
#include "settings/settings.h"

using namespace zevi;

namespace {

std::string Saved(const ConversionSettings& settings) {
  IniFile file;
  WriteSettings(file, settings);
  return file.Text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  LocaleValues locale;
  locale.decimalSeparator = in.Pick({'.', ','});
  testing::ScriptedUi ui;

  // A lone carriage return ends a line here: inside a value it is cut off
  // by the INI layer's writer, which says nothing about the settings.
  std::string text(in.Rest());
  std::replace(text.begin(), text.end(), '\r', '\n');
  IniFile file;
  file.SetText(text);
  ConversionSettings settings;
  ReadSettings(file, settings, locale, ui);

  // Saved over the same file, as "Save Settings" does: keys the writer does
  // not write (IniVersion, LeftAlign) stay and are read again.
  WriteSettings(file, settings);
  ConversionSettings reread;
  ReadSettings(file, reread, locale, ui);
  ZEVI_FUZZ_CHECK(Saved(reread) == Saved(settings));
  return 0;
}
