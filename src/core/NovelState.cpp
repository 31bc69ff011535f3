#include "core/NovelState.h"

#include "resources/NHelper.h"

#include <SFML/Window/Keyboard.hpp>

namespace zel
{

SystemVariables::SystemVariables()
    : dataPaths{{{L"Fonts/", L"Fonts.vndat"},
                 {L"Images/", L"Images.vndat"},
                 {L"Scripts/", L"Scripts.vndat"},
                 {L"BGM/", L"BGM.vndat"},
                 {L"SFX/", L"SFX.vndat"},
                 {L"Voices/", L"Voices.vndat"}}},
      entityTypeNames{
          {NTYPE_ALL, L"Types_all"},         {NTYPE_BG, L"Types_bg"},        {NTYPE_CG, L"Types_cg"},
          {NTYPE_TEXTBOX, L"Types_textbox"}, {NTYPE_BUTTON, L"button"},      {NTYPE_SYSBUTTON, L"Types_sysButton"},
          {NTYPE_BGM, L"Types_bgm"},         {NTYPE_SFX, L"Types_sfx"},      {NTYPE_VOICE, L"Types_voice"},
          {NTYPE_BACKLOG, L"Types_backlog"}, {NTYPE_CAMERA, L"Types_camera"}},
      keyNames(DefaultKeyNames())
{
}

std::wstring SystemVariables::FilePath(DataKind kind, const std::wstring& name) const
{
    return dataPaths[kind].folder + NHelper::Unquoted(name);
}

std::map<std::wstring, int> SystemVariables::DefaultKeyNames()
{
    using Key = sf::Keyboard;
    std::map<std::wstring, int> names{
        {L"ctrl", Key::LControl}, {L"shift", Key::LShift},        {L"alt", Key::LAlt},          {L"esc", Key::Escape},
        {L"tab", Key::Tab},       {L"backspace", Key::Backspace}, {L"delete", Key::Delete},     {L"home", Key::Home},
        {L"end", Key::End},       {L"pageup", Key::PageUp},       {L"pagedown", Key::PageDown}, {L"up", Key::Up},
        {L"down", Key::Down},     {L"left", Key::Left},           {L"right", Key::Right}};
    for (int letter = 0; letter < 26; ++letter)
        names[std::wstring(1, static_cast<wchar_t>(L'a' + letter))] = Key::A + letter;
    for (int digit = 0; digit < 10; ++digit)
        names[std::wstring(1, static_cast<wchar_t>(L'0' + digit))] = Key::Num0 + digit;
    for (int function = 1; function <= 12; ++function)
        names[L"f" + std::to_wstring(function)] = Key::F1 + function - 1;
    return names;
}

} // namespace zel
