// Replays the fuzzers' saved inputs through the same calls the fuzzers make: the script fuzzer's seed scripts and
// every input that once broke the engine (tests/fuzz/seeds, tests/fuzz/regressions), and likewise the XML
// fuzzer's files (tests/fuzz/xml-seeds, tests/fuzz/xml-regressions). Each input is a test of its own, so a crash
// names the file that caused it. These builds have no libFuzzer; the replay keeps the inputs checked in every one.

#include "ScriptFuzzInput.h"
#include "TestSupport.h"
#include "XmlFuzzInput.h"
#include "core/Services.h"
#include "script/NParser.h"
#include "script/Parser.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <dirent.h>
#include <ostream>
#include <string>
#include <vector>

namespace
{
struct SavedInput
{
    std::string folder; // "seeds" or "regressions"
    std::string path;
    std::string name;
};

void PrintTo(const SavedInput& input, std::ostream* out)
{
    *out << input.path;
}

/// The regular files of dir in name order; the folder's README describes it and is no input.
std::vector<SavedInput> InputsIn(const std::string& folder, const std::string& dir)
{
    std::vector<SavedInput> inputs;
    if (DIR* handle = opendir(dir.c_str()))
    {
        while (const dirent* entry = readdir(handle))
        {
            const std::string name = entry->d_name;
            if (name == "." || name == ".." || name.rfind("README", 0) == 0)
                continue;
            inputs.push_back({folder, dir + "/" + name, name});
        }
        closedir(handle);
    }
    std::sort(inputs.begin(), inputs.end(), [](const SavedInput& a, const SavedInput& b) { return a.name < b.name; });
    return inputs;
}

std::vector<SavedInput> AllInputs()
{
    std::vector<SavedInput> inputs = InputsIn("seeds", QUILLHAVEN_FUZZ_SEEDS_DIR);
    const std::vector<SavedInput> regressions = InputsIn("regressions", QUILLHAVEN_FUZZ_REGRESSIONS_DIR);
    inputs.insert(inputs.end(), regressions.begin(), regressions.end());
    return inputs;
}

std::string TestName(const ::testing::TestParamInfo<SavedInput>& info)
{
    std::string name = info.param.folder + "_" + info.param.name;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

class ScriptFuzzReplay : public ::testing::TestWithParam<SavedInput>
{
protected:
    // The fuzz input builds its own registry; whatever it leaves goes with the test.
    void TearDown() override
    {
        zel::Services::pNParser.reset();
        zel::Services::pNCommands.reset();
        zel::Services::m_NovelStates.clear();
    }
};
} // namespace

TEST_P(ScriptFuzzReplay, EditorCallsReturnWithTheScriptInPlace)
{
    const std::string bytes = testsupport::ReadFile(GetParam().path);
    scriptfuzz::RunScriptFuzzInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    // Twice, as the fuzzer may meet an input again with the registry the first run left.
    scriptfuzz::RunScriptFuzzInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());

    ASSERT_NE(zel::Services::pNParser, nullptr);
    ASSERT_EQ(zel::Services::pNParser->m_parserDeque.size(), 1u);
    EXPECT_EQ(zel::MainParser()->scriptName, L"fuzz.txt");
}

INSTANTIATE_TEST_SUITE_P(SavedInputs, ScriptFuzzReplay, ::testing::ValuesIn(AllInputs()), TestName);

TEST(ScriptFuzzSeeds, FolderIsFoundAndNotEmpty)
{
    // A wrong folder would leave the replay above with nothing to check.
    EXPECT_GE(InputsIn("seeds", QUILLHAVEN_FUZZ_SEEDS_DIR).size(), 5u);
    EXPECT_TRUE(testsupport::FileExists(QUILLHAVEN_FUZZ_REGRESSIONS_DIR "/README"));
}

namespace
{
std::vector<SavedInput> AllXmlInputs()
{
    std::vector<SavedInput> inputs = InputsIn("xml_seeds", QUILLHAVEN_XML_FUZZ_SEEDS_DIR);
    const std::vector<SavedInput> regressions = InputsIn("xml_regressions", QUILLHAVEN_XML_FUZZ_REGRESSIONS_DIR);
    inputs.insert(inputs.end(), regressions.begin(), regressions.end());
    return inputs;
}

using XmlFuzzReplay = ::testing::TestWithParam<SavedInput>;
} // namespace

TEST_P(XmlFuzzReplay, FileIsReadWithoutLossAndABadOneIsLogged)
{
    const std::string bytes = testsupport::ReadFile(GetParam().path);
    ASSERT_FALSE(bytes.empty());
    testsupport::TempDir dir;
    // In a folder of its own, as the engine reads and writes the files in the current one; the input aborts the
    // process when a loader loses what it must keep.
    EXPECT_EQ(testsupport::RunInChild(dir.path(),
                                      [&bytes] {
                                          const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
                                          xmlfuzz::RunXmlFuzzInput(data, bytes.size());
                                          xmlfuzz::RunXmlFuzzInput(data, bytes.size()); // with the files left
                                          return 0;
                                      }),
              0);
    pugi::xml_document document;
    if (!document.load_buffer(bytes.data() + 1, bytes.size() - 1))
        EXPECT_NE(testsupport::ReadFile(dir / "debug.txt").find("ERROR"), std::string::npos)
            << "a file that does not parse is named in the log";
}

INSTANTIATE_TEST_SUITE_P(SavedXmlInputs, XmlFuzzReplay, ::testing::ValuesIn(AllXmlInputs()), TestName);

TEST(XmlFuzzSeeds, EveryKindHasSeeds)
{
    int kinds[3] = {};
    for (const SavedInput& input : InputsIn("xml_seeds", QUILLHAVEN_XML_FUZZ_SEEDS_DIR))
    {
        const std::string bytes = testsupport::ReadFile(input.path);
        if (!bytes.empty())
            ++kinds[static_cast<unsigned char>(bytes[0]) % 3];
    }
    EXPECT_GE(kinds[0], 1);
    EXPECT_GE(kinds[1], 1);
    EXPECT_GE(kinds[2], 1);
    EXPECT_TRUE(testsupport::FileExists(QUILLHAVEN_XML_FUZZ_REGRESSIONS_DIR "/README"));
}
