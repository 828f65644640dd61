// fmt for the plugin's own files: include this instead of <fmt/format.h>. fmt 9 defines, in that
// header, the engine that formats into a buffer (what a logger call with arguments and
// fmt::format_to into a memory buffer run), so each file that used it compiled all of it again:
// 3 to 5 seconds of its build. libfmt holds that engine already; fmt 10 declares it so itself.
// Where the engine is not taken from libfmt, each file compiles it as before: header-only fmt
// (the Windows build), and clang (the fuzzer's build), which names this function otherwise than
// the g++ that built Debian's libfmt.
#pragma once

#include <fmt/format.h>

#if FMT_VERSION >= 90000 && FMT_VERSION < 100000 && !defined(FMT_HEADER_ONLY) && !defined(__clang__)
extern template FMT_API void fmt::detail::vformat_to<char>(
    fmt::detail::buffer<char>& buffer, fmt::string_view format,
    fmt::basic_format_args<fmt::buffer_context<char>> args, fmt::detail::locale_ref locale);
#endif
