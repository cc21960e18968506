// The other modules a panel names beside ours: found, loaded once each and
// handed to the Host, or noted as unusable so that their gauges stay
// placeholders and the panel runs on.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/core/loader.h"
#include "host/panel_file/panel_config.h"

// Unloads what it holds when it goes: whatever runs their gauges must be
// gone first.
struct OtherModules {
  std::vector<LoadedModule> loaded;
  // One line for each module the latest panel names that could not be used,
  // and why.
  std::vector<std::string> notes;

  OtherModules() = default;
  ~OtherModules();
  OtherModules(const OtherModules&) = delete;
  OtherModules& operator=(const OtherModules&) = delete;
};

// The module file name a panel file's module name stands for:
// "Folder\\other_gauges" and "Other_Gauges.GAU" both give the name without
// folder, with ".gau" ending it.
std::string module_file_name(std::string_view written);

// Looks for `file` (compared without regard to case) in each folder in turn;
// empty when none holds it.
std::string find_module_file(const std::string& file,
                             const std::vector<std::string>& folders);

// The folders a module is looked for in: the panel file's, then each of
// `gauge_folders`, then the host program's.
std::vector<std::string> module_search_folders(
    const PanelConfig& panel, const std::vector<std::string>& gauge_folders);

// Loads every module the panel names other than `ours` that `modules` does
// not hold yet, and notes afresh each one that cannot be used.
void load_other_modules(const PanelConfig& panel, std::string_view ours,
                        const std::vector<std::string>& gauge_folders,
                        OtherModules& modules);
void unload_other_modules(OtherModules& modules);
