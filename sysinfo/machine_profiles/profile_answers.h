// How a machine profile answers the calls whose answer is more than one
// field. Every platform that replays a profile (the test side of the seam,
// the benchmarks' lean one) answers through these, so they cannot drift apart.
#pragma once

#include <cstdint>
#include <string>

#include "machine_profiles/machine_profile.h"
#include "platform/platform.h"

namespace mrv {

// GetLogicalProcessorInformationEx: the size query, then the fill.
bool answer_topology(const TopologyAnswer& topology, std::uint8_t* buffer, std::uint32_t& length,
                     std::uint32_t& last_error);

// RegQueryValueExA on a value that exists: its size, or its bytes when they fit.
std::int32_t answer_registry_value(const RegistryValue& value, std::uint32_t& type, std::uint8_t* data,
                                   std::uint32_t& data_size);

// WideCharToMultiByte(CP_UTF8, 0, ...), without allocating: a negative
// length converts up to and with the terminator, unpaired surrogates become
// U+FFFD, out_size 0 asks for the size, a smaller buffer gets 0.
std::int32_t convert_utf16_to_utf8(const char16_t* wide, std::int32_t wide_length, char* out,
                                   std::int32_t out_size);
// The same conversion of a whole text.
std::string utf16_to_utf8(const std::u16string& units);
bool has_unpaired_surrogate(const std::u16string& units);

// "C:\" gives 'C', "\\.\C:" gives 'C'; anything else gives 0.
char drive_root_letter(const char* root);
char volume_path_letter(const char* path);

// DeviceIoControl with a query and an answer buffer of the right sizes:
// the seek-penalty descriptor when the drive answers that query.
bool answer_seek_penalty_query(const DriveAnswer& drive, const void* in, void* out,
                               std::uint32_t& bytes_returned);

}  // namespace mrv
