// The one table of configuration keys: names, types and defaults. The plugin reads each key from
// the configuration at the moment it needs it; the checker describes the same table to operators.
#pragma once

#include <array>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/ConfigKeyTypes.h"

namespace ConfigKeys {

// Every key: its name, type, default and when a check reads it, in the order the checker lists
// them. A row here is all a new key needs: it is declared below, described to the checker by
// AllKeys() and read into every ConfigSnapshot under its own name.
#define TAMEWARDEN_CONFIG_KEYS(KEY)                                                                \
    KEY(WhitelistedDinos, std::vector<std::string>, {}, "first thing in every creature check")     \
    KEY(DestroyDinosOverLevel, int32_t, 1000, "in the check of every creature that is not exempt") \
    KEY(EnableLevelWarning, bool, false,                                                           \
        "in the check of every creature not destroyed for its level")                              \
    KEY(LevelWarningThreshold, int32_t, 400,                                                       \
        "in the check of every creature not destroyed for its level, while the warning is on")     \
    KEY(MinDinoLevel, int32_t, -1,                                                                 \
        "in the check of every creature neither destroyed for its level nor warned about")         \
    KEY(AutoDestroyDinosBelowMinLevel, bool, false,                                                \
        "in the check of every creature at or below \"MinDinoLevel\"")                             \
    KEY(DestroyIncoherentDinos, bool, false,                                                       \
        "in the check of every creature whose level disagrees with its level-up points")           \
    KEY(DestroyDinosOverStatValue, bool, false,                                                    \
        "in the check of every creature that passed the level and coherence rules")                \
    KEY(StatValueLimits, nlohmann::json, nlohmann::json::object(),                                 \
        "when a creature reaches the stat limits")                                                 \
    KEY(LevelWarningWebhook, std::string, "",                                                      \
        "at every post (for an over-level creature before it is logged or destroyed, so it "       \
        "stays)")                                                                                  \
    KEY(DestroyJournal, bool, true, "at load and at every destruction")                            \
    KEY(DestroyBrakeLimit, int32_t, 0, "at every destruction")                                     \
    KEY(DestroyBrakeMinutes, int32_t, 10, "at every destruction while the brake is on")

#define TAMEWARDEN_DECLARE_KEY(name, type, fallback, whenRead) \
    inline const Key<type> name{#name, fallback, whenRead};
TAMEWARDEN_CONFIG_KEYS(TAMEWARDEN_DECLARE_KEY)
#undef TAMEWARDEN_DECLARE_KEY

// Every key's name, in the table's order, as a constant.
#define TAMEWARDEN_KEY_NAME(name, ...) #name,
inline constexpr std::array KeyNames{TAMEWARDEN_CONFIG_KEYS(TAMEWARDEN_KEY_NAME)};
#undef TAMEWARDEN_KEY_NAME

}  // namespace ConfigKeys
