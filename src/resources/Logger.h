#pragma once
// The engine's log: every message goes through OutputDebugStringN, is queued on the calling thread and written to
// the debugger output and to debug.txt by one background worker, so the engine's thread never waits for the disk.

#include <atomic>
#include <concurrentqueue/blockingconcurrentqueue.h>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

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

/// Owns debug.txt and the worker thread that writes queued messages to it in batches.
class concurrentLogger
{
public:
    using Task = std::function<void()>;

    explicit concurrentLogger(const std::string& path = "debug.txt");
    ~concurrentLogger();
    concurrentLogger(const concurrentLogger&) = delete;
    concurrentLogger& operator=(const concurrentLogger&) = delete;

    /// The process-wide logger, created on first use and flushed completely at exit or unload.
    static concurrentLogger& Instance();

    /// Queues one message; the worker writes it to the debugger output and to the file.
    void Push(std::wstring message);
    /// Blocks until every message pushed before the call has been written and flushed.
    void Flush();
    /// Path of the log file, as opened.
    const std::string& Path() const { return m_path; }

private:
    void Work();
    void WriteMessage(const std::wstring& message);
    void DrainBatch(bool wait);

    std::string m_path;
    std::ofstream m_file;
    moodycamel::BlockingConcurrentQueue<Task> m_queue;
    std::atomic<bool> m_done{false};
    std::atomic<std::uint64_t> m_pushed{0};
    std::atomic<std::uint64_t> m_written{0};
    std::thread m_worker;
};

/// Rewrites a format written with the engine's conventions ("%s" and "%c" are wide) into the spelling that the C
/// library's wide printf understands ("%ls", "%lc"). Conversions that already carry a length are left alone.
std::wstring WidenFormat(const wchar_t* format);

} // namespace NHelper
} // namespace zel
