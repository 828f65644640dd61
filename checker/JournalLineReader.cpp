#include "checker/JournalLineReader.h"

#include <cstring>

namespace checker {

JournalLineReader::JournalLineReader(const std::filesystem::path& path, size_t blockSize)
    : file(path, std::ios::binary), block(blockSize) {}

bool JournalLineReader::Next(std::string_view& line) {
    for (;;) {
        const char* start = block.data() + begin;
        const auto* feed = static_cast<const char*>(std::memchr(start, '\n', filled - begin));
        if (feed != nullptr) {
            line = std::string_view(start, static_cast<size_t>(feed - start));
            begin += line.size() + 1;
            return true;
        }
        if (ended) {
            if (begin == filled) return false;
            line = std::string_view(start, filled - begin);
            begin = filled;
            return true;
        }
        Refill();
    }
}

void JournalLineReader::Refill() {
    std::memmove(block.data(), block.data() + begin, filled - begin);
    filled -= begin;
    begin = 0;
    if (filled == block.size()) block.resize(block.size() * 2);
    file.read(block.data() + filled, static_cast<std::streamsize>(block.size() - filled));
    const auto read = static_cast<size_t>(file.gcount());
    filled += read;
    if (read == 0) ended = true;
}

}  // namespace checker
