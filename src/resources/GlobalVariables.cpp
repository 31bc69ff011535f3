#include "resources/GlobalVariables.h"

#include "core/NovelState.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"

#include <pugixml.hpp>

#include <filesystem>
#include <system_error>

namespace zel
{
namespace
{
// The file and its element names, shared by reading and writing.
constexpr const char* kFileName = "global0.xml";
constexpr const char* kRoot = "GlobalVars";
constexpr const char* kVar = "var";
constexpr const char* kName = "var_name";
constexpr const char* kValue = "var_val";

std::string FilePath(const SystemVariables& sysVars)
{
    return NHelper::ws2s(sysVars.saveFolder) + kFileName;
}

pugi::xml_document ToDocument(const SystemVariables& sysVars)
{
    pugi::xml_document document;
    pugi::xml_node root = document.append_child(kRoot);
    for (const auto& [name, value] : sysVars.variables)
    {
        if (!IsPersistentVariable(name))
            continue;
        pugi::xml_node var = root.append_child(kVar);
        var.append_attribute(kName) = NHelper::ws2s(name).c_str();
        var.append_attribute(kValue) = NHelper::ws2s(value).c_str();
    }
    return document;
}

bool MakeSaveFolder(const SystemVariables& sysVars)
{
    const std::string folder = NHelper::ws2s(sysVars.saveFolder);
    std::error_code error;
    if (folder.empty() || std::filesystem::is_directory(folder, error))
        return true;
    std::filesystem::create_directories(folder, error);
    if (!error)
        return true;
    OutputDebugStringN(L"\nERROR. (SaveGlobalVariables) cannot create the save folder:%s (%s) \n",
                       sysVars.saveFolder.c_str(), NHelper::s2ws(error.message()).c_str());
    return false;
}
} // namespace

bool IsPersistentVariable(const std::wstring& name)
{
    return name.size() >= 2 && name[0] == L'*';
}

void LoadGlobalVariables(SystemVariables& sysVars)
{
    pugi::xml_document document;
    if (!document.load_file(FilePath(sysVars).c_str()))
        return;
    for (const pugi::xml_node& entry : document.child(kRoot).children())
        sysVars.variables[NHelper::s2ws(entry.attribute(kName).as_string())] =
            NHelper::s2ws(entry.attribute(kValue).as_string());
}

bool SaveGlobalVariables(const SystemVariables& sysVars)
{
    if (!MakeSaveFolder(sysVars))
        return false;
    const std::string path = FilePath(sysVars);
    const std::string partial = path + ".tmp";
    std::error_code error;
    if (ToDocument(sysVars).save_file(partial.c_str(), "\t", pugi::format_default, pugi::encoding_utf8))
    {
        // A crash before this point leaves the old file as it was; the rename replaces it in one step.
        std::filesystem::rename(partial, path, error);
        if (!error)
            return true;
    }
    std::filesystem::remove(partial, error);
    OutputDebugStringN(L"\nERROR. (SaveGlobalVariables) could not write:%s. the persistent variables on disk are "
                       L"unchanged \n",
                       NHelper::s2ws(path).c_str());
    return false;
}

} // namespace zel
