#include "host/core/nearest_names.h"

#include <algorithm>
#include <cctype>

namespace {

// Edit distance between two names, ignoring case.
size_t name_distance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                        std::tolower(static_cast<unsigned char>(b[j - 1]));
      const size_t next =
          std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = row[j];
      row[j] = next;
    }
  }
  return row[b.size()];
}

}  // namespace

std::string nearest_names(std::string_view name,
                          std::vector<std::string> known) {
  std::vector<std::pair<size_t, size_t>> ranked;  // distance, place in known
  for (size_t i = 0; i < known.size(); ++i)
    ranked.emplace_back(name_distance(name, known[i]), i);
  std::sort(ranked.begin(), ranked.end());
  std::string list;
  for (size_t i = 0; i < ranked.size() && i < 3; ++i)
    list += (i ? ", " : "") + known[ranked[i].second];
  return list;
}

std::string nearest_numbers(int32_t number, std::vector<int32_t> known) {
  const auto distance = [number](int32_t k) {
    const int64_t d = int64_t(k) - number;
    return d < 0 ? -d : d;
  };
  std::sort(known.begin(), known.end(), [&](int32_t a, int32_t b) {
    return distance(a) != distance(b) ? distance(a) < distance(b) : a < b;
  });
  std::string list;
  for (size_t i = 0; i < known.size() && i < 3; ++i)
    list += (i ? ", " : "") + std::to_string(known[i]);
  return list;
}
