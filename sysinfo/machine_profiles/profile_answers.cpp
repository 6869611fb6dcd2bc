#include "machine_profiles/profile_answers.h"

#include <cstring>

namespace mrv {
namespace {

std::uint32_t next_code_point(const char16_t* wide, std::size_t length, std::size_t& i) {
    std::uint32_t cp = wide[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < length && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<std::uint32_t>(wide[i + 1]) - 0xDC00);
        ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
        cp = 0xFFFD;
    }
    ++i;
    return cp;
}

std::int32_t utf8_length(std::uint32_t cp) { return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; }

char* put_utf8(char* out, std::uint32_t cp) {
    const std::int32_t length = utf8_length(cp);
    if (length == 1) {
        *out++ = static_cast<char>(cp);
        return out;
    }
    static const unsigned lead[] = {0, 0, 0xC0, 0xE0, 0xF0};
    *out++ = static_cast<char>(lead[length] | (cp >> (6 * (length - 1))));
    for (int shift = 6 * (length - 2); shift >= 0; shift -= 6) *out++ = static_cast<char>(0x80 | ((cp >> shift) & 0x3F));
    return out;
}

}  // namespace

bool answer_topology(const TopologyAnswer& topology, std::uint8_t* buffer, std::uint32_t& length,
                     std::uint32_t& last_error) {
    if (topology.size_query_error != 0) {
        last_error = topology.size_query_error;
        return false;
    }
    const auto needed = static_cast<std::uint32_t>(topology.buffer.size());
    if (length < needed || (buffer == nullptr && needed > 0)) {
        length = needed;
        last_error = win::kErrorInsufficientBuffer;
        return false;
    }
    if (topology.fill_error != 0) {
        last_error = topology.fill_error;
        return false;
    }
    if (needed > 0) std::memcpy(buffer, topology.buffer.data(), needed);
    length = needed;
    return true;
}

std::int32_t answer_registry_value(const RegistryValue& value, std::uint32_t& type, std::uint8_t* data,
                                   std::uint32_t& data_size) {
    const auto needed = static_cast<std::uint32_t>(value.data.size());
    type = value.type;
    if (data == nullptr) {
        data_size = needed;
        return 0;
    }
    if (data_size < needed) {
        data_size = needed;
        return static_cast<std::int32_t>(win::kErrorMoreData);
    }
    if (needed > 0) std::memcpy(data, value.data.data(), needed);
    data_size = needed;
    return 0;
}

std::int32_t convert_utf16_to_utf8(const char16_t* wide, std::int32_t wide_length, char* out,
                                   std::int32_t out_size) {
    if (wide == nullptr || wide_length == 0 || out_size < 0) return 0;
    std::size_t length = static_cast<std::size_t>(wide_length);
    if (wide_length < 0) length = std::char_traits<char16_t>::length(wide) + 1;
    std::int32_t size = 0;
    for (std::size_t i = 0; i < length;) size += utf8_length(next_code_point(wide, length, i));
    if (out_size == 0) return size;
    if (out == nullptr || out_size < size) return 0;  // ERROR_INSUFFICIENT_BUFFER
    for (std::size_t i = 0; i < length;) out = put_utf8(out, next_code_point(wide, length, i));
    return size;
}

std::string utf16_to_utf8(const std::u16string& units) {
    if (units.empty()) return {};
    const auto length = static_cast<std::int32_t>(units.size());
    std::string text(static_cast<std::size_t>(convert_utf16_to_utf8(units.data(), length, nullptr, 0)), '\0');
    convert_utf16_to_utf8(units.data(), length, &text[0], static_cast<std::int32_t>(text.size()));
    return text;
}

bool has_unpaired_surrogate(const std::u16string& units) {
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            return true;
        }
    }
    return false;
}

char drive_root_letter(const char* root) {
    if (root == nullptr || std::strlen(root) != 3 || root[1] != ':' || root[2] != '\\') return 0;
    return root[0];
}

char volume_path_letter(const char* path) {
    if (path == nullptr || std::strlen(path) != 6 || std::strncmp(path, "\\\\.\\", 4) != 0 || path[5] != ':')
        return 0;
    return path[4];
}

bool answer_seek_penalty_query(const DriveAnswer& drive, const void* in, void* out,
                               std::uint32_t& bytes_returned) {
    StoragePropertyQuery query;
    std::memcpy(&query, in, sizeof query);
    if (query.property_id != win::kStorageDeviceSeekPenaltyProperty ||
        query.query_type != win::kPropertyStandardQuery || !drive.ioctl_ok)
        return false;
    DeviceSeekPenaltyDescriptor descriptor;
    descriptor.version = sizeof descriptor;
    descriptor.size = sizeof descriptor;
    descriptor.incurs_seek_penalty = drive.incurs_seek_penalty ? 1 : 0;
    std::memcpy(out, &descriptor, sizeof descriptor);
    bytes_returned = sizeof descriptor;
    return true;
}

}  // namespace mrv
