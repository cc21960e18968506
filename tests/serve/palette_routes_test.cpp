// The page's palette: the module's gauges with the size a placement
// without one takes, and each gauge's background bitmap as a PNG.
#include <gtest/gtest.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "host/render/stb_files.h"
#include "live_fixture.h"

namespace {

using PaletteRoutes = LivePanelTest;

TEST_F(PaletteRoutes, ListsEveryGaugeOfTheModuleOnceWithASizeAndPicture) {
  const HttpResponse response = get("/gauges");
  ASSERT_EQ(response.status, 200) << response.body;
  const nlohmann::json palette = nlohmann::json::parse(response.body);
  EXPECT_EQ(palette["module"], "Corvelain_Instr");
  std::set<std::string> names;
  for (const auto& g : palette["gauges"]) {
    const std::string name = g["name"];
    EXPECT_TRUE(names.insert(name).second) << name << " listed twice";
    EXPECT_GT(g["width"].get<int>(), 0) << name;
    EXPECT_GT(g["height"].get<int>(), 0) << name;
    EXPECT_EQ(g["picture"], "gauge/" + name + ".png");
  }
  // Every gauge the sample panel places is among them.
  const nlohmann::json now = state();
  for (const auto& window : now["windows"])
    for (const auto& g : window["gauges"])
      EXPECT_TRUE(names.contains(g["name"].get<std::string>())) << g["name"];
  EXPECT_GE(names.size(), 60u);
}

// The picture is the bitmap the placed gauge is scaled from: its size is
// the placed box over the scale /state reports.
TEST_F(PaletteRoutes, PictureIsTheGaugesBackgroundAtItsOwnSize) {
  for (const std::string ref : {"Tachometer", "Gyro_Compass", "Registration"}) {
    const nlohmann::json placed = gauge(state(), 0, ref);
    ASSERT_FALSE(placed.is_null()) << ref;
    const HttpResponse response = get("/gauge/" + ref + ".png");
    ASSERT_EQ(response.status, 200) << ref << ": " << response.body;
    EXPECT_EQ(response.content_type, "image/png");
    Image image;
    std::string error;
    ASSERT_TRUE(read_image_memory(
        reinterpret_cast<const uint8_t*>(response.body.data()),
        response.body.size(), image, error))
        << error;
    EXPECT_EQ(image.width, std::lround(placed["width"].get<double>() /
                                       placed["scale_x"].get<double>()))
        << ref;
    EXPECT_EQ(image.height, std::lround(placed["height"].get<double>() /
                                        placed["scale_y"].get<double>()))
        << ref;
  }
}

// What the page places from the palette takes the size the palette shows.
TEST_F(PaletteRoutes, AGaugeAddedWithoutASizeTakesThePalettesSize) {
  const nlohmann::json palette = nlohmann::json::parse(get("/gauges").body);
  for (const std::string name :
       {"Tachometer", "Registration", "Breguet_Timer"}) {
    nlohmann::json listed;
    for (const auto& g : palette["gauges"])
      if (g["name"] == name) listed = g;
    ASSERT_FALSE(listed.is_null()) << name;
    const HttpResponse added =
        post("/command", "add Corvelain_Instr!" + name + " Window00 10 10");
    ASSERT_EQ(added.status, 200) << added.body;
    nlohmann::json placed;
    const nlohmann::json now = state();
    for (const auto& g : now["windows"][0]["gauges"])
      if (g["name"] == name && g["x"] == 10 && g["y"] == 10) placed = g;
    ASSERT_FALSE(placed.is_null()) << name;
    EXPECT_EQ(std::lround(placed["width"].get<double>()),
              listed["width"].get<int>())
        << name;
    EXPECT_EQ(std::lround(placed["height"].get<double>()),
              listed["height"].get<int>())
        << name;
  }
}

TEST_F(PaletteRoutes, RefusesWhatNamesNoGaugePicture) {
  struct Case {
    std::string method, target;
    int status;
  };
  const Case cases[] = {
      {"GET", "/gauge/No_Such_Gauge.png", 404},
      {"GET", "/gauge/Tachometer", 404},
      {"GET", "/gauge/Tachometer.bmp", 404},
      {"GET", "/gauge/../Tachometer.png", 404},
      {"GET", "/gauge/.png", 404},
      {"POST", "/gauges", 405},
      {"POST", "/gauge/Tachometer.png", 405},
  };
  for (const Case& c : cases)
    EXPECT_EQ(answer(make_request(c.method, c.target)).status, c.status)
        << c.method << " " << c.target;
}

}  // namespace
