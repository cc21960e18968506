// Where the renderer finds the module's bitmaps by resource identifier:
// the module's own BITMAP resources in the Windows build, the generated
// artwork folder in the native build (<id>.bmp), or bitmaps a test made.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "host/core/loader.h"
#include "host/render/image.h"

class BitmapSource {
 public:
  virtual ~BitmapSource() = default;
  // Null when there is no such bitmap, with the reason in `why`.
  const Image* find(int32_t id, std::string& why);

 protected:
  virtual bool load(int32_t id, Image& image, std::string& why) = 0;

 private:
  struct Entry {
    std::optional<Image> image;
    std::string why;
  };
  std::map<int32_t, Entry> cache_;
};

// Bitmaps a caller supplies, by identifier.
class MemoryBitmaps : public BitmapSource {
 public:
  void add(int32_t id, Image image) { images_[id] = std::move(image); }

 protected:
  bool load(int32_t id, Image& image, std::string& why) override;

 private:
  std::map<int32_t, Image> images_;
};

// <folder>/<id>.bmp
class FolderBitmaps : public BitmapSource {
 public:
  explicit FolderBitmaps(std::string folder) : folder_(std::move(folder)) {}

 protected:
  bool load(int32_t id, Image& image, std::string& why) override;

 private:
  std::string folder_;
};

// The loaded module's bitmaps: its resources in the Windows build, the
// artwork generated beside the native build.
std::unique_ptr<BitmapSource> module_bitmaps(const LoadedModule& module);
