#include "NovelCommands.h"

namespace zel
{

NovelCommands::NovelCommands() = default;

std::wstring NovelCommands::Word(const std::wstring& key) const
{
    auto it = commandStrings.find(key);
    return it == commandStrings.end() ? key : it->second;
}

} // namespace zel
