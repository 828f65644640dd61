#include "checker/WorldProblems.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "audit/RuleIdentity.h"
#include "base/ConfigKeys.h"
#include "base/Format.h"

namespace checker {
namespace {

using nlohmann::json;

std::string WithArticle(const std::string& word) {
    const bool vowel =
        !word.empty() && std::string_view("aeiou").find(word[0]) != std::string_view::npos;
    return (vowel ? "an " : "a ") + word;
}

std::string ValueText(const json& document, const std::string& key) {
    const auto found = document.is_object() ? document.find(key) : document.end();
    return found == document.end() ? "absent (its default applies)" : found->dump();
}

void DestructionShares(const json& document, const DryRunResult& run, const std::string& world,
                       std::vector<Problem>& problems) {
    for (size_t index = 0; index < run.tallies.size(); ++index) {
        const RuleTally& tally = run.tallies[index];
        const RuleIdentity& identity = AllRules()[index];
        if (tally.destroyed == 0 || !identity.CanDestroy()) continue;
        if (!DestroysLargeShare(tally)) continue;
        // The key an operator changes to make the rule destroy less.
        const std::string key = identity.destroyingKey;
        problems.push_back(
            {Harm::DestroysCreatures, key, ValueText(document, key),
             fmt::format("{} rule that destroys at most a tenth of the creatures it sees (or "
                         "at most {} of them)",
                         WithArticle(identity.name), FewCreatures),
             fmt::format(
                 "would destroy {} of {} creatures ({:.0f} %) in the dry run on {}",
                 tally.destroyed, tally.reached,
                 100.0 * static_cast<double>(tally.destroyed) / static_cast<double>(tally.reached),
                 world)});
    }
}

bool SameIgnoringCase(const std::string& left, const std::string& right) {
    return std::equal(left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
}

// The plugin compares whitelist entries with creature names exactly.
void WhitelistCase(const json& document, const DryRunResult& run, std::vector<Problem>& problems) {
    const auto found =
        document.is_object() ? document.find(ConfigKeys::WhitelistedDinos.name) : document.end();
    if (found == document.end() || !found->is_array()) return;
    const std::vector<std::string>& names = run.creatureNames;
    for (size_t index = 0; index < found->size(); ++index) {
        const json& entry = (*found)[index];
        if (!entry.is_string()) continue;
        const std::string wanted = entry.get<std::string>();
        if (std::find(names.begin(), names.end(), wanted) != names.end()) continue;
        const auto near = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
            return SameIgnoringCase(name, wanted);
        });
        if (near == names.end()) continue;
        problems.push_back(
            {Harm::DestroysCreatures, fmt::format("WhitelistedDinos[{}]", index), entry.dump(),
             json(*near).dump(),
             fmt::format("whitelist entries are case-sensitive: the world has '{}'; this entry "
                         "exempts none of them, and the rules apply to them",
                         *near)});
    }
}

}  // namespace

std::vector<Problem> CheckAgainstWorld(const json& document, const DryRunResult& run,
                                       const std::string& worldPath) {
    std::vector<Problem> problems;
    DestructionShares(document, run, worldPath, problems);
    WhitelistCase(document, run, problems);
    return problems;
}

}  // namespace checker
