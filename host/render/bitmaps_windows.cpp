// The Windows build reads the bitmaps from the loaded module's resources,
// parsing the DIB with the same code the native build uses for files.
#include <windows.h>

#include "host/render/bitmaps.h"

namespace {

class ResourceBitmaps : public BitmapSource {
 public:
  explicit ResourceBitmaps(HMODULE module) : module_(module) {}

 protected:
  bool load(int32_t id, Image& image, std::string& why) override {
    // Resource identifiers are 16-bit; anything else would name another.
    HRSRC found = module_ != nullptr && id > 0 && id <= 0xFFFF
                      ? FindResourceA(module_, MAKEINTRESOURCEA(id),
                                      MAKEINTRESOURCEA(2))  // RT_BITMAP
                      : nullptr;
    if (found == nullptr) {
      why = "no BITMAP resource";
      return false;
    }
    const DWORD size = SizeofResource(module_, found);
    HGLOBAL loaded = LoadResource(module_, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) {
      why = "BITMAP resource cannot be loaded";
      return false;
    }
    return parse_dib({static_cast<const uint8_t*>(bytes), size}, image, why);
  }

 private:
  HMODULE module_;
};

}  // namespace

std::unique_ptr<BitmapSource> module_bitmaps(const LoadedModule& module) {
  return std::make_unique<ResourceBitmaps>(static_cast<HMODULE>(module.handle));
}
