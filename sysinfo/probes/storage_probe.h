// Fixed drives by letter: free and total space, and whether each is solid-state.
#pragma once

#include <vector>

#include "boundary/snapshot.h"
#include "platform/platform.h"

namespace mrv {

// Appends one DriveInfo per fixed drive, A to Z. A drive whose details cannot
// be read is still listed, with 0 bytes and is_ssd false.
void probe_storage(Platform& platform, std::vector<DriveInfo>& drives);

}  // namespace mrv
