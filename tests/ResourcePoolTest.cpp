// The texture and font pool: one object per path while it is held, reloading once every holder let go, the choice
// between plain files and the virtual file system, releasing handles and whole pools, and fonts that keep reading
// their archive long after loading. The pool's state is process-wide, so every scenario runs in a child.

#include "resources/ResourcePool.h"
#include "TestSupport.h"
#include "core/Services.h"
#include "entities/NSprite.h"
#include "script/NParser.h"
#include "script/Parser.h"

#include <SFML/Graphics/Image.hpp>
#include <SFML/System/Err.hpp>
#include <gtest/gtest.h>
#include <physfs.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

using namespace testsupport;
using zel::Font;
using zel::Texture;
using TexturePool = zel::ResourcePool<zel::Texture>;
using FontPool = zel::ResourcePool<zel::Font>;

namespace
{
/// A width x 2 image of one colour, so that a loaded texture tells which file it came from.
void WriteImage(const std::string& path, unsigned width, sf::Color colour = sf::Color::Green)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    sf::Image image;
    image.create(width, 2, colour);
    ASSERT_TRUE(image.saveToFile(path)) << path;
}

/// Packs folder of dir/staging into dir/archive.
void Zip(const TempDir& dir, const std::string& archive, const std::string& folder)
{
    const std::string command = "cd '" + (dir / "staging") + "' && zip -q -r '../" + archive + "' " + folder;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

/// The log formats its messages only once a novel state exists.
void AddNovelState()
{
    zel::Services::m_NovelStates.push_back(std::make_shared<zel::NovelState>());
}

bool MountArchive(const std::string& archive)
{
    return PHYSFS_init(nullptr) != 0 && PHYSFS_mount(archive.c_str(), nullptr, 1) != 0;
}

std::size_t Occurrences(const std::string& text, const std::string& needle)
{
    std::size_t count = 0;
    for (std::size_t pos = text.find(needle); pos != std::string::npos; pos = text.find(needle, pos + 1))
        ++count;
    return count;
}

/// Loads the font and lets every local of the loading go out of scope.
std::shared_ptr<Font> LoadFont(const std::wstring& path)
{
    std::shared_ptr<Font> font;
    FontPool::getResource(font, path);
    return font;
}

int ShareAndReload()
{
    AddNovelState();
    zel::Services::pNParser =
        std::make_unique<zel::NParser>(std::make_shared<zel::Parser>(L"main.txt", L"", zel::PARSER_MAIN));
    zel::Services::pNParser->Push(std::make_shared<zel::Parser>(L"sub.txt", L"", zel::PARSER_SCRIPT));
    zel::Services::pNParser->Main()->readlineno = 7;
    zel::Services::pNParser->Current()->readlineno = 3;

    std::shared_ptr<Texture> first, second, nested;
    if (!TexturePool::getResource(first, L"Images/a.png"))
        return 10;
    if (!TexturePool::getResource(second, L"Images/a.png"))
        return 11;
    if (first != second || first->key != L"a.png" || first->stream != nullptr)
        return 12;
    if (!TexturePool::getResource(nested, L"Images/sub/a.png"))
        return 13;
    if (nested == first || nested->key != L"sub/a.png" || nested->texture.getSize().x != 5)
        return 14;
    if (TexturePool::size() != 2)
        return 15;

    first.reset();
    second.reset();
    std::shared_ptr<Texture> again;
    if (!TexturePool::getResource(again, L"Images/a.png") || again->texture.getSize().x != 3)
        return 16;
    if (TexturePool::size() != 2)
        return 17;

    // A picture keeps its texture in the pool for as long as it shows it.
    zel::NSprite sprite(zel::NTYPE_CG, L"cg", 0);
    if (!sprite.loadTexture(L"a.png"))
        return 18;
    again.reset();
    std::shared_ptr<Texture> shown;
    if (!TexturePool::getResource(shown, L"Images/a.png"))
        return 19;
    return sprite.getCurrentSprite()->getTexture() == &shown->texture ? 0 : 20;
}

int ReleaseAndEmpty()
{
    AddNovelState();
    std::shared_ptr<Texture> nothing;
    TexturePool::rel(nothing, false);
    auto stranger = std::make_shared<Texture>();
    stranger->key = L"nowhere.png";
    TexturePool::rel(stranger, false);
    if (stranger != nullptr)
        return 10;

    std::shared_ptr<Texture> a1, a2;
    if (!TexturePool::getResource(a1, L"Images/a.png") || !TexturePool::getResource(a2, L"Images/a.png"))
        return 11;
    TexturePool::rel(a1, false);
    if (a1 != nullptr || a2 == nullptr || TexturePool::size() != 1)
        return 12; // a2 still holds it
    TexturePool::rel(a2, false);
    if (TexturePool::size() != 0)
        return 13;

    std::shared_ptr<Texture> held, copy;
    if (!TexturePool::getResource(held, L"Images/a.png"))
        return 14;
    copy = held;
    TexturePool::rel(copy, true);
    if (TexturePool::size() != 0 || held->texture.getSize().x != 3)
        return 15;

    // A script reset empties both pools; what is still held stays alive with its holder.
    std::shared_ptr<Texture> red;
    if (!TexturePool::getResource(red, L"Images/b.png"))
        return 16;
    zel::Services::RemoveEntities();
    if (TexturePool::size() != 0 || FontPool::size() != 0)
        return 17;
    if (red->texture.copyToImage().getPixel(3, 1) != sf::Color::Red)
        return 18;
    std::shared_ptr<Texture> reloaded;
    if (!TexturePool::getResource(reloaded, L"Images/b.png") || reloaded == red)
        return 19;
    return 0;
}

int DecideForStreams(const std::string& archive)
{
    AddNovelState();
    if (!MountArchive(archive))
        return 9;
    std::shared_ptr<Texture> packed, diskOnly, backslashed;
    if (!TexturePool::getResource(packed, L"Images/packed.png") || packed->stream == nullptr)
        return 10;
    if (TexturePool::getResource(diskOnly, L"Images/disk-only.png") || diskOnly != nullptr)
        return 11;
    if (!TexturePool::getResource(backslashed, L"Images\\packed2.png"))
        return 12;
    if (backslashed->texture.getSize().x != 4 || backslashed->key != L"Images\\packed2.png")
        return 13;

    // Decided for plain files, a resource that exists only in an archive still loads.
    TexturePool::resetLoadMethod();
    std::shared_ptr<Texture> packed3;
    if (!TexturePool::getResource(diskOnly, L"Images/disk-only.png") || diskOnly->stream != nullptr)
        return 14;
    if (!TexturePool::getResource(packed3, L"Images/packed3.png") || packed3->stream == nullptr)
        return 15;
    return 0;
}

int RenderStreamedGlyph(const std::string& archive)
{
    AddNovelState();
    if (!MountArchive(archive))
        return 9;
    std::shared_ptr<Font> font = LoadFont(L"Fonts/DejaVuSans.ttf");
    if (font == nullptr || font->stream == nullptr || font->key != L"DejaVuSans.ttf")
        return 10;
    // A glyph never rendered before: its outline is read from the archive now, long after loading.
    const sf::Glyph& glyph = font->font.getGlyph(L'H', 24, false);
    const sf::IntRect area = glyph.textureRect;
    if (area.width <= 0 || area.height <= 0)
        return 11;
    const sf::Image page = font->font.getTexture(24).copyToImage();
    int lit = 0;
    for (int y = area.top; y < area.top + area.height; ++y)
        for (int x = area.left; x < area.left + area.width; ++x)
            lit += page.getPixel(static_cast<unsigned>(x), static_cast<unsigned>(y)).a > 0 ? 1 : 0;
    return lit > 20 ? 0 : 12;
}
/// Headers that claim width x height and nothing after them: a decoder would have to believe them to fail.
std::string BigEndian(unsigned value, int bytes)
{
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}
std::string LittleEndian(unsigned value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}
std::string PngHeader(unsigned width, unsigned height)
{
    return std::string("\x89PNG\r\n\x1a\n", 8) + BigEndian(13, 4) + "IHDR" + BigEndian(width, 4) +
           BigEndian(height, 4) + std::string("\x08\x06\0\0\0", 5) + BigEndian(0, 4);
}
std::string JpegHeader(unsigned width, unsigned height)
{
    const std::string app0 =
        std::string("\xFF\xE0", 2) + BigEndian(16, 2) + std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14);
    return std::string("\xFF\xD8", 2) + app0 + std::string("\xFF\xC0", 2) + BigEndian(11, 2) + "\x08" +
           BigEndian(height, 2) + BigEndian(width, 2) + std::string("\x01\x01\x11\x00", 4);
}
std::string BmpHeader(unsigned width, unsigned height)
{
    return "BM" + LittleEndian(54, 4) + LittleEndian(0, 4) + LittleEndian(54, 4) + LittleEndian(40, 4) +
           LittleEndian(width, 4) + LittleEndian(height, 4) + LittleEndian(1, 2) + LittleEndian(32, 2);
}

/// Every picture is asked for once; SFML's own error output counts the decodings that failed.
int LoadUnloadable(const std::string& archive, const std::vector<std::wstring>& names)
{
    AddNovelState();
    if (!MountArchive(archive) || PHYSFS_mount(".", nullptr, 1) == 0)
        return 9;
    std::ostringstream decoderErrors;
    std::streambuf* const previous = sf::err().rdbuf(decoderErrors.rdbuf());
    int code = 0;
    for (const std::wstring& name : names)
    {
        std::shared_ptr<Texture> texture;
        if (TexturePool::getResource(texture, L"Images/" + name) || texture != nullptr)
            code = 10;
    }
    sf::err().rdbuf(previous);
    // The one broken picture is decoded once, not again through the folder's mount.
    const std::size_t decoded = Occurrences(decoderErrors.str(), "Failed to load image");
    return code != 0 ? code : decoded == 1 ? 0 : 20 + static_cast<int>(decoded);
}
} // namespace

TEST(ResourcePoolTest, APictureTooLargeForTheDriverIsRefusedFromItsHeaderAndABrokenOneIsDecodedOnce)
{
    TempDir dir;
    // The limit is the driver's; asked in a child, as a GL context is made for it.
    const int limit = RunInChild(dir.path(), [] { return static_cast<int>(sf::Texture::getMaximumSize() / 1024); });
    ASSERT_GT(limit, 0);
    const unsigned over = static_cast<unsigned>(limit) * 1024 + 1;
    struct Case
    {
        std::string file;
        std::string bytes;
        std::string size; // as logged
    };
    const std::string overText = std::to_string(over);
    const std::vector<Case> cases{
        {"Images/huge.png", PngHeader(20000, 20000), "20000x20000"},
        {"Images/wide.jpg", JpegHeader(over, 16), overText + "x16"},
        {"Images/tall.bmp", BmpHeader(8, over), "8x" + overText},
        {"staging/Images/packed.png", PngHeader(16, over), "16x" + overText},
    };
    for (const Case& c : cases)
        WriteFile(dir / c.file, c.bytes);
    WriteFile(dir / "Images/broken.png", PngHeader(4, 4) + "not a picture");
    Zip(dir, "Images.vndat", "Images");
    const std::string archive = dir / "Images.vndat";
    const int code = RunInChild(dir.path(), [&archive] {
        return LoadUnloadable(archive, {L"huge.png", L"wide.jpg", L"tall.bmp", L"packed.png", L"broken.png"});
    });
    const std::string log = ReadFile(dir / "debug.txt");
    EXPECT_EQ(code, 0) << log;
    for (const Case& c : cases)
    {
        const std::string path = c.file.substr(c.file.find("Images/"));
        EXPECT_NE(log.find("ERROR. (ResourcePool::getNewResource) " + path + " is " + c.size + " pixels"),
                  std::string::npos)
            << c.file << "\n"
            << log;
    }
    EXPECT_EQ(Occurrences(log, "ERROR. (ResourcePool::getNewResource)"), cases.size()) << log;
}

TEST(ResourcePoolTest, SharesWhileHeldAndReloadsOnceEveryHolderLetGo)
{
    TempDir dir;
    WriteImage(dir / "Images/a.png", 3);
    WriteImage(dir / "Images/sub/a.png", 5);
    const int code = RunInChild(dir.path(), ShareAndReload);
    const std::string log = ReadFile(dir / "debug.txt");
    EXPECT_EQ(code, 0) << log;
    EXPECT_TRUE(ContainsInOrder(
        log, {"[ResourcePool::getNewResource] LOAD METHOD SET: LOAD_FROM_FILE",
              "[ResourcePool::getNewResource] filename:a.png, filepath:Images/a.png refs:1, pool_size:1, line(m:7,c:3)",
              "[ResourcePool::getExistingResource] filename:Images/a.png, refs:2, pool_size:1",
              "[ResourcePool::getNewResource] filename:sub/a.png, filepath:Images/sub/a.png refs:1, pool_size:2",
              "WARNING. (ResourcePool::getExistingResource) filename:Images/a.png, refs:0. RELEASING. WILL RELOAD.",
              "[ResourcePool::getNewResource] filename:a.png, filepath:Images/a.png refs:1, pool_size:2",
              "[ResourcePool::getExistingResource] filename:Images/a.png, refs:2, pool_size:2",
              "[ResourcePool::getExistingResource] filename:Images/a.png, refs:2, pool_size:2"}))
        << log;
    EXPECT_EQ(Occurrences(log, "LOAD METHOD SET"), 1u) << log;
    EXPECT_EQ(Occurrences(log, "RELEASING"), 1u) << "the picture held its texture: " << log;
}

TEST(ResourcePoolTest, ReleasingHandlesAndEmptyingThePool)
{
    TempDir dir;
    WriteImage(dir / "Images/a.png", 3);
    WriteImage(dir / "Images/b.png", 4, sf::Color::Red);
    const int code = RunInChild(dir.path(), ReleaseAndEmpty);
    const std::string log = ReadFile(dir / "debug.txt");
    EXPECT_EQ(code, 0) << log;
    EXPECT_TRUE(ContainsInOrder(
        log,
        {"[ResourcePool::rel] image is nullptr", "[ResourcePool::rel] search texture not found. filename:nowhere.png",
         "[ResourcePool::rel] filename:a.png refs:1, pool_size:1, eraseFromPool:false",
         "[ResourcePool::rel] filename:a.png refs:0, pool_size:1, eraseFromPool:false",
         "[ResourcePool::rel] filename:a.png refs:1, pool_size:1, eraseFromPool:true", "tex-pool:1, font-pool:0",
         "[releaseAllResources] WARNING. name:b.png use_count:1", "[ResourcePool::printPool] pool empty",
         "[releaseAllResources] COMPLETE", "[ResourcePool::printPool] pool empty", "[releaseAllResources] COMPLETE",
         "[RemoveEntities] COMPLETE"}))
        << log;
    EXPECT_EQ(Occurrences(log, "RELEASING"), 0u) << "released entries leave the pool at once: " << log;
}

TEST(ResourcePoolTest, AnArchiveDecidesForStreamsAndPlainFilesAreNotTriedAgain)
{
    TempDir dir;
    WriteImage(dir / "staging/Images/packed.png", 3);
    WriteImage(dir / "staging/Images/packed2.png", 4);
    WriteImage(dir / "staging/Images/packed3.png", 5);
    Zip(dir, "Images.vndat", "Images");
    WriteImage(dir / "Images/disk-only.png", 6);
    const std::string archive = dir / "Images.vndat";
    const int code = RunInChild(dir.path(), [&archive] { return DecideForStreams(archive); });
    const std::string log = ReadFile(dir / "debug.txt");
    EXPECT_EQ(code, 0) << log;
    EXPECT_TRUE(ContainsInOrder(log, {"[ResourcePool::getNewResource] LOAD METHOD SET: LOAD_FROM_STREAM",
                                      "[ResourcePool::getNewResource] filename:packed.png, filepath:Images/packed.png",
                                      "[ResourcePool::getNewResource] PHYSFS_openRead FAILED. "
                                      "filepath:Images/disk-only.png. err-msg:",
                                      "[ResourcePool::getNewResource] LOAD METHOD SET: LOAD_FROM_FILE",
                                      "filename:packed3.png, filepath:Images/packed3.png"}))
        << log;
    EXPECT_EQ(Occurrences(log, "LOAD METHOD SET"), 2u) << log;
}

TEST(ResourcePoolTest, AFontFromAnArchiveStillRendersGlyphsAfterLoading)
{
    const std::string source = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    ASSERT_TRUE(FileExists(source)) << "scripts/setup.sh installs fonts-dejavu-core";
    TempDir dir;
    std::filesystem::create_directories(dir / "staging/Fonts");
    std::filesystem::copy_file(source, dir / "staging/Fonts/DejaVuSans.ttf");
    Zip(dir, "Fonts.vndat", "Fonts");
    const std::string archive = dir / "Fonts.vndat";
    EXPECT_EQ(RunInChild(dir.path(), [&archive] { return RenderStreamedGlyph(archive); }), 0)
        << ReadFile(dir / "debug.txt");
}
