#pragma once
// Plays frame animations on the Sprite of its object: counts frames with a per-frame timer, swaps the
// sprite's texture from image to image of a multi-image animation, loops or stops, and can put back
// the texture the sprite showed before a one-shot animation.
#include <string>

#include "core/Component.h"

class Sprite;
class Stream;

class SpriteSheet : public Component
{
public:
    // textureName: the texture the object's sprite shows when the sheet is made (may be empty).
    explicit SpriteSheet(std::string textureName = "");
    // The sheet of an object's "Animation" block: over the texture of the object's Sprite (traced
    // when the object has no textured Sprite).
    static Component* MakeFor(GameObject* object);
    ~SpriteSheet() override;

    std::string GetName() override;  // "SpriteSheet"
    void Init() override;
    void Update(float dt) override;
    void Draw() override;
    SpriteSheet* Clone() override;
    // "Animation": "StartingAnimation" (and "StartingAnimationIsLooping") starts an animation.
    void Read(Stream& stream) override;
    void ExposeFields() override;

    void PlayAnimation(std::string name, bool looping, std::string returnTo);
    void StopAnimation();
    void SetCurrentFrame(int frame);
    void SetFrameTime(float frameTime);
    // Switches the sprite to the texture (image 1 of a multi-image animation) without starting it.
    void LoadSheetInfo(std::string textureName);

    // The Sprite in slot 1 of the owner, or null.
    Sprite* GetSprite() const;

    std::string animationName;
    unsigned char playing = 0;
    unsigned char looping = 0;
    float timer = 0.0f;
    int numImages = 1;
    int numFramesLastImage = -1;
    int currentFrame = 0;
    int currentImage = 0;
    float frameTime = 0.0f;
    std::string returnTexture;
};
