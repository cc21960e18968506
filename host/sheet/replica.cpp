#include "host/sheet/replica.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

constexpr size_t kMaxReplicaElements = 512;
constexpr size_t kMaxTableEntries = 1024;

size_t record_bytes(uint32_t kind) {
  switch (kind) {
    case kNeedle:
      return sizeof(NeedleElement);
    case kString:
      return sizeof(StringElement);
    case kSlider:
      return sizeof(SliderElement);
    case kIcon:
      return sizeof(IconElement);
    case kMovingImage:
      return sizeof(MovingImageElement);
    case kSprite:
      return sizeof(SpriteElement);
    default:
      return sizeof(StaticImageElement);
  }
}

// Whole eight-byte words for a record and the list behind it.
size_t words_for(uint32_t kind) {
  return (record_bytes(kind) + 2 * sizeof(ElementHeader*) + 7) / 8;
}

double number_field(const InspectedElement& element, const char* name,
                    double otherwise = 0) {
  for (const RecordField& field : element.fields) {
    if (field.name != name) continue;
    if (const double* d = std::get_if<double>(&field.value)) return *d;
    if (const int64_t* i = std::get_if<int64_t>(&field.value))
      return double(*i);
  }
  return otherwise;
}

int32_t int_field(const InspectedElement& element, const char* name,
                  int32_t otherwise = 0) {
  const double value = number_field(element, name, otherwise);
  return value >= -2147483648.0 && value <= 2147483647.0 ? int32_t(value)
                                                         : otherwise;
}

void bind(ModuleVar& var, const InspectedElement& element, const char* name) {
  for (const SourceField& source : element.sources)
    if (source.name == name) {
      var.token = source.token;
      var.var_type = source.var_type;
    }
}

}  // namespace

GaugeReplica::GaugeReplica(const InspectedGauge& gauge,
                           const std::string& module_name)
    : name_(gauge.name), module_name_(module_name) {
  const size_t count = std::min(gauge.elements.size(), kMaxReplicaElements);
  for (size_t i = 0; i < count; ++i) {
    const InspectedElement& source = gauge.elements[i];
    const uint32_t kind = source.kind <= kSprite ? source.kind : kStaticImage;
    records_.push_back(std::make_unique<uint64_t[]>(words_for(kind)));
    auto* head = new (records_.back().get()) ElementHeader{};
    std::memset(static_cast<void*>(head), 0, record_bytes(kind));
    head->kind = kind;
    head->bitmap = source.bitmap;
    head->x = source.x;
    head->y = source.y;
    head->offset_x = source.offset_x;
    head->offset_y = source.offset_y;
    head->gauge = &header_;
    head->image_flags = source.image_flags;
    if (source.failures) {
      std::vector<FailureEntry>& list = failure_lists_.emplace_back();
      for (const FailureRow& row : *source.failures)
        list.push_back({row.key, row.action, 0});
      list.push_back({0, 0, 0});
      head->failures = list.data();
    }
    for (const LinkField& link : source.links)
      if (link.present && link.name.ends_with("callback"))
        left_out_.push_back("element " + std::to_string(source.number) + " " +
                            element_kind_name(source.kind) + ": its " +
                            link.name + " cannot run here");
    switch (kind) {
      case kNeedle: {
        auto* e = reinterpret_cast<NeedleElement*>(head);
        bind(e->source, source, "source");
        std::vector<NonlinearityEntry>& table = tables_.emplace_back();
        for (const NonlinearityPoint& p : source.table) {
          if (table.size() >= kMaxTableEntries) break;
          table.push_back({p.x, p.y, p.value, 0});
        }
        e->table = table.empty() ? nullptr : table.data();
        e->table_entries = int32_t(table.size());
        e->max_turn_rate_degrees = int_field(source, "max turn rate degrees");
        break;
      }
      case kString: {
        auto* e = reinterpret_cast<StringElement*>(head);
        bind(e->sources[0], source, "source 1");
        bind(e->sources[1], source, "source 2");
        bind(e->sources[2], source, "source 3");
        e->box_width = int_field(source, "box width");
        e->box_height = int_field(source, "box height");
        e->text_colour = uint32_t(int_field(source, "text colour"));
        e->background_colour = uint32_t(int_field(source, "background colour"));
        e->highlight_colour = uint32_t(int_field(source, "highlight colour"));
        e->font_weight = int_field(source, "font weight");
        e->character_set = int_field(source, "character set");
        e->text_flags = uint32_t(int_field(source, "text flags"));
        e->characters = int_field(source, "characters");
        for (const RecordField& field : source.fields)
          if (field.name == "font face")
            if (const auto* text = std::get_if<std::string>(&field.value))
              std::strncpy(e->font_face, text->c_str(),
                           sizeof e->font_face - 1);
        break;
      }
      case kSlider: {
        auto* e = reinterpret_cast<SliderElement*>(head);
        bind(e->x_source, source, "x source");
        bind(e->y_source, source, "y source");
        e->x_scale = number_field(source, "x scale");
        e->y_scale = number_field(source, "y scale");
        break;
      }
      case kIcon: {
        auto* e = reinterpret_cast<IconElement*>(head);
        bind(e->source, source, "source");
        e->scale = number_field(source, "scale", 1);
        e->offset = int_field(source, "offset");
        e->icons = int_field(source, "icons");
        break;
      }
      case kMovingImage: {
        auto* e = reinterpret_cast<MovingImageElement*>(head);
        bind(e->x_source, source, "x source");
        bind(e->y_source, source, "y source");
        e->x_min = number_field(source, "x min");
        e->x_max = number_field(source, "x max");
        e->y_min = number_field(source, "y min");
        e->y_max = number_field(source, "y max");
        break;
      }
      case kSprite: {
        auto* e = reinterpret_cast<SpriteElement*>(head);
        bind(e->x_source, source, "x source");
        bind(e->y_source, source, "y source");
        bind(e->rotation_source, source, "rotation source");
        e->x_scale = number_field(source, "x scale");
        e->y_scale = number_field(source, "y scale");
        e->rotation_scale = number_field(source, "rotation scale");
        e->texture_scale_x = float(number_field(source, "texture scale x", 1));
        e->texture_scale_y = float(number_field(source, "texture scale y", 1));
        break;
      }
      default:
        break;
    }
  }
  // One chain in drawing order, each element's list right behind it.
  auto list_of = [&](size_t i) {
    return reinterpret_cast<ElementHeader**>(
        reinterpret_cast<char*>(records_[i].get()) +
        record_bytes(
            reinterpret_cast<ElementHeader*>(records_[i].get())->kind));
  };
  for (size_t i = 0; i < records_.size(); ++i) {
    ElementHeader** list = list_of(i);
    list[0] = reinterpret_cast<ElementHeader*>(records_[i].get());
    list[1] = nullptr;
    if (i > 0)
      reinterpret_cast<ElementHeader*>(records_[i - 1].get())->next = list;
  }
  header_.version = gauge.version;
  header_.name = name_.c_str();
  header_.elements = records_.empty() ? nullptr : list_of(0);
  header_.default_width_mm = gauge.default_width_mm;
  if (gauge.callback.present)
    left_out_.push_back("its gauge callback cannot run here");
  if (!gauge.areas.empty())
    left_out_.push_back("its mouse areas are not answered here");
  linkage_.gauges[0] = &header_;
}

LoadedModule GaugeReplica::module() {
  return {&imports_, &linkage_, nullptr, module_name_};
}

std::unique_ptr<BitmapSource> file_bitmaps(const InspectedModule& module,
                                           std::span<const uint8_t> file,
                                           const InspectedGauge& gauge) {
  std::vector<int32_t> named;
  for (const InspectedElement& element : gauge.elements)
    for (int32_t id : bitmaps_named(element)) named.push_back(id);
  auto bitmaps = std::make_unique<MemoryBitmaps>();
  for (const BitmapResource& bitmap : module.bitmaps) {
    if (std::find(named.begin(), named.end(), bitmap.id) == named.end() ||
        uint64_t(bitmap.file_offset) + bitmap.bytes > file.size())
      continue;
    Image image;
    std::string why;
    if (parse_dib(file.subspan(bitmap.file_offset, bitmap.bytes), image, why))
      bitmaps->add(int32_t(bitmap.id), std::move(image));
  }
  return bitmaps;
}
