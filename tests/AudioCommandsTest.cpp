// The audio commands as a script uses them: which music plays at which line, at what volume, and what a bad line
// leaves playing. Sound runs through OpenAL's null driver (ALSOFT_DRIVERS=null), so no sound card is needed.

#include "WindowFixture.h"
#include "commands/CmdHandlers.h"
#include "entities/NMusic.h"
#include "entities/NSound.h"
#include "resources/NHelper.h"

#include <SFML/Audio/Music.hpp>
#include <SFML/Audio/Sound.hpp>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

using namespace testsupport;

namespace
{
class AudioCommandsTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        zel::NMusic::resetLoadMethod();
        auto& words = zel::Services::pNCommands->commandStrings;
        words[L"CmdOptions_repeat"] = L"repeat";
        words[L"Types_bgm"] = L"bgm";
        MakeTone("BGM/a.wav", 1.0f);
        MakeTone("BGM/long.wav", 3.0f);
        MakeTone("SFX/boom.wav", 0.05f);
        MakeTone("Voices/hello.wav", 2.0f);
        WriteFile(*m_novel / "BGM/bad.ogg", "not a sound at all");
    }

public:
    void Frame()
    {
        sysVars().renderMode = 1;
        zel::Services::UpdateEngine(true, true);
        sysVars().renderMode = 0;
    }
    zel::NMusic* Music() { return dynamic_cast<zel::NMusic*>(entities().Find(L"sysBGM").get()); }
    std::wstring MusicFile() { return Music() != nullptr ? Music()->getCurActiveState()->FileName() : L""; }
    bool MusicPlays() { return Music() != nullptr && Music()->music()->getStatus() == sf::Music::Playing; }
    zel::NSound* Sound(const std::wstring& name) { return dynamic_cast<zel::NSound*>(entities().Find(name).get()); }
    using WindowFixture::entities;
    using WindowFixture::LogText;
    using WindowFixture::Play;
    using WindowFixture::ShowLine;
    using WindowFixture::sysVars;
};

/// A script, played or shown in the editor at a line, and what must hold after one frame.
struct AudioCase
{
    const char* name;
    bool playing;
    const wchar_t* script;
    int line; ///< editing: the cursor's line
    std::function<void(AudioCommandsTest&)> check;
};

const AudioCase kAudioCases[] = {
    {"master 80 x sfx 50 plays at 40", true, L"soundEffect boom boom.wav repeat\n", 0,
     [](AudioCommandsTest& t) {
         EXPECT_FLOAT_EQ(t.Sound(L"boom")->sound()->getVolume(), 40.0f);
     }},
    {"the current file only resumes", true, L"bgm a.wav\n", 0,
     [](AudioCommandsTest& t) {
         const sf::Music* before = t.Music()->music();
         zel::CmdHandlers::ExecuteMusic({L"bgm", L"a.wav"});
         EXPECT_EQ(t.Music()->music(), before) << "the file was opened again";
     }},
    {"editing with play-during-edit off is silent", false, L"bgm a.wav repeat\n", 1,
     [](AudioCommandsTest& t) {
         EXPECT_TRUE(t.MusicPlays());
         EXPECT_EQ(t.Music()->musicVolume(), 0);
     }},
    {"a second bgm keeps one sysBGM", true, L"bgm a.wav\nbgm long.wav\n", 0,
     [](AudioCommandsTest& t) {
         EXPECT_EQ(t.entities().getEntitiesWithNType(zel::NTYPE_BGM, false).size(), 1u);
         EXPECT_EQ(t.MusicFile(), L"long.wav");
         EXPECT_TRUE(t.MusicPlays());
     }},
    {"a bad third token keeps the previous music", true, L"bgm a.wav\nbgm long.wav loud\n", 0,
     [](AudioCommandsTest& t) {
         EXPECT_EQ(t.MusicFile(), L"a.wav");
         EXPECT_TRUE(t.MusicPlays());
         EXPECT_NE(t.LogText().find("INVALID PARAMETER:'loud' script:main.txt line:2"), std::string::npos);
     }},
    {"an undecodable file keeps the previous music", true, L"bgm a.wav\nbgm bad.ogg\n", 0,
     [](AudioCommandsTest& t) {
         EXPECT_EQ(t.MusicFile(), L"a.wav");
         EXPECT_TRUE(t.MusicPlays());
         EXPECT_NE(t.LogText().find("ERROR. openFromStream FAILED. filepath:BGM/bad.ogg script:main.txt line:2"),
                   std::string::npos);
     }},
    {"volume bgm 50% fixes the volume", true, L"bgm a.wav\nvolume bgm 50%\n", 0,
     [](AudioCommandsTest& t) {
         EXPECT_EQ(t.Music()->getCurActiveState()->volume, 50);
         EXPECT_EQ(t.Music()->musicVolume(), 50);
     }},
    {"volume bgm 50 does nothing", true, L"bgm a.wav\nvolume bgm 50\n", 0,
     [](AudioCommandsTest& t) {
         EXPECT_EQ(t.Music()->getCurActiveState()->volume, -1);
     }},
    {"a fade-out ends the music", true, L"bgm a.wav repeat\nfadeout bgm 0\n", 0,
     [](AudioCommandsTest& t) {
         t.Frame();
         EXPECT_FALSE(t.MusicPlays());
     }},
    {"faded out while editing, music stays silent even when edit music is on", false,
     L"bgm a.wav repeat\nfadeout bgm 0\n", 2,
     [](AudioCommandsTest& t) {
         t.sysVars().playMusicDuringEdit = true;
         t.Frame();
         EXPECT_FALSE(t.MusicPlays());
         EXPECT_EQ(t.Music()->musicVolume(), 0);
     }},
    {"soundEffect while editing does nothing", false, L"soundEffect boom boom.wav repeat\n", 1,
     [](AudioCommandsTest& t) {
         EXPECT_EQ(t.Sound(L"boom"), nullptr);
     }},
    {"a second voice of a playing one is refused", true, L"voice hello.wav\nvoice hello.wav\n", 0,
     [](AudioCommandsTest& t) {
         EXPECT_NE(t.LogText().find("(InsNovelEntity) name:hello.wav already exists"), std::string::npos);
         EXPECT_EQ(t.entities().getEntitiesWithNType(zel::NTYPE_VOICE, false).size(), 1u);
     }},
};

class AudioCaseTest : public AudioCommandsTest, public ::testing::WithParamInterface<AudioCase>
{
};
} // namespace

TEST_P(AudioCaseTest, HoldsAfterOneFrame)
{
    const AudioCase& c = GetParam();
    sysVars().sysMasterVolume = 80;
    sysVars().sysSfxVolume = 50;
    sysVars().sysBgmVolume = 100;
    sysVars().playMusicDuringEdit = false;
    if (c.playing)
        Play(c.script);
    else
        ShowLine(c.script, c.line);
    Frame();
    c.check(*this);
}

INSTANTIATE_TEST_SUITE_P(Cases, AudioCaseTest, ::testing::ValuesIn(kAudioCases), [](const auto& info) {
    std::string name = info.param.name;
    for (char& ch : name)
        ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return name;
});

TEST_F(AudioCommandsTest, EditingFollowsTheMusicOfTheCursorLine)
{
    sysVars().playMusicDuringEdit = true;
    const std::wstring script = L"volume nothing 5%\nbgm a.wav repeat\nbgm long.wav repeat\n";
    const struct
    {
        int line;
        std::wstring file;
        bool plays;
    } steps[] = {{3, L"long.wav", true}, {2, L"a.wav", true}, {3, L"long.wav", true}, {1, L"", false}};
    for (const auto& step : steps)
    {
        ShowLine(script, step.line);
        Frame();
        ASSERT_EQ(MusicPlays(), step.plays) << step.line;
        if (step.plays)
        {
            EXPECT_EQ(MusicFile(), step.file) << step.line;
            // The stream itself must have changed track, not just the record of it.
            EXPECT_NEAR(Music()->music()->getDuration().asSeconds(), step.file == L"a.wav" ? 1.0f : 3.0f, 0.01f);
        }
    }
}

TEST_F(AudioCommandsTest, AFinishedSoundEffectIsBuried)
{
    Play(L"soundEffect boom boom.wav\n");
    Frame();
    ASSERT_NE(Sound(L"boom"), nullptr);
    // The effect lasts 50 ms of the audio device's own time.
    for (int i = 0; i < 50 && Sound(L"boom") != nullptr; ++i)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Frame();
    }
    EXPECT_EQ(Sound(L"boom"), nullptr);
}

TEST_F(AudioCommandsTest, MusicFromAnArchiveStreamsWhilePlaying)
{
    MakeTone("staging/BGM/song.wav", 2.0f);
    const std::string zip = "cd '" + m_novel->path() + "/staging' && zip -q -r ../BGM.vndat BGM";
    ASSERT_EQ(std::system(zip.c_str()), 0);
    zel::Services::AddPathToPhysfs(zel::NHelper::s2ws(m_novel->path() + "/BGM.vndat"));
    Play(L"bgm song.wav\n");
    Frame();
    ASSERT_NE(Music(), nullptr);
    ASSERT_NE(Music()->getCurActiveState()->stream, nullptr) << "the music did not come from the archive";
    const sf::Time start = Music()->music()->getPlayingOffset();
    // The stream is read on the audio library's own thread, in its own time.
    for (int i = 0; i < 15; ++i)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Frame();
    }
    EXPECT_TRUE(MusicPlays());
    EXPECT_GT(Music()->music()->getPlayingOffset(), start) << "the stream stopped being read";
    EXPECT_NE(LogText().find("LOAD METHOD SET: LOAD_FROM_STREAM"), std::string::npos);
}
