#pragma once
// One novel state: the system variables and the entity registry. The editor play-tests on a copy of it and throws
// the copy away when the author returns to editing.

#include "entities/Entity.h"
#include "entities/LineValue.h"

#include <SFML/Graphics/Color.hpp>

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zel
{

class NSprite;

/// A data folder and the archive mounted for it.
struct DataPath
{
    std::wstring folder;
    std::wstring archive;
};

enum DataKind : std::size_t
{
    DATA_FONTS,
    DATA_IMAGES,
    DATA_SCRIPTS,
    DATA_BGM,
    DATA_SFX,
    DATA_VOICES,
    DATA_KIND_COUNT
};

/// A request to the editor host (kind 2: the placeable picture), read by getDLLInformation.
struct UserDialogRequest
{
    int kind = 0;
    std::wstring text;
    std::uint8_t flag = 0; ///< 0: nothing pending
};

/// A script line bound to a key or a mouse action.
struct TriggerRecord
{
    int triggerLine = 0;           ///< the main line on which the trigger was set
    std::wstring trigger_function; ///< the script line to run ("" runs nothing)
};

/// A script line that runs once its time has passed (playing mode only).
struct TimerRecord
{
    std::wstring name;
    std::chrono::steady_clock::time_point start;
    int durationMs = 0;
    std::wstring line;
    bool repeat = false;
    bool fired = false;
    std::chrono::steady_clock::time_point firedAt;
};

using ButtonImages = std::array<std::wstring, 3>; ///< untouched, touched, clicked

/// The system variables of a novel state, in the order the engine declares them.
struct SystemVariables
{
    SystemVariables();
    /// The key names a novel starts with: "ctrl", letters, digits, "f1"-"f12", arrows and the editing keys.
    static std::map<std::wstring, int> DefaultKeyNames();

    /// Path of a novel file in the data folder of kind (for example the images folder + name). Every file name a
    /// script gives comes through here: a name in quote marks ('my ben.png'), kept whole by the quote rules of a
    /// line, is read without them.
    std::wstring FilePath(DataKind kind, const std::wstring& name) const;

    std::array<DataPath, DATA_KIND_COUNT> dataPaths;
    std::wstring saveFolder = L"SaveData/";
    std::map<std::uint8_t, std::wstring> entityTypeNames;
    std::shared_ptr<NSprite> editorPicture;
    UserDialogRequest userDialog;
    /// Key names a script binds triggers to, with their keyboard codes (Space and Return advance the text).
    std::map<std::wstring, int> keyNames;
    std::map<int, TriggerRecord> keyTriggers;
    std::map<std::wstring, int> mouseNames{{L"l.click", 0}, {L"r.click", 1}, {L"wheel.up", 2}};
    std::map<int, TriggerRecord> mouseTriggers;
    std::uintptr_t hostWindow = 0;
    std::uintptr_t renderWindow = 0;
    std::uintptr_t moduleInstance = 0;
    int updatesPerSecond = 0;
    int rendersPerSecond = 0;
    std::wstring windowTitle;
    std::uint8_t windowMode = 0;
    std::uint8_t renderMode = 0;
    float renderWindowProportion = 1.0f;
    bool applicationFlag = false;
    bool gameOver = false;
    std::uint8_t gameMode = 0;
    /// On from the start, so that what InitNovelState reports (mount errors among it) reaches the log.
    bool loggingEnabled = true;
    std::wstring MsgboxScript;
    std::wstring sysWaitInputIcon;
    int textReadMethod = 0;
    int sysMasterVolume = 100;
    int sysBgmVolume = 100;
    int sysSfxVolume = 100;
    int sysVoiceVolume = 100;
    int sysTextSpeed = 0;
    int sysAutoSpeed = 0;
    int sysAutoWait = 0;
    std::wstring transitionImage;
    bool transitionStartPending = false;
    int transitionDuration = 0;
    bool transitionIn = true;
    int editorLine = 0;
    std::uint8_t editorParserState = 0;
    std::wstring editorScriptName;
    bool tweenAnimationDisplay = true;
    bool playMusicDuringEdit = true;
    bool boundingBoxDisplay = false;
    LineValue<ButtonImages> defaultButtonImages;
    bool sliderDragging = false;
    std::shared_ptr<NEntity> draggedSlider;
    std::vector<std::wstring> buttonAliveRegions;
    std::vector<std::shared_ptr<TimerRecord>> timers;
    LineValue<bool> backlogDisplay{false};
    LineValue<sf::Color> clearColour{sf::Color(0, 0, 0, 255)};
    LineValue<std::wstring> curBacklogUseTextareaName;
    LineValue<std::wstring> curUseTextareaName;
    LineValue<bool> textAutoWait{false};
    std::wstring currentMsgboxKind;
    /// The script line a user-defined message box runs when it is answered 1.
    std::wstring msgboxLine;
    std::map<std::wstring, std::wstring> variables;
};

struct NovelState
{
    SystemVariables sysVars;
    EntityRegistry entities;
};

} // namespace zel
