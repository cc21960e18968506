// What a gauge module file holds, read without running it: its PE image,
// the two exported records, every gauge with its element tree and mouse
// areas, and its bitmap and recording resources. Plain data: the static
// reader fills it from the file's bytes and the native tests from the
// linked-in records, so that the two can be compared field by field.
// Addresses are virtual addresses of the 32-bit image; they say where a
// record sits and are left out of comparisons.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// Why a module file could not be read: what was wrong, which record was
// being read and where (file offset, virtual address), as far as known.
struct InspectError {
  std::string what;
  std::string record;
  std::optional<uint64_t> file_offset;
  std::optional<uint32_t> address;
  std::string message() const;
};

struct PeSection {
  std::string name;
  uint32_t address = 0;  // virtual address, image base included
  uint32_t virtual_size = 0;
  uint32_t file_offset = 0;
  uint32_t file_size = 0;
  uint32_t characteristics = 0;
};

struct PeExport {
  std::string name;  // empty for an export by ordinal only
  uint32_t ordinal = 0;
  uint32_t address = 0;
};

// One function a module imports: the library and name (or ordinal) it asks
// for, and the address of the slot the loader fills.
struct PeImport {
  std::string library;
  std::string name;      // empty for an import by ordinal
  uint32_t ordinal = 0;  // only for an import by ordinal
  uint32_t slot = 0;
};

// A resource's place in the image: its type and name each an identifier
// (id >= 0) or a text, and where its bytes lie once mapped.
struct PeResource {
  int64_t type_id = -1;
  std::string type_name;
  int64_t id = -1;
  std::string name;
  uint32_t address = 0;
  uint32_t bytes = 0;
};

struct PeSummary {
  uint16_t machine = 0;
  uint16_t characteristics = 0;
  uint32_t image_base = 0;
  uint32_t image_size = 0;
  uint32_t headers_size = 0;
  uint32_t entry_point = 0;  // 0: none
  uint64_t file_size = 0;
  std::vector<PeSection> sections;
  std::vector<PeExport> exports;
  std::vector<std::string> imported_libraries;
  std::vector<PeResource> resources;
  // Read only for a module about to be mapped (read_pe_image): every
  // imported function, the 32-bit words the base relocations fix up, and
  // the TLS directory's address (0: none).
  std::vector<PeImport> imports;
  std::vector<uint32_t> relocations;
  uint32_t tls_directory = 0;
};

using FieldValue = std::variant<int64_t, double, std::string>;

// A number or text a record holds, by the name tools and people know it.
struct RecordField {
  std::string name;
  FieldValue value;
  bool hexadecimal = false;
  bool operator==(const RecordField&) const = default;
};

// A variable binding the module declares; the host's words of it are left
// out (they are zero in a module at rest).
struct SourceField {
  std::string name;
  int32_t token = 0;
  int32_t var_type = 0;
  bool operator==(const SourceField&) const = default;
};

// A routine or data pointer: present or null. Its address differs from
// build to build and is not part of equality.
struct LinkField {
  std::string name;
  bool present = false;
  uint32_t address = 0;
  bool operator==(const LinkField& other) const {
    return name == other.name && present == other.present;
  }
};

// A word the host owns that is not zero, by its offset in the record.
struct HostWord {
  uint32_t offset = 0;
  uint32_t value = 0;
  bool operator==(const HostWord&) const = default;
};

struct NonlinearityPoint {
  int32_t x = 0;
  int32_t y = 0;
  double value = 0;
  double angle = 0;
  bool operator==(const NonlinearityPoint&) const = default;
};

struct FailureRow {
  int32_t key = 0;
  int32_t action = 0;
  int32_t reserved = 0;
  bool operator==(const FailureRow&) const = default;
};

struct InspectedElement {
  uint32_t address = 0;
  int number = 0;  // place in drawing order, 1 being the root
  int depth = 0;   // 0 for the root, one more for each list followed
  uint32_t kind = 0;
  int32_t bitmap = 0;
  int32_t x = 0;
  int32_t y = 0;
  int32_t offset_x = 0;
  int32_t offset_y = 0;
  uint32_t image_flags = 0;
  uint32_t special_flags = 0;
  uint32_t reserved = 0;
  bool gauge_link_matches = true;  // the back link names its own gauge
  std::optional<std::vector<FailureRow>> failures;  // null: no list
  std::vector<SourceField> sources;
  std::vector<RecordField> fields;
  std::vector<LinkField> links;
  std::vector<NonlinearityPoint> table;  // a needle's calibration
  std::vector<HostWord> host_words;
  int next_count = 0;  // elements in its next-element list
};

struct TooltipArgument {
  int32_t token = 0;
  int32_t var_type = 0;
  LinkField number_callback;
  LinkField text_callback;
  std::vector<HostWord> other_words;
};

struct InspectedArea {
  uint32_t address = 0;
  int number = 0;
  int depth = 0;  // parents it lies in
  uint32_t kind = 0;
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t cursor = 0;
  uint32_t help_id = 0;
  uint32_t mouse_flags = 0;
  uint32_t event = 0;  // on a tooltip: the number of arguments
  LinkField callback;  // on a tooltip: the text, present when there is one
  std::optional<std::string> tooltip_text;
  LinkField arguments;
  std::vector<TooltipArgument> tooltip_arguments;
};

struct InspectedGauge {
  uint32_t address = 0;
  uint32_t version = 0;
  std::string name;
  uint32_t default_width_mm = 0;
  LinkField callback;
  uint32_t user_word = 0;
  std::optional<std::string> parameter_text;
  std::vector<HostWord> host_words;
  std::vector<InspectedElement> elements;  // drawing order (depth first)
  std::vector<InspectedArea> areas;
};

struct BitmapResource {
  int64_t id = -1;   // -1 when named by text
  std::string name;  // the text name, if any
  uint32_t file_offset = 0;
  uint32_t bytes = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bits_per_pixel = 0;
  uint32_t compression = 0;
  uint64_t content_hash = 0;
  std::string problem;  // empty when its header reads as a DIB
};

struct RecordingResource {
  int64_t id = -1;
  std::string name;
  uint32_t file_offset = 0;
  uint32_t bytes = 0;
  uint16_t format_tag = 0;
  uint16_t channels = 0;
  uint32_t samples_per_second = 0;
  uint16_t bits_per_sample = 0;
  uint32_t data_bytes = 0;
  uint64_t content_hash = 0;
  std::string problem;
};

struct ResourceTypeCount {
  std::string type;  // "BITMAP", "WAVE", "16", ...
  int count = 0;
};

// A bitmap an element names that the resources lack.
struct MissingBitmap {
  std::string gauge;
  int element = 0;
  int32_t id = 0;
};

struct InspectedModule {
  std::string file;
  PeSummary pe;
  std::vector<std::string> unexpected_exports;
  std::vector<std::string> missing_exports;
  std::vector<std::pair<uint32_t, LinkField>> import_table;
  uint32_t module_id = 0;
  LinkField init;
  LinkField deinit;
  uint32_t flags = 0;
  uint32_t status = 0;
  uint32_t version = 0;
  std::vector<InspectedGauge> gauges;
  std::vector<BitmapResource> bitmaps;
  std::vector<RecordingResource> recordings;
  std::vector<ResourceTypeCount> resource_types;
  std::vector<MissingBitmap> missing_bitmaps;
  std::vector<int64_t> unnamed_bitmaps;
  std::vector<std::string> problems;  // findings that did not stop reading
};

inline constexpr const char* kElementKindNames[] = {
    "static", "needle", "string", "slider", "icon", "moving", "sprite"};
inline constexpr const char* kAreaKindNames[] = {"end", "parent", "child",
                                                 "end parent", "tooltip"};

std::string element_kind_name(uint32_t kind);
std::string area_kind_name(uint32_t kind);

// The bitmap identifiers an element names: its own, one per icon image,
// the picture and its window for moving images and sprites, none for text.
std::vector<int32_t> bitmaps_named(const InspectedElement& element);

// Fills the missing and unnamed bitmap lists from the gauges and bitmaps.
void cross_check_bitmaps(InspectedModule& module);

// FNV-1a, 64 bits: compares resource contents between builds.
uint64_t content_hash(const uint8_t* bytes, size_t size);
