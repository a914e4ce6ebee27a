#pragma once

#include <string>

namespace qmv {

// Folder of the running executable, ending in "/".
std::string ProgramFolder();

// The language file the program reads: beside the executable, else the installed copy in
// ../share/qmvwin/ relative to it. Returns the first candidate when neither is a regular file.
std::string FindLanguageFile(const std::string& programFolder);

// The manual's first page, found the same way.
std::string FindManual(const std::string& programFolder);

// True when a and b both exist and are the same file (device and inode), whatever names lead
// there: an output must never be one of the inputs by another name or through a link.
bool SameFile(const std::string& a, const std::string& b);

constexpr const char* LanguageFileName = "QMVLanguage.Lib";
constexpr const char* ManualIndex = "Manual/index.html";

// base/qmvwin/leaf, where base is the XDG folder variable's value when it is an absolute path,
// else home plus fallback (".local/share", ".local/state"), as the XDG base directory rules say.
// Empty when neither is known.
std::string XdgProgramFolder(const char* xdgValue, const char* home, const char* fallback,
                             const char* leaf);

// Makes folder and its missing parents, each new one for the user alone (mode 0700). False, with
// why naming the part that failed, when one cannot be made or folder is not a folder.
bool MakeUserFolders(const std::string& folder, std::string& why);

} // namespace qmv
