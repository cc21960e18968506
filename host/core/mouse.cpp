#include "host/core/mouse.h"

#include <vector>

namespace {

// Longer lists than this are taken as unterminated.
constexpr int kMaxAreas = 4096;

bool whole_gauge(const MouseBox& box) {
  return box.x == 0 && box.y == 0 && box.width == 0 && box.height == 0;
}

struct Group {
  const MouseRect* parent;
  bool inside;
  const MouseRect* tooltip;
};

}  // namespace

bool box_contains(const MouseBox& box, int32_t x, int32_t y) {
  if (whole_gauge(box)) return true;
  const int64_t left = box.x;
  const int64_t top = box.y;
  return x >= left && x < left + box.width && y >= top && y < top + box.height;
}

const MouseRect* child_at(const MouseRect* list, int32_t x, int32_t y,
                          uint32_t button) {
  if (list == nullptr) return nullptr;
  std::vector<bool> inside{true};
  for (int i = 0; i < kMaxAreas && list[i].kind != kMouseEnd; ++i) {
    const MouseRect& area = list[i];
    switch (area.kind) {
      case kMouseParent:
        inside.push_back(inside.back() && box_contains(area.box, x, y));
        break;
      case kMouseEndParent:
        if (inside.size() > 1) inside.pop_back();
        break;
      case kMouseChild:
        if (inside.back() && box_contains(area.box, x, y) &&
            (area.mouse_flags & button) != 0)
          return &area;
        break;
      default:
        break;
    }
  }
  return nullptr;
}

TooltipSource tooltip_at(const MouseRect* list, int32_t x, int32_t y) {
  TooltipSource best;
  if (list == nullptr) return best;
  size_t best_depth = 0;
  std::vector<Group> groups;
  auto close_group = [&] {
    const Group group = groups.back();
    const size_t depth = groups.size();
    groups.pop_back();
    const bool shows = group.tooltip != nullptr || group.parent->help_id != 0;
    if (!group.inside || !shows || depth <= best_depth) return;
    best_depth = depth;
    best = group.tooltip ? TooltipSource{group.tooltip, 0}
                         : TooltipSource{nullptr, group.parent->help_id};
  };
  for (int i = 0; i < kMaxAreas && list[i].kind != kMouseEnd; ++i) {
    const MouseRect& area = list[i];
    switch (area.kind) {
      case kMouseParent: {
        const bool outer = groups.empty() || groups.back().inside;
        groups.push_back(
            {&area, outer && box_contains(area.box, x, y), nullptr});
        break;
      }
      case kMouseTooltip:
        if (!groups.empty() && groups.back().tooltip == nullptr)
          groups.back().tooltip = &area;
        break;
      case kMouseEndParent:
        if (!groups.empty()) close_group();
        break;
      default:
        break;
    }
  }
  while (!groups.empty()) close_group();
  return best;
}
