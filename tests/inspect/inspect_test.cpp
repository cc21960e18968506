// The static reader against the real Windows module: what it reads equals
// the linked-in module's own records; damaged copies give clear errors;
// other shapes of module are listed as they are; two builds that differ in
// one field differ in exactly that field; the bitmaps it writes are the
// generator's.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "host/inspect/diff.h"
#include "host/inspect/export_bitmaps.h"
#include "host/inspect/print.h"
#include "host/module_file/read_module.h"
#include "host/render/image.h"
#include "host/render/stb_files.h"
#include "native_walk.h"

namespace {

const std::string kWindowsModule = INSPECT_WINDOWS_MODULE;
const std::string kWindowsTestModules = INSPECT_WINDOWS_TEST_MODULES;
const std::string kWindowsArtwork = INSPECT_WINDOWS_ARTWORK;
const std::string kNativeArtwork = INSPECT_NATIVE_ARTWORK;

// The Windows module's bytes and what the reader makes of them, read once.
struct WindowsModule {
  std::vector<uint8_t> bytes;
  InspectedModule model;
  std::string error;
};

const WindowsModule& windows_module() {
  static const WindowsModule module = [] {
    WindowsModule m;
    if (!read_input_file(kWindowsModule, kModuleFile, m.bytes, m.error)) {
      m.error = "missing";
      return m;
    }
    InspectResult read = read_module(m.bytes, kWindowsModule);
    if (auto* e = std::get_if<InspectError>(&read))
      m.error = e->message();
    else
      m.model = std::get<InspectedModule>(std::move(read));
    return m;
  }();
  return module;
}

#define REQUIRE_WINDOWS_MODULE()                       \
  if (windows_module().error == "missing")             \
    GTEST_SKIP() << kWindowsModule << " is not built"; \
  ASSERT_EQ(windows_module().error, "")

// Fields that differ, by name, at most `limit` of them.
std::vector<std::string> differences(const std::vector<FlatField>& expected,
                                     const std::vector<FlatField>& actual,
                                     size_t limit = 20) {
  std::vector<std::string> out;
  const size_t n = std::max(expected.size(), actual.size());
  for (size_t i = 0; i < n && out.size() < limit; ++i) {
    const FlatField none{"(none)", "(none)"};
    const FlatField& e = i < expected.size() ? expected[i] : none;
    const FlatField& a = i < actual.size() ? actual[i] : none;
    if (e != a)
      out.push_back(e.first + " = " + e.second + " | read: " + a.first + " = " +
                    a.second);
  }
  return out;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

TEST(InspectWindowsModule, EqualsTheLinkedModuleFieldByField) {
  REQUIRE_WINDOWS_MODULE();
  const InspectedModule& read = windows_module().model;
  const InspectedModule linked = walk_linked_module(kWindowsArtwork);
  ASSERT_EQ(read.gauges.size(), linked.gauges.size());
  for (size_t i = 0; i < linked.gauges.size(); ++i) {
    SCOPED_TRACE(linked.gauges[i].name);
    EXPECT_EQ(read.gauges[i].name, linked.gauges[i].name);
    EXPECT_EQ(differences(flatten_gauge(linked.gauges[i]),
                          flatten_gauge(read.gauges[i])),
              std::vector<std::string>{});
  }
  EXPECT_EQ(differences(flatten_module(linked), flatten_module(read)),
            std::vector<std::string>{});
  EXPECT_EQ(read.bitmaps.size(), 188u);
  EXPECT_EQ(read.recordings.size(), 3u);
  EXPECT_TRUE(read.missing_bitmaps.empty());
  EXPECT_TRUE(read.unnamed_bitmaps.empty());
  EXPECT_TRUE(read.unexpected_exports.empty());
  EXPECT_TRUE(read.missing_exports.empty());
  EXPECT_EQ(joined(read.problems), "");
}

// The native build's generator draws the same bitmaps as the Windows
// build's, so the linked module's resources agree with either folder.
TEST(InspectWindowsModule, ResourcesMatchTheNativeArtworkToo) {
  REQUIRE_WINDOWS_MODULE();
  const InspectedModule linked = walk_linked_module(kNativeArtwork);
  EXPECT_EQ(differences(flatten_module(linked),
                        flatten_module(windows_module().model)),
            std::vector<std::string>{});
}

TEST(InspectWindowsModule, PrintsEveryGaugeAsTextAndJson) {
  REQUIRE_WINDOWS_MODULE();
  std::ostringstream text, json, one;
  print_module_text(windows_module().model, "", text);
  EXPECT_NE(text.str().find("exactly ImportTable and Linkage"),
            std::string::npos);
  EXPECT_NE(text.str().find("\"Admission air temperature (%1!d!\xC2\xB0"
                            "C)\""),
            std::string::npos);
  print_module_json(windows_module().model, "", json);
  const auto parsed = nlohmann::json::parse(json.str(), nullptr, false);
  ASSERT_FALSE(parsed.is_discarded());
  ASSERT_EQ(parsed["gauges"].size(), 60u);
  EXPECT_EQ(parsed["gauges"][59]["name"], "Pitot_Heat_Light");
  EXPECT_EQ(parsed["gauges"][34]["mouse_areas"][1]["text"],
            "Admission air temperature (%1!d!\u00B0C)");
  EXPECT_EQ(parsed["gauges"][22]["elements"][1]["nonlinearity"].size(),
            parsed["gauges"][22]["elements"][1]["fields"]["table_entries"]);
  EXPECT_EQ(parsed["bitmaps"].size(), 188u);
  print_module_text(windows_module().model, "Battery_Switch", one);
  EXPECT_EQ(one.str().rfind("Gauge Battery_Switch (table slot 46)", 0), 0u);
  EXPECT_EQ(one.str().find("Gauge ", 1), std::string::npos);
}

// ---------------------------------------------------------------------------
// Damaged copies.

uint64_t file_offset(const InspectedModule& m, uint32_t address) {
  for (const PeSection& s : m.pe.sections)
    if (address >= s.address && address - s.address < s.file_size)
      return s.file_offset + (address - s.address);
  ADD_FAILURE() << "no file offset for " << address;
  return 0;
}

void put_u32(std::vector<uint8_t>& bytes, uint64_t at, uint32_t value) {
  std::memcpy(bytes.data() + at, &value, 4);
}

uint32_t get_u32(const std::vector<uint8_t>& bytes, uint64_t at) {
  uint32_t value;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

const InspectedGauge& gauge_named(const InspectedModule& m,
                                  const std::string& name) {
  for (const InspectedGauge& g : m.gauges)
    if (g.name == name) return g;
  throw std::runtime_error("no gauge " + name);
}

using Damage =
    std::function<void(std::vector<uint8_t>&, const InspectedModule&)>;

struct DamageCase {
  const char* name;
  Damage damage;
  const char* expected;  // part of the error message
};

uint64_t pe_header(const std::vector<uint8_t>& b) { return get_u32(b, 0x3C); }

const DamageCase kDamageCases[] = {
    {.name = "cut_short",
     .damage = [](auto& b, const auto&) { b.resize(b.size() / 2); },
     .expected = "section header 10 at file offset 0x"},
    {.name = "cut_inside_the_headers",
     .damage = [](auto& b, const auto&) { b.resize(0x100); },
     .expected = "optional header at file offset 0x98: the file ends at "
                 "0x100"},
    {.name = "not_a_pe_module",
     .damage =
         [](auto& b, const auto&) {
           b.assign({'h', 'e', 'l', 'l', 'o', '\n'});
         },
     .expected = "DOS header at file offset 0x0: not a PE module"},
    {.name = "no_pe_signature",
     .damage = [](auto& b, const auto&) { b[pe_header(b)] = 'X'; },
     .expected = "no \"PE\" signature"},
    {.name = "pe_header_past_the_end",
     .damage = [](auto& b, const auto&) { put_u32(b, 0x3C, 0x7FFFFFF0); },
     .expected = "PE signature and file header at file offset 0x7FFFFFF0: "
                 "the file ends"},
    {.name = "sixty_four_bit",
     .damage =
         [](auto& b, const auto&) {
           b[pe_header(b) + 24] = 0x0B;
           b[pe_header(b) + 25] = 0x02;
         },
     .expected = "a 64-bit (PE32+) module"},
    {.name = "gauge_name_out_of_its_section",
     .damage =
         [](auto& b, const auto& m) {
           put_u32(b, file_offset(m, m.gauges[2].address) + 4,
                   m.pe.image_base + m.pe.image_size + 0x1000);
         },
     .expected = "gauge header 3 name at address 0x"},
    {.name = "element_record_runs_off_its_section",
     .damage =
         [](auto& b, const auto& m) {
           const PeSection& data = m.pe.sections[1];
           const auto& g = gauge_named(m, "Battery_Switch");
           const uint64_t list = file_offset(m, g.address) + 8;
           const uint32_t at = data.address + data.virtual_size - 20;
           put_u32(b, list, g.address + 0x40);  // a word of the header...
           put_u32(b, file_offset(m, g.address) + 0x40, at);  // ...names it
         },
     .expected = "Battery_Switch element 1 at address 0x"},
    {.name = "loop_in_an_element_chain",
     .damage =
         [](auto& b, const auto& m) {
           const auto& g = gauge_named(m, "Radio_ADF");
           const uint32_t root_list = get_u32(b, file_offset(m, g.address) + 8);
           put_u32(b, file_offset(m, g.elements[3].address) + 0x28, root_list);
         },
     .expected = "loop in the element chain: element 5 would be element 1 "
                 "again"},
    {.name = "unknown_element_kind",
     .damage =
         [](auto& b, const auto& m) {
           put_u32(
               b,
               file_offset(m, gauge_named(m, "Airspeed").elements[1].address),
               9);
         },
     .expected = "Airspeed element 2 at address 0x"},
    {.name = "unknown_mouse_area_kind",
     .damage =
         [](auto& b, const auto& m) {
           put_u32(b,
                   file_offset(m, gauge_named(m, "Airspeed").areas[1].address),
                   7);
         },
     .expected = "Airspeed mouse area 2 at address 0x"},
    {.name = "no_linkage_export",
     .damage =
         [](auto& b, const auto&) {
           const std::string name = "Linkage";
           auto found =
               std::search(b.begin(), b.end(), name.begin(), name.end());
           *(found + 6) = 'f';
         },
     .expected = "no export named \"Linkage\": not a gauge module"},
};

class InspectDamaged : public testing::TestWithParam<DamageCase> {};

TEST_P(InspectDamaged, GivesOneClearError) {
  REQUIRE_WINDOWS_MODULE();
  std::vector<uint8_t> bytes = windows_module().bytes;
  GetParam().damage(bytes, windows_module().model);
  InspectResult read = read_module(bytes, "damaged.gau");
  const auto* error = std::get_if<InspectError>(&read);
  ASSERT_NE(error, nullptr) << "read without error";
  EXPECT_NE(error->message().find(GetParam().expected), std::string::npos)
      << error->message();
}

INSTANTIATE_TEST_SUITE_P(Cases, InspectDamaged, testing::ValuesIn(kDamageCases),
                         [](const auto& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Modules of other shapes.

InspectedModule read_test_module(const std::string& name) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!read_input_file(kWindowsTestModules + "/" + name, kModuleFile, bytes,
                       error))
    return {};
  InspectResult read = read_module(bytes, name);
  if (auto* e = std::get_if<InspectError>(&read)) {
    ADD_FAILURE() << name << ": " << e->message();
    return {};
  }
  return std::get<InspectedModule>(std::move(read));
}

TEST(InspectOtherModules, ListsAnExtraExport) {
  if (!std::filesystem::exists(kWindowsTestModules +
                               "/misbuilt_extra_export.dll"))
    GTEST_SKIP() << "the Windows test modules are not built";
  const InspectedModule m = read_test_module("misbuilt_extra_export.dll");
  EXPECT_EQ(m.unexpected_exports, std::vector<std::string>{"Extra"});
  EXPECT_TRUE(m.missing_exports.empty());
  EXPECT_EQ(m.module_id, 0x13u);
  EXPECT_EQ(m.version, 0x900u);
  EXPECT_TRUE(m.gauges.empty());
  std::ostringstream text;
  print_module_text(m, "", text);
  EXPECT_NE(text.str().find("unexpected export: Extra"), std::string::npos);
}

TEST(InspectOtherModules, ListsTheSharedRuntimeItImports) {
  if (!std::filesystem::exists(kWindowsTestModules +
                               "/misbuilt_shared_runtime.dll"))
    GTEST_SKIP() << "the Windows test modules are not built";
  const InspectedModule m = read_test_module("misbuilt_shared_runtime.dll");
  EXPECT_TRUE(m.unexpected_exports.empty());
  const auto& imports = m.pe.imported_libraries;
  EXPECT_NE(std::find(imports.begin(), imports.end(), "libstdc++-6.dll"),
            imports.end());
  EXPECT_TRUE(m.gauges.empty());
}

// ---------------------------------------------------------------------------
// Two builds.

struct ChangeCase {
  const char* name;
  Damage change;
  std::vector<std::string> expected;
};

const ChangeCase kChangeCases[] = {
    {.name = "nothing", .change = [](auto&, const auto&) {}, .expected = {}},
    {.name = "area_moved",
     .change =
         [](auto& b, const auto& m) {
           const InspectedArea& a = gauge_named(m, "Battery_Switch").areas[2];
           put_u32(b, file_offset(m, a.address) + 4, a.x + 2);
         },
     .expected = {"Battery_Switch: area 3 box: 0,0 44 x 63 -> 2,0 44 x 63"}},
    {.name = "tooltip_text",
     .change =
         [](auto& b, const auto& m) {
           const InspectedArea& a = gauge_named(m, "Battery_Switch").areas[1];
           b[file_offset(m, a.callback.address) + 10] = 'w';
         },
     .expected = {"Battery_Switch: area 2 text: \"Battery switch (%1!s!)\" -> "
                  "\"Battery swwtch (%1!s!)\""}},
    {.name = "needle_calibration",
     .change =
         [](auto& b, const auto& m) {
           const InspectedElement& e = gauge_named(m, "Tachometer").elements[1];
           const uint32_t table = get_u32(b, file_offset(m, e.address) + 0x70);
           put_u32(b, file_offset(m, table), e.table[0].x + 1);
         },
     .expected = {}},  // checked by prefix below
    {.name = "bitmap_content",
     .change = [](auto& b,
                  const auto& m) { b[m.bitmaps[0].file_offset + 60] ^= 0xFF; },
     .expected = {}},
};

class InspectAgainst : public testing::TestWithParam<ChangeCase> {};

TEST_P(InspectAgainst, NamesExactlyTheChangedField) {
  REQUIRE_WINDOWS_MODULE();
  std::vector<uint8_t> bytes = windows_module().bytes;
  GetParam().change(bytes, windows_module().model);
  InspectResult read = read_module(bytes, "changed.gau");
  ASSERT_TRUE(std::holds_alternative<InspectedModule>(read));
  const std::vector<std::string> lines =
      diff_modules(windows_module().model, std::get<InspectedModule>(read));
  const std::string name = GetParam().name;
  if (name == "needle_calibration") {
    ASSERT_EQ(lines.size(), 1u) << joined(lines);
    EXPECT_EQ(lines[0].rfind("Tachometer: element 2 nonlinearity: ", 0), 0u);
  } else if (name == "bitmap_content") {
    ASSERT_EQ(lines.size(), 1u) << joined(lines);
    EXPECT_EQ(lines[0].rfind("bitmap 40 content: 0x", 0), 0u) << lines[0];
  } else {
    EXPECT_EQ(lines, GetParam().expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, InspectAgainst, testing::ValuesIn(kChangeCases),
                         [](const auto& info) { return info.param.name; });

TEST(InspectAgainstGauges, NamesAddedAndRemovedGauges) {
  REQUIRE_WINDOWS_MODULE();
  InspectedModule fewer = windows_module().model;
  fewer.gauges.erase(fewer.gauges.begin() + 1);
  const std::vector<std::string> lines =
      diff_modules(windows_module().model, fewer);
  ASSERT_GE(lines.size(), 1u);
  EXPECT_EQ(lines[0], "removed gauge Registration");
  EXPECT_EQ(diff_modules(fewer, windows_module().model)[0],
            "added gauge Registration");
  // A name the table repeats pairs up in order, and changes nothing.
  InspectedModule repeated = windows_module().model;
  repeated.gauges.push_back(repeated.gauges[1]);
  repeated.gauges.back().default_width_mm = 1;
  repeated.bitmaps.push_back(repeated.bitmaps[0]);
  EXPECT_EQ(diff_modules(repeated, repeated), std::vector<std::string>{});
  const std::vector<std::string> added =
      diff_modules(windows_module().model, repeated);
  ASSERT_EQ(added.size(), 4u) << joined(added);
  EXPECT_EQ(added[0], "added gauge Registration");
  EXPECT_EQ(added[1].rfind("gauge order: ", 0), 0u);
  EXPECT_EQ(added[2].rfind("bitmap 40 size (2): (none) -> ", 0), 0u);
  EXPECT_EQ(added[3].rfind("bitmap 40 content (2): (none) -> ", 0), 0u);
}

// ---------------------------------------------------------------------------
// Bitmaps written as pictures.

TEST(InspectBitmaps, WritesTheGeneratorsPictures) {
  REQUIRE_WINDOWS_MODULE();
  const std::string folder =
      (std::filesystem::temp_directory_path() / "inspect_bitmaps_test")
          .string();
  std::filesystem::remove_all(folder);
  std::string error;
  ASSERT_EQ(export_bitmaps(windows_module().model, windows_module().bytes,
                           folder, error),
            188)
      << error;
  int compared = 0;
  for (const BitmapResource& b : windows_module().model.bitmaps) {
    const std::string id = std::to_string(b.id);
    Image written;
    ASSERT_TRUE(read_image_file(folder + "/" + id + ".png", written, error))
        << id << ": " << error;
    for (const std::string& artwork : {kWindowsArtwork, kNativeArtwork}) {
      std::vector<uint8_t> bmp;
      ASSERT_TRUE(read_input_file(artwork + "/" + id + ".bmp", kPictureFile,
                                  bmp, error))
          << error;
      Image generated;
      ASSERT_TRUE(parse_bmp_file(bmp, generated, error)) << id << error;
      EXPECT_EQ(written.width, generated.width) << id;
      EXPECT_EQ(written.height, generated.height) << id;
      EXPECT_TRUE(written.rgb == generated.rgb)
          << id << " differs from " << artwork;
      ++compared;
    }
  }
  EXPECT_EQ(compared, 2 * 188);
  std::filesystem::remove_all(folder);
}

}  // namespace
