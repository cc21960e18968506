#include "host/core/mouse.h"

#include <gtest/gtest.h>

#include <vector>

#include "elements/declare.h"

namespace {

// A whole-gauge parent holding a help tooltip, a knob group with its own
// text tooltip and help identifier, a silent group, and children that sit
// directly in the outer parent after the groups close.
MouseRect knob_list[] = {
    mouse_parent(),
    mouse_parent({0, 0, 100, 50}),
    mouse_help_tooltip(111),
    mouse_parent_end(),
    mouse_parent({100, 100, 40, 20}, 222),
    mouse_text_tooltip("Knob"),
    mouse_parent_end(),
    mouse_parent({0, 100, 20, 20}, 333),
    mouse_parent_end(),
    mouse_parent({0, 60, 50, 30}),
    mouse_parent_end(),
    mouse_event_child({100, 100, 20, 20}, kCursorDownArrow,
                      kMouseLeftSingle | kMouseRepeat, 1),
    mouse_event_child({120, 100, 20, 20}, kCursorUpArrow, kMouseRightSingle, 2),
    mouse_event_child({100, 100, 40, 20}, kCursorHand, kMouseRightSingle, 3),
    mouse_parent({200, 0, 20, 20}),
    mouse_event_child({200, 0, 50, 50}, kCursorHand, kMouseLeftSingle, 4),
    mouse_parent_end(),
    mouse_parent_end(),
    mouse_end(),
};

struct HitCase {
  const char* name;
  int32_t x, y;
  uint32_t button;
  uint32_t event;  // 0: nothing answers
};

class ChildAt : public testing::TestWithParam<HitCase> {};

TEST_P(ChildAt, FindsTheAnsweringChild) {
  const HitCase& c = GetParam();
  const MouseRect* area = child_at(knob_list, c.x, c.y, c.button);
  EXPECT_EQ(area ? area->event : 0u, c.event);
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, ChildAt,
    testing::ValuesIn(std::vector<HitCase>{
        {"LeftHalf", 105, 110, kMouseLeftSingle, 1},
        {"TopLeftCornerIsInside", 100, 100, kMouseLeftSingle, 1},
        {"RightEdgeIsOutside", 140, 110, kMouseRightSingle, 0},
        {"WrongButton", 125, 110, kMouseLeftSingle, 0},
        {"FirstMatchingChildInListOrder", 125, 110, kMouseRightSingle, 2},
        {"LaterChildAnswersOtherButton", 105, 110, kMouseRightSingle, 3},
        {"ChildOutsideItsParentIsNotHit", 230, 30, kMouseLeftSingle, 0},
        {"ChildInsideItsParent", 210, 10, kMouseLeftSingle, 4},
        {"Nowhere", 5, 5, kMouseLeftSingle, 0},
        {"NegativePoint", -5, -5, kMouseLeftSingle, 0},
    }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChildAt, EmptyAndMissingListsAnswerNothing) {
  MouseRect empty[] = {mouse_end()};
  EXPECT_EQ(child_at(empty, 0, 0, kMouseLeftSingle), nullptr);
  EXPECT_EQ(child_at(nullptr, 0, 0, kMouseLeftSingle), nullptr);
}

TEST(TooltipAt, InnermostGroupThatShowsSomethingWins) {
  const TooltipSource knob = tooltip_at(knob_list, 110, 110);
  ASSERT_NE(knob.tooltip, nullptr);  // the record beats the parent's help id
  EXPECT_STREQ(knob.tooltip->text, "Knob");

  const TooltipSource dial = tooltip_at(knob_list, 10, 10);
  ASSERT_NE(dial.tooltip, nullptr);
  EXPECT_EQ(dial.tooltip->help_id, 111u);

  const TooltipSource parent_help = tooltip_at(knob_list, 5, 105);
  EXPECT_EQ(parent_help.tooltip, nullptr);
  EXPECT_EQ(parent_help.help_id, 333u);

  // Inside a group that shows nothing, and the outer parent shows nothing.
  EXPECT_FALSE(tooltip_at(knob_list, 10, 70).found());
  EXPECT_FALSE(tooltip_at(knob_list, 300, 300).found());
}

TEST(TooltipAt, UnterminatedGroupsStillAnswer) {
  MouseRect open_list[] = {mouse_parent(), mouse_help_tooltip(7), mouse_end()};
  EXPECT_EQ(tooltip_at(open_list, 1, 1).tooltip, &open_list[1]);
}

}  // namespace
