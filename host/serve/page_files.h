// The page the live server hands out, compiled into the program from the
// files of host/serve/page (CMakeLists.txt).
#pragma once

#include <span>
#include <string_view>

struct PageFile {
  std::string_view name;  // "index.html", "main.js", ...
  std::string_view bytes;
};

std::span<const PageFile> page_files();
