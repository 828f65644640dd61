// dladdr stands in for GetModuleHandleExA and GetModuleFileNameW.
#include "host/ModulePath.h"

#include <dlfcn.h>

#include <string>

namespace {

constexpr size_t MaxModulePathUnits = 260;

std::u16string DecodeUtf8(const std::string& text) {
    std::u16string result;
    for (size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        char32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (size_t i = 1; i < length && at + i < text.size(); ++i)
            code = (code << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
        at += length;
        if (code >= 0x10000) {
            code -= 0x10000;
            result += static_cast<char16_t>(0xD800 + (code >> 10));
            result += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            result += static_cast<char16_t>(code);
        }
    }
    return result;
}

}  // namespace

FString OwnModulePath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&OwnModulePath), &info) == 0 || info.dli_fname == nullptr)
        return FString();
    std::u16string path = DecodeUtf8(info.dli_fname);
    if (path.size() > MaxModulePathUnits) path.resize(MaxModulePathUnits);
    return FString(static_cast<int32_t>(path.size()), path.c_str());
}
