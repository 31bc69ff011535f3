#pragma once
// The script commands. Each handler takes the tokens of one line (token 1 is the keyword) and never throws; the
// command table binds them to their keywords.

#include "entities/Entity.h"

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace zel
{
class NButton;
class NTextbox;
class Parser;
class sTextbox;

namespace CmdHandlers
{
using Tokens = std::vector<std::wstring>;

/// The script word of a vocabulary key ("" while the key has none).
std::wstring Word(const wchar_t* key);
/// True when token is the script word of that key (a key without a word matches nothing).
bool IsWord(const std::wstring& token, const wchar_t* key);
/// Names of two or more characters that begin with "^" belong to menus and labels: left out of slot thumbnails.
bool LeftOutOfScreenshots(const std::wstring& name);
/// The tokens at positions (counted from 1, as the script counts them) as integers. False when one is not a
/// number (warned by the number check) or has too many digits for one (logged for who).
bool ReadInts(const Tokens& tokens, std::initializer_list<std::size_t> positions, std::vector<int>& values,
              const wchar_t* who);

// Audio (CmdHandlerAudio).
/// bgm FILE [repeat]: the one music entity plays FILE from this line on.
void ExecuteMusic(const Tokens& tokens);
/// soundEffect NAME FILE [repeat]: plays a sound effect (playing only).
void ExecuteSoundEffect(const Tokens& tokens);
/// voice FILE: plays a spoken line once (playing only).
void ExecuteVoice(const Tokens& tokens);
/// volume TARGET N%: the music's fixed volume from this line on, or a playing sound effect's volume.
void ExecuteVolume(const Tokens& tokens);

// Pictures (CmdHandlerMain).
void ExecuteBG(const Tokens& tokens);
void ExecuteCG(const Tokens& tokens);
void ExecuteClear(const Tokens& tokens);
void ExecuteRemove(const Tokens& tokens);
/// Creates the cg or background of that name, or gives the existing one a new look at the main line.
void HandleCG_InsRm(NType type, const std::wstring& name, const std::wstring& file, double x, double y, int layer,
                    const std::wstring& option);

// Animations, screen transitions and display (CmdHandlerTween).
/// fadein TARGETS [DURATION]: from nearly transparent to opaque (the backlog's word shows the backlog). The animation
/// commands return the duration to wait for on a synchronous line that gives one, else -1.
int ExecuteFadein(const Tokens& tokens, bool sync);
/// fadeout TARGETS [DURATION]: to transparent, then the targets leave (the backlog's word hides the backlog).
int ExecuteFadeout(const Tokens& tokens, bool sync);
/// alpha TARGETS ALPHA [DURATION]: from the current alpha to ALPHA.
int ExecuteAlpha(const Tokens& tokens, bool sync);
/// move NAMES X Y [DURATION]: X and Y place the top-left corner, or with a sign move by that much.
int ExecuteMove(const Tokens& tokens, bool sync);
/// rotate NAMES ANGLE [DURATION], about the picture's centre.
int ExecuteRotate(const Tokens& tokens, bool sync);
/// zoom NAMES PERCENT [DURATION], about the picture's centre.
int ExecuteZoom(const Tokens& tokens, bool sync);
/// alphaFadein FILE DURATION (playing only): the image-mask transition that uncovers the scene; the script stops
/// until it ends. Always -1: the transition itself lets the script go on.
int ExecuteAlphaFadein(const Tokens& tokens);
/// alphaFadeout FILE DURATION: the same, covering the scene in the clear colour and then emptying it.
int ExecuteAlphaFadeout(const Tokens& tokens);
/// image NAME FILE: a new image for a picture, keeping its place, colour and turn.
void ExecuteImage(const Tokens& tokens);
/// rgb NAME R G B: tints a picture, opaque.
void ExecuteRGB(const Tokens& tokens);
/// cameraReset: the camera back to where it started.
void ExecuteCameraReset(const Tokens& tokens);
/// The old-layer argument of ExecuteLayer that means "the layer the entity has now" (-1 is a layer like any other).
constexpr int kCurrentLayer = std::numeric_limits<int>::min();
/// Moves NAME to LAYER. oldLayer is the layer list the entity sits in, or kCurrentLayer.
void ExecuteLayer(const Tokens& tokens, int oldLayer);
/// While editing, after the cursor moved back: puts NAME from the list of fromLayer into the list of toLayer, the
/// layer it reads at the cursor. Records nothing, as no line of the script moved it.
void RewindLayerList(const std::wstring& name, int fromLayer, int toLayer);

// Text boxes, dialogue and the backlog (CmdHandlerText).
/// The text box of that name; empty (and warned) when there is none or the name is not a text box's.
std::shared_ptr<NTextbox> getTextboxWithName(const std::wstring& name);
/// Pushes a new text state at the main line on the text box of that name; null (and logged) when it cannot.
sTextbox* pushAndGetSTextWithName(const std::wstring& name);
void ExecuteTextarea(const Tokens& tokens);
void ExecuteText(const Tokens& tokens);
/// Creates or re-uses a text box from its 15 settings (the text label and save slots use it).
void InitTextarea(const Tokens& items, bool useCamera);
void ExecuteUseTextbox(const Tokens& tokens);
void ExecuteTextFont(const Tokens& tokens);
void ExecuteTextSize(const Tokens& tokens);
void ExecuteTextColour(const Tokens& tokens);
void ExecuteTextSpeed(const Tokens& tokens);
void ExecuteTextBold(const Tokens& tokens);
void ExecuteTextShadow(const Tokens& tokens);
void ExecuteTextboxSkin(const Tokens& tokens);
void ExecuteTextWaitIcon(const Tokens& tokens);
void ExecuteTextWordWrap(const Tokens& tokens);
void ExecuteTextDir(const Tokens& tokens);
void ExecuteTextAutoWait(const Tokens& tokens);
void ExecuteTextProgress(const Tokens& tokens);
void ExecuteBacklogConfig(const Tokens& tokens);
void ExecuteBacklogReset(const Tokens& tokens);
/// A dialogue line (its leading quote, or minus and quote, included): into the current text box and the backlog.
/// newText replaces what the box shows; otherwise the text continues it.
void ExecuteLine(const std::wstring& line, bool newText);
/// A line that begins with a tilde: the dialogue line after it.
void ExecuteTilde(const std::wstring& line);

// Flow control: waits, jumps, called scripts, triggers, timers, the message box (CmdHandlerFlow).
/// The wait command: a duration in ms for a timed wait, or -1 (no wait while editing, or a wait for a click, a
/// button choice or a message-box choice).
int ExecuteWait(const Tokens& tokens);
/// Calls a script like a subroutine (parser kind 2 from the script command, 5 from the message box).
void ExecuteScript(const Tokens& tokens, std::uint8_t parserKind);
/// Jumps to a bookmark of the running script (returns its line) or to another script (returns 0).
int ExecuteJump(const Tokens& tokens);
/// Binds a script line to a key or mouse name.
void ExecuteKeyTrigger(const Tokens& tokens);
/// Playing only: asks the player through the message box and runs the line on a positive answer.
void ExecuteDialog(const Tokens& tokens);
void ExecuteTimer(const Tokens& tokens);
void ExecuteTimerEnd(const Tokens& tokens);
void ExecuteEndGame(const Tokens& tokens);
void ExecuteClearRGB(const Tokens& tokens);
/// Playing only: renders a placeholder picture into the images folder.
void ExecuteCreateDummyCG(const Tokens& tokens);
/// The tokens from position first (counted from 0) on, joined with single blanks.
std::wstring JoinFrom(const Tokens& tokens, std::size_t first);
/// Places the current parser after a bookmark of its script and lets it read on: the bookmark's line, or 0 (logged
/// for who) when there is none and reading goes on after the line that asked.
int JumpToBookmark(const std::wstring& bookmark, const wchar_t* who);
/// Switches parser to another script of the scripts folder, after bookmark ("": at its start), and lets it read
/// on. False (logged for who) when the name climbs out of the folder or the script cannot be read: the parser is
/// then unchanged.
bool SwitchScript(Parser& parser, const std::wstring& script, const std::wstring& bookmark, const wchar_t* who);
/// Opens the message box of a kind (token 1: a "Msg_" key) by running the message-box script. False when no box
/// could be shown: no message-box script is named or it cannot be read.
bool ExecuteMessageBox(const Tokens& tokens);
/// True while a message box is open (its script runs on the parser stack): another one is then refused.
bool MessageBoxOpen();

// Buttons and sliders (CmdHandlerButton).
/// button / sysButton NAME [IMAGES...] X Y LAYER [NOCAMERA] [KIND [VALUE or SCRIPT...]]. originScript names the
/// script the button belongs to ("" : the running one).
void ExecuteButton(const Tokens& tokens, bool system, const std::wstring& originScript);
/// btnBasicRes UNTOUCHED TOUCHED CLICKED: the images of a button line that names fewer than three.
void ExecuteButtonBasicRes(const Tokens& tokens);
/// btnText NAME FONT SIZE "CAPTION...: a caption centred on the button.
void ExecuteButtonText(const Tokens& tokens);
/// onBtnTouch NAME SCRIPT...: the line run when the pointer touches the button.
void ExecuteOnButtonTouch(const Tokens& tokens);
/// btnAliveRegion (playing only): while the running script runs, only its own buttons answer clicks.
void ExecuteButtonAliveRegion(const Tokens& tokens);
/// trackbar NAME X Y LAYER LENGTH SETTING IMAGE: a slider bound to a reader's setting.
void ExecuteTrackbar(const Tokens& tokens);
/// The first button or system button of that name in the interactive list; empty (and logged) when none.
std::shared_ptr<NButton> getButtonWithName(const std::wstring& name);

// Variables (CmdHandlerVar).
/// var NAME OPERATOR VALUE...: assigns ("="), or computes with "+=", "-=", "*=", "/=". Playing only.
void ExecuteVar(const Tokens& tokens);
/// if NAME OPERATOR VALUE TARGET BOOKMARK [WORD TARGET BOOKMARK]: goes to a bookmark ("here") or another script
/// when the comparison holds, else to the second target when there is one. Playing only.
void ExecuteVarIf(const Tokens& tokens);
/// The integer value of the global variable name. False (logged, naming the command of tokens) when there is no
/// such variable, or when its text is no whole number that fits an int.
bool getVariableValue(const Tokens& tokens, const std::wstring& name, int& value);

} // namespace CmdHandlers
} // namespace zel
