#include "resources/Logger.h"

#include "core/Services.h"
#include "platform/Platform.h"
#include "resources/NHelper.h"

#include <chrono>
#include <cstdarg>
#include <ctime>
#include <cwchar>
#include <mutex>
#include <pthread.h>
#include <stdexcept>

namespace zel
{
namespace
{
constexpr std::size_t kFormatBufferSize = 1024;
constexpr std::size_t kBatchSize = 256;
constexpr auto kIdleWait = std::chrono::milliseconds(50);

/// Set once the process-wide logger has been destroyed; late messages then reach the debugger output only.
std::atomic<bool> g_loggerGone{false};

std::string LocalTimeStamp()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%d-%m-%Y %H:%M:%S", &local);
    return text;
}

bool IsFlag(wchar_t c)
{
    return c == L'-' || c == L'+' || c == L' ' || c == L'#' || c == L'0' || c == L'\'';
}
bool IsDigitOrStar(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || c == L'*';
}
bool IsLength(wchar_t c)
{
    return c == L'h' || c == L'l' || c == L'L' || c == L'q' || c == L'j' || c == L'z' || c == L't';
}

/// Formats into the thread's 1024-character buffer; returns false when the message did not fit or was malformed.
bool FormatMessage(const wchar_t* format, va_list args, std::wstring& out)
{
    thread_local wchar_t buffer[kFormatBufferSize]; // trivially destructible: usable while the process exits
    const std::wstring widened = NHelper::WidenFormat(format);
    buffer[0] = L'\0';
    int written = std::vswprintf(buffer, kFormatBufferSize, widened.c_str(), args);
    buffer[kFormatBufferSize - 1] = L'\0';
    out.assign(buffer);
    return written >= 0;
}

} // namespace

void DebuggerOutput(const std::wstring& text)
{
    platform::DebuggerOutput(text);
}

void OutputDebugStringVerbatim(const std::wstring& text)
{
    if (g_loggerGone.load())
    {
        DebuggerOutput(text);
        return;
    }
    NHelper::concurrentLogger::Instance().Push(text);
}

void OutputDebugStringN(const wchar_t* format, ...)
{
    if (format == nullptr)
        return;
    try
    {
        if (g_loggerGone.load())
        {
            DebuggerOutput(format);
            return;
        }
        auto& logger = NHelper::concurrentLogger::Instance();
        const SystemVariables* sysVars = Services::SysVars();
        if (sysVars == nullptr)
        {
            logger.Push(format);
            return;
        }
        if (!sysVars->loggingEnabled)
            return;
        std::wstring message;
        va_list args;
        va_start(args, format);
        bool fits = FormatMessage(format, args, message);
        va_end(args);
        if (!fits)
            DebuggerOutput(L"[OutputDebugStringN] vsprintf_s error(possibly insufficient buffer size)");
        logger.Push(std::move(message));
    }
    catch (const std::exception& e)
    {
        DebuggerOutput(L"[OutputDebugStringN] Something went wrong\n");
        OutputDebugStringN(L"[Caught Exception] %s", NHelper::s2ws(e.what()).c_str());
    }
    catch (...)
    {
        DebuggerOutput(L"[OutputDebugStringN] Something went wrong\n");
    }
}

namespace NHelper
{

std::wstring WidenFormat(const wchar_t* format)
{
    std::wstring out;
    out.reserve(std::wcslen(format) + 8);
    const wchar_t* p = format;
    for (const wchar_t* percent = std::wcschr(p, L'%'); percent != nullptr; percent = std::wcschr(p, L'%'))
    {
        out.append(p, percent + 1); // plain text is copied in one piece; only conversions are looked at
        p = percent + 1;
        if (*p == L'%')
        {
            out.push_back(*p++);
            continue;
        }
        const wchar_t* conversion = p;
        while (IsFlag(*p))
            ++p;
        while (IsDigitOrStar(*p))
            ++p;
        if (*p == L'.')
            for (++p; IsDigitOrStar(*p); ++p)
            {
            }
        const wchar_t* length = p;
        while (IsLength(*p))
            ++p;
        out.append(conversion, p);
        if (p == length && (*p == L's' || *p == L'c'))
            out.push_back(L'l');
    }
    out.append(p);
    return out;
}

concurrentLogger::concurrentLogger(const std::string& path) : m_path(path)
{
    m_file.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
    if (m_file.is_open())
    {
        m_file << "LOG START TIME (d-m-y): " << LocalTimeStamp() << "\n\n";
        m_file.flush();
    }
    m_worker = std::thread([this] { Work(); });
}

concurrentLogger::~concurrentLogger()
{
    m_done.store(true);
    m_queue.enqueue([] {}); // wake the worker so it sees the flag at once
    if (m_worker.joinable())
        m_worker.join();
    DrainBatch(false); // anything pushed while the worker was stopping
    m_file.close();
}

namespace
{
/// The process-wide logger. A forked child has no worker thread, so it leaves its copy of the parent's logger
/// untouched and starts its own on first use.
std::atomic<concurrentLogger*> g_instance{nullptr};
std::mutex g_instanceMutex;

void ForgetLoggerInChild()
{
    g_instance.store(nullptr);
}

/// Destroyed with the other statics at exit or when the library is unloaded; the logger writes what is left.
struct LoggerOwner
{
    ~LoggerOwner()
    {
        std::lock_guard<std::mutex> lock(g_instanceMutex);
        g_loggerGone.store(true);
        delete g_instance.exchange(nullptr);
    }
} g_loggerOwner;
} // namespace

concurrentLogger& concurrentLogger::Instance()
{
    if (concurrentLogger* existing = g_instance.load())
        return *existing;
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    if (g_instance.load() == nullptr)
    {
        static const bool atForkRegistered = pthread_atfork(nullptr, nullptr, ForgetLoggerInChild) == 0;
        (void)atForkRegistered;
        g_instance.store(new concurrentLogger());
    }
    return *g_instance.load();
}

void concurrentLogger::Push(std::wstring message)
{
    m_queue.enqueue([this, text = std::move(message)] { WriteMessage(text); });
    m_pushed.fetch_add(1);
}

void concurrentLogger::Flush()
{
    const std::uint64_t target = m_pushed.load();
    while (m_written.load() < target && !m_done.load())
        std::this_thread::sleep_for(std::chrono::microseconds(200));
}

void concurrentLogger::Work()
{
    while (!m_done.load())
        DrainBatch(true);
}

void concurrentLogger::DrainBatch(bool wait)
{
    Task tasks[kBatchSize];
    std::size_t count = wait ? m_queue.wait_dequeue_bulk_timed(tasks, kBatchSize, kIdleWait)
                             : m_queue.try_dequeue_bulk(tasks, kBatchSize);
    std::uint64_t done = 0;
    while (count > 0)
    {
        for (std::size_t i = 0; i < count; ++i)
            tasks[i]();
        done += count;
        count = m_queue.try_dequeue_bulk(tasks, kBatchSize);
    }
    if (done == 0)
        return;
    if (m_file.is_open())
        m_file.flush();
    m_written.fetch_add(done);
}

void concurrentLogger::WriteMessage(const std::wstring& message)
{
    DebuggerOutput(message);
    if (!m_file.is_open())
    {
        DebuggerOutput(L"\nERROR. (NHelper::concurrentLogger) DEBUG FILE NOT OPEN \n");
        return;
    }
    m_file << ws2s(message);
}

} // namespace NHelper
} // namespace zel
