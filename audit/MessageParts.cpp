#include "audit/MessageParts.h"

namespace {

constexpr std::string_view Fence = "```";

bool IsContinuationByte(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

size_t FenceCount(std::string_view text) {
    size_t count = 0;
    for (size_t at = text.find(Fence); at != std::string_view::npos;
         at = text.find(Fence, at + Fence.size()))
        ++count;
    return count;
}

// The byte length of the longest start of `text` with at most `characters` characters that
// neither ends inside a character nor cuts a fence in two. At least one character, so a cut
// always makes progress.
size_t CutLength(std::string_view text, size_t characters) {
    size_t length = 0;
    for (size_t counted = 0; length < text.size() && counted < characters; ++counted) {
        ++length;
        while (length < text.size() && IsContinuationByte(text[length])) ++length;
    }
    // Fences are found from the left, as a renderer does; move the cut before one it would split.
    for (size_t at = text.find(Fence); at != std::string_view::npos && at < length;
         at = text.find(Fence, at + Fence.size()))
        if (at + Fence.size() > length && at > 0) return at;
    return length;
}

class PartBuilder {
public:
    explicit PartBuilder(size_t partLimit) : limit(partLimit) {}

    // Adds one line (or piece of a line) to the part being built, starting a new part when it
    // does not fit.
    void AddLine(std::string_view line) {
        while (!TryAppend(line)) {
            if (hasText) {
                ClosePart();
                continue;
            }
            // Alone in a fresh part and still too long: cut it, keeping room for a closing fence.
            const size_t used = CharacterCount(current) + Fence.size();
            const size_t cut = CutLength(line, used < limit ? limit - used : 1);
            Append(line.substr(0, cut));
            line.remove_prefix(cut);
            if (line.empty()) return;
            ClosePart();
        }
    }

    std::vector<std::string> Finish() {
        if (hasText) parts.push_back(std::move(current));
        return std::move(parts);
    }

private:
    bool TryAppend(std::string_view piece) {
        const bool openAfter = open != (FenceCount(piece) % 2 == 1);
        const size_t needed = CharacterCount(current) + (hasText ? 1 : 0) + CharacterCount(piece) +
                              (openAfter ? Fence.size() : 0);
        if (needed > limit) return false;
        Append(piece);
        return true;
    }

    void Append(std::string_view piece) {
        if (hasText) current += '\n';
        current += piece;
        hasText = true;
        open = open != (FenceCount(piece) % 2 == 1);
    }

    void ClosePart() {
        if (open) current += Fence;
        parts.push_back(std::move(current));
        current = open ? std::string(Fence) : std::string();
        hasText = false;
    }

    size_t limit;
    std::vector<std::string> parts;
    std::string current;
    bool hasText = false;  // `current` holds more than a reopened fence
    bool open = false;     // the text so far ends inside a ``` block
};

}  // namespace

size_t CharacterCount(std::string_view utf8) {
    size_t count = 0;
    for (const char byte : utf8)
        if (!IsContinuationByte(byte)) ++count;
    return count;
}

std::vector<std::string> SplitMessage(std::string_view message, size_t limit) {
    if (CharacterCount(message) <= limit) return {std::string(message)};
    PartBuilder builder(limit);
    for (size_t start = 0;;) {
        const size_t end = message.find('\n', start);
        builder.AddLine(message.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return builder.Finish();
}
