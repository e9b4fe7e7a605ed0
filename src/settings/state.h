#pragma once
// The process-wide state of the converter, owned by main and passed by
// reference: one conversion at a time, no globals.
#include <memory>
#include <string>
#include <vector>

#include "geodesy/datums.h"
#include "geodesy/grids.h"
#include "platform/clock.h"
#include "platform/locale.h"
#include "settings/recent.h"
#include "settings/settings.h"
#include "source/columns.h"
#include "source/table.h"

namespace zevi {

// Texts of the window's edit boxes that the export and the save commands take
// over when they run (typing alone does not change the settings).
struct EditTexts {
  std::string firstRecord = "1";
  std::string lastRecord = "5";
  std::string idPrefix = "W";
  std::string defaultZone = "30U";
};

struct WindowBounds {
  int left = 0;
  int top = 0;
  int right = 720;
  int bottom = 500;
};

struct AppState {
  ConversionSettings settings;
  int columnCount = kMaxColumnCount;      // data columns + 1
  KindColumn kinds;
  SourceTable table;
  std::vector<int> displayedWidths;       // per column as the table shows it (index 0 unused)
  std::vector<std::string> trackStartList{"(None)"};
  std::string firstRecordText;
  std::string sourceFile;                 // empty until a load has run to its end
  std::string settingsFile;               // empty: none
  char loadSeparator = ' ';               // the separator of the last load
  SourceEncoding sourceEncoding = SourceEncoding::Windows1252;  // in force for the loaded file
  bool columnBreaksEnabled = true;        // "Column Breaks..." (not after a tab load)
  bool settingsChanged = false;           // "Save Settings" enabled
  EditTexts edits;

  DatumState datum;
  GridState grid;
  RecentFiles recent;

  std::string programFolder;              // holds the datum and grid lists; ends with '/'
  std::string workFolder;                 // of the configuration file; empty when unknown
  std::string userFolder;
  std::string configPath;                 // the application configuration file
  WindowBounds bounds;
  bool settingsOpenedOrSaved = false;     // a settings file was opened or saved since start-up
  bool settingsAssociated = false;        // the settings file is the source file's associated one
  std::string lastExportFolder;
  std::vector<std::string> sourceFilters{"Text (txt)|*.txt", "CSV (csv)|*.csv", "All files (*.*)|*.*"};
  std::vector<std::string> exportFilters{"Text (txt)|*.txt", "GPS (gps)|*.gps"};
  int missingRecords = 0;                 // of the last export

  LocaleValues locale;
  std::unique_ptr<Clock> clock = std::make_unique<SystemClock>();

  std::string DatumFilePath() const { return programFolder + kDatumFileName; }
};

// Copies the settings' texts into the edit boxes, as a refresh of all controls does.
void ShowSettingsInEdits(AppState& state);

}  // namespace zevi
