#include "host/core/other_modules.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "host/core/host.h"

namespace {

bool same_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::string module_file_name(std::string_view written) {
  const size_t slash = written.find_last_of("\\/");
  if (slash != std::string_view::npos) written.remove_prefix(slash + 1);
  if (written.size() > 4 &&
      same_ignoring_case(written.substr(written.size() - 4), ".gau"))
    written.remove_suffix(4);
  return std::string(written) + ".gau";
}

std::string find_module_file(const std::string& file,
                             const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    std::error_code failed;
    for (std::filesystem::directory_iterator it(folder, failed), end;
         !failed && it != end; it.increment(failed))
      if (same_ignoring_case(it->path().filename().string(), file) &&
          it->is_regular_file(failed))
        return it->path().string();
  }
  return {};
}

std::vector<std::string> module_search_folders(
    const PanelConfig& panel, const std::vector<std::string>& gauge_folders) {
  std::vector<std::string> folders;
  if (!panel.file.empty() && panel.file != "-") {
    const std::filesystem::path parent =
        std::filesystem::path(panel.file).parent_path();
    folders.push_back(parent.empty() ? "." : parent.string());
  }
  folders.insert(folders.end(), gauge_folders.begin(), gauge_folders.end());
  const std::string program = host_program_folder();
  if (!program.empty()) folders.push_back(program);
  return folders;
}

void load_other_modules(const PanelConfig& panel, std::string_view ours,
                        const std::vector<std::string>& gauge_folders,
                        OtherModules& out) {
  out.notes.clear();
  std::vector<std::string> named;
  for (const PanelWindow& window : panel.windows)
    for (const GaugePlacement& placement : window.gauges) {
      if (names_module(placement.module, ours) ||
          std::any_of(out.loaded.begin(), out.loaded.end(),
                      [&](const LoadedModule& held) {
                        return names_module(placement.module, held.name);
                      }))
        continue;
      const std::string file = module_file_name(placement.module);
      if (std::none_of(named.begin(), named.end(), [&](const std::string& n) {
            return same_ignoring_case(n, file);
          }))
        named.push_back(file);
    }
  if (named.empty()) return;
  // The same notes in every build for a module that is not there, so that
  // a panel naming one prints the same transcript everywhere.
  const std::vector<std::string> folders =
      module_search_folders(panel, gauge_folders);
  std::string unrunnable;
  for (const std::string& file : named) {
    const std::string stem = file.substr(0, file.size() - 4);
    const std::string path = find_module_file(file, folders);
    std::string why;
    LoadedModule module;
    if (path.empty()) {
      why = "no file " + file +
            " in the panel's folder, a --gauges folder or beside the host";
    } else if (!loads_other_modules()) {
      unrunnable += (unrunnable.empty() ? "" : ", ") + file;
      continue;
    } else if (!load_module(path, module, why)) {
      if (why.find("exports no") != std::string::npos)
        why = "it is not a gauge module (" + why + ")";
    } else {
      module.name = stem;
      out.loaded.push_back(module);
      continue;
    }
    out.notes.push_back("module " + stem + " cannot be used: " + why +
                        "; its gauges stay placeholders");
  }
  if (!unrunnable.empty())
    out.notes.push_back(
        "this build has its module linked in and runs no other module: the "
        "gauges of " +
        unrunnable + " stay placeholders");
}

OtherModules::~OtherModules() { unload_other_modules(*this); }

void unload_other_modules(OtherModules& modules) {
  for (LoadedModule& module : modules.loaded) unload_module(module);
  modules.loaded.clear();
}
