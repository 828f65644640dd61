#include "audit/StatLimits.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>

#include "audit/Messages.h"
#include "audit/Notifier.h"
#include "audit/TextConversion.h"
#include "host/Game.h"
#include "plugin/Config.h"

namespace {

static_assert(ConfigKeys::StatNames.size() == Game::StatCount);

bool SameIgnoringAsciiCase(std::string_view left, std::string_view right) {
    return std::equal(left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
}

bool IsCounted(int stat) {
    return std::find(CoherenceExcludedStats.begin(), CoherenceExcludedStats.end(), stat) ==
           CoherenceExcludedStats.end();
}

}  // namespace

bool IsLevelCoherent(UPrimalCharacterStatusComponent* status) {
    const int32_t level = Game::CharacterLevel(status);
    const uint8_t* points = Game::LevelUpPointsApplied(status);
    const uint8_t* tamedPoints = Game::LevelUpPointsAppliedTamed(status);
    const uint8_t* mutations = Game::MutationsAppliedTamed(status);
    int32_t sum = 0;
    for (int stat = 0; stat < Game::StatCount; ++stat)
        if (IsCounted(stat)) sum += points[stat] + tamedPoints[stat] + mutations[stat];
    // Widened, so the lowest level cannot overflow.
    return sum == static_cast<int64_t>(level) - 1;
}

std::optional<int> StatIndexFromName(std::string_view key) {
    for (int stat = 0; stat < Game::StatCount; ++stat)
        if (SameIgnoringAsciiCase(key, ConfigKeys::StatNames[stat])) return stat;
    return std::nullopt;
}

bool CheckIncoherentDino(AuditEffects& effects, APrimalDinoCharacter* dino,
                         UPrimalCharacterStatusComponent* status, const AuditFacts& facts) {
    if (IsLevelCoherent(status)) return false;
    const bool destroy = ReadConfigKey(ConfigKeys::DestroyIncoherentDinos);
    const CreatureTexts creature = DescribeCreature(dino);
    const std::string members = ToUtf8Text(facts.memberBlock);
    const std::string map = ToAsciiText(facts.mapName);
    if (destroy) {
        DestroyThenPost(effects, dino, AuditRule::Incoherent,
                        fmt::format(Messages::IncoherentDestroyed, map, creature.name, facts.level,
                                    creature.location, members));
    } else {
        PostToWebhook(effects, AuditRule::Incoherent,
                      fmt::format(Messages::IncoherentDetected, map, creature.name, facts.level,
                                  creature.location, members));
    }
    return true;
}

bool CheckStatValueLimits(AuditEffects& effects, APrimalDinoCharacter* dino,
                          UPrimalCharacterStatusComponent* status, const AuditFacts& facts) {
    if (!ReadConfigKey(ConfigKeys::DestroyDinosOverStatValue)) return false;
    const nlohmann::json limits = ReadConfigKey(ConfigKeys::StatValueLimits);
    const float* current = Game::CurrentStatusValues(status);
    bool overLimit = false;
    for (auto entry = limits.begin(); entry != limits.end() && !overLimit; ++entry) {
        const std::optional<int> stat = StatIndexFromName(entry.key());
        // Converted before an unknown key is skipped, so a wrong type is reported either way.
        const auto limit = entry.value().get<float>();
        overLimit = stat.has_value() && limit > 0 && current[*stat] >= limit;
    }
    if (!overLimit) return false;
    const CreatureTexts creature = DescribeCreature(dino);
    DestroyThenPost(
        effects, dino, AuditRule::StatLimit,
        fmt::format(Messages::OverStatLimitDestroyed, ToAsciiText(facts.mapName), creature.name,
                    facts.level, creature.location, creature.team, ToUtf8Text(facts.memberBlock)));
    return true;
}
