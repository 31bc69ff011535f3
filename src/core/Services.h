#pragma once
// The engine's single registry of global state: the render window, the command table, the parser stack and the
// sequence of novel states (the editor play-tests on a copy). Every unit reaches the engine state through it.

#include "core/NovelState.h"
#include "script/NParser.h"
#include "script/NovelCommands.h"

#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Graphics/Text.hpp>
#include <SFML/Window/Event.hpp>
#include <concurrentqueue/concurrentqueue.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zel
{

class Parser;

class Services
{
public:
    static std::unique_ptr<sf::RenderWindow> pRenderWindow;
    static std::unique_ptr<NovelCommands> pNCommands;
    static std::unique_ptr<zel::NParser> pNParser;
    static std::deque<std::shared_ptr<NovelState>> m_NovelStates;
    /// Off-screen target cleared with the window each frame, when one exists.
    static std::unique_ptr<sf::RenderTexture> pSecondTarget;
    /// Script work posted by triggers, timers and buttons; drained once per frame on the host's thread.
    static moodycamel::ConcurrentQueue<std::function<void()>> m_deferredCalls;

    /// System variables of the last novel state, or null before there is one.
    static SystemVariables* SysVars();
    /// Entity registry of the last novel state (null, after a logged assertion, when there is none).
    static EntityRegistry* Entities();
    static zel::NParser* NParser();
    static NovelState* FirstNovelState();

    /// Builds the command table and the first novel state, mounts the data and reads the user's settings.
    static void InitNovelState(bool applicationFlag);
    /// Play-testing works on a copy: containers are copied, entities are shared.
    static void PushNovelStateCopy();
    /// Drops every novel state after the first.
    static void RevertNovelState();
    /// Script reset: clears the registry and empties the resource pools.
    static void RemoveEntities();
    /// Editing moved back to line: forgets every entity created at or after it.
    static void RemoveEntitiesFromLine(int line);
    /// Loads the Config.xml wait-for-input image into the icon of the current state, when one is named.
    static void LoadWaitIcon();
    /// Mounts a folder or archive at the root of the virtual file system.
    static void AddPathToPhysfs(const std::wstring& path);

    // Save slots (Services_System).
    /// The files of a slot without their extension: the save folder + "saveslot" + number.
    static std::wstring SlotBase(int slot);
    /// Writes the running novel to base + ".xml" in one step (a crash leaves the old file whole). False (logged),
    /// with nothing written, when an entity is incomplete or the file cannot be written.
    static bool saveSaveData(const std::wstring& base);
    /// Replaces the running novel with base + ".xml". The whole file is checked first: a file that is missing,
    /// damaged or names a script that cannot be read is refused with an ERROR naming it, and nothing changes.
    static bool loadSaveData(const std::wstring& base);
    /// Draws the scene for a slot's thumbnail (without "^" pictures and message-box entities) and writes it to
    /// base + ".png" in one step; false (logged) when it cannot be written.
    static bool SaveScreenshot(const std::wstring& base);
    /// Deletes both files of a slot; false (logged) when one that exists cannot be deleted.
    static bool DeleteSaveData(const std::wstring& base);

    // The frame loop and the window (Services_Engine).
    static void UpdateEngine(bool render, bool update);
    /// After a frame: automatic and skip reading, then the continuation of the script (a finished called script
    /// hands back to the one below).
    static void ReadOn();
    static void SetWindowMode(std::uint8_t mode, int width, int height);
    static void SetEngineResolution(int width, int height);
    static void CloseEngine();
    /// Destroys the engine state in its fixed order, the render window last (also at exit without CloseEngine).
    static void ReleaseAll();
    /// Makes the render window's GL context current; up to 10 attempts.
    static bool ActivateRenderWindow();
    /// True while the reader skips (text read method 2): waits end and animations jump to their ends.
    static bool Skipping();
    /// Where the entities draw: the render window.
    static sf::RenderTarget* RenderTarget();
    /// The transform of the camera's current state (identity when there is no camera).
    static sf::Transform CameraTransform();
    /// Draws one look, through the camera when useCamera is set, with its bounding box when the host asked.
    static void DrawState(const sf::Sprite& state, bool useCamera);
    /// Draws one text, through the camera when useCamera is set, with its bounding box when the host asked.
    static void DrawText(const sf::Text& text, bool useCamera);
    /// Draws the image-mask screen transition of the current frame, when one is set (Services_Transition).
    static void DrawScreenTransition();
    /// Drops the transition's mask (engine teardown).
    static void ReleaseScreenTransition();
    /// Runs the line of a user-defined message box answered 1 on the current parser.
    static void HandleVars(std::vector<std::wstring>& tokens, const std::wstring& line);
    /// Keys while playing: reading on, triggers (Services_Input).
    static void HandleKeyboard(const sf::Event& event);
    /// Mouse and keyboard input of both game modes (Services_Input).
    static void DispatchInput(const sf::Event& event);
    /// Playing: a mouse event (type and its first payload word: the wheel delta or the button) (Services_Input).
    static void UpdateMouse(sf::Event::EventType type, int value);
    /// Space or Return while playing: completes a flowing text, else reads on (Services_Input).
    static void UpdateKeyboard();
    /// Hit test of the interactive list at the pointer: kind 1 hover, kind 2 press; trigger "left.click" or
    /// "right.click". True when a button handled the input (Services_Input).
    static bool CheckButtons(int kind, const std::wstring& trigger);
    /// Runs the script line bound to a key (mouse false) or mouse code; true when one ran (Services_Input).
    static bool ExecuteTrigger(int code, bool mouse);
    /// The last pointer position the window reported, in world coordinates (through the window's current view).
    static sf::Vector2f MousePosition();
    /// After removals: the interactive list keeps only entities still in a layer list, and a slider that went
    /// stops being dragged (Services_Input).
    static void ForgetRemovedInteractives();
    /// Input arrived: a text still flowing consumes it and, once it has flowed for more than 200 ms, is shown whole.
    /// True when the input was consumed (Services_Input).
    static bool StopCurTextboxTextFlow();
    /// Queues a script line for the current parser at the next update.
    static void TriggerParseExec(const std::wstring& line);
    /// The editor's render area (0 in application mode); set by the host interface.
    static std::uintptr_t childWindow;
    /// The application's window in window mode, made by the engine itself so that it opens centred (else 0).
    static std::uintptr_t applicationWindow;
};

/// Context of every render window: no depth, stencil or antialiasing, OpenGL 2.0.
sf::ContextSettings RenderContextSettings();

/// Viewport that keeps a width x height picture's proportions on a desktop of another shape (borderless mode).
sf::FloatRect LetterboxViewport(float desktopWidth, float desktopHeight, float width, float height);

/// The running (innermost) parser.
std::shared_ptr<Parser> CurParser();
/// The parser of the host's script.
std::shared_ptr<Parser> MainParser();

} // namespace zel
