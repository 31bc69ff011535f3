// The audio commands: background music, sound effects, voices and volume changes.

#include "commands/CmdHandlers.h"
#include "core/Services.h"
#include "entities/NMusic.h"
#include "entities/NSound.h"
#include "resources/Logger.h"

namespace zel
{
namespace CmdHandlers
{
namespace
{
/// The loop flag from an optional last token at position (counted from 1): it must be the repeat word. False (and
/// logged) when it is something else.
bool ReadLoop(const Tokens& tokens, std::size_t position, bool& loop)
{
    loop = tokens.size() >= position && IsWord(tokens[position - 1], L"CmdOptions_repeat");
    if (loop || tokens.size() < position)
        return true;
    OutputDebugStringN(L"\nERROR. (ExecuteMusic) INVALID PARAMETER:'%s' %s \n", tokens[position - 1].c_str(),
                       ScriptPlace().c_str());
    return false;
}

std::shared_ptr<NMusic> FindMusic(const EntityRegistry& entities)
{
    return std::dynamic_pointer_cast<NMusic>(entities.findEntityWithNType(NTYPE_BGM));
}

/// The number of a "N%" token; false when it has no percent sign or is not a number.
bool ReadPercent(const std::wstring& token, int& value)
{
    if (token.size() < 2 || token.back() != L'%')
        return false;
    std::vector<int> values;
    if (!ReadInts({token.substr(0, token.size() - 1)}, {1}, values, L"ExecuteVolume"))
        return false;
    value = values[0];
    return true;
}
} // namespace

void ExecuteMusic(const Tokens& tokens)
{
    bool loop = false;
    EntityRegistry* entities = Services::Entities();
    const SystemVariables* sysVars = Services::SysVars();
    if (!ReadLoop(tokens, 3, loop) || entities == nullptr || sysVars == nullptr || RefusedName(tokens[1], L"bgm"))
        return;
    std::shared_ptr<NMusic> music = FindMusic(*entities);
    const bool created = music == nullptr;
    if (created)
        music = std::make_shared<NMusic>(L"sysBGM", 0);
    music->tweens.clear();
    music->pushNewState(lineContext::MainLine());
    if (!music->loadBgmStreamFromFile(tokens[1]))
        return;
    music->setLoop(loop);
    music->setVolume(sysVars->sysBgmVolume, false);
    music->getCurActiveState()->playing = true;
    music->markRemoved(false, false);
    if (created)
        entities->InsNovelEntity(music, 0, L"sysBGM");
}

void ExecuteSoundEffect(const Tokens& tokens)
{
    EntityRegistry* entities = Services::Entities();
    const SystemVariables* sysVars = Services::SysVars();
    if (lineContext::Editing() || entities == nullptr || sysVars == nullptr || RefusedName(tokens[2], L"soundEffect"))
        return;
    const EntityPtr found = entities->findEntityWithName(tokens[1], true);
    bool loop = false;
    if ((found != nullptr && found->nType != NTYPE_SFX) || !ReadLoop(tokens, 4, loop))
        return;
    auto sound = std::dynamic_pointer_cast<NSound>(found);
    const bool created = sound == nullptr;
    if (created)
        sound = std::make_shared<NSound>(tokens[1]);
    if (!sound->loadSoundFromFile(sysVars->FilePath(DATA_SFX, tokens[2]), loop))
        return;
    // A finished effect played again must not be buried with the mark of its last run.
    sound->markRemoved(false, false);
    if (created)
        entities->InsNovelEntity(sound, 0, tokens[1]);
}

void ExecuteVoice(const Tokens& tokens)
{
    EntityRegistry* entities = Services::Entities();
    const SystemVariables* sysVars = Services::SysVars();
    if (lineContext::Editing() || entities == nullptr || sysVars == nullptr || RefusedName(tokens[1], L"voice"))
        return;
    auto voice = std::make_shared<NVoice>(tokens[1]);
    if (voice->loadSoundFromFile(sysVars->FilePath(DATA_VOICES, tokens[1]), false))
        entities->InsNovelEntity(voice, 0, tokens[1]);
}

void ExecuteVolume(const Tokens& tokens)
{
    int volume = 0;
    EntityRegistry* entities = Services::Entities();
    if (entities == nullptr || !ReadPercent(tokens[2], volume))
        return;
    if (IsWord(tokens[1], L"Types_bgm"))
    {
        std::shared_ptr<NMusic> music = FindMusic(*entities);
        if (music == nullptr)
            return;
        music->pushNewState(lineContext::MainLine());
        music->getCurActiveState()->volume = volume;
    }
    const EntityPtr target = entities->findEntityWithName(tokens[1], true);
    if (target != nullptr && target->nType == NTYPE_SFX && !lineContext::Editing())
        static_cast<NSound&>(*target).setVolume(static_cast<float>(volume));
}

} // namespace CmdHandlers
} // namespace zel
