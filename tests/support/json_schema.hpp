// JSON documents checked against a JSON Schema (draft 2020-12), for the keywords the
// project's schemas use: type (a name or a list of names), properties, required,
// dependentRequired, additionalProperties (true or false), items, enum, minimum, oneOf, and
// $ref to "#/$defs/NAME"; $schema, $id, title and description are notes. A schema with any
// other keyword is refused, so that a schema never says more than is checked.
#pragma once

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace quorvel::test {

class JsonSchema {
public:
    // Throws std::invalid_argument naming a keyword outside the subset, or a $ref that
    // leads nowhere.
    explicit JsonSchema(nlohmann::json schema);
    static JsonSchema FromFile(const std::filesystem::path& file);

    // What the document breaks, each with the place ("/entries/3/name: ..."); empty when it
    // matches.
    std::vector<std::string> Violations(const nlohmann::json& document) const;

private:
    void CheckKeywords(const nlohmann::json& schema, const std::string& where) const;
    const nlohmann::json& Resolve(const nlohmann::json& schema) const;
    void Check(const nlohmann::json& schema, const nlohmann::json& value, const std::string& where,
               std::vector<std::string>& violations) const;

    nlohmann::json root_;
};

}  // namespace quorvel::test
