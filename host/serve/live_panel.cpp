#include "host/serve/live_panel.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/files/read_file.h"
#include "host/panel_file/panel_config.h"
#include "host/render/bitmaps.h"

namespace {

// A clock further behind than this many frames starts again from now.
constexpr int64_t kMostFramesCaughtUp = 4;

}  // namespace

std::variant<std::unique_ptr<LivePanel>, std::string> LivePanel::open(
    const LoadedModule& module, std::string panel_path, int rate,
    Clock::time_point now, std::vector<std::string> gauge_folders) {
  if (rate < kMinRate || rate > kMaxRate)
    return "the rate must be " + std::to_string(kMinRate) + " to " +
           std::to_string(kMaxRate) + " frames a second";
  std::unique_ptr<LivePanel> panel(
      new LivePanel(module, std::move(panel_path), rate, now));
  panel->gauge_folders_ = std::move(gauge_folders);
  panel->stamp_ = panel->file_stamp();
  auto read = panel->read_panel();
  if (auto* why = std::get_if<std::string>(&read)) return *why;
  auto& [text, config] = std::get<std::pair<std::string, PanelConfig>>(read);
  auto built = panel->build(std::move(config), 0);
  if (auto* why = std::get_if<std::string>(&built)) return *why;
  Built& parts = std::get<Built>(built);
  panel->host_ = std::move(parts.host);
  panel->renderer_ = std::move(parts.renderer);
  panel->editor_ =
      std::make_unique<PanelEditor>(panel->panel_path_, std::move(text));
  panel->session_ = std::make_unique<ScenarioSession>(
      *panel->host_, panel->printed_, panel->discarded_, ScenarioOptions{},
      "page");
  LivePanel* self = panel.get();
  panel->session_->allow_edits(*panel->editor_, [self](PanelConfig edited) {
    return self->install(std::move(edited), "");
  });
  panel->session_->start();
  panel->settle(false);
  return panel;
}

LivePanel::LivePanel(const LoadedModule& module, std::string panel_path,
                     int rate, Clock::time_point now)
    : module_(module),
      panel_path_(std::move(panel_path)),
      rate_(rate),
      next_frame_(now + period()),
      next_file_check_(now + kFileCheckPeriod) {
  watch_sound();
}

LivePanel::~LivePanel() {
  if (session_) session_->stop();
  sound_watch_observe_plays(nullptr, nullptr);
}

std::variant<std::pair<std::string, PanelConfig>, std::string>
LivePanel::read_panel() const {
  std::string text, unread;
  if (!read_input_file(panel_path_, kPanelFile, text, unread)) return unread;
  PanelConfigResult parsed = parse_panel_config(text, panel_path_);
  if (auto* error = std::get_if<PanelConfigError>(&parsed))
    return error->message();
  return std::pair{std::move(text), std::move(std::get<PanelConfig>(parsed))};
}

std::variant<LivePanel::Built, std::string> LivePanel::build(
    PanelConfig panel, int64_t first_frame) const {
  load_other_modules(panel, module_.name, gauge_folders_, others_);
  panel.notes.insert(panel.notes.end(), others_.notes.begin(),
                     others_.notes.end());
  std::unique_ptr<BitmapSource> bitmaps = module_bitmaps(module_);
  resolve_panel_window_sizes(panel, module_, *bitmaps);
  auto created =
      Host::create(module_, std::move(panel), first_frame, others_.loaded);
  if (auto* why = std::get_if<std::string>(&created)) return *why;
  Built built;
  built.host = std::move(std::get<std::unique_ptr<Host>>(created));
  built.renderer = std::make_unique<WindowRenderer>(std::move(bitmaps));
  return built;
}

// A file that vanishes, turns into a folder or loses its read permission
// changes its stamp too, so that its reason is shown.
LivePanel::FileStamp LivePanel::file_stamp() const {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status = fs::status(panel_path_, error);
  FileStamp stamp;
  stamp.type = int(status.type());
  stamp.permissions = unsigned(status.permissions());
  if (!fs::exists(status)) return stamp;
  if (fs::is_regular_file(status))
    stamp.size = fs::file_size(panel_path_, error);
  const auto modified = fs::last_write_time(panel_path_, error);
  if (!error) stamp.modified = int64_t(modified.time_since_epoch().count());
  return stamp;
}

LivePanel::Clock::duration LivePanel::period() const {
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::nanoseconds(1'000'000'000 / rate_));
}

void LivePanel::tick(Clock::time_point now) {
  if (paused_ || now < next_frame_) return;
  const Clock::duration step = period();
  int64_t due = (now - next_frame_) / step + 1;
  if (due > kMostFramesCaughtUp) {
    due = 1;
    next_frame_ = now + step;
  } else {
    next_frame_ += due * step;
  }
  session_->run_frames(due);
  settle(true);
}

LivePanel::Clock::time_point LivePanel::next_wake(Clock::time_point) const {
  return paused_ ? next_file_check_ : std::min(next_frame_, next_file_check_);
}

void LivePanel::pause() {
  paused_ = true;
  settle(false);
}

void LivePanel::run(Clock::time_point now) {
  if (paused_) next_frame_ = now + period();
  paused_ = false;
  settle(false);
}

bool LivePanel::set_rate(int rate, Clock::time_point now) {
  if (rate < kMinRate || rate > kMaxRate) return false;
  rate_ = rate;
  next_frame_ = now + period();
  settle(false);
  return true;
}

std::string LivePanel::check(std::string_view line,
                             ScenarioCommand& cmd) const {
  return session_->check(line, cmd);
}

LiveCommandOutcome LivePanel::run_command(const ScenarioCommand& cmd) {
  take_lines();
  LiveCommandOutcome outcome;
  outcome.from = transcript_.size();
  const int64_t frame = host_->frame();
  const int64_t generation = generation_;
  session_->run(cmd);
  outcome.refusal = session_->last_refusal();
  // The panel's own save is no change to read back.
  if (cmd.words[0] == "save" && outcome.refusal.empty()) stamp_ = file_stamp();
  // Edits all undone: a reload they held back is no longer in their way.
  if (reload_waiting_ && !editor_->unsaved()) reload();
  take_lines();
  outcome.lines.assign(transcript_.begin() + ptrdiff_t(outcome.from),
                       transcript_.end());
  outcome.events = session_->events_of_last_command();
  settle(host_->frame() != frame || generation_ != generation);
  return outcome;
}

void LivePanel::take_lines() {
  std::string text = printed_.str();
  size_t start = 0;
  for (size_t end = text.find('\n'); end != text.npos;
       end = text.find('\n', start)) {
    transcript_.emplace_back(text, start, end - start);
    start = end + 1;
  }
  printed_.str(text.substr(start));
  printed_.seekp(0, std::ios::end);
}

void LivePanel::set_drawing(bool drawing) { drawing_ = drawing; }

std::pair<int32_t, int32_t> LivePanel::picture_size(size_t window) {
  if (window >= host_->panel().windows.size()) return {0, 0};
  return renderer_->picture_size(host_->panel().windows[window]);
}

const WindowPixels* LivePanel::pixels(size_t window) {
  if (!host_->window_open_at(window)) return nullptr;
  const WindowPixels& kept = pixels_[window];
  if (kept.drawn_at_change != changes_ || kept.frame != host_->frame())
    draw(window);
  return &pixels_[window];
}

// Only the gauges whose drawing changed are drawn again, and only their
// boxes compared with what was there, tile by tile, so that a page is sent
// only what changed. A new size or light draws and compares it all.
bool LivePanel::draw(size_t window) {
  WindowPixels& kept = pixels_[window];
  const int64_t frame = host_->frame();
  const uint8_t again = last_drawn_frame_[window] == frame ? 1 : 0;
  last_drawn_frame_[window] = frame;
  ++kept.draws;
  const WindowChanges changes =
      renderer_->changes(*host_, window, night(), kept.inputs);
  bool any = false;
  if (!changes.whole && kept.frame >= 0 && kept.picture.width > 0) {
    for (const PixelRect& area : changes.areas)
      if (draw_area(kept, window, area, frame, again)) any = true;
    kept.frame = frame;
    kept.drawn_at_change = changes_;
    return any;
  }
  Image drawn = renderer_->render(*host_, window, night()).image;
  constexpr int32_t side = WindowPixels::kTileSide;
  if (drawn.width != kept.picture.width ||
      drawn.height != kept.picture.height || kept.frame < 0) {
    kept.tiles_across = (drawn.width + side - 1) / side;
    kept.tiles_down = (drawn.height + side - 1) / side;
    const size_t tiles = size_t(kept.tiles_across) * size_t(kept.tiles_down);
    kept.tile_frames.assign(tiles, frame);
    kept.tile_late.assign(tiles, again);
    kept.tile_draws.assign(tiles, kept.draws);
    any = true;
  } else {
    const size_t row_bytes = size_t(drawn.width) * 3;
    for (int32_t band = 0; band < kept.tiles_down; ++band) {
      const size_t first = size_t(band) * size_t(kept.tiles_across);
      std::vector<bool> now(size_t(kept.tiles_across), false);
      const int32_t y_end = std::min(drawn.height, (band + 1) * side);
      for (int32_t y = band * side; y < y_end; ++y) {
        const uint8_t* a = drawn.at(0, y);
        const uint8_t* b = kept.picture.at(0, y);
        if (std::memcmp(a, b, row_bytes) == 0) continue;
        for (int32_t t = 0; t < kept.tiles_across; ++t) {
          if (now[size_t(t)]) continue;
          const size_t at = size_t(t) * side * 3;
          const size_t bytes = std::min(row_bytes - at, size_t(side) * 3);
          if (std::memcmp(a + at, b + at, bytes) != 0) now[size_t(t)] = true;
        }
      }
      for (size_t t = 0; t < now.size(); ++t) {
        if (!now[t]) continue;
        kept.tile_frames[first + t] = frame;
        kept.tile_late[first + t] = again;
        kept.tile_draws[first + t] = kept.draws;
        any = true;
      }
    }
  }
  kept.picture = std::move(drawn);
  kept.frame = frame;
  kept.drawn_at_change = changes_;
  return any;
}

bool LivePanel::draw_area(WindowPixels& kept, size_t window,
                          const PixelRect& area, int64_t frame, uint8_t again) {
  const size_t row_bytes = size_t(area.x1 - area.x0 + 1) * 3;
  area_before_.resize(row_bytes * size_t(area.y1 - area.y0 + 1));
  for (int32_t y = area.y0; y <= area.y1; ++y)
    std::memcpy(area_before_.data() + size_t(y - area.y0) * row_bytes,
                kept.picture.at(area.x0, y), row_bytes);
  renderer_->draw_areas(*host_, window, night(), kept.picture, {area});
  constexpr int32_t side = WindowPixels::kTileSide;
  bool any = false;
  for (int32_t y = area.y0; y <= area.y1; ++y) {
    const uint8_t* before =
        area_before_.data() + size_t(y - area.y0) * row_bytes;
    const uint8_t* now = kept.picture.at(area.x0, y);
    if (std::memcmp(before, now, row_bytes) == 0) continue;
    const size_t row_first = size_t(y / side) * size_t(kept.tiles_across);
    for (int32_t t = area.x0 / side; t <= area.x1 / side; ++t) {
      const size_t tile = row_first + size_t(t);
      const int32_t x0 = std::max(area.x0, t * side);
      const int32_t x1 = std::min(area.x1, t * side + side - 1);
      const size_t at = size_t(x0 - area.x0) * 3;
      if (std::memcmp(before + at, now + at, size_t(x1 - x0 + 1) * 3) == 0)
        continue;
      kept.tile_frames[tile] = frame;
      kept.tile_late[tile] = again;
      kept.tile_draws[tile] = kept.draws;
      any = true;
    }
  }
  return any;
}

void LivePanel::settle(bool frames_ran) {
  ++changes_;
  const size_t windows = host_->panel().windows.size();
  if (pixels_.size() != windows) pixels_.resize(windows);
  if (last_drawn_frame_.size() < windows) last_drawn_frame_.resize(windows, -1);
  take_lines();
  if (transcript_.size() > transcript_told_) {
    LivePanelNotice notice;
    notice.kind = LivePanelNotice::Kind::kTranscript;
    notice.from = transcript_told_;
    notice.count = transcript_.size() - transcript_told_;
    notices_.push_back(std::move(notice));
    transcript_told_ = transcript_.size();
  }
  std::string state = state_signature();
  if (state != state_told_) {
    state_told_ = std::move(state);
    LivePanelNotice notice;
    notice.kind = LivePanelNotice::Kind::kState;
    notices_.push_back(std::move(notice));
  }
  if (!drawing_) return;
  LivePanelNotice notice;
  notice.kind = LivePanelNotice::Kind::kFrame;
  notice.frame = host_->frame();
  for (size_t w = 0; w < windows; ++w) {
    if (host_->window_open_at(w) && draw(w)) notice.windows.push_back(w);
  }
  if (frames_ran || !notice.windows.empty())
    notices_.push_back(std::move(notice));
}

std::string LivePanel::state_signature() const {
  std::string state;
  for (size_t w = 0; w < host_->panel().windows.size(); ++w)
    state += host_->window_open_at(w) ? 'o' : 'c';
  state += night() ? " night" : " day";
  state += paused_ ? " paused " : " running ";
  state += std::to_string(rate_) + " " + std::to_string(generation_);
  state += editor_->unsaved() ? " unsaved" : " saved";
  state += reload_waiting_ ? " waiting" : "";
  if (error_) state += " " + *error_;
  return state;
}

void LivePanel::watch_file(Clock::time_point now) {
  if (now < next_file_check_) return;
  next_file_check_ = now + kFileCheckPeriod;
  if (file_stamp() == stamp_) return;
  reload();
}

bool LivePanel::reload() {
  stamp_ = file_stamp();
  if (editor_->unsaved()) {
    reload_waiting_ = true;
    settle(false);
    return false;
  }
  reload_waiting_ = false;
  auto read = read_panel();
  std::string why;
  if (auto* unread = std::get_if<std::string>(&read)) {
    why = *unread;
  } else {
    auto& [text, config] = std::get<std::pair<std::string, PanelConfig>>(read);
    why = install(std::move(config), "reload");
    if (why.empty()) editor_->reread(std::move(text));
  }
  if (!why.empty()) {
    error_ = why;
    settle(false);
    return false;
  }
  error_.reset();
  settle(false);
  return true;
}

std::string LivePanel::install(PanelConfig config, std::string_view echo) {
  auto built = build(std::move(config), host_->frame());
  if (auto* why = std::get_if<std::string>(&built)) return *why;
  Built& parts = std::get<Built>(built);
  session_->replace_host(*parts.host, echo);
  host_ = std::move(parts.host);
  renderer_ = std::move(parts.renderer);
  for (WindowPixels& kept : pixels_) kept.inputs = {};
  ++generation_;
  return "";
}

std::vector<LivePanelNotice> LivePanel::take_notices() {
  return std::exchange(notices_, {});
}

// Attached before any gauge is built, so that the Windows build hands the
// gauges watched buffers.
void LivePanel::watch_sound() {
  sound_watch_attach(module_);
  sound_watch_observe_plays(&LivePanel::heard, this);
}

// A recording is known by its content: the same click played again, by
// this gauge or another, keeps its id, and pages fetch it once.
void LivePanel::heard(void* self, const SoundPlay& play) {
  LivePanel& panel = *static_cast<LivePanel*>(self);
  std::vector<LiveRecording>& kept = panel.recordings_;
  const auto same = std::find_if(
      kept.begin(), kept.end(), [&](const LiveRecording& recording) {
        return recording.format == play.format &&
               std::ranges::equal(recording.samples, play.samples);
      });
  LiveRecording played;
  if (same != kept.end()) {
    played = std::move(*same);
    kept.erase(same);
  } else {
    played = {.id = ++panel.recordings_heard_,
              .format = play.format,
              .samples = {play.samples.begin(), play.samples.end()}};
    if (kept.size() >= kRecordingsKept) kept.erase(kept.begin());
  }
  LivePanelNotice notice;
  notice.kind = LivePanelNotice::Kind::kSound;
  notice.recording = played.id;
  panel.notices_.push_back(std::move(notice));
  kept.push_back(std::move(played));
}

const LiveRecording* LivePanel::recording(uint64_t id) const {
  for (const LiveRecording& kept : recordings_)
    if (kept.id == id) return &kept;
  return nullptr;
}
