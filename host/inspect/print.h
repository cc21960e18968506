// The inspected module for people (tables) and for tools (JSON), and as a
// flat list of named values, addresses left out, that comparisons use.
#pragma once

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "host/module_file/model.h"

// The whole module, or with `gauge` non-empty only that gauge's tables.
void print_module_text(const InspectedModule& module, const std::string& gauge,
                       std::ostream& out);
void print_module_json(const InspectedModule& module, const std::string& gauge,
                       std::ostream& out);

// Module texts are in the single-byte Western code page; output is UTF-8.
std::string western_to_utf8(const std::string& text);

using FlatField = std::pair<std::string, std::string>;

// Every field of the gauge as "element 3 x source token" = "364", in record
// order; addresses and callback pointer values are left out.
std::vector<FlatField> flatten_gauge(const InspectedGauge& gauge);
// The module's own fields and resources, the same way.
std::vector<FlatField> flatten_module(const InspectedModule& module);
