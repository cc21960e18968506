#include "host/inspect/print.h"

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>
#include <sstream>

namespace {

using Json = nlohmann::ordered_json;

std::string hex(uint64_t value, int digits = 0) {
  std::ostringstream out;
  out << "0x" << std::hex << std::uppercase;
  if (digits > 0) {
    out.width(digits);
    out.fill('0');
  }
  out << value;
  return out.str();
}

std::string number(double value) {
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, end) : "?";
}

std::string value_text(const RecordField& f) {
  if (const auto* i = std::get_if<int64_t>(&f.value))
    return f.hexadecimal ? hex(static_cast<uint64_t>(*i)) : std::to_string(*i);
  if (const auto* d = std::get_if<double>(&f.value)) return number(*d);
  return "\"" + western_to_utf8(std::get<std::string>(f.value)) + "\"";
}

std::string yes_no(const LinkField& link) {
  return link.present ? "yes" : "no";
}

std::string failures_text(const InspectedElement& e) {
  if (!e.failures) return "-";
  std::string text;
  for (const FailureRow& r : *e.failures) {
    text += "{" + std::to_string(r.key) + "," + std::to_string(r.action);
    if (r.reserved != 0) text += "," + std::to_string(r.reserved);
    text += "}";
  }
  return text.empty() ? "{}" : text;
}

std::string host_words_text(const std::vector<HostWord>& words) {
  if (words.empty()) return "-";
  std::string text;
  for (const HostWord& w : words)
    text += (text.empty() ? "" : " ") + hex(w.offset) + "=" + hex(w.value);
  return text;
}

std::string quoted(const std::optional<std::string>& text) {
  return text ? "\"" + western_to_utf8(*text) + "\"" : "null";
}

// Rows of cells printed in columns, the last column unpadded.
class Table {
 public:
  explicit Table(std::vector<std::string> header) {
    rows_.push_back(std::move(header));
  }
  void add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
  void print(std::ostream& out, const std::string& indent) const {
    std::vector<size_t> widths;
    for (const auto& row : rows_)
      for (size_t i = 0; i < row.size(); ++i) {
        if (widths.size() <= i) widths.push_back(0);
        widths[i] = std::max(widths[i], display_width(row[i]));
      }
    for (const auto& row : rows_) {
      std::string line = indent;
      for (size_t i = 0; i < row.size(); ++i) {
        line += row[i];
        if (i + 1 < row.size())
          line += std::string(widths[i] - display_width(row[i]) + 2, ' ');
      }
      while (!line.empty() && line.back() == ' ') line.pop_back();
      out << line << "\n";
    }
  }

 private:
  static size_t display_width(const std::string& s) {
    return static_cast<size_t>(std::count_if(s.begin(), s.end(), [](char c) {
      return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
  }
  std::vector<std::vector<std::string>> rows_;
};

int clickable_areas(const InspectedGauge& g) {
  return static_cast<int>(
      std::count_if(g.areas.begin(), g.areas.end(), [](const InspectedArea& a) {
        return a.kind == 2 && (a.event != 0 || a.callback.present);
      }));
}

std::string element_details(const InspectedElement& e) {
  std::string text;
  const auto add = [&](const std::string& part) {
    text += (text.empty() ? "" : "; ") + part;
  };
  for (const SourceField& s : e.sources)
    if (s.token != 0 || s.var_type != 0)
      add(s.name + " token " + std::to_string(s.token) +
          (s.var_type != 0 ? " type " + std::to_string(s.var_type) : ""));
  for (const RecordField& f : e.fields) add(f.name + " " + value_text(f));
  for (const LinkField& l : e.links)
    if (l.present) add(l.name);
  if (e.special_flags != 0) add("special flags " + hex(e.special_flags));
  if (e.reserved != 0) add("reserved " + hex(e.reserved));
  if (!e.gauge_link_matches) add("back link names another gauge");
  if (!e.host_words.empty()) add("host words " + host_words_text(e.host_words));
  return text;
}

std::string area_action(const InspectedArea& a) {
  if (a.kind == 4) {
    if (!a.tooltip_text) return a.help_id != 0 ? "host text" : "no text";
    std::string text = quoted(a.tooltip_text);
    if (a.event != 0 || a.arguments.present) {
      text += " arguments:";
      int n = 0;
      for (const TooltipArgument& arg : a.tooltip_arguments) {
        text += " " + std::to_string(++n) + " ";
        text += arg.number_callback.present && arg.text_callback.present
                    ? "number+text"
                : arg.number_callback.present ? "number"
                : arg.text_callback.present   ? "text"
                                              : "none";
        if (arg.token != 0)
          text += " (token " + std::to_string(arg.token) + ")";
        if (!arg.other_words.empty())
          text += " [" + host_words_text(arg.other_words) + "]";
      }
      if (!a.arguments.present) text += " none (no records)";
    }
    return text;
  }
  if (a.kind == 2) {
    if (a.event != 0 && a.callback.present)
      return "event " + std::to_string(a.event) + " and callback";
    if (a.event != 0) return "event " + std::to_string(a.event);
    if (a.callback.present) return "callback";
    return "nothing";
  }
  std::string text;
  if (a.event != 0) text += "event " + std::to_string(a.event);
  if (a.callback.present)
    text += (text.empty() ? "" : ", ") + std::string("callback");
  return text;
}

void print_gauge(const InspectedGauge& g, int slot, std::ostream& out) {
  out << "Gauge " << western_to_utf8(g.name) << " (table slot " << slot << ")\n"
      << "  version " << hex(g.version) << ", width " << g.default_width_mm
      << " mm, gauge callback " << yes_no(g.callback) << ", user word "
      << g.user_word << ", parameter text " << quoted(g.parameter_text)
      << ", host words " << host_words_text(g.host_words) << "\n";
  out << "  Elements in drawing order\n";
  Table elements({"#", "kind", "bitmap", "x", "y", "pivot/centre", "flags",
                  "failures", "fields"});
  for (const InspectedElement& e : g.elements)
    elements.add({std::to_string(e.number), element_kind_name(e.kind),
                  std::to_string(e.bitmap), std::to_string(e.x),
                  std::to_string(e.y),
                  std::to_string(e.offset_x) + "," + std::to_string(e.offset_y),
                  hex(e.image_flags), failures_text(e), element_details(e)});
  elements.print(out, "    ");
  for (const InspectedElement& e : g.elements)
    if (e.next_count > 1)
      out << "  Element " << e.number << "'s next list holds " << e.next_count
          << " elements\n";
  for (const InspectedElement& e : g.elements) {
    if (e.table.empty()) continue;
    out << "  Element " << e.number << " calibration (value -> x,y)\n";
    std::string line = "   ";
    for (const NonlinearityPoint& p : e.table) {
      std::string point = " " + number(p.value) + "->" + std::to_string(p.x) +
                          "," + std::to_string(p.y);
      if (p.angle != 0) point += "@" + number(p.angle);
      if (line.size() + point.size() > 78) {
        out << line << "\n";
        line = "   ";
      }
      line += point;
    }
    out << line << "\n";
  }
  out << "  Mouse areas\n";
  Table areas(
      {"#", "kind", "box x,y w x h", "cursor", "help", "flags", "action"});
  for (const InspectedArea& a : g.areas)
    areas.add({std::to_string(a.number),
               std::string(2 * a.depth, ' ') + area_kind_name(a.kind),
               std::to_string(a.x) + "," + std::to_string(a.y) + " " +
                   std::to_string(a.width) + " x " + std::to_string(a.height),
               std::to_string(a.cursor), a.help_id != 0 ? hex(a.help_id) : "-",
               a.mouse_flags != 0 ? hex(a.mouse_flags, 8) : "-",
               area_action(a)});
  areas.print(out, "    ");
}

std::string pe_machine(uint16_t machine) {
  return machine == 0x14C ? "i386" : hex(machine);
}

void print_resources(const InspectedModule& m, std::ostream& out) {
  out << "Resources\n";
  std::string types;
  for (const ResourceTypeCount& t : m.resource_types)
    types +=
        (types.empty() ? "" : ", ") + t.type + " " + std::to_string(t.count);
  out << "  by type: " << (types.empty() ? "none" : types) << "\n";
  out << "  Bitmaps (" << m.bitmaps.size() << ")\n";
  Table bitmaps({"id", "width x height", "bits", "bytes", "note"});
  for (const BitmapResource& b : m.bitmaps)
    bitmaps.add({b.id >= 0 ? std::to_string(b.id) : "\"" + b.name + "\"",
                 std::to_string(b.width) + " x " + std::to_string(b.height),
                 std::to_string(b.bits_per_pixel), std::to_string(b.bytes),
                 !b.problem.empty() ? b.problem
                 : b.compression != 0
                     ? "compression " + std::to_string(b.compression)
                     : ""});
  bitmaps.print(out, "    ");
  out << "  Recordings (WAVE, " << m.recordings.size() << ")\n";
  Table recordings({"id", "format", "channels", "samples/s", "bits",
                    "data bytes", "length ms", "note"});
  for (const RecordingResource& r : m.recordings) {
    const uint32_t frame = r.channels * ((r.bits_per_sample + 7u) / 8u);
    const uint64_t ms =
        frame > 0 && r.samples_per_second > 0
            ? uint64_t(r.data_bytes) / frame * 1000 / r.samples_per_second
            : 0;
    recordings.add(
        {r.id >= 0 ? std::to_string(r.id) : "\"" + r.name + "\"",
         r.format_tag == 1 ? "PCM" : std::to_string(r.format_tag),
         std::to_string(r.channels), std::to_string(r.samples_per_second),
         std::to_string(r.bits_per_sample), std::to_string(r.data_bytes),
         std::to_string(ms), r.problem});
  }
  recordings.print(out, "    ");
  if (m.missing_bitmaps.empty()) {
    out << "  Every bitmap an element names is stored.\n";
  } else {
    out << "  Bitmaps named but not stored:\n";
    for (const MissingBitmap& b : m.missing_bitmaps)
      out << "    " << b.id << " (" << western_to_utf8(b.gauge) << " element "
          << b.element << ")\n";
  }
  if (m.unnamed_bitmaps.empty()) {
    out << "  Every stored bitmap is named by an element.\n";
  } else {
    out << "  Bitmaps stored but named by no element:";
    for (int64_t id : m.unnamed_bitmaps) out << " " << id;
    out << "\n";
  }
}

}  // namespace

std::string western_to_utf8(const std::string& text) {
  // 0x80-0x9F of the code page; 0 where it has no character.
  static constexpr uint16_t kHigh[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  std::string out;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    uint32_t code = byte;
    if (byte >= 0x80 && byte < 0xA0)
      code = kHigh[byte - 0x80] ? kHigh[byte - 0x80] : 0xFFFD;
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (code >> 6)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (code >> 12)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return out;
}

void print_module_text(const InspectedModule& m, const std::string& gauge,
                       std::ostream& out) {
  if (!gauge.empty()) {
    for (size_t i = 0; i < m.gauges.size(); ++i)
      if (m.gauges[i].name == gauge)
        print_gauge(m.gauges[i], static_cast<int>(i) + 1, out);
    return;
  }
  const PeSummary& pe = m.pe;
  out << "Module " << m.file << " (" << pe.file_size << " bytes)\n"
      << "  PE32 " << pe_machine(pe.machine) << " "
      << ((pe.characteristics & 0x2000) ? "library" : "program")
      << ", image base " << hex(pe.image_base, 8) << ", image size "
      << hex(pe.image_size) << ", entry point "
      << (pe.entry_point ? hex(pe.entry_point, 8) : "none") << "\n";
  out << "  Sections\n";
  Table sections(
      {"name", "address", "virtual size", "file offset", "file size", "flags"});
  for (const PeSection& s : pe.sections)
    sections.add({s.name, hex(s.address, 8), hex(s.virtual_size),
                  hex(s.file_offset), hex(s.file_size),
                  hex(s.characteristics, 8)});
  sections.print(out, "    ");
  std::string exports;
  for (const PeExport& e : pe.exports)
    exports += (exports.empty() ? "" : ", ") +
               (e.name.empty() ? "#" + std::to_string(e.ordinal) : e.name) +
               " " + hex(e.address, 8);
  out << "  Exports: " << (exports.empty() ? "none" : exports) << "\n";
  if (m.unexpected_exports.empty() && m.missing_exports.empty()) {
    out << "    exactly ImportTable and Linkage, as a gauge module\n";
  } else {
    for (const std::string& e : m.unexpected_exports)
      out << "    unexpected export: " << e << "\n";
    for (const std::string& e : m.missing_exports)
      out << "    missing export: " << e << "\n";
  }
  std::string imports;
  for (const std::string& i : pe.imported_libraries)
    imports += (imports.empty() ? "" : ", ") + i;
  out << "  Imports: " << (imports.empty() ? "none" : imports) << "\n";
  out << "  ImportTable:";
  for (const auto& [id, pointer] : m.import_table)
    out << " {" << hex(id, 8) << ", "
        << (pointer.present ? hex(pointer.address, 8) : "null") << "}";
  out << "\n  Linkage: id " << hex(m.module_id) << ", init " << yes_no(m.init)
      << ", deinit " << yes_no(m.deinit) << ", flags " << m.flags << ", status "
      << m.status << ", version " << hex(m.version) << ", " << m.gauges.size()
      << " gauges\n";
  for (const std::string& p : m.problems)
    out << "  Note: " << western_to_utf8(p) << "\n";
  out << "\nGauges\n";
  Table gauges({"#", "name", "width mm", "callback", "elements", "areas",
                "clickable", "user word", "parameter text", "host words"});
  for (size_t i = 0; i < m.gauges.size(); ++i) {
    const InspectedGauge& g = m.gauges[i];
    gauges.add({std::to_string(i + 1), western_to_utf8(g.name),
                std::to_string(g.default_width_mm), yes_no(g.callback),
                std::to_string(g.elements.size()),
                std::to_string(g.areas.size()),
                std::to_string(clickable_areas(g)), std::to_string(g.user_word),
                quoted(g.parameter_text), host_words_text(g.host_words)});
  }
  gauges.print(out, "  ");
  for (size_t i = 0; i < m.gauges.size(); ++i) {
    out << "\n";
    print_gauge(m.gauges[i], static_cast<int>(i) + 1, out);
  }
  out << "\n";
  print_resources(m, out);
}

namespace {

// Names as JSON keys: "table entries" -> "table_entries".
std::string key(std::string name) {
  std::replace(name.begin(), name.end(), ' ', '_');
  return name;
}

Json link_json(const LinkField& l) {
  return l.present ? Json(l.address) : Json(nullptr);
}

Json field_json(const RecordField& f) {
  if (const auto* i = std::get_if<int64_t>(&f.value)) return *i;
  if (const auto* d = std::get_if<double>(&f.value)) return *d;
  return western_to_utf8(std::get<std::string>(f.value));
}

Json host_words_json(const std::vector<HostWord>& words) {
  Json out = Json::array();
  for (const HostWord& w : words)
    out.push_back({{"offset", w.offset}, {"value", w.value}});
  return out;
}

Json gauge_json(const InspectedGauge& g) {
  Json gauge = {{"name", western_to_utf8(g.name)},
                {"address", g.address},
                {"version", g.version},
                {"default_width_mm", g.default_width_mm},
                {"callback", link_json(g.callback)},
                {"user_word", g.user_word},
                {"parameter_text",
                 g.parameter_text ? Json(western_to_utf8(*g.parameter_text))
                                  : Json(nullptr)},
                {"host_words", host_words_json(g.host_words)}};
  Json elements = Json::array();
  for (const InspectedElement& e : g.elements) {
    Json element = {{"number", e.number},
                    {"depth", e.depth},
                    {"address", e.address},
                    {"kind", element_kind_name(e.kind)},
                    {"bitmap", e.bitmap},
                    {"x", e.x},
                    {"y", e.y},
                    {"offset_x", e.offset_x},
                    {"offset_y", e.offset_y},
                    {"image_flags", e.image_flags},
                    {"special_flags", e.special_flags},
                    {"reserved", e.reserved},
                    {"gauge_link_matches", e.gauge_link_matches},
                    {"next_count", e.next_count}};
    if (e.failures) {
      Json rows = Json::array();
      for (const FailureRow& r : *e.failures)
        rows.push_back(
            {{"key", r.key}, {"action", r.action}, {"reserved", r.reserved}});
      element["failures"] = rows;
    } else {
      element["failures"] = nullptr;
    }
    Json sources = Json::object();
    for (const SourceField& s : e.sources)
      sources[key(s.name)] = {{"token", s.token}, {"var_type", s.var_type}};
    element["sources"] = sources;
    Json fields = Json::object();
    for (const RecordField& f : e.fields) fields[key(f.name)] = field_json(f);
    element["fields"] = fields;
    Json links = Json::object();
    for (const LinkField& l : e.links) links[key(l.name)] = link_json(l);
    element["links"] = links;
    if (!e.table.empty()) {
      Json table = Json::array();
      for (const NonlinearityPoint& p : e.table)
        table.push_back(
            {{"x", p.x}, {"y", p.y}, {"value", p.value}, {"angle", p.angle}});
      element["nonlinearity"] = table;
    }
    element["host_words"] = host_words_json(e.host_words);
    elements.push_back(element);
  }
  gauge["elements"] = elements;
  Json areas = Json::array();
  for (const InspectedArea& a : g.areas) {
    Json area = {{"number", a.number},
                 {"depth", a.depth},
                 {"address", a.address},
                 {"kind", area_kind_name(a.kind)},
                 {"box", {a.x, a.y, a.width, a.height}},
                 {"cursor", a.cursor},
                 {"help_id", a.help_id},
                 {"mouse_flags", a.mouse_flags},
                 {"event", a.event}};
    if (a.kind == 4) {
      area["text"] = a.tooltip_text ? Json(western_to_utf8(*a.tooltip_text))
                                    : Json(nullptr);
      Json args = Json::array();
      for (const TooltipArgument& arg : a.tooltip_arguments)
        args.push_back({{"token", arg.token},
                        {"var_type", arg.var_type},
                        {"number_callback", link_json(arg.number_callback)},
                        {"text_callback", link_json(arg.text_callback)},
                        {"other_words", host_words_json(arg.other_words)}});
      area["arguments"] = a.arguments.present ? args : Json(nullptr);
    } else {
      area["callback"] = link_json(a.callback);
      area["extra"] = link_json(a.arguments);
    }
    areas.push_back(area);
  }
  gauge["mouse_areas"] = areas;
  return gauge;
}

}  // namespace

void print_module_json(const InspectedModule& m, const std::string& gauge,
                       std::ostream& out) {
  Json doc;
  if (!gauge.empty()) {
    for (const InspectedGauge& g : m.gauges)
      if (g.name == gauge) doc = gauge_json(g);
    out << doc.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
    return;
  }
  Json sections = Json::array();
  for (const PeSection& s : m.pe.sections)
    sections.push_back({{"name", s.name},
                        {"address", s.address},
                        {"virtual_size", s.virtual_size},
                        {"file_offset", s.file_offset},
                        {"file_size", s.file_size},
                        {"characteristics", s.characteristics}});
  Json exports = Json::array();
  for (const PeExport& e : m.pe.exports)
    exports.push_back(
        {{"name", e.name}, {"ordinal", e.ordinal}, {"address", e.address}});
  Json import_table = Json::array();
  for (const auto& [id, pointer] : m.import_table)
    import_table.push_back({{"id", id}, {"pointer", link_json(pointer)}});
  doc["file"] = m.file;
  doc["pe"] = {{"machine", m.pe.machine},
               {"characteristics", m.pe.characteristics},
               {"image_base", m.pe.image_base},
               {"image_size", m.pe.image_size},
               {"entry_point", m.pe.entry_point},
               {"file_size", m.pe.file_size},
               {"sections", sections},
               {"exports", exports},
               {"imported_libraries", m.pe.imported_libraries}};
  doc["unexpected_exports"] = m.unexpected_exports;
  doc["missing_exports"] = m.missing_exports;
  doc["import_table"] = import_table;
  doc["linkage"] = {{"module_id", m.module_id},
                    {"init", link_json(m.init)},
                    {"deinit", link_json(m.deinit)},
                    {"flags", m.flags},
                    {"status", m.status},
                    {"version", m.version}};
  Json gauges = Json::array();
  for (const InspectedGauge& g : m.gauges) gauges.push_back(gauge_json(g));
  doc["gauges"] = gauges;
  Json bitmaps = Json::array();
  for (const BitmapResource& b : m.bitmaps)
    bitmaps.push_back({{"id", b.id},
                       {"name", b.name},
                       {"file_offset", b.file_offset},
                       {"bytes", b.bytes},
                       {"width", b.width},
                       {"height", b.height},
                       {"bits_per_pixel", b.bits_per_pixel},
                       {"compression", b.compression},
                       {"problem", b.problem}});
  doc["bitmaps"] = bitmaps;
  Json recordings = Json::array();
  for (const RecordingResource& r : m.recordings)
    recordings.push_back({{"id", r.id},
                          {"name", r.name},
                          {"file_offset", r.file_offset},
                          {"bytes", r.bytes},
                          {"format_tag", r.format_tag},
                          {"channels", r.channels},
                          {"samples_per_second", r.samples_per_second},
                          {"bits_per_sample", r.bits_per_sample},
                          {"data_bytes", r.data_bytes},
                          {"problem", r.problem}});
  doc["recordings"] = recordings;
  Json types = Json::object();
  for (const ResourceTypeCount& t : m.resource_types) types[t.type] = t.count;
  doc["resource_types"] = types;
  Json missing = Json::array();
  for (const MissingBitmap& b : m.missing_bitmaps)
    missing.push_back(
        {{"id", b.id}, {"gauge", b.gauge}, {"element", b.element}});
  doc["missing_bitmaps"] = missing;
  doc["unnamed_bitmaps"] = m.unnamed_bitmaps;
  doc["problems"] = m.problems;
  out << doc.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
}

std::vector<FlatField> flatten_gauge(const InspectedGauge& g) {
  std::vector<FlatField> out;
  const auto add = [&](std::string key, std::string value) {
    out.emplace_back(std::move(key), std::move(value));
  };
  add("version", hex(g.version));
  add("width mm", std::to_string(g.default_width_mm));
  add("gauge callback", yes_no(g.callback));
  add("user word", std::to_string(g.user_word));
  add("parameter text", quoted(g.parameter_text));
  add("host words", host_words_text(g.host_words));
  add("elements", std::to_string(g.elements.size()));
  for (const InspectedElement& e : g.elements) {
    const std::string at = "element " + std::to_string(e.number) + " ";
    add(at + "depth", std::to_string(e.depth));
    add(at + "kind", element_kind_name(e.kind));
    add(at + "bitmap", std::to_string(e.bitmap));
    add(at + "position", std::to_string(e.x) + "," + std::to_string(e.y));
    add(at + "pivot",
        std::to_string(e.offset_x) + "," + std::to_string(e.offset_y));
    add(at + "image flags", hex(e.image_flags));
    add(at + "special flags", hex(e.special_flags));
    add(at + "reserved", hex(e.reserved));
    add(at + "back link", e.gauge_link_matches ? "own gauge" : "other");
    add(at + "next elements", std::to_string(e.next_count));
    add(at + "failures", failures_text(e));
    for (const SourceField& s : e.sources)
      add(at + s.name, "token " + std::to_string(s.token) + " type " +
                           std::to_string(s.var_type));
    for (const RecordField& f : e.fields) add(at + f.name, value_text(f));
    for (const LinkField& l : e.links) add(at + l.name, yes_no(l));
    std::string table;
    for (const NonlinearityPoint& p : e.table)
      table += (table.empty() ? "" : " ") + number(p.value) + "->" +
               std::to_string(p.x) + "," + std::to_string(p.y) + "@" +
               number(p.angle);
    add(at + "nonlinearity", table.empty() ? "-" : table);
    add(at + "host words", host_words_text(e.host_words));
  }
  add("mouse areas", std::to_string(g.areas.size()));
  for (const InspectedArea& a : g.areas) {
    const std::string at = "area " + std::to_string(a.number) + " ";
    add(at + "kind", area_kind_name(a.kind));
    add(at + "depth", std::to_string(a.depth));
    add(at + "box", std::to_string(a.x) + "," + std::to_string(a.y) + " " +
                        std::to_string(a.width) + " x " +
                        std::to_string(a.height));
    add(at + "cursor", std::to_string(a.cursor));
    add(at + "help id", hex(a.help_id));
    add(at + "mouse flags", hex(a.mouse_flags, 8));
    add(at + (a.kind == 4 ? "arguments" : "event"), std::to_string(a.event));
    if (a.kind == 4) {
      add(at + "text", quoted(a.tooltip_text));
      add(at + "argument records", yes_no(a.arguments));
      for (size_t k = 0; k < a.tooltip_arguments.size(); ++k) {
        const TooltipArgument& arg = a.tooltip_arguments[k];
        const std::string ak = at + "argument " + std::to_string(k + 1) + " ";
        add(ak + "token", std::to_string(arg.token) + " type " +
                              std::to_string(arg.var_type));
        add(ak + "number callback", yes_no(arg.number_callback));
        add(ak + "text callback", yes_no(arg.text_callback));
        add(ak + "other words", host_words_text(arg.other_words));
      }
    } else {
      add(at + "callback", yes_no(a.callback));
      add(at + "extra", yes_no(a.arguments));
    }
  }
  return out;
}

std::vector<FlatField> flatten_module(const InspectedModule& m) {
  std::vector<FlatField> out;
  const auto add = [&](std::string key, std::string value) {
    out.emplace_back(std::move(key), std::move(value));
  };
  std::string exports;
  for (const PeExport& e : m.pe.exports)
    exports += (exports.empty() ? "" : " ") +
               (e.name.empty() ? "#" + std::to_string(e.ordinal) : e.name);
  add("exports", exports);
  for (size_t i = 0; i < m.import_table.size(); ++i)
    add("ImportTable entry " + std::to_string(i + 1),
        hex(m.import_table[i].first) + " " +
            (m.import_table[i].second.present ? "set" : "null"));
  add("Linkage module id", hex(m.module_id));
  add("Linkage init", yes_no(m.init));
  add("Linkage deinit", yes_no(m.deinit));
  add("Linkage flags", std::to_string(m.flags));
  add("Linkage status", std::to_string(m.status));
  add("Linkage version", hex(m.version));
  std::string order;
  for (const InspectedGauge& g : m.gauges)
    order += (order.empty() ? "" : " ") + g.name;
  add("gauge order", order);
  for (const BitmapResource& b : m.bitmaps) {
    const std::string at =
        "bitmap " + (b.id >= 0 ? std::to_string(b.id) : "\"" + b.name + "\"");
    add(at + " size", std::to_string(b.width) + " x " +
                          std::to_string(b.height) + " " +
                          std::to_string(b.bits_per_pixel) + " bits");
    add(at + " content",
        hex(b.content_hash, 16) + " (" + std::to_string(b.bytes) + " bytes)");
  }
  for (const RecordingResource& r : m.recordings) {
    const std::string at = "recording " + (r.id >= 0 ? std::to_string(r.id)
                                                     : "\"" + r.name + "\"");
    add(at + " format", std::to_string(r.format_tag) + " " +
                            std::to_string(r.channels) + " ch " +
                            std::to_string(r.samples_per_second) + "/s " +
                            std::to_string(r.bits_per_sample) + " bits, " +
                            std::to_string(r.data_bytes) + " data bytes");
    add(at + " content",
        hex(r.content_hash, 16) + " (" + std::to_string(r.bytes) + " bytes)");
  }
  return out;
}
