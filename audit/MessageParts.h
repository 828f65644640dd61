// Chat messages cut into posts the chat service accepts: at most 2000 characters each.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The longest "content" the chat service accepts, in characters.
inline constexpr size_t MaxPostCharacters = 2000;

// Characters (Unicode code points) of UTF-8 text, as the chat service counts them.
size_t CharacterCount(std::string_view utf8);

// The message itself when it fits one post; otherwise consecutive parts of at most `limit`
// characters, split only at line breaks (the break itself is left out). A single line longer
// than a part is cut at the limit, never inside a character or a fence. A part that ends inside
// a ``` block is closed with ``` and the next one opens with ```, so every part renders alone.
std::vector<std::string> SplitMessage(std::string_view message, size_t limit = MaxPostCharacters);
