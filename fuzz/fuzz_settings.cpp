// The settings reader on any INI text, and its writer: a settings file
// survives being saved and read again.
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
  // drop what the file cannot hold (a control character in a value); from
  // then on saving and reading again changes nothing.
  WriteSettings(file, settings);
  ReadSettings(file, settings, locale, ui);
  const std::string saved = Saved(settings);
  WriteSettings(file, settings);
  ConversionSettings reread;
  ReadSettings(file, reread, locale, ui);
  ZEVI_FUZZ_CHECK(Saved(reread) == saved);
  return 0;
}
