#include "game/BehaviorScoreDisplay.h"

#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "game/ScoreManager.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteSheet.h"
#include "graphics/Texture.h"
#include "graphics/Window.h"

namespace {
const char* const NUMBER_ARCHETYPE = "archetypes/Number";
}

BehaviorScoreDisplay::~BehaviorScoreDisplay()
{
    if (gScoreManager && gScoreManager->display == this)
        gScoreManager->display = nullptr;
}

void BehaviorScoreDisplay::Read(Stream&)
{
    Transform* transform = owner ? owner->GetTransform() : nullptr;
    if (!transform)
        return;
    originX = transform->TranslationX;
    originY = transform->TranslationY;
    digitWidth = 2.0f * transform->ScaleX;
}

BehaviorScoreDisplay* BehaviorScoreDisplay::Clone()
{
    auto* copy = new BehaviorScoreDisplay();
    CopyComponentFields(*copy);
    copy->currentState = currentState;
    copy->nextState = nextState;
    copy->timer = timer;
    copy->digits = digits;
    copy->originX = originX;
    copy->originY = originY;
    copy->digitWidth = digitWidth;
    return copy;
}

void BehaviorScoreDisplay::OnEnter()
{
    digits.clear();
    // Without a chosen state the exit / enter pair would run every frame, forgetting the digits and
    // making new ones each time.
    if (currentState == NO_STATE)
        nextState = 0;
    if (gScoreManager)
        gScoreManager->display = this;
}

void BehaviorScoreDisplay::OnExit()
{
    digits.clear();
}

void BehaviorScoreDisplay::OnUpdate(float)
{
    if (!GraphicsLibraryInstance)
        return;
    Transform coin;
    coin.SetTranslation(originX - digitWidth, originY - 0.075f);
    coin.SetScale(7.5f * digitWidth, 7.5f * digitWidth);
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    DrawMesh(0, false, GraphicsLibrary::GetMesh("textured_mesh"), GraphicsLibrary::GetTexture("coin", -1), -1.0f,
             -1.0f, &coin, white);
}

void BehaviorScoreDisplay::SetScore(int n)
{
    std::string text;
    for (char c : std::to_string(n)) {
        // The sign of a negative score has no frame.
        if (c >= '0' && c <= '9')
            text += c;
    }
    for (std::size_t j = 0; j < text.size(); ++j) {
        GameObject* digit = j < digits.size() ? digits[j].Get() : nullptr;
        if (j >= digits.size()) {
            if (numberMissing_ || !gGameObjectFactory)
                return;
            if (!Stream(NUMBER_ARCHETYPE, StreamMode_Data, false).IsValid()) {
                Trace("BehaviorScoreDisplay: \"%s\" not found; the score has no digits", NUMBER_ARCHETYPE);
                numberMissing_ = true;
                return;
            }
            digit = gGameObjectFactory->CreateGameObject(NUMBER_ARCHETYPE, true);
            digits.emplace_back(digit);
            if (Transform* transform = digit ? digit->GetTransform() : nullptr) {
                transform->SetTranslation(transform->TranslationX, originY);
                transform->SetScale(digitWidth * 0.5f, digitWidth * 0.5f);
            }
            SpriteSheet* sheet = digit ? digit->GetSpriteSheet() : nullptr;
            Sprite* sprite = digit ? digit->GetSprite() : nullptr;
            if (sheet && sprite && sprite->texture && GraphicsLibraryInstance) {
                sheet->PlayAnimation(sprite->texture->name, false, "");
                sheet->StopAnimation();
            }
        }
        if (!digit)
            continue;
        if (SpriteSheet* sheet = digit->GetSpriteSheet())
            sheet->SetCurrentFrame(text[j] - '0');
        Transform* transform = digit->GetTransform();
        const float x = originX + static_cast<float>(j) * digitWidth;
        if (transform && transform->TranslationX != x)
            transform->SetTranslation(x, transform->TranslationY);
    }
}
