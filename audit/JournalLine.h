// One journal record as a line of JSON: what the journal file holds and the checker reads back.
#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

#include "audit/DestructionRecord.h"
#include "base/Format.h"

// Appends the record as one JSON object and a line feed. Text that is not valid UTF-8 is written
// with U+FFFD in place of each bad byte, so every line is valid JSON whatever the names hold.
void AppendJournalLine(fmt::memory_buffer& out, const DestructionRecord& record, uint64_t seq,
                       std::chrono::system_clock::time_point time);

// Appends the line that marks record `seq` not done: its destroy did not happen, for `reason`.
void AppendNotDoneLine(fmt::memory_buffer& out, uint64_t seq, std::string_view reason,
                       std::chrono::system_clock::time_point time);

// Appends `text` as a JSON string, quotes included.
void AppendJsonString(fmt::memory_buffer& out, std::string_view text);
