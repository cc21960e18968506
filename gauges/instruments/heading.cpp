// The heading instruments: the heading gyro with its setting knob, the
// magnetic compass, the ADF indicator with its card knob, and the VOR 1
// indicator with its deviation needles, flags, course pointer, read-out and
// course knob.
#include "gauges/instruments/heading.h"

#include <cmath>
#include <cstdio>

#include "elements/declare.h"
#include "gauges/gauge_table.h"
#include "module/services.h"
#include "state/panel_state.h"

namespace {

constexpr int32_t kAdfCard = 22;
constexpr int32_t kAdfBearing = 39;
constexpr int32_t kCourseDeviation = 40;
constexpr int32_t kGlideSlopeDeviation = 41;
constexpr int32_t kToFrom = 43;
constexpr int32_t kGlideSlopeFlag = 44;
constexpr int32_t kVor1Course = 45;
constexpr int32_t kMagneticHeading = 83;
constexpr int32_t kGyroHeading = 84;
constexpr int32_t kGyroSetting = 85;
constexpr int32_t kGyroFlag = 282;

constexpr uint32_t kAdfCardSet = 66039;
constexpr uint32_t kVor1CourseSet = 65716;
constexpr uint32_t kGyroSettingUp = 65877;
constexpr uint32_t kGyroSettingDown = 65878;

constexpr double kParkedDegrees = 90.0;

// A face that a failure hides.
constexpr StaticImageElement failing_face(StaticImageRow row,
                                          const FailureEntry* failures) {
  StaticImageElement e = static_image(row);
  e.head.failures = failures;
  return e;
}

}  // namespace

int32_t knob_step(double degrees, KnobHalf half, uint32_t mouse_flags) {
  double kept = degrees > 0.0 ? degrees : 0.0;  // not a number reads 0
  if (kept > 359.0) kept = 359.0;
  const auto v = static_cast<int32_t>(kept);
  const bool left = (mouse_flags & kMouseLeftSingle) != 0;
  const bool right = !left && (mouse_flags & kMouseRightSingle) != 0;
  if (half == KnobHalf::kDown) {
    if (left) return v > 0 ? v - 1 : 359;
    if (right) return v >= 10 ? v - 10 : v + 350;
  } else {
    if (left) return v < 359 ? v + 1 : 0;
    if (right) return v <= 349 ? v + 10 : v - 350;
  }
  return v;
}

double course_pointer_degrees(double heading, double course) {
  double d = std::fmod(heading - course, 360.0);
  if (std::isnan(d)) return kParkedDegrees;
  if (d > 180.0) d -= 360.0;
  if (d <= -180.0) d += 360.0;
  if ((d > -135.0 && d < -45.0) || (d > 45.0 && d < 135.0))
    return kParkedDegrees;
  return d;
}

namespace {

// --- Gyro_Compass ------------------------------------------------------------

double GAUGE_CALL gyro_flag(ElementHeader* head) {
  return element_as<IconElement>(head)->source.value.number > 0.0 ? 0.0 : -1.0;
}

constinit NonlinearityEntry gyro_knob_table[] = {
    mark(0, 122, 284), mark(10922.666666666666, 122, 324)};

constexpr FailureEntry gyro_card_failures[] = {
    {12, 0, 0}, {4, 0, 0}, kFailuresEnd};

constinit ElementChain gyro_chain{
    &gyro_compass_gauge,
    static_image({.bitmap = 230, .at = {0, 0}, .flags = 0x3}),
    moving_image({.bitmap = 240,
                  .at = {55, 60},
                  .x_token = kGyroHeading,
                  .x_min = 360,
                  .x_max = 0,
                  .y_min = 360,
                  .y_max = 360,
                  .flags = 0x4083,
                  .failures = gyro_card_failures}),
    icon({.bitmap = 260,
          .at = {183, 59},
          .icons = 1,
          .token = kGyroFlag,
          .callback = gyro_flag,
          .flags = 0x3}),
    needle({.bitmap = 250,
            .at = {122, 304},
            .pivot = {30, 30},
            .token = kGyroSetting,
            .table = gyro_knob_table,
            .flags = 0x83}),
};

constexpr uint32_t kHeldLeft = kMouseLeftSingle | kMouseRepeat;

constinit MouseRect gyro_mouse_areas[] = {
    mouse_parent(),
    mouse_parent({0, 0, 248, 248}),
    mouse_help_tooltip(12808),
    mouse_parent_end(),
    mouse_parent({92, 274, 60, 60}, 43829),
    mouse_parent_end(),
    mouse_event_child({92, 274, 30, 60}, kCursorDownArrow, kHeldLeft,
                      kGyroSettingDown),
    mouse_event_child({122, 274, 30, 60}, kCursorUpArrow, kHeldLeft,
                      kGyroSettingUp),
    mouse_parent_end(),
    mouse_end(),
};

// --- Whiskey_Compass ---------------------------------------------------------

constexpr FailureEntry whiskey_failures[] = {{12, 0, 0}, kFailuresEnd};

constinit ElementChain whiskey_chain{
    &whiskey_compass_gauge,
    static_image({.bitmap = 480, .at = {0, 0}, .flags = 0x3}),
    moving_image({.bitmap = 490,
                  .at = {0, 10},
                  .x_token = kMagneticHeading,
                  .x_min = 360,
                  .x_max = 0,
                  .y_min = 360,
                  .y_max = 360,
                  .flags = 0x4083,
                  .failures = whiskey_failures}),
};

constinit MouseRect whiskey_mouse_areas[] = {
    mouse_parent(),
    mouse_help_tooltip(12728),
    mouse_parent_end(),
    mouse_end(),
};

// --- Knobs shared by the ADF and VOR 1 indicators ----------------------------

template <int32_t Token, uint32_t Event, KnobHalf Half>
int32_t GAUGE_CALL knob_click(PointRecord*, uint32_t flags) {
  trigger_key_event(Event,
                    uint32_t(knob_step(read_number_var(Token), Half, flags)));
  return 0;
}

constexpr uint32_t kHeldEither =
    kMouseLeftSingle | kMouseRightSingle | kMouseRepeat;

// --- ADF_Indicator -----------------------------------------------------------

double GAUGE_CALL adf_bearing(ElementHeader* head) {
  if (adf_power == 0) return kParkedDegrees;
  return element_as<NeedleElement>(head)->source.value.number;
}

constinit NonlinearityEntry bearing_table[] = {mark(0, 150, 100),
                                               mark(180, 150, 200)};
constinit NonlinearityEntry card_knob_table[] = {mark(0, 39, 241),
                                                 mark(20, 39, 297)};

constexpr FailureEntry adf_face_failures[] = {{5, 0, 0}, kFailuresEnd};
constexpr FailureEntry adf_bearing_failures[] = {
    {21, 2, 0}, {20, 1, 0}, kFailuresEnd};

constinit ElementChain adf_chain{
    &adf_indicator_gauge,
    failing_face({.bitmap = 1140, .at = {0, 0}, .flags = 0x4003},
                 adf_face_failures),
    sprite({.bitmap = 1170,
            .at = {0, 0},
            .centre = {150, 150},
            .rotation_token = kAdfCard,
            .rotation_scale = 1.0,
            .flags = 0x4083}),
    needle({.bitmap = 1160,
            .at = {150, 150},
            .pivot = {123, 20},
            .token = kAdfBearing,
            .table = bearing_table,
            .callback = adf_bearing,
            .flags = 0x4083,
            .failures = adf_bearing_failures}),
    static_image({.bitmap = 1180, .at = {0, 0}, .flags = 0x3}),
    needle({.bitmap = 1150,
            .at = {39, 269},
            .pivot = {28, 28},
            .token = kAdfCard,
            .table = card_knob_table,
            .flags = 0x83}),
};

constinit MouseRect adf_mouse_areas[] = {
    mouse_parent(),
    mouse_parent({0, 0, 300, 241}, 43776),
    mouse_parent_end(),
    mouse_parent({11, 241, 56, 56}, 43777),
    mouse_parent_end(),
    mouse_callback_child({11, 241, 28, 56}, kCursorDownArrow, kHeldEither,
                         knob_click<kAdfCard, kAdfCardSet, KnobHalf::kDown>),
    mouse_callback_child({39, 241, 28, 56}, kCursorUpArrow, kHeldEither,
                         knob_click<kAdfCard, kAdfCardSet, KnobHalf::kUp>),
    mouse_parent_end(),
    mouse_end(),
};

// --- VOR1_Indicator ----------------------------------------------------------

double GAUGE_CALL course_pointer(ElementHeader*) {
  const double heading = read_number_var(kGyroHeading);
  if (nav1_power == 0) return kParkedDegrees;
  const double to_from = read_number_var(kToFrom);
  const double course = read_number_var(kVor1Course);
  if (to_from == 0.0) return kParkedDegrees;
  return course_pointer_degrees(heading, course);
}

// The deviation needles centre and the flag shows nothing while the
// receiver is off.
double GAUGE_CALL nav1_needle_gate(ElementHeader* head) {
  if (nav1_power == 0) return 0.0;
  return element_as<NeedleElement>(head)->source.value.number;
}

double GAUGE_CALL nav1_icon_gate(ElementHeader* head) {
  if (nav1_power == 0) return 0.0;
  return element_as<IconElement>(head)->source.value.number;
}

double GAUGE_CALL signal_flag(ElementHeader* head) {
  const bool signal = element_as<IconElement>(head)->source.value.number != 0.0;
  return nav1_power != 0 && signal ? 1.0 : 0.0;
}

double GAUGE_CALL course_readout(ElementHeader* head) {
  auto* e = element_as<StringElement>(head);
  const double course = e->sources[0].value.number;
  if (e->text != nullptr && e->characters >= 0)
    std::snprintf(e->text, size_t(e->characters) + 1, "%03.0f", course);
  return finite_or(course, 0.0);
}

double GAUGE_CALL course_insert(uint32_t, uint32_t, uint32_t, uint32_t,
                                uint32_t, uint32_t) {
  double course = read_number_var(kVor1Course);
  if (!(course > -1e9)) course = 0.0;  // not a number or far below
  if (course > 1e9) course = 0.0;
  return std::trunc(course);
}

const char* GAUGE_CALL nav1_state_text(uint32_t, uint32_t, uint32_t, uint32_t,
                                       uint32_t, uint32_t) {
  return nav1_power != 0 ? "active" : "off";
}

constinit NonlinearityEntry course_pointer_table[] = {mark(0, 156, 79),
                                                      mark(180, 156, 239)};
constinit NonlinearityEntry deviation_table[] = {mark(127, 218, 159),
                                                 mark(-127, 95, 159)};
constinit NonlinearityEntry glide_slope_table[] = {mark(-119, 157, 98),
                                                   mark(119, 157, 221)};
constinit NonlinearityEntry course_knob_table[] = {mark(0, 37, 252),
                                                   mark(30, 37, 292)};

constexpr FailureEntry vor_face_failures[] = {{14, 0, 0}, kFailuresEnd};
constexpr FailureEntry vor_failures[] = {
    {14, 2, 0}, {21, 2, 0}, {20, 1, 0}, kFailuresEnd};
constexpr FailureEntry readout_failures[] = {{21, 3, 0}, kFailuresEnd};

constinit ElementChain vor_chain{
    &vor1_indicator_gauge,
    failing_face({.bitmap = 2450, .at = {0, 0}, .flags = 0x4003},
                 vor_face_failures),
    needle({.bitmap = 2430,
            .at = {156, 159},
            .pivot = {39, 12},
            .table = course_pointer_table,
            .callback = course_pointer,
            .flags = 0x4083,
            .failures = vor_failures}),
    needle({.bitmap = 2380,
            .at = {155, 84},
            .pivot = {-7, 2},
            .token = kCourseDeviation,
            .table = deviation_table,
            .callback = nav1_needle_gate,
            .flags = 0x4083,
            .failures = vor_failures}),
    needle({.bitmap = 2440,
            .at = {74, 159},
            .pivot = {0, 2},
            .token = kGlideSlopeDeviation,
            .table = glide_slope_table,
            .callback = nav1_needle_gate,
            .flags = 0x4083,
            .failures = vor_failures}),
    static_image({.bitmap = 2390, .at = {0, 0}, .flags = 0x4083}),
    icon({.bitmap = 2400,
          .at = {73, 139},
          .icons = 2,
          .token = kGlideSlopeFlag,
          .callback = nav1_icon_gate,
          .flags = 0x4083,
          .failures = vor_failures}),
    icon({.bitmap = 2420,
          .at = {131, 223},
          .icons = 2,
          .token = kToFrom,
          .callback = signal_flag,
          .flags = 0x4083,
          .failures = vor_failures}),
    string_element({.at = {127, 34},
                    .box_width = 66,
                    .box_height = 26,
                    .tokens = {kVor1Course, 0, 0},
                    .text_colour = 0x00FFFFFF,
                    .background_colour = 0x00000000,
                    .highlight_colour = 0x00FFFFFF,
                    .font_face = "Arial",
                    .font_weight = 700,
                    .characters = 3,
                    .callback = course_readout,
                    .flags = 0x4003,
                    .failures = readout_failures}),
    static_image({.bitmap = 2370, .at = {0, 0}, .flags = 0x3}),
    needle({.bitmap = 2360,
            .at = {37, 272},
            .pivot = {37, 37},
            .token = kVor1Course,
            .table = course_knob_table,
            .flags = 0x83}),
};

constinit TooltipArg vor_tooltip_args[] = {
    number_arg(course_insert),
    text_arg(nav1_state_text),
};

constinit MouseRect vor_mouse_areas[] = {
    mouse_parent(),
    mouse_parent({0, 0, 306, 235}),
    mouse_text_tooltip("VOR 1 Indicator (%2!s!)", vor_tooltip_args, 2),
    mouse_parent_end(),
    mouse_parent({0, 235, 74, 74}),
    mouse_text_tooltip("Selected VOR 1 course (%1!d!\xB0)", vor_tooltip_args,
                       2),
    mouse_parent_end(),
    mouse_callback_child(
        {0, 235, 37, 74}, kCursorDownArrow, kHeldEither,
        knob_click<kVor1Course, kVor1CourseSet, KnobHalf::kDown>),
    mouse_callback_child(
        {37, 235, 37, 74}, kCursorUpArrow, kHeldEither,
        knob_click<kVor1Course, kVor1CourseSet, KnobHalf::kUp>),
    mouse_parent_end(),
    mouse_end(),
};

}  // namespace

constinit GaugeHeader gyro_compass_gauge = gauge_header({
    .name = "Gyro_Compass",
    .width_mm = 100,
    .elements = gyro_chain.list(),
    .mouse_areas = gyro_mouse_areas,
});

constinit GaugeHeader whiskey_compass_gauge = gauge_header({
    .name = "Whiskey_Compass",
    .width_mm = 76,
    .elements = whiskey_chain.list(),
    .mouse_areas = whiskey_mouse_areas,
});

constinit GaugeHeader adf_indicator_gauge = gauge_header({
    .name = "ADF_Indicator",
    .width_mm = 100,
    .elements = adf_chain.list(),
    .mouse_areas = adf_mouse_areas,
});

constinit GaugeHeader vor1_indicator_gauge = gauge_header({
    .name = "VOR1_Indicator",
    .width_mm = 100,
    .elements = vor_chain.list(),
    .mouse_areas = vor_mouse_areas,
});
