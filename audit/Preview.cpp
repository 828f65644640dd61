#include "audit/Preview.h"

#include <fmt/format.h>

#include "audit/CheckDino.h"
#include "audit/CreatureTexts.h"
#include "audit/WorldCreatures.h"
#include "host/Game.h"

namespace {

// Counts what the checks would do, creature by creature, and describes the first creatures
// acted on. It never destroys, so each creature is still there to be described.
class PreviewEffects : public AuditEffects {
public:
    explicit PreviewEffects(PreviewResult& tally) : result(tally) {}

    void Begin(TWeakObjectPtr<APrimalDinoCharacter> dino) {
        current = dino;
        actedOn = false;
    }

    void LogDestroyed(const std::string&) override {}
    void Post(const Report& report) override {
        ++result.tallies[Index(report.rule)].reported;
        Acted(report.rule, false);
    }
    void Destroy(APrimalDinoCharacter*, AuditRule rule) override {
        ++result.tallies[Index(rule)].destroyed;
        Acted(rule, true);
    }
    void RecordDestruction(const DestructionRecord&) override {}
    void AddPlayerId(AShooterGameMode*, int32_t, const FString&) override {}

private:
    static size_t Index(AuditRule rule) { return static_cast<size_t>(rule); }

    // One rule acts per check; its destruction and its report name the creature once.
    void Acted(AuditRule rule, bool destroyed) {
        if (actedOn) {
            if (destroyed && !result.listed.empty() && listedCurrent)
                result.listed.back().destroyed = true;
            return;
        }
        actedOn = true;
        ++result.actedOn;
        ++result.tallies[Index(rule)].actedOn;
        listedCurrent = result.listed.size() < ListedCreatures;
        if (listedCurrent)
            result.listed.push_back({DescribeForOperator(current.Get()), rule, destroyed});
    }

    PreviewResult& result;
    TWeakObjectPtr<APrimalDinoCharacter> current;
    bool actedOn = false;
    bool listedCurrent = false;
};

}  // namespace

const char* RuleName(AuditRule rule) {
    switch (rule) {
        case AuditRule::OverLevel:
            return "over-level";
        case AuditRule::LevelWarning:
            return "level warning";
        case AuditRule::MinimumLevel:
            return "minimum level";
        case AuditRule::Incoherent:
            return "incoherent";
        case AuditRule::StatLimit:
            return "stat limits";
    }
    return "";
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
            effects.Begin(weak);
            ForgetFailedConfigKey();
            AuditCreature(weak, config, effects);
            ++result.checked;
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
