// The settings reader on any INI text, and its writer: a settings file the
// program saved survives being saved and read again.
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

  // Saved over the same file, as "Save Settings" does, so that keys the
  // writer does not write (IniVersion, LeftAlign) stay. The first save may
  // drop what a hand-made file holds and a saved one cannot (a blank at the
  // end of a value, a line break inside one); from then on nothing changes.
  WriteSettings(file, settings);
  ConversionSettings saved;
  ReadSettings(file, saved, locale, ui);
  WriteSettings(file, saved);
  ConversionSettings reread;
  ReadSettings(file, reread, locale, ui);
  ZEVI_FUZZ_CHECK(Saved(reread) == Saved(saved));
  return 0;
}
