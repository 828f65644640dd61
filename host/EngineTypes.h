// The engine's value types as the plugin sees them: engine arrays, FString, weak object
// references and the RCON packet. Engine classes stay incomplete; the plugin never sees a layout.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>

#include "host/EngineMemory.h"
#include "host/StringHelpers.h"

class UObject;
class UClass;
class UStruct;
class UWorld;
class AActor;
class APlayerController;
class AShooterPlayerController;
class AShooterGameMode;
class APrimalDinoCharacter;
class UPrimalCharacterStatusComponent;
class USceneComponent;
class RCONClientConnection;
struct FTribeData;

// Engine array: data, count and capacity, storage from the engine allocator. Elements are
// relocated bytewise on growth, as the engine does.
template <typename T>
struct TArray {
    T* Data = nullptr;
    int32_t ArrayNum = 0;
    int32_t ArrayMax = 0;

    TArray() = default;
    TArray(const TArray& other) { Append(other.Data, other.ArrayNum); }
    TArray(TArray&& other) noexcept
        : Data(std::exchange(other.Data, nullptr)),
          ArrayNum(std::exchange(other.ArrayNum, 0)),
          ArrayMax(std::exchange(other.ArrayMax, 0)) {}
    TArray& operator=(TArray other) noexcept {
        std::swap(Data, other.Data);
        std::swap(ArrayNum, other.ArrayNum);
        std::swap(ArrayMax, other.ArrayMax);
        return *this;
    }
    ~TArray() { Empty(); }

    int32_t Num() const { return ArrayNum; }
    bool IsValidIndex(int32_t index) const { return index >= 0 && index < ArrayNum; }
    T& operator[](int32_t index) { return Data[index]; }
    const T& operator[](int32_t index) const { return Data[index]; }
    T* begin() { return Data; }
    T* end() { return Data + ArrayNum; }
    const T* begin() const { return Data; }
    const T* end() const { return Data + ArrayNum; }

    void Reserve(int32_t capacity) {
        if (capacity <= ArrayMax) return;
        Data = static_cast<T*>(EngineRealloc(Data, static_cast<uint64_t>(capacity) * sizeof(T)));
        ArrayMax = capacity;
    }
    template <typename... Args>
    T& Emplace(Args&&... args) {
        if (ArrayNum == ArrayMax) Reserve(ArrayMax < 4 ? 4 : ArrayMax * 2);
        T* slot = new (Data + ArrayNum) T(std::forward<Args>(args)...);
        ++ArrayNum;
        return *slot;
    }
    void Add(const T& value) { Emplace(value); }
    void Append(const T* values, int32_t count) {
        Reserve(ArrayNum + count);
        for (int32_t i = 0; i < count; ++i) new (Data + ArrayNum + i) T(values[i]);
        ArrayNum += count;
    }
    void Empty() {
        for (int32_t i = 0; i < ArrayNum; ++i) Data[i].~T();
        if (Data != nullptr) EngineFree(Data);  // an array that never held storage owes none
        Data = nullptr;
        ArrayNum = ArrayMax = 0;
    }
};

namespace ESearchCase {
enum Type { CaseSensitive, IgnoreCase };
}
namespace ESearchDir {
enum Type { FromStart, FromEnd };
}

// The engine's string: UTF-16 units with a terminating zero that the stored length counts, so a
// stored length of 0 or 1 is an empty string.
struct FString {
    TArray<TCHAR> Data;

    FString() = default;
    FString(const char* text);  // 8-bit text read as UTF-8; ASCII bytes are one unit each
    FString(const TCHAR* text);
    FString(int32_t length, const TCHAR* text);
    FString(const FString&) = default;
    FString(FString&&) noexcept = default;
    FString& operator=(const FString&) = default;
    FString& operator=(FString&&) noexcept = default;

    int32_t Len() const { return Data.ArrayNum > 0 ? Data.ArrayNum - 1 : 0; }
    bool IsEmpty() const { return Data.ArrayNum <= 1; }
    const TCHAR* operator*() const { return Data.ArrayNum > 0 ? Data.Data : TW_TEXT(""); }
    EngineTextView View() const { return {**this, static_cast<size_t>(Len())}; }

    void AppendChars(const TCHAR* chars, int32_t count);
    FString& operator+=(const FString& other) {
        AppendChars(*other, other.Len());
        return *this;
    }

    // Position of the first occurrence of `sub` at or after `start` (-1 for the beginning), or
    // -1 when it does not occur.
    int32_t Find(const TCHAR* sub, ESearchCase::Type searchCase = ESearchCase::IgnoreCase,
                 ESearchDir::Type searchDir = ESearchDir::FromStart, int32_t start = -1) const;
};

inline bool operator==(const FString& left, const FString& right) {
    return left.View() == right.View();
}

struct FWeakObjectPtr {
    int32_t ObjectIndex = 0;
    int32_t ObjectSerialNumber = 0;
};

// A weak creature reference, passed by value. Setting and resolving go through the engine.
template <typename T>
struct TWeakObjectPtr : FWeakObjectPtr {
    T* Get() const;
};
static_assert(sizeof(TWeakObjectPtr<APrimalDinoCharacter>) == 8);

// Source RCON packet as the host hands it to command handlers: size, id, type, body.
struct RCONPacket {
    int32_t Length = 0;
    int32_t Id = 0;
    int32_t Type = 0;
    FString Body;
};

struct FLinearColor {
    float R = 0, G = 0, B = 0, A = 0;
};

inline int32_t FString::Find(const TCHAR* sub, ESearchCase::Type searchCase, ESearchDir::Type,
                             int32_t start) const {
    const EngineTextView text = View();
    const EngineTextView wanted(sub);
    const size_t from = start < 0 ? 0 : static_cast<size_t>(start);
    if (wanted.size() > text.size()) return -1;
    if (wanted.empty()) return from <= text.size() ? static_cast<int32_t>(from) : -1;
    // Most places differ in their first unit, so only a place that starts right is compared whole.
    const auto fold = [](TCHAR unit) {
        return unit >= TW_TEXT('A') && unit <= TW_TEXT('Z')
                   ? static_cast<TCHAR>(unit + (TW_TEXT('a') - TW_TEXT('A')))
                   : unit;
    };
    const TCHAR first = fold(wanted[0]);
    for (size_t at = from; at + wanted.size() <= text.size(); ++at) {
        const bool same =
            searchCase == ESearchCase::IgnoreCase
                ? fold(text[at]) == first &&
                      FGenericPlatformStricmp::Strnicmp(text.data() + at, sub, wanted.size()) == 0
                : text.compare(at, wanted.size(), wanted) == 0;
        if (same) return static_cast<int32_t>(at);
    }
    return -1;
}
