// The parameter-text keys: where a key counts, how window and help names
// read, what each key sends or changes, and the toggle gauges that use them.
#include "panels/parameter_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/unit/fake_services.h"

namespace {

ServiceCall open_call(uint32_t ident) { return event_call(66507, ident); }
ServiceCall close_call(uint32_t ident) { return event_call(66508, ident); }
ServiceCall toggle_call(uint32_t ident) { return event_call(66506, ident); }
const ServiceCall kViewReset = event_call(65875);
const ServiceCall kViewForward = event_call(65734);
const ServiceCall kViewBack = event_call(65735);

// --- The keys a click performs.

struct ClickCase {
  const char* name;
  const char* text;
  std::vector<ServiceCall> sent;
};

class ClickKeys : public ::testing::TestWithParam<ClickCase> {};

TEST_P(ClickKeys, SendTheirEventsInKeyOrder) {
  FakeServices services;
  EXPECT_EQ(apply_click_keys(GetParam().text), 1);
  EXPECT_EQ(services.actions(), GetParam().sent);
}

const std::vector<ClickCase> kClickCases = {
    {"OpenThenClose", "o50c10", {open_call(50), close_call(10)}},
    {"Toggle", "t50", {toggle_call(50)}},
    {"EveryOpenBeforeEveryClose",
     "c1o2c3o4t5p1",
     {open_call(2), open_call(4), close_call(1), close_call(3), toggle_call(5),
      kViewForward}},
    {"HashEndsTheKeys", "o50#o10", {open_call(50)}},
    {"QuoteEndsTheKeys", "o10'o20", {open_call(10)}},
    {"CommentBeforeTheFirstKeyDisablesIt", "#x t50", {}},
    {"CommentAfterAKeyIsItsArgument", "t/t50", {toggle_call(0)}},
    {"NoKeysAtAll", "xyz", {}},
    {"KeysAreLowerCase", "O50T10", {}},
    {"KeyAtTheVeryEndSendsNothing", "c10o", {close_call(10)}},
    {"NegativeWindowSendsNothing", "o-5c+7", {close_call(7)}},
    {"KeysInsideWords",
     "photo50",
     {open_call(0), open_call(50), toggle_call(0), kViewReset}},
    {"WindowNames",
     "oRADIO_STACK_PANELcTHROTTLE_PANELtGPS_PANEL",
     {open_call(50), close_call(10), toggle_call(225)}},
    {"NameSharingAPrefix",
     "oANNUNCIATOR2_PANELcANNUNCIATOR_PANEL",
     {open_call(150), close_call(125)}},
    {"TextAfterANameIsIgnored", "oMAIN_PANEL99", {open_call(0)}},
    {"NameOnlyAtTheStart", "oIFR_MAIN_PANEL", {open_call(175)}},
    {"HugeNumberStopsAtTheInt32End", "o99999999999", {open_call(2147483647)}},
    {"ViewWithoutNumber", "p", {kViewReset}},
    {"ViewZero", "p0", {kViewReset}},
    {"ViewBackThree", "p-3", {kViewBack, kViewBack, kViewBack}},
    {"ViewForwardTwoFirstKeyOnly", "p2p5", {kViewForward, kViewForward}},
};

INSTANTIATE_TEST_SUITE_P(Texts, ClickKeys, ::testing::ValuesIn(kClickCases),
                         [](const auto& info) {
                           return std::string(info.param.name);
                         });

TEST(ClickKeys, NullOrEmptyTextDoesNothing) {
  FakeServices services;
  EXPECT_EQ(apply_click_keys(nullptr), 0);
  EXPECT_EQ(apply_click_keys(""), 0);
  EXPECT_TRUE(services.actions().empty());
}

// --- Key search and the identifier rules.

TEST(FindKey, FirstOccurrenceUnlessACommentComesBefore) {
  const char* text = "xo1/o2";
  EXPECT_EQ(find_key(text, 'o'), text + 1);
  EXPECT_EQ(find_key(text + 2, 'o'), nullptr);
  const char* commented_after = "t5#";
  EXPECT_EQ(find_key(commented_after, 't'), commented_after);
  EXPECT_EQ(find_key(nullptr, 'o'), nullptr);
  EXPECT_EQ(find_key("", 'o'), nullptr);
  EXPECT_EQ(find_key("'a", 'a'), nullptr);
}

struct IdentCase {
  const char* name;
  const char* text;
  int32_t panel;
  uint32_t help;
};

class Idents : public ::testing::TestWithParam<IdentCase> {};

TEST_P(Idents, ReadNamesThenNumbers) {
  EXPECT_EQ(panel_ident(GetParam().text), GetParam().panel);
  EXPECT_EQ(help_ident(GetParam().text), GetParam().help);
}

const std::vector<IdentCase> kIdentCases = {
    {"Null", nullptr, -1, 0},
    {"Empty", "", -1, 0},
    {"NotANumber", "x50", 0, 0},
    {"Number", "50", 50, 0},
    {"PlusSign", "+75", 75, 0},
    {"MinusSign", "-3", -3, 0},
    {"HelpJustBelowTheRange", "40959", 40959, 0},
    {"HelpAtTheStartOfTheRange", "40960", 40960, 40960},
    {"HelpNumber", "43913", 43913, 43913},
    {"NegativeHelp", "-43913", -43913, 0},
    {"MainPanel", "MAIN_PANEL", 0, 0},
    {"OverheadPanelThenMore", "OVERHEAD_PANELc3", 250, 0},
    {"CutShortName", "MAIN_PANE", 0, 0},
    {"Annunciator", "ANNUNCIATOR_PANEL", 125, 0},
    {"Annunciator2", "ANNUNCIATOR2_PANEL", 150, 0},
    {"MiniControls", "MINI_CONTROLS_PANEL", 100, 0},
    {"ToggleRadio", "TOGGLE_RADIO_WINDOW", 0, 0xAB86},
    {"ToggleCollective", "TOGGLE_COLLECTIVE_WINDOW", 0, 0xAB8B},
    {"ToggleFuelThenMore", "TOGGLE_FUEL_WINDOWS", 0, 0xAB8A},
    {"HugeNumber", "99999999999", 2147483647, 2147483647},
};

INSTANTIATE_TEST_SUITE_P(Texts, Idents, ::testing::ValuesIn(kIdentCases),
                         [](const auto& info) {
                           return std::string(info.param.name);
                         });

// --- Keys b and h at install, a at the first install, on a gauge of the
// test's own.

class OwnGauge : public ::testing::Test {
 protected:
  void SetUp() override {
    background.head.kind = kStaticImage;
    background.head.bitmap = 110;
    list[0] = &background.head;
    gauge.elements = list;
    areas[0].kind = kMouseParent;
    areas[0].help_id = 7;
    areas[1].kind = kMouseEnd;
    gauge.mouse_areas = areas;
  }
  void install(const char* text) {
    parameter.assign(text, text + std::strlen(text) + 1);
    gauge.parameter_text = parameter.data();
    apply_install_keys(&gauge);
  }

  FakeServices services;
  StaticImageElement background{};
  ElementHeader* list[2] = {nullptr, nullptr};
  MouseRect areas[2] = {};
  GaugeHeader gauge{};
  std::vector<char> parameter;
};

struct InstallCase {
  const char* name;
  const char* text;
  int32_t bitmap;
  uint32_t help;
};

class InstallKeys : public OwnGauge,
                    public ::testing::WithParamInterface<InstallCase> {};

TEST_P(InstallKeys, SetTheFaceAndTheHostTooltip) {
  install(GetParam().text);
  EXPECT_EQ(background.head.bitmap, GetParam().bitmap);
  EXPECT_EQ(areas[0].help_id, GetParam().help);
  EXPECT_TRUE(services.actions().empty());
}

const std::vector<InstallCase> kInstallCases = {
    {"FaceAndHelp", "b100h43910", 100, 43910},
    {"AnotherFace", "b150h43913", 150, 43913},
    {"LastFace", "b180", 180, 7},
    {"FaceNotAMultipleOfTenKeepsHelp", "b105h43910", 110, 7},
    {"FaceBelowTheRangeKeepsHelp", "b95h43910", 110, 7},
    {"FaceAboveTheRangeKeepsHelp", "b190h43910", 110, 7},
    {"FaceWithoutNumberKeepsHelp", "bh43910", 110, 7},
    {"HelpBelowTheRangeRemovesIt", "h1000", 110, 0},
    {"HelpByName", "hTOGGLE_GPS_WINDOW", 110, 0xAB87},
    {"HelpKeyAtTheEnd", "o50h", 110, 0},
    {"CommentedOut", "o1#b150h43910", 110, 7},
};

INSTANTIATE_TEST_SUITE_P(Texts, InstallKeys, ::testing::ValuesIn(kInstallCases),
                         [](const auto& info) {
                           return std::string(info.param.name);
                         });

TEST_F(OwnGauge, InstallKeysNeedAHeaderATextAndARoot) {
  apply_install_keys(nullptr);
  gauge.parameter_text = nullptr;
  apply_install_keys(&gauge);
  EXPECT_EQ(areas[0].help_id, 7u);
  list[0] = nullptr;
  install("b150h43910");
  EXPECT_EQ(areas[0].help_id, 7u) << "a face with no root also stops h";
  gauge.elements = nullptr;
  install("b150h43910");
  EXPECT_EQ(areas[0].help_id, 7u);
  install("h43910");
  EXPECT_EQ(areas[0].help_id, 43910u);
}

TEST_F(OwnGauge, CloseKeyClosesItsWindow) {
  struct {
    const char* text;
    std::vector<ServiceCall> sent;
  } const cases[] = {
      {"a1o0", {close_call(1)}},
      {"aRADIO_STACK_PANEL", {close_call(50)}},
      {"o50a", {}},
      {"a-1", {}},
      {"#a1", {}},
      {"o5", {}},
  };
  for (const auto& c : cases) {
    services.calls.clear();
    install(c.text);
    apply_close_key(&gauge);
    EXPECT_EQ(services.actions(), c.sent) << c.text;
  }
  services.calls.clear();
  apply_close_key(nullptr);
  gauge.parameter_text = nullptr;
  apply_close_key(&gauge);
  EXPECT_TRUE(services.actions().empty());
}

// --- Any bytes, any length: every operation stays inside the text. Each
// text sits in a block of exactly its size, so the address sanitizer
// reports any read past the terminating zero.
TEST(AnyText, IsNeverReadPastItsEnd) {
  FakeServices services;
  std::mt19937 random(9);
  std::vector<std::string> texts = {
      "o", "p-", "b", "h", "a", "oANNUNCIATOR", "hTOGGLE_", "p+", "o5#"};
  const std::string alphabet = "ocptbha0123456789-+/#'_ANPELMIRT";
  for (int n = 0; n < 3000; ++n) {
    std::string text(random() % 40, '\0');
    for (char& c : text)
      c = n % 2 ? char(1 + random() % 255)
                : alphabet[random() % alphabet.size()];
    texts.push_back(text);
  }
  StaticImageElement background{};
  ElementHeader* list[2] = {&background.head, nullptr};
  MouseRect areas[2] = {};
  areas[0].kind = kMouseParent;
  GaugeHeader gauge{};
  gauge.elements = list;
  gauge.mouse_areas = areas;
  for (const std::string& text : texts) {
    std::vector<char> block(text.begin(), text.end());
    block.push_back('\0');
    block.shrink_to_fit();
    gauge.parameter_text = block.data();
    for (char key : {'o', 'c', 't', 'p', 'b', 'h', 'a'}) {
      const char* at = find_key(block.data(), key);
      if (at != nullptr) {
        panel_ident(at + 1);
        help_ident(at + 1);
      }
    }
    // A text of this alphabet can ask for 2^31 view steps; leave p out.
    if (find_key(block.data(), 'p') == nullptr) apply_click_keys(block.data());
    apply_install_keys(&gauge);
    apply_close_key(&gauge);
    services.calls.clear();
  }
}

// --- The toggle gauges themselves, reached through the gauge table.

class ToggleGauge : public ::testing::Test {
 protected:
  void TearDown() override {
    gauge->user_word = 0;
    gauge->parameter_text = nullptr;
  }
  void set_text(const char* text) {
    parameter.assign(text, text + std::strlen(text) + 1);
    gauge->parameter_text = parameter.data();
  }
  void install() { gauge->callback(gauge, kNoticeInstall, nullptr); }
  void click() {
    PointRecord point{5, 5, gauge, &gauge->mouse_areas[1]};
    gauge->mouse_areas[1].callback(&point, kMouseLeftSingle);
  }

  FakeServices services;
  GaugeHeader* gauge = find_gauge("Invisible_Toggle");
  std::vector<char> parameter;
};

TEST_F(ToggleGauge, CloseKeyActsOnlyAtTheFirstInstall) {
  set_text("a1o0");
  install();
  EXPECT_EQ(gauge->user_word, 1u);
  install();
  gauge->callback(gauge, kNoticeKill, nullptr);
  install();
  click();
  EXPECT_EQ(services.actions(),
            (std::vector<ServiceCall>{close_call(1), open_call(0)}));
}

TEST_F(ToggleGauge, OtherNoticesDoNothing) {
  set_text("a1b150");
  for (int32_t notice : {kNoticeUpdate, kNoticeKill, kNoticeConnect})
    gauge->callback(gauge, notice, nullptr);
  EXPECT_EQ(gauge->user_word, 0u);
  EXPECT_EQ(element_at(gauge, 0)->bitmap, 100);
  EXPECT_TRUE(services.actions().empty());
}

TEST_F(ToggleGauge, WithoutTextAClickTogglesTheMainPanel) {
  click();
  set_text("");
  click();
  PointRecord nowhere{5, 5, nullptr, nullptr};
  gauge->mouse_areas[1].callback(&nowhere, kMouseLeftSingle);
  gauge->mouse_areas[1].callback(nullptr, kMouseLeftSingle);
  EXPECT_EQ(services.actions(),
            std::vector<ServiceCall>(4, window_toggle_call(0)));
}

TEST_F(ToggleGauge, TextWithoutClickKeysMakesNoFallbackToggle) {
  set_text("# only a comment");
  click();
  set_text("b150h43913");
  click();
  EXPECT_TRUE(services.actions().empty());
}

}  // namespace
