// The fixed-layout records shared with the simulator: variable bindings,
// gauge headers, the seven drawing element kinds, calibration tables, failure
// lists, mouse areas and tooltip arguments. Words the module leaves zero and
// the simulator owns are declared as plain arrays of 32-bit words.
#pragma once

#include <cstddef>
#include <cstdint>

#include "module/callconv.h"

// The simulator's records are packed to 4 bytes. The native 64-bit build
// keeps natural alignment instead: its layout is its own, and unaligned
// pointers would be undefined behaviour there.
#if RECORDS_ARE_32BIT
#pragma pack(push, 4)
#endif

struct ElementHeader;
struct GaugeHeader;
struct MouseRect;

// Token 0 means unbound. For the BCD radio variables the simulator stores a
// 32-bit integer in the first four bytes of `value`.
struct ModuleVar {
  int32_t token;
  uint32_t host_pointer;
  int32_t var_type;
  union {
    double number;
    int32_t integer;
    uint8_t bytes[8];
  } value;
  uint8_t previous[8];
};

enum Notice : int32_t {
  kNoticeInstall = 2,
  kNoticeUpdate = 6,
  kNoticeKill = 12,
  kNoticeConnect = 14,
};

enum MouseFlag : uint32_t {
  kMouseLeftSingle = 0x20000000u,
  kMouseRightSingle = 0x80000000u,
  kMouseRepeat = 0x00200000u,
  kMouseLeftDrag = 0x00800000u,
};

enum Cursor : int32_t {
  kCursorNone = -1,
  kCursorUpArrow = 1,
  kCursorDownArrow = 2,
  kCursorHand = 5,
};

enum ElementKind : uint32_t {
  kStaticImage = 0,
  kNeedle = 1,
  kString = 2,
  kSlider = 3,
  kIcon = 4,
  kMovingImage = 5,
  kSprite = 6,
};

enum ImageFlag : uint32_t {
  kImageTransparent = 0x00000001u,
  kImageErase = 0x00000002u,
  kImageBright = 0x00000004u,
  kImageSmooth = 0x00000080u,
  kImageLuminous = 0x00004000u,
  kImageHidden = 0x40000000u,
  kImageOnScreen = 0x80000000u,
};

struct PointRecord {
  int32_t x;
  int32_t y;
  GaugeHeader* gauge;
  MouseRect* area;
};

using GaugeCallback = void(GAUGE_CALL*)(GaugeHeader* gauge, int32_t notice,
                                        void* extra);
using ElementCallback = double(GAUGE_CALL*)(ElementHeader* element);
using MouseCallback = int32_t(GAUGE_CALL*)(PointRecord* point, uint32_t flags);
using TooltipNumberCallback = double(GAUGE_CALL*)(uint32_t, uint32_t, uint32_t,
                                                  uint32_t, uint32_t, uint32_t);
using TooltipTextCallback = const char*(GAUGE_CALL*)(uint32_t, uint32_t,
                                                     uint32_t, uint32_t,
                                                     uint32_t, uint32_t);
using ModuleRoutine = void(GAUGE_CALL*)();

struct NonlinearityEntry {
  int32_t x;
  int32_t y;
  double value;
  double angle;
};

struct FailureEntry {
  int32_t key;
  int32_t action;
  int32_t reserved;
};

struct GaugeHeader {
  uint32_t version;
  const char* name;
  ElementHeader** elements;
  uint32_t host_0c[8];
  uint32_t default_width_mm;
  uint32_t host_30[8];
  MouseRect* mouse_areas;
  GaugeCallback callback;
  uint32_t user_word;
  char* parameter_text;
  uint32_t host_60[12];
};

struct ElementHeader {
  uint32_t kind;
  int32_t bitmap;
  int32_t x;
  int32_t y;
  int32_t previous_x;
  int32_t previous_y;
  int32_t offset_x;
  int32_t offset_y;
  GaugeHeader* gauge;
  ElementHeader* previous;
  ElementHeader** next;
  const FailureEntry* failures;
  uint32_t image_flags;
  uint32_t special_flags;
  uint32_t reserved;
};

struct StaticImageElement {
  ElementHeader head;
  uint32_t host_3c[9];
};

struct NeedleElement {
  ElementHeader head;
  ModuleVar source;
  uint32_t host_58[6];
  NonlinearityEntry* table;
  int32_t table_entries;
  int32_t max_turn_rate_degrees;
  uint32_t host_7c[25];
  ElementCallback callback;
  uint32_t host_e4[2];
};

struct StringElement {
  ElementHeader head;
  ModuleVar sources[3];
  uint32_t host_90[10];
  char* text;
  uint32_t host_bc;
  int32_t box_width;
  int32_t box_height;
  uint32_t host_c8[2];
  uint32_t text_colour;
  uint32_t background_colour;
  uint32_t highlight_colour;
  uint32_t host_dc[7];
  char font_face[32];
  int32_t font_weight;
  int32_t character_set;
  uint32_t text_flags;
  int32_t characters;
  void* highlights;
  uint32_t host_12c[3];
  ElementCallback callback;
  uint32_t host_13c[2];
};

struct SliderElement {
  ElementHeader head;
  ModuleVar x_source;
  uint32_t host_58;
  double x_scale;
  uint32_t host_64;
  ModuleVar y_source;
  uint32_t host_84;
  double y_scale;
  uint32_t host_90[6];
  ElementCallback x_callback;
  ElementCallback y_callback;
  uint32_t host_b0[4];
};

struct IconElement {
  ElementHeader head;
  ModuleVar source;
  uint32_t host_58[3];
  double scale;
  int32_t offset;
  int32_t icons;
  uint32_t host_74[4];
  ElementCallback callback;
  uint32_t host_88;
};

struct MovingImageElement {
  ElementHeader head;
  ModuleVar x_source;
  uint32_t host_58;
  double x_min;
  double x_max;
  uint32_t host_6c;
  ModuleVar y_source;
  uint32_t host_8c;
  double y_min;
  double y_max;
  uint32_t host_a0[21];
  ElementCallback x_callback;
  ElementCallback y_callback;
  uint32_t host_fc[4];
};

struct SpriteElement {
  ElementHeader head;
  ModuleVar x_source;
  uint32_t host_58;
  double x_scale;
  ModuleVar y_source;
  uint32_t host_80;
  double y_scale;
  ModuleVar rotation_source;
  uint32_t host_a8;
  double rotation_scale;
  float texture_scale_x;
  float texture_scale_y;
  uint32_t host_bc[32];
  ElementCallback x_callback;
  ElementCallback y_callback;
  ElementCallback rotation_callback;
  uint32_t host_148[6];
};

enum MouseRectKind : uint32_t {
  kMouseEnd = 0,
  kMouseParent = 1,
  kMouseChild = 2,
  kMouseEndParent = 3,
  kMouseTooltip = 4,
};

struct TooltipArg {
  ModuleVar source;
  uint32_t zero_1c[8];
  TooltipNumberCallback number;
  uint32_t zero_40;
  TooltipTextCallback text;
};

struct MouseBox {
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
};

struct MouseRect {
  uint32_t kind;
  MouseBox box;
  int32_t cursor;
  uint32_t help_id;
  uint32_t mouse_flags;
  // On a tooltip record: the number of arguments.
  uint32_t event;
  // On a tooltip record: the tooltip text.
  union {
    MouseCallback callback;
    const char* text;
  };
  // On a tooltip record: the argument records.
  TooltipArg* args;
};

struct ImportEntry {
  uint32_t id;
  void* pointer;
};

struct ImportTableRecord {
  ImportEntry entries[2];
};

struct LinkageRecord {
  uint32_t module_id;
  ModuleRoutine init;
  ModuleRoutine deinit;
  uint32_t flags;
  uint32_t status;
  uint32_t version;
  GaugeHeader* gauges[61];
};

#if RECORDS_ARE_32BIT
#pragma pack(pop)
#endif

#if RECORDS_ARE_32BIT
static_assert(sizeof(ModuleVar) == 28);
static_assert(offsetof(ModuleVar, value) == 12);
static_assert(offsetof(ModuleVar, previous) == 20);
static_assert(sizeof(PointRecord) == 16);
static_assert(sizeof(NonlinearityEntry) == 24);
static_assert(sizeof(FailureEntry) == 12);

static_assert(sizeof(GaugeHeader) == 144);
static_assert(offsetof(GaugeHeader, name) == 0x04);
static_assert(offsetof(GaugeHeader, elements) == 0x08);
static_assert(offsetof(GaugeHeader, default_width_mm) == 0x2C);
static_assert(offsetof(GaugeHeader, mouse_areas) == 0x50);
static_assert(offsetof(GaugeHeader, callback) == 0x54);
static_assert(offsetof(GaugeHeader, user_word) == 0x58);
static_assert(offsetof(GaugeHeader, parameter_text) == 0x5C);

static_assert(sizeof(ElementHeader) == 60);
static_assert(offsetof(ElementHeader, bitmap) == 0x04);
static_assert(offsetof(ElementHeader, x) == 0x08);
static_assert(offsetof(ElementHeader, previous_x) == 0x10);
static_assert(offsetof(ElementHeader, offset_x) == 0x18);
static_assert(offsetof(ElementHeader, gauge) == 0x20);
static_assert(offsetof(ElementHeader, previous) == 0x24);
static_assert(offsetof(ElementHeader, next) == 0x28);
static_assert(offsetof(ElementHeader, failures) == 0x2C);
static_assert(offsetof(ElementHeader, image_flags) == 0x30);
static_assert(offsetof(ElementHeader, special_flags) == 0x34);
static_assert(offsetof(ElementHeader, reserved) == 0x38);

static_assert(sizeof(StaticImageElement) == 96);

static_assert(sizeof(NeedleElement) == 236);
static_assert(offsetof(NeedleElement, source) == 0x3C);
static_assert(offsetof(NeedleElement, source.value) == 0x48);
static_assert(offsetof(NeedleElement, table) == 0x70);
static_assert(offsetof(NeedleElement, table_entries) == 0x74);
static_assert(offsetof(NeedleElement, max_turn_rate_degrees) == 0x78);
static_assert(offsetof(NeedleElement, callback) == 0xE0);

static_assert(sizeof(StringElement) == 324);
static_assert(offsetof(StringElement, sources[1]) == 0x58);
static_assert(offsetof(StringElement, sources[2]) == 0x74);
static_assert(offsetof(StringElement, text) == 0xB8);
static_assert(offsetof(StringElement, box_width) == 0xC0);
static_assert(offsetof(StringElement, box_height) == 0xC4);
static_assert(offsetof(StringElement, text_colour) == 0xD0);
static_assert(offsetof(StringElement, background_colour) == 0xD4);
static_assert(offsetof(StringElement, highlight_colour) == 0xD8);
static_assert(offsetof(StringElement, font_face) == 0xF8);
static_assert(offsetof(StringElement, font_weight) == 0x118);
static_assert(offsetof(StringElement, character_set) == 0x11C);
static_assert(offsetof(StringElement, text_flags) == 0x120);
static_assert(offsetof(StringElement, characters) == 0x124);
static_assert(offsetof(StringElement, highlights) == 0x128);
static_assert(offsetof(StringElement, callback) == 0x138);

static_assert(sizeof(SliderElement) == 192);
static_assert(offsetof(SliderElement, x_source) == 0x3C);
static_assert(offsetof(SliderElement, x_scale) == 0x5C);
static_assert(offsetof(SliderElement, y_source) == 0x68);
static_assert(offsetof(SliderElement, y_scale) == 0x88);
static_assert(offsetof(SliderElement, x_callback) == 0xA8);
static_assert(offsetof(SliderElement, y_callback) == 0xAC);

static_assert(sizeof(IconElement) == 140);
static_assert(offsetof(IconElement, source) == 0x3C);
static_assert(offsetof(IconElement, scale) == 0x64);
static_assert(offsetof(IconElement, offset) == 0x6C);
static_assert(offsetof(IconElement, icons) == 0x70);
static_assert(offsetof(IconElement, callback) == 0x84);

static_assert(sizeof(MovingImageElement) == 268);
static_assert(offsetof(MovingImageElement, x_source) == 0x3C);
static_assert(offsetof(MovingImageElement, x_min) == 0x5C);
static_assert(offsetof(MovingImageElement, x_max) == 0x64);
static_assert(offsetof(MovingImageElement, y_source) == 0x70);
static_assert(offsetof(MovingImageElement, y_min) == 0x90);
static_assert(offsetof(MovingImageElement, y_max) == 0x98);
static_assert(offsetof(MovingImageElement, x_callback) == 0xF4);
static_assert(offsetof(MovingImageElement, y_callback) == 0xF8);

static_assert(sizeof(SpriteElement) == 352);
static_assert(offsetof(SpriteElement, x_source) == 0x3C);
static_assert(offsetof(SpriteElement, x_scale) == 0x5C);
static_assert(offsetof(SpriteElement, y_source) == 0x64);
static_assert(offsetof(SpriteElement, y_scale) == 0x84);
static_assert(offsetof(SpriteElement, rotation_source) == 0x8C);
static_assert(offsetof(SpriteElement, rotation_scale) == 0xAC);
static_assert(offsetof(SpriteElement, texture_scale_x) == 0xB4);
static_assert(offsetof(SpriteElement, texture_scale_y) == 0xB8);
static_assert(offsetof(SpriteElement, x_callback) == 0x13C);
static_assert(offsetof(SpriteElement, y_callback) == 0x140);
static_assert(offsetof(SpriteElement, rotation_callback) == 0x144);

static_assert(sizeof(TooltipArg) == 72);
static_assert(offsetof(TooltipArg, number) == 0x3C);
static_assert(offsetof(TooltipArg, text) == 0x44);

static_assert(sizeof(MouseRect) == 44);
static_assert(offsetof(MouseRect, box) == 0x04);
static_assert(offsetof(MouseRect, cursor) == 0x14);
static_assert(offsetof(MouseRect, help_id) == 0x18);
static_assert(offsetof(MouseRect, mouse_flags) == 0x1C);
static_assert(offsetof(MouseRect, event) == 0x20);
static_assert(offsetof(MouseRect, callback) == 0x24);
static_assert(offsetof(MouseRect, args) == 0x28);

static_assert(sizeof(ImportTableRecord) == 16);
static_assert(offsetof(LinkageRecord, version) == 0x14);
static_assert(offsetof(LinkageRecord, gauges) == 0x18);
#endif

// A callback receives the element header; these recover the whole element.
template <class Element>
inline Element* element_as(ElementHeader* head) {
  return reinterpret_cast<Element*>(head);
}
