#include "checker/PostRules.h"

#include <string_view>

#include "audit/Messages.h"

namespace checker {
namespace {

struct Format {
    const char* text;
    const char* rule;
    bool destroyed;
    bool postedBeforeDestruction;
    std::vector<std::string> fieldNames;
};

// Tried in order: the tribe warning before the kept minimum-level report, whose last field would
// also take in the tribe warning's member lines.
const std::vector<Format>& Formats() {
    static const std::vector<Format> formats = {
        {Messages::OverLevelPost,
         "DestroyDinosOverLevel",
         true,
         true,
         {"name", "level", "team", "location", "members"}},
        {Messages::WildWarning,
         "EnableLevelWarning",
         false,
         false,
         {"map", "name", "level", "location"}},
        {Messages::TribeWarning,
         "EnableLevelWarning",
         false,
         false,
         {"map", "name", "level", "team", "location", "members"}},
        {Messages::BelowMinimumDestroyed,
         "MinDinoLevel",
         true,
         false,
         {"map", "name", "level", "team", "location", "members"}},
        {Messages::BelowMinimumKept,
         "MinDinoLevel",
         false,
         false,
         {"map", "name", "level", "team", "location"}},
        {Messages::OverStatLimitDestroyed,
         "DestroyDinosOverStatValue",
         true,
         false,
         {"map", "name", "level", "location", "team", "members"}},
        {Messages::IncoherentDestroyed,
         "DestroyIncoherentDinos",
         true,
         false,
         {"map", "name", "level", "location", "members"}},
        {Messages::IncoherentDetected,
         "DestroyIncoherentDinos",
         false,
         false,
         {"map", "name", "level", "location", "members"}},
    };
    return formats;
}

// The fields of `text` when it has the shape of `format`; each field ends at the first
// occurrence of the literal text that follows it.
std::optional<std::vector<std::string>> Match(std::string_view format, std::string_view text) {
    std::vector<std::string_view> literals;
    for (size_t start = 0;;) {
        const size_t hole = format.find("{}", start);
        literals.push_back(
            format.substr(start, hole == std::string_view::npos ? hole : hole - start));
        if (hole == std::string_view::npos) break;
        start = hole + 2;
    }
    if (!text.starts_with(literals.front())) return std::nullopt;
    size_t position = literals.front().size();
    std::vector<std::string> fields;
    for (size_t index = 1; index < literals.size(); ++index) {
        const bool last = index + 1 == literals.size();
        size_t end =
            last ? text.size() - literals[index].size() : text.find(literals[index], position);
        if (end == std::string_view::npos || end < position) return std::nullopt;
        if (last && !text.ends_with(literals[index])) return std::nullopt;
        fields.emplace_back(text.substr(position, end - position));
        position = end + literals[index].size();
    }
    return fields;
}

}  // namespace

std::optional<PostRule> RuleOfMessage(const std::string& message) {
    for (const Format& format : Formats()) {
        auto fields = Match(format.text, message);
        if (!fields) continue;
        return PostRule{format.rule, format.destroyed, format.postedBeforeDestruction,
                        std::move(*fields), format.fieldNames};
    }
    return std::nullopt;
}

}  // namespace checker
