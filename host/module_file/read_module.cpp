#include "host/module_file/read_module.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <set>
#include <sstream>

namespace {

std::string hex(uint64_t value) {
  std::ostringstream out;
  out << "0x" << std::hex << std::uppercase << value;
  return out.str();
}

// ---------------------------------------------------------------------------
// Record layouts of the 32-bit image (offsets from a record's start).

constexpr uint32_t kPointerBytes = 4;

// Linkage: id, init, deinit, flags, status, version, then the gauge table.
constexpr uint32_t kLinkageHeadBytes = 0x18;
constexpr int kMaxGauges = 1024;
constexpr int kImportEntries = 16;

constexpr uint32_t kGaugeHeaderBytes = 144;
constexpr uint32_t kGaugeVersion = 0x00;
constexpr uint32_t kGaugeName = 0x04;
constexpr uint32_t kGaugeElements = 0x08;
constexpr uint32_t kGaugeWidth = 0x2C;
constexpr uint32_t kGaugeAreas = 0x50;
constexpr uint32_t kGaugeCallback = 0x54;
constexpr uint32_t kGaugeUserWord = 0x58;
constexpr uint32_t kGaugeParameterText = 0x5C;

constexpr uint32_t kElementHeaderBytes = 60;
constexpr uint32_t kElementKind = 0x00;
constexpr uint32_t kElementBitmap = 0x04;
constexpr uint32_t kElementX = 0x08;
constexpr uint32_t kElementY = 0x0C;
constexpr uint32_t kElementOffsetX = 0x18;
constexpr uint32_t kElementOffsetY = 0x1C;
constexpr uint32_t kElementGauge = 0x20;
constexpr uint32_t kElementNext = 0x28;
constexpr uint32_t kElementFailures = 0x2C;
constexpr uint32_t kElementImageFlags = 0x30;
constexpr uint32_t kElementSpecialFlags = 0x34;
constexpr uint32_t kElementReserved = 0x38;
// Header words the module sets; 0x10, 0x14 and 0x24 are the host's.
constexpr uint32_t kElementModuleWords[] = {
    kElementKind,       kElementBitmap,       kElementX,
    kElementY,          kElementOffsetX,      kElementOffsetY,
    kElementGauge,      kElementNext,         kElementFailures,
    kElementImageFlags, kElementSpecialFlags, kElementReserved};

constexpr int kMaxElements = 4096;
constexpr int kMaxListEntries = 64;
constexpr int kMaxDepth = 256;

constexpr uint32_t kVarBytes = 28;
constexpr uint32_t kVarToken = 0x00;
constexpr uint32_t kVarType = 0x08;

constexpr uint32_t kNonlinearityBytes = 24;
constexpr int32_t kMaxTableEntries = 4096;
constexpr uint32_t kFailureBytes = 12;
constexpr int kMaxFailures = 256;

constexpr uint32_t kAreaBytes = 44;
constexpr int kMaxAreas = 4096;
constexpr uint32_t kTooltipArgBytes = 72;
constexpr uint32_t kMaxTooltipArgs = 16;
constexpr size_t kMaxText = 4096;
// Records may be shared between gauges, so the module as a whole has a
// budget too: far above any real module, low enough that a file made of
// references to the same records cannot make the reading endless.
constexpr int kMaxModuleRecords = 65536;
constexpr uint32_t kMaxResourceEntries = 65536;

enum class Type {
  kSource,
  kCallback,
  kPointer,
  kInt32,
  kHex32,
  kFloat64,
  kFloat32,
  kText32
};

struct FieldLayout {
  const char* name;
  uint32_t offset;
  Type type;
};

struct KindLayout {
  uint32_t bytes;
  const FieldLayout* fields;
  size_t field_count;
  int32_t table_pointer;  // needle: offset of the calibration table, else -1
};

constexpr FieldLayout kNeedleFields[] = {
    {.name = "source", .offset = 0x3C, .type = Type::kSource},
    {.name = "table entries", .offset = 0x74, .type = Type::kInt32},
    {.name = "max turn rate degrees", .offset = 0x78, .type = Type::kInt32},
    {.name = "callback", .offset = 0xE0, .type = Type::kCallback},
};
constexpr FieldLayout kStringFields[] = {
    {.name = "source 1", .offset = 0x3C, .type = Type::kSource},
    {.name = "source 2", .offset = 0x58, .type = Type::kSource},
    {.name = "source 3", .offset = 0x74, .type = Type::kSource},
    {.name = "text buffer", .offset = 0xB8, .type = Type::kPointer},
    {.name = "box width", .offset = 0xC0, .type = Type::kInt32},
    {.name = "box height", .offset = 0xC4, .type = Type::kInt32},
    {.name = "text colour", .offset = 0xD0, .type = Type::kHex32},
    {.name = "background colour", .offset = 0xD4, .type = Type::kHex32},
    {.name = "highlight colour", .offset = 0xD8, .type = Type::kHex32},
    {.name = "font face", .offset = 0xF8, .type = Type::kText32},
    {.name = "font weight", .offset = 0x118, .type = Type::kInt32},
    {.name = "character set", .offset = 0x11C, .type = Type::kInt32},
    {.name = "text flags", .offset = 0x120, .type = Type::kHex32},
    {.name = "characters", .offset = 0x124, .type = Type::kInt32},
    {.name = "highlights", .offset = 0x128, .type = Type::kPointer},
    {.name = "callback", .offset = 0x138, .type = Type::kCallback},
};
constexpr FieldLayout kSliderFields[] = {
    {.name = "x source", .offset = 0x3C, .type = Type::kSource},
    {.name = "x scale", .offset = 0x5C, .type = Type::kFloat64},
    {.name = "y source", .offset = 0x68, .type = Type::kSource},
    {.name = "y scale", .offset = 0x88, .type = Type::kFloat64},
    {.name = "x callback", .offset = 0xA8, .type = Type::kCallback},
    {.name = "y callback", .offset = 0xAC, .type = Type::kCallback},
};
constexpr FieldLayout kIconFields[] = {
    {.name = "source", .offset = 0x3C, .type = Type::kSource},
    {.name = "scale", .offset = 0x64, .type = Type::kFloat64},
    {.name = "offset", .offset = 0x6C, .type = Type::kInt32},
    {.name = "icons", .offset = 0x70, .type = Type::kInt32},
    {.name = "callback", .offset = 0x84, .type = Type::kCallback},
};
constexpr FieldLayout kMovingFields[] = {
    {.name = "x source", .offset = 0x3C, .type = Type::kSource},
    {.name = "x min", .offset = 0x5C, .type = Type::kFloat64},
    {.name = "x max", .offset = 0x64, .type = Type::kFloat64},
    {.name = "y source", .offset = 0x70, .type = Type::kSource},
    {.name = "y min", .offset = 0x90, .type = Type::kFloat64},
    {.name = "y max", .offset = 0x98, .type = Type::kFloat64},
    {.name = "x callback", .offset = 0xF4, .type = Type::kCallback},
    {.name = "y callback", .offset = 0xF8, .type = Type::kCallback},
};
constexpr FieldLayout kSpriteFields[] = {
    {.name = "x source", .offset = 0x3C, .type = Type::kSource},
    {.name = "x scale", .offset = 0x5C, .type = Type::kFloat64},
    {.name = "y source", .offset = 0x64, .type = Type::kSource},
    {.name = "y scale", .offset = 0x84, .type = Type::kFloat64},
    {.name = "rotation source", .offset = 0x8C, .type = Type::kSource},
    {.name = "rotation scale", .offset = 0xAC, .type = Type::kFloat64},
    {.name = "texture scale x", .offset = 0xB4, .type = Type::kFloat32},
    {.name = "texture scale y", .offset = 0xB8, .type = Type::kFloat32},
    {.name = "x callback", .offset = 0x13C, .type = Type::kCallback},
    {.name = "y callback", .offset = 0x140, .type = Type::kCallback},
    {.name = "rotation callback", .offset = 0x144, .type = Type::kCallback},
};

constexpr uint32_t kNeedleTable = 0x70;

constexpr KindLayout kKinds[] = {
    {.bytes = 96, .fields = nullptr, .field_count = 0, .table_pointer = -1},
    {.bytes = 236,
     .fields = kNeedleFields,
     .field_count = std::size(kNeedleFields),
     .table_pointer = kNeedleTable},
    {.bytes = 324,
     .fields = kStringFields,
     .field_count = std::size(kStringFields),
     .table_pointer = -1},
    {.bytes = 192,
     .fields = kSliderFields,
     .field_count = std::size(kSliderFields),
     .table_pointer = -1},
    {.bytes = 140,
     .fields = kIconFields,
     .field_count = std::size(kIconFields),
     .table_pointer = -1},
    {.bytes = 268,
     .fields = kMovingFields,
     .field_count = std::size(kMovingFields),
     .table_pointer = -1},
    {.bytes = 352,
     .fields = kSpriteFields,
     .field_count = std::size(kSpriteFields),
     .table_pointer = -1},
};
static_assert(std::size(kKinds) == std::size(kElementKindNames));

uint32_t field_bytes(Type type) {
  switch (type) {
    case Type::kSource:
      return kVarBytes;
    case Type::kFloat64:
      return 8;
    case Type::kText32:
      return 32;
    default:
      return 4;
  }
}

// ---------------------------------------------------------------------------
// A record copied out of the file: reads inside it cannot fail.

struct Record {
  std::vector<uint8_t> bytes;
  uint32_t address = 0;
  uint32_t u32(uint32_t at) const {
    uint32_t v = 0;
    if (at + 4 <= bytes.size()) std::memcpy(&v, bytes.data() + at, 4);
    return v;
  }
  int32_t i32(uint32_t at) const { return static_cast<int32_t>(u32(at)); }
  uint16_t u16(uint32_t at) const {
    uint16_t v = 0;
    if (at + 2 <= bytes.size()) std::memcpy(&v, bytes.data() + at, 2);
    return v;
  }
  double f64(uint32_t at) const {
    double v = 0;
    if (at + 8 <= bytes.size()) std::memcpy(&v, bytes.data() + at, 8);
    return v;
  }
  float f32(uint32_t at) const {
    float v = 0;
    if (at + 4 <= bytes.size()) std::memcpy(&v, bytes.data() + at, 4);
    return v;
  }
};

// ---------------------------------------------------------------------------

class Reader {
 public:
  Reader(std::span<const uint8_t> file, const std::string& name) : file_(file) {
    module_.file = name;
    module_.pe.file_size = file.size();
  }

  InspectResult run();
  InspectResult run_image();

 private:
  bool failed() const { return error_.has_value(); }
  bool fail(std::string what, std::string record,
            std::optional<uint64_t> offset = std::nullopt,
            std::optional<uint32_t> address = std::nullopt) {
    if (!error_)
      error_ = InspectError{.what = std::move(what),
                            .record = std::move(record),
                            .file_offset = offset,
                            .address = address};
    return false;
  }

  bool read_file(uint64_t offset, uint64_t size, const std::string& record,
                 Record& out);
  std::optional<uint64_t> file_offset_of(uint32_t address) const;
  bool read_at(uint32_t address, uint32_t size, const std::string& record,
               Record& out);
  bool read_rva(uint32_t rva, uint32_t size, const std::string& record,
                Record& out) {
    return read_at(module_.pe.image_base + rva, size, record, out);
  }
  bool read_text(uint32_t address, const std::string& record,
                 std::string& text);
  LinkField link(const std::string& name, uint32_t address) const {
    return {.name = name, .present = address != 0, .address = address};
  }
  bool is_code(uint32_t address) const;

  bool read_headers();
  bool read_exports(uint32_t rva, uint32_t size);
  bool read_imports(uint32_t rva);
  bool read_import_functions(const std::string& library, uint32_t names_rva,
                             uint32_t slots_rva);
  bool read_relocations(uint32_t rva, uint32_t size);
  bool read_resources(uint32_t rva, uint32_t size);
  bool read_resource_directory(uint32_t base_rva, uint32_t size);
  bool read_linkage();
  bool read_gauge(uint32_t address, int index);
  bool read_elements(InspectedGauge& gauge, uint32_t list, int depth,
                     std::set<uint32_t>& seen);
  bool read_element(InspectedGauge& gauge, uint32_t address, int depth,
                    InspectedElement& element, uint32_t& next_list);
  bool read_areas(InspectedGauge& gauge, uint32_t address);
  void check_records();

  std::span<const uint8_t> file_;
  InspectedModule module_;
  std::optional<InspectError> error_;
  uint32_t headers_size_ = 0;
  std::array<std::pair<uint32_t, uint32_t>, 16> directories_{};
  uint32_t directory_count_ = 0;
  int records_read_ = 0;  // elements and mouse areas of every gauge
  uint64_t resource_bytes_ = 0;
  // Whether the imported functions and relocations are read too.
  bool for_mapping_ = false;
};

bool Reader::read_file(uint64_t offset, uint64_t size,
                       const std::string& record, Record& out) {
  if (failed()) return false;
  if (offset > file_.size() || file_.size() - offset < size)
    return fail("the file ends at " + hex(file_.size()) + ", before the " +
                    std::to_string(size) + " bytes of this record",
                record, offset);
  out.bytes.assign(file_.begin() + static_cast<ptrdiff_t>(offset),
                   file_.begin() + static_cast<ptrdiff_t>(offset + size));
  out.address = 0;
  return true;
}

std::optional<uint64_t> Reader::file_offset_of(uint32_t address) const {
  const uint32_t base = module_.pe.image_base;
  if (address < base) return std::nullopt;
  const uint32_t rva = address - base;
  if (rva < headers_size_) {
    if (rva >= file_.size()) return std::nullopt;
    return rva;
  }
  for (const PeSection& s : module_.pe.sections) {
    const uint32_t start = s.address - base;
    if (rva >= start && rva - start < s.file_size)
      return uint64_t(s.file_offset) + (rva - start);
  }
  return std::nullopt;
}

// Maps the address through the sections; the record must lie in one
// section, and what lies past the section's file data reads as zeros, as
// it does once loaded.
bool Reader::read_at(uint32_t address, uint32_t size, const std::string& record,
                     Record& out) {
  if (failed()) return false;
  if (address == 0) return fail("null pointer", record, std::nullopt, 0);
  const uint32_t base = module_.pe.image_base;
  const uint64_t rva = uint64_t(address) - base;
  if (address < base)
    return fail("address below the image base " + hex(base), record,
                std::nullopt, address);
  if (rva + size <= headers_size_)
    return read_file(rva, size, record, out) && ((out.address = address), true);
  for (const PeSection& s : module_.pe.sections) {
    const uint64_t start = uint64_t(s.address) - base;
    const uint64_t extent = std::max(s.virtual_size, s.file_size);
    if (rva < start || rva >= start + extent) continue;
    if (rva + size > start + extent)
      return fail("runs past the end of section " + s.name + " (" +
                      std::to_string(size) + " bytes from offset " +
                      hex(rva - start) + " of " + hex(extent) + ")",
                  record, std::nullopt, address);
    out.bytes.assign(size, 0);
    out.address = address;
    const uint64_t in_section = rva - start;
    if (in_section < s.file_size && size > 0) {
      const uint64_t available =
          std::min<uint64_t>(size, s.file_size - in_section);
      // The sections' file extents were checked against the file.
      std::memcpy(out.bytes.data(), file_.data() + s.file_offset + in_section,
                  available);
    }
    return true;
  }
  return fail("address in no section", record, std::nullopt, address);
}

bool Reader::read_text(uint32_t address, const std::string& record,
                       std::string& text) {
  text.clear();
  Record first;
  if (!read_at(address, 1, record, first)) return false;
  // The text's bytes up to the end of the file data holding it; past that
  // the loaded image holds zeros, which end it.
  const std::optional<uint64_t> at = file_offset_of(address);
  if (!at) return true;  // in a zero-filled tail: an empty text
  uint64_t end = std::min<uint64_t>(headers_size_, file_.size());
  for (const PeSection& s : module_.pe.sections)
    if (address >= s.address && address - s.address < s.file_size)
      end = uint64_t(s.file_offset) + s.file_size;
  for (uint64_t i = *at; i < end; ++i) {
    if (file_[i] == 0) return true;
    if (text.size() == kMaxText)
      return fail("text longer than " + std::to_string(kMaxText) + " bytes",
                  record, at, address);
    text.push_back(static_cast<char>(file_[i]));
  }
  return true;
}

bool Reader::is_code(uint32_t address) const {
  constexpr uint32_t kExecutable = 0x20000000;
  for (const PeSection& s : module_.pe.sections)
    if (address >= s.address &&
        address - s.address < std::max(s.virtual_size, s.file_size))
      return (s.characteristics & kExecutable) != 0;
  return false;
}

bool Reader::read_headers() {
  Record dos;
  if (file_.size() < 2 || file_[0] != 'M' || file_[1] != 'Z')
    return fail("not a PE module: no \"MZ\" at the start", "DOS header", 0);
  if (!read_file(0, 64, "DOS header", dos)) return false;
  const uint32_t pe_at = dos.u32(0x3C);
  Record nt;
  if (!read_file(pe_at, 24, "PE signature and file header", nt)) return false;
  if (std::memcmp(nt.bytes.data(), "PE\0\0", 4) != 0)
    return fail("not a PE module: no \"PE\" signature", "PE signature", pe_at);
  PeSummary& pe = module_.pe;
  pe.machine = nt.u16(4);
  const uint16_t section_count = nt.u16(6);
  const uint16_t optional_size = nt.u16(20);
  pe.characteristics = nt.u16(22);
  const uint64_t optional_at = uint64_t(pe_at) + 24;
  Record magic;
  if (!read_file(optional_at, 2, "optional header", magic)) return false;
  if (magic.u16(0) == 0x20B)
    return fail("a 64-bit (PE32+) module; gauge modules are 32-bit",
                "optional header", optional_at);
  if (magic.u16(0) != 0x10B)
    return fail("unknown optional header magic " + hex(magic.u16(0)),
                "optional header", optional_at);
  if (pe.machine != 0x14C)
    return fail("machine " + hex(pe.machine) + " is not i386", "PE file header",
                pe_at + 4);
  if (optional_size < 96)
    return fail("optional header of " + std::to_string(optional_size) +
                    " bytes is too short",
                "PE file header", pe_at + 20);
  Record optional;
  if (!read_file(optional_at, optional_size, "optional header", optional))
    return false;
  pe.entry_point = optional.u32(16);
  pe.image_base = optional.u32(28);
  pe.image_size = optional.u32(56);
  headers_size_ = optional.u32(60);
  pe.headers_size = headers_size_;
  directory_count_ =
      std::min<uint32_t>({optional.u32(92), 16, (optional_size - 96u) / 8});
  for (uint32_t i = 0; i < directory_count_; ++i)
    directories_[i] = {optional.u32(96 + 8 * i), optional.u32(100 + 8 * i)};
  if (pe.entry_point != 0) pe.entry_point += pe.image_base;
  if (uint64_t(pe.image_base) + pe.image_size > 0xFFFFFFFFull)
    return fail("image of " + hex(pe.image_size) + " bytes at " +
                    hex(pe.image_base) + " passes 4 GiB",
                "optional header", optional_at + 28);

  const uint64_t table_at = optional_at + optional_size;
  for (uint16_t i = 0; i < section_count; ++i) {
    const std::string record = "section header " + std::to_string(i + 1);
    Record h;
    if (!read_file(table_at + 40ull * i, 40, record, h)) return false;
    PeSection s;
    s.name.assign(reinterpret_cast<const char*>(h.bytes.data()),
                  strnlen(reinterpret_cast<const char*>(h.bytes.data()), 8));
    s.virtual_size = h.u32(8);
    const uint32_t rva = h.u32(12);
    s.file_size = h.u32(16);
    s.file_offset = h.u32(20);
    s.characteristics = h.u32(36);
    if (uint64_t(rva) + std::max(s.virtual_size, s.file_size) > pe.image_size)
      return fail("section " + s.name + " lies outside the image of " +
                      hex(pe.image_size) + " bytes",
                  record, table_at + 40ull * i);
    if (s.file_size > 0 && (s.file_offset > file_.size() ||
                            file_.size() - s.file_offset < s.file_size))
      return fail("the file ends at " + hex(file_.size()) +
                      ", before the end of section " + s.name + " (" +
                      hex(uint64_t(s.file_offset) + s.file_size) + ")",
                  record, table_at + 40ull * i);
    s.address = pe.image_base + rva;
    pe.sections.push_back(std::move(s));
  }
  return true;
}

bool Reader::read_exports(uint32_t rva, uint32_t size) {
  if (rva == 0 || size == 0) return true;
  Record dir;
  if (!read_rva(rva, 40, "export directory", dir)) return false;
  const uint32_t base = dir.u32(16);
  const uint32_t functions = dir.u32(20);
  const uint32_t names = dir.u32(24);
  if (functions > 65536 || names > functions)
    return fail(std::to_string(functions) + " functions and " +
                    std::to_string(names) + " names are not believable",
                "export directory", file_offset_of(dir.address), dir.address);
  std::vector<std::string> named(functions);
  for (uint32_t i = 0; i < names; ++i) {
    const std::string record = "export name " + std::to_string(i + 1);
    Record name_rva, ordinal;
    if (!read_rva(dir.u32(32) + 4 * i, 4, record, name_rva) ||
        !read_rva(dir.u32(36) + 2 * i, 2, record, ordinal))
      return false;
    std::string text;
    if (!read_text(module_.pe.image_base + name_rva.u32(0), record, text))
      return false;
    if (ordinal.u16(0) >= functions)
      return fail("ordinal index " + std::to_string(ordinal.u16(0)) +
                      " past the " + std::to_string(functions) + " functions",
                  record, file_offset_of(ordinal.address), ordinal.address);
    named[ordinal.u16(0)] = text;
  }
  for (uint32_t i = 0; i < functions; ++i) {
    Record address;
    if (!read_rva(dir.u32(28) + 4 * i, 4,
                  "export address " + std::to_string(i + 1), address))
      return false;
    if (address.u32(0) == 0) continue;
    module_.pe.exports.push_back(
        {.name = named[i],
         .ordinal = base + i,
         .address = module_.pe.image_base + address.u32(0)});
  }
  return true;
}

bool Reader::read_imports(uint32_t rva) {
  if (rva == 0) return true;
  for (int i = 0; i < 4096; ++i) {
    const std::string record = "import descriptor " + std::to_string(i + 1);
    Record d;
    if (!read_rva(rva + 20 * i, 20, record, d)) return false;
    if (d.u32(12) == 0 && d.u32(16) == 0) return true;
    std::string name;
    if (!read_text(module_.pe.image_base + d.u32(12), record, name))
      return false;
    module_.pe.imported_libraries.push_back(name);
    // Without a lookup table of its own the slots hold the names.
    if (for_mapping_ &&
        !read_import_functions(name, d.u32(0) != 0 ? d.u32(0) : d.u32(16),
                               d.u32(16)))
      return false;
  }
  return fail("import descriptors not ended", "import directory", std::nullopt,
              module_.pe.image_base + rva);
}

bool Reader::read_import_functions(const std::string& library,
                                   uint32_t names_rva, uint32_t slots_rva) {
  constexpr int kMaxImportsPerLibrary = 65536;
  for (int i = 0; i < kMaxImportsPerLibrary; ++i) {
    const std::string record = library + " import " + std::to_string(i + 1);
    Record entry, slot;
    if (!read_rva(names_rva + 4u * i, 4, record, entry) ||
        !read_rva(slots_rva + 4u * i, 4, record + " slot", slot))
      return false;
    const uint32_t value = entry.u32(0);
    if (value == 0) return true;
    PeImport import{
        .library = library, .name = {}, .ordinal = 0, .slot = slot.address};
    if (value & 0x80000000u) {
      import.ordinal = value & 0xFFFFu;
    } else {
      // A hint of two bytes, then the name.
      if (!read_text(module_.pe.image_base + value + 2, record + " name",
                     import.name))
        return false;
      if (import.name.empty())
        return fail("empty import name", record, std::nullopt,
                    module_.pe.image_base + value + 2);
    }
    module_.pe.imports.push_back(std::move(import));
  }
  return fail("import list not ended", library + " imports", std::nullopt,
              module_.pe.image_base + names_rva);
}

// Blocks of a page address and 16-bit entries: a type in the top four bits
// and the offset in the page below. Only 32-bit fix-ups are meaningful in
// an i386 image; padding entries (type 0) are skipped.
bool Reader::read_relocations(uint32_t rva, uint32_t size) {
  if (rva == 0 || size == 0) return true;
  uint32_t at = 0;
  while (size - at >= 8) {
    Record block;
    if (!read_rva(rva + at, 8, "base relocation block", block)) return false;
    const uint32_t page = block.u32(0);
    const uint32_t block_size = block.u32(4);
    if (block_size < 8 || block_size > size - at || block_size % 2 != 0)
      return fail("block of " + std::to_string(block_size) +
                      " bytes in a directory with " +
                      std::to_string(size - at) + " left",
                  "base relocation block", file_offset_of(block.address),
                  block.address);
    Record entries;
    if (!read_rva(rva + at + 8, block_size - 8, "base relocation entries",
                  entries))
      return false;
    for (uint32_t i = 0; i + 2 <= block_size - 8; i += 2) {
      const uint16_t entry = entries.u16(i);
      const uint32_t type = entry >> 12;
      if (type == 0) continue;
      const uint64_t target = uint64_t(page) + (entry & 0xFFFu);
      if (type != 3)
        return fail("relocation type " + std::to_string(type) +
                        " is not a 32-bit fix-up",
                    "base relocation entries", std::nullopt,
                    entries.address + i);
      if (target + 4 > module_.pe.image_size)
        return fail("fix-up at " + hex(target) + " outside the image of " +
                        hex(module_.pe.image_size) + " bytes",
                    "base relocation entries", std::nullopt,
                    entries.address + i);
      module_.pe.relocations.push_back(static_cast<uint32_t>(target));
    }
    at += block_size;
  }
  return true;
}

struct ResourceName {
  int64_t id = -1;
  std::string name;
  std::string text() const { return id >= 0 ? std::to_string(id) : name; }
};

bool Reader::read_resources(uint32_t rva, uint32_t size) {
  if (rva == 0 || size == 0) return true;
  return read_resource_directory(rva, size);
}

// Three levels, as resource compilers write them: type, name, language.
bool Reader::read_resource_directory(uint32_t base_rva, uint32_t size) {
  int seen = 0;
  uint32_t entries_read = 0;
  struct Entry {
    ResourceName name;
    uint32_t target = 0;
  };
  const auto entries = [&](uint32_t at, const std::string& record,
                           std::vector<Entry>& out) {
    out.clear();
    if (at >= size || ++seen > int(kMaxResourceEntries))
      return fail("directory offset " + hex(at) + " outside the " + hex(size) +
                      " bytes of resources",
                  record, std::nullopt, module_.pe.image_base + base_rva + at);
    Record head;
    if (!read_rva(base_rva + at, 16, record, head)) return false;
    const uint32_t count = uint32_t(head.u16(12)) + head.u16(14);
    entries_read += count;
    if (entries_read > kMaxResourceEntries)
      return fail("more than " + std::to_string(kMaxResourceEntries) +
                      " resource directory entries",
                  record, file_offset_of(head.address), head.address);
    for (uint32_t i = 0; i < count; ++i) {
      Record e;
      if (!read_rva(base_rva + at + 16 + 8 * i, 8, record, e)) return false;
      Entry entry;
      const uint32_t name = e.u32(0);
      if (name & 0x80000000u) {
        Record length;
        const uint32_t name_at = base_rva + (name & 0x7FFFFFFFu);
        if (!read_rva(name_at, 2, record + " name", length)) return false;
        Record chars;
        if (!read_rva(name_at + 2, 2u * length.u16(0), record + " name", chars))
          return false;
        for (uint32_t c = 0; c < length.u16(0); ++c) {
          const uint16_t unit = chars.u16(2 * c);
          entry.name.name.push_back(unit < 0x80 ? char(unit) : '?');
        }
      } else {
        entry.name.id = name;
      }
      entry.target = e.u32(4);
      out.push_back(std::move(entry));
    }
    return true;
  };
  std::vector<Entry> types, names, languages;
  if (!entries(0, "resource directory", types)) return false;
  for (const Entry& type : types) {
    const std::string type_text =
        type.name.id == 2 ? "BITMAP" : type.name.text();
    if (!(type.target & 0x80000000u))
      return fail("type " + type_text + " has no name directory",
                  "resource directory");
    if (!entries(type.target & 0x7FFFFFFFu, "resources of type " + type_text,
                 names))
      return false;
    int count = 0;
    for (const Entry& name : names) {
      const std::string record = type_text + " resource " + name.name.text();
      uint32_t data_at = name.target;
      if (name.target & 0x80000000u) {
        if (!entries(name.target & 0x7FFFFFFFu, record, languages))
          return false;
        if (languages.empty())
          return fail(
              "no language entry", record, std::nullopt,
              module_.pe.image_base + base_rva + (name.target & 0x7FFFFFFFu));
        if (languages.front().target & 0x80000000u)
          return fail("a fourth directory level", record);
        data_at = languages.front().target;
      }
      Record data;
      if (data_at >= size)
        return fail("data entry offset " + hex(data_at) + " outside the " +
                        hex(size) + " bytes of resources",
                    record);
      if (!read_rva(base_rva + data_at, 16, record + " data entry", data))
        return false;
      const uint32_t address = module_.pe.image_base + data.u32(0);
      const uint32_t bytes = data.u32(4);
      const auto offset = file_offset_of(address);
      if (!offset || file_.size() - *offset < bytes ||
          !file_offset_of(address + (bytes ? bytes - 1 : 0)))
        return fail(std::to_string(bytes) + " bytes not within the file",
                    record + " data", offset, address);
      ++count;
      module_.pe.resources.push_back({.type_id = type.name.id,
                                      .type_name = type.name.name,
                                      .id = name.name.id,
                                      .name = name.name.name,
                                      .address = address,
                                      .bytes = bytes});
      resource_bytes_ += bytes;
      if (resource_bytes_ > 4 * uint64_t(file_.size()))
        return fail("resources add up to more than four times the file",
                    record + " data", offset, address);
      const uint8_t* content = file_.data() + *offset;
      if (type.name.id == 2) {
        BitmapResource b{.id = name.name.id,
                         .name = name.name.name,
                         .file_offset = static_cast<uint32_t>(*offset),
                         .bytes = bytes,
                         .content_hash = 0,
                         .problem = {}};
        describe_bitmap({content, bytes}, b);
        module_.bitmaps.push_back(std::move(b));
      } else if (type.name.name == "WAVE") {
        RecordingResource r{.id = name.name.id,
                            .name = name.name.name,
                            .file_offset = static_cast<uint32_t>(*offset),
                            .bytes = bytes,
                            .content_hash = 0,
                            .problem = {}};
        describe_recording({content, bytes}, r);
        module_.recordings.push_back(std::move(r));
      }
    }
    module_.resource_types.push_back({.type = type_text, .count = count});
  }
  return true;
}

bool Reader::read_linkage() {
  const PeExport* linkage = nullptr;
  const PeExport* imports = nullptr;
  for (const PeExport& e : module_.pe.exports) {
    if (e.name == "Linkage")
      linkage = &e;
    else if (e.name == "ImportTable")
      imports = &e;
    else
      module_.unexpected_exports.push_back(
          e.name.empty() ? "#" + std::to_string(e.ordinal) : e.name);
  }
  if (imports == nullptr) module_.missing_exports.push_back("ImportTable");
  if (linkage == nullptr) {
    module_.missing_exports.push_back("Linkage");
    return fail("no export named \"Linkage\": not a gauge module",
                "export directory");
  }
  if (imports != nullptr) {
    for (int i = 0; i < kImportEntries; ++i) {
      Record entry;
      if (!read_at(imports->address + 8 * i, 8,
                   "ImportTable entry " + std::to_string(i + 1), entry))
        return false;
      module_.import_table.push_back(
          {entry.u32(0), link("pointer", entry.u32(4))});
      if (entry.u32(0) == 0) break;
    }
  }
  Record head;
  if (!read_at(linkage->address, kLinkageHeadBytes, "Linkage", head))
    return false;
  module_.module_id = head.u32(0);
  module_.init = link("init", head.u32(4));
  module_.deinit = link("deinit", head.u32(8));
  module_.flags = head.u32(12);
  module_.status = head.u32(16);
  module_.version = head.u32(20);
  for (int i = 0; i < kMaxGauges; ++i) {
    Record slot;
    if (!read_at(linkage->address + kLinkageHeadBytes + kPointerBytes * i,
                 kPointerBytes,
                 "Linkage gauge table slot " + std::to_string(i + 1), slot))
      return false;
    if (slot.u32(0) == 0) return true;
    if (!read_gauge(slot.u32(0), i)) return false;
  }
  return fail("gauge table not ended by a null pointer after " +
                  std::to_string(kMaxGauges) + " gauges",
              "Linkage gauge table", std::nullopt, linkage->address);
}

std::vector<HostWord> host_words(const Record& r,
                                 const std::vector<bool>& module_word) {
  std::vector<HostWord> words;
  for (uint32_t at = 0; at + 4 <= r.bytes.size(); at += 4)
    if (!module_word[at / 4] && r.u32(at) != 0)
      words.push_back({.offset = at, .value = r.u32(at)});
  return words;
}

bool Reader::read_gauge(uint32_t address, int index) {
  InspectedGauge gauge;
  gauge.address = address;
  std::string record = "gauge header " + std::to_string(index + 1);
  Record h;
  if (!read_at(address, kGaugeHeaderBytes, record, h)) return false;
  gauge.version = h.u32(kGaugeVersion);
  if (!read_text(h.u32(kGaugeName), record + " name", gauge.name)) return false;
  record += " (" + gauge.name + ")";
  gauge.default_width_mm = h.u32(kGaugeWidth);
  gauge.callback = link("callback", h.u32(kGaugeCallback));
  gauge.user_word = h.u32(kGaugeUserWord);
  if (h.u32(kGaugeParameterText) != 0) {
    std::string text;
    if (!read_text(h.u32(kGaugeParameterText), record + " parameter text",
                   text))
      return false;
    gauge.parameter_text = text;
  }
  std::vector<bool> module_word(kGaugeHeaderBytes / 4, false);
  for (uint32_t at :
       {kGaugeVersion, kGaugeName, kGaugeElements, kGaugeWidth, kGaugeAreas,
        kGaugeCallback, kGaugeUserWord, kGaugeParameterText})
    module_word[at / 4] = true;
  gauge.host_words = host_words(h, module_word);
  if (gauge.callback.present && !is_code(gauge.callback.address))
    module_.problems.push_back(gauge.name +
                               ": gauge callback outside the code");
  std::set<uint32_t> seen;
  if (h.u32(kGaugeElements) != 0 &&
      !read_elements(gauge, h.u32(kGaugeElements), 0, seen))
    return false;
  if (h.u32(kGaugeAreas) != 0 && !read_areas(gauge, h.u32(kGaugeAreas)))
    return false;
  module_.gauges.push_back(std::move(gauge));
  return true;
}

bool Reader::read_elements(InspectedGauge& gauge, uint32_t list, int depth,
                           std::set<uint32_t>& seen) {
  const std::string where = gauge.name + " element list at " + hex(list);
  if (depth > kMaxDepth)
    return fail("element lists nested deeper than " + std::to_string(kMaxDepth),
                where, file_offset_of(list), list);
  for (int i = 0; i < kMaxListEntries; ++i) {
    Record entry;
    if (!read_at(list + kPointerBytes * i, kPointerBytes, where, entry))
      return false;
    const uint32_t address = entry.u32(0);
    if (address == 0) return true;
    const int number = static_cast<int>(gauge.elements.size()) + 1;
    if (!seen.insert(address).second) {
      int first = 0;
      for (const InspectedElement& e : gauge.elements)
        if (e.address == address) first = e.number;
      return fail(
          "loop in the element chain: element " + std::to_string(number) +
              " would be element " + std::to_string(first) + " again",
          gauge.name + " element list entry " + std::to_string(i + 1),
          file_offset_of(list + kPointerBytes * i), list + kPointerBytes * i);
    }
    if (++records_read_ > kMaxModuleRecords)
      return fail("more than " + std::to_string(kMaxModuleRecords) +
                      " elements and mouse areas in the module",
                  where, file_offset_of(address), address);
    if (number > kMaxElements)
      return fail("more than " + std::to_string(kMaxElements) + " elements",
                  where, file_offset_of(address), address);
    gauge.elements.emplace_back();
    InspectedElement element;
    uint32_t next = 0;
    if (!read_element(gauge, address, depth, element, next)) return false;
    element.number = number;
    gauge.elements[number - 1] = std::move(element);
    if (next != 0) {
      const size_t before = gauge.elements.size();
      if (!read_elements(gauge, next, depth + 1, seen)) return false;
      int direct = 0;
      for (size_t k = before; k < gauge.elements.size(); ++k)
        direct += gauge.elements[k].depth == depth + 1;
      gauge.elements[number - 1].next_count = direct;
    }
  }
  return fail("element list not ended after " +
                  std::to_string(kMaxListEntries) + " entries",
              where, file_offset_of(list), list);
}

bool Reader::read_element(InspectedGauge& gauge, uint32_t address, int depth,
                          InspectedElement& e, uint32_t& next_list) {
  const std::string record =
      gauge.name + " element " + std::to_string(gauge.elements.size());
  Record head;
  if (!read_at(address, kElementHeaderBytes, record, head)) return false;
  const uint32_t kind = head.u32(kElementKind);
  if (kind >= std::size(kKinds))
    return fail("unknown element kind " + std::to_string(kind), record,
                file_offset_of(address), address);
  const KindLayout& layout = kKinds[kind];
  Record r;
  if (!read_at(address, layout.bytes,
               record + " (" + element_kind_name(kind) + ")", r))
    return false;
  e.address = address;
  e.depth = depth;
  e.kind = kind;
  e.bitmap = r.i32(kElementBitmap);
  e.x = r.i32(kElementX);
  e.y = r.i32(kElementY);
  e.offset_x = r.i32(kElementOffsetX);
  e.offset_y = r.i32(kElementOffsetY);
  e.image_flags = r.u32(kElementImageFlags);
  e.special_flags = r.u32(kElementSpecialFlags);
  e.reserved = r.u32(kElementReserved);
  e.gauge_link_matches = r.u32(kElementGauge) == gauge.address;
  next_list = r.u32(kElementNext);
  std::vector<bool> module_word(layout.bytes / 4, false);
  for (uint32_t at : kElementModuleWords) module_word[at / 4] = true;

  if (const uint32_t failures = r.u32(kElementFailures); failures != 0) {
    e.failures.emplace();
    for (int i = 0;; ++i) {
      if (i == kMaxFailures)
        return fail("failure list not ended after " +
                        std::to_string(kMaxFailures) + " entries",
                    record + " failure list", file_offset_of(failures),
                    failures);
      Record row;
      if (!read_at(failures + kFailureBytes * i, kFailureBytes,
                   record + " failure list", row))
        return false;
      if (row.i32(0) == 0) break;
      e.failures->push_back(
          {.key = row.i32(0), .action = row.i32(4), .reserved = row.i32(8)});
    }
  }
  for (size_t i = 0; i < layout.field_count; ++i) {
    const FieldLayout& f = layout.fields[i];
    const uint32_t words = field_bytes(f.type) / 4;
    for (uint32_t w = 0; w < words; ++w) module_word[f.offset / 4 + w] = true;
    switch (f.type) {
      case Type::kSource:
        e.sources.push_back({.name = f.name,
                             .token = r.i32(f.offset + kVarToken),
                             .var_type = r.i32(f.offset + kVarType)});
        // The binding's pointer, value and previous value are the host's.
        module_word[f.offset / 4 + 1] = false;
        for (uint32_t w = 3; w < words; ++w)
          module_word[f.offset / 4 + w] = false;
        break;
      case Type::kCallback:
      case Type::kPointer:
        e.links.push_back(link(f.name, r.u32(f.offset)));
        if (f.type == Type::kCallback && r.u32(f.offset) != 0 &&
            !is_code(r.u32(f.offset)))
          module_.problems.push_back(record + ": " + f.name +
                                     " outside the code");
        break;
      case Type::kInt32:
        e.fields.push_back({.name = f.name, .value = int64_t(r.i32(f.offset))});
        break;
      case Type::kHex32:
        e.fields.push_back({.name = f.name,
                            .value = int64_t(r.u32(f.offset)),
                            .hexadecimal = true});
        break;
      case Type::kFloat64:
        e.fields.push_back({.name = f.name, .value = r.f64(f.offset)});
        break;
      case Type::kFloat32:
        e.fields.push_back({.name = f.name, .value = double(r.f32(f.offset))});
        break;
      case Type::kText32: {
        const char* text = reinterpret_cast<const char*>(&r.bytes[f.offset]);
        e.fields.push_back(
            {.name = f.name, .value = std::string(text, strnlen(text, 32))});
        break;
      }
    }
  }
  if (layout.table_pointer >= 0) {
    const auto at = static_cast<uint32_t>(layout.table_pointer);
    module_word[at / 4] = true;
    const uint32_t table = r.u32(at);
    const int32_t entries = r.i32(at + 4);
    if (table != 0 && entries > 0) {
      if (entries > kMaxTableEntries)
        return fail(std::to_string(entries) + " table entries",
                    record + " nonlinearity table", file_offset_of(address),
                    address);
      Record rows;
      if (!read_at(table, kNonlinearityBytes * uint32_t(entries),
                   record + " nonlinearity table", rows))
        return false;
      for (int32_t i = 0; i < entries; ++i) {
        const uint32_t row = kNonlinearityBytes * uint32_t(i);
        e.table.push_back({.x = rows.i32(row),
                           .y = rows.i32(row + 4),
                           .value = rows.f64(row + 8),
                           .angle = rows.f64(row + 16)});
      }
    }
  }
  e.host_words = host_words(r, module_word);
  return true;
}

bool Reader::read_areas(InspectedGauge& gauge, uint32_t address) {
  int depth = 0;
  for (int i = 0; i < kMaxAreas; ++i) {
    const std::string record =
        gauge.name + " mouse area " + std::to_string(i + 1);
    if (++records_read_ > kMaxModuleRecords)
      return fail("more than " + std::to_string(kMaxModuleRecords) +
                      " elements and mouse areas in the module",
                  record, std::nullopt, address + kAreaBytes * i);
    Record r;
    if (!read_at(address + kAreaBytes * i, kAreaBytes, record, r)) return false;
    InspectedArea a;
    a.address = r.address;
    a.number = i + 1;
    a.kind = r.u32(0);
    if (a.kind > 4)
      return fail("unknown mouse area kind " + std::to_string(a.kind), record,
                  file_offset_of(r.address), r.address);
    if (a.kind == 3) depth = std::max(0, depth - 1);
    a.depth = depth;
    if (a.kind == 1) ++depth;
    a.x = r.i32(4);
    a.y = r.i32(8);
    a.width = r.i32(12);
    a.height = r.i32(16);
    a.cursor = r.i32(20);
    a.help_id = r.u32(24);
    a.mouse_flags = r.u32(28);
    a.event = r.u32(32);
    a.callback = link(a.kind == 4 ? "text" : "callback", r.u32(36));
    a.arguments = link("arguments", r.u32(40));
    if (a.kind == 4 && a.callback.present) {
      std::string text;
      if (!read_text(a.callback.address, record + " tooltip text", text))
        return false;
      a.tooltip_text = text;
    } else if (a.callback.present && !is_code(a.callback.address)) {
      module_.problems.push_back(record + ": callback outside the code");
    }
    if (a.kind == 4 && a.arguments.present) {
      if (a.event > kMaxTooltipArgs)
        return fail(std::to_string(a.event) + " tooltip arguments", record,
                    file_offset_of(r.address), r.address);
      Record args;
      if (!read_at(a.arguments.address, kTooltipArgBytes * a.event,
                   record + " tooltip arguments", args))
        return false;
      for (uint32_t k = 0; k < a.event; ++k) {
        const uint32_t at = kTooltipArgBytes * k;
        TooltipArgument arg{
            .token = args.i32(at + kVarToken),
            .var_type = args.i32(at + kVarType),
            .number_callback = link("number callback", args.u32(at + 0x3C)),
            .text_callback = link("text callback", args.u32(at + 0x44)),
            .other_words = {}};
        for (uint32_t w = kVarBytes; w < kTooltipArgBytes; w += 4)
          if (w != 0x3C && w != 0x44 && args.u32(at + w) != 0)
            arg.other_words.push_back({.offset = w, .value = args.u32(at + w)});
        a.tooltip_arguments.push_back(std::move(arg));
      }
    }
    gauge.areas.push_back(std::move(a));
    if (gauge.areas.back().kind == 0) {
      if (depth != 0)
        module_.problems.push_back(gauge.name + ": " + std::to_string(depth) +
                                   " mouse parent(s) not closed");
      return true;
    }
  }
  return fail("mouse area list not ended after " + std::to_string(kMaxAreas) +
                  " records",
              gauge.name + " mouse areas", file_offset_of(address), address);
}

void Reader::check_records() {
  for (const InspectedGauge& g : module_.gauges)
    for (const InspectedElement& e : g.elements)
      if (!e.gauge_link_matches)
        module_.problems.push_back(g.name + " element " +
                                   std::to_string(e.number) +
                                   ": back link names another gauge");
}

InspectResult Reader::run() {
  if (file_.size() > kMaxModuleFileBytes)
    fail("larger than " + std::to_string(kMaxModuleFileBytes >> 20) + " MiB",
         "file");
  if (!failed() && read_headers()) {
    const auto dir = [&](uint32_t i) {
      return i < directory_count_ ? directories_[i]
                                  : std::pair<uint32_t, uint32_t>{0, 0};
    };
    if ((module_.pe.characteristics & 0x2000) == 0)
      module_.problems.push_back("the file is a program, not a library");
    read_exports(dir(0).first, dir(0).second) && read_imports(dir(1).first) &&
        read_resources(dir(2).first, dir(2).second) && read_linkage();
  }
  if (error_) return *error_;
  check_records();
  cross_check_bitmaps(module_);
  return std::move(module_);
}

InspectResult Reader::run_image() {
  for_mapping_ = true;
  if (file_.size() > kMaxModuleFileBytes)
    fail("larger than " + std::to_string(kMaxModuleFileBytes >> 20) + " MiB",
         "file");
  if (!failed() && read_headers()) {
    const auto dir = [&](uint32_t i) {
      return i < directory_count_ ? directories_[i]
                                  : std::pair<uint32_t, uint32_t>{0, 0};
    };
    module_.pe.tls_directory =
        dir(9).first != 0 ? module_.pe.image_base + dir(9).first : 0;
    read_exports(dir(0).first, dir(0).second) && read_imports(dir(1).first) &&
        read_resources(dir(2).first, dir(2).second) &&
        read_relocations(dir(5).first, dir(5).second);
  }
  if (error_) return *error_;
  return std::move(module_);
}

}  // namespace

void describe_bitmap(std::span<const uint8_t> bytes, BitmapResource& b) {
  b.bytes = static_cast<uint32_t>(bytes.size());
  b.content_hash = content_hash(bytes.data(), bytes.size());
  Record info;
  info.bytes.assign(bytes.begin(),
                    bytes.begin() + std::min<size_t>(bytes.size(), 40));
  if (bytes.size() < 40 || info.u32(0) < 40) {
    b.problem = "not a device-independent bitmap header";
    return;
  }
  b.width = info.i32(4);
  b.height = info.i32(8);
  b.bits_per_pixel = info.u16(14);
  b.compression = info.u32(16);
}

// RIFF "WAVE": chunks of a four-letter id and a 32-bit size, padded to even.
void describe_recording(std::span<const uint8_t> bytes, RecordingResource& r) {
  r.bytes = static_cast<uint32_t>(bytes.size());
  r.content_hash = content_hash(bytes.data(), bytes.size());
  const uint8_t* content = bytes.data();
  const uint64_t size = bytes.size();
  const auto u32_at = [&](uint64_t at) {
    uint32_t v;
    std::memcpy(&v, content + at, 4);
    return v;
  };
  if (size < 12 || std::memcmp(content, "RIFF", 4) != 0 ||
      std::memcmp(content + 8, "WAVE", 4) != 0) {
    r.problem = "not a RIFF WAVE file";
    return;
  }
  bool format = false, data_found = false;
  for (uint64_t at = 12; at + 8 <= size;) {
    const uint32_t chunk = u32_at(at + 4);
    const bool whole = size - (at + 8) >= chunk;
    if (std::memcmp(content + at, "fmt ", 4) == 0 && whole && chunk >= 16) {
      format = true;
      std::memcpy(&r.format_tag, content + at + 8, 2);
      std::memcpy(&r.channels, content + at + 10, 2);
      r.samples_per_second = u32_at(at + 12);
      std::memcpy(&r.bits_per_sample, content + at + 22, 2);
    } else if (std::memcmp(content + at, "data", 4) == 0) {
      data_found = true;
      r.data_bytes = chunk;
      if (!whole) r.problem = "data chunk runs past the resource";
    }
    at += 8 + uint64_t(chunk) + (chunk & 1);
  }
  if (!format)
    r.problem = "no \"fmt \" chunk";
  else if (!data_found)
    r.problem = "no \"data\" chunk";
}

InspectResult read_module(std::span<const uint8_t> file,
                          const std::string& file_name) {
  return Reader(file, file_name).run();
}

InspectResult read_pe_image(std::span<const uint8_t> file,
                            const std::string& file_name) {
  return Reader(file, file_name).run_image();
}
