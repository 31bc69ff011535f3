/*
 * Quillhaven — the C interface a host program uses to drive the engine.
 *
 * Two kinds of host exist: an editor, which hands the engine a child area of its own window, feeds it the script
 * being edited and toggles play-testing; and an application launcher, which lets the engine open its own window
 * and plays a finished novel. Every function is called on the thread that created the render window.
 *
 * Wide strings are NUL-terminated wchar_t strings. On this platform a window handle is an X11 window id carried in
 * a pointer-sized value. The PhysicsFS API (PHYSFS_init, PHYSFS_mount, ...) is reachable through the library's
 * handle as well, so that an application host can mount its data before it starts the engine.
 */
#ifndef QUILLHAVEN_H
#define QUILLHAVEN_H

#include <stdint.h>
#include <wchar.h>

#if defined(__GNUC__)
#define QH_API __attribute__((visibility("default")))
#else
#define QH_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** Run-time figures returned by getDLLInformation. */
typedef struct EngineInfo
{
    int32_t width;            /**< render window width in pixels */
    int32_t height;           /**< render window height in pixels */
    int32_t updatesPerSecond; /**< engine updates during the last whole second */
    int32_t rendersPerSecond; /**< frames drawn during the last whole second */
    int32_t parserStateRef;   /**< the main parser's state value; hosts should read the state argument instead */
} EngineInfo;

/** A pending request from the engine to the editor host, delivered by getDLLInformation. */
typedef struct UserDialogInfo
{
    int32_t pending;     /**< flag of the delivered request (1 following the pointer, 2 placed), else 0 */
    int32_t imageWidth;  /**< width of the requested image (kind 2) */
    int32_t imageHeight; /**< height of the requested image (kind 2) */
    int32_t kind;        /**< request kind; 2 names an image file under "Images/" */
} UserDialogInfo;

/** Creates the render window. mode "application" lets the engine open its own window (windowMode 0 full screen,
 *  1 window, 2 borderless full window) and starts the script; any other mode creates a child of hostWindow and
 *  returns its handle. Returns NULL in application mode or on failure. */
QH_API void* CreateRenderWindow(void* moduleInstance, void* hostWindow, int32_t width, int32_t height,
                                const wchar_t* title, const wchar_t* scriptFileName, const wchar_t* scriptText,
                                const wchar_t* mode, uint8_t windowMode);
/** Editor hosts only: builds the engine state after CreateRenderWindow, with the same arguments. */
QH_API void InitNovelSettings(void* moduleInstance, void* hostWindow, const wchar_t* title,
                              const wchar_t* scriptFileName, const wchar_t* scriptText, const wchar_t* mode,
                              uint8_t windowMode);
/** One engine frame: events, updates, drawing. Call once per host frame. */
QH_API int32_t UpdateRenderWindow(void);
/** Tears the engine down; the render window goes last. */
QH_API void DestroyRenderWindow(void);

/** Editor: hands over the script being edited and the line under the cursor (-1 reads until the script waits). */
QH_API void setNovelScriptText(const wchar_t* scriptFileName, const wchar_t* scriptText, int32_t lineNo,
                               uint8_t resetScript);
/** Editor: 1 starts play-testing on a copy of the state, 0 returns to editing where the author was. */
QH_API void setGameMode(uint8_t mode);
/** Editor: shows an image from "Images/" as the picture the author can place. */
QH_API void AddCG(const wchar_t* fileName);

QH_API uint8_t getGameOver(void);
QH_API void setGameOver(void);
QH_API void setEngineResolution(int32_t width, int32_t height);
QH_API void setEngineFullscreen(void);
QH_API uint8_t getEngineFullscreen(void);
QH_API int32_t getEngineWidth(void);
QH_API int32_t getEngineHeight(void);
QH_API int32_t getEngineColour(void);
QH_API void setRenderWindowProportion(float proportion);
QH_API void setTweenAnimationDisplay(uint8_t flag);
QH_API void setPlayMusicDuringEdit(uint8_t flag);
QH_API void setBoundingBoxDisplay(uint8_t flag);

/** The engine's version, a static string ("0.8.2-t2"). */
QH_API const wchar_t* getDLLVersion(void);
/** Copies the version into buffer (at least 9 characters) and returns its length. */
QH_API int32_t fillDLLVersion(wchar_t* buffer);
/** Window size, per-second counters and parser state; with query set, also delivers a pending user-dialog
 *  request into dialogText (which must be large enough) and dialog. */
QH_API EngineInfo getDLLInformation(int32_t* parserStateOut, wchar_t* dialogText, UserDialogInfo* dialog,
                                    uint8_t query);
/** Author tools: checks the novel in novelFolder without running it: every script under "Scripts/" (folder and
 *  archive) against the novel's vocabulary (its Commands.xml), and the files, scripts, bookmarks, text boxes and
 *  variables the lines name. scriptFileName and scriptText, when both are given, stand in for that script's file
 *  (an editor's unsaved text); mainScript names the script the player starts with (NULL: "main.txt"). *report gets
 *  one "FILE:LINE: error|warning: MESSAGE" line per problem, or with json set a JSON array of objects with "file",
 *  "line", "severity" and "message"; it stays valid until the next call. Returns the number of errors (warnings
 *  not counted), or -1 when the folder cannot be read. Nothing is logged and nothing in the folder is written; it
 *  may be called while the engine runs. */
QH_API int32_t lintNovel(const wchar_t* novelFolder, const wchar_t* mainScript, const wchar_t* scriptFileName,
                         const wchar_t* scriptText, uint8_t json, const wchar_t** report);
/** Writes the host's text verbatim to the engine log (debug.txt). */
QH_API void OutputDebugStringN(const wchar_t* text);
/** Installs the crash reporter; later calls do nothing. */
QH_API void SetupBugTrapExceptionHandler(void);

#ifdef __cplusplus
}
#endif

#endif /* QUILLHAVEN_H */
