#pragma once
// Replacing a file whole: the new contents go to a temporary file beside it, which is synced
// and then renamed over the file, so a reader sees the old file or the new one and a failure
// (a full disk, a killed process) leaves the old one as it was.

#include <filesystem>
#include <string_view>

namespace base {

// What ReplaceFileAtomically did: success, or the errno of the step that failed.
struct ReplaceOutcome {
  int error = 0;          // 0, or the errno of the step that failed
  bool renaming = false;  // whether that step was the rename over the file
  explicit operator bool() const { return error == 0; }  // true when the file was replaced
};

// Replaces `file` with `bytes`. An existing file keeps its permissions (a new one gets 0644);
// a link is followed, so the file it names is replaced. Temporaries left beside it by killed
// processes are removed first; on failure no temporary stays.
ReplaceOutcome ReplaceFileAtomically(std::filesystem::path file, std::string_view bytes);

// The same for a file that only its owner may read (one that holds a password, say): the file
// is always 0600, also when an earlier one was not, and a link in its place is replaced by the
// file instead of being followed.
ReplaceOutcome ReplacePrivateFileAtomically(std::filesystem::path file, std::string_view bytes);

}  // namespace base
