// The flow-control commands: waits, jumps, called scripts, key and mouse triggers, timers, the message box, the end
// of the game, the clear colour and the placeholder picture.

#include "commands/CmdHandlers.h"
#include "core/Clock.h"
#include "core/Services.h"
#include "persistence/FileReplacement.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"
#include "resources/PhysFsStream.h"
#include "script/Parser.h"

#include <SFML/Graphics/CircleShape.hpp>
#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/RectangleShape.hpp>
#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/Graphics/Text.hpp>

#include <algorithm>
#include <cmath>

namespace zel
{
namespace CmdHandlers
{

namespace
{
/// Scripts calling scripts without waiting nest on the C++ stack; a script that calls itself must not run it out.
constexpr std::size_t kMaxNestedScripts = 64;

/// A name that stays in the folder it is put behind: no "..", no path separator, no drive.
bool IsPlainFileName(const std::wstring& name)
{
    return !name.empty() && name.find(L"..") == std::wstring::npos && name.find_first_of(L"/\\:") == std::wstring::npos;
}

bool Playing()
{
    return !lineContext::Editing();
}

/// Parks the current parser until a button or a message-box choice releases it.
int WaitFor(Parser& parser, ParserState state, const std::wstring& word)
{
    parser.m_ParserState = state;
    OutputDebugStringN(L"[ExecuteWait] WAIT for: %s \n", word.c_str());
    return -1;
}

/// Places a called script after its bookmark and hands it the values; false (logged) when there is no such bookmark.
bool EnterAtBookmark(Parser& called, const Tokens& tokens, const std::wstring& callerPlace)
{
    if (called.GotoBookmark(tokens[2]) == -1)
    {
        OutputDebugStringN(L"\nERROR. (ExecuteScript) TRIED TO JUMP TO INVALID BOOKMARK:%s %s \n", tokens[2].c_str(),
                           callerPlace.c_str());
        return false;
    }
    if (tokens.size() > 3)
        called.PushScriptVarNames(Tokens(tokens.begin() + 3, tokens.end()));
    return true;
}

/// Reads a script of the scripts folder and runs it on top of the parser stack; false (logged) when it cannot run.
bool CallScript(const Tokens& tokens, std::uint8_t parserKind)
{
    const SystemVariables* sysVars = Services::SysVars();
    zel::NParser* stack = Services::pNParser.get();
    if (sysVars == nullptr || stack == nullptr || tokens.size() < 2)
        return false;
    const std::wstring& name = tokens[1];
    if (NHelper::ClimbsOut(name))
    {
        OutputDebugStringN(L"\nERROR. (ExecuteScript) script name leaves the scripts folder. refused:%s %s \n",
                           name.c_str(), ScriptPlace().c_str());
        return false;
    }
    if (stack->m_parserDeque.size() >= kMaxNestedScripts)
    {
        OutputDebugStringN(L"\nERROR. (ExecuteScript) %i scripts already run inside each other. not loading:%s \n",
                           static_cast<int>(stack->m_parserDeque.size()), name.c_str());
        return false;
    }
    std::wstring path = sysVars->FilePath(DATA_SCRIPTS, name);
    NHelper::ReplaceAll(path, L"\\", L"/");
    std::wstring text;
    if (!PhysFsStream::ReadTxtFile(NHelper::ws2s(path), text))
        return false;
    const std::wstring callerPlace = ScriptPlace();
    auto called = std::make_shared<Parser>(name, text, parserKind);
    called->refline = lineContext::MainLine();
    stack->Push(called);
    OutputDebugStringN(L"[ExecuteScript] LOADING NEW SCRIPT:%s \n", name.c_str());
    if (tokens.size() > 2 && !EnterAtBookmark(*called, tokens, callerPlace))
    {
        stack->Pop();
        return false;
    }
    called->m_ParserState = PARSE_CONT;
    called->ReadScript(-1);
    // A script that waits stays on top: the caller stops reading, and the frame loop pops it once it has finished.
    if (called->Finished() && CurParser() == called)
        stack->Pop();
    return true;
}

/// The main parser goes on in another script; the scripts called on top of it end. A script that cannot be read
/// changes nothing: reading goes on after the jump line.
void JumpToScript(const Tokens& tokens)
{
    std::shared_ptr<Parser> main = MainParser();
    if (main != nullptr && SwitchScript(*main, tokens[1], tokens.size() == 3 ? tokens[2] : L"", L"ExecuteJump"))
        Services::pNParser->FinishPushed();
}

/// The figure of the placeholder picture: a head (circle) on a body (rectangle), centred.
void DrawFigure(sf::RenderTarget& canvas, float width, float height, float t)
{
    const sf::Color colour(150, 50, 250, 255);
    const float left = std::floor((width - 2.f * t) / 2.f);
    sf::CircleShape head(t, 30);
    head.setFillColor(colour);
    head.setPosition(left, 0.f);
    canvas.draw(head);
    sf::RectangleShape body(sf::Vector2f(2.f * t, height - 2.f * t));
    body.setFillColor(colour);
    body.setPosition(left, 2.f * t);
    canvas.draw(body);
}

void DrawCentred(sf::RenderTarget& canvas, const sf::Font& font, const std::wstring& words, unsigned size, float y)
{
    sf::Text text(sf::String(words), font, size);
    text.setFillColor(sf::Color::White);
    const float width = static_cast<float>(canvas.getSize().x);
    text.setPosition(std::floor((width - text.getLocalBounds().width) / 2.f), y);
    canvas.draw(text);
}

/// Title, subtitle and the further lines of the placeholder picture.
void DrawCaptions(sf::RenderTarget& canvas, const sf::Font& font, const Tokens& tokens, float t)
{
    DrawCentred(canvas, font, tokens[5], 24, 2.f * t + 20.f);
    DrawCentred(canvas, font, tokens.size() > 6 ? tokens[6] : L"", 40, 20.f);
    for (std::size_t i = 7; i < tokens.size(); ++i)
        DrawCentred(canvas, font, tokens[i], 24, 2.f * t + 70.f + 50.f * static_cast<float>(i - 7));
}

/// A picture size the graphics card can hold.
bool IsPictureSize(int width, int height)
{
    const int largest = static_cast<int>(sf::Texture::getMaximumSize());
    if (width > 0 && height > 0 && width <= largest && height <= largest)
        return true;
    OutputDebugStringN(L"\nERROR. (ExecuteCreateDummyCG) invalid picture size:%ix%i (1 to %i). line ignored \n", width,
                       height, largest);
    return false;
}

/// Renders the placeholder picture; false (logged) when no off-screen picture of that size can be made.
bool RenderDummy(sf::RenderTexture& canvas, const Tokens& tokens, int width, int height)
{
    if (!canvas.create(static_cast<unsigned>(width), static_cast<unsigned>(height)))
    {
        OutputDebugStringN(L"\n[ExecuteCreateDummyCG] ERROR. Failed to create the picture \n\n");
        return false;
    }
    const SystemVariables* sysVars = Services::SysVars();
    sf::Font font;
    const bool hasFont = sysVars != nullptr && !RefusedName(tokens[2], L"ExecuteCreateDummyCG") &&
                         font.loadFromFile(NHelper::ws2s(sysVars->FilePath(DATA_FONTS, tokens[2])));
    if (!hasFont)
        OutputDebugStringN(L"\n[ExecuteCreateDummyCG] ERROR. Font failed to load. \n\n");
    const float t = static_cast<float>(width) / 200.f * 50.f;
    canvas.clear(sf::Color::Transparent);
    DrawFigure(canvas, static_cast<float>(width), static_cast<float>(height), t);
    if (hasFont)
        DrawCaptions(canvas, font, tokens, t);
    canvas.display();
    return true;
}
} // namespace

std::wstring JoinFrom(const Tokens& tokens, std::size_t first)
{
    std::wstring joined;
    for (std::size_t i = first; i < tokens.size(); ++i)
        joined += (i == first ? L"" : L" ") + tokens[i];
    return joined;
}

int JumpToBookmark(const std::wstring& bookmark, const wchar_t* who)
{
    std::shared_ptr<Parser> parser = CurParser();
    if (parser == nullptr)
        return 0;
    const int line = parser->GotoBookmark(bookmark);
    if (line == -1)
    {
        OutputDebugStringN(L"ERROR. [%s] searched bookmark: '%s' does not exist. restored script. %s \n", who,
                           bookmark.c_str(), ScriptPlace().c_str());
        return 0;
    }
    OutputDebugStringN(L"[%s] searched bookmark: '%s' found at line: %i \n", who, bookmark.c_str(), line);
    parser->m_ParserState = PARSE_CONT;
    return line;
}

bool SwitchScript(Parser& parser, const std::wstring& script, const std::wstring& bookmark, const wchar_t* who)
{
    if (NHelper::ClimbsOut(script))
    {
        OutputDebugStringN(L"\nERROR. (%s) script name leaves the scripts folder. refused:%s %s \n", who,
                           script.c_str(), ScriptPlace().c_str());
        return false;
    }
    if (!parser.GoToScript(script, bookmark))
    {
        OutputDebugStringN(L"\nERROR. (%s) could not read script:%s. reading goes on after the line \n", who,
                           script.c_str());
        return false;
    }
    parser.m_ParserState = PARSE_CONT;
    return true;
}

int ExecuteWait(const Tokens& tokens)
{
    std::shared_ptr<Parser> parser = CurParser();
    if (!Playing() || parser == nullptr)
        return -1;
    if (tokens.size() == 2)
    {
        if (IsWord(tokens[1], L"CmdOptions_buttonSelect"))
            return WaitFor(*parser, WAIT_BTNSEL, tokens[1]);
        if (IsWord(tokens[1], L"CmdOptions_msgboxSelect"))
            return WaitFor(*parser, WAIT_MSGBOXSEL, tokens[1]);
        std::vector<int> duration;
        if (ReadInts(tokens, {2}, duration, L"ExecuteWait"))
            return duration[0];
    }
    parser->m_ParserState = PARSE_FIN;
    return -1;
}

void ExecuteScript(const Tokens& tokens, std::uint8_t parserKind)
{
    CallScript(tokens, parserKind);
}

int ExecuteJump(const Tokens& tokens)
{
    if (!Playing())
    {
        OutputDebugStringN(L"[ExecuteJump] (gameplaymode: %s) PROHIBIT SCRIPT JUMP \n", L"false");
        return 0;
    }
    if (tokens.size() < 2)
        return 0;
    if (tokens[1].find(L".txt") == std::wstring::npos)
        return JumpToBookmark(tokens[1], L"ExecuteJump");
    JumpToScript(tokens);
    return 0;
}

void ExecuteDialog(const Tokens& tokens)
{
    if (tokens.size() < 2)
        return;
    // Not inside the reading line: the message box runs its own script on top of the parser stack.
    Services::m_deferredCalls.enqueue([message = tokens[1], line = JoinFrom(tokens, 2)] {
        SystemVariables* sysVars = Services::SysVars();
        if (sysVars == nullptr)
            return;
        // Refused before anything is stored: the open box's answer must run its own line, not this one's.
        if (MessageBoxOpen())
        {
            OutputDebugStringN(L"WARNING. (ExecuteDialog) a message box is already open. refused:%s \n",
                               message.c_str());
            return;
        }
        sysVars->variables[L"msg_str"] = message;
        sysVars->msgboxLine = line;
        ExecuteMessageBox({L"Msg_userDefined"});
    });
}

void ExecuteTimer(const Tokens& tokens)
{
    SystemVariables* sysVars = Services::SysVars();
    std::vector<int> duration;
    if (!Playing() || sysVars == nullptr || tokens.size() < 4 || !ReadInts(tokens, {3}, duration, L"ExecuteTimer"))
        return;
    auto timer = std::make_shared<TimerRecord>();
    timer->name = tokens[1];
    timer->start = Clock::Now();
    timer->durationMs = duration[0];
    timer->repeat = IsWord(tokens[3], L"CmdOptions_repeat");
    timer->line = JoinFrom(tokens, timer->repeat ? 4 : 3);
    if (timer->line.empty())
    {
        // An empty line would make the trigger run the current parser's last line again.
        OutputDebugStringN(L"\nERROR. (ExecuteTimer) timer:%s has no script line. not set \n", timer->name.c_str());
        return;
    }
    sysVars->timers.push_back(timer);
    OutputDebugStringN(L"[ExecuteTimer] name:%s duration:%ims repeat:%i line:%s \n", timer->name.c_str(),
                       timer->durationMs, timer->repeat ? 1 : 0, timer->line.c_str());
}

void ExecuteTimerEnd(const Tokens& tokens)
{
    SystemVariables* sysVars = Services::SysVars();
    if (!Playing() || sysVars == nullptr || tokens.size() < 2)
        return;
    auto& timers = sysVars->timers;
    const std::size_t before = timers.size();
    timers.erase(
        std::remove_if(timers.begin(), timers.end(), [&tokens](const auto& timer) { return timer->name == tokens[1]; }),
        timers.end());
    OutputDebugStringN(L"[ExecuteTimerEnd] name:%s removed:%i \n", tokens[1].c_str(),
                       static_cast<int>(before - timers.size()));
}

void ExecuteEndGame(const Tokens&)
{
    SystemVariables* sysVars = Services::SysVars();
    std::shared_ptr<Parser> main = MainParser();
    if (sysVars == nullptr || !sysVars->applicationFlag || main == nullptr)
    {
        OutputDebugStringN(L"[ExecuteEndGame] EDITOR MODE) IGNORING CMD: endGame. \n");
        return;
    }
    OutputDebugStringN(L"[ExecuteEndGame] APPLICATION MODE) endGame. \n");
    sysVars->gameOver = true;
    main->m_ParserState = PARSE_STOP;
}

void ExecuteClearRGB(const Tokens& tokens)
{
    SystemVariables* sysVars = Services::SysVars();
    if (sysVars == nullptr || tokens.size() < 4 || !NHelper::IsNumberTokens({tokens[1], tokens[2], tokens[3]}, true))
        return;
    auto low8 = [](int value) {
        return static_cast<sf::Uint8>(value & 0xFF);
    };
    try
    {
        const sf::Color colour(low8(NHelper::ToInt(tokens[1])), low8(NHelper::ToInt(tokens[2])),
                               low8(NHelper::ToInt(tokens[3])), 255);
        sysVars->clearColour.set(colour, false);
    }
    catch (const std::exception&)
    {
        OutputDebugStringN(L"\nERROR. (ExecuteClearRGB) INVALID VALUES: parseTokens[1]:%s,[2]:%s,[3]:%s \n",
                           tokens[1].c_str(), tokens[2].c_str(), tokens[3].c_str());
    }
}

void ExecuteCreateDummyCG(const Tokens& tokens)
{
    const SystemVariables* sysVars = Services::SysVars();
    std::vector<int> size;
    if (!Playing() || sysVars == nullptr || tokens.size() < 6 ||
        !ReadInts(tokens, {4, 5}, size, L"ExecuteCreateDummyCG"))
        return;
    // The picture is written to the real file system: its name must keep it inside the images folder.
    if (!IsPlainFileName(tokens[1]))
    {
        OutputDebugStringN(L"\nERROR. (ExecuteCreateDummyCG) file name must stay in the images folder. refused:%s \n",
                           tokens[1].c_str());
        return;
    }
    if (!IsPictureSize(size[0], size[1]))
        return;
    const std::string path = NHelper::ws2s(sysVars->FilePath(DATA_IMAGES, tokens[1]) + L".png");
    {
        sf::RenderTexture canvas;
        std::string why;
        if (RenderDummy(canvas, tokens, size[0], size[1]) &&
            !ReplaceFile(
                path,
                [&canvas](const std::string& into) { return canvas.getTexture().copyToImage().saveToFile(into); },
                why))
            OutputDebugStringN(L"\n[ExecuteCreateDummyCG] ERROR. Failed to save image \n\n");
    }
    Services::ActivateRenderWindow();
}

bool MessageBoxOpen()
{
    const SystemVariables* sysVars = Services::SysVars();
    const zel::NParser* stack = Services::pNParser.get();
    if (sysVars == nullptr || stack == nullptr)
        return false;
    return std::any_of(stack->m_parserDeque.begin(), stack->m_parserDeque.end(), [sysVars](const auto& parser) {
        return parser->parserKind == PARSER_MSGBOX ||
               (!sysVars->MsgboxScript.empty() && parser->scriptName == sysVars->MsgboxScript);
    });
}

bool ExecuteMessageBox(const Tokens& tokens)
{
    SystemVariables* sysVars = Services::SysVars();
    if (sysVars == nullptr || tokens.empty())
        return false;
    if (MessageBoxOpen())
    {
        OutputDebugStringN(L"[CmdHandlers::ExecuteMessageBox] MSGBOX SCRIPT ALREADY RUNNING. return. \n");
        return true;
    }
    if (sysVars->MsgboxScript.empty())
    {
        OutputDebugStringN(L"\nERROR. (CmdHandlers::ExecuteMessageBox) no message-box script named (MsgboxScript in "
                           L"Config.xml). kind:%s \n",
                           tokens[0].c_str());
        return false;
    }
    sysVars->currentMsgboxKind = tokens[0];
    sysVars->variables[tokens[0]] = L"-1";
    return CallScript({L"script", sysVars->MsgboxScript}, PARSER_MSGBOX);
}

// Key and mouse triggers.

void ExecuteKeyTrigger(const Tokens& tokens)
{
    SystemVariables* sysVars = Services::SysVars();
    if (sysVars == nullptr || tokens.size() < 2)
        return;
    const std::wstring& key = tokens[1];
    const TriggerRecord record{lineContext::MainLine(), JoinFrom(tokens, 2)};
    if (auto named = sysVars->keyNames.find(key); named != sysVars->keyNames.end())
        sysVars->keyTriggers[named->second] = record;
    else if (auto mouseNamed = sysVars->mouseNames.find(key); mouseNamed != sysVars->mouseNames.end())
        sysVars->mouseTriggers[mouseNamed->second] = record;
    else
    {
        OutputDebugStringN(L"\nERROR. (ExecuteKeyTrigger) INVALID TRIGGER KEY:%s %s \n", key.c_str(),
                           ScriptPlace().c_str());
        return;
    }
    OutputDebugStringN(L"[ExecuteKeyTrigger] TRIGGER SAVED. key:%s trigger_func:%s \n", key.c_str(),
                       record.trigger_function.c_str());
}

} // namespace CmdHandlers
} // namespace zel
