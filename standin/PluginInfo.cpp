#include "standin/PluginInfo.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace standin {
namespace {

// The reason alone; the caller puts the file's path in front of it.
struct Invalid {
    std::string reason;
};

const nlohmann::json& Field(const nlohmann::json& document, const char* name,
                            nlohmann::json::value_t type, const char* typeWords) {
    const auto found = document.find(name);
    if (found == document.end()) throw Invalid{std::string("missing \"") + name + "\""};
    // Integers and floating-point numbers both count as numbers.
    const bool matches =
        type == nlohmann::json::value_t::number_float ? found->is_number() : found->type() == type;
    if (!matches)
        throw Invalid{std::string("\"") + name + "\" must be " + typeWords + ", but is " +
                      found->type_name()};
    return *found;
}

PluginInfo Validate(const nlohmann::json& document) {
    using Type = nlohmann::json::value_t;
    if (!document.is_object())
        throw Invalid{std::string("the top level must be an object, but is ") +
                      document.type_name()};
    PluginInfo info;
    info.fullName = Field(document, "FullName", Type::string, "a string").get<std::string>();
    info.description = Field(document, "Description", Type::string, "a string").get<std::string>();
    info.version = Field(document, "Version", Type::number_float, "a number").get<double>();
    info.minApiVersion =
        Field(document, "MinApiVersion", Type::number_float, "a number").get<double>();
    const nlohmann::json& dependencies =
        Field(document, "Dependencies", Type::array, "an array of strings");
    for (size_t index = 0; index < dependencies.size(); ++index) {
        if (!dependencies[index].is_string())
            throw Invalid{"\"Dependencies\"[" + std::to_string(index) +
                          "] must be a string, but is " + dependencies[index].type_name()};
        info.dependencies.push_back(dependencies[index].get<std::string>());
    }
    if (info.fullName.empty()) throw Invalid{"\"FullName\" is empty"};
    return info;
}

}  // namespace

PluginInfo ReadPluginInfo(const std::filesystem::path& file) {
    try {
        std::ifstream stream(file);
        if (!stream.is_open()) throw Invalid{"cannot be opened"};
        nlohmann::json document;
        try {
            stream >> document;
        } catch (const nlohmann::json::parse_error& error) {
            throw Invalid{error.what()};
        }
        return Validate(document);
    } catch (const Invalid& invalid) {
        throw std::runtime_error(file.string() + ": " + invalid.reason);
    }
}

}  // namespace standin
