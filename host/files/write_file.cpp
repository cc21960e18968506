#include "host/files/write_file.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

bool replace_file(const std::string& path, std::string_view bytes,
                  std::string& error) {
  std::error_code ec;
  const fs::file_status before = fs::status(path, ec);
  if (fs::is_directory(before)) {
    error = path + ": is a folder";
    return false;
  }
  // Beside the file, so that the rename stays on one file system.
  const std::string temporary = path + ".saving";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
      error = path + ": cannot be written (" + temporary + " cannot be made)";
      return false;
    }
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    if (!out) {
      fs::remove(temporary, ec);
      error = path + ": cannot be written (writing " + temporary + " failed)";
      return false;
    }
  }
  if (fs::exists(before))
    fs::permissions(temporary, before.permissions(), fs::perm_options::replace,
                    ec);
  fs::rename(temporary, path, ec);
  if (ec) {
    const std::string why = ec.message();
    fs::remove(temporary, ec);
    error = path + ": cannot be written (" + why + ")";
    return false;
  }
  return true;
}
