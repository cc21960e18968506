#include "host/module_file/model.h"

#include <iterator>
#include <map>
#include <set>
#include <sstream>

std::string InspectError::message() const {
  std::ostringstream out;
  out << record;
  if (address)
    out << " at address 0x" << std::hex << std::uppercase << *address;
  if (file_offset)
    out << (address ? ", " : " at ") << "file offset 0x" << std::hex
        << std::uppercase << *file_offset;
  out << ": " << what;
  return out.str();
}

std::string element_kind_name(uint32_t kind) {
  return kind < std::size(kElementKindNames) ? kElementKindNames[kind]
                                             : "kind " + std::to_string(kind);
}

std::string area_kind_name(uint32_t kind) {
  return kind < std::size(kAreaKindNames) ? kAreaKindNames[kind]
                                          : "kind " + std::to_string(kind);
}

std::vector<int32_t> bitmaps_named(const InspectedElement& element) {
  switch (element.kind) {
    case 2:
      return {};
    case 4: {
      int64_t icons = 0;
      for (const RecordField& f : element.fields)
        if (f.name == "icons") icons = std::get<int64_t>(f.value);
      std::vector<int32_t> ids;
      for (int64_t i = 0; i < icons && i < 4096; ++i)
        ids.push_back(element.bitmap + static_cast<int32_t>(i));
      return ids;
    }
    case 5:
    case 6:
      return {element.bitmap, element.bitmap + 1};
    default:
      return {element.bitmap};
  }
}

void cross_check_bitmaps(InspectedModule& module) {
  std::set<int64_t> stored;
  for (const BitmapResource& b : module.bitmaps) stored.insert(b.id);
  std::set<int64_t> named;
  module.missing_bitmaps.clear();
  for (const InspectedGauge& g : module.gauges)
    for (const InspectedElement& e : g.elements)
      for (int32_t id : bitmaps_named(e)) {
        named.insert(id);
        if (!stored.count(id))
          module.missing_bitmaps.push_back(
              {.gauge = g.name, .element = e.number, .id = id});
      }
  module.unnamed_bitmaps.clear();
  for (int64_t id : stored)
    if (!named.count(id)) module.unnamed_bitmaps.push_back(id);
}

uint64_t content_hash(const uint8_t* bytes, size_t size) {
  uint64_t hash = 0xCBF29CE484222325ull;
  for (size_t i = 0; i < size; ++i) {
    hash ^= bytes[i];
    hash *= 0x100000001B3ull;
  }
  return hash;
}
