// The capabilities document: one compact JSON text, members in byte order of
// their keys, written by the JSON library's dump.
#pragma once

#include <string>

#include "boundary/snapshot.h"

namespace mrv {

const char* capability_status_name(CapabilityStatus status);

// Throws the JSON library's type error 316 for a string that is not valid UTF-8.
std::string build_capabilities_json(const SystemSnapshot& snapshot);

}  // namespace mrv
