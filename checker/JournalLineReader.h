// A journal file read line by line in blocks much larger than a line, without a copy per line:
// what keeps a query over millions of records fast.
#pragma once

#include <filesystem>
#include <fstream>
#include <string_view>
#include <vector>

namespace checker {

class JournalLineReader {
public:
    // A block of `blockSize` bytes is read at a time; a longer line grows it.
    explicit JournalLineReader(const std::filesystem::path& path,
                               size_t blockSize = size_t{1} << 20);

    bool IsOpen() const { return file.is_open(); }

    // The next line without its line feed, valid until the next call; false at the end.
    bool Next(std::string_view& line);

private:
    void Refill();

    std::ifstream file;
    std::vector<char> block;
    size_t begin = 0, filled = 0;
    bool ended = false;
};

}  // namespace checker
