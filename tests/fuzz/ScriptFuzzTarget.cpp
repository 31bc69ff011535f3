// libFuzzer entry point: every input is one editor session step on a script (see ScriptFuzzInput.h).
//
// The engine writes debug.txt into the current folder, so run the fuzzer from a scratch folder (scripts/test.sh
// does).
//
// Formatted logging is off here. Measured with it on (sanitizer build, two cores): each input writes about 1.2 KB
// of log, which made 110 MB of debug.txt in 60 s at 1,500 inputs/s and 250 MB at 3,400 inputs/s, so the size
// follows the machine's speed and any more logging per script line. The log's queue also outgrows its writer at
// these rates, and the queue keeps the memory of its longest backlog, so the process grew by about 0.7 MB per
// thousand inputs; that would hide the engine's own growth from the fuzzer's memory limit. Without logging the
// target runs about ten times faster and its memory stays flat. The replay test (ScriptFuzzRegressionTest) runs
// the saved inputs with logging on, so the formatting of what they make the engine log is still checked.
// QUILLHAVEN_FUZZ_LOG=1 in the environment turns logging on for a run by hand (debug.txt then grows quickly).

#include "ScriptFuzzInput.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* log = std::getenv("QUILLHAVEN_FUZZ_LOG");
    scriptfuzz::SetScriptFuzzLogging(log != nullptr && std::string(log) == "1");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    scriptfuzz::RunScriptFuzzInput(data, size);
    return 0;
}
