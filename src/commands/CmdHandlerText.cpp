// The text commands: text boxes and labels, their properties, the dialogue line and the backlog settings.

#include "commands/CmdHandlers.h"

#include "core/Assert.h"
#include "core/Services.h"
#include "entities/NBacklog.h"
#include "entities/NTextbox.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"
#include "resources/ResourcePool.h"
#include "script/Parser.h"

#include <algorithm>
#include <initializer_list>
#include <stdexcept>

namespace zel
{
namespace CmdHandlers
{
namespace
{
/// A character size below 0 would reach the font as a huge unsigned size.
bool IsCharacterSize(int size, const wchar_t* who)
{
    if (size >= 0)
        return true;
    OutputDebugStringN(L"\nERROR. (%s) invalid character size:%i. line ignored \n", who, size);
    return false;
}

/// An opaque colour; each part is kept within 0..255 rather than wrapped round.
sf::Color OpaqueColour(int red, int green, int blue)
{
    auto part = [](int value) {
        return static_cast<sf::Uint8>(std::clamp(value, 0, 255));
    };
    return sf::Color(part(red), part(green), part(blue), 255);
}

std::shared_ptr<Font> LoadFont(const std::wstring& file)
{
    std::shared_ptr<Font> font;
    const SystemVariables* sysVars = Services::SysVars();
    if (sysVars == nullptr || !ResourcePool<Font>::getResource(font, sysVars->FilePath(DATA_FONTS, file)))
        return nullptr;
    return font;
}

/// Gives the state the font of the fonts folder; false (logged) when it cannot be loaded.
bool SetFont(sTextbox& state, const std::wstring& file)
{
    std::shared_ptr<Font> font = LoadFont(file);
    if (font == nullptr)
    {
        OutputDebugStringN(L"\nERROR. failed to load font:'%s' %s \n", file.c_str(), ScriptPlace().c_str());
        return false;
    }
    state.setPooledFont(font);
    return true;
}

/// Pushes a new text state at the main line on the text box of that name; the box goes to box when given.
sTextbox* PushTextState(const std::wstring& name, std::shared_ptr<NTextbox>* box)
{
    std::shared_ptr<NTextbox> textbox = getTextboxWithName(name);
    if (textbox == nullptr)
    {
        OutputDebugStringN(L"\nERROR. [pushAndGetSTextWithName] Textbox does not exist. name:%s \n", name.c_str());
        return nullptr;
    }
    sTextbox* state = textbox->pushTextState(lineContext::MainLine());
    if (state == nullptr)
    {
        OutputDebugStringN(L"\nERROR. [pushAndGetSTextWithName] could not push new text state. name:%s \n",
                           name.c_str());
        return nullptr;
    }
    if (box != nullptr)
        *box = textbox;
    return state;
}

std::wstring CurrentTextboxName()
{
    SystemVariables* sysVars = Services::SysVars();
    return sysVars != nullptr ? sysVars->curUseTextareaName.get(true) : std::wstring();
}

/// The property commands' start: a new text state of the current text box, or null (logged).
sTextbox* PushCurrentTextState(std::shared_ptr<NTextbox>* box = nullptr)
{
    return PushTextState(CurrentTextboxName(), box);
}

std::shared_ptr<NBacklog> Backlog()
{
    EntityRegistry* entities = Services::Entities();
    if (!QH_ASSERT(entities != nullptr && entities->pBacklog != nullptr,
                   L"zel::Services::Entities()->pBacklog != nullptr", L"CmdHandlerText", 93))
        return nullptr;
    return entities->pBacklog;
}

/// A re-run textbox line: a fresh state at line, opaque, shown and no longer marked removed.
sTextbox* RenewTextbox(NTextbox& box, int line)
{
    sTextbox* state = box.pushTextState(line);
    if (state == nullptr)
        return nullptr;
    sf::Color colour = box.getColor();
    colour.a = 255;
    box.setColor(colour);
    state->visible = true;
    // While playing, the newest mark wins: a fade-out's mark was appended after the play-start line.
    box.markRemoved(false, true);
    return state;
}

/// The text of a dialogue line without its leading tilde and its quote (or minus and quote).
std::wstring DialogueText(const std::wstring& line, bool newText)
{
    const std::wstring prefix = newText ? L"\"" : L"-\"";
    // Indentation or a tilde before the prefix is not part of the text.
    const std::size_t at = line.find(prefix);
    if (at != std::wstring::npos && line.find_first_not_of(L" \t~") >= at)
        return line.substr(at + prefix.size());
    return line.substr(std::min(prefix.size(), line.size()));
}

/// Leading full stops become as many line feeds.
void LeadingStopsToLineFeeds(std::wstring& text)
{
    const std::size_t stops = std::min(text.find_first_not_of(L'.'), text.size());
    text.replace(0, stops, stops, L'\n');
}

/// Line feeds written as backslash and n, the wait marks removed; a doubled backslash keeps a written "\n".
void RewriteEscapes(std::wstring& text)
{
    NHelper::ReplaceAll(text, L"\\n", L"\n");
    NHelper::ReplaceAll(text, L"\\c", L"");
    NHelper::ReplaceAll(text, L"\\w", L"");
    NHelper::ReplaceAll(text, L"\r", L"");
    NHelper::ReplaceAll(text, L"\\\n", L"\\n");
}

/// Playing: the reader has to click on, when the line asks for it or auto-wait is on and the line does not refuse.
void WaitForReaderIfNeeded(bool noWaitMark, bool waitMark)
{
    SystemVariables* sysVars = Services::SysVars();
    if (sysVars == nullptr || lineContext::Editing())
        return;
    if (!((!noWaitMark && sysVars->textAutoWait.get(true)) || waitMark))
        return;
    if (std::shared_ptr<Parser> parser = CurParser())
        parser->m_ParserState = PARSE_FIN;
}

} // namespace

std::shared_ptr<NTextbox> getTextboxWithName(const std::wstring& name)
{
    EntityRegistry* entities = Services::Entities();
    std::shared_ptr<NTextbox> box =
        entities != nullptr ? NTextbox::From(entities->findEntityWithName(name, true)) : nullptr;
    if (box == nullptr)
        OutputDebugStringN(L"WARNING. (mainline:%i,curline:%i) entity:'%s' does not exist or not a textbox  \n",
                           lineContext::MainLine(), lineContext::CurrentLine(), name.c_str());
    return box;
}

sTextbox* pushAndGetSTextWithName(const std::wstring& name)
{
    return PushTextState(name, nullptr);
}

void ExecuteTextarea(const Tokens& tokens)
{
    std::vector<int> numbers; // X, Y, LAYER, W, H, SIZE
    if (!ReadInts(tokens, {3, 4, 5, 6, 7, 9}, numbers, L"ExecuteTextarea") ||
        !IsCharacterSize(numbers[5], L"ExecuteTextarea"))
        return;
    EntityRegistry* entities = Services::Entities();
    if (entities == nullptr)
        return;
    const std::wstring& name = tokens[1];
    const float x = static_cast<float>(numbers[0]);
    const float y = static_cast<float>(numbers[1]);
    const int layer = numbers[2];
    const int line = lineContext::MainLine();
    const bool useCamera = !(tokens.size() == 10 && IsWord(tokens[9], L"CmdOptions_noCamera"));

    const EntityPtr found = entities->findEntityWithName(name, true);
    std::shared_ptr<NTextbox> box = NTextbox::From(found);
    if (found != nullptr && box == nullptr)
    {
        OutputDebugStringN(L"\nERROR. (ExecuteTextarea) name:'%s' is already used by a non textbox  \n", name.c_str());
        return;
    }
    sTextbox* state = nullptr;
    if (box != nullptr)
    {
        OutputDebugStringN(L"[ExecuteTextarea] textarea:%s already exists. reusing \n", name.c_str());
        state = RenewTextbox(*box, line);
        if (state == nullptr)
            return;
        box->setInCamera(useCamera);
        state->setOrigin(0.f, 0.f);
        state->setPosition(x, y);
        state->areaWidth = numbers[3];
        state->areaHeight = numbers[4];
        box->tweens.clear();
    }
    else
    {
        box = std::make_shared<NTextbox>(NTYPE_TEXTBOX, name, numbers[3], numbers[4], layer, line);
        state = box->getCurrentText();
        box->setInCamera(useCamera);
        if (state != nullptr)
            state->setPosition(x, y);
        entities->InsNovelEntity(box, layer, name);
    }
    if (!QH_ASSERT(state != nullptr, L"pTextbox != nullptr", L"CmdHandlerText", 292))
        return;
    if (SetFont(*state, tokens[7]))
        state->setCharacterSize(static_cast<unsigned>(numbers[5]));
}

void ExecuteText(const Tokens& tokens)
{
    const TextLine label = ExpandTextLine(tokens, Word(L"CmdOptions_noCamera"));
    InitTextarea(label.tokens, label.useCamera);
}

void InitTextarea(const Tokens& items, bool useCamera)
{
    if (items.size() != 15)
    {
        OutputDebugStringN(L"\nERROR. (InitTextarea) INVALID NUMBER ARGS. input_arg_no:%i \n",
                           static_cast<int>(items.size()));
        return;
    }
    std::vector<int> numbers; // X, Y, LAYER, W, H, SIZE, MS_PER_LETTER
    if (!ReadInts(items, {3, 4, 5, 6, 7, 9, 10}, numbers, L"InitTextarea") ||
        !IsCharacterSize(numbers[5], L"InitTextarea"))
        return;
    int style = 0;
    int shadow = 0;
    try
    {
        style = NHelper::ToInt(items[10]);
        shadow = NHelper::ToInt(items[11]);
    }
    catch (const std::exception& e)
    {
        // Labels always give numbers here; a damaged save slot may not.
        OutputDebugStringN(L"\nERROR. (InitTextarea) %s. style:'%s' shadow:'%s' \n", NHelper::s2ws(e.what()).c_str(),
                           items[10].c_str(), items[11].c_str());
        return;
    }
    EntityRegistry* entities = Services::Entities();
    if (entities == nullptr)
        return;
    const std::wstring& name = items[1];
    const int layer = numbers[2];
    const int line = lineContext::MainLine();

    const EntityPtr found = entities->findEntityWithName(name, true);
    std::shared_ptr<NTextbox> box = NTextbox::From(found);
    if (found != nullptr && box == nullptr)
    {
        OutputDebugStringN(L"\nERROR. (InitTextarea) name:%s is already used by a non-textbox \n", name.c_str());
        return;
    }
    const bool isNew = box == nullptr;
    sTextbox* state = nullptr;
    if (isNew)
    {
        box = std::make_shared<NTextbox>(NTYPE_TEXTBOX, name, numbers[3], numbers[4], layer, line);
        state = box->getCurrentText();
    }
    else
        state = RenewTextbox(*box, line);
    if (state == nullptr)
        return;
    std::shared_ptr<Font> font = LoadFont(items[7]);
    if (font == nullptr)
    {
        OutputDebugStringN(L"failed to load font \n");
        return; // a new box was never registered and goes with this handle
    }
    state->setPooledFont(font);
    state->setPosition(static_cast<float>(numbers[0]), static_cast<float>(numbers[1]));
    state->setCharacterSize(static_cast<unsigned>(numbers[5]));
    state->MS_PER_LETTER = numbers[6];
    if (style % 2 != 0)
        state->setStyle(state->getStyle() | sf::Text::Bold);
    state->shadow = shadow;
    state->shadowColour = sf::Color(0, 0, 0, 255);
    state->vertical = items[13] == L"true";
    box->setInCamera(useCamera);
    box->includeInScreenshot = !LeftOutOfScreenshots(name);
    state->setPlainText(items[14]);
    if (isNew)
        entities->InsNovelEntity(box, layer, name);
}

void ExecuteUseTextbox(const Tokens& tokens)
{
    SystemVariables* sysVars = Services::SysVars();
    EntityRegistry* entities = Services::Entities();
    if (sysVars == nullptr || entities == nullptr)
        return;
    const std::wstring& name = tokens[1];
    std::wstring value;
    if (NTextbox::From(entities->findEntityWithName(name, true)) != nullptr)
    {
        value = name;
        OutputDebugStringN(L"[ExecuteUseTextbox] assigning textbox:%s \n", name.c_str());
    }
    else
        OutputDebugStringN(L"WARNING. (ExecuteUseTextbox) entity:'%s' does not exist or not a textbox  \n",
                           name.c_str());
    sysVars->curUseTextareaName.set(value, false);
}

void ExecuteTextFont(const Tokens& tokens)
{
    if (sTextbox* state = PushCurrentTextState())
        SetFont(*state, tokens[1]);
}

void ExecuteTextSize(const Tokens& tokens)
{
    std::vector<int> size;
    if (!ReadInts(tokens, {2}, size, L"ExecuteTextSize") || !IsCharacterSize(size[0], L"ExecuteTextSize"))
        return;
    if (sTextbox* state = PushCurrentTextState())
        state->setCharacterSize(static_cast<unsigned>(size[0]));
}

void ExecuteTextColour(const Tokens& tokens)
{
    std::vector<int> rgb;
    if (!ReadInts(tokens, {2, 3, 4}, rgb, L"ExecuteTextColour"))
        return;
    if (sTextbox* state = PushCurrentTextState())
        state->setFillColor(OpaqueColour(rgb[0], rgb[1], rgb[2]));
}

void ExecuteTextSpeed(const Tokens& tokens)
{
    std::vector<int> speed;
    if (!ReadInts(tokens, {2}, speed, L"ExecuteTextSpeed"))
        return;
    if (sTextbox* state = PushCurrentTextState())
        state->MS_PER_LETTER = speed[0];
}

void ExecuteTextBold(const Tokens& tokens)
{
    sTextbox* state = PushCurrentTextState();
    if (state == nullptr)
        return;
    const sf::Uint32 style = state->getStyle();
    state->setStyle(tokens[1] == L"true" ? (style | sf::Text::Bold) : (style & ~sf::Uint32(sf::Text::Bold)));
}

void ExecuteTextShadow(const Tokens& tokens)
{
    const std::size_t n = tokens.size();
    if (n != 2 && n != 5)
        return;
    std::vector<int> values; // MODE [R G B]
    const bool read = n == 2 ? ReadInts(tokens, {2}, values, L"ExecuteTextShadow")
                             : ReadInts(tokens, {2, 3, 4, 5}, values, L"ExecuteTextShadow");
    if (!read)
        return;
    sTextbox* state = PushCurrentTextState();
    if (state == nullptr)
        return;
    state->shadow = values[0];
    state->shadowColour = n == 5 ? OpaqueColour(values[1], values[2], values[3]) : sf::Color(0, 0, 0, 255);
}

void ExecuteTextboxSkin(const Tokens& tokens)
{
    std::vector<int> position;
    if (!ReadInts(tokens, {3, 4}, position, L"ExecuteTextboxSkin"))
        return;
    std::shared_ptr<NTextbox> box;
    if (PushCurrentTextState(&box) != nullptr)
        box->loadSkin(tokens[1], static_cast<float>(position[0]), static_cast<float>(position[1]));
}

void ExecuteTextWaitIcon(const Tokens& tokens)
{
    std::shared_ptr<NTextbox> box;
    if (PushCurrentTextState(&box) != nullptr)
        box->loadWaitIcon(tokens[1]);
}

void ExecuteTextWordWrap(const Tokens& tokens)
{
    if (sTextbox* state = PushCurrentTextState())
        state->wordWrap = tokens[1] == L"true";
}

void ExecuteTextDir(const Tokens& tokens)
{
    if (sTextbox* state = PushCurrentTextState())
        state->vertical = IsWord(tokens[1], L"CmdOptions_vertical");
}

void ExecuteTextAutoWait(const Tokens& tokens)
{
    SystemVariables* sysVars = Services::SysVars();
    if (sysVars == nullptr)
        return;
    sysVars->textAutoWait.set(tokens[1] == L"on", false);
    OutputDebugStringN(L"[ExecuteTextAutoWait] textAutoWait = %s \n", tokens[1].c_str());
}

void ExecuteTextProgress(const Tokens& tokens)
{
    if (lineContext::Editing())
        return;
    std::vector<int> method;
    if (!ReadInts(tokens, {2}, method, L"ExecuteTextProgress"))
        return;
    SystemVariables* sysVars = Services::SysVars();
    sysVars->textReadMethod = sysVars->textReadMethod == method[0] ? 0 : method[0];
}

void ExecuteBacklogConfig(const Tokens& tokens)
{
    const std::wstring& name = tokens[1];
    std::shared_ptr<NTextbox> box = getTextboxWithName(name);
    std::shared_ptr<NBacklog> backlog = box != nullptr ? Backlog() : nullptr;
    SystemVariables* sysVars = Services::SysVars();
    if (backlog == nullptr || sysVars == nullptr)
        return;
    // Shown only while the reader looks back; hidden from this line on, so the lines above still show it.
    box->pushTextState(lineContext::MainLine());
    box->setVisible(false);
    backlog->attach(box);
    sysVars->curBacklogUseTextareaName.set(name, false);
    if (sysVars->curUseTextareaName.get(true) == name)
        sysVars->curUseTextareaName.set(L"", false);
}

void ExecuteBacklogReset(const Tokens&)
{
    if (lineContext::Editing())
        return;
    if (std::shared_ptr<NBacklog> backlog = Backlog())
        backlog->reset();
}

void ExecuteLine(const std::wstring& line, bool newText)
{
    std::wstring text = DialogueText(line, newText);
    LeadingStopsToLineFeeds(text);
    const bool noWaitMark = text.find(L"\\c") != std::wstring::npos;
    const bool waitMark = text.find(L"\\w") != std::wstring::npos;
    RewriteEscapes(text);

    const std::wstring name = CurrentTextboxName();
    EntityRegistry* entities = Services::Entities();
    std::shared_ptr<NTextbox> box =
        entities != nullptr ? NTextbox::From(entities->findEntityWithName(name, true)) : nullptr;
    if (box == nullptr)
    {
        OutputDebugStringN(L"\nERROR. (ExecuteLine) entity:'%s' does not exist or not a textbox %s \n", name.c_str(),
                           ScriptPlace().c_str());
        return;
    }
    const int mainLine = lineContext::MainLine();
    box->pushNewText(text, mainLine, newText);
    if (std::shared_ptr<NBacklog> backlog = Backlog())
        backlog->pushNewLine(text, mainLine, newText); // its box puts in the variables, once, as this box did
    WaitForReaderIfNeeded(noWaitMark, waitMark);
}

void ExecuteTilde(const std::wstring& line)
{
    const std::size_t start = line.find_first_not_of(L" \t");
    const std::wstring rest = start == std::wstring::npos || line[start] != L'~' ? line : line.substr(start + 1);
    if (NHelper::StartsWith(rest, L"\""))
        ExecuteLine(rest, true);
    else if (NHelper::StartsWith(rest, L"-\""))
        ExecuteLine(rest, false);
    else
        OutputDebugStringN(L"WARNING. (ExecuteTilde) not a line of dialogue:'%s' \n", line.c_str());
}

} // namespace CmdHandlers
} // namespace zel
