// File names for downloads. A page chooses the suggested name, so it is hostile input: only
// its last path element survives, and the folder is always the one the operator picked in
// the save dialog.
#pragma once

#include <optional>
#include <string>

namespace zent {

// The suggested name reduced to a plain file name: no folder part, no "/" or "\", no control
// characters; "download" when nothing usable is left (empty, ".", "..").
std::string SafeDownloadName(const std::string& suggested);

// The extension including its dot ("report.xlsx" -> ".xlsx"); empty when there is none.
std::string FileExtension(const std::string& fileName);

// The save dialog's single filter for an extension: "*.xlsx (*.xlsx)"; "* (*)" without one.
std::string SaveDialogFilter(const std::string& ext);

// Where the download is written, from the path the operator confirmed in the dialog:
// `ext` is appended when the chosen name has none. nullopt when the choice names no file.
struct DownloadTarget {
  std::string folder;    // the chosen folder, with a closing "/"
  std::string fileName;  // a plain file name inside it
  std::string FullPath() const { return folder + fileName; }
};
std::optional<DownloadTarget> ChosenDownloadTarget(const std::string& chosenPath, const std::string& ext);

// The folder part of a path with its closing "/" (what "LastPath" stores).
std::string FolderOf(const std::string& path);

}  // namespace zent
