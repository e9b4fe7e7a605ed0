#pragma once
// INI files as the converter's settings and configuration use them: section
// and key names compare without regard to case, values are single-byte text
// read up to 1023 characters, and a write leaves every other line of the file
// as it was. Saving goes through a temporary file renamed over the old one,
// so a failed write never leaves a half-written file.
//
// Blanks around names and values are not part of them ("Mode = T" reads "T");
// lines starting with ";" are comments. The first section of a name wins when
// a file repeats it. A value set with a line break keeps only its first line.
#include <string>
#include <vector>

namespace zevi {

class IniFile {
 public:
  IniFile() = default;
  explicit IniFile(std::string path);

  // Reads the file; a missing file reads as empty. False when it exists but
  // cannot be read.
  bool Load();
  // Writes the file back. False when it cannot be written. A device or pipe
  // in place of the file is written directly (a rename would replace it).
  bool Save() const;

  const std::string& Path() const { return path_; }

  // The value, cut to 1023 characters; fallback when the key is missing.
  std::string Get(const std::string& section, const std::string& key,
                  const std::string& fallback = "") const;
  bool Has(const std::string& section, const std::string& key) const;
  // Adds the section and the key where they are missing.
  void Set(const std::string& section, const std::string& key, const std::string& value);
  void EraseSection(const std::string& section);

  // The text as it would be saved (lines end with CR LF).
  std::string Text() const;
  void SetText(const std::string& text);

 private:
  std::string path_;
  std::vector<std::string> lines_;
};

}  // namespace zevi
