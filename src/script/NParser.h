#pragma once
// The parser stack: the main parser of the host's script first, then the scripts pushed by script calls.

#include <deque>
#include <memory>
#include <string>

namespace zel
{

class Parser;

class NParser
{
public:
    NParser();
    explicit NParser(std::shared_ptr<Parser> mainParser);

    void Push(std::shared_ptr<Parser> parser);
    /// Empties the stack and makes parser its only element.
    void ResetTo(std::shared_ptr<Parser> parser);
    void Pop();
    /// Drops every pushed parser, keeping the main one.
    void KeepMain();
    /// Marks every pushed parser as finished.
    void FinishPushed();
    int IndexOfScript(const std::wstring& name) const;
    bool ContainsScript(const std::wstring& name) const { return IndexOfScript(name) != -1; }
    /// The running (top) parser; empty when the stack is empty.
    std::shared_ptr<Parser> Current() const;
    /// The main parser; empty when the stack is empty.
    std::shared_ptr<Parser> Main() const;

    std::deque<std::shared_ptr<Parser>> m_parserDeque;
};

} // namespace zel
