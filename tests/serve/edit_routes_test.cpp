// The edit verbs from a page: the panel rebuilt with the aircraft and the
// light kept, `save` writing the file in place with a .bak, `save FILE`
// refused, and the file changed on disk neither saved over nor read over
// unsaved edits.
#include <chrono>

#include "tests/serve/live_fixture.h"

namespace {

using namespace std::chrono_literals;

const char kAirspeed[] = "Corvelain_Instr!Airspeed, 20, 20, 160, 160";

std::string with_airspeed(const std::string& place) {
  std::string text = sample_panel_text();
  text.replace(text.find(kAirspeed), std::string(kAirspeed).size(),
               "Corvelain_Instr!Airspeed, " + place);
  return text;
}

std::string read(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string error_of(const HttpResponse& response) {
  return nlohmann::json::parse(response.body).value("error", "");
}

double altitude(LivePanel& panel) {
  return panel.host().aircraft().number(
      find_aircraft_variable("ALTITUDE")->token);
}

TEST_F(LivePanelTest, MoveThenSaveWritesTheFileInPlaceWithABackup) {
  ASSERT_EQ(post("/command", "model off").status, 200);
  ASSERT_EQ(post("/command", "set ALTITUDE 4321").status, 200);
  ASSERT_EQ(post("/command", "light night").status, 200);

  ASSERT_EQ(post("/command", "move Airspeed 40 30").status, 200);
  auto s = state();
  EXPECT_EQ(gauge(s, 0, "Airspeed")["x"], 40.0);
  EXPECT_EQ(gauge(s, 0, "Airspeed")["y"], 30.0);
  EXPECT_EQ(s["unsaved"], true);
  EXPECT_EQ(s["night"], true);
  EXPECT_EQ(altitude(*panel_), 4321);
  EXPECT_EQ(read(path_), sample_panel_text());

  ASSERT_EQ(post("/command", "save").status, 200);
  EXPECT_EQ(read(path_), with_airspeed("40, 30, 160, 160"));
  EXPECT_EQ(read(path_ + ".bak"), sample_panel_text());
  EXPECT_EQ(state()["unsaved"], false);
  // The panel's own save is not read back as a change.
  const int64_t generation = panel_->generation();
  panel_->watch_file(Clock::now() + 1s);
  EXPECT_EQ(panel_->generation(), generation);
}

// A window opened to place its gauges stays open through their edits and
// their undoing, though the file says it starts closed.
TEST_F(LivePanelTest, EditsKeepWindowsOpenAsTheyWere) {
  ASSERT_EQ(post("/command", "open 20").status, 200);
  ASSERT_EQ(post("/command", "move Fuel_Pump_Switch 12 14").status, 200);
  auto s = state();
  EXPECT_EQ(s["windows"][3]["open"], true);
  EXPECT_EQ(s["windows"][4]["open"], false);
  EXPECT_EQ(gauge(s, 3, "Fuel_Pump_Switch")["x"], 12.0);
  ASSERT_EQ(post("/command", "undo").status, 200);
  s = state();
  EXPECT_EQ(s["windows"][3]["open"], true);
  EXPECT_EQ(gauge(s, 3, "Fuel_Pump_Switch")["x"], 10.0);
}

TEST_F(LivePanelTest, SaveToAnotherFileIsRefused) {
  const std::string other = (folder_ / "other.cfg").string();
  const HttpResponse refused = post("/command", "save " + other);
  EXPECT_EQ(refused.status, 400);
  EXPECT_NE(error_of(refused).find("writes files"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(other));
}

TEST_F(LivePanelTest, BadEditsAreRefusedWithTheirReasonAndChangeNothing) {
  const struct {
    const char* line;
    const char* reason;
  } kBad[] = {
      {"move Airspeeed 1 1",
       "the panel places no gauge Airspeeed (nearest: "
       "Airspeed, "},
      {"resize Airspeed 0 5", "a size must be positive, not 0 x 5"},
      {"move Airspeed 5000 5", "(5000, 5) is outside [Window00] (1024 x 600)"},
      {"add Corvelain_Instr!Airspeed_Typo MAIN_PANEL 1 1",
       "module \"Corvelain_Instr\" holds no gauge named \"Airspeed_Typo\""},
      {"undo", "no edit to undo"},
  };
  for (const auto& bad : kBad) {
    const HttpResponse refused = post("/command", bad.line);
    EXPECT_EQ(refused.status, 400) << bad.line;
    EXPECT_NE(error_of(refused).find(bad.reason), std::string::npos)
        << error_of(refused);
  }
  EXPECT_EQ(state()["unsaved"], false);
  EXPECT_EQ(panel_->generation(), 0);
  EXPECT_EQ(gauge(state(), 0, "Airspeed")["x"], 20.0);
}

TEST_F(LivePanelTest, FileChangedOnDiskIsNotSavedOverNorReadOverTheEdits) {
  ASSERT_EQ(post("/command", "move Airspeed 40 30").status, 200);
  const std::string theirs = with_airspeed("600, 400, 80, 80");
  write_panel(theirs);
  panel_->watch_file(Clock::now() + 1s);
  auto s = state();
  EXPECT_EQ(s["reload_waiting"], true);
  EXPECT_EQ(s["unsaved"], true);
  EXPECT_EQ(gauge(s, 0, "Airspeed")["x"], 40.0);

  const HttpResponse refused = post("/command", "save");
  EXPECT_EQ(refused.status, 400);
  EXPECT_NE(error_of(refused).find(path_ + ": changed on disk"),
            std::string::npos)
      << error_of(refused);
  EXPECT_EQ(read(path_), theirs);
  EXPECT_FALSE(std::filesystem::exists(path_ + ".bak"));

  // The edits undone, the file waiting is read.
  ASSERT_EQ(post("/command", "undo").status, 200);
  s = state();
  EXPECT_EQ(s["reload_waiting"], false);
  EXPECT_EQ(s["unsaved"], false);
  EXPECT_EQ(gauge(s, 0, "Airspeed")["x"], 600.0);
}

}  // namespace
