#pragma once

#include <cstdint>

// Chosen once per run in the mode chooser; BALLON until then. The values are part of the
// program's state model and must stay 10 and 20.
enum class FlightMode : std::int32_t { BALLON = 10, FUSEE = 20 };
