// Machines the benchmarks run a request on, built in code so that every
// probe has something to find: a desktop with one adapter and one drive, and
// a workstation with four adapters (plus the software renderer) and eight
// fixed drives (plus a removable and an optical one).
#pragma once

#include <string>
#include <vector>

#include "machine_profiles/machine_profile.h"

namespace mrv::bench {

struct SampleMachine {
    std::string name;
    MachineProfile profile;
};

std::vector<SampleMachine> sample_machines();

}  // namespace mrv::bench
