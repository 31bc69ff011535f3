#pragma once
// One fuzz input for the XML files the engine reads from the novel folder. Shared by the libFuzzer target and by
// the unit test that replays the saved inputs, so an input behaves the same in both.

#include <cstddef>
#include <cstdint>

namespace xmlfuzz
{

/// Which file an input is: its first byte modulo 3.
enum class XmlKind : std::uint8_t
{
    Config = 0,     ///< Config.xml, the reader's settings
    GlobalVars = 1, ///< SaveData/global0.xml, the persistent variables
    SaveSlot = 2,   ///< SaveData/saveslot1.xml, a save slot
};

/// Plays one input: the first byte picks the kind, the rest is the file's bytes. The file is written into the
/// current folder (run from a scratch folder) and read as the engine reads it at start; then what the engine does
/// with what it read is done too, and what a loader must keep is checked (the process aborts when it is not):
/// - Config.xml: every setting read, the sliders' reads, the music volume the settings give; for a file that parses,
///   a slider's write changes that setting alone.
/// - global0.xml: the variables read are written back; read again, the persistent ones are the same.
/// - save slot: only written for now (see PlaySaveSlot in XmlFuzzInput.cpp).
/// A windowless registry (one novel state) is built on the first call and kept for the following ones.
void RunXmlFuzzInput(const std::uint8_t* data, std::size_t size);

/// Whether the engine's formatted log lines are written for the following inputs (on by default).
void SetXmlFuzzLogging(bool enabled);

} // namespace xmlfuzz
