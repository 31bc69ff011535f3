// Message boxes, the debugger output and the base folder, on a system without a desktop dialog service.

#include "platform/Platform.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <unistd.h>

namespace zel
{
namespace platform
{

void ShowMessageBox(const std::wstring& text, const std::wstring& caption)
{
    OutputDebugStringVerbatim(L"[MessageBox] caption:\"" + caption + L"\" text:\"" + text + L"\"\n");
    std::fprintf(stderr, "%s: %s\n", NHelper::ws2s(caption).c_str(), NHelper::ws2s(text).c_str());
}

bool DebuggerOutputWanted()
{
    return std::getenv("QUILLHAVEN_DEBUG_OUTPUT") != nullptr; // read each time: nobody may be listening yet
}

void DebuggerOutput(const std::wstring& text)
{
    if (!DebuggerOutputWanted())
        return;
    static std::mutex mutex; // the log worker and the host thread may both write
    std::lock_guard<std::mutex> lock(mutex);
    std::fputs(NHelper::ws2s(text).c_str(), stderr);
}

std::string CurrentDirectory()
{
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer) == nullptr)
        return ".";
    return buffer;
}

} // namespace platform
} // namespace zel
