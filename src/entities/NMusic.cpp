#include "entities/NMusic.h"

#include "core/Services.h"
#include "resources/AudioDevice.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"
#include "resources/PhysFsStream.h"

#include <SFML/Audio/Music.hpp>

#include <algorithm>

namespace zel
{
namespace
{
/// Whether music comes from plain files or the archives: decided by the first track that opens, once per run.
struct LoadMethod
{
    bool decided = false;
    bool useStream = false;
};

/// master per cent of volume, within 0 to 100. Both may be any number Config.xml holds, so the product is taken in
/// 64 bits.
float ScaledVolume(int master, int volume)
{
    return static_cast<float>(std::clamp<long long>(static_cast<long long>(master) * volume / 100, 0, 100));
}

LoadMethod& Method()
{
    static LoadMethod method;
    return method;
}

void Decide(bool useStream)
{
    LoadMethod& method = Method();
    if (method.decided)
        return;
    method.decided = true;
    method.useStream = useStream;
    OutputDebugStringN(useStream ? L"\n[NMusic::loadBgmStreamFromFile] LOAD METHOD SET: LOAD_FROM_STREAM \n\n"
                                 : L"\n[NMusic::loadBgmStreamFromFile] LOAD METHOD SET: LOAD_FROM_FILE \n\n");
}

/// The music folder's path of a file, with forward slashes.
std::wstring MusicPath(const std::wstring& fileName)
{
    const SystemVariables* sysVars = Services::SysVars();
    std::wstring path = sysVars != nullptr ? sysVars->FilePath(DATA_BGM, fileName) : L"BGM/" + fileName;
    std::replace(path.begin(), path.end(), L'\\', L'/');
    return path;
}
} // namespace

NMusic::NMusic(std::wstring entityName, int entityLayer)
    : NEntity(NTYPE_BGM, std::move(entityName), entityLayer), m_pMusic(std::make_shared<sf::Music>()),
      m_createdLine(lineContext::MainLine())
{
    // The silent state before the first track: the line before any bgm line reads it, so the music stops there.
    m_BgmMap.entries().emplace(0, sMusic());
}

NMusic::~NMusic()
{
    m_pMusic->stop();
    m_pMusic.reset();
    m_BgmMap.clear();
}

void NMusic::resetLoadMethod()
{
    Method() = LoadMethod();
}

std::shared_ptr<sf::Music> NMusic::Open(const std::wstring& path, std::shared_ptr<PhysFsStream>& stream)
{
    stream.reset();
    if (!AudioAvailable())
        return nullptr;
    const std::string filePath = NHelper::ws2s(path);
    if (!(Method().decided && Method().useStream) && IsPlainFile(filePath))
    {
        auto music = std::make_shared<sf::Music>();
        if (music->openFromFile(filePath))
        {
            Decide(false);
            return music;
        }
    }
    std::shared_ptr<sf::Music> music = OpenFromStream(path, stream);
    if (music != nullptr)
        Decide(true);
    return music;
}

std::shared_ptr<sf::Music> NMusic::OpenFromStream(const std::wstring& path, std::shared_ptr<PhysFsStream>& stream)
{
    stream = std::make_shared<PhysFsStream>();
    if (!stream->open(NHelper::ws2s(path)))
    {
        OutputDebugStringN(L"\n[NMusic::loadBgmStreamFromFile] ERROR. PhysFsStream::open FAILED. filepath:%s. "
                           L"err-msg:%s %s \n",
                           path.c_str(), PhysFsLastError().c_str(), ScriptPlace().c_str());
        return nullptr;
    }
    auto music = std::make_shared<sf::Music>();
    if (music->openFromStream(*stream))
        return music;
    OutputDebugStringN(L"\n[NMusic::loadBgmStreamFromFile] ERROR. openFromStream FAILED. filepath:%s %s \n",
                       path.c_str(), ScriptPlace().c_str());
    return nullptr;
}

bool NMusic::loadBgmStreamFromFile(const std::wstring& fileName)
{
    sMusic* current = getCurActiveState();
    if (current == nullptr)
        return false;
    if (current->FileName() == fileName)
    {
        if (!current->playing)
            m_pMusic->play();
        return true;
    }
    // The new track opens in a music object of its own: when it fails, the one playing now plays on.
    std::shared_ptr<PhysFsStream> stream;
    std::shared_ptr<sf::Music> music = Open(MusicPath(fileName), stream);
    if (music == nullptr)
        return false;
    m_pMusic->stop();
    m_pMusic = music;
    current->stream = stream;
    current->playFilename = std::make_shared<std::wstring>(fileName);
    return true;
}

void NMusic::reload()
{
    const sMusic* state = m_BgmMap.latest(false);
    if (state == nullptr || state->FileName().empty())
        return;
    m_pMusic->stop();
    if (state->stream != nullptr)
    {
        state->stream->seek(0);
        const bool reopened = m_pMusic->openFromStream(*state->stream);
        OutputDebugStringN(reopened ? L"reloaded music stream:%s \n" : L"ERROR. failed to reload music stream:%s \n",
                           state->FileName().c_str());
        return;
    }
    const bool reopened = m_pMusic->openFromFile(NHelper::ws2s(MusicPath(state->FileName())));
    OutputDebugStringN(reopened ? L"reloaded music file:%s \n" : L"ERROR. failed to reload music file:%s \n",
                       state->FileName().c_str());
}

sMusic* NMusic::getCurActiveState()
{
    if (m_BgmMap.empty())
        OutputDebugStringN(L"WARNING. (NMusic::getCurActiveState) m_BgmMap.empty() \n");
    return m_BgmMap.latest(true);
}

sSprite* NMusic::pushNewState(int line)
{
    if (lineContext::Editing())
    {
        if (!m_BgmMap.empty() && m_BgmMap.entries().rbegin()->first >= line)
            m_pMusic->stop();
        m_BgmMap.keepBefore(line);
    }
    const sMusic* latest = m_BgmMap.latest(false);
    m_BgmMap.set(latest != nullptr ? *latest : sMusic(), true);
    return nullptr;
}

void NMusic::Update()
{
    if (lineContext::Editing())
        RewindIfNeeded();
    if (const sMusic* state = m_BgmMap.latest(false))
        Follow(*state);
    else
        OutputDebugStringN(L"[NMusic::Update] ERROR! m_pMusic == nullptr || m_BgmMap.size() < 1");
    NEntity::Update();
}

void NMusic::RewindIfNeeded()
{
    const std::wstring before = m_BgmMap.get(false).FileName();
    m_BgmMap.pruneAfter(lineContext::MainLine());
    const sMusic* state = m_BgmMap.latest(false);
    // A plain file needs re-opening as much as a stream does, or the later line's track would play on.
    if (state != nullptr && !state->FileName().empty() && !before.empty() && before != state->FileName())
        reload();
}

void NMusic::Follow(const sMusic& state)
{
    // Faded out while editing, the music stays in the registry (marked) so the cursor can move back before the fade.
    // It is silent there, and at volume 0 a later fade-in finds nothing to raise, as after a read from the top.
    if (isMarkedRemoved())
    {
        m_pMusic->stop();
        m_pMusic->setVolume(0.0f);
        return;
    }
    const bool hasFile = !state.FileName().empty();
    if (state.playing && hasFile && m_pMusic->getStatus() != sf::Music::Playing)
    {
        reload();
        m_pMusic->play();
    }
    else if (!state.playing || !hasFile)
        m_pMusic->stop();
    if (state.playing && hasFile)
        m_pMusic->setVolume(WantedVolume(state));
}

float NMusic::WantedVolume(const sMusic& state) const
{
    const SystemVariables* sysVars = Services::SysVars();
    if (sysVars == nullptr)
        return 0.0f;
    const bool audible = !lineContext::Editing() || sysVars->playMusicDuringEdit || state.volume != -1;
    if (!audible)
        return 0.0f;
    if (state.volume != -1)
        return static_cast<float>(std::clamp(state.volume, 0, 100));
    return ScaledVolume(sysVars->sysMasterVolume, sysVars->sysBgmVolume);
}

void NMusic::setVolume(int volume, bool fixed)
{
    const SystemVariables* sysVars = Services::SysVars();
    const int master = sysVars != nullptr ? sysVars->sysMasterVolume : 100;
    m_pMusic->setVolume(fixed ? static_cast<float>(std::clamp(volume, 0, 100)) : ScaledVolume(master, volume));
}

int NMusic::musicVolume() const
{
    return m_pMusic != nullptr ? static_cast<int>(m_pMusic->getVolume()) : -1;
}

void NMusic::setLoop(bool loop)
{
    m_pMusic->setLoop(loop);
}

float NMusic::audioVolume() const
{
    return static_cast<float>(musicVolume());
}

void NMusic::setAudioVolume(float volume)
{
    m_pMusic->setVolume(std::clamp(volume, 0.0f, 100.0f));
    if (volume <= 0.0f)
        m_pMusic->stop();
}

} // namespace zel
