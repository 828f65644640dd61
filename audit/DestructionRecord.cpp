#include "audit/DestructionRecord.h"

#include <algorithm>

#include "audit/AuditCheck.h"
#include "audit/DestructionJournal.h"
#include "audit/TextConversion.h"
#include "host/Game.h"

namespace {

template <typename T>
PerStat<T> CopyStats(const T* values) {
    PerStat<T> copy;
    std::copy_n(values, copy.size(), copy.begin());
    return copy;
}

std::optional<std::array<double, 3>> Location(APrimalDinoCharacter* dino) {
    USceneComponent* root = Game::RootComponent(reinterpret_cast<AActor*>(dino));
    if (root == nullptr) return std::nullopt;
    const FVector& location = Game::RelativeLocation(root);
    return std::array<double, 3>{location.X, location.Y, location.Z};
}

}  // namespace

PendingRecord::PendingRecord(AuditCheck& check, AuditRule rule, const Comparison& compared,
                             const std::string& report) {
    if (!check.effects.KeepsJournal() || !JournalEnabled(check.config)) return;
    try {
        record = MakeDestructionRecord(check, rule, compared, report);
    } catch (const std::exception& error) {
        failure = error.what();
    } catch (...) {
        failure = "unknown error";
    }
}

DestructionRecord MakeDestructionRecord(AuditCheck& check, AuditRule rule,
                                        const Comparison& compared, const std::string& report) {
    AuditFacts& facts = check.facts;
    return {rule,
            facts.MapText(),
            ToUtf8Text(Game::DescriptiveName(check.dino)),
            facts.Level(),
            facts.Creature().team,
            Location(check.dino),
            facts.Owners(),
            compared,
            CopyStats(Game::LevelUpPointsApplied(check.status)),
            CopyStats(Game::LevelUpPointsAppliedTamed(check.status)),
            CopyStats(Game::MutationsAppliedTamed(check.status)),
            CopyStats(Game::CurrentStatusValues(check.status)),
            report};
}
