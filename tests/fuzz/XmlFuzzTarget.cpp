// libFuzzer entry point: every input is one XML file of the novel folder, read as the engine reads it (see
// XmlFuzzInput.h).
//
// The engine writes debug.txt, Config.xml and SaveData/ into the current folder, so run the fuzzer from a scratch
// folder (scripts/test.sh does). Logging stays on: a bad file logs one or two lines, and those lines are what a
// bad file must leave behind. QUILLHAVEN_FUZZ_LOG=0 in the environment turns it off for a run by hand.

#include "XmlFuzzInput.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* log = std::getenv("QUILLHAVEN_FUZZ_LOG");
    xmlfuzz::SetXmlFuzzLogging(log == nullptr || std::string(log) != "0");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    xmlfuzz::RunXmlFuzzInput(data, size);
    return 0;
}
