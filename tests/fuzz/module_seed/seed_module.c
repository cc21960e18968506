// A gauge module cut down to one gauge, written word by word in the 32-bit
// record layout: a static background, a needle with a failure list and a
// two-point table, an icon and a string, and a mouse list holding a tooltip
// with one number argument and a click that sends an event. It seeds the
// module file reader's fuzzing; build.sh builds it.
#include <stdint.h>

#define W(p) ((uint32_t)(p))

extern uint32_t gauge[36];
extern uint32_t root_element[24];
extern uint32_t needle_element[59];
extern uint32_t icon_element[35];
extern uint32_t string_element[81];
extern uint32_t mouse_areas[55];

static double tip_number(uint32_t a, uint32_t b, uint32_t c, uint32_t d,
                         uint32_t e, uint32_t f) {
  return (double)(a + b + c + d + e + f);
}
static double needle_callback(void* element) { return element ? 1 : 0; }

static const char gauge_name[] = "Seed_Gauge";
static const char tip_text[] = "Seed (%1!d!\xB0)";
static const int32_t failures[] = {20, 3, 0, 21, 3, 0, 0, 0, 0};
// {x, y, value, angle}: 0 at (150, 260), 100 at (122, 260).
static const uint32_t table[] = {150, 260, 0, 0, 0, 0,
                                 122, 260, 0, 0x40590000, 0, 0};
static uint32_t tip_arguments[18] = {[15] = W(tip_number)};
uint32_t* root_list[2] = {root_element, 0};
uint32_t* needle_list[2] = {needle_element, 0};
uint32_t* icon_list[2] = {icon_element, 0};
uint32_t* string_list[2] = {string_element, 0};

__declspec(dllexport) uint32_t ImportTable[4] = {0x0F, 0, 0, 0};
__declspec(dllexport) uint32_t Linkage[8] = {0x13, 0, 0, 0, 0, 0x900,
                                             W(gauge), 0};

uint32_t gauge[36] = {0x320, W(gauge_name), W(root_list), [11] = 100,
                      [20] = W(mouse_areas)};
uint32_t root_element[24] = {0, 1, [8] = W(gauge), [10] = W(needle_list),
                             [12] = 3};
uint32_t needle_element[59] = {
    1, 2, 50, 50, 0, 0, 4, 4, W(gauge), 0, W(icon_list), W(failures), 0x83,
    [15] = 364, [28] = W(table), [29] = 2, [30] = 48,
    [56] = W(needle_callback)};
uint32_t icon_element[35] = {4, 3, 10, 10, [8] = W(gauge),
                             [10] = W(string_list), [12] = 3, [15] = 880,
                             [26] = 0x3FF00000, [28] = 2};
uint32_t string_element[81] = {
    2, 0xFFFFFFFF, 5, 5, [8] = W(gauge), [12] = 7, [48] = 80, [49] = 20,
    [52] = 0xFAFA, [62] = 0x61697241, [63] = 0x6C, [70] = 700, [71] = 1,
    [72] = 0x25, [73] = 7};
uint32_t mouse_areas[55] = {
    1, 0, 0, 0, 0, 0xFFFFFFFF, 0, 0, 0, 0, 0,
    4, 0, 0, 0, 0, 0xFFFFFFFF, 0, 0, 1, W(tip_text), W(tip_arguments),
    2, 5, 5, 20, 20, 5, 0, 0x20000000, 66241, 0, 0,
    3, 0, 0, 0, 0, 0xFFFFFFFF, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0xFFFFFFFF};

int __stdcall DllMain(void* module, uint32_t reason, void* reserved) {
  return module != 0 || reason != 0 || reserved != 0 || 1;
}
