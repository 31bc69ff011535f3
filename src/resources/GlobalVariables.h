#pragma once
// The persistent variables: global variables whose name begins with "*" outlive the engine in the save folder's
// global0.xml. The engine reads the file once at start-up and writes it anew whenever one of them changes.

#include <string>

namespace zel
{
struct SystemVariables;

/// True for a name of two or more characters that begins with "*" ("*" alone is an ordinary variable).
bool IsPersistentVariable(const std::wstring& name);
/// Adds every variable of the file to sysVars; a missing or unreadable file adds nothing.
void LoadGlobalVariables(SystemVariables& sysVars);
/// Writes every persistent variable of sysVars, in name order, creating the save folder when it is missing. The old
/// file stays whole until the new one is complete. False (logged) when the file could not be written.
bool SaveGlobalVariables(const SystemVariables& sysVars);
/// Creates the save folder (global0.xml and the save slots live there) when it is missing; false (logged for who)
/// when it cannot be made.
bool MakeSaveFolder(const std::string& folder, const wchar_t* who);

} // namespace zel
