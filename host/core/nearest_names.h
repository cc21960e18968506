// What an error offers in place of a name or number the host does not know.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The three known names closest to a misspelt one by edit distance,
// ignoring case, closest first ("A, B, C"); ties keep `known`'s order.
std::string nearest_names(std::string_view name,
                          std::vector<std::string> known);

// The three known numbers closest to `number`, closest first, the lower on
// a tie ("19, 20, 21").
std::string nearest_numbers(int32_t number, std::vector<int32_t> known);
