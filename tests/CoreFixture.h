#pragma once
// A fixture that gives a test an engine registry without a window: one novel state, a main parser over a script,
// and a way to move the main line and the game mode. Everything is torn down again after the test.

#include "TestSupport.h"
#include "core/Services.h"
#include "entities/Entity.h"
#include "resources/Logger.h"
#include "script/NParser.h"
#include "script/Parser.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace testsupport
{

/// An entity whose creating line is set by the test.
class LineEntity : public zel::NEntity
{
public:
    LineEntity(std::wstring entityName, int createdLine, int entityLayer = 0)
        : NEntity(zel::NTYPE_CG, std::move(entityName), entityLayer), m_createdLine(createdLine)
    {
    }
    void Draw(int) override { ++draws; }
    int getCreatedLine() const override { return m_createdLine; }
    int draws = 0;

private:
    int m_createdLine;
};

class CoreFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        zel::Services::m_NovelStates.push_back(std::make_shared<zel::NovelState>());
        zel::Services::pNCommands = std::make_unique<zel::NovelCommands>();
        zel::Services::pNParser = std::make_unique<zel::NParser>(
            std::make_shared<zel::Parser>(L"main.txt", NumberedScript(20), zel::PARSER_MAIN));
    }

    void TearDown() override
    {
        zel::Services::pNParser.reset();
        zel::Services::pNCommands.reset();
        zel::Services::m_NovelStates.clear();
    }

    static std::wstring NumberedScript(int lines)
    {
        std::wstring text;
        for (int i = 1; i <= lines; ++i)
            text += L"line" + std::to_wstring(i) + L" word\n";
        return text;
    }

    zel::SystemVariables& sysVars() { return *zel::Services::SysVars(); }
    zel::EntityRegistry& entities() { return *zel::Services::Entities(); }
    zel::Parser& mainParser() { return *zel::Services::pNParser->m_parserDeque.front(); }
    void SetMainLine(int line) { mainParser().readlineno = line; }
    void SetPlaying(bool playing) { sysVars().gameMode = playing ? 1 : 0; }

    std::shared_ptr<LineEntity> AddEntity(const std::wstring& entityName, int createdLine, int entityLayer = 0)
    {
        auto entity = std::make_shared<LineEntity>(entityName, createdLine, entityLayer);
        entities().InsNovelEntity(entity, entityLayer, entityName);
        return entity;
    }

    /// Everything logged so far in this process, read back from debug.txt.
    static std::string LogText()
    {
        auto& logger = zel::NHelper::concurrentLogger::Instance();
        logger.Flush();
        return ReadFile(logger.Path());
    }
};

} // namespace testsupport
