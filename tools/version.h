#pragma once

namespace runner {
inline constexpr const char* kVersion = "1.0.0";
}
