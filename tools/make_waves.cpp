// Writes the module's click recordings into the given folder (resources/).
#include <cstdio>
#include <fstream>
#include <string>

#include "tools/wave_generator.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_waves OUTPUT_FOLDER\n");
    return 2;
  }
  for (const WaveRecording& wave : kWaveRecordings) {
    const std::string path = std::string(argv[1]) + "/" + wave.file_name;
    const std::vector<uint8_t> bytes = make_wave(wave);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "make_waves: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
