// The settings reader on any INI text. What it reads, written and read again,
// must come back the same: a settings file survives being saved.
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

  const std::string once = Saved(settings);
  IniFile again;
  again.SetText(once);
  ConversionSettings reread;
  ReadSettings(again, reread, locale, ui);
  ZEVI_FUZZ_CHECK(Saved(reread) == once);
  return 0;
}
