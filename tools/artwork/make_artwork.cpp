// Writes every bitmap the module's elements name as <id>.bmp into a folder,
// with the resource-script lines that store them in the module.
//
//   make_artwork OUTPUT_DIR [--png PNG_DIR]
//   make_artwork --panel-background FILE WIDTH HEIGHT
#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/artwork/drawings.h"
#include "tools/artwork/panel_background.h"

namespace {

bool write_file(const std::filesystem::path& path,
                const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// A viewable copy: the transparent key shows as a checkerboard.
bool write_png(const std::filesystem::path& path, const Picture& picture) {
  cairo_surface_t* surface = cairo_image_surface_create(
      CAIRO_FORMAT_RGB24, picture.width, picture.height);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      Rgb p = picture.at(x, y);
      if (p == Rgb{}) {
        const uint8_t grey = ((x / 8 + y / 8) % 2) != 0 ? 200 : 160;
        p = {grey, 0, grey};
      }
      const uint32_t rgb = (p.r << 16) | (p.g << 8) | p.b;
      std::memcpy(data + y * stride + 4 * x, &rgb, sizeof rgb);
    }
  }
  cairo_surface_mark_dirty(surface);
  const bool ok =
      cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--panel-background") == 0) {
    const int width = std::atoi(argv[3]);
    const int height = std::atoi(argv[4]);
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192) {
      std::fprintf(stderr, "make_artwork: bad panel size %s x %s\n", argv[3],
                   argv[4]);
      return 2;
    }
    if (!write_file(argv[2],
                    encode_bmp(draw_panel_background(width, height)))) {
      std::fprintf(stderr, "make_artwork: cannot write %s\n", argv[2]);
      return 1;
    }
    return 0;
  }
  std::filesystem::path out_dir;
  std::filesystem::path png_dir;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--png") == 0 && i + 1 < argc)
      png_dir = argv[++i];
    else if (out_dir.empty())
      out_dir = argv[i];
    else
      out_dir.clear(), i = argc;
  }
  if (out_dir.empty()) {
    std::fprintf(stderr, "usage: make_artwork OUTPUT_DIR [--png PNG_DIR]\n");
    return 2;
  }
  std::string error;
  const std::vector<ElementUse> uses = walk_elements();
  const std::vector<Picture> pictures = draw_artwork(uses, error);
  if (!error.empty()) {
    std::fprintf(stderr, "make_artwork: %s\n", error.c_str());
    return 1;
  }
  std::error_code ec;
  std::filesystem::create_directories(out_dir, ec);
  if (!png_dir.empty()) std::filesystem::create_directories(png_dir, ec);
  // Bitmaps no element names any more must not linger in the module.
  for (const auto& entry : std::filesystem::directory_iterator(out_dir, ec))
    if (entry.path().extension() == ".bmp")
      std::filesystem::remove(entry.path(), ec);
  std::string script = "// Written by make_artwork: the module's bitmaps.\n";
  for (const Picture& picture : pictures) {
    const std::string name = std::to_string(picture.id) + ".bmp";
    if (!write_file(out_dir / name, encode_bmp(picture))) {
      std::fprintf(stderr, "make_artwork: cannot write %s\n",
                   (out_dir / name).c_str());
      return 1;
    }
    if (!png_dir.empty() &&
        !write_png(png_dir / (std::to_string(picture.id) + ".png"), picture)) {
      std::fprintf(stderr, "make_artwork: cannot write a PNG in %s\n",
                   png_dir.c_str());
      return 1;
    }
    script += std::to_string(picture.id) + " BITMAP \"" + name + "\"\n";
  }
  if (!write_file(out_dir / "artwork.rc",
                  std::vector<uint8_t>(script.begin(), script.end()))) {
    std::fprintf(stderr, "make_artwork: cannot write artwork.rc\n");
    return 1;
  }
  return 0;
}
