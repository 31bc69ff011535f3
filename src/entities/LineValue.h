#pragma once
// A value with a history by script line, so that the editor can move back and forth in a script and every property
// reads as it stood at the line under the cursor.

#include <map>
#include <utility>

namespace zel
{
namespace lineContext
{
/// Read line of the main parser (0 before one exists).
int MainLine();
/// True while the editor edits (game mode 0), or before any state exists.
bool Editing();
/// The main line at which play-testing started.
int EditorLine();
/// Read line of the innermost running parser (0 before one exists).
int CurrentLine();
} // namespace lineContext

template <typename T> class LineValue
{
public:
    LineValue() = default;
    explicit LineValue(T defaultValue) : m_default(std::move(defaultValue)) {}

    /// Editing: stores under the main line. Playing: after the last entry when appending, else just after the
    /// line where play-testing started.
    void set(const T& value, bool append) { m_values.insert_or_assign(LineToSet(append), value); }
    void set(T&& value, bool append) { m_values.insert_or_assign(LineToSet(append), std::move(value)); }

    /// The newest value; while editing, pruning first forgets what lines after the main line stored.
    T& get(bool prune)
    {
        if (prune && lineContext::Editing())
            pruneAfter(lineContext::MainLine());
        return m_values.empty() ? m_default : m_values.rbegin()->second;
    }

    /// The newest entry (pruned first, as get), or null when there is none: for changing a recorded value in place.
    T* latest(bool prune)
    {
        if (prune && lineContext::Editing())
            pruneAfter(lineContext::MainLine());
        return m_values.empty() ? nullptr : &m_values.rbegin()->second;
    }

    /// Forgets every entry stored under a line greater than line.
    void pruneAfter(int line) { m_values.erase(m_values.upper_bound(line), m_values.end()); }
    /// Keeps only the entries stored before line.
    void keepBefore(int line) { m_values.erase(m_values.lower_bound(line), m_values.end()); }
    void clear() { m_values.clear(); }
    bool empty() const { return m_values.empty(); }
    const std::map<int, T>& entries() const { return m_values; }
    std::map<int, T>& entries() { return m_values; }
    const T& defaultValue() const { return m_default; }

private:
    int LineToSet(bool append) const
    {
        if (lineContext::Editing())
            return lineContext::MainLine();
        if (append && !m_values.empty())
            return m_values.rbegin()->first + 1;
        return lineContext::EditorLine() + 1;
    }

    std::map<int, T> m_values;
    T m_default{};
};

} // namespace zel
