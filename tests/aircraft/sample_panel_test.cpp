#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "host/panel_file/panel_config.h"
#include "module/linkage.h"

namespace {

TEST(SamplePanel, PlacesOnlyGaugesOfTheModuleOnTheAircraftsWindows) {
  std::ifstream file(SAMPLE_PANEL, std::ios::binary);
  ASSERT_TRUE(file) << SAMPLE_PANEL;
  std::stringstream text;
  text << file.rdbuf();
  auto result = parse_panel_config(text.str(), SAMPLE_PANEL);
  ASSERT_TRUE(std::holds_alternative<PanelConfig>(result))
      << std::get<PanelConfigError>(result).message();
  const PanelConfig& config = std::get<PanelConfig>(result);

  std::set<uint32_t> idents;
  for (const PanelWindow& window : config.windows) {
    ASSERT_TRUE(window.ident.has_value()) << window.title;
    idents.insert(*window.ident);
    EXPECT_EQ(window.visible, window.ident == 0u) << window.title;
    for (const GaugePlacement& placement : window.gauges) {
      EXPECT_EQ(placement.module, "Corvelain_Instr") << placement.line;
      bool held = false;
      for (GaugeHeader* gauge : Linkage.gauges)
        held = held || (gauge != nullptr &&
                        std::strcmp(gauge->name, placement.gauge.c_str()) == 0);
      EXPECT_TRUE(held) << placement.gauge << " at line " << placement.line;
    }
  }
  // Main panel, throttle, fuel, electricity, radio stack and compass.
  EXPECT_EQ(idents, (std::set<uint32_t>{0, 10, 20, 30, 50, 75}));
  EXPECT_TRUE(config.colors.day && config.colors.night &&
              config.colors.luminous);
  EXPECT_EQ(config.windows[0].background, "main_panel.bmp");
}

}  // namespace
