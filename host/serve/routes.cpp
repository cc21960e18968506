#include "host/serve/routes.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>

#include "host/aircraft/aircraft.h"
#include "host/render/bitmaps.h"
#include "host/render/stb_files.h"
#include "host/serve/page_files.h"

namespace {

using Json = nlohmann::ordered_json;

// Panel files and module texts need not be UTF-8: what is not shows as
// U+FFFD rather than failing the answer.
std::string dump(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

HttpResponse text_response(int status, std::string text) {
  HttpResponse response;
  response.status = status;
  response.body = std::move(text) + "\n";
  return response;
}

HttpResponse json_response(int status, const Json& json) {
  HttpResponse response;
  response.status = status;
  response.content_type = "application/json";
  response.body = dump(json);
  return response;
}

HttpResponse json_error(int status, const std::string& reason) {
  return json_response(status, Json{{"error", reason}});
}

// A whole number of decimal digits only, as indexes, frames and line
// numbers are written.
std::optional<uint64_t> parse_count(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  uint64_t value = 0;
  const auto [end, ec] =
      std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size())
    return std::nullopt;
  return value;
}

std::string_view content_type_of(std::string_view name) {
  const auto ends = [&](std::string_view suffix) {
    return name.size() >= suffix.size() &&
           name.substr(name.size() - suffix.size()) == suffix;
  };
  if (ends(".html")) return "text/html; charset=utf-8";
  if (ends(".js")) return "text/javascript; charset=utf-8";
  if (ends(".css")) return "text/css; charset=utf-8";
  if (ends(".svg")) return "image/svg+xml";
  if (ends(".png")) return "image/png";
  if (ends(".txt")) return "text/plain; charset=utf-8";
  return "application/octet-stream";
}

const PageFile* page_file(std::string_view path) {
  if (path.empty()) return nullptr;
  const std::string_view name =
      path == "/" ? std::string_view("index.html") : path.substr(1);
  for (const PageFile& file : page_files())
    if (file.name == name) return &file;
  return nullptr;
}

Json window_json(LivePanel& panel, size_t index) {
  const Host& host = panel.host();
  const PanelWindow& window = host.panel().windows[index];
  const auto [width, height] = panel.picture_size(index);
  Json gauges = Json::array();
  for (const GaugeInstance& gauge : host.instances()) {
    if (gauge.window != index) continue;
    const std::optional<GaugeFrame> frame = panel.gauge_frame_of(gauge);
    if (!frame) continue;
    gauges.push_back({{"name", gauge.placement->gauge},
                      {"ordinal", gauge.ordinal},
                      {"ref", scenario_gauge_reference(gauge)},
                      {"x", frame->x},
                      {"y", frame->y},
                      {"width", frame->background_width * frame->scale_x},
                      {"height", frame->background_height * frame->scale_y},
                      {"scale_x", frame->scale_x},
                      {"scale_y", frame->scale_y}});
  }
  return {{"window", index},
          {"section", window.section_name()},
          {"title", window.title},
          {"ident", window.ident ? Json(*window.ident) : Json(nullptr)},
          {"open", host.window_open_at(index)},
          {"width", width},
          {"height", height},
          {"gauges", std::move(gauges)}};
}

Json state(LivePanel& panel, const ServeOptions& options) {
  Json windows = Json::array();
  for (size_t w = 0; w < panel.host().panel().windows.size(); ++w)
    windows.push_back(window_json(panel, w));
  return {{"frame", panel.host().frame()},
          {"rate", panel.rate()},
          {"paused", panel.paused()},
          {"night", panel.night()},
          {"panel", panel.panel_path()},
          {"error", panel.error() ? Json(*panel.error()) : Json(nullptr)},
          {"generation", panel.generation()},
          {"unsaved", panel.unsaved()},
          {"reload_waiting", panel.reload_waiting()},
          {"transcript_size", panel.transcript().size()},
          {"sheets", !options.sheets_folder.empty()},
          {"windows", std::move(windows)}};
}

HttpResponse variables(LivePanel& panel) {
  Aircraft& aircraft = panel.host().aircraft();
  Json list = Json::array();
  for (const AircraftVariable& var : aircraft_variables())
    list.push_back({{"name", var.name},
                    {"unit", var.unit},
                    {"value", var.bcd ? Json(aircraft.integer(var.token))
                                      : Json(aircraft.number(var.token))},
                    {"bcd", var.bcd}});
  return json_response(200, list);
}

Json lines_json(const std::vector<std::string>& lines, size_t from,
                size_t count) {
  Json list = Json::array();
  for (size_t i = from; i < from + count && i < lines.size(); ++i)
    list.push_back(lines[i]);
  return list;
}

HttpResponse transcript(LivePanel& panel, const HttpRequest& request) {
  const std::optional<std::string> from_text = request.query_value("from");
  const std::optional<uint64_t> from =
      from_text ? parse_count(*from_text) : uint64_t{0};
  if (!from)
    return json_error(400, "'from' takes a line number, not '" +
                               from_text.value_or("") + "'");
  const std::vector<std::string>& lines = panel.transcript();
  const size_t first = size_t(std::min<uint64_t>(*from, lines.size()));
  return json_response(
      200, {{"from", *from},
            {"lines", lines_json(lines, first, lines.size() - first)}});
}

// The window a /window/I... path names, or the response refusing it.
std::variant<const WindowPixels*, HttpResponse> window_pixels(
    LivePanel& panel, std::string_view index_text) {
  const std::optional<uint64_t> index = parse_count(index_text);
  const size_t windows = panel.host().panel().windows.size();
  if (!index || *index >= windows)
    return text_response(404,
                         "the panel has no window " + std::string(index_text));
  if (!panel.host().window_open_at(size_t(*index)))
    return text_response(409,
                         "window " + std::string(index_text) + " is closed");
  const WindowPixels* pixels = panel.pixels(size_t(*index));
  if (pixels == nullptr || pixels->picture.width <= 0)
    return text_response(
        409, "window " + std::string(index_text) + " has no size to draw");
  return pixels;
}

HttpResponse window_png(LivePanel& panel, std::string_view index_text) {
  auto found = window_pixels(panel, index_text);
  if (auto* refusal = std::get_if<HttpResponse>(&found))
    return std::move(*refusal);
  HttpResponse response;
  response.content_type = "image/png";
  if (!encode_png(std::get<const WindowPixels*>(found)->picture, response.body))
    return text_response(500, "the picture could not be encoded");
  return response;
}

void put_u16(std::string& out, uint32_t value) {
  out += char(value & 0xFF);
  out += char((value >> 8) & 0xFF);
}

void put_u32(std::string& out, uint32_t value) {
  put_u16(out, value & 0xFFFF);
  put_u16(out, value >> 16);
}

// The frame, the picture's size, then each tile listed: its place, size
// and pixels.
void append_tiles(std::string& out, const WindowPixels& pixels,
                  const std::vector<size_t>& tiles) {
  const Image& picture = pixels.picture;
  constexpr int32_t side = WindowPixels::kTileSide;
  out.reserve(out.size() + 16 + tiles.size() * (8 + side * side * 3));
  put_u32(out, uint32_t(pixels.frame));
  put_u32(out, uint32_t(picture.width));
  put_u32(out, uint32_t(picture.height));
  put_u32(out, uint32_t(tiles.size()));
  for (const size_t t : tiles) {
    const int32_t x = int32_t(t % size_t(pixels.tiles_across)) * side;
    const int32_t y = int32_t(t / size_t(pixels.tiles_across)) * side;
    const int32_t w = std::min(side, picture.width - x);
    const int32_t h = std::min(side, picture.height - y);
    put_u16(out, uint32_t(x));
    put_u16(out, uint32_t(y));
    put_u16(out, uint32_t(w));
    put_u16(out, uint32_t(h));
    for (int32_t row = y; row < y + h; ++row)
      out.append(reinterpret_cast<const char*>(picture.at(x, row)),
                 size_t(w) * 3);
  }
}

HttpResponse window_tiles(LivePanel& panel, std::string_view index_text,
                          const HttpRequest& request) {
  const std::optional<std::string> since_text = request.query_value("since");
  const std::optional<uint64_t> since =
      since_text ? parse_count(*since_text) : uint64_t{0};
  if (!since)
    return text_response(400, "'since' takes a frame number, not '" +
                                  since_text.value_or("") + "'");
  auto found = window_pixels(panel, index_text);
  if (auto* refusal = std::get_if<HttpResponse>(&found))
    return std::move(*refusal);
  const WindowPixels& pixels = *std::get<const WindowPixels*>(found);
  std::vector<size_t> tiles;
  for (size_t t = 0; t < pixels.tile_frames.size(); ++t)
    if (pixels.tile_newer(t, int64_t(std::min<uint64_t>(*since, INT64_MAX))))
      tiles.push_back(t);
  HttpResponse response;
  response.content_type = "application/octet-stream";
  append_tiles(response.body, pixels, tiles);
  return response;
}

// One message of a window's stream: its length, then the tiles changed by
// the drawings after `after`.
std::string tiles_message(const WindowPixels& pixels, uint64_t after) {
  std::vector<size_t> tiles;
  for (size_t t = 0; t < pixels.tile_draws.size(); ++t)
    if (pixels.tile_draws[t] > after) tiles.push_back(t);
  std::string message(4, '\0');
  append_tiles(message, pixels, tiles);
  const uint32_t length = uint32_t(message.size() - 4);
  for (int i = 0; i < 4; ++i) message[size_t(i)] = char(length >> (8 * i));
  return message;
}

// A window's pixels pushed as they change: first the whole picture, then
// what each drawing changed (push_window_tiles).
HttpResponse window_stream(LivePanel& panel, std::string_view index_text) {
  auto found = window_pixels(panel, index_text);
  if (auto* refusal = std::get_if<HttpResponse>(&found))
    return std::move(*refusal);
  const WindowPixels& pixels = *std::get<const WindowPixels*>(found);
  HttpResponse response;
  response.content_type = "application/octet-stream";
  response.byte_stream = true;
  response.body = tiles_message(pixels, 0);
  response.stream_mark = int64_t(pixels.draws);
  return response;
}

// The window a /window/I/stream path names.
std::optional<size_t> streamed_window(std::string_view path) {
  constexpr std::string_view head = "/window/", tail = "/stream";
  if (!path.starts_with(head) || !path.ends_with(tail) ||
      path.size() <= head.size() + tail.size())
    return std::nullopt;
  const std::optional<uint64_t> index = parse_count(
      path.substr(head.size(), path.size() - head.size() - tail.size()));
  if (!index) return std::nullopt;
  return size_t(*index);
}

// Why the command cannot run from a page, empty when it can: files are
// not written, and points lie on their gauge's background. A drag is
// pressed on its gauge but, as a pointer may, can end past its edge (a
// lever held against its stop), as in scripts.
std::string live_refusal(LivePanel& panel, const ScenarioCommand& cmd) {
  if (scenario_writes_files(cmd))
    return "'" + cmd.words[0] + "' writes files, which the live panel does not";
  std::vector<ScenarioPoint> points = scenario_points(cmd);
  if (cmd.words[0] == "drag" && points.size() > 1) points.resize(1);
  for (const ScenarioPoint& point : points) {
    const GaugeInstance* gauge =
        panel.host().find_instance(point.name, point.ordinal);
    if (gauge == nullptr) return "the panel places no gauge " + point.gauge;
    const std::optional<GaugeFrame> frame = panel.gauge_frame_of(*gauge);
    if (!frame) return point.gauge + " has no box on its window";
    if (point.x < 0 || point.y < 0 || point.x >= frame->background_width ||
        point.y >= frame->background_height)
      return "(" + std::to_string(point.x) + ", " + std::to_string(point.y) +
             ") is outside " + point.gauge + " (" +
             std::to_string(frame->background_width) + " x " +
             std::to_string(frame->background_height) + ")";
  }
  return "";
}

HttpResponse command(LivePanel& panel, const HttpRequest& request) {
  std::string_view line = request.body;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
    line.remove_suffix(1);
  if (line.find_first_of("\r\n") != line.npos)
    return json_error(400, "one line at a time");
  ScenarioCommand cmd;
  std::string problem = panel.check(line, cmd);
  if (problem.empty()) problem = live_refusal(panel, cmd);
  if (!problem.empty()) return json_error(400, problem);
  const LiveCommandOutcome outcome = panel.run_command(cmd);
  // The edit or save refused is in the transcript; the page is told why.
  if (!outcome.refusal.empty()) return json_error(400, outcome.refusal);
  Json events = Json::array();
  for (const SentEvent& e : outcome.events)
    events.push_back({{"event", e.event}, {"value", e.value}});
  return json_response(200, {{"lines", outcome.lines},
                             {"events", std::move(events)},
                             {"from", outcome.from}});
}

HttpResponse clock(LivePanel& panel, const HttpRequest& request,
                   const ServeOptions& options) {
  std::string_view body = request.body;
  while (!body.empty() &&
         (body.back() == '\n' || body.back() == '\r' || body.back() == ' '))
    body.remove_suffix(1);
  const auto now = LivePanel::Clock::now();
  if (body == "pause") {
    panel.pause();
  } else if (body == "run") {
    panel.run(now);
  } else if (body.starts_with("rate ")) {
    const std::optional<uint64_t> rate = parse_count(body.substr(5));
    if (!rate || *rate < uint64_t(LivePanel::kMinRate) ||
        *rate > uint64_t(LivePanel::kMaxRate) ||
        !panel.set_rate(int(*rate), now))
      return json_error(
          400, "the rate is " + std::to_string(LivePanel::kMinRate) + " to " +
                   std::to_string(LivePanel::kMaxRate) + " frames a second");
  } else {
    return json_error(400, "the clock takes pause, run or rate N");
  }
  return json_response(200, state(panel, options));
}

HttpResponse events(LivePanel& panel, const ServeOptions& options) {
  HttpResponse response;
  response.event_stream = true;
  response.content_type = "text/event-stream";
  // A page that connects learns the state at once.
  response.body = format_event("state", state_json(panel, options));
  return response;
}

struct DeviceName {
  std::string_view name;
};

// Windows opens these devices whatever extension follows the name.
constexpr DeviceName kWindowsDevices[] = {
    {.name = "CON"}, {.name = "PRN"}, {.name = "AUX"}, {.name = "NUL"}};
static_assert(std::size(kWindowsDevices) == 4);

bool windows_device(std::string_view base) {
  std::string upper(base);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  if (upper.size() == 4 &&
      (upper.starts_with("COM") || upper.starts_with("LPT")) &&
      upper[3] >= '0' && upper[3] <= '9')
    return true;
  return std::any_of(std::begin(kWindowsDevices), std::end(kWindowsDevices),
                     [&](const DeviceName& d) { return d.name == upper; });
}

// A name as `corvelain_host sheet` writes them: letters, digits, '_', '-'
// and '.', not hidden, of the kinds it writes. Nothing else names a file,
// so no separator, "..", or escape reaches the file system.
bool plain_sheet_name(std::string_view name) {
  if (name.empty() || name.size() > 255 || name.front() == '.') return false;
  for (const char c : name)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
          (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.'))
      return false;
  if (!name.ends_with(".png") && !name.ends_with(".txt") &&
      !name.ends_with(".html"))
    return false;
  return !windows_device(name.substr(0, name.find('.')));
}

std::string sheets_writer(const std::string& folder) {
  return "corvelain_host sheet all --out " + folder + " writes the sheets";
}

// The file read now, so that sheets written while the server runs show at
// the next reload.
HttpResponse sheet_file(const ServeOptions& options, std::string_view name) {
  namespace fs = std::filesystem;
  const std::string& folder = options.sheets_folder;
  if (!plain_sheet_name(name))
    return text_response(404, "nothing here at /sheets/" + std::string(name) +
                                  ": the sheets are .png, .txt and .html "
                                  "files named plainly");
  const fs::path path = fs::path(folder) / std::string(name);
  const std::string shown = path.string();
  std::error_code error;
  std::ifstream in;
  if (fs::is_regular_file(path, error)) in.open(path, std::ios::binary);
  if (!in.is_open())
    return text_response(404,
                         "no file " + shown + "; " + sheets_writer(folder));
  HttpResponse response;
  response.content_type = std::string(content_type_of(name));
  std::string& bytes = response.body;
  char block[1 << 16];
  while (in.read(block, sizeof block) || in.gcount() > 0) {
    if (bytes.size() + uint64_t(in.gcount()) > options.max_sheet_file_bytes)
      return text_response(500,
                           shown + " is larger than the " +
                               std::to_string(options.max_sheet_file_bytes) +
                               " bytes this server sends");
    bytes.append(block, size_t(in.gcount()));
  }
  if (in.bad()) return text_response(500, shown + " could not be read");
  return response;
}

HttpResponse sheets(const ServeOptions& options, std::string_view path) {
  if (options.sheets_folder.empty())
    return text_response(404, "this server was started without --sheets DIR; " +
                                  sheets_writer("DIR"));
  if (path == "/sheets") {
    // The index's links are relative to the folder.
    HttpResponse response = text_response(308, "the sheets are at /sheets/");
    response.headers.emplace_back("Location", "/sheets/");
    return response;
  }
  const std::string_view name =
      path.substr(std::string_view("/sheets/").size());
  return sheet_file(options, name.empty() ? "index.html" : name);
}

// A recording as a WAVE file: a "fmt " chunk of its format's PCM fields and
// a "data" chunk of its samples.
std::string wave_file(const LiveRecording& recording) {
  const SoundFormat& format = recording.format;
  const uint32_t data_bytes = uint32_t(recording.samples.size());
  const uint32_t pad = data_bytes & 1;
  std::string out;
  out.reserve(44 + data_bytes + pad);
  out += "RIFF";
  put_u32(out, 4 + (8 + 16) + (8 + data_bytes + pad));
  out += "WAVEfmt ";
  put_u32(out, 16);
  put_u16(out, format.format_tag);
  put_u16(out, format.channels);
  put_u32(out, format.samples_per_second);
  put_u32(out, format.bytes_per_second);
  put_u16(out, format.block_align);
  put_u16(out, format.bits_per_sample);
  out += "data";
  put_u32(out, data_bytes);
  out.append(reinterpret_cast<const char*>(recording.samples.data()),
             data_bytes);
  if (pad != 0) out += '\0';
  return out;
}

// GET /sound/N.wav: a recording a `sound` event named.
HttpResponse sound_file(LivePanel& panel, std::string_view name) {
  const std::string_view stem = name.substr(0, name.size() - 4);
  const std::optional<uint64_t> id =
      name.ends_with(".wav") ? parse_count(stem) : std::nullopt;
  const LiveRecording* recording = id ? panel.recording(*id) : nullptr;
  if (recording == nullptr)
    return text_response(404, "no recording /sound/" + std::string(name) +
                                  ": the panel keeps the last " +
                                  std::to_string(LivePanel::kRecordingsKept) +
                                  " it played, named by their sound events");
  HttpResponse response;
  response.content_type = "audio/wav";
  response.body = wave_file(*recording);
  return response;
}

// The module's gauges a panel may place, in its table's order.
std::vector<const GaugeHeader*> module_gauges(const LoadedModule& module) {
  std::vector<const GaugeHeader*> gauges;
  if (module.linkage == nullptr) return gauges;
  for (GaugeHeader* const* g = module.linkage->gauges;
       g < std::end(module.linkage->gauges) && *g != nullptr; ++g)
    if ((*g)->name != nullptr) gauges.push_back(*g);
  return gauges;
}

// The gauge's background bitmap, the picture a panel maker recognises it
// by; null when it has none.
const Image* gauge_background(const GaugeHeader& gauge, BitmapSource& bitmaps) {
  if (gauge.elements == nullptr || gauge.elements[0] == nullptr) return nullptr;
  std::string why;
  return bitmaps.find(gauge.elements[0]->bitmap, why);
}

// GET /gauges: the palette, each gauge of the module with the size a
// placement without one takes, and its picture's path.
HttpResponse palette(LivePanel& panel) {
  const LoadedModule& module = panel.host().module();
  const std::unique_ptr<BitmapSource> bitmaps = module_bitmaps(module);
  Json gauges = Json::array();
  for (const GaugeHeader* gauge : module_gauges(module)) {
    GaugePlacement placement;
    placement.module = module.name;
    placement.gauge = gauge->name;
    const auto [width, height] = placed_gauge_box(placement, module, *bitmaps);
    const bool pictured = gauge_background(*gauge, *bitmaps) != nullptr;
    gauges.push_back(
        {{"name", gauge->name},
         {"width", width},
         {"height", height},
         {"picture", pictured
                         ? Json("gauge/" + std::string(gauge->name) + ".png")
                         : Json(nullptr)}});
  }
  return json_response(200, {{"module", module.name}, {"gauges", gauges}});
}

// GET /gauge/NAME.png: the gauge's background bitmap as the module holds
// it.
HttpResponse gauge_picture(LivePanel& panel, std::string_view file) {
  const LoadedModule& module = panel.host().module();
  const std::string_view name =
      file.ends_with(".png") ? file.substr(0, file.size() - 4) : "";
  for (const GaugeHeader* gauge : module_gauges(module)) {
    if (name.empty() || name != gauge->name) continue;
    const std::unique_ptr<BitmapSource> bitmaps = module_bitmaps(module);
    const Image* background = gauge_background(*gauge, *bitmaps);
    if (background == nullptr)
      return text_response(404,
                           std::string(name) + " has no background bitmap");
    HttpResponse response;
    response.content_type = "image/png";
    if (!encode_png(*background, response.body))
      return text_response(500, "the picture could not be encoded");
    return response;
  }
  return text_response(404, "the module " + module.name +
                                " has no gauge /gauge/" + std::string(file) +
                                " names (GET /gauges lists them)");
}

HttpResponse wrong_method(std::string_view allowed) {
  HttpResponse response = text_response(405, "use " + std::string(allowed));
  response.headers.emplace_back("Allow", std::string(allowed));
  return response;
}

}  // namespace

std::string state_json(LivePanel& panel, const ServeOptions& options) {
  return dump(state(panel, options));
}

HttpResponse handle_request(LivePanel& panel, const HttpRequest& request,
                            const std::vector<std::string>& authorities,
                            const ServeOptions& options) {
  std::string reason;
  if (!request_from_this_server(request, authorities, reason))
    return text_response(403, reason);
  const std::string_view path = request.path;
  const bool get = request.method == "GET" || request.method == "HEAD";
  const bool post = request.method == "POST";

  if (path == "/command" || path == "/clock") {
    if (!post) return wrong_method("POST");
    return path == "/command" ? command(panel, request)
                              : clock(panel, request, options);
  }
  if (path == "/sheets" || path.starts_with("/sheets/")) {
    if (!get) return wrong_method("GET");
    return sheets(options, path);
  }
  if (path.starts_with("/sound/")) {
    if (!get) return wrong_method("GET");
    return sound_file(panel, path.substr(7));
  }
  if (path == "/gauges" || path.starts_with("/gauge/")) {
    if (!get) return wrong_method("GET");
    return path == "/gauges" ? palette(panel)
                             : gauge_picture(panel, path.substr(7));
  }
  std::optional<std::string_view> window_index;
  bool png = false, stream = false;
  if (path.starts_with("/window/")) {
    std::string_view rest = path.substr(8);
    if (rest.ends_with(".png")) {
      window_index = rest.substr(0, rest.size() - 4);
      png = true;
    } else if (rest.ends_with("/pixels")) {
      window_index = rest.substr(0, rest.size() - 7);
    } else if (rest.ends_with("/stream")) {
      window_index = rest.substr(0, rest.size() - 7);
      stream = true;
    }
  }
  const PageFile* file = page_file(path);
  if (file == nullptr && !window_index && path != "/state" &&
      path != "/variables" && path != "/transcript" && path != "/events")
    return text_response(404, "nothing here at " + std::string(path));
  if (!get || ((path == "/events" || stream) && request.method != "GET"))
    return wrong_method("GET");
  if (file != nullptr) {
    HttpResponse response;
    response.content_type = std::string(content_type_of(file->name));
    response.body = std::string(file->bytes);
    return response;
  }
  if (window_index)
    return png      ? window_png(panel, *window_index)
           : stream ? window_stream(panel, *window_index)
                    : window_tiles(panel, *window_index, request);
  if (path == "/state") return json_response(200, state(panel, options));
  if (path == "/variables") return variables(panel);
  if (path == "/transcript") return transcript(panel, request);
  return events(panel, options);
}

std::vector<std::pair<std::string, std::string>> take_panel_events(
    LivePanel& panel, const ServeOptions& options) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const LivePanelNotice& notice : panel.take_notices()) {
    switch (notice.kind) {
      case LivePanelNotice::Kind::kTranscript:
        out.emplace_back(
            "transcript",
            dump({{"from", notice.from},
                  {"lines", lines_json(panel.transcript(), notice.from,
                                       notice.count)}}));
        break;
      case LivePanelNotice::Kind::kState:
        out.emplace_back("state", state_json(panel, options));
        break;
      case LivePanelNotice::Kind::kFrame:
        out.emplace_back("frame", dump({{"frame", notice.frame},
                                        {"windows", notice.windows}}));
        break;
      case LivePanelNotice::Kind::kSound:
        out.emplace_back("sound", dump({{"id", notice.recording}}));
        break;
    }
  }
  return out;
}

void push_window_tiles(LivePanel& panel, HttpServer& server) {
  for (const HttpServer::ByteStream& stream : server.byte_streams()) {
    const std::optional<size_t> window = streamed_window(stream.path);
    if (!window || *window >= panel.host().panel().windows.size() ||
        stream.backlog > kMostUnsentPixelBytes)
      continue;
    const WindowPixels* pixels = panel.pixels(*window);
    if (pixels == nullptr || pixels->picture.width <= 0 ||
        pixels->draws == uint64_t(stream.mark))
      continue;
    const bool changed = std::any_of(
        pixels->tile_draws.begin(), pixels->tile_draws.end(),
        [&](uint64_t draw) { return draw > uint64_t(stream.mark); });
    if (changed)
      server.send_to_stream(stream.id,
                            tiles_message(*pixels, uint64_t(stream.mark)),
                            int64_t(pixels->draws));
  }
}
