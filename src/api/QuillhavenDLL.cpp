// The host interface: the plain C functions an editor or a launcher calls. Each one catches at its edge, so nothing
// thrown inside the engine ever reaches the host.

#include "quillhaven.h"

#include "core/Assert.h"
#include "core/Config.h"
#include "core/SceneChanges.h"
#include "core/Services.h"
#include "core/Version.h"
#include "entities/NSprite.h"
#include "platform/Platform.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"
#include "resources/ResourcePool.h"
#include "script/NovelLint.h"
#include "script/Parser.h"

#include <SFML/Graphics/Texture.hpp>
#include <SFML/OpenGL.hpp>
#include <SFML/Window/GlResource.hpp>

#include <physfs.h>

#include <cstring>
#include <filesystem>
#include <memory>

namespace zel
{
namespace
{
/// What the host interface keeps beside the registry.
struct HostState
{
    bool applicationFlag = false;
    std::wstring windowTitle;
    bool crashHandlerInstalled = false;
    EngineInfo lastInfo{};
    /// Set once the render window was found gone from the X server (its host destroyed it): every later call that
    /// would draw returns at once.
    bool renderWindowGone = false;
};
HostState g_host;

std::wstring Str(const wchar_t* text)
{
    return text != nullptr ? std::wstring(text) : std::wstring();
}

/// Runs an export's body; anything thrown is logged and the export returns its fallback.
template <typename Body, typename Result> Result Guarded(const wchar_t* exportName, Result fallback, Body&& body)
{
    const platform::EngineCallScope engineCall;
    try
    {
        return body();
    }
    catch (const std::exception& e)
    {
        OutputDebugStringN(L"\nERROR. (%s) exception:%s \n", exportName, NHelper::s2ws(e.what()).c_str());
    }
    catch (...)
    {
        OutputDebugStringN(L"\nERROR. (%s) unknown exception \n", exportName);
    }
    return fallback;
}

/// The exports that change the engine's state: what they change shows at the next frame.
template <typename Body> void GuardedVoid(const wchar_t* exportName, Body&& body)
{
    Guarded(exportName, 0, [&] {
        SceneChanges::Report();
        body();
        return 0;
    });
}

/// Keeps the graphics library's shared GL context from the size check until the window exists. Without it the
/// check's context is the only GL user, and its end shuts the GL driver down (closing its display), to be started
/// again for the window a moment later: a second driver start, a good part of the time to the first picture.
struct GlStartHold : sf::GlResource
{
};

/// The arguments of CreateRenderWindow that would end the host inside Xlib, SFML or the file system if passed on:
/// no X server, a size the graphics driver cannot draw, an application whose host did not set up the file system.
/// Once the display is there, hold keeps GL started for the window.
bool RenderWindowArgumentsUsable(int width, int height, bool application, std::unique_ptr<GlStartHold>& hold)
{
    if (!platform::DisplayAvailable())
    {
        OutputDebugStringN(L"\nERROR. (CreateRenderWindow) no X display can be reached (DISPLAY is unset or wrong) \n");
        return false;
    }
    // Asked only now: the driver's limit needs a GL context, and that needs the display.
    hold = std::make_unique<GlStartHold>();
    const int largest = static_cast<int>(sf::Texture::getMaximumSize());
    if (width < 1 || height < 1 || width > largest || height > largest)
    {
        OutputDebugStringN(L"\nERROR. (CreateRenderWindow) size %ix%i refused: width and height must be 1 to %i \n",
                           width, height, largest);
        return false;
    }
    if (application && !PHYSFS_isInit())
    {
        OutputDebugStringN(L"\nERROR. (CreateRenderWindow) application mode, but the host has not initialised the "
                           L"file system (PHYSFS_init) \n");
        return false;
    }
    return true;
}

bool CreateEditorWindow(void* hostWindow, int width, int height)
{
    const auto parent = reinterpret_cast<platform::NativeHandle>(hostWindow);
    const platform::NativeHandle child = platform::CreateChildWindow(parent, width, height);
    if (child == 0)
    {
        platform::ShowMessageBox(L"\nERROR creating render window!", L"\nERROR");
        return false;
    }
    Services::childWindow = child;
    // SFML shows a window it adopts; the render area stays hidden until the host shows it.
    const bool keptHidden = platform::AdoptWithoutShowing(child, [&] {
        Services::pRenderWindow =
            std::make_unique<sf::RenderWindow>(static_cast<sf::WindowHandle>(child), RenderContextSettings());
        Services::pRenderWindow->setActive(true);
    });
    if (!keptHidden)
        Services::pRenderWindow->setVisible(false);
    return true;
}

/// Whether the render window has gone from the X server (its host destroyed it, or the server went away). Looked
/// into only after an X error, so a healthy frame costs no round trip.
bool RenderWindowGone()
{
    if (g_host.renderWindowGone)
        return true;
    if (platform::ConnectionLost())
        g_host.renderWindowGone = true;
    else if (platform::TakeXErrors() && Services::pRenderWindow != nullptr &&
             !platform::WindowExists(static_cast<platform::NativeHandle>(Services::pRenderWindow->getSystemHandle())))
    {
        OutputDebugStringN(
            L"\nERROR. (UpdateRenderWindow) the render window is gone from the X server; nothing more is "
            L"drawn until DestroyRenderWindow \n");
        g_host.renderWindowGone = true;
    }
    return g_host.renderWindowGone;
}

void LogContext()
{
    const sf::ContextSettings settings = Services::pRenderWindow->getSettings();
    OutputDebugStringN(L"\nOpenGL VERSION: %i.%i\n", static_cast<int>(settings.majorVersion),
                       static_cast<int>(settings.minorVersion));
    OutputDebugStringN(L"OpenGL depth_bits:%i, stencil_bits:%i, antialiasing_level:%i \n\n",
                       static_cast<int>(settings.depthBits), static_cast<int>(settings.stencilBits),
                       static_cast<int>(settings.antialiasingLevel));
    OutputDebugStringN(L"Max Texture size:%i \n", static_cast<int>(sf::Texture::getMaximumSize()));
}

/// Re-reads the message-box script and wait icon, which may change between runs, and reloads the icon.
void ReloadScriptAndIcon()
{
    SystemVariables* sysVars = Services::SysVars();
    if (sysVars != nullptr && Config::LoadScriptAndIcon(*sysVars))
        Services::LoadWaitIcon();
}

void FillSysVars(SystemVariables& sysVars, void* moduleInstance, void* hostWindow, std::uint8_t windowMode)
{
    sysVars.hostWindow = reinterpret_cast<std::uintptr_t>(hostWindow);
    sysVars.renderWindow = Services::childWindow;
    sysVars.moduleInstance = reinterpret_cast<std::uintptr_t>(moduleInstance);
    sysVars.windowMode = windowMode;
    sysVars.windowTitle = g_host.windowTitle;
    sysVars.loggingEnabled = true;
    sysVars.gameOver = false;
    sysVars.applicationFlag = g_host.applicationFlag;
    sysVars.gameMode = g_host.applicationFlag ? 1 : 0;
}

void InitNovelSettingsImpl(void* moduleInstance, void* hostWindow, const std::wstring& scriptFileName,
                           const std::wstring& scriptText, const std::wstring& mode, std::uint8_t windowMode)
{
    Services::pNParser =
        std::make_unique<zel::NParser>(std::make_shared<Parser>(scriptFileName, scriptText, PARSER_MAIN));
    QH_ASSERT(Services::NParser() != nullptr, L"zel::Services::NParser() != nullptr", L"QuillhavenDLL", 340);
    Services::InitNovelState(g_host.applicationFlag);
    const bool registryReady = Services::m_NovelStates.empty() == false && Services::pNCommands != nullptr;
    QH_ASSERT(registryReady, L"zel::Services::Entities() != nullptr && zel::Services::pNCommands != nullptr",
              L"QuillhavenDLL", 344);
    SystemVariables* sysVars = Services::SysVars();
    if (!QH_ASSERT(sysVars != nullptr, L"zel::Services::SysVars() != nullptr", L"QuillhavenDLL", 348))
        return;
    FillSysVars(*sysVars, moduleInstance, hostWindow, windowMode);
    if (Services::pRenderWindow != nullptr)
        LogContext();
    ReloadScriptAndIcon();
    if (mode == L"application")
        if (std::shared_ptr<Parser> parser = CurParser())
            parser->ReadScript(-1);
    OutputDebugStringN(L"[DLL::InitNovelSettings] COMPLETE\n");
}

void SetScriptTextReset(Parser& mainParser, const std::wstring& fileName, const std::wstring& text, int lineNo)
{
    OutputDebugStringN(L"[DLL::setNovelScriptText:reset-script] filename:%s, lineno:%d, CurParser.readlineno:%d \n",
                       fileName.c_str(), lineNo, mainParser.readlineno);
    if (lineNo != mainParser.readlineno || fileName != mainParser.scriptName)
    {
        OutputDebugStringN(L"[DLL::setNovelScriptText:reset-script] COMPLETE RESET \n");
        mainParser.setScriptText(fileName, text, true);
    }
    else
    {
        OutputDebugStringN(L"[DLL::setNovelScriptText:reset-script] AMEND CURLINE ONWARDS \n");
        mainParser.setScriptText(fileName, text, false);
    }
}

void SetScriptTextSame(Parser& mainParser, const std::wstring& fileName, int lineNo)
{
    OutputDebugStringN(L"[DLL::setNovelScriptText:same-script] filename:%s, lineno:%d \n", fileName.c_str(), lineNo);
    if (lineNo != -1 && lineNo < mainParser.readlineno)
    {
        OutputDebugStringN(
            L"[DLL::setNovelScriptText:same-script] destination line:%d < parser curline:%d. amend entity list\n",
            lineNo, mainParser.readlineno);
        mainParser.GotoLine(lineNo);
    }
}

void StartPlayTest(SystemVariables& sysVars, const Parser& mainParser)
{
    sysVars.editorLine = mainParser.readlineno;
    sysVars.editorParserState = mainParser.m_ParserState;
    sysVars.editorScriptName = mainParser.scriptName;
    Services::PushNovelStateCopy();
    ReloadScriptAndIcon();
}

void ReturnToEditing()
{
    Services::RevertNovelState();
    SystemVariables* sysVars = Services::SysVars();
    std::shared_ptr<Parser> mainParser = MainParser();
    if (sysVars == nullptr || mainParser == nullptr)
        return;
    Services::pNParser->KeepMain();
    if (mainParser->scriptName != sysVars->editorScriptName)
        mainParser->GoToScript(sysVars->editorScriptName, L"");
    mainParser->GotoLine(sysVars->editorLine + 1);
    mainParser->m_ParserState = sysVars->editorParserState;
    sysVars->editorLine = -1;
}

/// Delivers a pending user-dialog request; kind 2 also reports the requested image's size.
void DeliverUserDialog(SystemVariables& sysVars, wchar_t* dialogText, UserDialogInfo* dialog)
{
    UserDialogRequest& request = sysVars.userDialog;
    if (request.flag == 0)
    {
        dialog->pending = 0;
        return;
    }
    if (dialogText != nullptr)
        std::wcscpy(dialogText, request.text.c_str());
    dialog->pending = request.flag;
    dialog->kind = request.kind;
    if (request.kind != 2)
        return;
    std::shared_ptr<Texture> texture;
    if (!ResourcePool<Texture>::getResource(texture, sysVars.FilePath(DATA_IMAGES, request.text)))
    {
        dialog->pending = 0;
        return;
    }
    dialog->imageWidth = static_cast<int32_t>(texture->texture.getSize().x);
    dialog->imageHeight = static_cast<int32_t>(texture->texture.getSize().y);
    ResourcePool<Texture>::rel(texture, false);
    request = UserDialogRequest{};
}
} // namespace
} // namespace zel

extern "C" {

QH_API void SetupBugTrapExceptionHandler(void)
{
    zel::GuardedVoid(L"SetupBugTrapExceptionHandler", [] {
        if (zel::g_host.crashHandlerInstalled)
            return;
        zel::platform::InstallCrashHandler("Quillhaven has encountered an error",
                                           zel::platform::CurrentDirectory() + "/debug.txt");
        zel::OutputDebugStringN(L"SetupBugTrapExceptionHandler COMPLETE. \n\n");
        zel::g_host.crashHandlerInstalled = true;
    });
}

QH_API void* CreateRenderWindow(void* moduleInstance, void* hostWindow, int32_t width, int32_t height,
                                const wchar_t* title, const wchar_t* scriptFileName, const wchar_t* scriptText,
                                const wchar_t* mode, uint8_t windowMode)
{
    return zel::Guarded(L"CreateRenderWindow", static_cast<void*>(nullptr), [&]() -> void* {
        SetupBugTrapExceptionHandler();
        zel::g_host.applicationFlag = zel::Str(mode) == L"application";
        std::unique_ptr<zel::GlStartHold> glStarted;
        if (!zel::RenderWindowArgumentsUsable(width, height, zel::g_host.applicationFlag, glStarted))
            return nullptr;
        if (zel::g_host.applicationFlag)
            zel::Services::SetWindowMode(windowMode, width, height);
        else if (!zel::CreateEditorWindow(hostWindow, width, height))
            return nullptr;
        zel::g_host.windowTitle = zel::Str(title) + zel::kTitleSuffix + zel::kEngineVersion;
        if (!QH_ASSERT(zel::Services::pRenderWindow != nullptr, L"zel::Services::pRenderWindow != nullptr",
                       L"QuillhavenDLL", 290))
            return nullptr;
        zel::g_host.renderWindowGone = false;
        zel::Services::ActivateRenderWindow();
        zel::platform::GuardRenderConnection();
        if (zel::g_host.applicationFlag) // the editor's render area keeps its own name
            zel::Services::pRenderWindow->setTitle(zel::g_host.windowTitle);
        zel::OutputDebugStringVerbatim(std::wstring(L"\nDLL VERSION: ") + zel::kEngineVersion + L"\n");
        if (zel::g_host.applicationFlag)
            zel::InitNovelSettingsImpl(moduleInstance, hostWindow, zel::Str(scriptFileName), zel::Str(scriptText),
                                       zel::Str(mode), windowMode);
        else
            zel::Services::pRenderWindow->setActive(false);
        zel::OutputDebugStringN(L"[DLL::CreateRenderWindow] COMPLETE\n\n");
        return zel::g_host.applicationFlag ? nullptr : reinterpret_cast<void*>(zel::Services::childWindow);
    });
}

QH_API void InitNovelSettings(void* moduleInstance, void* hostWindow, const wchar_t*, const wchar_t* scriptFileName,
                              const wchar_t* scriptText, const wchar_t* mode, uint8_t windowMode)
{
    zel::GuardedVoid(L"InitNovelSettings", [&] {
        zel::InitNovelSettingsImpl(moduleInstance, hostWindow, zel::Str(scriptFileName), zel::Str(scriptText),
                                   zel::Str(mode), windowMode);
    });
}

QH_API int32_t UpdateRenderWindow(void)
{
    return zel::Guarded(L"UpdateRenderWindow", 0, [] {
        if (zel::Services::pRenderWindow == nullptr || zel::RenderWindowGone() ||
            !zel::Services::pRenderWindow->isOpen())
            return 0;
        zel::Services::ActivateRenderWindow();
        zel::platform::PassOnWindowManagerMessages(zel::Services::applicationWindow);
        zel::Services::UpdateEngine(true, true);
        return zel::RenderWindowGone() ? 0 : 1;
    });
}

QH_API void DestroyRenderWindow(void)
{
    zel::GuardedVoid(L"DestroyRenderWindow", [] { zel::Services::CloseEngine(); });
}

QH_API void setNovelScriptText(const wchar_t* scriptFileName, const wchar_t* scriptText, int32_t lineNo,
                               uint8_t resetScript)
{
    zel::GuardedVoid(L"setNovelScriptText", [&] {
        if (zel::Services::pNParser == nullptr || zel::Services::SysVars() == nullptr)
            return;
        const std::wstring fileName = zel::Str(scriptFileName);
        std::shared_ptr<zel::Parser> current = zel::CurParser();
        if (current == nullptr)
            return;
        if (fileName == current->scriptName && lineNo == current->readlineno && resetScript == 0)
        {
            zel::OutputDebugStringN(
                L"[setNovelScriptText:invalid] filename: %s (same), lineno: %d (same), resetScript: "
                L"%s [return] \n",
                fileName.c_str(), lineNo, resetScript ? L"true" : L"false");
            return;
        }
        if (lineNo != -1 && lineNo <= 0)
        {
            zel::OutputDebugStringN(L"[setNovelScriptText:invalid] Invalid lineno argument: %d [return]\n", lineNo);
            return;
        }
        zel::Services::pNParser->KeepMain();
        std::shared_ptr<zel::Parser> mainParser = zel::MainParser();
        if (resetScript != 0)
            zel::SetScriptTextReset(*mainParser, fileName, zel::Str(scriptText), lineNo);
        else
            zel::SetScriptTextSame(*mainParser, fileName, lineNo);
        mainParser->ReadScript(lineNo);
    });
}

QH_API void setGameMode(uint8_t mode)
{
    zel::GuardedVoid(L"setGameMode", [&] {
        zel::SystemVariables* sysVars = zel::Services::SysVars();
        if (sysVars == nullptr)
            return;
        if (!sysVars->applicationFlag && mode == 1)
        {
            if (std::shared_ptr<zel::Parser> mainParser = zel::MainParser())
                zel::StartPlayTest(*sysVars, *mainParser);
        }
        else if (!sysVars->applicationFlag && mode == 0)
            zel::ReturnToEditing();
        if (zel::SystemVariables* current = zel::Services::SysVars())
            current->gameMode = mode;
    });
}

QH_API void AddCG(const wchar_t* fileName)
{
    zel::GuardedVoid(L"AddCG", [&] {
        const std::wstring name = zel::Str(fileName);
        zel::OutputDebugStringN(L"\nAddCG. filename:%s \n", name.c_str());
        zel::SystemVariables* sysVars = zel::Services::SysVars();
        if (sysVars == nullptr)
            return;
        auto picture = std::make_shared<zel::NSprite>(zel::NTYPE_CG, L"EDITOR_INTERACTABLE", 0);
        if (!picture->loadTexture(name))
            return;
        zel::sSprite* state = picture->getCurrentSprite();
        if (state == nullptr)
            return;
        state->setPosition(0.f, 0.f);
        sysVars->editorPicture = picture;
    });
}

QH_API uint8_t getGameOver(void)
{
    const zel::SystemVariables* sysVars = zel::Services::SysVars();
    return sysVars != nullptr && sysVars->gameOver ? 1 : 0;
}

QH_API void setGameOver(void) {}

QH_API void setEngineResolution(int32_t width, int32_t height)
{
    zel::GuardedVoid(L"setEngineResolution", [&] { zel::Services::SetEngineResolution(width, height); });
}

QH_API void setEngineFullscreen(void) {}
QH_API uint8_t getEngineFullscreen(void)
{
    return 0;
}
QH_API int32_t getEngineWidth(void)
{
    return 0;
}
QH_API int32_t getEngineHeight(void)
{
    return 0;
}
QH_API int32_t getEngineColour(void)
{
    return 0;
}

QH_API void setRenderWindowProportion(float proportion)
{
    zel::SceneChanges::Report();
    if (zel::SystemVariables* sysVars = zel::Services::SysVars())
        sysVars->renderWindowProportion = proportion;
}

QH_API void setTweenAnimationDisplay(uint8_t flag)
{
    zel::SceneChanges::Report();
    if (zel::SystemVariables* sysVars = zel::Services::SysVars())
        sysVars->tweenAnimationDisplay = flag != 0;
}

QH_API void setPlayMusicDuringEdit(uint8_t flag)
{
    if (zel::SystemVariables* sysVars = zel::Services::SysVars())
        sysVars->playMusicDuringEdit = flag != 0;
}

QH_API void setBoundingBoxDisplay(uint8_t flag)
{
    zel::SceneChanges::Report();
    if (zel::SystemVariables* sysVars = zel::Services::SysVars())
        sysVars->boundingBoxDisplay = flag != 0;
}

QH_API const wchar_t* getDLLVersion(void)
{
    return zel::kEngineVersion;
}

QH_API int32_t fillDLLVersion(wchar_t* buffer)
{
    const auto length = static_cast<int32_t>(std::wcslen(zel::kEngineVersion));
    if (buffer != nullptr)
        std::wcscpy(buffer, zel::kEngineVersion);
    return length;
}

QH_API EngineInfo getDLLInformation(int32_t* parserStateOut, wchar_t* dialogText, UserDialogInfo* dialog, uint8_t query)
{
    return zel::Guarded(L"getDLLInformation", zel::g_host.lastInfo, [&] {
        zel::SystemVariables* sysVars = zel::Services::SysVars();
        std::shared_ptr<zel::Parser> mainParser = zel::Services::pNParser != nullptr ? zel::MainParser() : nullptr;
        if (zel::Services::pRenderWindow == nullptr || sysVars == nullptr || mainParser == nullptr)
            return zel::g_host.lastInfo;
        EngineInfo info{};
        info.width = static_cast<int32_t>(zel::Services::pRenderWindow->getSize().x);
        info.height = static_cast<int32_t>(zel::Services::pRenderWindow->getSize().y);
        info.updatesPerSecond = sysVars->updatesPerSecond;
        info.rendersPerSecond = sysVars->rendersPerSecond;
        info.parserStateRef = mainParser->m_ParserState;
        zel::g_host.lastInfo = info;
        if (parserStateOut != nullptr)
            *parserStateOut = static_cast<int8_t>(mainParser->m_ParserState);
        if (query != 0 && dialog != nullptr)
            zel::DeliverUserDialog(*sysVars, dialogText, dialog);
        return info;
    });
}

QH_API int32_t lintNovel(const wchar_t* novelFolder, const wchar_t* mainScript, const wchar_t* scriptFileName,
                         const wchar_t* scriptText, uint8_t json, const wchar_t** report)
{
    static std::wstring text;
    text.clear();
    if (report != nullptr)
        *report = text.c_str();
    if (novelFolder == nullptr || !std::filesystem::is_directory(zel::NHelper::ws2s(novelFolder)))
    {
        text = L"the novel folder cannot be read\n";
        if (report != nullptr)
            *report = text.c_str();
        return -1;
    }
    zel::LintRequest request;
    request.novelFolder = zel::NHelper::ws2s(novelFolder);
    if (mainScript != nullptr && *mainScript != L'\0')
        request.mainScript = mainScript;
    if (scriptFileName != nullptr && scriptText != nullptr)
    {
        request.editedScript = scriptFileName;
        request.editedText = scriptText;
    }
    int32_t errors = 0;
    try
    {
        const std::vector<zel::LintProblem> problems = zel::NovelLint(request).Run();
        text = json != 0 ? zel::NovelLint::AsJson(problems) : zel::NovelLint::AsText(problems);
        errors = zel::NovelLint::ErrorCount(problems);
    }
    catch (const std::exception& e)
    {
        text = L"the check failed: " + zel::NHelper::s2ws(e.what()) + L"\n";
        errors = -1;
    }
    if (report != nullptr)
        *report = text.c_str();
    return errors;
}

QH_API void OutputDebugStringN(const wchar_t* text)
{
    if (text != nullptr)
        zel::OutputDebugStringVerbatim(text);
}

} // extern "C"
