// Scenario scripts: one command per line, driving the host and checking what
// it observes. Running one prints a transcript whose bytes are the same in
// every build of the host.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "host/host.h"

struct ScenarioCommand {
  int line = 0;
  std::string source;              // the line as written, trimmed
  std::vector<std::string> words;  // quotes removed
};

struct ScenarioScript {
  std::string file;
  std::vector<ScenarioCommand> commands;
};

// Reads every line and checks each command's shape and the gauges, windows
// and variables it names; false with "file:line: reason" in `error`.
bool parse_scenario(std::string_view text, std::string file, const Host& host,
                    ScenarioScript& script, std::string& error);

struct ScenarioOutcome {
  int failed_expectations = 0;
};

// Starts the host, runs the script, stops the host. Failed expectations are
// marked in the transcript and named on `errors`.
ScenarioOutcome run_scenario(const ScenarioScript& script, Host& host,
                             std::ostream& transcript, std::ostream& errors);
