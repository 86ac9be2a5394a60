// Whole-file reads for the host's file formats, without exceptions: a
// folder, an unreadable file or one above the size limit simply fails.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hostsim {

bool ReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>* bytes);

}  // namespace hostsim
