#pragma once
// INI files as the converter's settings and configuration use them: section
// and key names compare without regard to case, values are single-byte text
// read up to 1023 characters, and a write leaves every other line of the file
// as it was, sections and keys the program does not know included. Saving goes
// through SaveWholeFile (safesave.h): never half-written, never over a file
// the user may not write, and never over a file that could not be read.
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
  // cannot be read (a file without its owner's read permission counts as
  // such for root too); LoadFailure() then says why.
  bool Load();
  const std::string& LoadFailure() const { return loadFailure_; }
  // Writes the file back. False when it cannot be written, and always after
  // a failed Load. A device or pipe in place of the file is written directly.
  bool Save() const;

  const std::string& Path() const { return path_; }

  // The value, cut to 1023 characters; fallback when the key is missing.
  std::string Get(const std::string& section, const std::string& key,
                  const std::string& fallback = "") const;
  bool Has(const std::string& section, const std::string& key) const;
  // Adds the section and the key where they are missing.
  void Set(const std::string& section, const std::string& key, const std::string& value);
  void EraseSection(const std::string& section);
  // Every copy of the key in every copy of the section.
  void EraseKey(const std::string& section, const std::string& key);

  // The text as it would be saved (lines end with CR LF).
  std::string Text() const;
  void SetText(const std::string& text);

 private:
  std::string path_;
  std::vector<std::string> lines_;
  std::string loadFailure_;
};

}  // namespace zevi
