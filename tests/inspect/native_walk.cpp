#include "native_walk.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/module_file/read_module.h"
#include "module/linkage.h"
#include "sound/recordings.h"

namespace {

LinkField link(const std::string& name, const void* pointer) {
  return {.name = name, .present = pointer != nullptr, .address = 0};
}

template <class Routine>
LinkField routine(const std::string& name, Routine r) {
  return {.name = name, .present = r != nullptr, .address = 0};
}

SourceField source(const std::string& name, const ModuleVar& var) {
  return {.name = name, .token = var.token, .var_type = var.var_type};
}

RecordField integer(const std::string& name, int64_t value) {
  return {.name = name, .value = value, .hexadecimal = false};
}

RecordField hex_field(const std::string& name, uint32_t value) {
  return {.name = name, .value = int64_t(value), .hexadecimal = true};
}

RecordField real(const std::string& name, double value) {
  return {.name = name, .value = value, .hexadecimal = false};
}

void add_kind_fields(ElementHeader* head, InspectedElement& e) {
  switch (head->kind) {
    case kNeedle: {
      const auto* n = element_as<NeedleElement>(head);
      e.sources = {source("source", n->source)};
      e.fields = {integer("table entries", n->table_entries),
                  integer("max turn rate degrees", n->max_turn_rate_degrees)};
      e.links = {routine("callback", n->callback)};
      if (n->table != nullptr)
        for (int32_t i = 0; i < n->table_entries; ++i)
          e.table.push_back({.x = n->table[i].x,
                             .y = n->table[i].y,
                             .value = n->table[i].value,
                             .angle = n->table[i].angle});
      break;
    }
    case kString: {
      const auto* s = element_as<StringElement>(head);
      e.sources = {source("source 1", s->sources[0]),
                   source("source 2", s->sources[1]),
                   source("source 3", s->sources[2])};
      e.fields = {
          integer("box width", s->box_width),
          integer("box height", s->box_height),
          hex_field("text colour", s->text_colour),
          hex_field("background colour", s->background_colour),
          hex_field("highlight colour", s->highlight_colour),
          {.name = "font face",
           .value = std::string(s->font_face, strnlen(s->font_face, 32)),
           .hexadecimal = false},
          integer("font weight", s->font_weight),
          integer("character set", s->character_set),
          hex_field("text flags", s->text_flags),
          integer("characters", s->characters)};
      e.links = {link("text buffer", s->text),
                 link("highlights", s->highlights),
                 routine("callback", s->callback)};
      break;
    }
    case kSlider: {
      const auto* s = element_as<SliderElement>(head);
      e.sources = {source("x source", s->x_source),
                   source("y source", s->y_source)};
      e.fields = {real("x scale", s->x_scale), real("y scale", s->y_scale)};
      e.links = {routine("x callback", s->x_callback),
                 routine("y callback", s->y_callback)};
      break;
    }
    case kIcon: {
      const auto* i = element_as<IconElement>(head);
      e.sources = {source("source", i->source)};
      e.fields = {real("scale", i->scale), integer("offset", i->offset),
                  integer("icons", i->icons)};
      e.links = {routine("callback", i->callback)};
      break;
    }
    case kMovingImage: {
      const auto* m = element_as<MovingImageElement>(head);
      e.sources = {source("x source", m->x_source),
                   source("y source", m->y_source)};
      e.fields = {real("x min", m->x_min), real("x max", m->x_max),
                  real("y min", m->y_min), real("y max", m->y_max)};
      e.links = {routine("x callback", m->x_callback),
                 routine("y callback", m->y_callback)};
      break;
    }
    case kSprite: {
      const auto* s = element_as<SpriteElement>(head);
      e.sources = {source("x source", s->x_source),
                   source("y source", s->y_source),
                   source("rotation source", s->rotation_source)};
      e.fields = {real("x scale", s->x_scale), real("y scale", s->y_scale),
                  real("rotation scale", s->rotation_scale),
                  real("texture scale x", s->texture_scale_x),
                  real("texture scale y", s->texture_scale_y)};
      e.links = {routine("x callback", s->x_callback),
                 routine("y callback", s->y_callback),
                 routine("rotation callback", s->rotation_callback)};
      break;
    }
    default:
      break;
  }
}

void walk_elements(const GaugeHeader& gauge, ElementHeader* const* list,
                   int depth, InspectedGauge& out) {
  for (; list != nullptr && *list != nullptr; ++list) {
    ElementHeader* head = *list;
    InspectedElement e;
    e.number = static_cast<int>(out.elements.size()) + 1;
    e.depth = depth;
    e.kind = head->kind;
    e.bitmap = head->bitmap;
    e.x = head->x;
    e.y = head->y;
    e.offset_x = head->offset_x;
    e.offset_y = head->offset_y;
    e.image_flags = head->image_flags;
    e.special_flags = head->special_flags;
    e.reserved = head->reserved;
    e.gauge_link_matches = head->gauge == &gauge;
    if (head->failures != nullptr) {
      e.failures.emplace();
      for (const FailureEntry* f = head->failures; f->key != 0; ++f)
        e.failures->push_back(
            {.key = f->key, .action = f->action, .reserved = f->reserved});
    }
    add_kind_fields(head, e);
    if (head->next != nullptr)
      for (ElementHeader* const* n = head->next; *n != nullptr; ++n)
        ++e.next_count;
    out.elements.push_back(std::move(e));
    walk_elements(gauge, head->next, depth + 1, out);
  }
}

template <size_t N>
void add_host_words(const uint32_t (&words)[N], uint32_t first_offset,
                    std::vector<HostWord>& out) {
  for (size_t i = 0; i < N; ++i)
    if (words[i] != 0)
      out.push_back({.offset = first_offset + 4 * static_cast<uint32_t>(i),
                     .value = words[i]});
}

void walk_areas(const MouseRect* r, InspectedGauge& out) {
  int depth = 0;
  for (int number = 1; r != nullptr; ++r, ++number) {
    InspectedArea a;
    a.number = number;
    a.kind = r->kind;
    if (a.kind == kMouseEndParent) depth = std::max(0, depth - 1);
    a.depth = depth;
    if (a.kind == kMouseParent) ++depth;
    a.x = r->box.x;
    a.y = r->box.y;
    a.width = r->box.width;
    a.height = r->box.height;
    a.cursor = r->cursor;
    a.help_id = r->help_id;
    a.mouse_flags = r->mouse_flags;
    a.event = r->event;
    if (a.kind == kMouseTooltip) {
      a.callback = link("text", r->text);
      if (r->text != nullptr) a.tooltip_text = r->text;
      a.arguments = link("arguments", r->args);
      if (r->args != nullptr)
        for (uint32_t k = 0; k < r->event; ++k) {
          const TooltipArg& arg = r->args[k];
          TooltipArgument t{
              .token = arg.source.token,
              .var_type = arg.source.var_type,
              .number_callback = routine("number callback", arg.number),
              .text_callback = routine("text callback", arg.text),
              .other_words = {}};
          add_host_words(arg.zero_1c, 0x1C, t.other_words);
          if (arg.zero_40 != 0)
            t.other_words.push_back({.offset = 0x40, .value = arg.zero_40});
          a.tooltip_arguments.push_back(std::move(t));
        }
    } else {
      a.callback = routine("callback", r->callback);
      a.arguments = link("arguments", r->args);
    }
    out.areas.push_back(std::move(a));
    if (r->kind == kMouseEnd) break;
  }
}

std::vector<uint8_t> file_bytes(const std::filesystem::path& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  read_input_file(path.string(), kPictureFile, bytes, error);
  return bytes;
}

}  // namespace

InspectedModule walk_linked_module(const std::string& artwork_folder) {
  InspectedModule m;
  m.pe.exports = {{.name = "ImportTable", .ordinal = 0, .address = 0},
                  {.name = "Linkage", .ordinal = 0, .address = 0}};
  for (const ImportEntry& entry : ImportTable.entries) {
    m.import_table.push_back({entry.id, link("pointer", entry.pointer)});
    if (entry.id == 0) break;
  }
  m.module_id = Linkage.module_id;
  m.init = routine("init", Linkage.init);
  m.deinit = routine("deinit", Linkage.deinit);
  m.flags = Linkage.flags;
  m.status = Linkage.status;
  m.version = Linkage.version;
  for (const GaugeHeader* g : Linkage.gauges) {
    if (g == nullptr) break;
    InspectedGauge gauge;
    gauge.version = g->version;
    gauge.name = g->name;
    gauge.default_width_mm = g->default_width_mm;
    gauge.callback = routine("callback", g->callback);
    gauge.user_word = g->user_word;
    if (g->parameter_text != nullptr) gauge.parameter_text = g->parameter_text;
    add_host_words(g->host_0c, 0x0C, gauge.host_words);
    add_host_words(g->host_30, 0x30, gauge.host_words);
    add_host_words(g->host_60, 0x60, gauge.host_words);
    walk_elements(*g, g->elements, 0, gauge);
    walk_areas(g->mouse_areas, gauge);
    m.gauges.push_back(std::move(gauge));
  }

  // A .bmp file is a 14-byte file header and then the DIB.
  std::vector<BitmapResource> bitmaps;
  for (const auto& entry :
       std::filesystem::directory_iterator(artwork_folder)) {
    if (entry.path().extension() != ".bmp") continue;
    const std::string stem = entry.path().stem().string();
    if (stem.empty() || !std::all_of(stem.begin(), stem.end(), ::isdigit))
      continue;
    const std::vector<uint8_t> bytes = file_bytes(entry.path());
    BitmapResource b;
    b.id = std::stoll(stem);
    if (bytes.size() > 14) describe_bitmap(std::span(bytes).subspan(14), b);
    bitmaps.push_back(std::move(b));
  }
  std::sort(bitmaps.begin(), bitmaps.end(),
            [](const auto& a, const auto& b) { return a.id < b.id; });
  m.bitmaps = std::move(bitmaps);
  for (int32_t id = 0; id < 4096; ++id)
    if (const EmbeddedRecording* r = find_recording(id)) {
      RecordingResource recording;
      recording.id = id;
      describe_recording({r->bytes, r->size}, recording);
      m.recordings.push_back(std::move(recording));
    }
  cross_check_bitmaps(m);
  return m;
}
