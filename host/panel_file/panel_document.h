// A panel file's text as lines, for edits that change only the lines of
// what changed: each line keeps its bytes and its own ending, and a gauge
// line is read into fields with their byte spans so that one field can be
// replaced in place, the line's spacing and trailing comment kept. Joining
// the lines gives back the file byte for byte.
//
// Lines are numbered from 1 as the panel reader numbers them (a line ends
// at "\n"), so a placement's `line` and a window's `line` name theirs here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct DocumentLine {
  std::string text;    // without its ending
  std::string ending;  // "\r\n", "\n", or "" for a last line without one
  bool operator==(const DocumentLine&) const = default;
};

struct PanelDocument {
  std::vector<DocumentLine> lines;
  bool operator==(const PanelDocument&) const = default;
};

PanelDocument read_panel_document(std::string_view text);
std::string panel_document_text(const PanelDocument& document);

// Byte offsets into a line's text, [begin, end).
struct TextSpan {
  size_t begin = 0;
  size_t end = 0;
  bool empty() const { return begin == end; }
};

// gaugeNN=Module!Gauge, x, y[, w[, h]][, parameter text][ // comment],
// read the way the panel reader reads it.
struct GaugeLineFields {
  TextSpan key;     // "gauge07" as written
  TextSpan digits;  // "07"
  int number = 0;
  TextSpan name;  // "Module!Gauge"
  // x, y, w, h; `count` of them written (2 to 4), an empty field an empty
  // span where it stands.
  TextSpan numbers[4];
  int count = 0;
  TextSpan parameter;  // trimmed; empty where there is none
  bool spaced = true;  // fields separated by ", " rather than ","
};

// The fields of a gauge line, or nullopt for a line the panel reader
// would not take as a well-formed gauge line.
std::optional<GaugeLineFields> read_gauge_line(std::string_view line);

// The lines [first, end) of the section whose header is on `header_line`
// (1-based), as 0-based indexes: the header to the next section's header.
struct SectionLines {
  size_t first = 0;
  size_t end = 0;
};
SectionLines section_lines(const PanelDocument& document, int header_line);

// The edits, each on the lines the panel reader gave (1-based). Each
// changes the fewest lines it can and leaves every other byte as it was;
// "" when done, else the reason, and the document is left as it was.
std::string move_gauge_line(PanelDocument& document, int line, int32_t x,
                            int32_t y);
std::string resize_gauge_line(PanelDocument& document, int line, int32_t width,
                              int32_t height);
// The gauge's line goes and the window's gauges numbered above it are
// numbered one lower, so that a numbering without gaps keeps none.
std::string remove_gauge_line(PanelDocument& document, int header_line,
                              int line);

struct NewGaugeLine {
  std::string module;
  std::string gauge;
  int32_t x = 0;
  int32_t y = 0;
  std::optional<int32_t> width;
  std::optional<int32_t> height;
  std::string parameter_text;
};
// The next gaugeNN of the window, after its last gauge line (or after its
// header when it has none). `line` is set to the new line's number.
std::string add_gauge_line(PanelDocument& document, int header_line,
                           const NewGaugeLine& gauge, int& line);
// The size_mm the window is read with (or its pixel_size when it has no
// size_mm); a size_mm line after the header when it has neither.
std::string set_window_size_line(PanelDocument& document, int header_line,
                                 int32_t width, int32_t height);

// Why a new gauge's name or parameter text would not read back as given,
// "" when it would.
std::string new_gauge_problem(const NewGaugeLine& gauge);
