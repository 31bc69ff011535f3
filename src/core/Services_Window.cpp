// The application window's modes (full screen, window, borderless full window with letterbox) and the editor's
// render-area size.

#include "core/SceneChanges.h"
#include "core/Services.h"
#include "platform/Platform.h"
#include "resources/Logger.h"

#include <SFML/OpenGL.hpp>
#include <SFML/Window/VideoMode.hpp>

namespace zel
{
namespace
{
/// Where a window of width x height sits centred on the desktop.
sf::Vector2i CentredPosition(const sf::VideoMode& desktop, int width, int height)
{
    return sf::Vector2i((static_cast<int>(desktop.width) - width) / 2, (static_cast<int>(desktop.height) - height) / 2);
}

/// Drops the window we made ourselves once SFML has let go of it: SFML leaves windows it adopted to their maker.
void ReleaseApplicationWindow(std::uintptr_t keep)
{
    if (Services::applicationWindow != 0 && Services::applicationWindow != keep)
        platform::DestroyChildWindow(Services::applicationWindow);
    Services::applicationWindow = keep;
}

/// (Re)creates the application window; SFML shares its contexts, so textures survive a change of style.
void CreateWindow(const sf::VideoMode& mode, const std::wstring& title, sf::Uint32 style)
{
    if (Services::pRenderWindow == nullptr)
        Services::pRenderWindow = std::make_unique<sf::RenderWindow>();
    Services::pRenderWindow->create(mode, title, style, RenderContextSettings());
    ReleaseApplicationWindow(0);
}

/// (Re)creates the window of window mode already centred: SFML would show its own window elsewhere first and only
/// then could it be moved. Returns false when the window could not be made, so that SFML makes one instead.
bool CreateCentredWindow(const sf::VideoMode& desktop, int width, int height, const std::wstring& title)
{
    const sf::Vector2i place = CentredPosition(desktop, width, height);
    const platform::NativeHandle window = platform::CreateApplicationWindow(place.x, place.y, width, height);
    if (window == 0)
        return false;
    if (Services::pRenderWindow == nullptr)
        Services::pRenderWindow = std::make_unique<sf::RenderWindow>();
    Services::pRenderWindow->create(static_cast<sf::WindowHandle>(window), RenderContextSettings());
    Services::pRenderWindow->setTitle(title);
    ReleaseApplicationWindow(window);
    return true;
}

void SetFullView(int width, int height, const sf::FloatRect& viewport)
{
    sf::View view(sf::FloatRect(0.f, 0.f, static_cast<float>(width), static_cast<float>(height)));
    view.setViewport(viewport);
    Services::pRenderWindow->setView(view);
}

/// The view of width x height, as large as the desktop allows without distortion, centred with bars beside it.
void SetLetterboxedView(const sf::VideoMode& desktop, int width, int height)
{
    SetFullView(width, height,
                LetterboxViewport(static_cast<float>(desktop.width), static_cast<float>(desktop.height),
                                  static_cast<float>(width), static_cast<float>(height)));
}

void CentreOnScreen(const sf::VideoMode& desktop, int width, int height)
{
    Services::pRenderWindow->setPosition(CentredPosition(desktop, width, height));
}
} // namespace

sf::ContextSettings RenderContextSettings()
{
    return sf::ContextSettings(0, 0, 0, 2, 0);
}

sf::FloatRect LetterboxViewport(float desktopWidth, float desktopHeight, float width, float height)
{
    const float rx = desktopWidth / width;
    const float ry = desktopHeight / height;
    if (rx > ry)
    {
        const float m = rx / ry;
        return sf::FloatRect((m - 1.f) * 0.5f, 0.f, 2.f - m, 1.f);
    }
    const float m = ry / rx;
    return sf::FloatRect(0.f, (m - 1.f) * 0.5f, 1.f, 2.f - m);
}

void Services::SetWindowMode(std::uint8_t mode, int width, int height)
{
    SceneChanges::Report();
    SystemVariables* sysVars = SysVars();
    const std::wstring title = sysVars != nullptr ? sysVars->windowTitle : L"";
    if (pRenderWindow != nullptr)
    {
        const sf::Vector2f viewSize = pRenderWindow->getView().getSize();
        width = width != 0 ? width : static_cast<int>(viewSize.x);
        height = height != 0 ? height : static_cast<int>(viewSize.y);
        ActivateRenderWindow();
    }
    pSecondTarget.reset();
    const sf::VideoMode sized(static_cast<unsigned>(width), static_cast<unsigned>(height), 32);
    const sf::VideoMode desktop = sf::VideoMode::getDesktopMode();
    switch (mode)
    {
    case 0:
        OutputDebugStringN(L"[Services::SetWindowMode] configuring window as: Fullscreen mode \n");
        if (pRenderWindow == nullptr && !sized.isValid())
        {
            OutputDebugStringN(L"WARNING. (Services::SetWindowMode) the screen offers no full-screen mode of %ix%i: "
                               L"shown letterboxed in the desktop's mode \n",
                               width, height);
            CreateWindow(desktop, title, sf::Style::Fullscreen);
            SetLetterboxedView(desktop, width, height);
            break;
        }
        CreateWindow(pRenderWindow == nullptr ? sized : desktop, title,
                     pRenderWindow == nullptr ? sf::Style::Fullscreen : sf::Style::None);
        SetFullView(width, height, sf::FloatRect(0.f, 0.f, 1.f, 1.f));
        break;
    case 1:
        OutputDebugStringN(L"[Services::SetWindowMode] configuring window as: Window mode \n");
        if (!CreateCentredWindow(desktop, width, height, title))
        {
            CreateWindow(sized, title, sf::Style::Titlebar | sf::Style::Close);
            CentreOnScreen(desktop, width, height);
        }
        SetFullView(width, height, sf::FloatRect(0.f, 0.f, 1.f, 1.f));
        break;
    case 2:
        OutputDebugStringN(L"[Services::SetWindowMode] configuring window as: FullWindow mode \n");
        CreateWindow(desktop, title, sf::Style::None);
        // Over the whole screen: SFML would centre it as if it were smaller.
        pRenderWindow->setPosition(sf::Vector2i(0, 0));
        SetLetterboxedView(desktop, width, height);
        break;
    default:
        break;
    }
    if (pRenderWindow == nullptr)
        return;
    glFlush();
    ActivateRenderWindow();
    if (sysVars != nullptr)
    {
        sysVars->windowMode = mode;
        pRenderWindow->setTitle(title);
    }
}

void Services::SetEngineResolution(int width, int height)
{
    const SystemVariables* sysVars = SysVars();
    if (sysVars != nullptr && sysVars->applicationFlag)
    {
        DebuggerOutput(L"\nERROR: (Services::SetEngineResolution) BEING CALLED BY APPLICATION (should only be called "
                       L"by editor) \n");
        return;
    }
    if (pRenderWindow == nullptr || width <= 0 || height <= 0)
        return;
    OutputDebugStringN(L"[Services::SetEngineResolution] changing resolution to width:%i height:%i \n", width, height);
    ActivateRenderWindow();
    platform::ResizeChildWindow(childWindow, width, height);
    SetFullView(width, height, sf::FloatRect(0.f, 0.f, 1.f, 1.f));
    ActivateRenderWindow();
}

} // namespace zel
