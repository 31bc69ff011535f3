#pragma once

namespace zel
{
/// The version reported to hosts and written into the window title.
constexpr const wchar_t* kEngineVersion = L"0.8.2-t2";
/// What the window title carries between the host's title and the version.
constexpr const wchar_t* kTitleSuffix = L" -Quillhaven ";
} // namespace zel
