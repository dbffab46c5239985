#pragma once
// The look of a game object: mesh, texture, tint, draw mode, draw layer, interface and through-fog
// flags, an optional line of text, a name, and the colour its particle effects take.
#include <string>

#include "core/Component.h"

class Mesh;
class Texture;
class Stream;
struct TextItem;

class Sprite : public Component
{
public:
    // The layer a sprite has before its data names one. It is outside the eleven draw layers
    // (0..10), so such a sprite queues no draw command (its text is still queued).
    static constexpr unsigned NO_LAYER = 11;

    Sprite();
    ~Sprite() override;

    // The sprite's "Name", or "" when it has read none.
    std::string GetName() override;
    void Init() override;
    // Re-resolves mesh and texture when only their indices were changed. dt is not used.
    void Update(float dt) override;
    // Queues the sprite on its layer (when it has a mesh and a layer 0..10) and its text on text layer 0.
    void Draw() override;
    Sprite* Clone() override;
    void WriteToMenuFile() override;
    // Reads the "Sprite" block of the object's file; absent keys leave their fields as they are.
    void Read(Stream& stream) override;
    void ExposeFields() override;

    // Creates or updates the text item (see Sprite.cpp for the rules).
    void SetText(std::string text, std::string fontName);
    // "Edges" 0, "Faces" 1, "EdgesAndFaces" 2; any other name is ignored.
    void SetDrawMode(std::string name);
    // Layer by name ("UI" 0, "AbovePlayer01" 2 ... "Background" 10); an unknown name is reported and
    // the layer is kept.
    void SetLayer(std::string name);

    Mesh* mesh = nullptr;          // owned by the GraphicsLibrary
    Texture* texture = nullptr;    // owned by the GraphicsLibrary; null = untextured
    TextItem* text = nullptr;      // owned
    unsigned drawMode = 1;         // 0 edges, 1 faces, 2 edges and faces
    unsigned layer = NO_LAYER;
    unsigned char ui = 0;
    unsigned char drawThroughFog = 0;
    float color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    std::string name;              // empty = no name
    int meshIndex = 0;
    int textureIndex = -1;
    float particleColor[3] = {1.0f, 1.0f, 1.0f};
};

// Writes a menu object's sprite into its menu file; set by the menu system (null without one).
extern void (*WriteMenuSpriteHook)(const std::string& objectName);
