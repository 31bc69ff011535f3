#include "core/Assert.h"

#include "resources/Logger.h"
#include "resources/NHelper.h"

#include <cstdio>
#include <cstdlib>

namespace zel
{

bool AssertCheck(bool ok, const wchar_t* text, const wchar_t* unit, int line)
{
    if (ok)
        return true;
    OutputDebugStringVerbatim(L"\nERROR. ASSERTION FAILED: " + std::wstring(text) + L" (" + unit + L", line " +
                              std::to_wstring(line) + L") \n");
#ifdef QUILLHAVEN_FATAL_ASSERTS
    NHelper::concurrentLogger::Instance().Flush();
    std::fprintf(stderr, "Assertion failed: %s (%s, line %d)\n", NHelper::ws2s(text).c_str(),
                 NHelper::ws2s(unit).c_str(), line);
    std::abort();
#else
    return false;
#endif
}

} // namespace zel
