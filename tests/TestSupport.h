#pragma once
// Shared fixtures: temporary novel folders, whole-file reads and writes, and running a scenario in a child process
// (the engine's logger and registry are process-wide, so each scenario gets a fresh process and folder).

#include <functional>
#include <string>
#include <vector>

namespace testsupport
{

/// A fresh folder under /tmp, removed with everything in it when the object goes.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
bool FileExists(const std::string& path);
/// The bytes of a 6 x 4 red PNG.
std::string SmallPng();
/// A PNG of width x height in one opaque colour, for tests that need a picture large enough to point at.
std::string SolidPng(unsigned width, unsigned height, unsigned char red, unsigned char green, unsigned char blue);

/// Runs body in a forked child whose current folder is dir; returns the child's exit code, or 128 + signal.
int RunInChild(const std::string& dir, const std::function<int()>& body);

/// The lines of text, split at "\n".
std::vector<std::string> Lines(const std::string& text);
/// True when every needle occurs in text, each after the previous one.
bool ContainsInOrder(const std::string& text, const std::vector<std::string>& needles, std::string* missing = nullptr);

/// Zips dir/FOLDER/NAME (compressed) into dir/ARCHIVE and damages the entry's compressed data, so that it can be
/// listed and opened but not read whole. False when zip failed.
bool MakeDamagedArchive(const std::string& dir, const std::string& entry, const std::string& archive);

/// Minimal Config.xml content with the given message-box script.
std::string ConfigXml(const std::string& msgboxScript = "", const std::string& extraGameSettings = "");

} // namespace testsupport
