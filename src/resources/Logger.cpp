#include "resources/Logger.h"

#include "core/Services.h"
#include "platform/Platform.h"
#include "resources/NHelper.h"
#include "script/NParser.h"
#include "script/Parser.h"

#include <charconv>
#include <string_view>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cwchar>
#include <mutex>
#include <pthread.h>
#include <stdexcept>
#include <utility>

namespace zel
{
namespace
{
constexpr std::size_t kFormatBufferSize = 1024;
/// Messages that wake the worker at once; fewer wait for the batch window to end.
constexpr std::size_t kBatchSize = 4096;
/// How long the worker lets a burst of messages gather before it writes them: short enough that a crash report,
/// which reads the end of the file, misses at most the last few milliseconds.
constexpr auto kBatchWindow = std::chrono::milliseconds(2);

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

/// A fixed buffer that a format is rewritten into, so that formatting a message allocates nothing.
struct FixedText
{
    wchar_t* data;
    std::size_t capacity;
    std::size_t size = 0;
    bool overflow = false;

    void append(const wchar_t* first, const wchar_t* last)
    {
        const std::size_t room = capacity - 1 - size; // one place stays for the terminating zero
        std::size_t count = static_cast<std::size_t>(last - first);
        if (count > room)
            count = room, overflow = true;
        std::wmemcpy(data + size, first, count);
        size += count;
    }
    void push_back(wchar_t c)
    {
        if (size + 1 < capacity)
            data[size++] = c;
        else
            overflow = true;
    }
};

/// The engine's spelling of a format rewritten into the C library's (see WidenFormat), appended to out.
template <typename Out> void WidenInto(const wchar_t* format, Out& out)
{
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
    out.append(p, p + std::wcslen(p));
}

void AppendNarrow(FixedText& out, const char* text, int length)
{
    for (int i = 0; i < length; ++i)
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(text[i])));
}

/// How FormatPlain went: the whole message written, the message cut at the buffer's end, or a conversion met that
/// is not its to write.
enum class Plain
{
    Whole,
    Cut,
    NotPlain
};

/// The engine's usual messages convert nothing but "%s", "%d", "%i", "%f" and "%%", without flags, width or
/// precision: FormatPlain writes those into out as the wide printf would, at a fraction of its cost, and stops at
/// any other conversion.
Plain FormatPlain(const wchar_t* format, va_list args, FixedText& out)
{
    for (const wchar_t* p = format; *p != L'\0'; ++p)
    {
        const wchar_t* percent = std::wcschr(p, L'%');
        if (percent == nullptr)
        {
            out.append(p, p + std::wcslen(p));
            break;
        }
        out.append(p, percent); // plain text is copied in one piece
        p = percent + 1;
        char number[512]; // room for any double in %f
        switch (*p)
        {
        case L's':
        {
            const wchar_t* text = va_arg(args, const wchar_t*);
            if (text == nullptr)
                text = L"(null)";
            out.append(text, text + std::wcslen(text));
            break;
        }
        case L'd':
        case L'i':
        {
            const std::to_chars_result written = std::to_chars(number, number + sizeof number, va_arg(args, int));
            AppendNarrow(out, number, static_cast<int>(written.ptr - number));
            break;
        }
        case L'f':
            AppendNarrow(out, number, std::snprintf(number, sizeof number, "%f", va_arg(args, double)));
            break;
        case L'%':
            out.push_back(L'%');
            break;
        default:
            return Plain::NotPlain;
        }
    }
    out.data[out.size] = L'\0';
    return out.overflow ? Plain::Cut : Plain::Whole;
}

/// Formats into the thread's 1024-character buffer: the message and its length; false when the message did not
/// fit or was malformed.
bool FormatMessage(const wchar_t* format, va_list args, const wchar_t*& out, std::size_t& length)
{
    // Trivially destructible: usable while the process exits.
    thread_local wchar_t buffer[kFormatBufferSize];
    out = buffer;
    FixedText plain{buffer, kFormatBufferSize};
    va_list plainArgs;
    va_copy(plainArgs, args);
    const Plain result = FormatPlain(format, plainArgs, plain);
    va_end(plainArgs);
    if (result != Plain::NotPlain)
    {
        length = plain.size;
        return result == Plain::Whole;
    }
    thread_local wchar_t widenedBuffer[kFormatBufferSize];
    FixedText widened{widenedBuffer, kFormatBufferSize};
    WidenInto(format, widened);
    widenedBuffer[widened.size] = L'\0';
    const std::wstring longFormat = widened.overflow ? NHelper::WidenFormat(format) : std::wstring();
    buffer[0] = L'\0';
    int written =
        std::vswprintf(buffer, kFormatBufferSize, widened.overflow ? longFormat.c_str() : widenedBuffer, args);
    buffer[kFormatBufferSize - 1] = L'\0';
    length = std::wcslen(buffer);
    return written >= 0;
}

} // namespace

std::wstring ScriptPlace()
{
    const std::shared_ptr<Parser> parser = Services::pNParser != nullptr ? Services::pNParser->Current() : nullptr;
    if (parser == nullptr)
        return L"script:- line:0";
    // While a line runs, readlineno names it; the reading loop counts it on only afterwards.
    return L"script:" + parser->scriptName + L" line:" + std::to_wstring(parser->readlineno);
}

bool RefusedName(const std::wstring& name, const wchar_t* who)
{
    if (!NHelper::ClimbsOut(name))
        return false;
    OutputDebugStringN(L"\nERROR. (%s) file name leaves its data folder. refused:%s %s \n", who, name.c_str(),
                       ScriptPlace().c_str());
    return true;
}

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
        const wchar_t* message = nullptr;
        std::size_t length = 0;
        va_list args;
        va_start(args, format);
        bool fits = FormatMessage(format, args, message, length);
        va_end(args);
        if (!fits)
            DebuggerOutput(L"[OutputDebugStringN] vsprintf_s error(possibly insufficient buffer size)");
        logger.Push(message, length);
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
    WidenInto(format, out);
    return out;
}

concurrentLogger::concurrentLogger(const std::string& path) : m_path(path)
{
    const char* problems = std::getenv("QUILLHAVEN_PROBLEMS_TO_STDERR");
    m_problemsToStderr = problems != nullptr && std::string(problems) == "1";
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
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_done = true;
    }
    m_wake.notify_one();
    if (m_worker.joinable())
        m_worker.join();
    WritePending(); // anything pushed while the worker was stopping
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

namespace
{
/// Distinct messages a repeat count remembers; a loop that logs ever new ones is written as it goes beyond them.
constexpr std::size_t kMaxCountedMessages = 4096;
} // namespace

bool concurrentLogger::BeginRepeatCount()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_counting)
        return false;
    m_counting = true;
    m_countingThread = std::this_thread::get_id();
    return true;
}

void concurrentLogger::EndRepeatCount()
{
    std::vector<std::wstring> counts;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_counting = false;
        for (const std::wstring& message : m_repeatOrder)
        {
            const int repeats = m_repeats[message];
            if (repeats == 0)
                continue;
            std::wstring shown = message;
            shown.erase(0, shown.find_first_not_of(L"\n"));
            shown.erase(shown.find_last_not_of(L" \n") + 1);
            counts.push_back(L"[Log] repeated " + std::to_wstring(repeats) + L" more times: " + shown + L"\n");
        }
        m_repeats.clear();
        m_repeatOrder.clear();
    }
    for (std::wstring& count : counts)
        Push(std::move(count));
}

void concurrentLogger::Push(const wchar_t* text, std::size_t length)
{
    platform::RememberLogMessage(text, length);
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_counting && std::this_thread::get_id() == m_countingThread)
        {
            std::wstring message(text, length);
            if (auto seen = m_repeats.find(message); seen != m_repeats.end())
            {
                ++seen->second;
                return;
            }
            if (m_repeats.size() < kMaxCountedMessages)
            {
                m_repeats.emplace(message, 0);
                m_repeatOrder.push_back(std::move(message));
            }
        }
        AppendUtf8(m_pending.text, std::wstring_view(text, length));
        m_pending.ends.push_back(m_pending.text.size());
        ++m_pushed;
        // The worker is woken only when it sleeps for want of messages, or when a batch is full: during a burst it
        // comes back by itself after each batch window, and the messages between only join the pending batch.
        wake = (m_workerWaiting && !std::exchange(m_wakeSent, true)) || m_pending.ends.size() == kBatchSize;
    }
    if (wake)
        m_wake.notify_one();
}

void concurrentLogger::Flush()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const std::uint64_t target = m_pushed;
    m_flushWanted = true;
    m_wake.notify_one();
    m_wrote.wait(lock, [this, target] { return m_written >= target || m_done; });
}

void concurrentLogger::Work()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_done)
    {
        if (m_pending.empty())
        {
            m_workerWaiting = true;
            m_wakeSent = false;
            m_wake.wait(lock, [this] { return m_done || !m_pending.empty(); });
            m_workerWaiting = false;
        }
        // Messages come in bursts: the rest of the burst joins the batch, unless it is full or a flush waits.
        m_wake.wait_for(lock, kBatchWindow,
                        [this] { return m_done || m_flushWanted || m_pending.ends.size() >= kBatchSize; });
        if (m_done)
            break; // the destructor writes what is left
        lock.unlock();
        WritePending();
        lock.lock();
    }
}

bool concurrentLogger::WritePending()
{
    std::lock_guard<std::mutex> writing(m_writeMutex);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_pending.empty())
            return false;
        m_batch.swap(m_pending); // the pending list goes on in the storage of the batch written last
        m_flushWanted = false;
    }
    WriteBatch(m_batch);
    const std::uint64_t count = m_batch.ends.size();
    m_batch.clear();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_written += count;
    }
    m_wrote.notify_all();
    return true;
}

void concurrentLogger::WriteBatch(const Messages& batch)
{
    std::size_t begin = 0;
    if (!m_file.is_open() || platform::DebuggerOutputWanted())
        for (const std::size_t end : batch.ends)
        {
            DebuggerOutput(s2ws(batch.text.substr(begin, end - begin)));
            if (!m_file.is_open())
                DebuggerOutput(L"\nERROR. (NHelper::concurrentLogger) DEBUG FILE NOT OPEN \n");
            begin = end;
        }
    if (!m_file.is_open())
        return;
    m_file.write(batch.text.data(), static_cast<std::streamsize>(batch.text.size()));
    m_file.flush();
    if (m_problemsToStderr)
        WriteProblems(batch);
}

void concurrentLogger::WriteProblems(const Messages& batch)
{
    std::string problems;
    std::size_t begin = 0;
    for (const std::size_t end : batch.ends)
    {
        const std::string_view message(batch.text.data() + begin, end - begin);
        begin = end;
        const std::size_t start = message.find_first_not_of("\n ");
        if (start == std::string_view::npos ||
            (message.compare(start, 6, "ERROR.") != 0 && message.compare(start, 8, "WARNING.") != 0))
            continue;
        const std::string_view line = message.substr(start, message.find_last_not_of(" \n") + 1 - start);
        problems.append(line).push_back('\n');
    }
    if (!problems.empty())
    {
        std::fwrite(problems.data(), 1, problems.size(), stderr);
        std::fflush(stderr);
    }
}

} // namespace NHelper
} // namespace zel
