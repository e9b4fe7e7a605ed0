#include "settings/state.h"

namespace zevi {

void ShowSettingsInEdits(AppState& state) {
  const ConversionSettings& settings = state.settings;
  state.edits.firstRecord = std::to_string(settings.firstRecord);
  state.edits.lastRecord = std::to_string(settings.lastRecord);
  state.edits.idPrefix = settings.wptIdPrefix;
  state.edits.defaultZone = settings.defaultZone;
}

}  // namespace zevi
