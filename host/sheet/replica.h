// A gauge of a module this host cannot run, rebuilt from its records alone:
// the same elements, bitmaps, tables, scales, sources and failure lists,
// with no callbacks and no mouse areas. The host drives it like any gauge,
// so that its needles follow their variables through their tables and it
// can be drawn in every state its records describe.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/core/loader.h"
#include "host/module_file/model.h"
#include "host/render/bitmaps.h"

class GaugeReplica {
 public:
  GaugeReplica(const InspectedGauge& gauge, const std::string& module_name);
  GaugeReplica(const GaugeReplica&) = delete;
  GaugeReplica& operator=(const GaugeReplica&) = delete;

  // A module holding the one gauge, under the module's own name.
  LoadedModule module();
  // What the replica cannot do that the gauge would, one line each
  // ("element 3 needle: its callback cannot run here").
  const std::vector<std::string>& left_out() const { return left_out_; }

 private:
  std::string name_;
  std::string module_name_;
  // Element records, each followed by the one-entry list that holds it.
  std::vector<std::unique_ptr<uint64_t[]>> records_;
  std::vector<std::vector<NonlinearityEntry>> tables_;
  std::vector<std::vector<FailureEntry>> failure_lists_;
  GaugeHeader header_ = {};
  ImportTableRecord imports_ = {};
  LinkageRecord linkage_ = {};
  std::vector<std::string> left_out_;
};

// The bitmaps of a module file that a gauge names, decoded; one that cannot
// be read is left out and the renderer says so when it is wanted.
std::unique_ptr<BitmapSource> file_bitmaps(const InspectedModule& module,
                                           std::span<const uint8_t> file,
                                           const InspectedGauge& gauge);
