#include "host/inspect/export_bitmaps.h"

#include <filesystem>

#include "host/render/image.h"
#include "host/render/stb_files.h"

int export_bitmaps(const InspectedModule& module, std::span<const uint8_t> file,
                   const std::string& folder, std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    error = "cannot create " + folder + ": " + ec.message();
    return -1;
  }
  int written = 0;
  for (const BitmapResource& b : module.bitmaps) {
    const std::string name = b.id >= 0 ? std::to_string(b.id) : b.name;
    if (uint64_t(b.file_offset) + b.bytes > file.size()) {
      error = "bitmap " + name + " lies outside the file";
      return -1;
    }
    Image image;
    std::string why;
    if (!parse_dib(file.subspan(b.file_offset, b.bytes), image, why)) {
      error = "bitmap " + name + ": " + why;
      return -1;
    }
    const std::string path = folder + "/" + name + ".png";
    if (!write_png_file(path, image)) {
      error = "cannot write " + path;
      return -1;
    }
    ++written;
  }
  return written;
}
