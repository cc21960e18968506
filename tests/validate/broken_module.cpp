// A module of deliberately broken gauges for the validator to catch: a
// string callback reading past the end of its source text, a sound device
// never released at kill, an icon callback casting a NaN to an integer and
// a needle callback handing a NaN back. Usage: validate_broken GAUGE LEVEL;
// the validator runs on a module holding that gauge alone.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string_view>

#include "elements/declare.h"
#include "host/validate.h"
#include "module/linkage.h"
#include "sound/sound.h"

namespace {

constexpr int32_t kBatteryToken = 364;
constexpr int32_t kAirspeedToken = 61;

extern GaugeHeader past_buffer_gauge;
extern GaugeHeader leaky_sound_gauge;
extern GaugeHeader nan_cast_gauge;
extern GaugeHeader nan_needle_gauge;

// Four letters and no terminator.
char call_sign[4] = {'B', 'A', 'D', '!'};

double GAUGE_CALL past_buffer_text(ElementHeader* head) {
  auto* e = element_as<StringElement>(head);
  const size_t length = std::strlen(call_sign);
  std::memcpy(e->text, call_sign, length < 8 ? length : 8);
  return 0;
}

constinit ElementChain past_buffer_chain{
    &past_buffer_gauge,
    static_image({.bitmap = 100, .at = {0, 0}, .flags = 0}),
    string_element({.at = {0, 0},
                    .box_width = 40,
                    .box_height = 10,
                    .characters = 8,
                    .callback = past_buffer_text}),
};

constinit MouseRect no_areas[] = {mouse_parent(), mouse_parent_end(),
                                  mouse_end()};

SoundSlot leaky_slot;

void GAUGE_CALL leaky_sound_notice(GaugeHeader*, int32_t notice, void* extra) {
  if (notice == kNoticeInstall)
    sound_install(leaky_slot, extra, kRecordingSwitchClick);
  // The device is left behind.
  if (notice == kNoticeKill) release_sound_buffer(&leaky_slot.buffer);
}

constinit ElementChain leaky_sound_chain{
    &leaky_sound_gauge,
    static_image({.bitmap = 100, .at = {0, 0}, .flags = 0}),
};

double GAUGE_CALL nan_cast_lamp(ElementHeader* head) {
  const double battery = element_as<IconElement>(head)->source.value.number;
  return static_cast<int32_t>(battery) > 0 ? 0.0 : -1.0;
}

constinit ElementChain nan_cast_chain{
    &nan_cast_gauge,
    static_image({.bitmap = 100, .at = {0, 0}, .flags = 0}),
    icon({.bitmap = 101,
          .at = {0, 0},
          .token = kBatteryToken,
          .callback = nan_cast_lamp}),
};

constinit NonlinearityEntry speed_table[] = {mark(0, 10, 0), mark(200, 0, 10)};

double GAUGE_CALL nan_needle_speed(ElementHeader* head) {
  return element_as<NeedleElement>(head)->source.value.number * 0.5;
}

constinit ElementChain nan_needle_chain{
    &nan_needle_gauge,
    static_image({.bitmap = 100, .at = {0, 0}, .flags = 0}),
    needle({.bitmap = 102,
            .at = {10, 10},
            .pivot = {2, 2},
            .token = kAirspeedToken,
            .table = speed_table,
            .callback = nan_needle_speed}),
};

constinit GaugeHeader past_buffer_gauge = gauge_header({
    .name = "Past_Buffer",
    .width_mm = 40,
    .elements = past_buffer_chain.list(),
    .mouse_areas = no_areas,
});
constinit GaugeHeader leaky_sound_gauge = gauge_header({
    .name = "Leaky_Sound",
    .width_mm = 40,
    .elements = leaky_sound_chain.list(),
    .mouse_areas = no_areas,
    .callback = leaky_sound_notice,
});
constinit GaugeHeader nan_cast_gauge = gauge_header({
    .name = "Nan_Cast",
    .width_mm = 40,
    .elements = nan_cast_chain.list(),
    .mouse_areas = no_areas,
});
constinit GaugeHeader nan_needle_gauge = gauge_header({
    .name = "Nan_Needle",
    .width_mm = 40,
    .elements = nan_needle_chain.list(),
    .mouse_areas = no_areas,
});

GaugeHeader* const kBrokenGauges[] = {&past_buffer_gauge, &leaky_sound_gauge,
                                      &nan_cast_gauge, &nan_needle_gauge};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: validate_broken GAUGE LEVEL\n";
    return 2;
  }
  LinkageRecord linkage{};
  linkage.module_id = kModuleId;
  linkage.version = kModuleVersion;
  for (GaugeHeader* gauge : kBrokenGauges)
    if (std::string_view(gauge->name) == argv[1]) linkage.gauges[0] = gauge;
  if (linkage.gauges[0] == nullptr) {
    std::cerr << "validate_broken: no gauge " << argv[1] << "\n";
    return 2;
  }
  const LoadedModule module{.imports = &ImportTable,
                            .linkage = &linkage,
                            .handle = &linkage,
                            .name = "Broken_Instr"};
  const ValidateOptions options{.level = std::atoi(argv[2]), .seed = 1};
  return validate_module(module, options, std::cout, std::cerr) > 0 ? 1 : 0;
}
