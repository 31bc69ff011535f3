#include "core/Services.h"

#include "core/Assert.h"
#include "core/Config.h"
#include "entities/NBacklog.h"
#include "entities/NCamera.h"
#include "entities/NSprite.h"
#include "platform/Platform.h"
#include "resources/GlobalVariables.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"
#include "resources/PhysFsStream.h"
#include "resources/ResourcePool.h"
#include "script/Parser.h"

#include <algorithm>
#include <physfs.h>

namespace zel
{

std::unique_ptr<sf::RenderWindow> Services::pRenderWindow;
std::unique_ptr<NovelCommands> Services::pNCommands;
std::unique_ptr<zel::NParser> Services::pNParser;
std::deque<std::shared_ptr<NovelState>> Services::m_NovelStates;
std::unique_ptr<sf::RenderTexture> Services::pSecondTarget;
moodycamel::ConcurrentQueue<std::function<void()>> Services::m_deferredCalls;
std::uintptr_t Services::childWindow = 0;
std::uintptr_t Services::applicationWindow = 0;

namespace
{
/// Defined after the registry's members, so it runs first at exit: a host that never called DestroyRenderWindow
/// still gets the engine torn down in order, while everything it may log to still exists.
struct ExitTeardown
{
    ~ExitTeardown()
    {
        const bool running =
            Services::pRenderWindow != nullptr || Services::pNParser != nullptr || !Services::m_NovelStates.empty();
        if (running)
            Services::ReleaseAll();
    }
} g_exitTeardown;
} // namespace

namespace lineContext
{
int MainLine()
{
    if (Services::pNParser == nullptr || Services::pNParser->m_parserDeque.empty())
        return 0;
    return Services::pNParser->m_parserDeque.front()->readlineno;
}

bool Editing()
{
    const SystemVariables* sysVars = Services::SysVars();
    return sysVars == nullptr || sysVars->gameMode == 0;
}

int EditorLine()
{
    const SystemVariables* sysVars = Services::SysVars();
    return sysVars == nullptr ? 0 : sysVars->editorLine;
}

int CurrentLine()
{
    if (Services::pNParser == nullptr || Services::pNParser->m_parserDeque.empty())
        return 0;
    return Services::pNParser->m_parserDeque.back()->readlineno;
}
} // namespace lineContext

SystemVariables* Services::SysVars()
{
    return m_NovelStates.empty() ? nullptr : &m_NovelStates.back()->sysVars;
}

bool Services::Skipping()
{
    const SystemVariables* sysVars = SysVars();
    return sysVars != nullptr && sysVars->textReadMethod == 2;
}

EntityRegistry* Services::Entities()
{
    if (!QH_ASSERT(!m_NovelStates.empty(), L"m_NovelStates.empty() == false", L"Services", 324))
        return nullptr;
    return &m_NovelStates.back()->entities;
}

zel::NParser* Services::NParser()
{
    if (!QH_ASSERT(pNParser != nullptr, L"pNParser != nullptr", L"Services", 334))
        return nullptr;
    return pNParser.get();
}

NovelState* Services::FirstNovelState()
{
    return m_NovelStates.empty() ? nullptr : m_NovelStates.front().get();
}

std::shared_ptr<Parser> CurParser()
{
    if (!QH_ASSERT(Services::pNParser != nullptr, L"pNParser != nullptr", L"Services", 341))
        return nullptr;
    return Services::pNParser->Current();
}

std::shared_ptr<Parser> MainParser()
{
    if (!QH_ASSERT(Services::pNParser != nullptr, L"pNParser != nullptr", L"Services", 348))
        return nullptr;
    return Services::pNParser->Main();
}

void Services::AddPathToPhysfs(const std::wstring& path)
{
    if (PHYSFS_mount(NHelper::ws2s(path).c_str(), nullptr, 1) == 0)
        OutputDebugStringN(L"[AddPathToPhysfs] ERROR! path:%s msg:%s \n", path.c_str(), PhysFsLastError().c_str());
}

namespace
{
/// Takes every folder and archive off the file system's search path.
void UnmountAll()
{
    std::vector<std::string> mounted;
    if (char** paths = PHYSFS_getSearchPath())
    {
        for (char** path = paths; *path != nullptr; ++path)
            mounted.emplace_back(*path);
        PHYSFS_freeList(paths);
    }
    for (const std::string& path : mounted)
        PHYSFS_unmount(path.c_str());
}

void InitFileSystem(bool applicationFlag)
{
    if (applicationFlag)
        return; // an application host initialises the file system itself before it starts the engine
    // An editor that opens another novel starts the engine again in the same process: the folders of the novel
    // before must not stay mounted, or its files would be found in place of the new novel's.
    if (PHYSFS_isInit())
        UnmountAll();
    else if (PHYSFS_init(nullptr) == 0)
        OutputDebugStringN(L"[InitNovelState] PHYSFS_init ERROR!!! %s\n", PhysFsLastError().c_str());
    OutputDebugStringN(L"[InitNovelState] PHYSFS_init COMPLETE \n");
}

void MountData(const SystemVariables& sysVars)
{
    const std::wstring base = NHelper::s2ws(platform::CurrentDirectory()) + L"/";
    Services::AddPathToPhysfs(base);
    for (const DataPath& dataPath : sysVars.dataPaths)
        Services::AddPathToPhysfs(base + dataPath.archive);
}

void CreateFixedEntities(NovelState& state)
{
    state.entities.pCamera = std::make_shared<NCamera>();
    state.entities.pBacklog = std::make_shared<NBacklog>();
    state.entities.pWaitIcon = std::make_shared<NSprite>(NTYPE_WAITICON, L"", -1);
}
} // namespace

void Services::InitNovelState(bool applicationFlag)
{
    DebuggerOutput(L"SERVICES::INIT NOVEL STATE \n");
    pNCommands = std::make_unique<NovelCommands>();
    auto state = std::make_shared<NovelState>();
    state->sysVars.gameMode = applicationFlag ? 1 : 0;
    // A host that initialises again (another project in the editor) starts afresh: a state left from before would
    // otherwise sit under the new one and come back at the end of the next play-test.
    m_NovelStates.clear();
    m_NovelStates.push_back(state);
    InitFileSystem(applicationFlag);
    MountData(state->sysVars);
    // Without Config.xml only the settings keep their defaults: the camera, the backlog and the wait icon must
    // exist all the same, or the first dialogue line or camera command would find nothing to work on.
    if (Config::LoadAll(state->sysVars))
        OutputDebugStringN(L"(Services::InitNovelState) sysWaitInputIcon:%s sysBgmVolume:%i sysTextSpeed:%i \n",
                           state->sysVars.sysWaitInputIcon.c_str(), state->sysVars.sysBgmVolume,
                           state->sysVars.sysTextSpeed);
    LoadGlobalVariables(state->sysVars);
    CreateFixedEntities(*state);
    LoadWaitIcon();
}

void Services::LoadWaitIcon()
{
    const SystemVariables* sysVars = SysVars();
    if (sysVars == nullptr || m_NovelStates.back()->entities.pWaitIcon == nullptr || sysVars->sysWaitInputIcon.empty())
        return;
    m_NovelStates.back()->entities.pWaitIcon->loadTexture(sysVars->sysWaitInputIcon);
}

void Services::PushNovelStateCopy()
{
    if (!QH_ASSERT(!m_NovelStates.empty(), L"m_NovelStates.empty() == false", L"Services", 293))
        return;
    DebuggerOutput(L"SERVICES::PUSH NOVEL STATE COPY \n");
    m_NovelStates.push_back(std::make_shared<NovelState>(*m_NovelStates.back()));
}

void Services::RevertNovelState()
{
    if (!QH_ASSERT(!m_NovelStates.empty(), L"m_NovelStates.empty( ) == false", L"Services", 301))
        return;
    DebuggerOutput(L"SERVICES::REVERT NOVEL STATE \n");
    m_NovelStates.erase(m_NovelStates.begin() + 1, m_NovelStates.end());
}

void Services::RemoveEntities()
{
    EntityRegistry* entities = Entities();
    if (entities == nullptr)
        return;
    entities->entityLayers.clear();
    entities->entityLines.clear();
    entities->m_nameReferences.clear();
    ForgetRemovedInteractives();
    ActivateRenderWindow();
    OutputDebugStringN(L"[RemoveEntities] entity removal complete. entityLayers[]:%d, entityLines[]:%d, "
                       L"m_nameReferences[]:%d, tex-pool:%d, font-pool:%d\n",
                       static_cast<int>(entities->entityLayers.size()), static_cast<int>(entities->entityLines.size()),
                       static_cast<int>(entities->m_nameReferences.size()),
                       static_cast<int>(ResourcePool<Texture>::size()), static_cast<int>(ResourcePool<Font>::size()));
    ResourcePool<Texture>::releaseAllResources();
    ResourcePool<Font>::releaseAllResources();
    OutputDebugStringN(L"[RemoveEntities] COMPLETE \n");
}

namespace
{
/// Drops the name reference when it still points at this very entity.
void ForgetName(EntityRegistry& entities, const EntityPtr& entity)
{
    auto named = entities.m_nameReferences.find(entity->name);
    if (named != entities.m_nameReferences.end() && named->second == entity)
        entities.m_nameReferences.erase(named);
}

/// Drops every entity of the line map from line on: from its layer list and its name reference.
void ForgetEntitiesOfLines(EntityRegistry& entities, int line)
{
    auto first = entities.entityLines.lower_bound(line);
    for (auto it = first; it != entities.entityLines.end(); ++it)
        for (const EntityPtr& entity : it->second)
        {
            for (auto& layerEntry : entities.entityLayers)
            {
                auto& list = layerEntry.second;
                list.erase(std::remove(list.begin(), list.end(), entity), list.end());
            }
            ForgetName(entities, entity);
        }
    entities.entityLines.erase(first, entities.entityLines.end());
}

/// Filters the layer lists: entities created at or after line, and those without a line, go.
void FilterLayers(EntityRegistry& entities, int line)
{
    for (auto& layerEntry : entities.entityLayers)
    {
        auto& list = layerEntry.second;
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [&](const EntityPtr& entity) {
                                      const int created = entity->getCreatedLine();
                                      if (created == -1)
                                          OutputDebugStringN(L"WARNING: (RemoveEntitiesFromLine) createdLine == -1. "
                                                             L"name:'%s'. removing \n",
                                                             entity->name.c_str());
                                      const bool remove = created == -1 || created >= line;
                                      if (remove)
                                          ForgetName(entities, entity);
                                      return remove;
                                  }),
                   list.end());
    }
}
} // namespace

void Services::RemoveEntitiesFromLine(int line)
{
    EntityRegistry* entities = Entities();
    SystemVariables* sysVars = SysVars();
    if (entities == nullptr || sysVars == nullptr)
        return;
    ForgetEntitiesOfLines(*entities, line);
    FilterLayers(*entities, line);
    ForgetRemovedInteractives();
    sysVars->clearColour.keepBefore(line);
    sysVars->curBacklogUseTextareaName.keepBefore(line);
    sysVars->curUseTextareaName.keepBefore(line);
    if (std::shared_ptr<Parser> mainParser = pNParser ? pNParser->Main() : nullptr)
    {
        mainParser->readlineno = line - 1;
        UpdateEngine(false, false);
        // Lines after the cursor may have moved entities within their lists: the order goes back with them.
        if (EntityRegistry* current = Entities())
            current->RestoreLayerOrder(line - 1);
        mainParser->readlineno = line;
    }
    OutputDebugStringN(L"(Services::RemoveEntitiesFromLine) complete. line:%i \n", line);
}

} // namespace zel
