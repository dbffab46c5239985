#pragma once
// The one registry of graphics resources: meshes, textures and fonts, each loaded from its JSON
// description the first time it is asked for by name and kept until shutdown, so indexes stay valid.
#include <string>
#include <vector>

class Mesh;
class Texture;
struct Font;
class EditorSystem;

class GraphicsLibrary {
public:
    // Sizes of the editor name lists.
    static constexpr int MAX_MESHES = 8;
    static constexpr int MAX_TEXTURES = 128;

    // Starts empty and publishes itself in GraphicsLibraryInstance (the Window does the same).
    GraphicsLibrary();
    // Destroys every mesh, texture and font; clears GraphicsLibraryInstance when it points here.
    // Needs the OpenGL context that loaded them to be current.
    ~GraphicsLibrary();
    GraphicsLibrary(const GraphicsLibrary&) = delete;
    GraphicsLibrary& operator=(const GraphicsLibrary&) = delete;

    // All accessors work on GraphicsLibraryInstance. Without an instance they report it and return
    // null (pointers) or -1 (indexes).

    // Finds the mesh by name, else loads "assets/data/meshes/<name>.json"; null when that is missing.
    static Mesh* GetMesh(const std::string& name);
    static Mesh* GetMeshByIndex(int index);
    // Index of the first mesh with that name, -1 when none; never loads.
    static int GetMeshIndex(const std::string& name);

    // image -1: the texture itself; image k >= 1: image k of a multi-image texture (looked up as
    // name + k). Finds it, else builds it (and its sibling images) from "textures/<name>".
    static Texture* GetTexture(const std::string& name, int image = -1);
    static Texture* GetTextureByIndex(int index);
    static int GetTextureIndex(const std::string& name);

    // Finds the font by name, else loads "assets/data/fonts/<name>.json"; null when that is missing.
    static Font* GetFont(const std::string& name);

    static void SetEditorSystem(EditorSystem* editorSystem);

    EditorSystem* editorSystem_ = nullptr;
    std::vector<Mesh*> meshes;      // owned, in load order
    std::vector<Texture*> textures; // owned, in creation order
    std::vector<Font*> fonts;       // owned, in load order

    // Name lists for an editor panel, rebuilt after loads. They never hold more than MAX_MESHES,
    // respectively MAX_TEXTURES, entries.
    std::vector<std::string> editorMeshNames;
    std::vector<std::string> editorTextureNames;

private:
    void RebuildEditorMeshList();
    void RebuildEditorTextureList();
    // Creates the textures of one request (see GetTexture) and appends them in creation order.
    Texture* BuildTextures(const std::string& name, int image, const std::string& key);
};

// The instance every accessor works on; set when the Window creates the library.
extern GraphicsLibrary* GraphicsLibraryInstance;
