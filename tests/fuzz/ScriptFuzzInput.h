#pragma once
// One fuzz input played through the editor's script calls. Shared by the libFuzzer target and by the unit test
// that replays the saved inputs, so an input behaves the same in both.

#include <cstddef>
#include <cstdint>

namespace scriptfuzz
{

/// Plays one input as an editor would: the first two bytes (when there are at least two) pick a line, the rest is
/// the script's UTF-8 text. The script is handed over and read to the end, the cursor then moves to the picked line
/// (back into the script or past its end), and the script is handed over and read once more. Then it is played
/// from its first line for a few frames of the frame loop's script work, each of which must return within a bound
/// (a loop without a wait included). The windowless registry is built on the first call and kept for the following
/// ones, as an editor keeps its engine.
void RunScriptFuzzInput(const std::uint8_t* data, std::size_t size);

/// Whether the engine's formatted log lines are written for the following inputs (on by default).
void SetScriptFuzzLogging(bool enabled);

} // namespace scriptfuzz
