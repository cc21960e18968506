// Checks the bitmaps stored in the real module: loads the library, reads the
// bitmap identifiers its elements name by byte offset alone (sharing no
// header with the module), and compares them with the module's BITMAP
// resources, which must be exactly those identifiers, each a 24-bit DIB
// holding the same pixels as the generated file.
//
//   bitmap_check MODULE ARTWORK_DIR
//
// Prints one line per failed check and closes with "N passed, N failed".
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "module_access.h"

namespace {

using Address = const uint8_t*;

int passed = 0;
int failed = 0;

bool expect(bool ok, const std::string& what, const std::string& why) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    std::printf("FAIL %s: %s\n", what.c_str(), why.c_str());
  }
  return ok;
}

struct Image {
  Address begin = nullptr;
  Address end = nullptr;
} image;

bool inside(Address at, size_t bytes) {
  return at != nullptr && at >= image.begin && at <= image.end &&
         static_cast<size_t>(image.end - at) >= bytes;
}

uint32_t u32(Address at, size_t offset) {
  uint32_t v;
  std::memcpy(&v, at + offset, sizeof v);
  return v;
}

Address ptr(Address at, size_t offset) {
  return reinterpret_cast<Address>(static_cast<uintptr_t>(u32(at, offset)));
}

// Offsets of the records (32-bit layout).
constexpr size_t kLinkageGauges = 0x18;
constexpr int kMaxGauges = 61;
constexpr size_t kGaugeHeaderBytes = 144;
constexpr size_t kGaugeName = 0x04;
constexpr size_t kGaugeElements = 0x08;
constexpr size_t kElementKind = 0x00;
constexpr size_t kElementBitmap = 0x04;
constexpr size_t kElementNext = 0x28;
constexpr size_t kElementHeaderBytes = 60;
constexpr size_t kIconCount = 0x70;
constexpr size_t kIconBytes = 140;
constexpr int kMaxChain = 64;

enum Kind : uint32_t {
  kString = 2,
  kIcon = 4,
  kMoving = 5,
  kSprite = 6,
};

// Every identifier an element names: its own, one per icon image, and the
// second bitmap of moving images and sprites.
std::set<int32_t> named_bitmaps(Address linkage) {
  std::set<int32_t> ids;
  for (int i = 0; i < kMaxGauges; ++i) {
    const Address gauge = ptr(linkage, kLinkageGauges + 4 * i);
    if (gauge == nullptr) break;
    const std::string slot = "gauge table slot " + std::to_string(i + 1);
    if (!expect(inside(gauge, kGaugeHeaderBytes), slot, "outside the module"))
      continue;
    std::string name = "?";
    const Address text = ptr(gauge, kGaugeName);
    if (inside(text, 1))
      name.assign(reinterpret_cast<const char*>(text),
                  strnlen(reinterpret_cast<const char*>(text),
                          static_cast<size_t>(image.end - text)));
    Address list = ptr(gauge, kGaugeElements);
    for (int number = 1; number <= kMaxChain; ++number) {
      if (list == nullptr || !inside(list, 4)) break;
      const Address element = ptr(list, 0);
      if (element == nullptr) break;
      const std::string what = name + " element " + std::to_string(number);
      if (!expect(inside(element, kElementHeaderBytes), what,
                  "outside the module"))
        break;
      const uint32_t kind = u32(element, kElementKind);
      const auto bitmap = static_cast<int32_t>(u32(element, kElementBitmap));
      if (kind == kIcon) {
        if (expect(inside(element, kIconBytes), what, "outside the module"))
          for (uint32_t k = 0; k < u32(element, kIconCount); ++k)
            ids.insert(bitmap + static_cast<int32_t>(k));
      } else if (kind != kString) {
        ids.insert(bitmap);
        if (kind == kMoving || kind == kSprite) ids.insert(bitmap + 1);
      }
      list = ptr(element, kElementNext);
    }
  }
  return ids;
}

std::vector<uint8_t> read_file(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  uint8_t buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    bytes.insert(bytes.end(), buffer, buffer + got);
  std::fclose(file);
  return bytes;
}

uint32_t le32(const std::vector<uint8_t>& bytes, size_t at) {
  uint32_t v;
  std::memcpy(&v, bytes.data() + at, sizeof v);
  return v;
}

uint16_t u16(Address at, size_t offset) {
  uint16_t v;
  std::memcpy(&v, at + offset, sizeof v);
  return v;
}

// The DIB header's fields.
constexpr uint32_t kDibHeaderBytes = 40;
constexpr size_t kDibWidth = 4;
constexpr size_t kDibHeight = 8;
constexpr size_t kDibPlanes = 12;
constexpr size_t kDibBitCount = 14;
constexpr size_t kDibCompression = 16;
constexpr uint32_t kUncompressed = 0;

// The resource is a DIB: the 40-byte header and the rows, as the generated
// file holds them after its 14-byte file header.
void check_resource(const ModuleImage& module, int32_t id,
                    const std::string& dir) {
  const std::string what = "BITMAP " + std::to_string(id);
  const ResourceBytes resource = module_bitmap(module, id);
  if (!expect(resource.found, what, "FindResource failed")) return;
  const uint32_t size = resource.size;
  const Address data = resource.data;
  if (!expect(data != nullptr && size >= kDibHeaderBytes, what,
              "cannot be loaded"))
    return;
  const auto dib_width = static_cast<int32_t>(u32(data, kDibWidth));
  const auto dib_height = static_cast<int32_t>(u32(data, kDibHeight));
  expect(u32(data, 0) == kDibHeaderBytes && u16(data, kDibPlanes) == 1 &&
             u16(data, kDibBitCount) == 24 &&
             u32(data, kDibCompression) == kUncompressed,
         what, "not an uncompressed 24-bit DIB");

  const std::vector<uint8_t> file =
      read_file(dir + "/" + std::to_string(id) + ".bmp");
  if (!expect(file.size() > 54, what, "no generated file to compare with"))
    return;
  const int32_t width = static_cast<int32_t>(le32(file, 18));
  const int32_t height = static_cast<int32_t>(le32(file, 22));
  expect(dib_width == width && dib_height == height, what,
         std::to_string(dib_width) + " x " + std::to_string(dib_height) +
             ", generated " + std::to_string(width) + " x " +
             std::to_string(height));
  const size_t dib_bytes = file.size() - 14;
  expect(
      size == dib_bytes && std::memcmp(data, file.data() + 14, dib_bytes) == 0,
      what, "differs from the generated file");
}

int run(const char* path, const std::string& dir) {
  ModuleImage module;
  std::string error;
  if (!expect(open_module(path, module, error), std::string("load ") + path,
              error))
    return 1;
  image.begin = module.begin;
  image.end = module.end;
  const Address linkage = module_export(module, "Linkage");
  if (!expect(inside(linkage, kLinkageGauges + 4 * kMaxGauges),
              "Linkage export", "missing or outside the module"))
    return 1;

  const std::set<int32_t> named = named_bitmaps(linkage);
  expect(!named.empty(), "elements", "name no bitmaps");
  const ResourceNames names = module_bitmap_names(module);
  for (const std::string& text : names.texts)
    expect(false, "BITMAP resource \"" + text + "\"",
           "named by text, not by number");
  const std::set<int32_t> stored(names.ids.begin(), names.ids.end());
  for (int32_t id : named)
    expect(stored.count(id) == 1, "BITMAP " + std::to_string(id),
           "named by an element but not stored");
  for (int32_t id : stored)
    expect(named.count(id) == 1, "BITMAP " + std::to_string(id),
           "stored but named by no element");
  for (int32_t id : stored) check_resource(module, id, dir);
  std::printf("%zu bitmaps named, %zu stored\n", named.size(), stored.size());
  close_module(module);
  return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  use_plain_newlines();
  if (argc != 3) {
    std::fprintf(stderr, "usage: bitmap_check MODULE ARTWORK_DIR\n");
    return 2;
  }
  const int status = run(argv[1], argv[2]);
  std::printf("%d passed, %d failed\n", passed, failed);
  std::fflush(stdout);
  return status;
}
