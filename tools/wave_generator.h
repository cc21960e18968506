// The module's click recordings, synthesised the same way on every run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct WaveRecording {
  int32_t id;
  const char* file_name;
  uint16_t bits_per_sample;
  uint32_t data_bytes;
};

inline constexpr uint32_t kWaveSamplesPerSecond = 22050;

inline constexpr WaveRecording kWaveRecordings[] = {
    {.id = 10,
     .file_name = "switch_click.wav",
     .bits_per_sample = 16,
     .data_bytes = 3828},
    {.id = 20,
     .file_name = "spare_click.wav",
     .bits_per_sample = 8,
     .data_bytes = 10304},
    {.id = 30,
     .file_name = "knob_click.wav",
     .bits_per_sample = 16,
     .data_bytes = 6014},
};

// The whole RIFF WAVE file for one recording.
std::vector<uint8_t> make_wave(const WaveRecording& wave);
