#include "audit/Preview.h"

#include "audit/CheckDino.h"
#include "audit/CreatureTexts.h"
#include "audit/WorldCreatures.h"
#include "base/ConfigSnapshot.h"
#include "base/Format.h"
#include "host/Game.h"

namespace {

// Counts what the checks would do, creature by creature, and describes the first creatures
// acted on. It never destroys, so each creature is still there to be described. A check counts
// once it has run to its end.
class PreviewEffects : public AuditEffects {
public:
    explicit PreviewEffects(PreviewResult& tally) : result(tally) {}

    void Begin() {
        reachedRules = false;
        actedBy.reset();
        destroyed = false;
    }
    void Finish(TWeakObjectPtr<APrimalDinoCharacter> dino) {
        ++result.checked;
        CountCheck(result.tallies, reachedRules, actedBy, destroyed);
        if (!actedBy) return;
        ++result.actedOn;
        if (result.listed.size() < ListedCreatures)
            result.listed.push_back({DescribeForOperator(dino.Get()), *actedBy, destroyed});
    }

    void RulesBegin(APrimalDinoCharacter*) override { reachedRules = true; }
    void LogDestroyed(const std::string&) override {}
    void Post(const Report& report) override { Acted(report.rule); }
    bool Destroy(APrimalDinoCharacter*, AuditRule rule, Game::DestroyFunction*) override {
        Acted(rule);
        destroyed = true;
        return true;
    }
    void AddPlayerId(AShooterGameMode*, int32_t, const FString&) override {}

private:
    // One rule acts per check; its destruction and its report are one creature.
    void Acted(AuditRule rule) {
        if (!actedBy) actedBy = rule;
    }

    PreviewResult& result;
    bool reachedRules = false;
    std::optional<AuditRule> actedBy;
    bool destroyed = false;
};

}  // namespace

void CountCheck(RuleTallies& tallies, bool reachedRules, std::optional<AuditRule> actedBy,
                bool destroyed) {
    if (!reachedRules) return;
    // The creature passes every rule before the one that acted, and each of them saw it.
    const size_t last = actedBy ? static_cast<size_t>(*actedBy) : tallies.size() - 1;
    for (size_t rule = 0; rule <= last; ++rule) ++tallies[rule].reached;
    if (!actedBy) return;
    ++(destroyed ? tallies[last].destroyed : tallies[last].onlyReported);
}

std::string TallyText(AuditRule rule, const RuleTally& tally) {
    return fmt::format("{}: of {} creature(s), destroy {}, only report {}, leave {}",
                       RuleName(rule), tally.reached, tally.destroyed, tally.onlyReported,
                       tally.Left());
}

bool DestroysLargeShare(const RuleTally& tally) {
    return (tally.destroyed * 10 > tally.reached && tally.destroyed > FewCreatures) ||
           tally.destroyed > CreaturesMeant;
}

std::string DestructionWarning(const RuleTallies& tallies, const ConfigSnapshot& config) {
    uint64_t total = 0;
    std::string reasons;
    for (size_t rule = 0; rule < tallies.size(); ++rule) {
        const RuleTally& tally = tallies[rule];
        total += tally.destroyed;
        if (tally.destroyed > 0 && DestroysLargeShare(tally))
            reasons += fmt::format(
                "; {}: {} of the {} creature(s) it reaches ({:.0f} %)",
                RuleName(static_cast<AuditRule>(rule)), tally.destroyed, tally.reached,
                100.0 * static_cast<double>(tally.destroyed) / static_cast<double>(tally.reached));
    }
    const bool brakeReadable =
        !config.DestroyBrakeLimit.Error() && !config.DestroyBrakeMinutes.Error();
    if (brakeReadable && !config.DestroyBrakeLimit.OutOfRange() &&
        config.DestroyBrakeLimit.Read() > 0 &&
        total > static_cast<uint64_t>(config.DestroyBrakeLimit.Read()))
        reasons = fmt::format("; more than the destroy brake's limit of {} in {} minute(s)",
                              config.DestroyBrakeLimit.Read(), config.DestroyBrakeMinutes.Read()) +
                  reasons;
    if (reasons.empty()) return "";
    return fmt::format("WARNING: would destroy {} creature(s){}", total, reasons);
}

std::string DescribeForOperator(APrimalDinoCharacter* dino) {
    const CreatureTexts texts = DescribeCreature(dino);
    UPrimalCharacterStatusComponent* status = Game::StatusComponent(dino);
    const std::string level =
        status != nullptr ? std::to_string(Game::CharacterLevel(status)) : "unknown";
    return fmt::format("{} level {} team {} at {}", texts.name, level, texts.team, texts.location);
}

PreviewResult PreviewWorld(const ConfigSnapshot& config) {
    PreviewResult result;
    PreviewEffects effects(result);
    TWeakObjectPtr<APrimalDinoCharacter> checking;
    try {
        ForEachCreatureInWorld([&](TWeakObjectPtr<APrimalDinoCharacter> weak) {
            checking = weak;
            effects.Begin();
            ForgetFailedConfigKey();
            AuditCreature(weak, config, effects);
            effects.Finish(weak);
        });
    } catch (const std::exception& error) {
        result.failure = error.what();
    } catch (...) {
        result.failure = "unknown error";
    }
    if (!result.failure.empty()) {
        result.failingKey = LastFailedConfigKey();
        APrimalDinoCharacter* dino = checking.Get();
        result.stoppedAt = dino != nullptr ? DescribeForOperator(dino) : "a creature";
    }
    return result;
}
