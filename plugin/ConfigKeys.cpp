#include "plugin/ConfigKeys.h"

namespace ConfigKeys {
namespace {

template <typename T>
KeyDescription Describe(const Key<T>& key, KeyType type) {
    return {key.name, type, nlohmann::json(key.fallback), [&key](const nlohmann::json& document) {
                (void)document.value(key.name, key.fallback);
            }};
}

}  // namespace

const std::vector<KeyDescription>& AllKeys() {
    static const std::vector<KeyDescription> keys = {
        Describe(WhitelistedDinos, KeyType::ArrayOfStrings),
        Describe(DestroyDinosOverLevel, KeyType::Number),
        Describe(EnableLevelWarning, KeyType::Boolean),
        Describe(LevelWarningThreshold, KeyType::Number),
        Describe(MinDinoLevel, KeyType::Number),
        Describe(AutoDestroyDinosBelowMinLevel, KeyType::Boolean),
        Describe(DestroyIncoherentDinos, KeyType::Boolean),
        Describe(DestroyDinosOverStatValue, KeyType::Boolean),
        Describe(StatValueLimits, KeyType::Object),
        Describe(LevelWarningWebhook, KeyType::String),
    };
    return keys;
}

}  // namespace ConfigKeys
