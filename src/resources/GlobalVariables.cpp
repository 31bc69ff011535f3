#include "resources/GlobalVariables.h"

#include "core/NovelState.h"
#include "persistence/DamagedXml.h"
#include "persistence/FileReplacement.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"

#include <pugixml.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>
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

} // namespace

bool MakeSaveFolder(const std::string& folder, const wchar_t* who)
{
    std::error_code error;
    if (folder.empty() || std::filesystem::is_directory(folder, error))
        return true;
    std::filesystem::create_directories(folder, error);
    if (!error)
        return true;
    OutputDebugStringN(L"\nERROR. (%s) cannot create the save folder:%s (%s) \n", who, NHelper::s2ws(folder).c_str(),
                       NHelper::s2ws(error.message()).c_str());
    return false;
}

bool IsPersistentVariable(const std::wstring& name)
{
    return name.size() >= 2 && name[0] == L'*';
}

namespace
{
bool ReadBytes(const std::string& path, std::string& bytes)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

/// Moves a global0.xml that does not parse aside before it is written over: what it held beyond the damage can
/// still be recovered by hand. False (logged) when it could not be moved.
bool MoveDamagedFileAside(const std::string& path)
{
    std::string bytes;
    pugi::xml_document document;
    if (!ReadBytes(path, bytes) || document.load_buffer(bytes.data(), bytes.size()))
        return true;
    std::error_code error;
    std::string aside = path + ".bad";
    for (int n = 1; std::filesystem::exists(aside, error) && n < 100; ++n)
        aside = path + ".bad" + std::to_string(n);
    std::filesystem::rename(path, aside, error);
    if (!error)
    {
        OutputDebugStringN(L"WARNING. (SaveGlobalVariables) the damaged file was moved aside to:%s \n",
                           NHelper::s2ws(aside).c_str());
        return true;
    }
    OutputDebugStringN(L"\nERROR. (SaveGlobalVariables) the damaged file:%s could not be moved aside (%s). not written "
                       L"over \n",
                       NHelper::s2ws(path).c_str(), NHelper::s2ws(error.message()).c_str());
    return false;
}
} // namespace

void LoadGlobalVariables(SystemVariables& sysVars)
{
    const std::string path = FilePath(sysVars);
    std::string bytes;
    if (!ReadBytes(path, bytes))
        return;
    pugi::xml_document document;
    const pugi::xml_parse_result result = document.load_buffer(bytes.data(), bytes.size());
    if (!result)
        OutputDebugStringN(
            L"\nERROR. (LoadGlobalVariables) file:%s does not parse: %s at byte offset:%i. the variables "
            L"before it are kept; the file is moved aside to global0.xml.bad before the next write \n",
            NHelper::s2ws(path).c_str(), NHelper::s2ws(result.description()).c_str(), static_cast<int>(result.offset));
    else if (!document.child(kRoot))
        OutputDebugStringN(L"\nERROR. (LoadGlobalVariables) file:%s has no %s element. no variables read \n",
                           NHelper::s2ws(path).c_str(), NHelper::s2ws(kRoot).c_str());
    // A damaged file keeps the entries before the damage; the one the damage cut into counts only when its element
    // was closed before the damage, so that a value cut short is never taken for the whole one.
    for (const pugi::xml_node& entry : document.child(kRoot).children())
    {
        const pugi::xml_attribute name = entry.attribute(kName);
        const pugi::xml_attribute value = entry.attribute(kValue);
        if (name && value && StartTagWhole(entry, bytes, result))
            sysVars.variables[NHelper::s2ws(name.as_string())] = NHelper::s2ws(value.as_string());
    }
}

bool SaveGlobalVariables(const SystemVariables& sysVars)
{
    if (!MakeSaveFolder(NHelper::ws2s(sysVars.saveFolder), L"SaveGlobalVariables"))
        return false;
    const std::string path = FilePath(sysVars);
    if (!MoveDamagedFileAside(path))
        return false;
    std::string error;
    const pugi::xml_document document = ToDocument(sysVars);
    if (ReplaceFile(
            path,
            [&document](const std::string& into) {
                return document.save_file(into.c_str(), "\t", pugi::format_default, pugi::encoding_utf8);
            },
            error))
        return true;
    OutputDebugStringN(L"\nERROR. (SaveGlobalVariables) could not write:%s (%s). the persistent variables on disk are "
                       L"unchanged \n",
                       NHelper::s2ws(path).c_str(), NHelper::s2ws(error).c_str());
    return false;
}

} // namespace zel
