// The linux32 host's loader on the real module and on modules built to be
// refused: mapped at its base or relocated when the base is taken, two
// copies side by side, unloaded and loaded again, and every refusal naming
// the module and why.
#include "host/core/loader.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <string>
#include <vector>

#include "host/module_file/read_module.h"

namespace {

std::vector<std::string> gauge_names(const LoadedModule& module) {
  std::vector<std::string> names;
  for (GaugeHeader* const* gauge = module.linkage->gauges; *gauge != nullptr;
       ++gauge)
    names.emplace_back((*gauge)->name);
  return names;
}

uint32_t image_base_of(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!read_input_file(path, kModuleFile, bytes, error)) return 0;
  const InspectResult read = read_pe_image(bytes, path);
  const auto* module = std::get_if<InspectedModule>(&read);
  return module ? module->pe.image_base : 0;
}

TEST(Loader, MapsTheModuleAtItsBaseAndFindsItsRecords) {
  LoadedModule module;
  std::string error;
  ASSERT_TRUE(load_module(CORVELAIN_GAU, module, error)) << error;
  EXPECT_EQ(reinterpret_cast<uintptr_t>(module.handle),
            image_base_of(CORVELAIN_GAU));
  EXPECT_EQ(module.name, "Corvelain_Instr");
  EXPECT_EQ(module.linkage->module_id, 0x13u);
  const std::vector<std::string> names = gauge_names(module);
  ASSERT_EQ(names.size(), 60u);
  EXPECT_EQ(names.front(), "Shut_Down");
  EXPECT_EQ(names.back(), "Pitot_Heat_Light");
  unload_module(module);
  EXPECT_EQ(module.handle, nullptr);
}

// With its base taken the image is relocated: every pointer in its records
// must then lead into the new image, so the names still read and its
// routines still run.
TEST(Loader, RelocatesWhenTheBaseIsTaken) {
  const uint32_t base = image_base_of(CORVELAIN_GAU);
  ASSERT_NE(base, 0u);
  void* squatter =
      mmap(reinterpret_cast<void*>(uintptr_t(base)), 4096, PROT_READ,
           MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
  ASSERT_EQ(squatter, reinterpret_cast<void*>(uintptr_t(base)));
  LoadedModule module;
  std::string error;
  ASSERT_TRUE(load_module(CORVELAIN_GAU, module, error)) << error;
  EXPECT_NE(reinterpret_cast<uintptr_t>(module.handle), base);
  const std::vector<std::string> names = gauge_names(module);
  ASSERT_EQ(names.size(), 60u);
  EXPECT_EQ(names[1], "Registration");
  const uintptr_t start = reinterpret_cast<uintptr_t>(module.handle);
  const uintptr_t init = reinterpret_cast<uintptr_t>(module.linkage->init);
  EXPECT_GT(init, start);
  module.linkage->init();
  module.linkage->deinit();
  unload_module(module);
  munmap(squatter, 4096);
}

TEST(Loader, TwoCopiesSideBySideAndLoadedAgain) {
  LoadedModule first, second;
  std::string error;
  ASSERT_TRUE(load_module(CORVELAIN_GAU, first, error)) << error;
  ASSERT_TRUE(load_module(CORVELAIN_GAU, second, error)) << error;
  EXPECT_NE(first.handle, second.handle);
  EXPECT_EQ(gauge_names(first), gauge_names(second));
  unload_module(first);
  EXPECT_EQ(gauge_names(second).size(), 60u);
  unload_module(second);
  ASSERT_TRUE(load_module(CORVELAIN_GAU, first, error)) << error;
  EXPECT_EQ(gauge_names(first).size(), 60u);
  unload_module(first);
}

struct RefusalCase {
  const char* name;
  std::string path;
  const char* says;
};

class Refusals : public testing::TestWithParam<RefusalCase> {};

TEST_P(Refusals, NameTheModuleAndWhy) {
  LoadedModule module;
  std::string error;
  EXPECT_FALSE(load_module(GetParam().path, module, error));
  EXPECT_EQ(module.handle, nullptr);
  EXPECT_NE(error.find("cannot load module " + GetParam().path + ": "),
            std::string::npos)
      << error;
  EXPECT_NE(error.find(GetParam().says), std::string::npos) << error;
}

const RefusalCase kRefusals[] = {
    {.name = "missing",
     .path = "/nonexistent/Absent.gau",
     .says = "No such file or directory"},
    {.name = "folder", .path = FIXTURES, .says = ": is a folder"},
    {.name = "not_a_module",
     .path = SOURCE_DIR "/CMakeLists.txt",
     .says = "not a PE module"},
    {.name = "foreign_import",
     .path = FIXTURES "/Imports_BitBlt.gau",
     .says = "it imports what this host does not provide: GDI32.dll!BitBlt"},
};

INSTANTIATE_TEST_SUITE_P(Loader, Refusals, testing::ValuesIn(kRefusals),
                         [](const auto& info) { return info.param.name; });

}  // namespace
