// Reads a 32-bit gauge module file as bytes, never loading or running it:
// the PE headers and sections, the exports, the records reached from
// `Linkage` by following pointers through the sections, and the resources.
// Every read is checked against the file; the first thing that cannot be
// read stops the reading with an error naming it and where it lies.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "host/files/read_file.h"
#include "host/module_file/model.h"

using InspectResult = std::variant<InspectedModule, InspectError>;

InspectResult read_module(std::span<const uint8_t> file,
                          const std::string& file_name);

// Only what mapping the module takes: headers, sections, exports, every
// imported function, base relocations, the TLS directory and resources.
// The records are not read; the result's `pe` is filled.
InspectResult read_pe_image(std::span<const uint8_t> file,
                            const std::string& file_name);

// A resource's contents described: a BITMAP's DIB header, a WAVE's RIFF
// format and data chunks; a problem noted when they do not read as such.
void describe_bitmap(std::span<const uint8_t> bytes, BitmapResource& bitmap);
void describe_recording(std::span<const uint8_t> bytes,
                        RecordingResource& recording);
