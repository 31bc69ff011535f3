#pragma once
// Sound effects and voices: a whole sound file held in memory and played once or in a loop. They exist only while
// the novel plays; a finished one marks itself removed, so the bury pass takes it away.

#include "entities/Entity.h"

#include <memory>
#include <string>

namespace sf
{
class Sound;
class SoundBuffer;
} // namespace sf

namespace zel
{

class PhysFsStream;
struct SystemVariables;

/// A sound effect (NType 6) made by the soundEffect command; its volume follows the player's settings every frame
/// unless a fixed volume is set.
class NSound : public NEntity
{
public:
    explicit NSound(std::wstring entityName, NType type = NTYPE_SFX);
    ~NSound() override;

    /// Loads path (data folder included) from a plain file or else from the archives, and starts playing it at
    /// volume 0 (the next Update sets the real one). False (logged) when it cannot be loaded.
    bool loadSoundFromFile(const std::wstring& path, bool loop);
    void Update() override;
    void Draw(int) override {}

    sf::Sound* sound() { return m_pSound.get(); }
    void setVolume(float volume);

    /// Fixed volume, or -1 to follow the player's settings.
    int fixedVolume = -1;

protected:
    float audioVolume() const override;
    void setAudioVolume(float volume) override;
    /// The player's volume setting for this kind of sound.
    virtual int settingVolume(const SystemVariables& sysVars) const;

private:
    bool loadBuffer(const std::wstring& path);

    // Declared in this order so that the sound goes before its buffer, and the buffer before its stream.
    std::shared_ptr<PhysFsStream> m_stream;
    std::shared_ptr<sf::SoundBuffer> m_pBuffer;
    std::shared_ptr<sf::Sound> m_pSound;
};

/// A spoken line (NType 7), registered under its file name; it follows the voice volume setting.
class NVoice : public NSound
{
public:
    explicit NVoice(std::wstring entityName) : NSound(std::move(entityName), NTYPE_VOICE) {}

protected:
    int settingVolume(const SystemVariables& sysVars) const override;
};

} // namespace zel
