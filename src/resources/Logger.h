#pragma once
// The engine's log: every message goes through OutputDebugStringN, is queued on the calling thread and written to
// the debugger output and to debug.txt by one background worker, so the engine's thread never waits for the disk.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zel
{

/// printf-style logging with wide arguments; "%s" takes a wide string, as everywhere in the engine.
void OutputDebugStringN(const wchar_t* format, ...);
/// Queues a text as it stands, without format expansion (the host's own log lines).
void OutputDebugStringVerbatim(const std::wstring& text);
/// Writes straight to the debugger output, bypassing debug.txt (very early and very late messages).
void DebuggerOutput(const std::wstring& text);

namespace NHelper
{

/// Owns debug.txt and the worker thread that writes queued messages to it in batches. The calling thread only
/// appends the formatted message to the pending text (one buffer for all messages, so that logging allocates
/// nothing once the buffers have grown); the worker is woken once for a batch, not for every message, and converts
/// and writes the whole batch in one go.
class concurrentLogger
{
public:
    explicit concurrentLogger(const std::string& path = "debug.txt");
    ~concurrentLogger();
    concurrentLogger(const concurrentLogger&) = delete;
    concurrentLogger& operator=(const concurrentLogger&) = delete;

    /// The process-wide logger, created on first use and flushed completely at exit or unload.
    static concurrentLogger& Instance();

    /// Queues one message; the worker writes it to the debugger output and to the file.
    void Push(const std::wstring& message) { Push(message.data(), message.size()); }
    void Push(const wchar_t* text, std::size_t length);
    /// Blocks until every message pushed before the call has been written and flushed.
    void Flush();
    /// Path of the log file, as opened.
    const std::string& Path() const { return m_path; }

private:
    void Work();
    /// Messages one after another in one text, and where each ends.
    struct Messages
    {
        std::wstring text;
        std::vector<std::size_t> ends;
        bool empty() const { return ends.empty(); }
        void clear() { text.clear(), ends.clear(); }
        void swap(Messages& other) { text.swap(other.text), ends.swap(other.ends); }
    };
    /// Writes the messages to the debugger output and, converted to UTF-8 in one buffer, to the file.
    void WriteBatch(const Messages& batch);
    /// Takes the pending messages and writes them; false when there were none.
    bool WritePending();

    std::string m_path;
    std::ofstream m_file;
    std::mutex m_mutex; ///< guards everything below up to m_worker
    std::condition_variable m_wake;
    std::condition_variable m_wrote;
    Messages m_pending;
    bool m_done = false;
    bool m_flushWanted = false;
    std::uint64_t m_pushed = 0;
    std::uint64_t m_written = 0;
    std::mutex m_writeMutex; ///< one batch at a time reaches the file
    std::string m_narrow;    ///< the batch as UTF-8, kept to reuse its storage
    Messages m_batch;
    std::thread m_worker;
};

/// Rewrites a format written with the engine's conventions ("%s" and "%c" are wide) into the spelling that the C
/// library's wide printf understands ("%ls", "%lc"). Conversions that already carry a length are left alone.
std::wstring WidenFormat(const wchar_t* format);

} // namespace NHelper
} // namespace zel
