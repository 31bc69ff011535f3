#pragma once
// Shared textures and fonts. Every picture and text of a novel asks the pool for its resource by path; while anybody
// still holds a resource, a second request gets the same object instead of loading the file again. The pool itself
// only watches (weak references), so a resource goes as soon as its last holder lets it go.
//
// Resources come either from plain files under the current folder or from the virtual file system (the novel's
// archives). The first successful load decides which of the two a novel uses; a novel that ships its data in
// archives then never tries plain files again.

#include "resources/PhysFsStream.h"

#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/Texture.hpp>

#include <cstddef>
#include <map>
#include <memory>
#include <string>

namespace zel
{

class Texture
{
public:
    /// The stream the texture was read from; empty when it came from a plain file.
    std::shared_ptr<PhysFsStream> stream;
    sf::Texture texture;
    /// The pool's key: the requested path after its first "/".
    std::wstring key;
};

class Font
{
public:
    /// The font reads its glyphs from this stream for as long as it is used, so the stream lives with the font
    /// (declared first: the font goes before its stream).
    std::shared_ptr<PhysFsStream> stream;
    sf::Font font;
    std::wstring key;
};

template <typename T> class ResourcePool
{
public:
    /// Hands out the resource of path: the one already in use, or a freshly loaded one. False (out empty) when it
    /// cannot be loaded.
    static bool getResource(std::shared_ptr<T>& out, const std::wstring& path);
    /// Lets go of handle (it is empty afterwards). The entry leaves the pool when eraseFromPool is set, or when
    /// nobody else holds the resource any more.
    static void rel(std::shared_ptr<T>& handle, bool eraseFromPool);
    /// Logs every entry with its holder count.
    static void printPool();
    /// Forgets every entry (script reset, engine teardown). Resources still held stay alive with their holders;
    /// they are logged as a warning.
    static void releaseAllResources();
    static std::size_t size();
    /// For tests only: forgets the load-method decision, so that the next successful load decides again.
    static void resetLoadMethod();

private:
    struct State
    {
        std::map<std::wstring, std::weak_ptr<T>> pool;
        bool decided = false;   ///< set by the first successful load
        bool useStream = false; ///< the decision: the virtual file system, not plain files
    };
    static State& state();

    /// The key of a path: what follows its first "/", or the whole path when it has none.
    static std::wstring keyOf(const std::wstring& path);

    static bool getExistingResource(std::shared_ptr<T>& out, const std::wstring& key, const std::wstring& path);
    static bool getNewResource(std::shared_ptr<T>& out, const std::wstring& key, const std::wstring& path);
};

extern template class ResourcePool<Texture>;
extern template class ResourcePool<Font>;

} // namespace zel
