#include "entities/NBacklog.h"

#include "core/Clock.h"
#include "core/Services.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"
#include "script/Parser.h"

#include <algorithm>

namespace zel
{
namespace
{
const wchar_t* const kAttachedByPush =
    L"WARNING: (NBacklog::pushNewLine) FOR SOME REASON BACKLOG TEXTAREA NOT SET, BUT SET IN SYSVARS: ATTACHED \n";
const wchar_t* const kAttachedByUpdate =
    L"WARNING: (NBacklog::Update) FOR SOME REASON BACKLOG TEXTAREA NOT SET, BUT SET IN SYSVARS: ATTACHED \n";
const wchar_t* const kAttachedByLayout =
    L"WARNING: FOR SOME REASON BACKLOG TEXTAREA NOT SET, BUT SET IN SYSVARS: ATTACHED \n";

int CountBreaks(const std::wstring& text)
{
    return static_cast<int>(NHelper::CountOf(text, L'\n'));
}

/// The text without its last count lines (each cut before a line break, searched from the end).
std::wstring DropLastLines(const std::wstring& text, int count)
{
    std::size_t end = text.size();
    for (int i = 0; i < count && end > 0; ++i)
    {
        const std::size_t breakAt = text.rfind(L'\n', end - 1);
        end = breakAt == std::wstring::npos ? 0 : breakAt;
    }
    return text.substr(0, end);
}

/// The speaker's name when a new line is shown and "backlogName" holds one.
std::wstring SpeakerName(bool newLine)
{
    const SystemVariables* sysVars = Services::SysVars();
    if (!newLine || sysVars == nullptr)
        return L"";
    auto named = sysVars->variables.find(L"backlogName");
    return named == sysVars->variables.end() ? L"" : named->second;
}

bool IsWaiting(std::uint8_t state)
{
    return state == PARSE_FIN || state == SYNC_EXEC || state == WAIT_BTNSEL || state == WAIT_MSGBOXSEL ||
           state == PARSE_STOP;
}

bool BacklogShown()
{
    SystemVariables* sysVars = Services::SysVars();
    return sysVars != nullptr && sysVars->backlogDisplay.get(true);
}
} // namespace

NBacklog::NBacklog() : NEntity(NTYPE_BACKLOG, L"", -1) {}

void NBacklog::attach(const std::shared_ptr<NTextbox>& box)
{
    Services::ActivateRenderWindow();
    m_pNTextbox.set(box, false);
}

std::shared_ptr<NTextbox> NBacklog::textbox()
{
    return m_pNTextbox.get(true);
}

sTextbox* NBacklog::AttachedState()
{
    std::shared_ptr<NTextbox> box = textbox();
    return box != nullptr ? box->m_TextStates.latest(true) : nullptr;
}

void NBacklog::setDisplayed(bool displayed)
{
    if (sTextbox* state = AttachedState())
        state->visible = displayed;
}

bool NBacklog::AttachOnDemand(const wchar_t* attachedMessage)
{
    if (textbox() != nullptr)
        return AttachedState() != nullptr;
    SystemVariables* sysVars = Services::SysVars();
    EntityRegistry* entities = Services::Entities();
    if (sysVars == nullptr || entities == nullptr)
        return false;
    const std::wstring& boxName = sysVars->curBacklogUseTextareaName.get(true);
    if (boxName.empty())
        return false;
    std::shared_ptr<NTextbox> box = NTextbox::From(entities->Find(boxName));
    if (box == nullptr || box->m_TextStates.latest(true) == nullptr)
        return false;
    box->m_TextStates.latest(true)->visible = false;
    attach(box);
    OutputDebugStringN(attachedMessage);
    return true;
}

void NBacklog::pushNewLine(const std::wstring& text, int line, bool newLine)
{
    if (text.empty())
        return;
    if (!AttachOnDemand(kAttachedByPush))
    {
        OutputDebugStringN(L"WARNING. (NBacklog::pushNewLine) backlog textarea not assigned and not in sysvars \n");
        return;
    }
    const std::wstring speaker = SpeakerName(newLine);
    const std::wstring entry = speaker.empty() ? text : speaker + L"\n" + text;

    BacklogEntry record;
    record.line = lineContext::MainLine();
    record.newLine = newLine;
    const std::wstring laidOut = LayOut(entry, line, newLine);
    const bool separated = newLine && !m_entries.empty();
    record.text = separated ? L"\n\n" + laidOut : laidOut;
    record.endLine = (m_entries.empty() ? 1 : m_entries.back().endLine) + CountBreaks(record.text);
    m_entries.push_back(record);
    // Where the entries say the text ends must be where the box's own layout of the paragraph ends (continued text
    // that made the box wrap its earlier lines anew ends elsewhere).
    if (ParagraphStartLine() + CountBreaks(AttachedState()->text()) != record.endLine)
        OutputDebugStringN(L"\nERROR. (NBacklog::pushNewLine) NEWLINE POSITION INCORRECT. \n");
}

std::wstring NBacklog::LayOut(const std::wstring& entry, int line, bool newLine)
{
    std::shared_ptr<NTextbox> box = textbox();
    const std::wstring before = AttachedState()->text();
    box->pushNewText(entry, line, newLine, TextPush{false, false});
    const std::wstring after = AttachedState()->text();
    if (newLine)
        return after;
    // Continued text is appended: what was there must still lead the string.
    if (after.compare(0, before.size(), before) != 0)
    {
        OutputDebugStringN(L"\nERROR. (NBacklog::pushNewLine) INCORRECT!!!!! \n");
        return after.size() > before.size() ? after.substr(before.size()) : std::wstring();
    }
    return after.substr(before.size());
}

std::size_t NBacklog::EntryHolding(int textLine) const
{
    auto holder = std::lower_bound(m_entries.begin(), m_entries.end(), textLine,
                                   [](const BacklogEntry& entry, int wanted) { return entry.endLine < wanted; });
    if (holder == m_entries.end())
        return m_entries.empty() ? 0 : m_entries.size() - 1;
    std::size_t index = static_cast<std::size_t>(holder - m_entries.begin());
    // Text continued without a line break begins on the line that the entry before it ends on: when that is the
    // line wanted, the line goes on in the next entry.
    while (m_entries[index].endLine == textLine && index + 1 < m_entries.size() &&
           !NHelper::StartsWith(m_entries[index + 1].text, L"\n"))
        ++index;
    return index;
}

void NBacklog::calcDisplayLines()
{
    AttachOnDemand(kAttachedByLayout);
    if (m_entries.empty())
    {
        OutputDebugStringN(L"BACKLOG CURRENTLY HAS NO PUSHED LINES: RETURN. \n");
        return;
    }
    const sTextbox* state = AttachedState();
    if (state == nullptr || state->areaHeight == 0)
        return;
    const Clock::time_point start = Clock::Now();
    KeepPositionInRange();
    m_displayText = *state;
    m_displayText.setString(FitDisplayString(static_cast<float>(m_displayText.areaHeight)));
    OutputDebugStringN(L"[NBacklog::calcDisplayLines] duration:%ims \n",
                       static_cast<int>(Clock::MillisecondsSince(start)));
}

std::wstring NBacklog::FitDisplayString(float areaHeight)
{
    std::wstring shown;
    m_held = false;
    for (std::size_t index = m_curEntry + 1; index-- > 0;)
    {
        const BacklogEntry& entry = m_entries[index];
        std::wstring piece = entry.text;
        if (index == m_curEntry && m_curTextLine < entry.endLine)
            piece = DropLastLines(piece, entry.endLine - m_curTextLine);
        if (NTextbox::TextHeight(m_displayText, piece + shown) > areaHeight)
            return FittingTail(piece, shown, areaHeight) + shown;
        shown = piece + shown;
    }
    m_held = true; // everything from the first line on fits: there is nothing above to scroll to
    return shown;
}

std::wstring NBacklog::FittingTail(const std::wstring& piece, const std::wstring& below, float areaHeight) const
{
    std::wstring kept;
    for (std::size_t breakAt = piece.rfind(L'\n'); breakAt != std::wstring::npos;
         breakAt = breakAt == 0 ? std::wstring::npos : piece.rfind(L'\n', breakAt - 1))
    {
        std::wstring tail = piece.substr(breakAt + 1); // one leading line break dropped
        if (NTextbox::TextHeight(m_displayText, tail + below) > areaHeight)
            break;
        kept = std::move(tail);
    }
    return kept;
}

void NBacklog::KeepPositionInRange()
{
    const int last = m_entries.empty() ? -1 : m_entries.back().endLine;
    if (m_entries.empty())
    {
        m_curTextLine = -1;
        m_curEntry = 0;
        m_held = false;
        return;
    }
    if (m_curTextLine < 1 || m_curTextLine > last)
        m_curTextLine = last;
    m_curEntry = EntryHolding(m_curTextLine);
}

void NBacklog::scroll(const std::string& direction)
{
    if (direction == "up")
        ScrollUp();
    else if (direction == "down")
        ScrollDown();
    else
        calcDisplayLines();
}

void NBacklog::ScrollUp()
{
    SystemVariables* sysVars = Services::SysVars();
    if (sysVars == nullptr)
        return;
    if (!sysVars->backlogDisplay.get(true) || m_entries.empty())
    {
        sysVars->backlogDisplay.set(true, false);
        if (m_entries.empty())
            return;
        m_curEntry = m_entries.size() - 1;
        m_curTextLine = m_entries.back().endLine;
    }
    else if (m_held)
        OutputDebugStringN(L"WARNING: scrollBacklogToNextLine m_curTextLine:%i \n", m_curTextLine);
    else
        scrollBacklogToNextLine("up");
    calcDisplayLines();
}

void NBacklog::ScrollDown()
{
    SystemVariables* sysVars = Services::SysVars();
    if (sysVars == nullptr)
        return;
    const int last = m_entries.empty() ? -1 : m_entries.back().endLine;
    if (m_curTextLine < last)
    {
        scrollBacklogToNextLine("down");
        m_held = false;
        calcDisplayLines();
        return;
    }
    m_held = false;
    sysVars->backlogDisplay.set(false, false);
    m_curEntry = m_entries.empty() ? 0 : m_entries.size() - 1;
    // A script that went on reading while the backlog was shown reads on; one that waits (for a click, a choice, a
    // timed wait or a transition) keeps waiting.
    std::shared_ptr<Parser> parser = CurParser();
    if (parser != nullptr && !IsWaiting(parser->m_ParserState))
        parser->m_ParserState = PARSE_CONT;
}

void NBacklog::scrollBacklogToNextLine(const std::string& direction)
{
    if (m_entries.empty())
        return;
    const int last = m_entries.back().endLine;
    if (direction == "up")
    {
        m_curTextLine = (m_curTextLine < 1 ? last : m_curTextLine) - 1;
        if (m_curTextLine < 1)
        {
            OutputDebugStringN(L"WARNING: scrollBacklogToNextLine m_curTextLine:%i \n", m_curTextLine);
            m_curTextLine = 1;
        }
    }
    else if (direction == "down")
    {
        m_curTextLine = std::max(m_curTextLine, 0) + 1;
        if (m_curTextLine > last)
        {
            OutputDebugStringN(L"WARNING: scrollBacklogToNextLine m_curTextLine:%i > lastLine:%i \n", m_curTextLine,
                               last);
            m_curTextLine = last;
        }
    }
    else
        return;
    m_curEntry = EntryHolding(m_curTextLine);
}

void NBacklog::ForgetEntries()
{
    m_entries.clear();
    m_displayText = sTextbox(); // lets go of the copied font and skin as well
    m_curTextLine = -1;
    m_curEntry = 0;
    m_held = false;
}

void NBacklog::clear()
{
    ForgetEntries();
    m_pNTextbox.clear();
}

void NBacklog::reset()
{
    ForgetEntries();
    if (std::shared_ptr<NTextbox> box = textbox())
        if (sTextbox* emptied = box->pushTextState(lineContext::MainLine()))
            emptied->setPlainText(L"");
}

void NBacklog::Update()
{
    AttachOnDemand(kAttachedByUpdate);
    if (lineContext::Editing())
    {
        EraseEntriesAfter(lineContext::MainLine());
        m_pNTextbox.get(true);
    }
    NEntity::Update();
}

void NBacklog::EraseEntriesAfter(int mainLine)
{
    // Entries are pushed in reading order, so in the usual frame the newest one already answers.
    if (m_entries.empty() || m_entries.back().line <= mainLine)
        return;
    auto kept = std::remove_if(m_entries.begin(), m_entries.end(),
                               [mainLine](const BacklogEntry& entry) { return entry.line > mainLine; });
    if (kept == m_entries.end())
        return;
    m_entries.erase(kept, m_entries.end());
    RecountEndLines();
    KeepPositionInRange();
    m_displayText.setString("");
    if (!m_entries.empty() && BacklogShown())
        calcDisplayLines();
}

void NBacklog::RecountEndLines()
{
    int endLine = 1;
    for (BacklogEntry& entry : m_entries)
    {
        endLine += CountBreaks(entry.text);
        entry.endLine = endLine;
    }
}

int NBacklog::ParagraphStartLine() const
{
    std::size_t first = m_entries.size() - 1;
    while (first > 0 && !m_entries[first].newLine)
        --first;
    if (first == 0)
        return 1;
    // A new paragraph after another begins below the blank line that separates them.
    return m_entries[first - 1].endLine + (m_entries[first].newLine ? 2 : 0);
}

void NBacklog::Draw(int)
{
    std::shared_ptr<NTextbox>* held = m_pNTextbox.latest(true);
    if (held == nullptr || *held == nullptr)
        return;
    if (held->use_count() == 1)
    {
        OutputDebugStringN(L"\nERROR. (NBacklog::Draw) m_pNTextbox.use_count() == 1. releasing \n");
        held->reset();
        return;
    }
    if (const sTextbox* state = (*held)->m_TextStates.latest(true))
        NTextbox::DrawSkin(*state, false);
    if (!m_displayText.getString().isEmpty())
        NTextbox::DrawShadowed(m_displayText, m_displayText, false);
}

} // namespace zel
