// A variable at NaN, an infinity or the largest float64: every element callback
// and tooltip number of the gauges that read it still hands back a finite
// number.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/unit/fake_services.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kLargest = std::numeric_limits<double>::max();
constexpr const char* kCarburetorExpression =
    "(A:RECIP CARBURETOR TEMPERATURE:1,celsius)";
// Stands for the calculated carburettor temperature.
constexpr int32_t kCalculated = -1;

struct ExtremeInputCase {
  std::string name;
  const char* gauge;
  int32_t token;
};

std::vector<ModuleVar*> sources(ElementHeader* head) {
  switch (head->kind) {
    case kNeedle:
      return {&element_as<NeedleElement>(head)->source};
    case kString: {
      auto* e = element_as<StringElement>(head);
      return {&e->sources[0], &e->sources[1], &e->sources[2]};
    }
    case kSlider: {
      auto* e = element_as<SliderElement>(head);
      return {&e->x_source, &e->y_source};
    }
    case kIcon:
      return {&element_as<IconElement>(head)->source};
    case kMovingImage: {
      auto* e = element_as<MovingImageElement>(head);
      return {&e->x_source, &e->y_source};
    }
    case kSprite: {
      auto* e = element_as<SpriteElement>(head);
      return {&e->x_source, &e->y_source, &e->rotation_source};
    }
    default:
      return {};
  }
}

std::vector<ElementCallback> callbacks(ElementHeader* head) {
  switch (head->kind) {
    case kNeedle:
      return {element_as<NeedleElement>(head)->callback};
    case kString:
      return {element_as<StringElement>(head)->callback};
    case kSlider: {
      auto* e = element_as<SliderElement>(head);
      return {e->x_callback, e->y_callback};
    }
    case kIcon:
      return {element_as<IconElement>(head)->callback};
    case kMovingImage: {
      auto* e = element_as<MovingImageElement>(head);
      return {e->x_callback, e->y_callback};
    }
    case kSprite: {
      auto* e = element_as<SpriteElement>(head);
      return {e->x_callback, e->y_callback, e->rotation_callback};
    }
    default:
      return {};
  }
}

void PrintTo(const ExtremeInputCase& c, std::ostream* out) { *out << c.name; }

class SpecialValues : public testing::TestWithParam<ExtremeInputCase> {};

TEST_P(SpecialValues, EveryCallbackHandsBackAFiniteNumber) {
  const ExtremeInputCase& c = GetParam();
  GaugeHeader* gauge = find_gauge(c.gauge);
  ASSERT_NE(gauge, nullptr);
  for (double value : {kNaN, kInfinity, -kInfinity, kLargest, -kLargest}) {
    SCOPED_TRACE(value);
    FakeServices services;
    if (c.token == kCalculated)
      services.calculator_numbers[kCarburetorExpression] = value;
    else
      services.numbers[c.token] = value;
    for (int i = 1; ElementHeader* head = element_at(gauge, i); ++i) {
      for (ModuleVar* source : sources(head))
        if (source->token == c.token) source->value.number = value;
      // A string's text buffer is the host's, as long as its characters.
      std::vector<char> text;
      if (head->kind == kString) {
        auto* e = element_as<StringElement>(head);
        text.assign(size_t(e->characters) + 1, '\0');
        e->text = text.data();
      }
      for (ElementCallback callback : callbacks(head)) {
        if (callback != nullptr) {
          EXPECT_TRUE(std::isfinite(callback(head))) << "element " << i;
        }
      }
      if (head->kind == kString)
        element_as<StringElement>(head)->text = nullptr;
    }
    for (const MouseRect* r = gauge->mouse_areas; r->kind != kMouseEnd; ++r) {
      if (r->kind != kMouseTooltip || r->args == nullptr) continue;
      for (uint32_t n = 0; n < r->event; ++n) {
        if (r->args[n].number != nullptr) {
          EXPECT_TRUE(std::isfinite(r->args[n].number(0, 0, 0, 0, 0, 0)))
              << "tooltip argument " << n + 1;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Gauges, SpecialValues,
                         testing::ValuesIn(std::vector<ExtremeInputCase>{
                             {"AttitudePitch", "Attitude", 78},
                             {"TurnCoordinatorBall", "Turn_Coordinator", 69},
                             {"TurnCoordinatorRate", "Turn_Coordinator", 70},
                             {"AltimeterSetting", "Altimeter", 75},
                             {"FuelPressure", "Fuel_Pressure", 425},
                             {"CarburetorTemperature", "Carburetor_Temp",
                              kCalculated},
                             {"OutsideAir", "OAT_Indicator", 341},
                             {"VorCourse", "VOR1_Indicator", 45},
                             {"MainBusVolts", "Voltmeter", 753},
                             {"FlapPosition", "Flaps_Indicator", 329},
                         }),
                         [](const auto& info) { return info.param.name; });

}  // namespace
