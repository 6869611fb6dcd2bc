#include "machine_profiles/profile_json.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "machine_profiles/profile_answers.h"

namespace mrv {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;

constexpr std::size_t kDescriptionUnits = sizeof(AdapterDesc1::description) / sizeof(char16_t);
constexpr std::size_t kHexBytesPerLine = 32;

struct NamedCode {
    const char* name;
    std::uint32_t value;
};

constexpr NamedCode kRegistryTypes[] = {
    {"REG_NONE", 0},      {"REG_SZ", 1},        {"REG_EXPAND_SZ", 2},           {"REG_BINARY", 3},
    {"REG_DWORD", 4},     {"REG_DWORD_BIG_ENDIAN", 5}, {"REG_LINK", 6},         {"REG_MULTI_SZ", 7},
    {"REG_RESOURCE_LIST", 8}, {"REG_FULL_RESOURCE_DESCRIPTOR", 9}, {"REG_RESOURCE_REQUIREMENTS_LIST", 10},
    {"REG_QWORD", 11},
};

constexpr NamedCode kDriveTypes[] = {
    {"DRIVE_UNKNOWN", 0}, {"DRIVE_NO_ROOT_DIR", 1}, {"DRIVE_REMOVABLE", 2}, {"DRIVE_FIXED", 3},
    {"DRIVE_REMOTE", 4},  {"DRIVE_CDROM", 5},       {"DRIVE_RAMDISK", 6},
};

// ---------------------------------------------------------------- text helpers

std::string hex_word(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*x", digits, static_cast<unsigned>(value));
    return text;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "0x" and 1 to 8 hexadecimal digits.
std::optional<std::uint32_t> parse_hex_word(const std::string& text) {
    if (text.size() < 3 || text.size() > 10 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return {};
    std::uint32_t value = 0;
    for (std::size_t i = 2; i < text.size(); ++i) {
        const int digit = hex_digit(text[i]);
        if (digit < 0) return {};
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::string hex_bytes(const std::uint8_t* bytes, std::size_t count) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0xF];
    }
    return text;
}

// The JSON parser has already refused invalid UTF-8, so only the shapes of
// valid sequences occur here.
std::u16string utf8_to_utf16(const std::string& text) {
    std::u16string units;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        std::uint32_t cp = extra == 0 ? lead : extra == 1 ? lead & 0x1F : extra == 2 ? lead & 0x0F : lead & 0x07;
        for (int k = 1; k <= extra && i + static_cast<std::size_t>(k) < text.size(); ++k)
            cp = cp << 6 | (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0x3F);
        i += static_cast<std::size_t>(extra) + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            units += static_cast<char16_t>(0xD800 + (cp >> 10));
            units += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            units += static_cast<char16_t>(cp);
        }
    }
    return units;
}

std::u16string description_units(const AdapterDesc1& desc) {
    const char16_t* begin = std::begin(desc.description);
    return std::u16string(begin, std::find(begin, std::end(desc.description), u'\0'));
}

// ---------------------------------------------------------------- reading

[[noreturn]] void fail(const std::string& path, const std::string& problem) {
    throw ProfileFormatError((path.empty() ? std::string("profile") : path) + ": " + problem);
}

bool plain_key(const std::string& key) {
    return !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
}

std::string member_path(const std::string& parent, const std::string& key) {
    if (plain_key(key)) return parent.empty() ? key : parent + "." + key;
    return parent + "[\"" + key + "\"]";
}

struct Field {
    const json& value;
    std::string path;
};

// An object whose every listed key is required (unless named optional) and
// which has no other keys.
class Object {
public:
    Object(const Field& field, std::initializer_list<const char*> required,
           std::initializer_list<const char*> optional_keys = {})
        : field_(field) {
        if (!field.value.is_object()) fail(field.path, "expected an object");
        for (auto item = field.value.begin(); item != field.value.end(); ++item) {
            const auto known = [&item](const char* key) { return item.key() == key; };
            if (std::none_of(required.begin(), required.end(), known) &&
                std::none_of(optional_keys.begin(), optional_keys.end(), known))
                fail(field.path, "unknown field \"" + item.key() + "\"");
        }
        for (const char* key : required)
            if (!field.value.contains(key)) fail(member_path(field.path, key), "required field is missing");
    }

    Field operator[](const char* key) const { return {field_.value.at(key), member_path(field_.path, key)}; }
    bool has(const char* key) const { return field_.value.contains(key); }

private:
    Field field_;
};

std::vector<Field> items(const Field& field) {
    if (!field.value.is_array()) fail(field.path, "expected an array");
    std::vector<Field> result;
    for (std::size_t i = 0; i < field.value.size(); ++i)
        result.push_back({field.value[i], field.path + "[" + std::to_string(i) + "]"});
    return result;
}

// Members of an object whose keys are data (registry paths, drive letters).
std::vector<std::pair<std::string, Field>> members(const Field& field) {
    if (!field.value.is_object()) fail(field.path, "expected an object");
    std::vector<std::pair<std::string, Field>> result;
    for (auto item = field.value.begin(); item != field.value.end(); ++item)
        result.emplace_back(item.key(), Field{item.value(), member_path(field.path, item.key())});
    return result;
}

bool read_bool(const Field& field) {
    if (!field.value.is_boolean()) fail(field.path, "expected true or false");
    return field.value.get<bool>();
}

std::string read_string(const Field& field) {
    if (!field.value.is_string()) fail(field.path, "expected a string");
    return field.value.get<std::string>();
}

std::uint64_t read_u64(const Field& field) {
    if (field.value.is_number_unsigned()) return field.value.get<std::uint64_t>();
    if (field.value.is_number_integer() && field.value.get<std::int64_t>() >= 0)
        return static_cast<std::uint64_t>(field.value.get<std::int64_t>());
    fail(field.path, "expected an unsigned 64-bit integer");
}

std::optional<std::uint32_t> word_of(const json& value) {
    if (value.is_string()) return parse_hex_word(value.get<std::string>());
    if (value.is_number_unsigned() && value.get<std::uint64_t>() <= 0xFFFFFFFFu)
        return static_cast<std::uint32_t>(value.get<std::uint64_t>());
    if (value.is_number_integer() && !value.is_number_unsigned()) {
        const auto number = value.get<std::int64_t>();
        if (number >= 0 && number <= 0xFFFFFFFF) return static_cast<std::uint32_t>(number);
    }
    return std::nullopt;
}

std::uint32_t read_u32(const Field& field) {
    const auto value = word_of(field.value);
    if (!value) fail(field.path, "expected an unsigned 32-bit integer (a number or \"0x\" hex text)");
    return *value;
}

// Status codes: a signed number, or the 32-bit pattern as a number or hex text.
std::int32_t read_status(const Field& field) {
    if (field.value.is_number_integer() && !field.value.is_number_unsigned()) {
        const auto number = field.value.get<std::int64_t>();
        if (number >= std::numeric_limits<std::int32_t>::min() && number < 0) return static_cast<std::int32_t>(number);
    }
    const auto value = word_of(field.value);
    if (!value) fail(field.path, "expected a 32-bit status code (a number or \"0x\" hex text)");
    return static_cast<std::int32_t>(*value);
}

template <std::size_t N>
std::uint32_t read_named(const Field& field, const NamedCode (&names)[N], const char* kind, const char* example) {
    if (field.value.is_string()) {
        const std::string text = field.value.get<std::string>();
        for (const NamedCode& named : names)
            if (text == named.name) return named.value;
        if (const auto value = parse_hex_word(text)) return *value;
    } else if (const auto value = word_of(field.value)) {
        return *value;
    }
    fail(field.path, std::string("expected ") + kind + " (a name such as \"" + example + "\" or a number)");
}

std::vector<std::uint8_t> read_hex(const Field& field) {
    std::string text;
    if (field.value.is_string()) {
        text = field.value.get<std::string>();
    } else if (field.value.is_array()) {
        for (const Field& line : items(field)) text += read_string(line);
    } else {
        fail(field.path, "expected hex text (a string or an array of strings)");
    }
    if (text.size() % 2 != 0) fail(field.path, "expected hex text (an even number of hexadecimal digits)");
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = hex_digit(text[i]);
        const int low = hex_digit(text[i + 1]);
        if (high < 0 || low < 0) fail(field.path, "expected hex text (only hexadecimal digits)");
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return bytes;
}

void read_cpuid(const Field& field, MachineProfile& profile) {
    for (const Field& item : items(field)) {
        const Object entry(item, {"leaf", "subleaf", "eax", "ebx", "ecx", "edx"});
        const std::pair<std::uint32_t, std::uint32_t> key{read_u32(entry["leaf"]), read_u32(entry["subleaf"])};
        const CpuidResult result{read_u32(entry["eax"]), read_u32(entry["ebx"]), read_u32(entry["ecx"]),
                                 read_u32(entry["edx"])};
        if (!profile.cpuid.emplace(key, result).second)
            fail(item.path, "leaf " + hex_word(key.first, 8) + " sub-leaf " + std::to_string(key.second) +
                                " appears twice");
    }
}

TopologyAnswer read_topology(const Field& field) {
    const Object object(field, {"buffer", "size_query_error", "fill_error"});
    TopologyAnswer topology;
    topology.buffer = read_hex(object["buffer"]);
    if (topology.buffer.size() > std::numeric_limits<std::uint32_t>::max())
        fail(object["buffer"].path, "longer than a 32-bit length can describe");
    topology.size_query_error = read_u32(object["size_query_error"]);
    topology.fill_error = read_u32(object["fill_error"]);
    return topology;
}

std::map<std::string, RegistryKey> read_registry(const Field& field) {
    std::map<std::string, RegistryKey> registry;
    for (const auto& [path, key_field] : members(field)) {
        const Object key_object(key_field, {"open_status", "values"});
        RegistryKey key;
        key.open_status = read_status(key_object["open_status"]);
        for (const auto& [name, value_field] : members(key_object["values"])) {
            const Object value(value_field, {"type", "data"});
            key.values[name] = {read_named(value["type"], kRegistryTypes, "a registry value type", "REG_DWORD"),
                                read_hex(value["data"])};
        }
        registry[path] = std::move(key);
    }
    return registry;
}

std::optional<MemoryStatusEx> read_memory_status(const Field& field) {
    if (field.value.is_null()) return std::nullopt;
    const Object object(field, {"memory_load", "total_phys", "avail_phys", "total_page_file", "avail_page_file",
                                "total_virtual", "avail_virtual", "avail_extended_virtual"});
    MemoryStatusEx status;
    status.length = sizeof(MemoryStatusEx);
    status.memory_load = read_u32(object["memory_load"]);
    status.total_phys = read_u64(object["total_phys"]);
    status.avail_phys = read_u64(object["avail_phys"]);
    status.total_page_file = read_u64(object["total_page_file"]);
    status.avail_page_file = read_u64(object["avail_page_file"]);
    status.total_virtual = read_u64(object["total_virtual"]);
    status.avail_virtual = read_u64(object["avail_virtual"]);
    status.avail_extended_virtual = read_u64(object["avail_extended_virtual"]);
    return status;
}

std::u16string read_description(const Object& desc) {
    std::u16string units;
    const std::string text = read_string(desc["description"]);
    if (desc.has("description_utf16")) {
        const Field raw = desc["description_utf16"];
        const std::vector<std::uint8_t> bytes = read_hex(raw);
        if (bytes.size() % 2 != 0) fail(raw.path, "expected UTF-16 code units of four hexadecimal digits each");
        for (std::size_t i = 0; i < bytes.size(); i += 2)
            units += static_cast<char16_t>(bytes[i] << 8 | bytes[i + 1]);
        if (units.find(u'\0') != std::u16string::npos) fail(raw.path, "must not contain a zero code unit");
        if (units.size() > kDescriptionUnits) fail(raw.path, "longer than 128 UTF-16 code units");
        return units;
    }
    if (text.find('\0') != std::string::npos)
        fail(desc["description"].path, "must not contain U+0000 (the description ends at its first zero)");
    units = utf8_to_utf16(text);
    if (units.size() > kDescriptionUnits) fail(desc["description"].path, "longer than 128 UTF-16 code units");
    return units;
}

AdapterDesc1 read_desc(const Field& field) {
    const Object object(field,
                        {"description", "vendor_id", "device_id", "sub_sys_id", "revision", "dedicated_video_memory",
                         "dedicated_system_memory", "shared_system_memory", "adapter_luid_low", "adapter_luid_high",
                         "flags"},
                        {"description_utf16"});
    AdapterDesc1 desc;
    const std::u16string units = read_description(object);
    std::copy(units.begin(), units.end(), desc.description);
    desc.vendor_id = read_u32(object["vendor_id"]);
    desc.device_id = read_u32(object["device_id"]);
    desc.sub_sys_id = read_u32(object["sub_sys_id"]);
    desc.revision = read_u32(object["revision"]);
    desc.dedicated_video_memory = read_u64(object["dedicated_video_memory"]);
    desc.dedicated_system_memory = read_u64(object["dedicated_system_memory"]);
    desc.shared_system_memory = read_u64(object["shared_system_memory"]);
    desc.adapter_luid_low = read_u32(object["adapter_luid_low"]);
    desc.adapter_luid_high = read_status(object["adapter_luid_high"]);
    desc.flags = read_u32(object["flags"]);
    return desc;
}

VideoMemoryInfo read_memory_info(const Field& field) {
    const Object object(field, {"budget", "current_usage", "available_for_reservation", "current_reservation"});
    return {read_u64(object["budget"]), read_u64(object["current_usage"]),
            read_u64(object["available_for_reservation"]), read_u64(object["current_reservation"])};
}

DxgiAnswer read_dxgi(const Field& field) {
    const Object object(field, {"factory_result", "adapters"});
    DxgiAnswer dxgi;
    dxgi.factory_result = read_status(object["factory_result"]);
    for (const Field& item : items(object["adapters"])) {
        const Object adapter(item, {"enum_result", "desc_result", "desc", "has_adapter3", "memory_info_result",
                                    "memory_info"});
        AdapterAnswer answer;
        answer.enum_result = read_status(adapter["enum_result"]);
        if (answer.enum_result == win::kDxgiErrorNotFound)
            fail(adapter["enum_result"].path, "DXGI_ERROR_NOT_FOUND is the end of the list, not an adapter");
        answer.desc_result = read_status(adapter["desc_result"]);
        answer.desc = read_desc(adapter["desc"]);
        answer.has_adapter3 = read_bool(adapter["has_adapter3"]);
        answer.memory_info_result = read_status(adapter["memory_info_result"]);
        answer.memory_info = read_memory_info(adapter["memory_info"]);
        dxgi.adapters.push_back(answer);
    }
    return dxgi;
}

// Format 1 knew one clock, read through nvmlDeviceGetClockInfo, and neither
// the count nor PCI identities. Its clock answers both clock entry points,
// and without nvmlDeviceGetPciInfo_v3 and nvmlDeviceGetCount devices go by
// position, so a format 1 profile replays as it did when it was written.
void upgrade_format1_nvml(NvmlAnswer& nvml) {
    nvml.exports.erase("nvmlDeviceGetPciInfo_v3");
    nvml.exports.erase("nvmlDeviceGetCount");
    if (nvml.exports.count("nvmlDeviceGetClockInfo") != 0) nvml.exports.insert("nvmlDeviceGetMaxClockInfo");
    for (auto& [index, device] : nvml.devices) {
        device.max_clock_result = device.clock_result;
        device.max_memory_clock_mhz = device.memory_clock_mhz;
    }
}

NvmlDeviceAnswer read_nvml_device_format1(const Object& device) {
    NvmlDeviceAnswer answer;
    answer.handle_result = read_status(device["handle_result"]);
    answer.clock_result = read_status(device["clock_result"]);
    answer.memory_clock_mhz = read_u32(device["memory_clock_mhz"]);
    answer.bus_width_result = read_status(device["bus_width_result"]);
    answer.bus_width_bits = read_u32(device["bus_width_bits"]);
    return answer;
}

NvmlDeviceAnswer read_nvml_device(const Object& device) {
    NvmlDeviceAnswer answer = read_nvml_device_format1(device);
    answer.pci_result = read_status(device["pci_result"]);
    answer.pci_device_id = read_u32(device["pci_device_id"]);
    answer.pci_sub_system_id = read_u32(device["pci_sub_system_id"]);
    answer.max_clock_result = read_status(device["max_clock_result"]);
    answer.max_memory_clock_mhz = read_u32(device["max_memory_clock_mhz"]);
    return answer;
}

NvmlAnswer read_nvml(const Field& field, int format) {
    const bool format1 = format == 1;
    const Object object = format1 ? Object(field, {"present", "exports", "init_result", "devices"})
                                  : Object(field, {"present", "exports", "init_result", "count_result",
                                                   "device_count", "devices"});
    NvmlAnswer nvml;
    nvml.present = read_bool(object["present"]);
    nvml.exports.clear();
    for (const Field& name : items(object["exports"])) nvml.exports.insert(read_string(name));
    nvml.init_result = read_status(object["init_result"]);
    if (!format1) {
        nvml.count_result = read_status(object["count_result"]);
        nvml.device_count = read_u32(object["device_count"]);
    }
    for (const Field& item : items(object["devices"])) {
        const Object device =
            format1 ? Object(item, {"index", "handle_result", "clock_result", "memory_clock_mhz", "bus_width_result",
                                    "bus_width_bits"})
                    : Object(item, {"index", "handle_result", "pci_result", "pci_device_id", "pci_sub_system_id",
                                    "clock_result", "memory_clock_mhz", "max_clock_result", "max_memory_clock_mhz",
                                    "bus_width_result", "bus_width_bits"});
        const std::uint32_t index = read_u32(device["index"]);
        const NvmlDeviceAnswer answer = format1 ? read_nvml_device_format1(device) : read_nvml_device(device);
        if (!nvml.devices.emplace(index, answer).second)
            fail(device["index"].path, "device " + std::to_string(index) + " appears twice");
    }
    if (format1) upgrade_format1_nvml(nvml);
    return nvml;
}

std::map<char, DriveAnswer> read_drives(const Field& field) {
    std::map<char, DriveAnswer> drives;
    for (const auto& [letter, drive_field] : members(field)) {
        if (letter.size() != 1 || letter[0] < 'A' || letter[0] > 'Z')
            fail(drive_field.path, "a drive is named by one upper-case letter A to Z");
        const Object drive(drive_field, {"type", "free_space_ok", "free_to_caller", "total", "open_ok", "ioctl_ok",
                                         "incurs_seek_penalty"});
        DriveAnswer answer;
        answer.type = read_named(drive["type"], kDriveTypes, "a drive type", "DRIVE_FIXED");
        answer.free_space_ok = read_bool(drive["free_space_ok"]);
        answer.free_to_caller = read_u64(drive["free_to_caller"]);
        answer.total = read_u64(drive["total"]);
        answer.open_ok = read_bool(drive["open_ok"]);
        answer.ioctl_ok = read_bool(drive["ioctl_ok"]);
        answer.incurs_seek_penalty = read_bool(drive["incurs_seek_penalty"]);
        drives[letter[0]] = answer;
    }
    return drives;
}

// ---------------------------------------------------------------- writing

template <std::size_t N>
ordered_json named(std::uint32_t value, const NamedCode (&names)[N]) {
    for (const NamedCode& entry : names)
        if (entry.value == value) return entry.name;
    return value;
}

ordered_json hex_lines(const std::vector<std::uint8_t>& bytes) {
    ordered_json lines = ordered_json::array();
    for (std::size_t at = 0; at < bytes.size(); at += kHexBytesPerLine)
        lines.push_back(hex_bytes(bytes.data() + at, std::min(kHexBytesPerLine, bytes.size() - at)));
    return lines;
}

std::string hresult(std::int32_t value) { return hex_word(static_cast<std::uint32_t>(value), 8); }

ordered_json write_desc(const AdapterDesc1& desc) {
    ordered_json out;
    const std::u16string units = description_units(desc);
    out["description"] = utf16_to_utf8(units);
    if (has_unpaired_surrogate(units)) {
        std::vector<std::uint8_t> bytes;
        for (const char16_t unit : units) {
            bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
            bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        }
        out["description_utf16"] = hex_bytes(bytes.data(), bytes.size());
    }
    out["vendor_id"] = hex_word(desc.vendor_id, 4);
    out["device_id"] = hex_word(desc.device_id, 4);
    out["sub_sys_id"] = hex_word(desc.sub_sys_id, 8);
    out["revision"] = desc.revision;
    out["dedicated_video_memory"] = desc.dedicated_video_memory;
    out["dedicated_system_memory"] = desc.dedicated_system_memory;
    out["shared_system_memory"] = desc.shared_system_memory;
    out["adapter_luid_low"] = desc.adapter_luid_low;
    out["adapter_luid_high"] = desc.adapter_luid_high;
    out["flags"] = desc.flags;
    return out;
}

ordered_json write_dxgi(const DxgiAnswer& dxgi) {
    ordered_json out;
    out["factory_result"] = hresult(dxgi.factory_result);
    out["adapters"] = ordered_json::array();
    for (const AdapterAnswer& adapter : dxgi.adapters) {
        ordered_json item;
        item["enum_result"] = hresult(adapter.enum_result);
        item["desc_result"] = hresult(adapter.desc_result);
        item["desc"] = write_desc(adapter.desc);
        item["has_adapter3"] = adapter.has_adapter3;
        item["memory_info_result"] = hresult(adapter.memory_info_result);
        item["memory_info"] = {{"budget", adapter.memory_info.budget},
                               {"current_usage", adapter.memory_info.current_usage},
                               {"available_for_reservation", adapter.memory_info.available_for_reservation},
                               {"current_reservation", adapter.memory_info.current_reservation}};
        out["adapters"].push_back(item);
    }
    return out;
}

ordered_json write_nvml(const NvmlAnswer& nvml) {
    ordered_json out;
    out["present"] = nvml.present;
    out["exports"] = ordered_json::array();
    for (const std::string& name : nvml.exports) out["exports"].push_back(name);
    out["init_result"] = nvml.init_result;
    out["count_result"] = nvml.count_result;
    out["device_count"] = nvml.device_count;
    out["devices"] = ordered_json::array();
    for (const auto& [index, device] : nvml.devices)
        out["devices"].push_back({{"index", index},
                                  {"handle_result", device.handle_result},
                                  {"pci_result", device.pci_result},
                                  {"pci_device_id", hex_word(device.pci_device_id, 8)},
                                  {"pci_sub_system_id", hex_word(device.pci_sub_system_id, 8)},
                                  {"clock_result", device.clock_result},
                                  {"memory_clock_mhz", device.memory_clock_mhz},
                                  {"max_clock_result", device.max_clock_result},
                                  {"max_memory_clock_mhz", device.max_memory_clock_mhz},
                                  {"bus_width_result", device.bus_width_result},
                                  {"bus_width_bits", device.bus_width_bits}});
    return out;
}

}  // namespace

MachineProfile read_machine_profile(const std::string& text) {
    json document;
    try {
        document = json::parse(text);
    } catch (const json::exception& error) {
        fail("", std::string("not valid JSON: ") + error.what());
    }
    // The format decides what the other fields mean, so it is checked first.
    if (!document.is_object()) fail("", "expected an object");
    if (!document.contains("format")) fail("format", "required field is missing");
    const json& format = document.at("format");
    if (!format.is_number_integer() || format.get<std::int64_t>() < kOldestMachineProfileFormat ||
        format.get<std::int64_t>() > kMachineProfileFormat)
        fail("format", "unsupported profile format " + format.dump() + " (this reader knows " +
                           std::to_string(kOldestMachineProfileFormat) + " to " +
                           std::to_string(kMachineProfileFormat) + ")");
    const int version = static_cast<int>(format.get<std::int64_t>());
    const Field root{document, ""};
    const Object object(root, {"format", "origin", "cpuid", "number_of_processors", "topology", "registry",
                               "memory_status", "dxgi", "nvml", "logical_drives", "drives"});

    MachineProfile profile;
    profile.source = read_string(object["origin"]);
    read_cpuid(object["cpuid"], profile);
    profile.number_of_processors = read_u32(object["number_of_processors"]);
    profile.topology = read_topology(object["topology"]);
    profile.registry = read_registry(object["registry"]);
    profile.memory_status = read_memory_status(object["memory_status"]);
    profile.dxgi = read_dxgi(object["dxgi"]);
    profile.nvml = read_nvml(object["nvml"], version);
    profile.logical_drives = read_u32(object["logical_drives"]);
    profile.drives = read_drives(object["drives"]);
    return profile;
}

std::string write_machine_profile(const MachineProfile& profile) {
    ordered_json out;
    out["format"] = kMachineProfileFormat;
    out["origin"] = profile.source;

    out["cpuid"] = ordered_json::array();
    for (const auto& [key, result] : profile.cpuid)
        out["cpuid"].push_back({{"leaf", hex_word(key.first, 8)},
                                {"subleaf", key.second},
                                {"eax", hex_word(result.eax, 8)},
                                {"ebx", hex_word(result.ebx, 8)},
                                {"ecx", hex_word(result.ecx, 8)},
                                {"edx", hex_word(result.edx, 8)}});
    out["number_of_processors"] = profile.number_of_processors;
    out["topology"] = {{"buffer", hex_lines(profile.topology.buffer)},
                       {"size_query_error", profile.topology.size_query_error},
                       {"fill_error", profile.topology.fill_error}};

    out["registry"] = ordered_json::object();
    for (const auto& [path, key] : profile.registry) {
        ordered_json values = ordered_json::object();
        for (const auto& [name, value] : key.values)
            values[name] = {{"type", named(value.type, kRegistryTypes)},
                            {"data", hex_bytes(value.data.data(), value.data.size())}};
        out["registry"][path] = {{"open_status", key.open_status}, {"values", values}};
    }

    if (profile.memory_status) {
        const MemoryStatusEx& status = *profile.memory_status;
        out["memory_status"] = {{"memory_load", status.memory_load},
                                {"total_phys", status.total_phys},
                                {"avail_phys", status.avail_phys},
                                {"total_page_file", status.total_page_file},
                                {"avail_page_file", status.avail_page_file},
                                {"total_virtual", status.total_virtual},
                                {"avail_virtual", status.avail_virtual},
                                {"avail_extended_virtual", status.avail_extended_virtual}};
    } else {
        out["memory_status"] = nullptr;
    }

    out["dxgi"] = write_dxgi(profile.dxgi);
    out["nvml"] = write_nvml(profile.nvml);

    out["logical_drives"] = profile.logical_drives;
    out["drives"] = ordered_json::object();
    for (const auto& [letter, drive] : profile.drives)
        out["drives"][std::string(1, letter)] = {{"type", named(drive.type, kDriveTypes)},
                                                 {"free_space_ok", drive.free_space_ok},
                                                 {"free_to_caller", drive.free_to_caller},
                                                 {"total", drive.total},
                                                 {"open_ok", drive.open_ok},
                                                 {"ioctl_ok", drive.ioctl_ok},
                                                 {"incurs_seek_penalty", drive.incurs_seek_penalty}};
    return out.dump(2, ' ', false, ordered_json::error_handler_t::strict) + "\n";
}

}  // namespace mrv
