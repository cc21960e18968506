// Files the host writes over: written whole into a temporary file in the
// same folder, then renamed over the old one, so that a reader sees the old
// file or the new one and never half of it. Nothing here throws; a refusal
// is one reason naming the file.
#pragma once

#include <string>
#include <string_view>

// `bytes` as the file at `path`. An existing file keeps its permissions.
bool replace_file(const std::string& path, std::string_view bytes,
                  std::string& error);
