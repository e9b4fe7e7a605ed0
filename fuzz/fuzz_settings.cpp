// The settings reader on any INI text. What it reads, saved into the same
// file and read again, must come back the same: a settings file survives
// being saved.
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

  IniFile file;
  file.SetText(std::string(in.Rest()));
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
