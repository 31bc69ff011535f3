#pragma once
// The subcommands of the quillhaven program and what they share: reading the command line and reporting failures.

#include <string>

struct EngineLibrary;

namespace launcher
{
/// quillhaven play [NOVEL_DIR] [--script FILE] [--window-mode 0|1|2] [--size WxH]
int RunPlay(int argc, char** argv);
/// quillhaven pack FOLDER [OUT]
int RunPack(int argc, char** argv);
/// quillhaven shot NOVEL_DIR SCRIPT LINE OUT.png [--size WxH] [--play MS]
int RunShot(int argc, char** argv);
/// quillhaven new DIR [--vocabulary en|ja]
int RunNew(int argc, char** argv);
/// quillhaven lint NOVEL_DIR [--json] [--script FILE]
int RunLint(int argc, char** argv);

/// Prints "quillhaven: message" to standard error; returns the exit status of a usage or input error (2).
int Fail(const std::string& message);
/// Prints the usage of every subcommand, then fails like Fail.
int FailUsage(const std::string& message);
/// "WIDTHxHEIGHT", each 1 to 16384.
bool ParseSize(const std::string& text, int& width, int& height);
/// Mounts the current folder (the novel's, where the program has changed to) and its packed scripts, as the engine
/// will, and reads Scripts/script into bytes; false with error naming what is missing (novelDir names the folder).
bool ReadNovelScript(const EngineLibrary& engine, const char* argv0, const std::string& novelDir,
                     const std::string& script, std::string& bytes, std::string& error);
/// Wide text to UTF-8 (in the program's UTF-8 locale).
std::string Narrow(const std::wstring& text);
/// UTF-8 to wide text; an invalid byte becomes U+FFFD rather than losing the text. firstInvalid, when given, gets
/// the byte offset of the first invalid byte (npos when there is none).
std::wstring Widen(const std::string& bytes, std::size_t* firstInvalid = nullptr);
} // namespace launcher
