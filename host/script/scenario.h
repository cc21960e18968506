// Scenario scripts: one command per line, driving the host and checking what
// it observes. Running one prints a transcript whose bytes are the same in
// every build of the host.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "host/core/host.h"
#include "host/render/render.h"

// One argument of a command as the check read it, ready to use.
struct ScenarioArgument {
  std::string word;  // as written
  bool given = false;
  int64_t whole = 0;       // whole numbers, frame counts, steps, events
  double number = 0;       // numbers, seconds, an event's value
  bool has_value = false;  // EVENT=VALUE
  const AircraftVariable* variable = nullptr;
  uint32_t window = 0;  // a window's ident
  std::string gauge;    // a gauge's name; `whole` is its placement ordinal
};

struct ScenarioCommand {
  int line = 0;
  std::string source;                       // the line as written, trimmed
  std::vector<std::string> words;           // quotes removed
  size_t verb = 0;                          // row of the command table
  std::vector<ScenarioArgument> arguments;  // by the row's parameters
};

struct ScenarioScript {
  std::string file;
  std::vector<ScenarioCommand> commands;
};

// Reads every line and checks each command's shape and the gauges, windows
// and variables it names; false with "file:line: reason" in `error`.
bool parse_scenario(std::string_view text, std::string file, const Host& host,
                    ScenarioScript& script, std::string& error);

// The commands as the README's table lists them (Markdown).
void print_scenario_commands(std::ostream& out);

struct ScenarioOptions {
  // Draws the `picture` commands and the pictures at the end; without one
  // they note that nothing can be drawn.
  WindowRenderer* renderer = nullptr;
  // When set, every open window is written here as a PNG at the end.
  std::string pictures_folder = {};
};

struct ScenarioOutcome {
  int failed_expectations = 0;
  int failed_pictures = 0;
};

// Starts the host, runs the script, stops the host. Failed expectations and
// pictures that cannot be written are marked in the transcript and named on
// `errors`.
ScenarioOutcome run_scenario(const ScenarioScript& script, Host& host,
                             std::ostream& transcript, std::ostream& errors,
                             const ScenarioOptions& options = {});
