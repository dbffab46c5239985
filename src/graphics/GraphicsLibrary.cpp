#include "graphics/GraphicsLibrary.h"

#include "core/Stream.h"
#include "core/Trace.h"
#include "graphics/Font.h"
#include "graphics/Mesh.h"
#include "graphics/Texture.h"

GraphicsLibrary* GraphicsLibraryInstance = nullptr;

namespace {

// Stream mode 0: JSON under "assets/data/".
constexpr int DATA_JSON_MODE = 0;
// A texture file asking for more images than this is treated as broken data.
constexpr int MAX_IMAGES = GraphicsLibrary::MAX_TEXTURES;

const char* const SOURCE = "src/GraphicsLibrary";

// The guard at the top of every accessor.
bool HaveInstance(int line)
{
    if (GraphicsLibraryInstance)
        return true;
    AssertionFailed("main", SOURCE, line, "GraphicsLibrary hasn't been initialized yet!");
    return false;
}

// The item at an index of a list; null outside it.
template <typename T>
T* ItemAt(const std::vector<T*>& items, int index)
{
    if (index < 0 || index >= static_cast<int>(items.size()))
        return nullptr;
    return items[static_cast<size_t>(index)];
}

// The index of the first item with the name; -1 when there is none.
template <typename T>
int IndexOfName(const std::vector<T*>& items, const std::string& name)
{
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i]->name == name)
            return static_cast<int>(i);
    return -1;
}

// The first item with the name; null when there is none.
template <typename T>
T* FindByName(const std::vector<T*>& items, const std::string& name)
{
    return ItemAt(items, IndexOfName(items, name));
}

// A frame count from a texture file: at least 1. A missing key is reported by the reader.
int ReadCount(Stream& stream, const char* key, const std::string& textureName)
{
    if (!stream.HasMember(key)) {
        stream.ReadInt(key);
        return 1;
    }
    const int value = stream.ReadInt(key);
    if (value <= 0) {
        Trace("Texture \"%s\": \"%s\" is %i; using 1", textureName.c_str(), key, value);
        return 1;
    }
    return value;
}

} // namespace

GraphicsLibrary::GraphicsLibrary()
{
    GraphicsLibraryInstance = this;
}

GraphicsLibrary::~GraphicsLibrary()
{
    for (Mesh* mesh : meshes)
        delete mesh;
    for (Texture* texture : textures)
        delete texture;
    for (Font* font : fonts)
        delete font;
    meshes.clear();
    textures.clear();
    fonts.clear();
    editorMeshNames.clear();
    editorTextureNames.clear();
    if (GraphicsLibraryInstance == this)
        GraphicsLibraryInstance = nullptr;
}

Mesh* GraphicsLibrary::GetMesh(const std::string& name)
{
    if (!HaveInstance(__LINE__))
        return nullptr;
    GraphicsLibrary& library = *GraphicsLibraryInstance;
    if (Mesh* mesh = FindByName(library.meshes, name))
        return mesh;

    Stream stream(("meshes/" + name).c_str(), DATA_JSON_MODE, false);
    if (!stream.IsValid()) {
        Trace("Mesh file \"assets/data/meshes/%s.json\" could not be found!", name.c_str());
        return nullptr;
    }
    const int meshType = stream.ReadInt("MeshType");
    const std::string shaderName = stream.ReadString("Shader");
    Mesh* mesh = new Mesh(name, meshType, shaderName);
    library.meshes.push_back(mesh);
    library.RebuildEditorMeshList();
    return mesh;
}

Mesh* GraphicsLibrary::GetMeshByIndex(int index)
{
    if (!HaveInstance(__LINE__))
        return nullptr;
    return ItemAt(GraphicsLibraryInstance->meshes, index);
}

int GraphicsLibrary::GetMeshIndex(const std::string& name)
{
    if (!HaveInstance(__LINE__))
        return -1;
    return IndexOfName(GraphicsLibraryInstance->meshes, name);
}

Texture* GraphicsLibrary::GetTexture(const std::string& name, int image)
{
    if (!HaveInstance(__LINE__))
        return nullptr;
    const std::string key = image == -1 ? name : name + std::to_string(image);
    if (Texture* texture = FindByName(GraphicsLibraryInstance->textures, key))
        return texture;
    return GraphicsLibraryInstance->BuildTextures(name, image, key);
}

Texture* GraphicsLibrary::BuildTextures(const std::string& name, int image, const std::string& key)
{
    Stream stream(("textures/" + name).c_str(), DATA_JSON_MODE, false);
    if (!stream.IsValid()) {
        Texture* texture = new Texture(key, "png");
        textures.push_back(texture);
        return texture;
    }

    std::string fileType = stream.ReadString("FileType");
    if (fileType.empty())
        fileType = "png";
    const bool hasFrames = stream.HasMember("numFrames");
    const bool topToBottom = stream.HasMember("bottomToTop"); // its presence alone counts

    Texture* texture = new Texture(key, fileType);
    if (hasFrames) {
        texture->numFrames = stream.ReadInt("numFrames");
        texture->numRows = ReadCount(stream, "numRows", key);
        texture->numCols = ReadCount(stream, "numCols", key);
        texture->frameTime = stream.ReadFloat("frameTime");
        if (topToBottom)
            texture->bottomToTop = 0;
    }
    textures.push_back(texture);

    if (stream.HasMember("numImages")) {
        int numImages = stream.ReadInt("numImages");
        if (numImages > MAX_IMAGES) {
            Trace("Texture \"%s\": \"numImages\" is %i; only %i images are made", name.c_str(), numImages,
                  MAX_IMAGES);
            numImages = MAX_IMAGES;
        }
        // Asked for the last image directly: it has the last image's single row, like its siblings.
        if (image >= 1 && image == numImages) {
            texture->numRows = 1;
            texture->numCols = ReadCount(stream, "numFramesLastImage", key);
        }
        for (int j = 1; j <= numImages; ++j) {
            if (j == image)
                continue;
            const std::string imageName = name + std::to_string(j);
            // An image made by an earlier request for one of its siblings is kept, not made twice.
            if (FindByName(textures, imageName))
                continue;
            Texture* sibling = new Texture(imageName, fileType);
            if (hasFrames)
                sibling->numFrames = stream.ReadInt("numFrames");
            if (j == numImages) {
                sibling->numRows = 1;
                sibling->numCols = ReadCount(stream, "numFramesLastImage", imageName);
            } else {
                sibling->numRows = ReadCount(stream, "numRows", imageName);
                sibling->numCols = ReadCount(stream, "numCols", imageName);
            }
            sibling->frameTime = stream.HasMember("frameTime") ? stream.ReadFloat("frameTime") : 0.0f;
            if (topToBottom)
                sibling->bottomToTop = 0;
            textures.push_back(sibling);
        }
    }
    RebuildEditorTextureList();
    return texture;
}

Texture* GraphicsLibrary::GetTextureByIndex(int index)
{
    if (!HaveInstance(__LINE__))
        return nullptr;
    return ItemAt(GraphicsLibraryInstance->textures, index);
}

int GraphicsLibrary::GetTextureIndex(const std::string& name)
{
    if (!HaveInstance(__LINE__))
        return -1;
    return IndexOfName(GraphicsLibraryInstance->textures, name);
}

Font* GraphicsLibrary::GetFont(const std::string& name)
{
    if (!HaveInstance(__LINE__))
        return nullptr;
    GraphicsLibrary& library = *GraphicsLibraryInstance;
    if (Font* font = FindByName(library.fonts, name))
        return font;

    Stream stream(("fonts/" + name).c_str(), DATA_JSON_MODE, false);
    if (!stream.IsValid()) {
        Trace("Font file \"assets/data/fonts/%s.json\" could not be found!", name.c_str());
        return nullptr;
    }
    Font* font = new Font(name, stream.ReadString("filename"));
    LoadFont(font);
    library.fonts.push_back(font);
    return font;
}

void GraphicsLibrary::SetEditorSystem(EditorSystem* editorSystem)
{
    if (!HaveInstance(__LINE__))
        return;
    GraphicsLibraryInstance->editorSystem_ = editorSystem;
    if (!editorSystem)
        AssertionFailed("editorSystem_", SOURCE, __LINE__, "GraphicsLibrary: Failed to pass in EditorSystem");
}

void GraphicsLibrary::RebuildEditorMeshList()
{
    const size_t numMeshes = meshes.size();
    if (!(numMeshes < static_cast<size_t>(MAX_MESHES)))
        AssertionFailed("numMeshes < MAX_MESHES", SOURCE, __LINE__, "GraphicsLibrary: Too many meshes for IMGUI!");
    editorMeshNames.clear();
    for (size_t i = 0; i < numMeshes && i < static_cast<size_t>(MAX_MESHES); ++i)
        editorMeshNames.push_back(meshes[i]->name);
}

void GraphicsLibrary::RebuildEditorTextureList()
{
    const size_t numTextures = textures.size();
    if (!(numTextures + 1 < static_cast<size_t>(MAX_TEXTURES)))
        AssertionFailed("numTextures + 1 < MAX_TEXTURES", SOURCE, __LINE__,
                        "GraphicsLibrary: Too many textures for IMGUI!");
    editorTextureNames.clear();
    editorTextureNames.push_back("<no texture>");
    for (size_t i = 0; i < numTextures && editorTextureNames.size() < static_cast<size_t>(MAX_TEXTURES); ++i)
        editorTextureNames.push_back(textures[i]->name);
}
