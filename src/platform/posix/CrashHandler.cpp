// The crash reporter: on a fatal signal it writes crash-report-<pid>.txt with the signal, a backtrace, the end of
// the log file and the last messages logged (kept in memory, as the log worker may not have written them yet), says
// where it went on standard error, then lets the signal kill the process as it would have.
// The handler runs in a broken process, so it uses async-signal-safe calls only: no allocation, no stdio, no
// std::string. Everything it can know in advance is prepared at install time in static buffers.

#include "platform/Platform.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

namespace zel
{
namespace platform
{
namespace
{
constexpr std::size_t kPathCapacity = 4096;
constexpr std::size_t kNameCapacity = 512;
constexpr int kMaxFrames = 64;
constexpr int kTailLines = 40;
/// How much of the end of the log is read to find the last lines; longer lines are cut.
constexpr std::size_t kTailWindow = 16 * 1024;
/// Room for the handler after a stack overflow, with margin for sanitizer-instrumented frames.
constexpr std::size_t kAltStackSize = 128 * 1024;
constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

/// The last messages logged, newest last, for the report: the log worker writes the file in batches, and a crash
/// would lose the batch it had not written yet. Filled by every logging thread without a lock; each slot carries a
/// sequence number, odd while its text is being written, so that the handler skips a slot caught half written.
constexpr std::uint64_t kRecentMessages = 64;
constexpr std::size_t kMessageCapacity = 512;
struct RecentMessage
{
    std::atomic<std::uint64_t> sequence{0};
    wchar_t text[kMessageCapacity];
};
RecentMessage g_recent[kRecentMessages];
std::atomic<std::uint64_t> g_recentCount{0};
wchar_t g_messageCopy[kMessageCapacity];
char g_messageUtf8[kMessageCapacity * 4];

std::atomic<bool> g_installed{false};
/// Set while a report is written: a fault inside the handler, or in another thread meanwhile, just kills.
volatile std::sig_atomic_t g_reporting = 0;

char g_appName[kNameCapacity];
char g_reportPrefix[kPathCapacity]; // "<folder at install time>/crash-report-"
char g_logPath[kPathCapacity];
char g_tail[kTailWindow];
alignas(16) char g_altStack[kAltStackSize];

// --- Async-signal-safe helpers ---------------------------------------------------------------------------------

std::size_t TextLength(const char* text)
{
    std::size_t length = 0;
    while (text[length] != '\0')
        ++length;
    return length;
}

void WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0)
    {
        ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void WriteText(int fd, const char* text)
{
    WriteAll(fd, text, TextLength(text));
}

/// Writes value in base 10 or 16 (hex gets a 0x prefix); snprintf is not safe here.
void WriteNumber(int fd, std::uintptr_t value, unsigned base)
{
    char digits[2 + 2 * sizeof value + 1];
    char* cursor = digits + sizeof digits;
    do
    {
        *--cursor = "0123456789abcdef"[value % base];
        value /= base;
    } while (value != 0);
    if (base == 16)
    {
        *--cursor = 'x';
        *--cursor = '0';
    }
    WriteAll(fd, cursor, static_cast<std::size_t>(digits + sizeof digits - cursor));
}

/// Appends text to a NUL-terminated buffer, cutting it to fit.
void Append(char* buffer, std::size_t capacity, const char* text)
{
    std::size_t length = TextLength(buffer);
    while (*text != '\0' && length + 1 < capacity)
        buffer[length++] = *text++;
    buffer[length] = '\0';
}

void AppendNumber(char* buffer, std::size_t capacity, unsigned long value)
{
    char digits[24];
    char* cursor = digits + sizeof digits;
    *--cursor = '\0';
    do
    {
        *--cursor = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    Append(buffer, capacity, cursor);
}

ssize_t ReadAll(int fd, char* buffer, std::size_t size)
{
    std::size_t total = 0;
    while (total < size)
    {
        ssize_t got = read(fd, buffer + total, size - total);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        total += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(total);
}

// --- The report ---------------------------------------------------------------------------------------------------

const char* SignalName(int sig)
{
    switch (sig)
    {
    case SIGSEGV:
        return "SIGSEGV (invalid memory access)";
    case SIGBUS:
        return "SIGBUS (bus error)";
    case SIGFPE:
        return "SIGFPE (arithmetic error)";
    case SIGILL:
        return "SIGILL (illegal instruction)";
    case SIGABRT:
        return "SIGABRT (aborted)";
    default:
        return "unexpected signal";
    }
}

/// Only a fault raised by the processor carries an address; a signal sent by raise or kill does not.
bool HasFaultAddress(int sig, const siginfo_t* info)
{
    return info != nullptr && info->si_code > 0 && sig != SIGABRT;
}

/// Offset of the first of the last kTailLines lines of text. When the window was cut from a longer log, its
/// first, partial line is skipped unless it is all there is.
std::size_t TailStart(const char* text, std::size_t length, bool cutAtFront)
{
    std::size_t end = text[length - 1] == '\n' ? length - 1 : length; // the final newline ends the last line
    int newlines = 0;
    for (std::size_t i = end; i > 0; --i)
    {
        if (text[i - 1] == '\n' && ++newlines == kTailLines)
            return i;
    }
    if (!cutAtFront)
        return 0;
    for (std::size_t i = 0; i < end; ++i)
    {
        if (text[i] == '\n')
            return i + 1;
    }
    return 0;
}

void WriteLogTail(int fd)
{
    int log = open(g_logPath, O_RDONLY | O_CLOEXEC);
    if (log < 0)
    {
        WriteText(fd, "(the log could not be opened)\n");
        return;
    }
    off_t size = lseek(log, 0, SEEK_END);
    off_t start = size > static_cast<off_t>(kTailWindow) ? size - static_cast<off_t>(kTailWindow) : 0;
    ssize_t length = -1;
    if (size > 0 && lseek(log, start, SEEK_SET) == start)
        length = ReadAll(log, g_tail, static_cast<std::size_t>(size - start));
    close(log);
    if (length <= 0)
        return;

    std::size_t count = static_cast<std::size_t>(length);
    std::size_t from = TailStart(g_tail, count, start > 0);
    WriteAll(fd, g_tail + from, count - from);
    if (g_tail[count - 1] != '\n')
        WriteText(fd, "\n");
}

/// text as UTF-8 in g_messageUtf8 (the logger's converter allocates); returns its length. A value that is no code
/// point becomes U+FFFD.
std::size_t ToUtf8(const wchar_t* text)
{
    static const unsigned char kLead[] = {0x00, 0xC0, 0xE0, 0xF0};
    std::size_t length = 0;
    for (; *text != L'\0'; ++text)
    {
        auto c = static_cast<std::uint32_t>(*text);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        const int extra = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        g_messageUtf8[length++] = static_cast<char>(kLead[extra] | (c >> (6 * extra)));
        for (int i = extra - 1; i >= 0; --i)
            g_messageUtf8[length++] = static_cast<char>(0x80 | ((c >> (6 * i)) & 0x3F));
    }
    return length;
}

void WriteRecentMessages(int fd)
{
    const std::uint64_t end = g_recentCount.load(std::memory_order_acquire);
    const std::uint64_t begin = end > kRecentMessages ? end - kRecentMessages : 0;
    bool endsLine = true;
    for (std::uint64_t index = begin; index < end; ++index)
    {
        const RecentMessage& slot = g_recent[index % kRecentMessages];
        const std::uint64_t complete = 2 * index + 2;
        if (slot.sequence.load(std::memory_order_acquire) != complete)
            continue; // still being written, or already overwritten by a newer message
        for (std::size_t i = 0; i < kMessageCapacity; ++i)
            g_messageCopy[i] = slot.text[i];
        std::atomic_thread_fence(std::memory_order_acquire);
        if (slot.sequence.load(std::memory_order_relaxed) != complete)
            continue;
        g_messageCopy[kMessageCapacity - 1] = L'\0';
        const std::size_t length = ToUtf8(g_messageCopy);
        WriteAll(fd, g_messageUtf8, length);
        if (length > 0)
            endsLine = g_messageUtf8[length - 1] == '\n';
    }
    if (!endsLine)
        WriteText(fd, "\n");
}

void WriteReport(int fd, int sig, const siginfo_t* info)
{
    WriteText(fd, g_appName);
    WriteText(fd, "\n\nSignal: ");
    WriteNumber(fd, static_cast<std::uintptr_t>(sig), 10);
    WriteText(fd, " ");
    WriteText(fd, SignalName(sig));
    WriteText(fd, "\n");
    if (HasFaultAddress(sig, info))
    {
        WriteText(fd, "Address: ");
        WriteNumber(fd, reinterpret_cast<std::uintptr_t>(info->si_addr), 16);
        WriteText(fd, "\n");
    }

    WriteText(fd, "\nBacktrace:\n");
    void* frames[kMaxFrames];
    int depth = backtrace(frames, kMaxFrames);
    backtrace_symbols_fd(frames, depth, fd);

    WriteText(fd, "\nLog: ");
    WriteText(fd, g_logPath);
    WriteText(fd, "\nLast lines of the log:\n");
    WriteLogTail(fd);
    WriteText(fd, "\nLast messages logged, newest last (the log file may not hold them all yet):\n");
    WriteRecentMessages(fd);
}

/// Lets the signal take its default course now rather than after the handler returns.
void DieBySignal(int sig)
{
    signal(sig, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, sig);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(sig);
}

void OnFatalSignal(int sig, siginfo_t* info, void*)
{
    if (g_reporting != 0)
    {
        DieBySignal(sig);
        return;
    }
    g_reporting = 1;

    char path[kPathCapacity + 32] = "";
    Append(path, sizeof path, g_reportPrefix);
    AppendNumber(path, sizeof path, static_cast<unsigned long>(getpid()));
    Append(path, sizeof path, ".txt");

    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0)
    {
        WriteReport(fd, sig, info);
        close(fd);
        WriteText(STDERR_FILENO, g_appName);
        WriteText(STDERR_FILENO, ": crash report written to ");
        WriteText(STDERR_FILENO, path);
        WriteText(STDERR_FILENO, "\n");
    }
    DieBySignal(sig);
}

// --- Installation ------------------------------------------------------------------------------------------------

template <std::size_t N> void CopyInto(char (&buffer)[N], const std::string& text)
{
    buffer[0] = '\0';
    Append(buffer, N, text.c_str());
}

/// The report goes where the novel runs from; without a usable folder it falls back to a relative name.
void PrepareReportPrefix()
{
    const std::string name = "crash-report-";
    char folder[kPathCapacity];
    if (getcwd(folder, sizeof folder) != nullptr && TextLength(folder) + 1 + name.size() < kPathCapacity)
        CopyInto(g_reportPrefix, std::string(folder) + "/" + name);
    else
        CopyInto(g_reportPrefix, name);
}

/// Gives this thread a separate stack for the handler, so that a stack overflow can still be reported.
void InstallAltStack()
{
    stack_t stack{};
    stack.ss_sp = g_altStack;
    stack.ss_size = sizeof g_altStack;
    stack.ss_flags = 0;
    sigaltstack(&stack, nullptr);
}

/// The first backtrace loads the unwinder, which allocates; do it now rather than inside the handler.
void PreloadUnwinder()
{
    void* frame = nullptr;
    backtrace(&frame, 1);
}

} // namespace

void RememberLogMessage(const wchar_t* text, std::size_t length)
{
    const std::uint64_t index = g_recentCount.fetch_add(1, std::memory_order_relaxed);
    RecentMessage& slot = g_recent[index % kRecentMessages];
    slot.sequence.store(2 * index + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    const std::size_t kept = length < kMessageCapacity - 1 ? length : kMessageCapacity - 1;
    for (std::size_t i = 0; i < kept; ++i)
        slot.text[i] = text[i];
    slot.text[kept] = L'\0';
    slot.sequence.store(2 * index + 2, std::memory_order_release);
}

bool InstallCrashHandler(const std::string& appName, const std::string& logPath)
{
    if (g_installed.exchange(true))
        return false;

    CopyInto(g_appName, appName);
    CopyInto(g_logPath, logPath);
    PrepareReportPrefix();
    InstallAltStack();
    PreloadUnwinder();

    struct sigaction action
    {
    };
    action.sa_sigaction = OnFatalSignal;
    action.sa_flags = SA_ONSTACK | SA_RESETHAND | SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    for (int sig : kFatalSignals)
        sigaction(sig, &action, nullptr);
    return true;
}

} // namespace platform
} // namespace zel
