// A validator for the part of JSON Schema that docs/capabilities.schema.json
// uses: type (a name or a list of names), properties, required,
// additionalProperties (true or false), items, enum and minimum. A schema
// keyword outside that set is reported as a problem, so a schema can never
// promise more than this validator checks.
#pragma once

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace mrv::test {

class JsonSchemaValidator {
public:
    // Every problem found, each as "<path>: <what>"; empty when value conforms.
    static std::vector<std::string> validate(const nlohmann::json& schema, const nlohmann::json& value) {
        JsonSchemaValidator validator;
        validator.check(schema, value, "$");
        return validator.problems_;
    }

private:
    void problem(const std::string& path, const std::string& what) { problems_.push_back(path + ": " + what); }

    static bool has_type(const nlohmann::json& value, const std::string& type) {
        if (type == "object") return value.is_object();
        if (type == "array") return value.is_array();
        if (type == "string") return value.is_string();
        if (type == "boolean") return value.is_boolean();
        if (type == "null") return value.is_null();
        if (type == "integer") return value.is_number_integer();  // a fraction is never an integer here
        if (type == "number") return value.is_number();
        return false;
    }

    static bool below(const nlohmann::json& value, const nlohmann::json& minimum) {
        if (minimum.is_number_integer() && value.is_number_unsigned()) {
            const auto bound = minimum.get<std::int64_t>();
            return bound > 0 && value.get<std::uint64_t>() < static_cast<std::uint64_t>(bound);
        }
        if (minimum.is_number_integer() && value.is_number_integer())
            return value.get<std::int64_t>() < minimum.get<std::int64_t>();
        return value.get<double>() < minimum.get<double>();
    }

    void check(const nlohmann::json& schema, const nlohmann::json& value, const std::string& path) {
        static const std::set<std::string> annotations = {"$schema", "$id", "$comment", "title", "description"};
        static const std::set<std::string> keywords = {"type",  "properties", "required", "additionalProperties",
                                                       "items", "enum",       "minimum"};
        if (!schema.is_object()) {
            problem(path, "schema is not an object");
            return;
        }
        for (auto item = schema.begin(); item != schema.end(); ++item)
            if (annotations.count(item.key()) == 0 && keywords.count(item.key()) == 0)
                problem(path, "schema keyword \"" + item.key() + "\" is not supported");

        if (const auto type = schema.find("type"); type != schema.end()) {
            const std::vector<std::string> names =
                type->is_array() ? type->get<std::vector<std::string>>() : std::vector<std::string>{type->get<std::string>()};
            if (std::none_of(names.begin(), names.end(), [&](const std::string& name) { return has_type(value, name); })) {
                problem(path, "expected " + type->dump() + ", found " + value.type_name());
                return;
            }
        }
        if (const auto allowed = schema.find("enum"); allowed != schema.end()) {
            if (std::find(allowed->begin(), allowed->end(), value) == allowed->end())
                problem(path, value.dump() + " is not one of " + allowed->dump());
        }
        if (const auto minimum = schema.find("minimum"); minimum != schema.end() && value.is_number()) {
            if (below(value, *minimum)) problem(path, value.dump() + " is below the minimum " + minimum->dump());
        }
        if (value.is_object()) check_object(schema, value, path);
        if (value.is_array()) {
            if (const auto items = schema.find("items"); items != schema.end())
                for (std::size_t i = 0; i < value.size(); ++i)
                    check(*items, value[i], path + "[" + std::to_string(i) + "]");
        }
    }

    void check_object(const nlohmann::json& schema, const nlohmann::json& value, const std::string& path) {
        const nlohmann::json properties = schema.value("properties", nlohmann::json::object());
        for (const auto& key : schema.value("required", nlohmann::json::array()))
            if (!value.contains(key.get<std::string>())) problem(path, "required key " + key.dump() + " is missing");
        const bool others_allowed = schema.value("additionalProperties", true);
        for (auto member = value.begin(); member != value.end(); ++member) {
            const std::string member_path = path + "." + member.key();
            if (properties.contains(member.key()))
                check(properties[member.key()], member.value(), member_path);
            else if (!others_allowed)
                problem(member_path, "key is not allowed");
        }
    }

    std::vector<std::string> problems_;
};

}  // namespace mrv::test
