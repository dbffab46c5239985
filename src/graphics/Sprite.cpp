#include "graphics/Sprite.h"

#include <algorithm>

#include "core/GameObject.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "graphics/Font.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/Mesh.h"
#include "graphics/Texture.h"
#include "graphics/Window.h"

namespace
{
const char* const SPRITE_BLOCK = "Sprite";

using Kind = Stream::ValueKind;

// True when the "Sprite" block holds the key with a value of the expected kind. A value of another
// kind counts as missing and is reported once.
bool Has(const Stream& stream, const char* key, Kind kind)
{
    return stream.HasValue(SPRITE_BLOCK, key, kind);
}

// The draw layers that can be chosen by name; layer 1 has none.
struct LayerName
{
    const char* name;
    unsigned layer;
};
const LayerName LAYER_NAMES[] = {
    {"UI", 0},           {"AbovePlayer01", 2}, {"AbovePlayer00", 3}, {"PlayerUI", 4},
    {"PlayerEyes", 5},   {"Player", 6},        {"Treasure", 7},      {"Props", 8},
    {"Obstacles", 9},    {"Background", 10},
};
}  // namespace

Sprite::Sprite() : Component(ComponentType::Sprite)
{
}

Sprite::~Sprite()
{
    // A text item queued this frame must not outlive its sprite in the window's text layers.
    if (text && CurrentWindow)
    {
        for (auto& items : CurrentWindow->textLayers)
            items.erase(std::remove(items.begin(), items.end(), text), items.end());
    }
    delete text;
    text = nullptr;
}

std::string Sprite::GetName()
{
    return name;
}

void Sprite::Init()
{
}

void Sprite::Update(float)
{
    // Mesh: follow meshIndex when it no longer names the mesh we hold. A sprite without a mesh is
    // not resolved from its index.
    if (mesh && meshIndex != GraphicsLibrary::GetMeshIndex(mesh->name))
    {
        if (Mesh* found = GraphicsLibrary::GetMeshByIndex(meshIndex))
        {
            mesh = found;
            meshIndex = GraphicsLibrary::GetMeshIndex(found->name);
        }
    }

    // Texture: follow textureIndex; -1 removes the texture.
    if (texture && textureIndex == GraphicsLibrary::GetTextureIndex(texture->name))
        return;
    if (!texture && textureIndex == -1)
        return;
    texture = GraphicsLibrary::GetTextureByIndex(textureIndex);
    textureIndex = texture ? GraphicsLibrary::GetTextureIndex(texture->name) : -1;
}

void Sprite::Draw()
{
    if (mesh && owner && layer <= 10)
        DrawSprite(static_cast<int>(layer), owner, static_cast<int>(drawMode));
    if (text && CurrentWindow)
        CurrentWindow->QueueText(0, text);
}

Sprite* Sprite::Clone()
{
    Sprite* copy = new Sprite();
    CopyComponentFields(*copy);

    copy->mesh = nullptr;
    copy->meshIndex = 0;
    if (mesh)
    {
        if (Mesh* found = GraphicsLibrary::GetMesh(mesh->name))
        {
            copy->mesh = found;
            copy->meshIndex = GraphicsLibrary::GetMeshIndex(found->name);
        }
    }

    copy->texture = nullptr;
    copy->textureIndex = -1;
    if (texture)
    {
        copy->texture = GraphicsLibrary::GetTexture(texture->name, -1);
        copy->textureIndex = copy->texture ? GraphicsLibrary::GetTextureIndex(copy->texture->name) : -1;
    }

    if (text)
        copy->SetText(text->text, text->font ? text->font->name : std::string());

    copy->drawMode = drawMode;
    copy->layer = layer;
    copy->ui = ui;
    copy->drawThroughFog = drawThroughFog;
    for (int i = 0; i < 4; ++i)
        copy->color[i] = color[i];
    for (int i = 0; i < 3; ++i)
        copy->particleColor[i] = particleColor[i];
    copy->name = name;
    return copy;
}

void (*WriteMenuSpriteHook)(const std::string& objectName) = nullptr;

void Sprite::WriteToMenuFile()
{
    if (WriteMenuSpriteHook && owner)
        WriteMenuSpriteHook(owner->GetName());
}

void Sprite::Read(Stream& stream)
{
    if (Has(stream, "Mesh", Kind::String))
    {
        std::string meshName = stream.ReadString(SPRITE_BLOCK, "Mesh");
        if (Mesh* found = GraphicsLibrary::GetMesh(meshName))
        {
            mesh = found;
            meshIndex = GraphicsLibrary::GetMeshIndex(found->name);
        }
    }
    if (Has(stream, "Texture", Kind::String))
    {
        std::string textureName = stream.ReadString(SPRITE_BLOCK, "Texture");
        texture = GraphicsLibrary::GetTexture(textureName, -1);
        textureIndex = texture ? GraphicsLibrary::GetTextureIndex(texture->name) : -1;
    }
    if (Has(stream, "Text", Kind::String))
    {
        std::string fontName = stream.ReadString(SPRITE_BLOCK, "Font");
        std::string textString = stream.ReadString(SPRITE_BLOCK, "Text");
        SetText(textString, fontName);
    }
    if (Has(stream, "DrawMode", Kind::String))
        SetDrawMode(stream.ReadString(SPRITE_BLOCK, "DrawMode"));
    if (Has(stream, "Layer", Kind::String))
        SetLayer(stream.ReadString(SPRITE_BLOCK, "Layer"));
    if (Has(stream, "UI", Kind::Bool))
        ui = stream.ReadBool(SPRITE_BLOCK, "UI") ? 1 : 0;
    if (Has(stream, "DrawThroughFog", Kind::Bool))
        drawThroughFog = stream.ReadBool(SPRITE_BLOCK, "DrawThroughFog") ? 1 : 0;
    // Only "ColorR" decides whether the three colour channels are read.
    if (Has(stream, "ColorR", Kind::Number))
    {
        color[2] = stream.ReadFloat(SPRITE_BLOCK, "ColorB");
        color[1] = stream.ReadFloat(SPRITE_BLOCK, "ColorG");
        color[0] = stream.ReadFloat(SPRITE_BLOCK, "ColorR");
    }
    if (Has(stream, "Alpha", Kind::Number))
        color[3] = stream.ReadFloat(SPRITE_BLOCK, "Alpha");
    if (Has(stream, "Name", Kind::String))
        name = stream.ReadString(SPRITE_BLOCK, "Name");
    if (Has(stream, "ParColorR", Kind::Number))
        particleColor[0] = stream.ReadFloat(SPRITE_BLOCK, "ParColorR");
    if (Has(stream, "ParColorG", Kind::Number))
        particleColor[1] = stream.ReadFloat(SPRITE_BLOCK, "ParColorG");
    if (Has(stream, "ParColorB", Kind::Number))
        particleColor[2] = stream.ReadFloat(SPRITE_BLOCK, "ParColorB");
}

void Sprite::ExposeFields()
{
    // The library rebuilds its editor name lists after every load; there is nothing more to register.
    exposed = 1;
}

void Sprite::SetText(std::string newText, std::string fontName)
{
    if (text)
    {
        if (!fontName.empty())
            text->font = GraphicsLibrary::GetFont(fontName);
        text->text = newText;
        return;
    }
    if (newText.empty() || fontName.empty())
        return;
    TextItem* item = new TextItem();
    item->text = newText;
    item->x = 0.0f;
    item->y = 0.0f;
    item->scale = 1.0f;
    for (int i = 0; i < 4; ++i)
        item->color[i] = 1.0f;
    item->font = GraphicsLibrary::GetFont(fontName);
    text = item;
}

void Sprite::SetDrawMode(std::string modeName)
{
    if (modeName == "Edges")
        drawMode = 0;
    else if (modeName == "Faces")
        drawMode = 1;
    else if (modeName == "EdgesAndFaces")
        drawMode = 2;
}

void Sprite::SetLayer(std::string layerName)
{
    for (const LayerName& entry : LAYER_NAMES)
    {
        if (layerName == entry.name)
        {
            layer = entry.layer;
            return;
        }
    }
    AssertionFailed("false", "src/Sprite", 327, "Layer \"" + layerName + "\" doesn't exist");
}

Sprite* GameObject::GetSprite() const
{
    return static_cast<Sprite*>(GetComponent(ComponentType::Sprite));
}
