#pragma once
// The command table: binds each script keyword to its handler and holds the vocabulary (the script words and texts
// that the vocabulary file assigns to the engine's keys).

#include <map>
#include <string>

namespace zel
{

class NovelCommands
{
public:
    NovelCommands();

    /// Script word or text for a vocabulary key ("Types_bg", "Msg_endGame", ...); the key itself when unset.
    std::wstring Word(const std::wstring& key) const;

    std::map<std::wstring, std::wstring> commandStrings;
};

} // namespace zel
