// The linux32 loader's mapping of any bytes, never running them: the image
// read for mapping, laid out at another address with its relocations
// applied and its imports bound to made-up addresses, its protections and
// exports found. Nothing may be written or read outside the image or file.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "host/core/pe_image.h"
#include "host/module_file/read_module.h"

namespace {

// Every other name is "provided", so both paths are taken.
uint32_t resolve(const PeImport& import) {
  return import.name.size() % 2 == 1
             ? 0x10000000u + uint32_t(import.name.size())
             : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> file(data, size);
  InspectResult read = read_pe_image(file, "fuzz.gau");
  if (const auto* error = std::get_if<InspectError>(&read)) {
    if (error->what.empty() || error->record.empty()) std::abort();
    return 0;
  }
  const PeSummary& pe = std::get<InspectedModule>(read).pe;
  for (const uint32_t rva : pe.relocations)
    if (uint64_t(rva) + 4 > pe.image_size) std::abort();
  // The image is as large as the module says, within what a run can clear
  // quickly.
  if (pe.image_size > (2u << 20)) return 0;
  std::vector<uint8_t> image(pe.image_size);
  std::string error;
  const bool laid_out = lay_out_image(file, pe, pe.image_base ^ 0x00450000u,
                                      image, resolve, error);
  if (!laid_out && error.empty()) std::abort();
  if (laid_out && !missing_imports(pe, resolve).empty()) std::abort();
  for (const PageRange& range : image_protections(pe, 4096))
    if (range.offset % 4096 != 0 || range.bytes % 4096 != 0 ||
        uint64_t(range.offset) + range.bytes > pe.image_size + 4095ull)
      std::abort();
  (void)find_export(pe, "Linkage", pe.image_base ^ 0x00450000u);
  return 0;
}
