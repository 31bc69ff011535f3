#pragma once
// The background music: one streamed track at a time, with a music state per script line so that the editor plays
// (or silences) the music that belongs to the line under the cursor.

#include "entities/Entity.h"

#include <memory>
#include <string>

namespace sf
{
class Music;
}

namespace zel
{

class PhysFsStream;

/// One line's music: which file, whether it plays, and a fixed volume (-1: follow the player's settings).
struct sMusic
{
    /// Set when the music came from the archives; the stream must live as long as the music reads from it.
    std::shared_ptr<PhysFsStream> stream;
    std::shared_ptr<std::wstring> playFilename;
    bool playing = false;
    int volume = -1;

    std::wstring FileName() const { return playFilename != nullptr ? *playFilename : L""; }
};

/// The music entity (NType 12, `sysBGM`) that the bgm command creates once and re-uses for every later track.
class NMusic : public NEntity
{
public:
    NMusic(std::wstring entityName, int entityLayer);
    ~NMusic() override;

    /// Opens a file of the music folder for the newest state; the file already current only resumes. A file that
    /// cannot be opened or decoded is logged and leaves the music that played before playing on.
    bool loadBgmStreamFromFile(const std::wstring& fileName);
    /// Re-opens the newest state's music (after the editor moved to a line with other music).
    void reload();
    /// The newest music state (pruned to the main line while editing); null (warned) when there is none.
    sMusic* getCurActiveState();
    /// Stores a copy of the newest state at line; re-running a line while editing starts from the state before it.
    /// Returns null, as pictures' states are not music states: read the new one with getCurActiveState.
    sSprite* pushNewState(int line) override;
    void Update() override;
    void Draw(int) override {}
    /// The bgm line that made the music: moving the cursor back keeps it while the cursor stays at or after it.
    int getCreatedLine() const override { return m_createdLine; }

    /// Volume v as it stands when fixed, else scaled by the master volume.
    void setVolume(int volume, bool fixed);
    /// The stream's volume, or -1 when there is no music object.
    int musicVolume() const;
    sf::Music* music() { return m_pMusic.get(); }
    void setLoop(bool loop);

    LineValue<sMusic> m_BgmMap;

    /// For tests only: forgets whether music comes from plain files or the archives.
    static void resetLoadMethod();

protected:
    float audioVolume() const override;
    void setAudioVolume(float volume) override;

private:
    /// Opens path in a fresh music object; stream is set when it came from the archives. Null when it failed.
    static std::shared_ptr<sf::Music> Open(const std::wstring& path, std::shared_ptr<PhysFsStream>& stream);
    static std::shared_ptr<sf::Music> OpenFromStream(const std::wstring& path, std::shared_ptr<PhysFsStream>& stream);
    /// Editing: the cursor moved to a line with other music.
    void RewindIfNeeded();
    /// Starts, stops and sets the volume of the stream as the newest state asks.
    void Follow(const sMusic& state);
    /// The volume the newest state asks for.
    float WantedVolume(const sMusic& state) const;

    std::shared_ptr<sf::Music> m_pMusic;
    int m_createdLine;
};

} // namespace zel
