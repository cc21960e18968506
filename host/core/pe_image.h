// Laying a PE32 module's image out in memory, as Windows' loader does,
// without running any of it: headers and section data copied, the base
// relocations applied for where the image really lies, and every import
// slot filled with the address of the host's own function. Plain byte
// arithmetic over a buffer, so any build can do it (and fuzz it).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "host/module_file/model.h"

// The 32-bit address of the host's function for an import, or 0 when the
// host does not provide it.
using ImportResolver = std::function<uint32_t(const PeImport& import)>;

// "LIBRARY!NAME" (or "LIBRARY!#ORDINAL").
std::string import_label(const PeImport& import);

// Every import the resolver does not provide, in the module's order.
std::vector<std::string> missing_imports(const PeSummary& pe,
                                         const ImportResolver& resolve);

// Fills `image` (pe.image_size bytes, zero on entry) as the module lies at
// `load_address`. False, with the reason in `error`, when an import is not
// provided or the image cannot be laid out.
bool lay_out_image(std::span<const uint8_t> file, const PeSummary& pe,
                   uint32_t load_address, std::span<uint8_t> image,
                   const ImportResolver& resolve, std::string& error);

// Section characteristics to page protections: readable, writable,
// executable, as mprotect and VirtualProtect take them.
struct PageRange {
  uint32_t offset = 0;  // from the image's start, page aligned
  uint32_t bytes = 0;   // whole pages
  bool read = false;
  bool write = false;
  bool execute = false;
};
// The headers read-only, then each section by its flags; what no section
// covers stays read-only.
std::vector<PageRange> image_protections(const PeSummary& pe,
                                         uint32_t page_bytes);

// The address of an export by name in an image laid out at `load_address`,
// or 0.
uint32_t find_export(const PeSummary& pe, const std::string& name,
                     uint32_t load_address);
