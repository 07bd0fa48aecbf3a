// The published JSON Schemas describe the record by hand; a field added to the one table of
// record fields (or a field watch starts to compare) must be added to them too, or this fails.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "fleet/RecordFields.h"

namespace {

using Json = nlohmann::ordered_json;

Json Schema(const std::string& name) {
    const std::string path = std::string(AP_SCHEMA_DIR) + "/" + name + ".schema.json";
    std::ifstream file(path);
    EXPECT_TRUE(file) << path;
    return Json::parse(file, nullptr, false);
}

std::vector<std::string> Keys(const Json& object) {
    std::vector<std::string> keys;
    for (const auto& [key, unused] : object.items()) {
        keys.push_back(key);
    }
    return keys;
}

// The record is described once, and every output that holds records refers to it.
TEST(SchemaFields, TheRecordSchemaHoldsTheTablesFieldsAndTypes) {
    std::vector<std::string> keys;
    for (const fleet::RecordField& field : fleet::RecordFields()) {
        keys.push_back(field.key);
    }
    const Json record = Schema("record");
    EXPECT_EQ(Keys(record["properties"]), keys);
    EXPECT_EQ(record["required"].get<std::vector<std::string>>(), keys);
    EXPECT_EQ(record["additionalProperties"], false);
    for (const fleet::RecordField& field : fleet::RecordFields()) {
        EXPECT_EQ(record["properties"][field.key]["type"],
                  field.isNumber() ? "integer" : "string")
            << field.key;
    }
    const Json reference = {{"$ref", record["$id"]}};
    EXPECT_EQ(Schema("discover")["items"], reference);
    for (const char* name : {"watch", "diff"}) {
        EXPECT_EQ(Schema(name)["oneOf"][0]["properties"]["record"], reference) << name;
    }
}

TEST(SchemaFields, ChangeLinesNameTheFieldsWatchCompares) {
    std::vector<std::string> watched, numbers;
    for (const fleet::RecordField* field : fleet::WatchedFields()) {
        watched.push_back(field->key);
        if (field->kind != fleet::FieldKind::kText && field->kind != fleet::FieldKind::kPlain) {
            numbers.push_back(field->key);
        }
    }
    for (const char* name : {"watch", "diff"}) {
        const Json changed = Schema(name)["oneOf"][1];
        EXPECT_EQ(changed["properties"]["field"]["enum"].get<std::vector<std::string>>(), watched)
            << name;
        EXPECT_EQ(changed["if"]["properties"]["field"]["enum"].get<std::vector<std::string>>(),
                  numbers)
            << name;
    }
}

}  // namespace
