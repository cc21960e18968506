// The live server's HTTP interface over a LivePanel: the page, the panel's
// state, its variables and pictures, script lines and the clock, the
// transcript and the event stream, the recordings the module played, and the
// calibration sheets' folder.
// Requests are answered here without sockets; a refused one changes
// nothing.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/serve/http.h"
#include "host/serve/http_server.h"
#include "host/serve/live_panel.h"

// What the server serves beyond the panel.
struct ServeOptions {
  // The folder `corvelain_host sheet` writes into, served under /sheets/
  // and read afresh at every request; empty when none was given.
  std::string sheets_folder;
  // A larger file there is refused rather than held in memory.
  uint64_t max_sheet_file_bytes = uint64_t{64} << 20;
};

// `authorities` are the Host headers this server answers to
// ("127.0.0.1:8018", "localhost:8018").
HttpResponse handle_request(LivePanel& panel, const HttpRequest& request,
                            const std::vector<std::string>& authorities,
                            const ServeOptions& options = {});

// GET /state's JSON.
std::string state_json(LivePanel& panel, const ServeOptions& options = {});

// The panel's notices as event-stream events: name and data.
std::vector<std::pair<std::string, std::string>> take_panel_events(
    LivePanel& panel, const ServeOptions& options = {});

// A page still reading this much of a window's stream is sent nothing more
// until it has read it; it is then sent all that changed meanwhile.
inline constexpr size_t kMostUnsentPixelBytes = size_t(1) << 20;

// The tiles each drawing changed, pushed to the pages watching the window
// on its stream (GET /window/I/stream): each message a 32-bit length, then
// what GET /window/I/pixels answers.
void push_window_tiles(LivePanel& panel, HttpServer& server);
