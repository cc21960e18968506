#include "host/core/pe_image.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kCode = 0x00000020;
constexpr uint32_t kExecute = 0x20000000;
constexpr uint32_t kRead = 0x40000000;
constexpr uint32_t kWrite = 0x80000000;

uint32_t round_up(uint64_t value, uint32_t step) {
  return static_cast<uint32_t>((value + step - 1) / step * step);
}

}  // namespace

std::string import_label(const PeImport& import) {
  return import.library + "!" +
         (import.name.empty() ? "#" + std::to_string(import.ordinal)
                              : import.name);
}

std::vector<std::string> missing_imports(const PeSummary& pe,
                                         const ImportResolver& resolve) {
  std::vector<std::string> missing;
  for (const PeImport& import : pe.imports)
    if (resolve(import) == 0) missing.push_back(import_label(import));
  return missing;
}

bool lay_out_image(std::span<const uint8_t> file, const PeSummary& pe,
                   uint32_t load_address, std::span<uint8_t> image,
                   const ImportResolver& resolve, std::string& error) {
  if (image.size() != pe.image_size) {
    error = "the image needs " + std::to_string(pe.image_size) + " bytes";
    return false;
  }
  const std::vector<std::string> missing = missing_imports(pe, resolve);
  if (!missing.empty()) {
    error = "it imports what this host does not provide: ";
    for (size_t i = 0; i < missing.size(); ++i)
      error += (i ? ", " : "") + missing[i];
    return false;
  }
  // The reader checked every extent against the file and the image; the
  // copies are clamped again so that no summary can make them overrun.
  const uint64_t headers =
      std::min<uint64_t>({pe.headers_size, file.size(), image.size()});
  if (headers > 0) std::memcpy(image.data(), file.data(), headers);
  for (const PeSection& s : pe.sections) {
    const uint64_t rva = uint64_t(s.address) - pe.image_base;
    if (s.address < pe.image_base || rva > image.size()) continue;
    const uint64_t bytes = std::min<uint64_t>(
        {s.file_size, s.virtual_size == 0 ? s.file_size : s.virtual_size,
         image.size() - rva,
         s.file_offset < file.size() ? file.size() - s.file_offset : 0});
    if (bytes > 0)
      std::memcpy(image.data() + rva, file.data() + s.file_offset, bytes);
  }

  const uint32_t delta = load_address - pe.image_base;
  if (delta != 0) {
    for (const uint32_t rva : pe.relocations) {
      if (uint64_t(rva) + 4 > image.size()) {
        error = "a relocation lies outside the image";
        return false;
      }
      uint32_t word;
      std::memcpy(&word, image.data() + rva, 4);
      word += delta;
      std::memcpy(image.data() + rva, &word, 4);
    }
  }

  for (const PeImport& import : pe.imports) {
    const uint64_t rva = uint64_t(import.slot) - pe.image_base;
    if (import.slot < pe.image_base || rva + 4 > image.size()) {
      error = "the import slot of " + import_label(import) +
              " lies outside the image";
      return false;
    }
    const uint32_t address = resolve(import);
    std::memcpy(image.data() + rva, &address, 4);
  }
  return true;
}

std::vector<PageRange> image_protections(const PeSummary& pe,
                                         uint32_t page_bytes) {
  std::vector<PageRange> ranges;
  const uint32_t image_bytes = round_up(pe.image_size, page_bytes);
  ranges.push_back({.offset = 0, .bytes = image_bytes, .read = true});
  for (const PeSection& s : pe.sections) {
    if (s.address < pe.image_base) continue;
    const uint32_t start =
        (s.address - pe.image_base) / page_bytes * page_bytes;
    if (start >= image_bytes) continue;
    const uint64_t end =
        std::min<uint64_t>(round_up(uint64_t(s.address - pe.image_base) +
                                        std::max(s.virtual_size, s.file_size),
                                    page_bytes),
                           image_bytes);
    if (end <= start) continue;
    ranges.push_back(
        {.offset = start,
         .bytes = static_cast<uint32_t>(end - start),
         .read = (s.characteristics & kRead) != 0,
         .write = (s.characteristics & kWrite) != 0,
         .execute = (s.characteristics & (kExecute | kCode)) != 0});
  }
  return ranges;
}

uint32_t find_export(const PeSummary& pe, const std::string& name,
                     uint32_t load_address) {
  for (const PeExport& e : pe.exports)
    if (e.name == name) return e.address - pe.image_base + load_address;
  return 0;
}
