// The host driving a small module of its own: the order of install,
// connect, update and kill, the parameter texts, failures, image flags,
// turn-rate limits, clicks and the service table.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "elements/declare.h"
#include "host/core/host.h"
#include "host/core/number_text.h"

namespace {

extern ImportTableRecord test_imports;
std::vector<std::string> trace;
double icon_result = 0;
double needle_override = 0;
bool use_needle_override = false;
PointRecord last_point = {};
uint32_t last_flags = 0;

void GAUGE_CALL test_init() { trace.push_back("init"); }
void GAUGE_CALL test_deinit() { trace.push_back("deinit"); }

void GAUGE_CALL probe_notice(GaugeHeader* gauge, int32_t notice, void* extra) {
  trace.push_back("notice " + std::to_string(notice) + " " +
                  (gauge->parameter_text ? gauge->parameter_text : "-") +
                  (extra ? " +extra" : ""));
  // Gauges may write into their parameter text.
  if (notice == kNoticeInstall && gauge->parameter_text)
    gauge->parameter_text[0] = '#';
}

double GAUGE_CALL probe_needle(ElementHeader* head) {
  const double value = element_as<NeedleElement>(head)->source.value.number;
  trace.push_back("needle " + fixed_text(value));
  return use_needle_override ? needle_override : value;
}

double GAUGE_CALL probe_icon(ElementHeader*) {
  trace.push_back("icon");
  return icon_result;
}

double GAUGE_CALL probe_text(ElementHeader* head) {
  auto* e = element_as<StringElement>(head);
  std::memcpy(e->text, "ABCDEFGH", 9);  // every character it may show
  return 0;
}

// Asks for sub-panel 50 to be toggled, as the toggle gauges do.
int32_t GAUGE_CALL probe_toggle(PointRecord*, uint32_t) {
  auto* table = static_cast<HostRoutine*>(test_imports.entries[0].pointer);
  reinterpret_cast<PanelWindowToggleService>(table[kServicePanelWindowToggle])(
      50);
  trace.push_back("toggle asked");
  return 0;
}

int32_t GAUGE_CALL probe_click(PointRecord* point, uint32_t flags) {
  last_point = *point;
  last_flags = flags;
  return 0;
}

extern GaugeHeader probe_gauge;
extern GaugeHeader slow_gauge;

NonlinearityEntry probe_table[] = {mark(0, 50, 0), mark(90, 100, 50)};
NonlinearityEntry slow_table[] = {mark(0, 50, 0), mark(90, 100, 50)};
constexpr FailureEntry probe_failures[] = {
    {3, 1, 0}, {7, 2, 0}, {8, 3, 0}, kFailuresEnd};

ElementChain probe_chain{
    &probe_gauge,
    static_image({.bitmap = 1, .at = {0, 0}, .flags = 0x3}),
    needle({.bitmap = 2,
            .at = {50, 50},
            .pivot = {1, 1},
            .token = 74,
            .table = probe_table,
            .callback = probe_needle,
            .flags = 0x3,
            .failures = probe_failures}),
    icon({.bitmap = 3, .at = {0, 0}, .icons = 2, .callback = probe_icon}),
    string_element({.at = {0, 0},
                    .box_width = 50,
                    .box_height = 10,
                    .characters = 8,
                    .callback = probe_text}),
    slider({.bitmap = 4, .at = {0, 0}, .y_token = 75, .y_scale = 2.0}),
};

TooltipArg probe_args[] = {
    number_arg([](uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t)
                   GAUGE_CALL { return 12.7; })};

MouseRect probe_mouse[] = {
    mouse_parent(),
    mouse_text_tooltip("Probe %1!d!\xB0", probe_args, 1),
    mouse_event_child({0, 0, 10, 10}, kCursorHand, kMouseLeftSingle, 65883),
    mouse_callback_child({20, 20, 10, 10}, kCursorHand,
                         kMouseLeftSingle | kMouseLeftDrag, probe_click),
    mouse_callback_child({40, 40, 10, 10}, kCursorHand, kMouseLeftSingle,
                         probe_toggle),
    mouse_parent_end(),
    mouse_end(),
};

GaugeHeader probe_gauge = gauge_header({.name = "Probe",
                                        .width_mm = 50,
                                        .elements = probe_chain.list(),
                                        .mouse_areas = probe_mouse,
                                        .callback = probe_notice});

ElementChain slow_chain{
    &slow_gauge,
    static_image({.bitmap = 1, .at = {0, 0}, .flags = 0x3}),
    needle({.bitmap = 2,
            .at = {50, 50},
            .pivot = {1, 1},
            .token = 74,
            .table = slow_table,
            .max_turn_rate_degrees = 36}),
};

GaugeHeader slow_gauge = gauge_header({.name = "Slow",
                                       .width_mm = 50,
                                       .elements = slow_chain.list(),
                                       .mouse_areas = nullptr});

constinit ImportTableRecord test_imports = {{{0x0F, nullptr}, {0, nullptr}}};
LinkageRecord test_linkage = {.module_id = 0x13,
                              .init = test_init,
                              .deinit = test_deinit,
                              .flags = 0,
                              .status = 0,
                              .version = 0x900,
                              .gauges = {&probe_gauge, &slow_gauge, nullptr}};

const char* const kPanel = R"([Window00]
ident=MAIN_PANEL
size_mm=100,100
position=0
visible=1
gauge00=Test_Module!Probe, 0, 0, 50, 50, t1
gauge01=Test_Module!Slow, 50, 0, 50, 50

[Window01]
ident=50
size_mm=100,100
position=0
visible=0
gauge00=Test_Module!Probe, 0, 0, 50, 50, t2
)";

class HostLifecycle : public testing::Test {
 protected:
  void SetUp() override {
    trace.clear();
    use_needle_override = false;
    icon_result = 0;
    for (ElementHeader* e : {&probe_chain.first.element.head,
                             &probe_chain.rest.first.element.head})
      e->image_flags &= ~(kImageHidden | kImageOnScreen);
  }

  static std::variant<std::unique_ptr<Host>, std::string> create(
      const std::string& panel_text) {
    auto parsed = parse_panel_config(panel_text, "test.cfg");
    if (auto* error = std::get_if<PanelConfigError>(&parsed))
      return error->message();
    LoadedModule module{&test_imports, &test_linkage,
                        reinterpret_cast<void*>(0x1234), "Test_Module"};
    return Host::create(module, std::get<PanelConfig>(std::move(parsed)));
  }

  static std::unique_ptr<Host> started(const std::string& panel_text = kPanel) {
    auto created = create(panel_text);
    if (auto* error = std::get_if<std::string>(&created)) {
      ADD_FAILURE() << *error;
      return nullptr;
    }
    auto host = std::move(std::get<std::unique_ptr<Host>>(created));
    host->start();
    return host;
  }

  static ElementView view(Host& host, const char* gauge, int element,
                          int ordinal = 1) {
    ElementView v;
    EXPECT_TRUE(
        host.element_view(*host.find_instance(gauge, ordinal), element, v));
    return v;
  }
};

TEST_F(HostLifecycle, ModuleWithNoGaugePlacedSeesOnlyInitAndDeinit) {
  auto host = started("[Window00]\nident=0\nsize_mm=10,10\nposition=0\n");
  host->run_frames(3);
  host->stop();
  EXPECT_EQ(trace, (std::vector<std::string>{"init", "deinit"}));
  EXPECT_TRUE(host->service_calls().empty());
  EXPECT_EQ(test_imports.entries[0].pointer, nullptr);
}

TEST_F(HostLifecycle, InstallConnectUpdateAndKillInOrder) {
  auto host = started();
  host->aircraft().set(74, 1234);
  host->run_frames(1);
  host->close_window(0);
  host->open_window(0);
  host->stop();
  EXPECT_EQ(trace, (std::vector<std::string>{
                       "init", "notice 2 t1 +extra", "notice 14 #1",
                       // The element sees the refreshed value.
                       "notice 6 #1", "needle 1234.000", "icon", "notice 12 #1",
                       // A fresh copy of the text at every install.
                       "notice 2 t1 +extra", "notice 14 #1", "notice 12 #1",
                       "deinit"}));
}

TEST_F(HostLifecycle, EachPlacementOfASharedGaugeKeepsItsOwnText) {
  auto host = started();
  host->open_window(50);
  trace.clear();
  host->run_frames(1);
  EXPECT_EQ(trace,
            (std::vector<std::string>{"notice 6 #1", "needle 0.000", "icon",
                                      "notice 6 #2", "needle 0.000", "icon"}));
}

TEST_F(HostLifecycle, PanelErrorsNameTheLineAndRunNothing) {
  std::string panel = kPanel;
  panel.replace(panel.find("Slow"), 4, "Slower");
  auto created = create(panel);
  ASSERT_TRUE(std::holds_alternative<std::string>(created));
  EXPECT_EQ(std::get<std::string>(created),
            "test.cfg:7: module \"Test_Module\" holds no gauge named "
            "\"Slower\" (nearest: Slow, Probe)");
  EXPECT_TRUE(trace.empty());
}

// Another module's gauge is skipped with a note; a module named with its
// folder, another case and its .gau ending is this one.
TEST_F(HostLifecycle, GaugesOfOtherModulesAreSkippedWithANote) {
  std::string panel = kPanel;
  panel.replace(panel.find("Test_Module!Slow"), 16, "Cessna!Slow");
  panel.replace(panel.find("Test_Module!Probe"), 11,
                "Aircraft\\Panel\\test_MODULE.Gau");
  auto created = create(panel);
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<Host>>(created));
  Host& host = *std::get<std::unique_ptr<Host>>(created);
  ASSERT_EQ(host.instances().size(), 2u);
  EXPECT_EQ(host.find_instance("Slow", 1), nullptr);
  const auto notes = host.take_observations();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].text,
            "test.cfg:7: gauge Cessna!Slow is not in this module; skipped");
  EXPECT_TRUE(trace.empty());
}

TEST_F(HostLifecycle, FailureActionsFreezeZeroAndHide) {
  auto host = started();
  host->aircraft().set(74, 30);
  host->run_frames(1);
  host->set_failure(3, true);  // frozen
  host->aircraft().set(74, 60);
  host->run_frames(1);
  EXPECT_DOUBLE_EQ(view(*host, "Probe", 2).values[0], 30);
  EXPECT_NEAR(view(*host, "Probe", 2).angle, 30, 1e-9);
  host->set_failure(3, false);
  host->set_failure(7, true);  // taken as zero
  host->run_frames(1);
  EXPECT_DOUBLE_EQ(view(*host, "Probe", 2).values[0], 0);
  EXPECT_TRUE(view(*host, "Probe", 2).drawn);
  host->set_failure(7, false);
  host->set_failure(8, true);  // not drawn
  host->run_frames(1);
  EXPECT_FALSE(view(*host, "Probe", 2).drawn);
  EXPECT_DOUBLE_EQ(view(*host, "Probe", 2).values[0], 60);
}

TEST_F(HostLifecycle, HiddenElementsRunButAreNotDrawn) {
  auto host = started();
  ElementHeader& needle_head = probe_chain.rest.first.element.head;
  host->run_frames(1);
  EXPECT_TRUE(needle_head.image_flags & kImageOnScreen);
  needle_head.image_flags =
      (needle_head.image_flags | kImageHidden) & ~kImageOnScreen;
  trace.clear();
  host->run_frames(1);
  EXPECT_FALSE(view(*host, "Probe", 2).drawn);
  EXPECT_FALSE(needle_head.image_flags & kImageOnScreen);
  EXPECT_EQ(trace[1], "needle 0.000");  // its callback still ran
}

TEST_F(HostLifecycle, NeedleTurnRateIsPerSecondOfSimulatedTime) {
  auto host = started();
  host->run_frames(1);
  host->aircraft().set(74, 90);
  host->run_frames(kFramesPerSecond);
  EXPECT_NEAR(view(*host, "Slow", 2).angle, 36, 1e-9);
  host->run_frames(3 * kFramesPerSecond);
  EXPECT_NEAR(view(*host, "Slow", 2).angle, 90, 1e-9);
  EXPECT_NEAR(view(*host, "Probe", 2).angle, 90, 1e-9);  // unlimited
}

TEST_F(HostLifecycle, UnusableValuesDrawNothingWithoutUndefinedBehaviour) {
  auto host = started();
  host->aircraft().set(74, 45);
  host->run_frames(1);
  use_needle_override = true;
  for (double bad : {double(NAN), double(INFINITY), -double(INFINITY)}) {
    needle_override = bad;
    icon_result = bad;
    host->run_frames(1);
    const ElementView needle = view(*host, "Probe", 2);
    EXPECT_TRUE(std::isfinite(needle.angle)) << bad;
    const ElementView icon_view = view(*host, "Probe", 3);
    EXPECT_EQ(icon_view.icon_index, -1) << bad;
    EXPECT_FALSE(icon_view.drawn) << bad;
  }
  EXPECT_NEAR(view(*host, "Probe", 2).angle, 45, 1e-9);  // kept its place
  for (double huge : {1e300, -1e300}) {
    needle_override = huge;
    icon_result = huge;
    host->run_frames(1);
    EXPECT_TRUE(std::isfinite(view(*host, "Probe", 2).angle));
    EXPECT_EQ(view(*host, "Probe", 3).icon_index, -1);
  }
  icon_result = 1;
  host->run_frames(1);
  EXPECT_EQ(view(*host, "Probe", 3).icon_index, 1);
  icon_result = 2;  // past the last image
  host->run_frames(1);
  EXPECT_FALSE(view(*host, "Probe", 3).drawn);
}

TEST_F(HostLifecycle, StringAndSliderShowTheirValues) {
  auto host = started();
  host->aircraft().set(75, 1000);
  host->run_frames(1);
  EXPECT_EQ(view(*host, "Probe", 4).text, "ABCDEFGH");
  EXPECT_DOUBLE_EQ(view(*host, "Probe", 5).values[1], 2000);
}

TEST_F(HostLifecycle, ClicksSendEventsOrCallWithThePointRecord) {
  auto host = started();
  GaugeInstance& probe = *host->find_instance("Probe", 1);
  const MouseRect* area = host->press(probe, 5, 5, kMouseLeftSingle);
  ASSERT_EQ(area, &probe_mouse[2]);
  EXPECT_EQ(host->take_sent_events(), (std::vector<SentEvent>{{65883, 0}}));

  area = host->press(probe, 25, 27, kMouseLeftSingle);
  ASSERT_EQ(area, &probe_mouse[3]);
  EXPECT_EQ(last_point.x, 5);
  EXPECT_EQ(last_point.y, 7);
  EXPECT_EQ(last_point.gauge, &probe_gauge);
  EXPECT_EQ(last_point.area, &probe_mouse[3]);
  EXPECT_EQ(last_flags, kMouseLeftSingle);
  host->drag(probe, area, 40, 18);
  EXPECT_EQ(last_point.x, 20);
  EXPECT_EQ(last_point.y, -2);
  EXPECT_EQ(last_flags, kMouseLeftDrag);
  EXPECT_EQ(host->press(probe, 5, 5, kMouseRightSingle), nullptr);
  EXPECT_EQ(host->tooltip(probe, 1, 1), "Probe 12\xC2\xB0");
}

TEST_F(HostLifecycle, ServicesAreRecordedAndActOnWindows) {
  auto host = started();
  trace.clear();
  host->press(*host->find_instance("Probe", 1), 45, 45, kMouseLeftSingle);
  EXPECT_TRUE(host->window_open(50));
  // The window opened once the callback had returned.
  EXPECT_EQ(trace, (std::vector<std::string>{
                       "toggle asked", "notice 2 t2 +extra", "notice 14 #2"}));
  auto* table = static_cast<HostRoutine*>(test_imports.entries[0].pointer);
  reinterpret_cast<TriggerKeyEventService>(table[kServiceTriggerKeyEvent])(
      66508, 50);  // close the panel window
  host->run_frames(1);
  EXPECT_FALSE(host->window_open(50));
  ModuleVar var{};
  var.token = 75;
  reinterpret_cast<LookupVarService>(table[kServiceLookupVar])(&var);
  EXPECT_DOUBLE_EQ(var.value.number, host->aircraft().number(75));
  const auto& calls = host->service_calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].entry, kServicePanelWindowToggle);
  EXPECT_EQ(calls[1].entry, kServiceTriggerKeyEvent);
  EXPECT_EQ(calls[1].second, 50u);
  EXPECT_EQ(calls[2].entry, kServiceLookupVar);
}

TEST_F(HostLifecycle, UnknownVariableReadsZeroAndIsNotedOnce) {
  auto host = started();
  host->take_observations();
  auto* table = static_cast<HostRoutine*>(test_imports.entries[0].pointer);
  for (int i = 0; i < 2; ++i) {
    ModuleVar var{};
    var.token = 9999;
    var.value.number = 5;
    reinterpret_cast<LookupVarService>(table[kServiceLookupVar])(&var);
    EXPECT_EQ(var.value.number, 0.0);
  }
  const auto seen = host->take_observations();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text,
            "variable 9999 means nothing to the aircraft; reads 0");
}

TEST_F(HostLifecycle, UnprovidedServiceStopsTheHostNamingTheEntry) {
  static_assert(kServiceEntries >= 70);
  auto host = started();
  auto* table = static_cast<HostRoutine*>(test_imports.entries[0].pointer);
  EXPECT_EXIT(table[12](), testing::ExitedWithCode(3), "service entry 12");
}

}  // namespace
