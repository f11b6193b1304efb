#pragma once
// A copy of the shipped knowledge base (data/Config) with the shipped PortaB.ini beside it, in a
// fresh folder, and lines planted into its files.

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace testing_support {

// Lines put at the top of a section of a file (the section is appended when missing), replacing
// the keys of the same name. The file is a key of the Config file's version section ("Modules",
// ...), "Config" or "PortaB.ini".
struct KbEdit {
  std::string file, section, lines;
};

class KbCopy {
 public:
  KbCopy();
  const TempDir& Dir() const { return dir_; }
  std::filesystem::path Folder() const { return dir_ / "Config"; }
  // The file's name relative to Folder(), as the Config file names it.
  std::string FileName(const std::string& file) const;
  std::string VersionSection() const;  // of the default version
  void Plant(const KbEdit& edit) const;
  // The line (from 1) of the first line holding `marker` in or after the header of `section`.
  int LineOf(const std::string& file, const std::string& section, const std::string& marker) const;

 private:
  TempDir dir_;
};

std::vector<std::string> SplitLines(const std::string& text);

}  // namespace testing_support
