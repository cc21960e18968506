#include "host/panel_file/panel_document.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace {

// The most digits the panel reader takes in a gaugeNN key.
constexpr size_t kMostKeyDigits = 6;
constexpr int kMostGaugeNumber = 999999;

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' ||
         c == '\f';
}

TextSpan trimmed(std::string_view line, size_t begin, size_t end) {
  while (begin < end && is_blank(line[begin])) ++begin;
  while (end > begin && is_blank(line[end - 1])) --end;
  return {begin, end};
}

std::string_view text_of(std::string_view line, TextSpan span) {
  return line.substr(span.begin, span.end - span.begin);
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool same_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return lower(x) == lower(y); });
}

// As the panel reader takes a number field: optionally signed decimal.
std::optional<int32_t> parse_int32(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  int64_t value = 0;
  auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() ||
      value < std::numeric_limits<int32_t>::min() ||
      value > std::numeric_limits<int32_t>::max())
    return std::nullopt;
  return int32_t(value);
}

// What the panel reader looks at on a line: the text before "//", trimmed;
// an empty span for a ';' comment.
TextSpan content(std::string_view line) {
  const size_t slashes = line.find("//");
  TextSpan span = trimmed(
      line, 0, slashes == std::string_view::npos ? line.size() : slashes);
  if (!span.empty() && line[span.begin] == ';') span.end = span.begin;
  return span;
}

bool is_section_header(std::string_view line) {
  const TextSpan span = content(line);
  return !span.empty() && line[span.begin] == '[';
}

struct KeyValue {
  TextSpan key;
  TextSpan value;
};

std::optional<KeyValue> key_value(std::string_view line) {
  const TextSpan all = content(line);
  if (all.empty() || line[all.begin] == '[') return std::nullopt;
  const size_t equals = line.find('=', all.begin);
  if (equals == std::string_view::npos || equals >= all.end)
    return std::nullopt;
  return KeyValue{.key = trimmed(line, all.begin, equals),
                  .value = trimmed(line, equals + 1, all.end)};
}

// gaugeNN's digits and number, as the panel reader takes the key.
struct GaugeKey {
  TextSpan key;
  TextSpan digits;
  int number = 0;
};

std::optional<GaugeKey> read_gauge_key(std::string_view line) {
  const auto kv = key_value(line);
  if (!kv) return std::nullopt;
  const std::string_view key = text_of(line, kv->key);
  constexpr std::string_view prefix = "gauge";
  if (key.size() <= prefix.size() ||
      key.size() > prefix.size() + kMostKeyDigits ||
      !same_ignoring_case(key.substr(0, prefix.size()), prefix))
    return std::nullopt;
  const std::string_view digits = key.substr(prefix.size());
  if (!std::all_of(digits.begin(), digits.end(),
                   [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  GaugeKey found;
  found.key = kv->key;
  found.digits = {kv->key.begin + prefix.size(), kv->key.end};
  std::from_chars(digits.data(), digits.data() + digits.size(), found.number);
  return found;
}

std::string digits_text(int number, size_t width) {
  std::string text = std::to_string(number);
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

struct Replacement {
  TextSpan span;
  std::string text;
};

// Replacements that do not overlap, applied from the last to the first.
std::string replaced(std::string_view line, std::vector<Replacement> changes) {
  std::sort(changes.begin(), changes.end(),
            [](const Replacement& a, const Replacement& b) {
              return a.span.begin > b.span.begin;
            });
  std::string out(line);
  for (const Replacement& r : changes)
    out.replace(r.span.begin, r.span.end - r.span.begin, r.text);
  return out;
}

// A number put into a field: an empty field just after its comma gets the
// line's spacing.
std::string field_text(std::string_view line, const GaugeLineFields& fields,
                       TextSpan span, int32_t value) {
  const bool after_comma =
      span.empty() && span.begin > 0 && line[span.begin - 1] == ',';
  return (after_comma && fields.spaced ? " " : "") + std::to_string(value);
}

std::string separator(const GaugeLineFields& fields) {
  return fields.spaced ? ", " : ",";
}

// The line the reader numbered `line`, as an index, when there is one.
std::optional<size_t> line_index(const PanelDocument& document, int line) {
  if (line < 1 || size_t(line) > document.lines.size()) return std::nullopt;
  return size_t(line - 1);
}

std::string usual_ending(const PanelDocument& document) {
  for (const DocumentLine& line : document.lines)
    if (!line.ending.empty()) return line.ending;
  return "\n";
}

// A new line after line `index`, taking its ending; a last line without
// one gets the file's usual ending and the new line goes without.
void insert_line_after(PanelDocument& document, size_t index,
                       std::string text) {
  DocumentLine added{.text = std::move(text), .ending = ""};
  DocumentLine& before = document.lines[index];
  if (before.ending.empty())
    before.ending = usual_ending(document);
  else
    added.ending = before.ending;
  document.lines.insert(document.lines.begin() + ptrdiff_t(index) + 1,
                        std::move(added));
}

}  // namespace

PanelDocument read_panel_document(std::string_view text) {
  PanelDocument document;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    DocumentLine line;
    if (end == std::string_view::npos) {
      line.text = std::string(text);
      text = {};
    } else {
      const bool cr = end > 0 && text[end - 1] == '\r';
      line.text = std::string(text.substr(0, cr ? end - 1 : end));
      line.ending = cr ? "\r\n" : "\n";
      text.remove_prefix(end + 1);
    }
    document.lines.push_back(std::move(line));
  }
  return document;
}

std::string panel_document_text(const PanelDocument& document) {
  std::string text;
  for (const DocumentLine& line : document.lines) {
    text += line.text;
    text += line.ending;
  }
  return text;
}

std::optional<GaugeLineFields> read_gauge_line(std::string_view line) {
  const auto key = read_gauge_key(line);
  if (!key) return std::nullopt;
  GaugeLineFields fields;
  fields.key = key->key;
  fields.digits = key->digits;
  fields.number = key->number;
  const TextSpan value = key_value(line)->value;
  const size_t comma = line.find(',', value.begin);
  if (comma == std::string_view::npos || comma >= value.end)
    return std::nullopt;
  fields.name = trimmed(line, value.begin, comma);
  const std::string_view name = text_of(line, fields.name);
  const size_t bang = name.find('!');
  if (bang == std::string_view::npos || trimmed(name, 0, bang).empty() ||
      trimmed(name, bang + 1, name.size()).empty())
    return std::nullopt;
  fields.spaced = comma + 1 < value.end && line[comma + 1] == ' ';

  size_t rest = comma + 1;
  bool more = true;
  for (int slot = 0; slot < 4 && more; ++slot) {
    size_t next = line.find(',', rest);
    if (next == std::string_view::npos || next > value.end) next = value.end;
    const TextSpan field = trimmed(line, rest, next);
    const auto number = parse_int32(text_of(line, field));
    if (slot < 2 && !number) return std::nullopt;
    if (!number && !field.empty()) break;
    if (number && slot >= 2 && *number <= 0) return std::nullopt;
    fields.numbers[slot] = field;
    fields.count = slot + 1;
    more = next != value.end;
    rest = more ? next + 1 : value.end;
  }
  fields.parameter =
      more ? trimmed(line, rest, value.end) : TextSpan{value.end, value.end};
  return fields;
}

SectionLines section_lines(const PanelDocument& document, int header_line) {
  const auto header = line_index(document, header_line);
  if (!header) return {};
  SectionLines lines{.first = *header, .end = *header + 1};
  while (lines.end < document.lines.size() &&
         !is_section_header(document.lines[lines.end].text))
    ++lines.end;
  return lines;
}

std::string move_gauge_line(PanelDocument& document, int line, int32_t x,
                            int32_t y) {
  const auto index = line_index(document, line);
  if (!index) return "no line " + std::to_string(line);
  std::string& text = document.lines[*index].text;
  const auto fields = read_gauge_line(text);
  if (!fields) return "line " + std::to_string(line) + " is no gauge line";
  text = replaced(text, {{fields->numbers[0], std::to_string(x)},
                         {fields->numbers[1], std::to_string(y)}});
  return "";
}

std::string resize_gauge_line(PanelDocument& document, int line, int32_t width,
                              int32_t height) {
  const auto index = line_index(document, line);
  if (!index) return "no line " + std::to_string(line);
  std::string& text = document.lines[*index].text;
  const auto found = read_gauge_line(text);
  if (!found) return "line " + std::to_string(line) + " is no gauge line";
  const GaugeLineFields& f = *found;
  const std::string sep = separator(f);
  std::vector<Replacement> changes;
  if (f.count == 4) {
    changes = {{f.numbers[2], field_text(text, f, f.numbers[2], width)},
               {f.numbers[3], field_text(text, f, f.numbers[3], height)}};
  } else if (f.count == 3) {
    changes = {{f.numbers[2], field_text(text, f, f.numbers[2], width) + sep +
                                  std::to_string(height)}};
  } else {
    const TextSpan after_y{f.numbers[1].end, f.numbers[1].end};
    changes = {
        {after_y, sep + std::to_string(width) + sep + std::to_string(height)}};
  }
  text = replaced(text, std::move(changes));
  return "";
}

std::string remove_gauge_line(PanelDocument& document, int header_line,
                              int line) {
  const SectionLines section = section_lines(document, header_line);
  const auto index = line_index(document, line);
  if (!index || *index <= section.first || *index >= section.end)
    return "line " + std::to_string(line) + " is not in the window's section";
  const auto removed = read_gauge_key(document.lines[*index].text);
  if (!removed) return "line " + std::to_string(line) + " is no gauge line";
  // A line the reader skipped for repeating the number would be read in
  // its place.
  for (size_t i = section.first + 1; i < section.end; ++i) {
    const auto key = read_gauge_key(document.lines[i].text);
    if (i != *index && key && key->number == removed->number)
      return "gauge number " + std::to_string(removed->number) +
             " is given again on line " + std::to_string(i + 1) +
             "; remove that line first";
  }
  // The removed line's ending stays with the file when it was the last
  // line: the line before keeps its own.
  document.lines.erase(document.lines.begin() + ptrdiff_t(*index));
  for (size_t i = section.first + 1; i + 1 < section.end; ++i) {
    std::string& text = document.lines[i].text;
    const auto key = read_gauge_key(text);
    if (!key || key->number <= removed->number) continue;
    text = replaced(
        text,
        {{key->digits,
          digits_text(key->number - 1, key->digits.end - key->digits.begin)}});
  }
  return "";
}

std::string new_gauge_problem(const NewGaugeLine& gauge) {
  const auto bad_name = [](std::string_view name) {
    return name.empty() || is_blank(name.front()) || is_blank(name.back()) ||
           name.find_first_of(std::string_view(",!\r\n\0", 5)) !=
               std::string_view::npos ||
           name.find("//") != std::string_view::npos || name.front() == ';' ||
           name.front() == '[';
  };
  if (bad_name(gauge.module))
    return "bad module name '" + gauge.module +
           "': no commas, '!', '//' or blanks at its ends";
  if (bad_name(gauge.gauge) || gauge.gauge.find('#') != std::string::npos)
    return "bad gauge name '" + gauge.gauge +
           "': no commas, '!', '#', '//' or blanks at its ends";
  const std::string& text = gauge.parameter_text;
  if (text.find("//") != std::string::npos)
    return "a parameter text cannot hold '//', which starts a comment";
  if (text.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
    return "a parameter text is one line of text";
  if (!text.empty() && (is_blank(text.front()) || is_blank(text.back())))
    return "a parameter text cannot start or end with a blank";
  if (gauge.width.has_value() != gauge.height.has_value())
    return "a gauge's size is a width and a height";
  return "";
}

std::string add_gauge_line(PanelDocument& document, int header_line,
                           const NewGaugeLine& gauge, int& line) {
  if (std::string problem = new_gauge_problem(gauge); !problem.empty())
    return problem;
  const SectionLines section = section_lines(document, header_line);
  if (section.end <= section.first)
    return "no section on line " + std::to_string(header_line);
  // The new line is written like the window's last gauge line.
  std::optional<size_t> last;
  int highest = -1;
  for (size_t i = section.first + 1; i < section.end; ++i)
    if (const auto key = read_gauge_key(document.lines[i].text)) {
      last = i;
      highest = std::max(highest, key->number);
    }
  if (highest + 1 > kMostGaugeNumber)
    return "the window has no gauge number left";
  std::string indent, prefix = "gauge", equals = "=";
  size_t width = 2;
  bool spaced = true;
  if (last) {
    const std::string& text = document.lines[*last].text;
    const GaugeKey key = *read_gauge_key(text);
    indent = text.substr(0, key.key.begin);
    prefix = text.substr(key.key.begin, key.digits.begin - key.key.begin);
    width = key.digits.end - key.digits.begin;
    if (const auto fields = read_gauge_line(text)) {
      equals = text.substr(key.key.end, fields->name.begin - key.key.end);
      spaced = fields->spaced;
    }
  }
  const std::string sep = spaced ? ", " : ",";
  std::string text = indent + prefix + digits_text(highest + 1, width) +
                     equals + gauge.module + "!" + gauge.gauge + sep +
                     std::to_string(gauge.x) + sep + std::to_string(gauge.y);
  if (gauge.width)
    text += sep + std::to_string(*gauge.width) + sep +
            std::to_string(*gauge.height);
  if (!gauge.parameter_text.empty()) {
    // A text that the reader would take for a size (a number, or an empty
    // field) goes after two empty size fields.
    const std::string_view first =
        std::string_view(gauge.parameter_text)
            .substr(0, gauge.parameter_text.find(','));
    const TextSpan field = trimmed(first, 0, first.size());
    if (!gauge.width && (field.empty() || parse_int32(text_of(first, field))))
      text += sep + sep;
    text += sep + gauge.parameter_text;
  }
  const size_t after = last.value_or(section.first);
  insert_line_after(document, after, std::move(text));
  line = int(after) + 2;
  return "";
}

std::string set_window_size_line(PanelDocument& document, int header_line,
                                 int32_t width, int32_t height) {
  const SectionLines section = section_lines(document, header_line);
  if (section.end <= section.first)
    return "no section on line " + std::to_string(header_line);
  std::optional<size_t> size_mm, pixel_size;
  for (size_t i = section.first + 1; i < section.end; ++i) {
    const auto kv = key_value(document.lines[i].text);
    if (!kv) continue;
    const std::string_view key = text_of(document.lines[i].text, kv->key);
    if (!size_mm && same_ignoring_case(key, "size_mm")) size_mm = i;
    if (!pixel_size && same_ignoring_case(key, "pixel_size")) pixel_size = i;
  }
  const std::optional<size_t> at = size_mm ? size_mm : pixel_size;
  if (!at) {
    insert_line_after(
        document, section.first,
        "size_mm=" + std::to_string(width) + "," + std::to_string(height));
    return "";
  }
  std::string& text = document.lines[*at].text;
  const TextSpan value = key_value(text)->value;
  const bool spaced = text_of(text, value).find(", ") != std::string_view::npos;
  text = replaced(text, {{value, std::to_string(width) + (spaced ? ", " : ",") +
                                     std::to_string(height)}});
  return "";
}
