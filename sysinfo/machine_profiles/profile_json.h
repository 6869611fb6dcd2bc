// Machine profile files: a MachineProfile as versioned JSON text, so that a
// machine recorded on Windows can be replayed anywhere. The format is
// described in docs/machine_profiles.md.
#pragma once

#include <stdexcept>
#include <string>

#include "machine_profiles/machine_profile.h"

namespace mrv {

// Format 2 added the NVML device count, PCI identities and maximum clocks.
// Format 1 is still read (docs/machine_profiles.md says how it answers them).
constexpr int kMachineProfileFormat = 2;
constexpr int kOldestMachineProfileFormat = 1;

// A profile that cannot be read: what() names the field first, as in
// "dxgi.adapters[1].desc.vendor_id: expected an unsigned 32-bit integer".
class ProfileFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses a whole profile; every field is required and unknown fields are
// refused, so a typing error cannot silently become a default answer.
MachineProfile read_machine_profile(const std::string& text);

// The profile as indented UTF-8 JSON, ending with a line break; reading it
// back gives the same profile.
std::string write_machine_profile(const MachineProfile& profile);

}  // namespace mrv
