#pragma once

// Whole-file operations by path. Calls answer 0 or the errno of the failure.

#include <string>
#include <vector>

namespace mindrel {

bool FileExists(const std::string& path);
// The "read-only attribute": the file exists and has no write permission bit,
// or we may not write it.
bool IsReadOnlyFile(const std::string& path);
int RemoveFile(const std::string& path);
int RenameFile(const std::string& from, const std::string& to);
// Asks the system to write the folder's own entries (files made, removed or
// renamed in it) to the disk, as flushing a file does for its bytes.
int FlushFolder(const std::string& folder);
// The folder a file path lies in ("." for a bare name).
std::string FolderOf(const std::string& path);
// Names (not paths) of the plain files in `folder` matching a shell pattern
// such as "*.dat", sorted.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern);

}  // namespace mindrel
