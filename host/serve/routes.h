// The live server's HTTP interface over a LivePanel: the page, the panel's
// state, its variables and pictures, script lines and the clock, the
// transcript and the event stream. Requests are answered here without
// sockets; a refused one changes nothing.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "host/serve/http.h"
#include "host/serve/live_panel.h"

// `authorities` are the Host headers this server answers to
// ("127.0.0.1:8018", "localhost:8018").
HttpResponse handle_request(LivePanel& panel, const HttpRequest& request,
                            const std::vector<std::string>& authorities);

// GET /state's JSON.
std::string state_json(LivePanel& panel);

// The panel's notices as event-stream events: name and data.
std::vector<std::pair<std::string, std::string>> take_panel_events(
    LivePanel& panel);
