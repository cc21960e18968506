#include "tools/wave_generator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// A resonance excited by a short burst of noise: the body of a mechanical
// click. Coefficients of a two-pole resonator at `hz` decaying with `tau_s`.
struct Resonance {
  double hz;
  double tau_s;
  double gain;
};

struct Click {
  double at_s;
  double burst_s;
  double level;
};

struct Voice {
  const Resonance* resonances;
  int resonance_count;
  const Click* clicks;
  int click_count;
};

constexpr Resonance kLeverResonances[] = {
    {.hz = 2900, .tau_s = 0.006, .gain = 1.0},
    {.hz = 5200, .tau_s = 0.003, .gain = 0.6},
    {.hz = 900, .tau_s = 0.012, .gain = 0.35},
};
constexpr Resonance kKnobResonances[] = {
    {.hz = 3600, .tau_s = 0.004, .gain = 1.0},
    {.hz = 6800, .tau_s = 0.002, .gain = 0.5},
    {.hz = 1400, .tau_s = 0.009, .gain = 0.3},
};

constexpr Click kSwitchClicks[] = {
    {.at_s = 0.002, .burst_s = 0.0015, .level = 1.0},
    {.at_s = 0.011, .burst_s = 0.001, .level = 0.45}};
constexpr Click kSpareClicks[] = {
    {.at_s = 0.002, .burst_s = 0.0015, .level = 1.0},
    {.at_s = 0.011, .burst_s = 0.001, .level = 0.45},
    {.at_s = 0.240, .burst_s = 0.0015, .level = 0.8},
    {.at_s = 0.250, .burst_s = 0.001, .level = 0.35}};
constexpr Click kKnobClicks[] = {
    {.at_s = 0.002, .burst_s = 0.001, .level = 1.0},
    {.at_s = 0.006, .burst_s = 0.0008, .level = 0.5}};

// Plain linear-congruential noise, so that every run gives the same samples.
struct Noise {
  uint32_t seed;
  double next() {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
  }
};

Voice voice_for(int32_t id) {
  if (id == 20) return {kLeverResonances, 3, kSpareClicks, 4};
  if (id == 30) return {kKnobResonances, 3, kKnobClicks, 2};
  return {kLeverResonances, 3, kSwitchClicks, 2};
}

std::vector<double> synthesise(int32_t id, uint32_t samples) {
  const Voice voice = voice_for(id);
  const double rate = kWaveSamplesPerSecond;
  std::vector<double> excitation(samples, 0.0);
  Noise noise{static_cast<uint32_t>(id) * 2654435761u};
  for (int c = 0; c < voice.click_count; ++c) {
    const Click& click = voice.clicks[c];
    const auto start = static_cast<uint32_t>(click.at_s * rate);
    const auto length = static_cast<uint32_t>(click.burst_s * rate) + 1;
    for (uint32_t i = 0; i < length && start + i < samples; ++i) {
      const double envelope = 1.0 - static_cast<double>(i) / length;
      excitation[start + i] += click.level * envelope * noise.next();
    }
  }
  std::vector<double> out(samples, 0.0);
  for (int r = 0; r < voice.resonance_count; ++r) {
    const Resonance& res = voice.resonances[r];
    const double radius = std::exp(-1.0 / (res.tau_s * rate));
    const double a1 =
        2.0 * radius * std::cos(2.0 * std::numbers::pi * res.hz / rate);
    const double a2 = -radius * radius;
    double y1 = 0.0;
    double y2 = 0.0;
    for (uint32_t n = 0; n < samples; ++n) {
      const double y = excitation[n] + a1 * y1 + a2 * y2;
      y2 = y1;
      y1 = y;
      out[n] += res.gain * y;
    }
  }
  // Peak at 70% of full scale, with a short fade so that it ends in silence.
  double peak = 0.0;
  for (double v : out) peak = std::max(peak, std::fabs(v));
  const uint32_t fade = samples / 10;
  for (uint32_t n = 0; n < samples; ++n) {
    out[n] *= peak > 0.0 ? 0.7 / peak : 0.0;
    if (n >= samples - fade)
      out[n] *= static_cast<double>(samples - n) / static_cast<double>(fade);
  }
  return out;
}

void put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

// Byte by byte: GCC 12 takes a four-byte range insert into a fresh vector
// for an overflow once optimised.
void put_id(std::vector<uint8_t>& out, const char* id) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(id[i]));
}

}  // namespace

std::vector<uint8_t> make_wave(const WaveRecording& wave) {
  const uint32_t block_align = wave.bits_per_sample / 8;
  const uint32_t samples = wave.data_bytes / block_align;
  const std::vector<double> sound = synthesise(wave.id, samples);

  std::vector<uint8_t> out;
  constexpr uint32_t kFormatBytes = 18;
  const uint32_t padded_data = wave.data_bytes + (wave.data_bytes & 1);
  put_id(out, "RIFF");
  put32(out, 4 + 8 + kFormatBytes + 8 + padded_data);
  put_id(out, "WAVE");
  put_id(out, "fmt ");
  put32(out, kFormatBytes);
  put16(out, 1);  // PCM
  put16(out, 1);  // one channel
  put32(out, kWaveSamplesPerSecond);
  put32(out, kWaveSamplesPerSecond * block_align);
  put16(out, block_align);
  put16(out, wave.bits_per_sample);
  put16(out, 0);  // no extra format bytes
  put_id(out, "data");
  put32(out, wave.data_bytes);
  for (double v : sound) {
    const double clamped = std::clamp(v, -1.0, 1.0);
    if (wave.bits_per_sample == 8) {
      out.push_back(static_cast<uint8_t>(std::lround(128.0 + clamped * 127.0)));
    } else {
      const auto s = static_cast<int16_t>(std::lround(clamped * 32767.0));
      put16(out, static_cast<uint16_t>(s));
    }
  }
  if (padded_data != wave.data_bytes) out.push_back(0);
  return out;
}
