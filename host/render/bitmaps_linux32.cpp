// The 32-bit Linux host reads the bitmaps from the mapped module's own
// BITMAP resources, parsing the DIB with the code used for files.
#include "host/core/win32/win32.h"
#include "host/render/bitmaps.h"

namespace {

constexpr int64_t kBitmapType = 2;

class ResourceBitmaps : public BitmapSource {
 public:
  explicit ResourceBitmaps(uint32_t base) : base_(base) {}

 protected:
  bool load(int32_t id, Image& image, std::string& why) override {
    const MappedModule* module = win32_find_module(base_);
    // Resource identifiers are 16-bit; anything else would name another.
    const PeResource* found =
        module != nullptr && id > 0 && id <= 0xFFFF
            ? win32_find_resource(*module, kBitmapType, "", id, "")
            : nullptr;
    if (found == nullptr) {
      why = "no BITMAP resource";
      return false;
    }
    return parse_dib(
        {reinterpret_cast<const uint8_t*>(uintptr_t(found->address)),
         found->bytes},
        image, why);
  }

 private:
  uint32_t base_;
};

}  // namespace

std::unique_ptr<BitmapSource> module_bitmaps(const LoadedModule& module) {
  return std::make_unique<ResourceBitmaps>(
      static_cast<uint32_t>(reinterpret_cast<uintptr_t>(module.handle)));
}
