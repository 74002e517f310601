// Paths and directory listings for the file selection window, with no X:
// where the window starts, how a button's name turns into a path, what a
// directory lists, and writing an exported note to disk.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The longest directory or file name the window works with.
constexpr std::size_t kMaxPathLength = 1024;
// The most buttons one list shows.
constexpr std::size_t kMaxListEntries = 1024;

// homeDir when set, else HOME when set, else "/". An empty value counts as
// unset. Either argument may be null.
std::string StartDirectory(const char* home_dir, const char* home_env);

// dir and name joined with one "/" ("/" and name when dir is "/").
std::string JoinPath(const std::string& dir, const std::string& name);

// The parent of dir: dir cut at its last "/" that is not its first
// character; "/" when there is none. "/home/u/" gives "/home/u".
std::string ParentDirectory(const std::string& dir);

// The directory a directory button leads to: the parent for "..", else dir
// joined with name. False, with the message to show, when a path is too long.
bool DirectoryButtonPath(const std::string& dir, const std::string& name, std::string* path,
                         std::string* error);

// The file a file button names. False, with the message to show, when dir
// and name together are too long.
bool FileButtonPath(const std::string& dir, const std::string& name, std::string* path,
                    std::string* error);

// Checks a typed path's length. False, with the message to show, when it is
// too long.
bool CheckTypedPath(const std::string& typed, std::string* error);

// Width in pixels of the text field that shows a path of `chars` characters:
// name_width per character plus 10, kept within what a window can be.
int PathFieldWidth(int name_width, std::size_t chars);

// The subdirectories and regular files of one directory, each in directory
// order and at most kMaxListEntries long. "." is never listed, ".." always
// except in "/".
struct DirectoryListing {
  std::vector<std::string> directories;
  std::vector<std::string> files;
};

// Lists dir. Entries are told apart by their type after following links;
// other kinds (devices, sockets, FIFOs) are in neither list. An entry that
// cannot be stat'ed is left out and described in *diagnostics. Returns false
// when the directory cannot be opened; *diagnostics then says why. Each
// diagnostic is a complete line for standard error.
bool ListDirectoryEntries(const std::string& dir, DirectoryListing* listing,
                          std::string* diagnostics);

// Writes text and one newline to path. A regular file (also one reached
// through a link) is replaced as a whole: the text goes to a temporary
// file in the same directory, which keeps the old file's permissions and
// is renamed over it, so that a failed write leaves the old file as it
// was. Anything else at path (a device, a FIFO) is written in place, and
// a FIFO nobody reads fails at once. False when it fails, with *err the
// message the user is shown ("Can't open <path> for writing!" when the
// file cannot be created, "Can't write <path>!" for a failed write, close,
// rename or flush) and *detail (when given) the failed call in the
// system's words, "<path>: <system's text>".
bool WriteExportFile(const std::string& path, const std::string& text, std::string* err,
                     std::string* detail = nullptr);

// The temporary file an export to path writes first: "." + the file's name
// + ".sk" + pid, in the same directory.
std::string ExportTempPath(const std::string& path, long pid);
