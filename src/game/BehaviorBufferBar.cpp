#include "game/BehaviorBufferBar.h"

#include <algorithm>

#include "core/Message.h"
#include "core/Stream.h"
#include "game/BehaviorFields.h"
#include "graphics/GraphicsLibrary.h"

float BufferMaxTime = 0.0f;
float BufferIncrement = 0.0f;
float BufferCircleRadius = 0.0f;
int BufferNumSegments = 0;
float BufferSegmentScaleX = 0.0f;
float BufferSegmentScaleY = 0.0f;

void ResetBufferBarGlobals()
{
    BufferMaxTime = 0.0f;
    BufferIncrement = 0.0f;
    BufferCircleRadius = 0.0f;
    BufferNumSegments = 0;
    BufferSegmentScaleX = 0.0f;
    BufferSegmentScaleY = 0.0f;
}

BehaviorBufferBar::BehaviorBufferBar() : buffer(BufferMaxTime)
{
    transform.ScaleX = 1.0f;
    transform.ScaleY = 1.0f;
}

void BehaviorBufferBar::Init()
{
    if (!mesh && GraphicsLibraryInstance)
        mesh = GraphicsLibrary::GetMesh("empty_mesh");
}

Object* BehaviorBufferBar::Clone()
{
    auto* copy = new BehaviorBufferBar();
    CopyComponentFields(*copy);
    copy->currentState = currentState;
    copy->nextState = nextState;
    copy->timer = timer;
    copy->buffer = buffer;
    copy->reserved = reserved;
    copy->mesh = mesh;
    copy->transform.TranslationX = transform.TranslationX;
    copy->transform.TranslationY = transform.TranslationY;
    copy->transform.Rotation = transform.Rotation;
    copy->transform.ScaleX = transform.ScaleX;
    copy->transform.ScaleY = transform.ScaleY;
    return copy;
}

void BehaviorBufferBar::HandleMessage(Message* message)
{
    if (!message)
        return;
    if (message->Is(MessageId::IncreaseBuffer)) {
        buffer = std::min(buffer + BufferIncrement, BufferMaxTime);
        SendMessage(MessageId::SetCountdown, 0, nullptr);
    } else if (message->Is(MessageId::ZeroBuffer)) {
        buffer = 0.0f;
        SendMessage(MessageId::SetPlayerBufferFreeze, 0, nullptr);
        SendMessage(MessageId::SetCountdown, 1, nullptr);
    }
}

void BehaviorBufferBar::Read(Stream& stream)
{
    using namespace behaviorfields;
    OptionalFloat(stream, "MaxTime", BufferMaxTime);
    OptionalFloat(stream, "TimerIncrementOnPickup", BufferIncrement);
    OptionalFloat(stream, "CircleRadius", BufferCircleRadius);
    OptionalInt(stream, "NumSegments", BufferNumSegments);
    OptionalFloat(stream, "SegmentScaleX", BufferSegmentScaleX);
    OptionalFloat(stream, "SegmentScaleY", BufferSegmentScaleY);
}

void BehaviorBufferBar::OnEnter()
{
    if (currentState == NO_STATE)
        nextState = 0;
    buffer = BufferMaxTime;
}
