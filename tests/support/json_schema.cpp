#include "support/json_schema.hpp"

#include <algorithm>
#include <fstream>
#include <set>
#include <stdexcept>

namespace quorvel::test {
namespace {

using Json = nlohmann::json;

bool HasType(const Json& value, const std::string& type) {
    if (type == "object") return value.is_object();
    if (type == "array") return value.is_array();
    if (type == "string") return value.is_string();
    if (type == "integer") return value.is_number_integer();
    if (type == "number") return value.is_number();
    if (type == "boolean") return value.is_boolean();
    if (type == "null") return value.is_null();
    throw std::invalid_argument("unknown type " + type);
}

bool HasAnyType(const Json& value, const Json& types) {
    if (types.is_string()) return HasType(value, types.get<std::string>());
    return std::any_of(types.begin(), types.end(), [&](const Json& type) { return HasType(value, type.get<std::string>()); });
}

}  // namespace

JsonSchema::JsonSchema(Json schema) : root_(std::move(schema)) { CheckKeywords(root_, "#"); }

JsonSchema JsonSchema::FromFile(const std::filesystem::path& file) {
    std::ifstream in(file);
    if (!in) throw std::invalid_argument("cannot read " + file.string());
    return JsonSchema(Json::parse(in));
}

void JsonSchema::CheckKeywords(const Json& schema, const std::string& where) const {
    static const std::set<std::string> kKnown = {"$schema", "$id",      "title",    "description", "type",
                                                 "properties", "required", "additionalProperties",
                                                 "dependentRequired", "items", "enum", "minimum", "oneOf",
                                                 "$ref", "$defs"};
    if (!schema.is_object()) throw std::invalid_argument(where + ": a schema is an object");
    for (const auto& [keyword, value] : schema.items()) {
        if (!kKnown.count(keyword)) throw std::invalid_argument(where + ": keyword " + keyword + " is not checked");
        if (keyword == "properties" || keyword == "$defs")
            for (const auto& [name, inner] : value.items()) CheckKeywords(inner, where + "/" + keyword + "/" + name);
        if (keyword == "items") CheckKeywords(value, where + "/items");
        if (keyword == "oneOf")
            for (std::size_t i = 0; i < value.size(); ++i) CheckKeywords(value[i], where + "/oneOf/" + std::to_string(i));
        if (keyword == "additionalProperties" && !value.is_boolean())
            throw std::invalid_argument(where + ": additionalProperties is checked as true or false only");
        if (keyword == "$ref") Resolve(schema);
    }
}

const Json& JsonSchema::Resolve(const Json& schema) const {
    if (!schema.contains("$ref")) return schema;
    const std::string ref = schema["$ref"].get<std::string>();
    const std::string prefix = "#/$defs/";
    if (!ref.starts_with(prefix) || !root_.contains("$defs") || !root_["$defs"].contains(ref.substr(prefix.size())))
        throw std::invalid_argument("$ref " + ref + " leads nowhere");
    return root_["$defs"][ref.substr(prefix.size())];
}

std::vector<std::string> JsonSchema::Violations(const Json& document) const {
    std::vector<std::string> violations;
    Check(root_, document, "", violations);
    return violations;
}

void JsonSchema::Check(const Json& given, const Json& value, const std::string& where,
                       std::vector<std::string>& violations) const {
    const Json& schema = Resolve(given);
    const std::string place = where.empty() ? "/" : where;
    if (schema.contains("type") && !HasAnyType(value, schema["type"])) {
        violations.push_back(place + ": " + value.dump() + " is not of type " + schema["type"].dump());
        return;
    }
    if (schema.contains("enum") && std::find(schema["enum"].begin(), schema["enum"].end(), value) == schema["enum"].end())
        violations.push_back(place + ": " + value.dump() + " is none of " + schema["enum"].dump());
    if (schema.contains("minimum") && value.is_number() && value.get<double>() < schema["minimum"].get<double>())
        violations.push_back(place + ": " + value.dump() + " is below " + schema["minimum"].dump());
    if (value.is_object()) {
        for (const Json& name : schema.value("required", Json::array()))
            if (!value.contains(name.get<std::string>())) violations.push_back(place + ": " + name.dump() + " is missing");
        const Json dependent = schema.value("dependentRequired", Json::object());
        for (const auto& [given, needed] : dependent.items())
            for (const Json& name : needed)
                if (value.contains(given) && !value.contains(name.get<std::string>()))
                    violations.push_back(place + ": " + name.dump() + " is missing beside \"" + given + "\"");
        const Json properties = schema.value("properties", Json::object());
        for (const auto& [name, inner] : value.items()) {
            if (properties.contains(name)) {
                Check(properties[name], inner, where + "/" + name, violations);
            } else if (!schema.value("additionalProperties", true)) {
                violations.push_back(place + ": \"" + name + "\" is not in the schema");
            }
        }
    }
    if (value.is_array() && schema.contains("items"))
        for (std::size_t i = 0; i < value.size(); ++i)
            Check(schema["items"], value[i], where + "/" + std::to_string(i), violations);
    if (schema.contains("oneOf")) {
        std::size_t matched = 0;
        for (const Json& alternative : schema["oneOf"]) {
            std::vector<std::string> ignored;
            Check(alternative, value, where, ignored);
            matched += ignored.empty() ? 1 : 0;
        }
        if (matched != 1)
            violations.push_back(place + ": matches " + std::to_string(matched) + " of the oneOf alternatives, not 1");
    }
}

}  // namespace quorvel::test
