// Scenario scripts: one command per line, driving the host and checking what
// it observes. Running one prints a transcript whose bytes are the same in
// every build of the host.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "host/core/host.h"
#include "host/panel_file/panel_editor.h"
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
  int refused_edits = 0;  // edits, undos and saves refused
};

// Puts the panel of an edited configuration in place of the running one,
// as a hot reload does: builds its host on the same module and hands it to
// ScenarioSession::replace_host. "" when it did, else the reason, and the
// running panel is left as it was.
using ScenarioPanelRebuild = std::function<std::string(PanelConfig config)>;

// Starts the host, runs the script, stops the host. Failed expectations and
// pictures that cannot be written are marked in the transcript and named on
// `errors`.
ScenarioOutcome run_scenario(const ScenarioScript& script, Host& host,
                             std::ostream& transcript, std::ostream& errors,
                             const ScenarioOptions& options = {});

class ScenarioSession;
// The same on a session made by the caller (one that may edit its panel).
ScenarioOutcome run_scenario(const ScenarioScript& script,
                             ScenarioSession& session,
                             std::ostream& transcript);

// How the language names a placed gauge: "Attitude", or "Attitude#2" for
// its second placement on the panel.
std::string scenario_gauge_reference(const GaugeInstance& gauge);

// Whether running the command writes files (it names one).
bool scenario_writes_files(const ScenarioCommand& cmd);

// A point a command names on a gauge, in the gauge's background pixels.
struct ScenarioPoint {
  std::string gauge;  // as written
  std::string name;
  int ordinal = 1;
  int64_t x = 0;
  int64_t y = 0;
};
std::vector<ScenarioPoint> scenario_points(const ScenarioCommand& cmd);

class ScenarioRunner;

// The language run on one host a command at a time: what a script's run is
// made of, and what a live panel drives as its lines arrive. Everything it
// observes goes to `transcript` as a script's run prints it.
class ScenarioSession {
 public:
  ScenarioSession(Host& host, std::ostream& transcript, std::ostream& errors,
                  ScenarioOptions options = {}, std::string file = "-");
  ~ScenarioSession();
  ScenarioSession(const ScenarioSession&) = delete;
  ScenarioSession& operator=(const ScenarioSession&) = delete;

  // "> ECHO" (nothing when empty), then the host starts.
  void start(std::string_view echo = "start");
  // Reads one line as a line of a script, checked against the host; the
  // reader's reason when it is not a command (a blank line or a comment is
  // none). `line_number` is where errors place it.
  std::string check(std::string_view line, ScenarioCommand& cmd,
                    int line_number = 1) const;
  // "> LINE", then what running the command observed.
  void run(const ScenarioCommand& cmd);
  // Frames run by a clock between commands, with what they observed.
  void run_frames(int64_t count);

  // Lets the edit verbs change the panel: `editor` holds the panel file
  // (the caller's, outliving the session) and `rebuild` puts the panel of
  // an edited configuration in place. Without it they are refused.
  void allow_edits(PanelEditor& editor, ScenarioPanelRebuild rebuild);
  // "> ECHO" (nothing when empty), then the running host stops, `next`
  // takes the aircraft's state and starts: the session runs on it from
  // now. The old host must live until this returns.
  void replace_host(Host& next, std::string_view echo = "");
  // Why the latest command's edit or save was refused, "" when it was not.
  const std::string& last_refusal() const;
  // The pictures at the end when asked for, "> ECHO" (nothing when empty),
  // then the host stops.
  void stop(std::string_view echo = "stop");

  bool night() const;
  void set_night(bool night);
  // The events the latest run command sent (none when it sends nothing).
  std::vector<SentEvent> events_of_last_command() const;
  ScenarioOutcome outcome() const;

 private:
  std::unique_ptr<ScenarioRunner> runner_;
};
