#include "entities/NSound.h"

#include "core/Services.h"
#include "resources/AudioDevice.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"
#include "resources/PhysFsStream.h"

#include <SFML/Audio/Sound.hpp>
#include <SFML/Audio/SoundBuffer.hpp>

#include <algorithm>

namespace zel
{

NSound::NSound(std::wstring entityName, NType type)
    : NEntity(type, std::move(entityName), -1), m_stream(std::make_shared<PhysFsStream>()),
      m_pSound(std::make_shared<sf::Sound>())
{
}

NSound::~NSound()
{
    m_pSound->stop();
}

bool NSound::loadSoundFromFile(const std::wstring& path, bool loop)
{
    m_pSound->stop();
    if (!AudioAvailable() || !loadBuffer(path))
    {
        m_pSound->stop();
        return false;
    }
    m_pSound->setBuffer(*m_pBuffer);
    m_pSound->setVolume(0.0f);
    m_pSound->setLoop(loop);
    m_pSound->play();
    return true;
}

bool NSound::loadBuffer(const std::wstring& path)
{
    // A new buffer: the one the sound played before may still be attached while the new file loads.
    m_pBuffer = std::make_shared<sf::SoundBuffer>();
    std::wstring slashed = path;
    std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
    const std::string filePath = NHelper::ws2s(slashed);
    if (IsPlainFile(filePath) && m_pBuffer->loadFromFile(filePath))
        return true;
    auto stream = std::make_shared<PhysFsStream>();
    if (!stream->open(filePath))
    {
        OutputDebugStringN(L"\nERROR. [loadSoundFromFile] PHYSFS_openRead FAILED. filepath:%s. err-msg:%s %s \n",
                           slashed.c_str(), PhysFsLastError().c_str(), ScriptPlace().c_str());
        return false;
    }
    m_stream = stream;
    if (m_pBuffer->loadFromStream(*m_stream))
        return true;
    OutputDebugStringN(L"\nERROR. [loadSoundFromFile] loadFromStream FAILED. filepath:%s %s \n", slashed.c_str(),
                       ScriptPlace().c_str());
    return false;
}

void NSound::Update()
{
    if (m_pSound->getStatus() != sf::Sound::Playing)
        markRemoved(true, false);
    else if (fixedVolume == -1)
    {
        const SystemVariables* sysVars = Services::SysVars();
        if (sysVars != nullptr)
            setVolume(static_cast<float>(static_cast<long long>(sysVars->sysMasterVolume) * settingVolume(*sysVars)) /
                      100.0f); // in 64 bits: the settings may be any number Config.xml holds
    }
    NEntity::Update();
}

void NSound::setVolume(float volume)
{
    m_pSound->setVolume(std::clamp(volume, 0.0f, 100.0f));
}

float NSound::audioVolume() const
{
    return m_pSound->getVolume();
}

void NSound::setAudioVolume(float volume)
{
    setVolume(volume);
    if (volume <= 0.0f)
        m_pSound->stop();
}

int NSound::settingVolume(const SystemVariables& sysVars) const
{
    return sysVars.sysSfxVolume;
}

int NVoice::settingVolume(const SystemVariables& sysVars) const
{
    return sysVars.sysVoiceVolume;
}

} // namespace zel
