// Every file the host reads goes through here: the path is looked at first
// (a folder, a device, a named pipe or a file larger than its kind can be
// is refused without reading it), then at most the kind's bound is read.
// Nothing here throws; a refusal is one reason naming the file, in the
// words a user sees:
//   FILE: is a folder
//   FILE: is not a regular file (a character device)
//   FILE: is larger than 1048576 bytes, more than a panel file can be
//   FILE: cannot be read (No such file or directory)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What a file is read as, and the most bytes one may hold.
struct FileKind {
  const char* name;  // "a panel file": "more than a panel file can be"
  uint64_t max_bytes;
};

// Panel files and scripts are kilobytes, modules a few megabytes; a window
// background may be a large picture (its sides are bounded by the image
// reader too).
inline constexpr uint64_t kMaxPanelFileBytes = uint64_t(1) << 20;
inline constexpr uint64_t kMaxScriptBytes = uint64_t(1) << 20;
inline constexpr uint64_t kMaxModuleFileBytes = uint64_t(64) << 20;
inline constexpr uint64_t kMaxPictureFileBytes = uint64_t(256) << 20;

inline constexpr FileKind kPanelFile{.name = "a panel file",
                                     .max_bytes = kMaxPanelFileBytes};
inline constexpr FileKind kScriptFile{.name = "a script",
                                      .max_bytes = kMaxScriptBytes};
inline constexpr FileKind kModuleFile{.name = "a module",
                                      .max_bytes = kMaxModuleFileBytes};
inline constexpr FileKind kPictureFile{.name = "a picture",
                                       .max_bytes = kMaxPictureFileBytes};

// The path "-" reads standard input, with the same bound.
inline constexpr char kStandardInput[] = "-";

// The whole file into `bytes`, or false with the reason in `error`.
bool read_input_file(const std::string& path, const FileKind& kind,
                     std::string& bytes, std::string& error);
bool read_input_file(const std::string& path, const FileKind& kind,
                     std::vector<uint8_t>& bytes, std::string& error);

// Whether the path names a regular file within the kind's bound that can
// be opened, for a file read by someone else (the system's loader); nothing
// is read.
bool check_input_file(const std::string& path, const FileKind& kind,
                      std::string& error);

// Whether the path can be a folder to write into: a folder, or nothing yet
// with a folder as its nearest existing parent. Otherwise false with the
// reason ("DIR: is a file, not a folder"); nothing is made.
bool check_output_folder(const std::string& path, std::string& error);
