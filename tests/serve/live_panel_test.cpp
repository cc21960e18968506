// The live panel's own work: the panel file read again as it changes, and
// what pages watching it are told.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "live_fixture.h"

namespace {

using namespace std::chrono_literals;

std::string replaced(std::string text, const std::string& from,
                     const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

const char kAirspeed[] = "Corvelain_Instr!Airspeed, 20, 20, 160, 160";

TEST_F(LivePanelTest, MovedGaugeIsReadAgainWithTheAircraftKept) {
  ASSERT_EQ(post("/command", "model off").status, 200);
  ASSERT_EQ(post("/command", "set ALTITUDE 4321").status, 200);
  ASSERT_EQ(post("/command", "light night").status, 200);
  ASSERT_EQ(post("/command", "open 30").status, 200);
  const int64_t frame = panel_->host().frame();
  panel_->take_notices();

  write_panel(replaced(sample_panel_text(), kAirspeed,
                       "Corvelain_Instr!Airspeed, 600, 400, 80, 80"));
  panel_->watch_file(Clock::now() + 1s);

  const auto s = state();
  EXPECT_EQ(s["generation"], 1);
  EXPECT_EQ(s["error"], nullptr);
  EXPECT_EQ(s["frame"], frame);
  EXPECT_EQ(s["night"], true);
  const auto airspeed = gauge(s, 0, "Airspeed");
  EXPECT_EQ(airspeed["x"], 600.0);
  EXPECT_EQ(airspeed["y"], 400.0);
  EXPECT_EQ(airspeed["width"], 80.0);
  // Windows open as the file says.
  EXPECT_EQ(s["windows"][4]["open"], false);
  EXPECT_EQ(panel_->host().aircraft().number(
                find_aircraft_variable("ALTITUDE")->token),
            4321);
  // The model stays off: the value holds while frames run.
  panel_->tick(Clock::now() + 1s);
  EXPECT_EQ(panel_->host().aircraft().number(
                find_aircraft_variable("ALTITUDE")->token),
            4321);
  EXPECT_NE(std::find(panel_->transcript().begin(), panel_->transcript().end(),
                      "> reload"),
            panel_->transcript().end());
  const auto notices = panel_->take_notices();
  EXPECT_TRUE(std::any_of(notices.begin(), notices.end(), [](const auto& n) {
    return n.kind == LivePanelNotice::Kind::kState;
  }));
  // The new panel takes lines.
  EXPECT_EQ(post("/command", "click Battery_Switch 20 30").status, 200);
}

struct BrokenFile {
  const char* name;
  const char* from;
  const char* to;
  const char* error;  // after "FILE:"
};

void PrintTo(const BrokenFile& b, std::ostream* out) { *out << b.name; }

const BrokenFile kBrokenFiles[] = {
    {"unknown_gauge", kAirspeed, "Corvelain_Instr!Airspeeed, 20, 20, 160, 160",
     "28: module \"Corvelain_Instr\" holds no gauge named \"Airspeeed\""},
    {"bad_number", kAirspeed, "Corvelain_Instr!Airspeed, 20, x, 160, 160",
     "28: "},
    {"unclosed_section", "[Window01]", "[Window01", "75: "},
};

class BrokenPanelFile : public LivePanelTest,
                        public ::testing::WithParamInterface<BrokenFile> {};

TEST_P(BrokenPanelFile, KeepsThePanelRunningAndNamesFileAndLine) {
  const BrokenFile& broken = GetParam();
  ASSERT_EQ(post("/command", "set ALTITUDE 100").status, 200);
  const auto before = state();
  write_panel(replaced(sample_panel_text(), broken.from, broken.to));
  panel_->watch_file(Clock::now() + 1s);

  const auto s = state();
  ASSERT_TRUE(s["error"].is_string());
  const std::string error = s["error"];
  EXPECT_EQ(error.rfind(path_ + ":" + broken.error, 0), 0u) << error;
  EXPECT_EQ(s["generation"], 0);
  EXPECT_EQ(s["windows"], before["windows"]);
  panel_->tick(Clock::now() + 1s);
  EXPECT_GT(panel_->host().frame(), int64_t(before["frame"]));
  EXPECT_EQ(post("/command", "open 30").status, 200);

  // The next good read clears it.
  write_panel(sample_panel_text() + "\n");
  panel_->watch_file(Clock::now() + 2s);
  EXPECT_EQ(state()["error"], nullptr);
  EXPECT_EQ(state()["generation"], 1);
}

INSTANTIATE_TEST_SUITE_P(LivePanel, BrokenPanelFile,
                         ::testing::ValuesIn(kBrokenFiles),
                         [](const auto& info) { return info.param.name; });

// A panel file that stops being one while served: gone, a folder, not
// text, no window at all, too large.
struct FileGoneBad {
  const char* name;
  void (*spoil)(const std::string& path);
  const char* error;  // after "FILE: "
};

void PrintTo(const FileGoneBad& b, std::ostream* out) { *out << b.name; }

void write_bytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

const FileGoneBad kFilesGoneBad[] = {
    {"removed", [](const std::string& p) { std::filesystem::remove(p); },
     "cannot be read (No such file or directory)"},
    {"made_a_folder",
     [](const std::string& p) {
       std::filesystem::remove(p);
       std::filesystem::create_directory(p);
     },
     "is a folder"},
    {"not_text",
     [](const std::string& p) {
       write_bytes(p, std::string("BM\x36\0\0\0", 6) + sample_panel_text());
     },
     "is not text (a NUL byte at offset 3)"},
    {"without_sections",
     [](const std::string& p) { write_bytes(p, "say hello\n"); },
     "has no [WindowNN] or [VcockpitNN] section"},
    // Its stamp changes with its permissions alone.
    {"made_unreadable",
     [](const std::string& p) {
       std::filesystem::permissions(p, std::filesystem::perms::none);
     },
     "cannot be read (Permission denied)"},
    {"too_large",
     [](const std::string& p) {
       write_bytes(p, sample_panel_text() + std::string(1 << 20, ' '));
     },
     "is larger than 1048576 bytes, more than a panel file can be"},
};

class PanelFileGoneBad : public LivePanelTest,
                         public ::testing::WithParamInterface<FileGoneBad> {};

TEST_P(PanelFileGoneBad, NamesTheFileWhileThePanelRunsOnUntilItIsBack) {
  if (GetParam().name == std::string("made_unreadable") && geteuid() == 0)
    GTEST_SKIP() << "root reads every file";
  ASSERT_EQ(post("/command", "model off").status, 200);
  ASSERT_EQ(post("/command", "set ALTITUDE 100").status, 200);
  const auto before = state();
  GetParam().spoil(path_);
  panel_->watch_file(Clock::now() + 1s);

  const auto s = state();
  EXPECT_EQ(s["error"], path_ + ": " + GetParam().error);
  EXPECT_EQ(s["generation"], 0);
  EXPECT_EQ(s["windows"], before["windows"]);
  panel_->tick(Clock::now() + 1s);
  EXPECT_GT(panel_->host().frame(), int64_t(before["frame"]));
  EXPECT_EQ(post("/command", "open 30").status, 200);
  // Looked at again, unchanged: the reason stays and nothing is rebuilt.
  panel_->watch_file(Clock::now() + 2s);
  EXPECT_EQ(state()["error"], path_ + ": " + GetParam().error);

  std::filesystem::remove(path_);
  write_panel(sample_panel_text());
  panel_->watch_file(Clock::now() + 3s);
  EXPECT_EQ(state()["error"], nullptr);
  EXPECT_EQ(state()["generation"], 1);
  EXPECT_EQ(panel_->host().aircraft().number(
                find_aircraft_variable("ALTITUDE")->token),
            100);
}

INSTANTIATE_TEST_SUITE_P(LivePanel, PanelFileGoneBad,
                         ::testing::ValuesIn(kFilesGoneBad),
                         [](const auto& info) { return info.param.name; });

TEST_F(LivePanelTest, FileIsLookedAtOnlyEveryQuarterSecond) {
  write_panel(replaced(sample_panel_text(), kAirspeed,
                       "Corvelain_Instr!Airspeed, 600, 400, 80, 80"));
  panel_->watch_file(start_ + 100ms);
  EXPECT_EQ(panel_->generation(), 0);
  panel_->watch_file(start_ + 300ms);
  EXPECT_EQ(panel_->generation(), 1);
  // Unchanged since: nothing read.
  panel_->watch_file(start_ + 600ms);
  EXPECT_EQ(panel_->generation(), 1);
}

TEST_F(LivePanelTest, WatchingPagesAreToldOfFramesLinesAndState) {
  panel_->take_notices();
  // Nothing drawn while no page watches.
  panel_->tick(Clock::now() + 100ms);
  for (const auto& n : panel_->take_notices())
    EXPECT_NE(n.kind, LivePanelNotice::Kind::kFrame);

  panel_->set_drawing(true);
  panel_->tick(Clock::now() + 200ms);
  auto events = take_panel_events(*panel_);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().first, "frame");
  const auto frame = nlohmann::json::parse(events.back().second);
  EXPECT_EQ(frame["frame"], panel_->host().frame());
  // The first drawing is news for every open window.
  EXPECT_EQ(frame["windows"], nlohmann::json::array({0}));

  const size_t from = panel_->transcript().size();
  ASSERT_EQ(post("/command", "open 30").status, 200);
  events = take_panel_events(*panel_);
  std::vector<std::string> names;
  for (const auto& [name, data] : events) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"transcript", "state", "frame"}));
  const auto lines = nlohmann::json::parse(events[0].second);
  EXPECT_EQ(lines["from"], from);
  EXPECT_EQ(lines["lines"][0], "> open 30");
  EXPECT_EQ(nlohmann::json::parse(events[1].second)["windows"][4]["open"],
            true);
  EXPECT_EQ(nlohmann::json::parse(events[2].second)["windows"],
            nlohmann::json::array({4}));

  // A paused clock is news; its frames stop.
  ASSERT_EQ(post("/clock", "pause").status, 200);
  events = take_panel_events(*panel_);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].first, "state");
  panel_->tick(Clock::now() + 5s);
  EXPECT_TRUE(take_panel_events(*panel_).empty());
}

}  // namespace
