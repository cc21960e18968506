// Walks the gauge table and each gauge's element chain of the linked module.
#include "tools/artwork/element_walk.h"

#include "module/linkage.h"

namespace {

ElementUse use_of(const GaugeHeader& gauge, ElementHeader* head, int number) {
  ElementUse use;
  use.gauge = gauge.name;
  use.number = number;
  use.kind = head->kind;
  use.bitmap = head->bitmap;
  use.x = head->x;
  use.y = head->y;
  use.offset_x = head->offset_x;
  use.offset_y = head->offset_y;
  if (head->kind == kNeedle) {
    const auto* needle = element_as<NeedleElement>(head);
    if (needle->table != nullptr && needle->table_entries > 0)
      use.table = {needle->table, static_cast<size_t>(needle->table_entries)};
  } else if (head->kind == kIcon) {
    use.icons = element_as<IconElement>(head)->icons;
  }
  return use;
}

}  // namespace

std::vector<ElementUse> walk_elements() {
  std::vector<ElementUse> uses;
  for (const GaugeHeader* gauge : Linkage.gauges) {
    if (gauge == nullptr) break;
    ElementHeader* head =
        gauge->elements != nullptr ? gauge->elements[0] : nullptr;
    for (int number = 1; head != nullptr; ++number) {
      uses.push_back(use_of(*gauge, head, number));
      head = head->next != nullptr ? head->next[0] : nullptr;
    }
  }
  return uses;
}

std::vector<int32_t> bitmaps_named(const ElementUse& use) {
  switch (use.kind) {
    case kString:
      return {};
    case kIcon: {
      std::vector<int32_t> ids;
      for (int32_t i = 0; i < use.icons; ++i) ids.push_back(use.bitmap + i);
      return ids;
    }
    case kMovingImage:
    case kSprite:
      return {use.bitmap, use.bitmap + 1};
    default:
      return {use.bitmap};
  }
}

std::set<int32_t> all_named_bitmaps(std::span<const ElementUse> uses) {
  std::set<int32_t> ids;
  for (const ElementUse& use : uses)
    for (int32_t id : bitmaps_named(use)) ids.insert(id);
  return ids;
}
