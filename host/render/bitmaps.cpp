// Bitmap look-ups shared by both builds: the cache, bitmaps in memory and
// bitmaps in a folder.
#include "host/render/bitmaps.h"

#include <fstream>
#include <iterator>
#include <vector>

const Image* BitmapSource::find(int32_t id, std::string& why) {
  auto found = cache_.find(id);
  if (found == cache_.end()) {
    Entry entry;
    Image image;
    if (load(id, image, entry.why)) entry.image = std::move(image);
    found = cache_.emplace(id, std::move(entry)).first;
  }
  why = found->second.why;
  return found->second.image ? &*found->second.image : nullptr;
}

bool MemoryBitmaps::load(int32_t id, Image& image, std::string& why) {
  const auto found = images_.find(id);
  if (found == images_.end()) {
    why = "no such bitmap";
    return false;
  }
  image = found->second;
  return true;
}

bool FolderBitmaps::load(int32_t id, Image& image, std::string& why) {
  const std::string path = folder_ + "/" + std::to_string(id) + ".bmp";
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    why = "no file " + path;
    return false;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                   std::istreambuf_iterator<char>());
  if (!parse_bmp_file(bytes, image, why)) {
    why = path + ": " + why;
    return false;
  }
  return true;
}
