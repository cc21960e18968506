// The sample panel run live from a copy of its file in a folder of its own,
// and requests made to it the way the server hands them over.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "host/core/loader.h"
#include "host/render/image.h"
#include "host/serve/live_panel.h"
#include "host/serve/routes.h"

inline std::string sample_panel_text() {
  std::ifstream file(SAMPLE_PANEL, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

inline const std::vector<std::string> kAuthorities = {"127.0.0.1:8018",
                                                      "localhost:8018"};

inline HttpRequest make_request(std::string method, std::string target,
                                std::string body = "") {
  HttpRequest request;
  request.method = std::move(method);
  const size_t question = target.find('?');
  request.path = target.substr(0, question);
  if (question != std::string::npos)
    request.query = target.substr(question + 1);
  request.headers = {{"host", "127.0.0.1:8018"}};
  request.body = std::move(body);
  request.version = "HTTP/1.1";
  return request;
}

// A /pixels answer read back.
struct Tiles {
  struct Tile {
    uint16_t x = 0, y = 0, w = 0, h = 0;
    std::string rgb;
  };
  uint32_t frame = 0, width = 0, height = 0;
  std::vector<Tile> tiles;

  // False when the bytes do not hold what their counts say.
  bool read(const std::string& bytes) {
    size_t at = 0;
    const auto u = [&](size_t size, uint32_t& value) {
      if (bytes.size() - at < size) return false;
      value = 0;
      for (size_t i = 0; i < size; ++i)
        value |= uint32_t(uint8_t(bytes[at + i])) << (8 * i);
      at += size;
      return true;
    };
    uint32_t count = 0;
    if (!u(4, frame) || !u(4, width) || !u(4, height) || !u(4, count))
      return false;
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t x, y, w, h;
      if (!u(2, x) || !u(2, y) || !u(2, w) || !u(2, h)) return false;
      const size_t size = size_t(w) * h * 3;
      if (bytes.size() - at < size || x + w > width || y + h > height)
        return false;
      tiles.push_back({uint16_t(x), uint16_t(y), uint16_t(w), uint16_t(h),
                       bytes.substr(at, size)});
      at += size;
    }
    return at == bytes.size();
  }

  void paint(Image& image) const {
    if (image.width != int32_t(width) || image.height != int32_t(height))
      image = Image(int32_t(width), int32_t(height));
    for (const Tile& t : tiles)
      for (uint16_t row = 0; row < t.h; ++row)
        std::memcpy(image.at(t.x, t.y + row),
                    t.rgb.data() + size_t(row) * t.w * 3, size_t(t.w) * 3);
  }
};

class LivePanelTest : public ::testing::Test {
 protected:
  using Clock = LivePanel::Clock;

  void SetUp() override {
    std::string error;
    ASSERT_TRUE(load_module("", module_, error)) << error;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("live_panel_") + info->test_suite_name() +
                       "_" + info->name();
    for (char& c : name) c = c == '/' ? '_' : c;
    folder_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    path_ = (folder_ / "panel.cfg").string();
    write_panel(sample_panel_text());
    start_ = Clock::now();
    auto opened = LivePanel::open(module_, path_, 18, start_);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<LivePanel>>(opened))
        << std::get<std::string>(opened);
    panel_ = std::move(std::get<std::unique_ptr<LivePanel>>(opened));
  }

  void TearDown() override {
    panel_.reset();
    std::filesystem::remove_all(folder_);
  }

  void write_panel(const std::string& text) {
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << text;
  }

  HttpResponse answer(const HttpRequest& request) {
    return handle_request(*panel_, request, kAuthorities);
  }
  HttpResponse get(const std::string& target) {
    return answer(make_request("GET", target));
  }
  HttpResponse post(const std::string& target, const std::string& body) {
    return answer(make_request("POST", target, body));
  }
  nlohmann::json state() { return nlohmann::json::parse(get("/state").body); }
  nlohmann::json gauge(const nlohmann::json& state, size_t window,
                       const std::string& ref) {
    for (const auto& g : state["windows"][window]["gauges"])
      if (g["ref"] == ref) return g;
    return nullptr;
  }

  LoadedModule module_;
  std::filesystem::path folder_;
  std::string path_;
  Clock::time_point start_;
  std::unique_ptr<LivePanel> panel_;
};
