// Checks the bitmaps stored in the real module: loads the library, reads the
// bitmap identifiers its elements name by byte offset alone (sharing no
// header with the module), and compares them with the module's BITMAP
// resources, which must be exactly those identifiers, each a 24-bit DIB
// holding the same pixels as the generated file.
//
//   bitmap_check MODULE ARTWORK_DIR
//
// Prints one line per failed check and closes with "N passed, N failed".
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

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

BOOL CALLBACK collect(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
  auto* ids = reinterpret_cast<std::set<int32_t>*>(found);
  if (IS_INTRESOURCE(name))
    ids->insert(static_cast<int32_t>(reinterpret_cast<uintptr_t>(name)));
  else
    expect(false, std::string("BITMAP resource \"") + name + "\"",
           "named by text, not by number");
  return TRUE;
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

// The resource is a DIB: the 40-byte header and the rows, as the generated
// file holds them after its 14-byte file header.
void check_resource(HMODULE module, int32_t id, const std::string& dir) {
  const std::string what = "BITMAP " + std::to_string(id);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id),
                              reinterpret_cast<LPCSTR>(RT_BITMAP));
  if (!expect(found != nullptr, what, "FindResource failed")) return;
  const DWORD size = SizeofResource(module, found);
  HGLOBAL loaded = LoadResource(module, found);
  const auto* data =
      static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
  if (!expect(data != nullptr && size >= sizeof(BITMAPINFOHEADER), what,
              "cannot be loaded"))
    return;
  BITMAPINFOHEADER info;
  std::memcpy(&info, data, sizeof info);
  expect(info.biSize == 40 && info.biPlanes == 1 && info.biBitCount == 24 &&
             info.biCompression == BI_RGB,
         what, "not an uncompressed 24-bit DIB");

  const std::vector<uint8_t> file =
      read_file(dir + "/" + std::to_string(id) + ".bmp");
  if (!expect(file.size() > 54, what, "no generated file to compare with"))
    return;
  const int32_t width = static_cast<int32_t>(le32(file, 18));
  const int32_t height = static_cast<int32_t>(le32(file, 22));
  expect(info.biWidth == width && info.biHeight == height, what,
         std::to_string(info.biWidth) + " x " + std::to_string(info.biHeight) +
             ", generated " + std::to_string(width) + " x " +
             std::to_string(height));
  const size_t dib_bytes = file.size() - 14;
  expect(
      size == dib_bytes && std::memcmp(data, file.data() + 14, dib_bytes) == 0,
      what, "differs from the generated file");
}

int run(const char* path, const std::string& dir) {
  const HMODULE module = LoadLibraryA(path);
  if (!expect(module != nullptr, std::string("load ") + path,
              "error " + std::to_string(GetLastError())))
    return 1;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      reinterpret_cast<Address>(module) + dos->e_lfanew);
  image.begin = reinterpret_cast<Address>(module);
  image.end = image.begin + nt->OptionalHeader.SizeOfImage;
  const Address linkage = reinterpret_cast<Address>(
      reinterpret_cast<uintptr_t>(GetProcAddress(module, "Linkage")));
  if (!expect(inside(linkage, kLinkageGauges + 4 * kMaxGauges),
              "Linkage export", "missing or outside the module"))
    return 1;

  const std::set<int32_t> named = named_bitmaps(linkage);
  expect(!named.empty(), "elements", "name no bitmaps");
  std::set<int32_t> stored;
  EnumResourceNamesA(module, reinterpret_cast<LPCSTR>(RT_BITMAP), collect,
                     reinterpret_cast<LONG_PTR>(&stored));
  for (int32_t id : named)
    expect(stored.count(id) == 1, "BITMAP " + std::to_string(id),
           "named by an element but not stored");
  for (int32_t id : stored)
    expect(named.count(id) == 1, "BITMAP " + std::to_string(id),
           "stored but named by no element");
  for (int32_t id : stored) check_resource(module, id, dir);
  std::printf("%zu bitmaps named, %zu stored\n", named.size(), stored.size());
  FreeLibrary(module);
  return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Plain newlines: the closing line is read by machines.
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc != 3) {
    std::fprintf(stderr, "usage: bitmap_check MODULE ARTWORK_DIR\n");
    return 2;
  }
  const int status = run(argv[1], argv[2]);
  std::printf("%d passed, %d failed\n", passed, failed);
  std::fflush(stdout);
  return status;
}
