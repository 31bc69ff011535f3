#pragma once
// The words of the engine's scripts as a host program knows them: every command, kind of thing and option by the
// engine's own name, with the Japanese word a Japanese vocabulary gives it. `quillhaven new` writes its
// Commands.xml from these lists, and the editor knows from them which commands there are.

#include <cstddef>

namespace hostcommon
{
/// A word of the vocabulary: the engine's own name for it, and the Japanese word a script writes.
struct Word
{
    const char* name;
    const char* japanese;
};

/// A fixed list of words, walked with a range-for.
struct WordList
{
    const Word* first;
    std::size_t count;

    const Word* begin() const { return first; }
    const Word* end() const { return first + count; }
};

/// Every command of the engine, in the order of its command table.
WordList CommandWords();
/// The kinds of things on the screen that fadein, fadeout and alpha take for "every one of that kind".
WordList TypeWords();
/// The options that commands look for in their arguments.
WordList OptionWords();
} // namespace hostcommon
