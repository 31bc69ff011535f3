#include "TestSupport.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport
{

TempDir::TempDir()
{
    char pattern[] = "/tmp/quillhaven-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    m_path = made != nullptr ? made : "/tmp";
}

TempDir::~TempDir()
{
    std::error_code ignored;
    if (m_path != "/tmp")
        std::filesystem::remove_all(m_path, ignored);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::string SmallPng()
{
    static const unsigned char bytes[] = {0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49,
                                          0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x04, 0x08, 0x06,
                                          0x00, 0x00, 0x00, 0xad, 0x04, 0x4e, 0x43, 0x00, 0x00, 0x00, 0x12, 0x49, 0x44,
                                          0x41, 0x54, 0x78, 0xda, 0x63, 0x38, 0xa1, 0xa1, 0xf1, 0x1f, 0x1b, 0x66, 0xa0,
                                          0x9e, 0x04, 0x00, 0xc4, 0xff, 0x32, 0x29, 0xab, 0x55, 0xa6, 0x54, 0x00, 0x00,
                                          0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

namespace
{
void PutBigEndian(std::string& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xff);
}

void PutChunk(std::string& out, const char* type, const std::string& data)
{
    PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::string typed = type + data;
    out += typed;
    PutBigEndian(out, static_cast<std::uint32_t>(
                          crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()))));
}
} // namespace

std::string SolidPng(unsigned width, unsigned height, unsigned char red, unsigned char green, unsigned char blue)
{
    std::string header;
    PutBigEndian(header, width);
    PutBigEndian(header, height);
    header += std::string("\x08\x02\x00\x00\x00", 5); // 8 bits, RGB
    std::string rows;
    for (unsigned y = 0; y < height; ++y)
    {
        rows += '\0'; // no filter
        for (unsigned x = 0; x < width; ++x)
            rows += {static_cast<char>(red), static_cast<char>(green), static_cast<char>(blue)};
    }
    uLongf size = compressBound(static_cast<uLong>(rows.size()));
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(&packed[0]), &size, reinterpret_cast<const Bytef*>(rows.data()),
             static_cast<uLong>(rows.size()));
    packed.resize(size);
    std::string png("\x89PNG\r\n\x1a\n", 8);
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", "");
    return png;
}

bool FileExists(const std::string& path)
{
    return std::filesystem::exists(path);
}

int RunInChild(const std::string& dir, const std::function<int()>& body)
{
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0)
    {
        if (chdir(dir.c_str()) != 0)
            _exit(97);
        int code = 98;
        try
        {
            code = body();
        }
        catch (...)
        {
            code = 99;
        }
        std::exit(code); // a normal exit, so the engine's statics (the logger among them) shut down
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool ContainsInOrder(const std::string& text, const std::vector<std::string>& needles, std::string* missing)
{
    std::size_t pos = 0;
    for (const std::string& needle : needles)
    {
        const std::size_t found = text.find(needle, pos);
        if (found == std::string::npos)
        {
            if (missing != nullptr)
                *missing = needle;
            return false;
        }
        pos = found + needle.size();
    }
    return true;
}

bool MakeDamagedArchive(const std::string& dir, const std::string& entry, const std::string& archive)
{
    std::string words;
    for (int i = 0; i < 200; ++i)
        words += "a line of dialogue that compresses well\n";
    WriteFile(dir + "/staging/" + entry, words);
    const std::string zip = "cd '" + dir + "/staging' && zip -q -9 '../" + archive + "' '" + entry + "'";
    if (std::system(zip.c_str()) != 0)
        return false;
    std::string bytes = ReadFile(dir + "/" + archive);
    if (bytes.size() < 30)
        return false;
    // The first entry's data follows its 30-byte header, name and extra field; 0xFF starts a block of no valid type.
    const auto field = [&bytes](std::size_t at) {
        return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
    };
    bytes.at(30 + field(26) + field(28)) = '\xFF';
    WriteFile(dir + "/" + archive, bytes);
    return true;
}

std::string ConfigXml(const std::string& msgboxScript, const std::string& extraGameSettings)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Harborstage>\n\t<Settings MsgboxScript=\"" + msgboxScript +
           "\" />\n\t<GameSettings sysWaitInputIcon=\"\" sysMasterVolume=\"100\" sysBgmVolume=\"80\" "
           "sysSfxVolume=\"100\" sysVoiceVolume=\"100\" sysTextSpeed=\"40\" sysAutoSpeed=\"50\" sysAutoWait=\"1500\" " +
           extraGameSettings + "/>\n</Harborstage>\n";
}

} // namespace testsupport
