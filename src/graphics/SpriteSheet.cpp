#include "graphics/SpriteSheet.h"

#include "core/GameObject.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/Sprite.h"
#include "graphics/Texture.h"

namespace
{
// Points the sprite at a texture, keeping its index paired with it (-1 for none).
void SetSpriteTexture(Sprite* sprite, Texture* texture)
{
    if (!sprite)
        return;
    sprite->texture = texture;
    sprite->textureIndex = texture ? GraphicsLibrary::GetTextureIndex(texture->name) : -1;
}
}  // namespace

SpriteSheet::SpriteSheet(std::string textureName)
    : Component(ComponentType::SpriteSheet), animationName(std::move(textureName))
{
}

SpriteSheet::~SpriteSheet() = default;

std::string SpriteSheet::GetName()
{
    return "SpriteSheet";
}

void SpriteSheet::Init()
{
}

void SpriteSheet::Draw()
{
}

Sprite* SpriteSheet::GetSprite() const
{
    if (!owner)
        return nullptr;
    return owner->GetSprite();
}

SpriteSheet* SpriteSheet::Clone()
{
    SpriteSheet* copy = new SpriteSheet();
    CopyComponentFields(*copy);
    copy->playing = playing;
    copy->looping = looping;
    copy->timer = timer;
    copy->currentFrame = currentFrame;
    copy->frameTime = frameTime;
    // The clone plays on as a single-image animation of whatever its sprite shows.
    copy->animationName.clear();
    copy->returnTexture.clear();
    copy->numImages = 0;
    copy->numFramesLastImage = 0;
    copy->currentImage = 0;
    return copy;
}

void SpriteSheet::Read(Stream& stream)
{
    // Only a string names an animation; anything else counts as no starting animation.
    if (!stream.data.IsObject())
        return;
    auto block = stream.data.FindMember("Animation");
    if (block == stream.data.MemberEnd() || !block->value.IsObject())
        return;
    auto start = block->value.FindMember("StartingAnimation");
    if (start == block->value.MemberEnd())
        return;
    if (!start->value.IsString())
    {
        Trace("SpriteSheet: \"StartingAnimation\" is not a texture name and is ignored");
        return;
    }
    bool loop = stream.ReadBool("Animation", "StartingAnimationIsLooping");
    std::string name = stream.ReadString("Animation", "StartingAnimation");
    PlayAnimation(name, loop, "");
}

void SpriteSheet::ExposeFields()
{
    exposed = 1;
}

void SpriteSheet::LoadSheetInfo(std::string textureName)
{
    Sprite* sprite = GetSprite();
    if (textureName.empty())
    {
        SetSpriteTexture(sprite, nullptr);
        animationName.clear();
        return;
    }

    animationName = textureName;
    Stream file(("textures/" + textureName).c_str(), 0);
    if (!file.IsValid())
    {
        Texture* whole = GraphicsLibrary::GetTexture(textureName, -1);
        if (whole)
        {
            SetSpriteTexture(sprite, whole);
        }
        else
        {
            Trace("Texture file \"assets/data/textures/%s.json\" could not be found!", textureName.c_str());
            SetSpriteTexture(sprite, nullptr);
            animationName.clear();
        }
        return;
    }

    if (file.HasMember("numImages"))
    {
        numImages = file.ReadInt("numImages");
        numFramesLastImage = file.ReadInt("numFramesLastImage");
        currentImage = 0;
        SetSpriteTexture(sprite, GraphicsLibrary::GetTexture(textureName, 1));
    }
    else
    {
        numImages = 1;
        SetSpriteTexture(sprite, GraphicsLibrary::GetTexture(textureName, -1));
    }
}

void SpriteSheet::PlayAnimation(std::string name, bool loop, std::string returnTo)
{
    Sprite* sprite = GetSprite();
    if (!loop)
    {
        if (!returnTo.empty())
            returnTexture = returnTo;
        else if (!playing)
            // Nothing to put back when the sprite shows no texture.
            returnTexture = (sprite && sprite->texture) ? sprite->texture->name : std::string();
    }

    LoadSheetInfo(name);

    looping = loop ? 1 : 0;
    Texture* sheet = name.empty() ? nullptr : GraphicsLibrary::GetTexture(name, -1);
    if (!sheet || !sprite || !sprite->texture)
    {
        // No texture to count frames on: the animation does not start.
        playing = 0;
        frameTime = sheet ? sheet->frameTime : 0.0f;
        timer = frameTime;
        currentFrame = 0;
        return;
    }
    playing = 1;
    frameTime = sheet->frameTime;
    timer = frameTime;
    currentFrame = 0;
}

void SpriteSheet::StopAnimation()
{
    playing = 0;
    if (!returnTexture.empty())
    {
        SetSpriteTexture(GetSprite(), GraphicsLibrary::GetTexture(returnTexture, -1));
        returnTexture.clear();
    }
}

void SpriteSheet::SetCurrentFrame(int frame)
{
    if (frame < 0)
        AssertionFailed("frame >= 0", "src/SpriteSheet", 231, "Frame passed in was negative!");
    currentFrame = frame;
}

void SpriteSheet::SetFrameTime(float newFrameTime)
{
    if (!(newFrameTime > 0.0f))
        AssertionFailed("frameTime > 0.0f", "src/SpriteSheet", 237, "Frame time passed in was negative!");
    frameTime = newFrameTime;
    timer = newFrameTime;
}

void SpriteSheet::Update(float dt)
{
    if (!playing)
        return;

    timer -= dt;
    if (!(timer < 0.0f))
        return;

    Sprite* sprite = GetSprite();
    if (!sprite || !sprite->texture)
    {
        // The sprite lost its texture (or the object its sprite): there are no frames to step through.
        playing = 0;
        currentFrame = 0;
        timer = frameTime;
        return;
    }

    int next = currentFrame + 1;
    currentFrame = next;
    int frames = sprite->texture->numFrames;

    if (numImages <= 1)
    {
        if (next < frames)
        {
            timer = frameTime;
            return;
        }
        currentFrame = 0;
        if (!looping)
            StopAnimation();
        timer = frameTime;
        return;
    }

    if (next < frames && (currentImage < numImages - 1 || next < numFramesLastImage))
    {
        timer = frameTime;
        return;
    }

    // The image is done: on to the next one, or round to the first.
    currentImage += 1;
    currentFrame = 0;
    bool putBack = false;
    if (currentImage >= numImages)
    {
        currentImage = 0;
        if (!looping)
        {
            playing = 0;
            if (!returnTexture.empty())
            {
                SetSpriteTexture(sprite, GraphicsLibrary::GetTexture(returnTexture, -1));
                returnTexture.clear();
                putBack = true;
            }
        }
    }
    if (!putBack)
        SetSpriteTexture(sprite, GraphicsLibrary::GetTexture(animationName, currentImage + 1));
    timer = frameTime;
}

SpriteSheet* GameObject::GetSpriteSheet() const
{
    return static_cast<SpriteSheet*>(GetComponent(ComponentType::SpriteSheet));
}

Component* SpriteSheet::MakeFor(GameObject* object)
{
    std::string textureName;
    Sprite* sprite = object ? object->GetSprite() : nullptr;
    if (sprite && sprite->texture) {
        textureName = sprite->texture->name;
    } else {
        Trace("Object %s has an Animation block but no textured Sprite",
              object ? object->GetName().c_str() : "");
    }
    return new SpriteSheet(textureName);
}
