#include "host/files/read_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

const char* kind_of(fs::file_type type) {
  switch (type) {
    case fs::file_type::regular:
      return "a regular file";
    case fs::file_type::directory:
      return "a folder";
    case fs::file_type::block:
      return "a block device";
    case fs::file_type::character:
      return "a character device";
    case fs::file_type::fifo:
      return "a named pipe";
    case fs::file_type::socket:
      return "a socket";
    default:
      return "of a kind the host does not know";
  }
}

std::string shown(const std::string& path) {
  return path == kStandardInput ? "standard input" : path;
}

std::string too_large(const std::string& path, const FileKind& kind) {
  return shown(path) + ": is larger than " + std::to_string(kind.max_bytes) +
         " bytes, more than " + kind.name + " can be";
}

std::string unreadable(const std::string& path, const std::string& why) {
  return shown(path) + ": cannot be read (" + why + ")";
}

std::string system_reason(int error_number) {
  return error_number != 0 ? std::strerror(error_number) : "a read failed";
}

// What the path is, or the reason it is no file of this kind; the file's
// size in `size`.
bool look_at(const std::string& path, const FileKind& kind, uint64_t& size,
             std::string& error) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (status.type() == fs::file_type::not_found ||
      status.type() == fs::file_type::none) {
    error = unreadable(path, ec ? ec.message() : "no such file");
    return false;
  }
  if (status.type() == fs::file_type::directory) {
    error = path + ": is a folder";
    return false;
  }
  if (status.type() != fs::file_type::regular) {
    error =
        ec ? unreadable(path, ec.message())
           : path + ": is not a regular file (" + kind_of(status.type()) + ")";
    return false;
  }
  size = fs::file_size(path, ec);
  if (ec) {
    error = unreadable(path, ec.message());
    return false;
  }
  if (size > kind.max_bytes) {
    error = too_large(path, kind);
    return false;
  }
  return true;
}

// Reads until the end or one byte past the bound, whichever comes first,
// so a file that grows while read, or standard input, is refused too.
template <typename Bytes>
bool read_bounded(std::FILE* file, const std::string& path,
                  const FileKind& kind, Bytes& bytes, std::string& error) {
  char chunk[64 * 1024];
  for (;;) {
    errno = 0;
    const size_t got = std::fread(chunk, 1, sizeof chunk, file);
    const int read_errno = errno;
    if (got > kind.max_bytes - bytes.size()) {
      error = too_large(path, kind);
      return false;
    }
    bytes.insert(bytes.end(), chunk, chunk + got);
    if (got == sizeof chunk) continue;
    if (std::ferror(file)) {
      error = unreadable(path, system_reason(read_errno));
      return false;
    }
    return true;
  }
}

template <typename Bytes>
bool read_any(const std::string& path, const FileKind& kind, Bytes& bytes,
              std::string& error) {
  bytes.clear();
  try {
    if (path == kStandardInput)
      return read_bounded(stdin, path, kind, bytes, error);
    uint64_t size = 0;
    if (!look_at(path, kind, size, error)) return false;
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
      error = unreadable(path, system_reason(errno));
      return false;
    }
    bytes.reserve(size_t(size));
    const bool read = read_bounded(file, path, kind, bytes, error);
    std::fclose(file);
    if (!read) bytes.clear();
    return read;
  } catch (const std::exception& e) {
    // Out of memory, or a path the system cannot take.
    bytes.clear();
    error = unreadable(path, e.what());
    return false;
  }
}

std::string not_a_folder(const fs::file_status& status) {
  return status.type() == fs::file_type::regular
             ? "is a file, not a folder"
             : std::string("is not a folder (") + kind_of(status.type()) + ")";
}

}  // namespace

bool read_input_file(const std::string& path, const FileKind& kind,
                     std::string& bytes, std::string& error) {
  return read_any(path, kind, bytes, error);
}

bool read_input_file(const std::string& path, const FileKind& kind,
                     std::vector<uint8_t>& bytes, std::string& error) {
  return read_any(path, kind, bytes, error);
}

bool check_input_file(const std::string& path, const FileKind& kind,
                      std::string& error) {
  try {
    uint64_t size = 0;
    if (!look_at(path, kind, size, error)) return false;
    // Opened and closed at once, so that a file the host may not read is
    // named as such rather than by the loader's error number.
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
      error = unreadable(path, system_reason(errno));
      return false;
    }
    std::fclose(file);
    return true;
  } catch (const std::exception& e) {
    error = unreadable(path, e.what());
    return false;
  }
}

bool check_output_folder(const std::string& path, std::string& error) {
  try {
    std::error_code ec;
    fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::directory) return true;
    if (fs::exists(status)) {
      error = path + ": " + not_a_folder(status);
      return false;
    }
    if (status.type() != fs::file_type::not_found) {
      error = path + ": cannot be used as a folder (" + ec.message() + ")";
      return false;
    }
    // Not there yet: it is made inside its nearest existing parent, which
    // must be a folder.
    for (fs::path parent = fs::path(path).parent_path(); !parent.empty();
         parent = parent.parent_path()) {
      status = fs::status(parent, ec);
      if (status.type() == fs::file_type::directory) return true;
      if (fs::exists(status)) {
        error = path + ": cannot be made, " + parent.string() + " " +
                not_a_folder(status);
        return false;
      }
      if (parent == parent.parent_path()) break;
    }
    return true;
  } catch (const std::exception& e) {
    error = path + ": cannot be used as a folder (" + e.what() + ")";
    return false;
  }
}
