#include "script/NParser.h"

#include "core/Assert.h"
#include "resources/Logger.h"
#include "script/Parser.h"

namespace zel
{

NParser::NParser()
{
    OutputDebugStringN(L"WARNING: NParser CONSTRUCTOR CALLED WITH NO ARGUMENTS \n");
}

NParser::NParser(std::shared_ptr<Parser> mainParser)
{
    Push(std::move(mainParser));
}

void NParser::Push(std::shared_ptr<Parser> parser)
{
    if (parser == nullptr)
        return;
    m_parserDeque.push_back(std::move(parser));
    m_parserDeque.back()->stackIndex = static_cast<int>(m_parserDeque.size()) - 1;
}

void NParser::ResetTo(std::shared_ptr<Parser> parser)
{
    m_parserDeque.clear();
    Push(std::move(parser));
}

void NParser::Pop()
{
    if (!m_parserDeque.empty())
        m_parserDeque.pop_back();
}

void NParser::KeepMain()
{
    if (m_parserDeque.size() >= 2)
        m_parserDeque.erase(m_parserDeque.begin() + 1, m_parserDeque.end());
}

void NParser::FinishPushed()
{
    for (std::size_t i = 1; i < m_parserDeque.size(); ++i)
        m_parserDeque[i]->m_ParserState = PARSE_SCRIPT_FIN;
}

int NParser::IndexOfScript(const std::wstring& name) const
{
    for (std::size_t i = 0; i < m_parserDeque.size(); ++i)
        if (m_parserDeque[i]->scriptName == name)
            return static_cast<int>(i);
    return -1;
}

std::shared_ptr<Parser> NParser::Current() const
{
    if (!QH_ASSERT(!m_parserDeque.empty(), L"m_parserDeque.empty( ) == false", L"Services", 96))
        return nullptr;
    return m_parserDeque.back();
}

std::shared_ptr<Parser> NParser::Main() const
{
    if (!QH_ASSERT(!m_parserDeque.empty(), L"m_parserDeque.empty() == false", L"Services", 102))
        return nullptr;
    return m_parserDeque.front();
}

} // namespace zel
