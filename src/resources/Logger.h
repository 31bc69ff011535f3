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
#include <unordered_map>
#include <vector>

namespace zel
{

/// printf-style logging with wide arguments; "%s" takes a wide string, as everywhere in the engine.
void OutputDebugStringN(const wchar_t* format, ...);
/// Queues a text as it stands, without format expansion (the host's own log lines).
void OutputDebugStringVerbatim(const std::wstring& text);
/// "script:NAME line:N" of the line being read, for the messages about what an author wrote; "script:- line:0"
/// outside any script.
std::wstring ScriptPlace();
/// True (one ERROR naming the script line, for who) when a file name a script gave climbs out of its data folder.
bool RefusedName(const std::wstring& name, const wchar_t* who);
/// Writes straight to the debugger output, bypassing debug.txt (very early and very late messages).
void DebuggerOutput(const std::wstring& text);

namespace NHelper
{

/// Owns debug.txt and the worker thread that writes queued messages to it in batches. The calling thread only
/// appends the formatted message, as UTF-8, to the pending text (one buffer for all messages, so that logging
/// allocates nothing once the buffers have grown; a quarter of the bytes of wide text, which the worker's core must
/// fetch again); the worker is woken once for a batch, not for every message, and writes the whole batch in one go.
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

    /// From here on, a message that the calling thread logs a second time is counted instead of written: a script
    /// loop would otherwise write the same few lines until the disk is full. False (and nothing changes) when a
    /// count is already running; the caller that got true ends it.
    bool BeginRepeatCount();
    /// Writes each counted message's count once and writes every message again.
    void EndRepeatCount();

private:
    void Work();
    /// Messages one after another in one UTF-8 text, and where each ends.
    struct Messages
    {
        std::string text;
        std::vector<std::size_t> ends;
        bool empty() const { return ends.empty(); }
        void clear() { text.clear(), ends.clear(); }
        void swap(Messages& other) { text.swap(other.text), ends.swap(other.ends); }
    };
    /// Writes the messages to the debugger output and to the file.
    void WriteBatch(const Messages& batch);
    /// The batch's ERROR and WARNING lines, to standard error.
    void WriteProblems(const Messages& batch);
    /// Takes the pending messages and writes them; false when there were none.
    bool WritePending();

    std::string m_path;
    std::ofstream m_file;
    /// QUILLHAVEN_PROBLEMS_TO_STDERR=1 (set by the quillhaven program): ERROR and WARNING lines go to standard error
    /// as well.
    bool m_problemsToStderr = false;
    std::mutex m_mutex; ///< guards everything below up to m_worker
    std::condition_variable m_wake;
    std::condition_variable m_wrote;
    Messages m_pending;
    bool m_done = false;
    bool m_flushWanted = false;
    bool m_workerWaiting = false; ///< the worker sleeps until a message comes; during a burst it wakes by itself
    bool m_wakeSent = false;      ///< the sleeping worker has been woken already
    std::uint64_t m_pushed = 0;
    std::uint64_t m_written = 0;
    bool m_counting = false;
    std::thread::id m_countingThread;
    std::unordered_map<std::wstring, int> m_repeats; ///< messages seen while counting, with their repeats
    std::vector<std::wstring> m_repeatOrder;         ///< those messages in the order first seen
    std::mutex m_writeMutex;                         ///< one batch at a time reaches the file
    Messages m_batch;
    std::thread m_worker;
};

/// Rewrites a format written with the engine's conventions ("%s" and "%c" are wide) into the spelling that the C
/// library's wide printf understands ("%ls", "%lc"). Conversions that already carry a length are left alone.
std::wstring WidenFormat(const wchar_t* format);

} // namespace NHelper
} // namespace zel
