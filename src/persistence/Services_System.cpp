// Save slots: writing the running novel and its thumbnail into a slot, loading a slot back, deleting one.

#include "core/Services.h"
#include "persistence/FileReplacement.h"
#include "persistence/SaveFile.h"
#include "resources/GlobalVariables.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"

#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Texture.hpp>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

namespace zel
{
namespace
{
/// Writes a slot file in one step; false (logged) when it cannot be written.
bool WriteReplacing(const std::string& path, const wchar_t* who, const std::function<bool(const std::string&)>& write)
{
    std::string why;
    if (MakeSaveFolder(std::filesystem::path(path).parent_path().string(), who) && ReplaceFile(path, write, why))
        return true;
    OutputDebugStringN(L"\nERROR. (%s) cannot write file:%s (%s). the slot keeps what it held \n", who,
                       NHelper::s2ws(path).c_str(), NHelper::s2ws(why).c_str());
    return false;
}

bool ReadBytes(const std::string& path, std::string& bytes)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

/// Reads and checks a slot file; false (logged, naming the file) when it must be refused.
bool ReadSlot(const std::string& path, pugi::xml_document& document, SaveFile::Checked& checked)
{
    std::string bytes;
    if (!ReadBytes(path, bytes))
    {
        OutputDebugStringN(L"\nERROR. (Services::loadSaveData) cannot read file:%s. nothing was loaded \n",
                           NHelper::s2ws(path).c_str());
        return false;
    }
    const pugi::xml_parse_result parsed = document.load_buffer(bytes.data(), bytes.size());
    std::wstring problem;
    if (!parsed)
        problem = L"not well-formed XML: " + NHelper::s2ws(parsed.description()) + L" at byte offset " +
                  std::to_wstring(parsed.offset);
    else
        SaveFile::Check(document, checked, problem);
    if (problem.empty())
        return true;
    OutputDebugStringN(L"\nERROR. (Services::loadSaveData) file:%s is refused: %s. nothing was loaded \n",
                       NHelper::s2ws(path).c_str(), problem.c_str());
    return false;
}
} // namespace

std::wstring Services::SlotBase(int slot)
{
    const SystemVariables* sysVars = SysVars();
    return (sysVars != nullptr ? sysVars->saveFolder : std::wstring(L"SaveData/")) + L"saveslot" +
           NHelper::ToDecimal(slot);
}

bool Services::saveSaveData(const std::wstring& base)
{
    OutputDebugStringN(L"\nSAVE STARTED \n");
    pugi::xml_document document;
    if (!SaveFile::Build(document))
        return false;
    const std::string path = NHelper::ws2s(base) + ".xml";
    const bool saved = WriteReplacing(path, L"Services::saveSaveData", [&document](const std::string& into) {
        return document.save_file(into.c_str(), "\t", pugi::format_default, pugi::encoding_utf8);
    });
    if (saved)
        OutputDebugStringN(L"SAVE COMPLETE \n\n");
    return saved;
}

bool Services::loadSaveData(const std::wstring& base)
{
    pugi::xml_document document;
    SaveFile::Checked checked;
    if (SysVars() == nullptr || Entities() == nullptr || !ReadSlot(NHelper::ws2s(base) + ".xml", document, checked))
        return false;
    RemoveEntities();
    OutputDebugStringN(L"\nLOAD STARTED \n");
    SaveFile::Apply(document, checked);
    OutputDebugStringN(L"LOAD COMPLETE \n\n");
    return true;
}

bool Services::SaveScreenshot(const std::wstring& base)
{
    SystemVariables* sysVars = SysVars();
    if (sysVars == nullptr || pRenderWindow == nullptr)
        return false;
    sysVars->renderMode = 2;
    UpdateEngine(true, false);
    sf::Texture capture;
    const sf::Vector2u size = pRenderWindow->getSize();
    sf::Image picture;
    if (capture.create(size.x, size.y))
    {
        capture.update(*pRenderWindow);
        picture = capture.copyToImage();
    }
    sysVars = SysVars();
    sysVars->renderMode = 1;
    UpdateEngine(true, false);
    sysVars = SysVars();
    sysVars->renderMode = 0;
    return WriteReplacing(NHelper::ws2s(base) + ".png", L"SaveScreenshot", [&picture](const std::string& into) {
        return picture.getSize().x > 0 && picture.saveToFile(into);
    });
}

bool Services::DeleteSaveData(const std::wstring& base)
{
    bool deleted = true;
    for (const char* extension : {".png", ".xml"})
    {
        std::error_code error;
        const std::string path = NHelper::ws2s(base) + extension;
        if (std::filesystem::remove(path, error) || !error)
            continue;
        OutputDebugStringN(L"\nERROR. (DeleteSaveData) cannot delete file:%s (%s) \n", NHelper::s2ws(path).c_str(),
                           NHelper::s2ws(error.message()).c_str());
        deleted = false;
    }
    return deleted;
}

} // namespace zel
