// Reading on after a frame: automatic reading after the reader's pause, skip reading (several lines in one update
// while it has time), and the hand-back from a finished called script to the one below.

#include "core/Clock.h"
#include "core/Services.h"
#include "entities/NTextbox.h"
#include "resources/Logger.h"
#include "script/NParser.h"
#include "script/Parser.h"

namespace zel
{
namespace
{
/// Pops a finished pushed script; the parser below goes on at the next update.
void AutoContScript_ifNeeded()
{
    std::shared_ptr<Parser> current = CurParser();
    if (current == nullptr)
        return;
    current->AutoContScript_ifNeeded();
    if (Services::pNParser->m_parserDeque.size() == 1)
        return;
    if (!current->Finished())
        return;
    OutputDebugStringN(L"AutoContScript_ifNeeded(start): CurParser(not main) finished normally: pop\n");
    Services::pNParser->Pop();
    OutputDebugStringN(L"AutoContScript_ifNeeded(fin): cur pushed parser count:%i \n",
                       static_cast<int>(Services::pNParser->m_parserDeque.size()));
}

/// Automatic reading: reads on sysAutoWait ms after the text has finished flowing and the parser waits.
void ReadOnAutomatically(SystemVariables& sysVars, const EntityPtr& area, Parser& parser)
{
    static bool markSet = false;
    static Clock::time_point mark;
    if (!markSet)
    {
        markSet = true;
        mark = Clock::Now();
    }
    const bool textDone = area == nullptr || (!area->isTextFlowing() && parser.m_ParserState == PARSE_FIN);
    if (!textDone)
    {
        // The reader's time starts when the text stands whole: a text that flows longer than the wait must not
        // be read on the moment its last letter appears.
        mark = Clock::Now();
        return;
    }
    const long long waited = Clock::MillisecondsSince(mark);
    if (waited < sysVars.sysAutoWait)
        return;
    if (parser.m_ParserState == PARSE_FIN)
    {
        OutputDebugStringN(L"TEXT AUTO. PARSE CONT. TIME PASSED:%fms string:%s \n", static_cast<double>(waited),
                           area != nullptr ? area->shownText().c_str() : L"");
        parser.m_ParserState = PARSE_CONT;
    }
    mark = Clock::Now();
}

/// Skip reading: reads on at once whenever the parser waits and no text is still flowing.
void ReadOnSkipping(const EntityPtr& area, Parser& parser)
{
    if ((area == nullptr || !area->isTextFlowing()) &&
        (parser.m_ParserState == PARSE_FIN || parser.m_ParserState == SYNC_EXEC))
        parser.m_ParserState = PARSE_CONT;
}

/// Where the script stands: a read-on that moves none of it made no progress.
struct ReadPosition
{
    const Parser* parser = nullptr;
    int line = 0;
    std::size_t depth = 0;
    bool operator==(const ReadPosition& other) const
    {
        return parser == other.parser && line == other.line && depth == other.depth;
    }
};

ReadPosition CurrentReadPosition()
{
    std::shared_ptr<Parser> parser = CurParser();
    if (parser == nullptr)
        return {};
    return {parser.get(), parser->readlineno, Services::pNParser->m_parserDeque.size()};
}

void ApplyTextreadMethod(SystemVariables& sysVars)
{
    const int method = sysVars.textReadMethod;
    if (method == 0)
        return;
    std::shared_ptr<Parser> parser = CurParser();
    if (method == 1 && parser != nullptr)
        ReadOnAutomatically(sysVars, NTextbox::Current(), *parser);
    else if (method == 2 && parser != nullptr)
        ReadOnSkipping(NTextbox::Current(), *parser);
    else if (method != 1 && method != 2)
        OutputDebugStringN(L"ERROR. (ApplyTextreadMethod) INVALID TEXT READ METHOD \n");
}

/// Skip reading goes on within one update while it moves the script and has read for less than this: the
/// reader sees the last line read, and every line still reaches the backlog and the log.
constexpr long long kSkipBudgetMs = 10;

/// Skip reading: the script may read on in this same update.
bool SkipOnInThisUpdate(Clock::time_point readStart, const ReadPosition& before)
{
    const SystemVariables* sysVars = Services::SysVars();
    if (sysVars == nullptr || sysVars->gameOver || sysVars->textReadMethod != 2 || sysVars->renderMode != 0 ||
        Clock::MillisecondsSince(readStart) >= kSkipBudgetMs || CurrentReadPosition() == before)
        return false;
    std::shared_ptr<Parser> parser = CurParser();
    return parser != nullptr && (parser->m_ParserState == PARSE_FIN || parser->m_ParserState == SYNC_EXEC);
}

/// Skip reading shows every text whole at once: the text just read need not wait for a frame to stand whole.
void StandSkippedTextWhole(const SystemVariables& sysVars)
{
    if (sysVars.textReadMethod != 2)
        return;
    if (std::shared_ptr<NTextbox> area = NTextbox::Current(); area != nullptr && area->isTextFlowing())
        area->ShowWholeText();
}
} // namespace

void Services::ReadOn()
{
    const Clock::time_point start = Clock::Now();
    ReadPosition before;
    do
    {
        before = CurrentReadPosition();
        if (SystemVariables* sysVars = Services::SysVars())
        {
            StandSkippedTextWhole(*sysVars);
            ApplyTextreadMethod(*sysVars);
        }
        AutoContScript_ifNeeded();
    } while (SkipOnInThisUpdate(start, before));
}

} // namespace zel
