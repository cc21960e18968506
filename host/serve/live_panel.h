// The panel as the live server runs it: the module's host driven by a clock
// in real time and by script lines as pages send them, the whole transcript
// kept, the open windows drawn while some page watches, and the panel file
// read again whenever it changes. One thread: every call happens between
// two frames.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "host/core/host.h"
#include "host/core/loader.h"
#include "host/core/other_modules.h"
#include "host/render/render.h"
#include "host/script/scenario.h"
#include "host/validate/sound_watch.h"

// What happened that pages watching the panel are told.
struct LivePanelNotice {
  enum class Kind { kTranscript, kState, kFrame, kSound };
  Kind kind = Kind::kState;
  size_t from = 0;    // kTranscript: lines [from, from + count) were added
  size_t count = 0;   //
  int64_t frame = 0;  // kFrame: the frame drawn
  std::vector<size_t> windows;  // kFrame: open windows whose pixels changed
  uint64_t recording = 0;       // kSound: the id of the recording played
};

// A recording the module played, as its buffer held it when played.
struct LiveRecording {
  uint64_t id = 0;  // from 1, in the order first heard
  SoundFormat format;
  std::vector<uint8_t> samples;
};

struct LiveCommandOutcome {
  size_t from = 0;                 // index of the first line it added
  std::vector<std::string> lines;  // the transcript lines it added
  std::vector<SentEvent> events;   // the events it sent
  std::string refusal;  // why its edit or save was refused, "" when not
};

// A window's latest picture, and per tile of a 64 x 64 grid (clipped at the
// edges, row by row) the frame at which it last changed.
struct WindowPixels {
  static constexpr int32_t kTileSide = 64;
  Image picture;
  int64_t frame = -1;  // the frame the picture shows; -1 before the first
  uint64_t drawn_at_change = 0;  // the panel's change count when drawn
  int32_t tiles_across = 0;
  int32_t tiles_down = 0;
  std::vector<int64_t> tile_frames;
  // Changed by a drawing at a frame that had been drawn already, when a
  // page may hold that frame's picture without the change.
  std::vector<uint8_t> tile_late;
  // Counts the drawings; by tile, the drawing that last changed it.
  uint64_t draws = 0;
  std::vector<uint64_t> tile_draws;
  // What the picture was drawn from, to draw again only what changed.
  WindowInputs inputs;
  // Whether a page that holds the picture of frame `since` lacks the tile
  // (0: it holds nothing).
  bool tile_newer(size_t tile, int64_t since) const {
    return since <= 0 || tile_frames[tile] > since ||
           (tile_frames[tile] == since && tile_late[tile] != 0);
  }
};

class LivePanel {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr int kMinRate = 1;
  static constexpr int kMaxRate = 240;
  static constexpr int kDefaultRate = 18;
  static constexpr std::chrono::milliseconds kFileCheckPeriod{250};

  // Reads the panel file, builds the panel on `module` (loaded once, kept
  // by the caller) and starts it. "FILE:LINE: reason" when the file does
  // not make a panel, "FILE: reason" when it cannot be read as one.
  // Other modules the panel names are looked for in the panel's folder, then
  // in `gauge_folders`, then beside the program, and loaded once each.
  static std::variant<std::unique_ptr<LivePanel>, std::string> open(
      const LoadedModule& module, std::string panel_path, int rate,
      Clock::time_point now, std::vector<std::string> gauge_folders = {});
  ~LivePanel();
  LivePanel(const LivePanel&) = delete;
  LivePanel& operator=(const LivePanel&) = delete;

  // The clock: `rate` frames a second of real time while it runs.
  // A clock that falls far behind (a long command) skips the frames it
  // missed rather than running them all at once.
  void tick(Clock::time_point now);
  // When the next frame is due or the file is next looked at, whichever
  // comes first.
  Clock::time_point next_wake(Clock::time_point now) const;
  void pause();
  void run(Clock::time_point now);
  // False for a rate out of kMinRate..kMaxRate, which changes nothing.
  bool set_rate(int rate, Clock::time_point now);
  bool paused() const { return paused_; }
  int rate() const { return rate_; }

  // A script line as a script's line is read, against the panel now; the
  // reader's reason when it is not a command.
  std::string check(std::string_view line, ScenarioCommand& cmd) const;
  // Runs a checked command now, between two frames.
  LiveCommandOutcome run_command(const ScenarioCommand& cmd);

  // While some page watches, every open window is drawn after each frame.
  void set_drawing(bool drawing);
  // The window's picture now (drawn unless it is already); null when there
  // is no such window or it is closed.
  const WindowPixels* pixels(size_t window);

  // Looks at the file's kind, permissions, size and modification time every
  // kFileCheckPeriod and reads it again when they changed.
  void watch_file(Clock::time_point now);
  // Reads the panel file now: a good one replaces the panel (a new host on
  // the same module with the aircraft's state, the light kept); a bad one
  // leaves the panel running and sets error(). False when it was bad, or
  // when edits are unsaved: then the file is not read, lest they be thrown
  // away, and reload_waiting() says so until they are saved (which the
  // changed file refuses) or all undone (when it is read at once).
  bool reload();
  // Whether the panel holds edits the file does not.
  bool unsaved() const { return editor_->unsaved(); }
  bool reload_waiting() const { return reload_waiting_; }

  Host& host() { return *host_; }
  const Host& host() const { return *host_; }
  const std::string& panel_path() const { return panel_path_; }
  bool night() const { return session_->night(); }
  // Grows at every reload of the panel file.
  int64_t generation() const { return generation_; }
  // "FILE:LINE: reason" (or "FILE: reason" for a file that is gone, is no
  // file or is not a panel file at all) of the latest read, when it failed.
  const std::optional<std::string>& error() const { return error_; }
  const std::vector<std::string>& transcript() const { return transcript_; }
  // Where the window's picture puts the gauge, as it is drawn.
  std::optional<GaugeFrame> gauge_frame_of(const GaugeInstance& gauge) {
    return renderer_->gauge_frame_of(gauge);
  }
  std::pair<int32_t, int32_t> picture_size(size_t window);

  std::vector<LivePanelNotice> take_notices();

  // The distinct recordings played lately, the most recently played kept;
  // null for an id no longer kept or never given.
  static constexpr size_t kRecordingsKept = 16;
  const LiveRecording* recording(uint64_t id) const;

 private:
  struct FileStamp {
    int type = 0;  // std::filesystem::file_type
    unsigned permissions = 0;
    uintmax_t size = 0;
    int64_t modified = 0;
    bool operator==(const FileStamp&) const = default;
  };
  struct Built {
    std::unique_ptr<Host> host;
    std::unique_ptr<WindowRenderer> renderer;
  };

  LivePanel(const LoadedModule& module, std::string panel_path, int rate,
            Clock::time_point now);
  // The panel file's text and the configuration it describes, or the
  // reason it describes none.
  std::variant<std::pair<std::string, PanelConfig>, std::string> read_panel()
      const;
  // The panel of a configuration, or the reason there is none.
  std::variant<Built, std::string> build(PanelConfig config,
                                         int64_t first_frame) const;
  // The panel of `config` in place of the running one, as the session's
  // edits and a reload do; "" when done, else the reason.
  std::string install(PanelConfig config, std::string_view echo);
  FileStamp file_stamp() const;
  Clock::duration period() const;
  // Moves what the session printed into the transcript.
  void take_lines();
  // After anything that may have changed the panel: the pictures while
  // drawing, and the notices.
  void settle(bool frames_ran);
  // Whether any tile changed.
  bool draw(size_t window);
  // Draws the area of the kept picture again and marks the tiles whose
  // pixels changed; whether any did.
  bool draw_area(WindowPixels& kept, size_t window, const PixelRect& area,
                 int64_t frame, uint8_t again);
  std::string state_signature() const;
  // Every play of the module's sound is a notice naming its recording.
  void watch_sound();
  static void heard(void* self, const SoundPlay& play);

  LoadedModule module_;
  std::vector<std::string> gauge_folders_;
  // Before host_, so that the host is gone before they are unloaded.
  mutable OtherModules others_;
  std::string panel_path_;
  std::unique_ptr<Host> host_;
  std::unique_ptr<WindowRenderer> renderer_;
  std::ostringstream printed_;
  std::ostream discarded_{nullptr};
  std::unique_ptr<ScenarioSession> session_;
  std::unique_ptr<PanelEditor> editor_;
  bool reload_waiting_ = false;

  std::vector<std::string> transcript_;
  size_t transcript_told_ = 0;
  std::string state_told_;
  std::vector<LivePanelNotice> notices_;
  std::vector<LiveRecording> recordings_;  // the most recently played last
  uint64_t recordings_heard_ = 0;

  bool paused_ = false;
  int rate_ = kDefaultRate;
  Clock::time_point next_frame_;

  FileStamp stamp_;
  Clock::time_point next_file_check_;
  int64_t generation_ = 0;
  std::optional<std::string> error_;

  bool drawing_ = false;
  uint64_t changes_ = 1;  // counts whatever may change a picture
  std::vector<WindowPixels> pixels_;
  std::vector<int64_t> last_drawn_frame_;  // by window, across reloads
  std::vector<uint8_t> area_before_;       // draw_area's copy
};
