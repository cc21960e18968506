// Deliberately broken gauges for the validator to catch: a string callback
// reading past the end of its source text, a sound device and a sound
// buffer each left behind at kill, an icon callback casting a NaN to an
// integer and a needle callback handing a NaN back.
#include "tests/validate/broken_gauges.h"

#include <cstring>

#include "elements/declare.h"
#include "sound/sound.h"

namespace {

constexpr int32_t kBatteryToken = 364;
constexpr int32_t kAirspeedToken = 61;

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

SoundSlot leaky_sound_slot;

void GAUGE_CALL leaky_sound_notice(GaugeHeader*, int32_t notice, void* extra) {
  if (notice == kNoticeInstall)
    sound_install(leaky_sound_slot, extra, kRecordingSwitchClick);
  // The device is left behind.
  if (notice == kNoticeKill) release_sound_buffer(&leaky_sound_slot.buffer);
}

constinit ElementChain leaky_sound_chain{
    &leaky_sound_gauge,
    static_image({.bitmap = 100, .at = {0, 0}, .flags = 0}),
};

SoundSlot leaky_buffer_slot;

void GAUGE_CALL leaky_buffer_notice(GaugeHeader*, int32_t notice, void* extra) {
  if (notice == kNoticeInstall)
    sound_install(leaky_buffer_slot, extra, kRecordingSwitchClick);
  // The buffer is forgotten, never released: kept in the slot, the next
  // install would release it after DirectSound freed it with its device.
  if (notice == kNoticeKill) {
    leaky_buffer_slot.buffer = nullptr;
    release_sound_device(&leaky_buffer_slot.device);
  }
}

constinit ElementChain leaky_buffer_chain{
    &leaky_buffer_gauge,
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

}  // namespace

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
constinit GaugeHeader leaky_buffer_gauge = gauge_header({
    .name = "Leaky_Buffer",
    .width_mm = 40,
    .elements = leaky_buffer_chain.list(),
    .mouse_areas = no_areas,
    .callback = leaky_buffer_notice,
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
