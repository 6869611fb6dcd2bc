// Which NVML device belongs to which DXGI adapter. NVML numbers its devices
// in PCI bus order, DXGI lists the desktop's adapter first and the list is
// then sorted by score, so a device's index says nothing about the adapter.
// A device is handed to an adapter only when its PCI identity agrees with the
// adapter's description, and to one adapter at most.
#pragma once

#include <cstdint>
#include <set>

#include "boundary/snapshot.h"
#include "platform/platform.h"
#include "probes/nvml_binding.h"

namespace mrv {

// What DXGI_ADAPTER_DESC1 says of the adapter's PCI function.
struct PciIdentity {
    std::uint32_t vendor_id = 0;
    std::uint32_t device_id = 0;
    std::uint32_t sub_sys_id = 0;
};

// One per request: remembers which devices adapters earlier in the sorted
// list were given.
class NvmlDeviceMatcher {
public:
    NvmlDeviceMatcher(Platform& platform, const NvmlBinding& nvml);

    // The device for the adapter at `position` of the sorted list, or 0. The
    // device at that index is the first candidate; when it does not agree,
    // the first agreeing device in NVML's order that nobody was given. Without
    // nvmlDeviceGetPciInfo_v3 (old drivers) the index alone decides.
    NvmlDevice device_for(const GpuInfo& gpu, const PciIdentity& identity, std::uint32_t position);

private:
    void resolve_entries();
    bool handle_at(std::uint32_t index, NvmlDevice& device);
    NvmlDevice agreeing_device(std::uint32_t index, const PciIdentity& identity);

    Platform& platform_;
    const NvmlBinding& nvml_;
    bool resolved_ = false;
    bool module_found_ = false;
    Symbol pci_info_ = 0;
    Symbol count_ = 0;
    std::set<std::uint32_t> given_;
};

}  // namespace mrv
