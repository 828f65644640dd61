#include "base/ConfigSnapshot.h"

#include "base/Format.h"

namespace {

// Checks run on the game thread only. Not thread_local: the library is unloaded while the host's
// threads live on, and their thread storage would still point into it.
const char* lastFailedKey = "";

std::optional<std::string> ErrorOf(const std::exception_ptr& failure) {
    if (!failure) return std::nullopt;
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        return error.what();
    }
}

}  // namespace

const char* LastFailedConfigKey() { return lastFailedKey; }
void ForgetFailedConfigKey() { lastFailedKey = ""; }

std::string WhereCheckStopped(const std::string& key, const std::string& file,
                              const std::string& error) {
    if (key.empty()) return error;
    if (file.empty()) return fmt::format("key \"{}\": {}", key, error);
    return fmt::format("key \"{}\" in {}: {}", key, file, error);
}

template <typename T>
std::optional<std::string> Setting<T>::Error() const {
    return ErrorOf(failure);
}

template <typename T>
void Setting<T>::Fail() const {
    lastFailedKey = name;
    std::rethrow_exception(failure);
}

template class Setting<std::vector<std::string>>;
template class Setting<int32_t>;
template class Setting<bool>;
template class Setting<std::string>;

// The same reads in the same order as the walk over the JSON document: the member's name first,
// then its value as a float.
StatLimitsSetting::StatLimitsSetting(const nlohmann::json& document,
                                     const ConfigKeys::Key<nlohmann::json>& key) {
    try {
        const nlohmann::json members = ConfigKeys::ReadKey(document, key);
        for (auto entry = members.begin(); entry != members.end(); ++entry) {
            const std::optional<size_t> stat = ConfigKeys::StatIndexFromName(entry.key());
            limits.push_back({stat, entry.value().get<float>()});
        }
    } catch (const nlohmann::json::exception&) {
        failure = std::current_exception();
    }
}

std::optional<StatLimitsSetting::Limit> StatLimitsSetting::FirstReached(
    const float* current) const {
    for (const Limit& entry : limits)
        if (entry.stat && entry.limit > 0 && current[*entry.stat] >= entry.limit) return entry;
    if (failure) {
        lastFailedKey = ConfigKeys::StatValueLimits.name;
        std::rethrow_exception(failure);
    }
    return std::nullopt;
}

std::optional<std::string> StatLimitsSetting::Error() const { return ErrorOf(failure); }

ConfigSnapshot::ConfigSnapshot(const nlohmann::json& document) {
#define TAMEWARDEN_READ_SETTING(name, ...) name = decltype(name)(document, ConfigKeys::name);
    TAMEWARDEN_CONFIG_KEYS(TAMEWARDEN_READ_SETTING)
#undef TAMEWARDEN_READ_SETTING
    // -1 is the over-level rule's own "off"; the other rules ask OutOfRange().
    DestroyDinosOverLevel.ReadOutOfRangeAs(-1);
}
