#pragma once
// A clickable picture: up to three looks (untouched, touched, clicked), a caption, script lines run on a click and
// when the pointer touches it, and a trigger type that gives some buttons a job of their own (a save slot, a window
// mode, a message-box answer, a text read method). The button commands make them; the input code presses them.

#include "entities/NSprite.h"

#include <array>
#include <memory>

namespace sf
{
class Texture;
}
#include <string>

namespace zel
{

class NTextbox;
class Texture;

/// Index of a button look.
enum ButtonLook : std::uint8_t
{
    LOOK_UNTOUCHED = 0,
    LOOK_TOUCHED = 1,
    LOOK_CLICKED = 2
};

/// What a click on a button does besides releasing a wait for a button choice.
enum ButtonTrigger : std::uint8_t
{
    TRIGGER_NONE = 0,
    TRIGGER_SAVESLOT = 1,
    TRIGGER_LOADSLOT = 2,
    TRIGGER_SAVEDELETE = 3,
    TRIGGER_SCREEN = 4,
    TRIGGER_MSGVAR = 5,
    TRIGGER_TEXTREAD = 6,
    TRIGGER_SCRIPT = 7
};

/// The job a button line gives its button, read from the tokens after its position.
struct ButtonJob
{
    ButtonTrigger trigger = TRIGGER_NONE;
    int slotNumber = -1;
    std::uint8_t windowMode = 0;
    bool msgYes = false;
    int readMethod = -1;
    std::wstring execLine;
};

/// One line's look and job of a button: the sprite (place, colour, size of the first image), the three images with
/// the names the script gave them ("none": no image for that look), the caption, what a click does and the line a
/// touch runs. Kept per line, so that the editor going back shows and the player gets what that line made.
class sButton : public sSprite
{
public:
    std::array<std::shared_ptr<Texture>, 3> images;
    std::array<std::wstring, 3> imageNames{L"none", L"none", L"none"};
    /// The caption (btnText), drawn over the image; null while the button has none.
    std::shared_ptr<NTextbox> text;
    ButtonJob job;
    std::wstring touchLine;
};

/// A button of a script (NType 5) or a system button (8), with one state per line. The input code tells it when the
/// pointer touches, leaves and clicks it; the touched and clicked looks belong to the pointer, not to a line.
class NButton : public NEntity
{
public:
    NButton(NType type, std::wstring entityName, int entityLayer, int createdLine, bool systemButton);

    /// Loads the three looks into the newest state (a name "none" leaves that look empty). False, with the state's
    /// images partly replaced, when an image cannot be loaded or all three are "none".
    bool loadImages(const std::wstring& untouched, const std::wstring& touched, const std::wstring& clicked);
    /// The job of the newest state.
    void setJob(const ButtonJob& job);
    /// The job as the button stands now.
    const ButtonJob& job();
    /// The line run when the pointer touches the button, in the newest state.
    void setTouchLine(const std::wstring& line);
    /// Drops the newest state: a line that failed half-way leaves the button as the line before left it.
    void dropNewestState();

    void Update() override;
    void Draw(int mainLine) override;
    int getCreatedLine() const override { return m_createdLine; }
    sSprite* getCurrentSprite() override;
    sSprite* pushNewState(int line) override;
    std::wstring getSrcScriptName() const override { return srcScriptName; }
    void setColor(const sf::Color& colour) override;

    void setTouched(bool touched) override;
    void setClicked() override;
    bool Click(const std::wstring& trigger) override;
    /// The look drawn now: the pointer's look, or the one the button's job asks for.
    ButtonLook shownLook();
    /// Save and load slot buttons: reads whether their slot holds a save, and its thumbnail, from the slot's files.
    void refreshSlot();
    /// A save or load slot button whose slot holds a save.
    bool slotOccupied() const { return m_slotShot != nullptr; }

    LineValue<sButton> m_ButtonStates;
    std::wstring srcScriptName;
    bool systemButton = false;

private:
    bool LeftClick();
    bool RightClick();
    /// The slot flows, run from the deferred-call queue.
    void SaveSlotFlow();
    void LoadSlotFlow();
    void DeleteSlotFlow();
    /// Opens the confirmation box of kind for this button unless it was answered yes; true when it must wait.
    bool AskFirst(const wchar_t* kind);
    /// Queues a flow of this button for the next deferred-call pass (a button gone by then does nothing).
    void Queue(void (NButton::*flow)());
    /// Queues the click lines (or, with touch, the touch lines) for the parser running now.
    void RunExecLines(bool touch);
    void ShowLook(ButtonLook look);
    bool TextReadActive();

    int m_createdLine = -1;
    ButtonLook m_look = LOOK_UNTOUCHED;
    /// The look the last frame drew, so that a job's look that changed by itself is redrawn.
    ButtonLook m_drawnLook = LOOK_UNTOUCHED;
    /// The pointer is over the button: the touch lines ran for this touch.
    bool m_touched = false;
    /// The thumbnail of the save in a slot button's slot; null while the slot is empty. Read straight from the save
    /// folder, never pooled, so that a new save in the same file is always seen.
    std::shared_ptr<sf::Texture> m_slotShot;
};

} // namespace zel
