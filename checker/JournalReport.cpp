#include "checker/JournalReport.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "audit/AuditRules.h"

namespace checker {
namespace {

using json = nlohmann::json;

constexpr const char* Usage =
    "usage: tamewarden-check --journal FILE [--owner TEXT] [--since DATE]\n"
    "  DATE   UTC, as 2026-12-09 or 2026-12-09T18:30\n";

bool IsRecord(const json& line) {
    if (!line.is_object()) return false;
    for (const char* member : {"time", "rule", "creature"}) {
        const auto found = line.find(member);
        if (found == line.end() || !found->is_string()) return false;
    }
    return true;
}

std::string Text(const json& record, const char* member) {
    const auto found = record.find(member);
    return found != record.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// Names may hold control characters; on one readable line they show as "?".
std::string Printable(std::string text) {
    for (char& unit : text)
        if (static_cast<unsigned char>(unit) < 0x20 || unit == 0x7F) unit = '?';
    return text;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

const json& Owners(const json& record) {
    static const json none = json::array();
    const auto found = record.find("owners");
    return found != record.end() && found->is_array() ? *found : none;
}

bool OwnedBy(const json& record, const std::string& owner) {
    for (const json& entry : Owners(record))
        if (entry.is_object() && (SameIgnoringCase(Text(entry, "name"), owner) ||
                                  SameIgnoringCase(Text(entry, "eosId"), owner)))
            return true;
    return false;
}

std::string OwnersText(const json& record) {
    std::string text;
    for (const json& entry : Owners(record)) {
        if (!entry.is_object()) continue;
        const std::string eosId = Text(entry, "eosId");
        text += fmt::format("{}{} [{}]", text.empty() ? "" : ", ", Printable(Text(entry, "name")),
                            eosId.empty() ? "no EOS id" : "EOS " + Printable(eosId));
    }
    return text.empty() ? "none" : text;
}

std::string LocationText(const json& record) {
    const auto found = record.find("location");
    if (found == record.end() || !found->is_array() || found->size() != 3 ||
        !std::all_of(found->begin(), found->end(),
                     [](const json& axis) { return axis.is_number(); }))
        return "unknown location";
    return fmt::format("X={:.3f} Y={:.3f} Z={:.3f}", (*found)[0].get<double>(),
                       (*found)[1].get<double>(), (*found)[2].get<double>());
}

std::string NumberText(const json& record, const char* member) {
    const auto found = record.find(member);
    return found != record.end() && found->is_number() ? found->dump() : "?";
}

}  // namespace

std::string JournalText(std::istream& journal, const JournalQuery& query) {
    std::string text;
    std::array<uint64_t, RuleCount> perRule{};
    uint64_t matching = 0;
    size_t number = 0;
    for (std::string line; std::getline(journal, line);) {
        ++number;
        const json record = json::parse(line, nullptr, false);
        if (!IsRecord(record)) {
            text += fmt::format("line {}: not a record, skipped\n", number);
            continue;
        }
        const std::string time = Text(record, "time");
        if (query.since && time < *query.since) continue;
        if (query.owner && !OwnedBy(record, *query.owner)) continue;
        const std::string rule = Text(record, "rule");
        for (const RuleIdentity& identity : AuditRules)
            if (identity.CanDestroy() && rule == identity.journalName)
                ++perRule[static_cast<size_t>(identity.rule)];
        ++matching;
        text += fmt::format("{} {}: {} level {}, owners {}, at {}\n", Printable(time),
                            Printable(rule), Printable(Text(record, "creature")),
                            NumberText(record, "level"), OwnersText(record), LocationText(record));
    }
    text += fmt::format("{} destroyed:", matching);
    const char* separator = "";
    for (const RuleIdentity& identity : AuditRules) {
        if (!identity.CanDestroy()) continue;  // a journal holds destructions only
        text += fmt::format("{} {} {}", separator, identity.journalName,
                            perRule[static_cast<size_t>(identity.rule)]);
        separator = ",";
    }
    return text + "\n";
}

std::optional<int> RunJournalQuery(const std::vector<std::string>& arguments) {
    if (std::find(arguments.begin(), arguments.end(), "--journal") == arguments.end())
        return std::nullopt;
    JournalQuery query;
    bool usable = true;
    for (size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        const bool hasValue = index + 1 < arguments.size();
        if (argument == "--journal" && hasValue && query.file.empty())
            query.file = arguments[++index];
        else if (argument == "--owner" && hasValue)
            query.owner = arguments[++index];
        else if (argument == "--since" && hasValue)
            query.since = arguments[++index];
        else
            usable = false;
    }
    static const std::regex Date(R"(\d{4}-\d\d-\d\d(T\d\d:\d\d(:\d\d(\.\d{1,3})?)?Z?)?)");
    if (query.since && !std::regex_match(*query.since, Date)) usable = false;
    if (!usable || query.file.empty()) {
        std::fputs(Usage, stderr);
        return 2;
    }
    std::ifstream journal(query.file, std::ios::binary);
    if (!journal) {
        std::fprintf(stderr, "tamewarden-check: cannot read %s\n", query.file.c_str());
        return 2;
    }
    std::fputs(JournalText(journal, query).c_str(), stdout);
    return 0;
}

}  // namespace checker
