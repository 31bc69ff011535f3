// Replays the script fuzzer's saved inputs through the same editor calls the fuzzer makes: the seed scripts and
// every input that once broke the engine (tests/fuzz/regressions). Each input is a test of its own, so a crash
// names the file that caused it. These builds have no libFuzzer; the replay keeps the inputs checked in every one.

#include "ScriptFuzzInput.h"
#include "TestSupport.h"
#include "core/Services.h"
#include "script/NParser.h"
#include "script/Parser.h"

#include <gtest/gtest.h>

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
