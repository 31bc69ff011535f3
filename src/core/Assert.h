#pragma once
// Invariant checks. In the development build a failed check is fatal; in a release build it is logged as an error
// and the caller returns safely, because library code never aborts its host.

namespace zel
{

/// Returns ok; on failure logs "ERROR." with the condition's text, the unit and the line (and aborts when fatal).
bool AssertCheck(bool ok, const wchar_t* text, const wchar_t* unit, int line);

} // namespace zel

#define QH_ASSERT(cond, text, unit, line) ::zel::AssertCheck(static_cast<bool>(cond), text, unit, line)
