#include "world/Collider.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "core/Behavior.h"
#include "core/GameObject.h"
#include "core/MessageSystem.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "graphics/InputManager.h"
#include "graphics/ParticleEmitter.h"
#include "graphics/Window.h"
#include "world/Physics.h"
#include "world/PhysicsSystem.h"

namespace
{
// The player's particle emitter emits again, with the pattern of what the player touches.
void SetPlayerParticlePattern(Component* component, int pattern)
{
    if (auto* emitter = dynamic_cast<ParticleEmitter*>(component)) {
        emitter->active = 1;
        emitter->pattern = pattern;
    }
}

// The particle trail is denser while its object moves.
bool ParticleOwnerMoving(GameObject* owner)
{
    Physics* physics = owner ? owner->GetPhysics() : nullptr;
    return physics && (physics->VelocityX != 0.0f || physics->VelocityY != 0.0f);
}
[[maybe_unused]] const bool particleOwnerMovingSet = (ParticleOwnerMovingHook = ParticleOwnerMoving, true);
} // namespace

void (*Collider::AudioTriggerHook)(Component* audioEvents, int trigger) = nullptr;
void (*Collider::ParticlePatternHook)(Component* particleEmitter, int pattern) = SetPlayerParticlePattern;

namespace
{
const char* const BLOCK = "Collider";
const char* const LOCATION = "src/Collider";

constexpr int MSG_COLLIDER_ID_REMOVE = 31;
constexpr int MSG_COLLISION_REMOVE = 33;

constexpr int TRIGGER_COLLISION = 2;
constexpr int TRIGGER_COLLISION_EXIT = 3;

constexpr int KEY_INDEX_C = 20;   // GLFW_KEY_C in the input manager's key table
constexpr float PUSH_MARGIN = 0.01f;
constexpr float STATIC_PUSH = 10000.0f;
constexpr float CIRCLE_PUSH = 1000.0f;

constexpr int PLAYER_PARTICLES_RUG = 14;
constexpr int PLAYER_PARTICLES_DEFAULT = 13;

// Ids start at 1 so that 0 never names a collider.
std::uint32_t nextColliderId = 1;
std::unordered_map<std::uint32_t, Collider*>& LiveColliders()
{
    static std::unordered_map<std::uint32_t, Collider*> live;
    return live;
}

// ---- The owner's other components -------------------------------------------------------------------

Component* OwnerComponent(const Component* component, ComponentType type)
{
    if (!component || !component->owner)
        return nullptr;
    return component->owner->GetComponent(type);
}

Transform* OwnerTransform(const Component* component)
{
    return static_cast<Transform*>(OwnerComponent(component, ComponentType::Transform));
}

Behavior* OwnerBehavior(const Component* component)
{
    return static_cast<Behavior*>(OwnerComponent(component, ComponentType::Behavior));
}

Physics* OwnerPhysics(const Component* component)
{
    return static_cast<Physics*>(OwnerComponent(component, ComponentType::Physics));
}

std::string OwnerName(const Component* component)
{
    return (component && component->owner) ? component->owner->GetName() : std::string();
}

// True while the collider is still the live one with that id (a behaviour called from the collision
// step may have deleted an object outright).
bool StillAlive(const Collider* collider, std::uint32_t id)
{
    return Collider::FindById(id) == collider;
}

void FireAudio(Component* audioEvents, int trigger)
{
    if (audioEvents && Collider::AudioTriggerHook)
        Collider::AudioTriggerHook(audioEvents, trigger);
}

// ---- Geometry -----------------------------------------------------------------------------------------

struct Point {
    float x;
    float y;
};

Point Rotate(float x, float y, float angle)
{
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    return {x * c - y * s, x * s + y * c};
}

// The four corners of a square about its position (offsets are not used here), turned by the rotation
// when asked.
void Corners(const ColliderPlacement& at, float halfW, float halfH, bool turn, Point out[4])
{
    const float dx[4] = {-halfW, halfW, halfW, -halfW};
    const float dy[4] = {-halfH, -halfH, halfH, halfH};
    for (int i = 0; i < 4; ++i) {
        Point p{dx[i], dy[i]};
        if (turn)
            p = Rotate(p.x, p.y, at.rotation);
        out[i] = {at.x + p.x, at.y + p.y};
    }
}

void Project(const Point corners[4], const Point& axis, float& low, float& high)
{
    low = high = corners[0].x * axis.x + corners[0].y * axis.y;
    for (int i = 1; i < 4; ++i) {
        const float d = corners[i].x * axis.x + corners[i].y * axis.y;
        low = std::min(low, d);
        high = std::max(high, d);
    }
}

bool RotatedSquaresOverlap(const Collider& a, const ColliderPlacement& at, const Collider& b,
                           const ColliderPlacement& bt)
{
    float aw = 0.0f, ah = 0.0f, bw = 0.0f, bh = 0.0f;
    Collider::WorldSize(*a.square, at, aw, ah);
    Collider::WorldSize(*b.square, bt, bw, bh);
    const float ahw = aw * 0.5f, ahh = ah * 0.5f;
    const float bhw = bw * 0.5f, bhh = bh * 0.5f;

    if (!a.CanRotate && !b.CanRotate) {
        const float acx = at.x + a.square->offsetX, acy = at.y + a.square->offsetY;
        const float bcx = bt.x + b.square->offsetX, bcy = bt.y + b.square->offsetY;
        const float aLeft = acx - ahw, aRight = acx + ahw, aBottom = acy - ahh, aTop = acy + ahh;
        const float bLeft = bcx - bhw, bRight = bcx + bhw, bBottom = bcy - bhh, bTop = bcy + bhh;
        return bRight > aLeft && aRight > bLeft && aTop > bBottom && bTop > aBottom;
    }

    Point ac[4], bc[4];
    Corners(at, ahw, ahh, a.CanRotate, ac);
    Corners(bt, bhw, bhh, b.CanRotate, bc);
    const Point axes[4] = {
        {ac[1].x - ac[0].x, ac[1].y - ac[0].y},
        {ac[3].x - ac[0].x, ac[3].y - ac[0].y},
        {bc[1].x - bc[0].x, bc[1].y - bc[0].y},
        {bc[3].x - bc[0].x, bc[3].y - bc[0].y},
    };
    for (const Point& axis : axes) {
        float aLow, aHigh, bLow, bHigh;
        Project(ac, axis, aLow, aHigh);
        Project(bc, axis, bLow, bHigh);
        if (!(aHigh >= bLow && bHigh >= aLow))
            return false;
    }
    return true;
}

// A circle (at circleAt, radius r) against a square: the circle's centre lies in the square's box grown
// by the radius. The square's world size is scaled once more by the circle object's scale, x with x.
bool CircleSquareOverlap(float r, const ColliderPlacement& circleAt, const SquareShape& square,
                         const ColliderPlacement& squareAt)
{
    float w = 0.0f, h = 0.0f;
    Collider::WorldSize(square, squareAt, w, h);
    const float halfX = w * circleAt.scaleX * 0.5f;
    const float halfY = h * circleAt.scaleY * 0.5f;
    const float dx = squareAt.x - circleAt.x;
    const float dy = squareAt.y - circleAt.y;
    return std::fabs(dx) <= halfX + r && std::fabs(dy) <= halfY + r;
}

// 0 collinear, 1 positive, 2 negative: the sign of the cross product of (b - a) with (c - a).
int Orientation(float ax, float ay, float bx, float by, float cx, float cy)
{
    const float cross = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
    if (cross > 0.0f)
        return 1;
    if (cross < 0.0f)
        return 2;
    return 0;
}

bool SegmentsCross(const LineSegment& p, const LineSegment& q)
{
    const int o1 = Orientation(p.x1, p.y1, p.x2, p.y2, q.x1, q.y1);
    const int o2 = Orientation(p.x1, p.y1, p.x2, p.y2, q.x2, q.y2);
    const int o3 = Orientation(q.x1, q.y1, q.x2, q.y2, p.x1, p.y1);
    const int o4 = Orientation(q.x1, q.y1, q.x2, q.y2, p.x2, p.y2);
    return o1 != o2 && o3 != o4;
}

bool PolygonsOverlap(const LineShape& p, const LineShape& q)
{
    const int pn = p.SegmentCount();
    const int qn = q.SegmentCount();
    for (int i = 0; i < pn; ++i)
        for (int j = 0; j < qn; ++j)
            if (SegmentsCross(p.segments[i], q.segments[j]))
                return true;
    return false;
}

// Distance from the circle's centre to the infinite line through each segment; a segment of no length
// measures to its point.
bool LineCircleOverlap(const LineShape& line, float cx, float cy, float r)
{
    const int n = line.SegmentCount();
    for (int i = 0; i < n; ++i) {
        const LineSegment& s = line.segments[i];
        const float length = std::sqrt((s.x2 - s.x1) * (s.x2 - s.x1) + (s.y2 - s.y1) * (s.y2 - s.y1));
        float distance;
        if (length > 0.0f) {
            distance = std::fabs((s.y1 - s.y2) * cx + (s.x2 - s.x1) * cy + (s.y2 - s.y1) * s.x1 +
                                 (s.x1 - s.x2) * s.y1) / length;
        } else {
            distance = std::sqrt((cx - s.x1) * (cx - s.x1) + (cy - s.y1) * (cy - s.y1));
        }
        if (distance <= r)
            return true;
    }
    return false;
}

// ---- Reading helpers ------------------------------------------------------------------------------------

using Kind = Stream::ValueKind;

// True when Collider[key] is present with the expected JSON type. A member of another type is reported
// once and counts as missing.
bool Present(Stream& stream, const char* key, Kind kind)
{
    return stream.HasValue(BLOCK, key, kind);
}

// The two numbers of Collider[key] = [a, b]. Anything else is reported and leaves the values as they are.
void ReadPair(Stream& stream, const char* key, float& first, float& second)
{
    const rapidjson::Value& root = stream.data;
    const rapidjson::Value& block = root[BLOCK];
    const rapidjson::Value& value = block[key];
    if (!value.IsArray() || value.Size() < 2 || !value[0].IsNumber() || !value[1].IsNumber()) {
        Trace("Collider: \"%s\" should hold two numbers; keeping %g, %g", key, first, second);
        return;
    }
    first = value[0].GetFloat();
    second = value[1].GetFloat();
}

}  // namespace

// ---- Shape records ----------------------------------------------------------------------------------------

int LineShape::SegmentCount() const
{
    if (pointCount < 0)
        return 0;
    return pointCount > MAX_SEGMENTS ? MAX_SEGMENTS : pointCount;
}

void SquareShape::SetWidth(float value)
{
    width = value;
    editorWidth = value;
}

void SquareShape::SetHeight(float value)
{
    height = value;
    editorHeight = value;
}

// ---- Life -------------------------------------------------------------------------------------------------

Collider::Collider() : Component(ComponentType::Collider)
{
    Register();
}

Collider::Collider(const Collider& other)
    : Component(other),
      shapeType(other.shapeType),
      callback(other.callback),
      CanRotate(other.CanRotate),
      IsDynamic(other.IsDynamic),
      CollisionRotation(other.CollisionRotation),
      contacts(other.contacts),
      IsTrigger(other.IsTrigger),
      dynamic(other.dynamic)
{
    if (other.circle)
        circle = new CircleShape(*other.circle);
    if (other.line)
        line = new LineShape(*other.line);
    if (other.square) {
        square = new SquareShape(*other.square);
        square->owner = this;
        callback = &Collider::DefaultCollisionCallback;
    }
    Register();
}

Collider::~Collider()
{
    LiveColliders().erase(id);
    FreeShapes();
    if (!contacts.empty())
        SendMessage(MSG_COLLIDER_ID_REMOVE, static_cast<int>(id), nullptr);
}

void Collider::Register()
{
    id = nextColliderId++;
    if (nextColliderId == 0)   // after four billion colliders: skip 0 and carry on
        nextColliderId = 1;
    LiveColliders()[id] = this;
}

void Collider::FreeShapes()
{
    delete circle;
    delete line;
    delete square;
    circle = nullptr;
    line = nullptr;
    square = nullptr;
}

Collider* Collider::FindById(std::uint32_t colliderId)
{
    auto& live = LiveColliders();
    auto it = live.find(colliderId);
    return it == live.end() ? nullptr : it->second;
}

std::size_t Collider::LiveCount()
{
    return LiveColliders().size();
}

Object* Collider::Clone()
{
    return new Collider(*this);
}

void Collider::DefaultCollisionCallback(Collider*, Collider*)
{
}

// ---- Shapes -----------------------------------------------------------------------------------------------

void Collider::SetCircle(float radius)
{
    FreeShapes();
    shapeType = static_cast<std::uint32_t>(ColliderShape::Circle);
    circle = new CircleShape();
    circle->radius = radius;
}

void Collider::SetSquare(float width, float height, float offsetX, float offsetY)
{
    FreeShapes();
    shapeType = static_cast<std::uint32_t>(ColliderShape::Square);
    square = new SquareShape();
    square->owner = this;
    square->SetWidth(width);
    square->SetHeight(height);
    square->offsetX = offsetX;
    square->offsetY = offsetY;
    callback = &Collider::DefaultCollisionCallback;
}

void Collider::SetLine(float x1, float y1, float x2, float y2)
{
    FreeShapes();
    shapeType = static_cast<std::uint32_t>(ColliderShape::Line);
    line = new LineShape();
    line->pointCount = 1;
    line->segments[0] = {x1, y1, x2, y2};
}

bool Collider::AddLineSegment(float x1, float y1, float x2, float y2)
{
    if (!line || line->SegmentCount() >= LineShape::MAX_SEGMENTS)
        return false;
    const int n = line->SegmentCount();
    line->segments[n] = {x1, y1, x2, y2};
    line->pointCount = n + 1;
    return true;
}

float Collider::GetWidth()
{
    if (!square) {
        AssertionFailed("square", LOCATION, __LINE__, "This collider has no given width variable");
        return 0.0f;
    }
    float w = 0.0f, h = 0.0f;
    WorldSize(*square, GetPlacement(), w, h);
    return w;
}

float Collider::GetHeight()
{
    if (!square) {
        AssertionFailed("square", LOCATION, __LINE__, "This collider has no given height variable");
        return 0.0f;
    }
    float w = 0.0f, h = 0.0f;
    WorldSize(*square, GetPlacement(), w, h);
    return h;
}

float Collider::GetRadius()
{
    if (!circle) {
        AssertionFailed("circle", LOCATION, __LINE__, "This collider has no given height variable");
        return 0.0f;
    }
    return circle->radius;
}

ColliderPlacement Collider::GetPlacement() const
{
    ColliderPlacement at;
    if (const Transform* t = OwnerTransform(this)) {
        at.x = t->TranslationX;
        at.y = t->TranslationY;
        at.rotation = t->Rotation;
        at.scaleX = t->ScaleX;
        at.scaleY = t->ScaleY;
    }
    return at;
}

void Collider::WorldSize(const SquareShape& sq, const ColliderPlacement& at, float& width, float& height)
{
    const float degrees = at.rotation * 57.29578f;
    if (std::fabs(degrees - 90.0f) <= 1.0f || degrees == 270.0f) {
        width = sq.height * at.scaleY;
        height = sq.width * at.scaleX;
    } else {
        width = sq.width * at.scaleX;
        height = sq.height * at.scaleY;
    }
}

bool Collider::HasContact(std::uint32_t otherId) const
{
    return std::find(contacts.begin(), contacts.end(), otherId) != contacts.end();
}

void Collider::RemoveContact(std::uint32_t otherId)
{
    auto it = std::find(contacts.begin(), contacts.end(), otherId);
    if (it != contacts.end())
        contacts.erase(it);
}

// ---- Overlap ------------------------------------------------------------------------------------------------

bool Collider::TestOverlap(Collider* a, Collider* b)
{
    if (!a || !b)
        return false;
    return TestOverlapAt(*a, a->GetPlacement(), *b, b->GetPlacement());
}

bool Collider::TestOverlapAt(const Collider& a, const ColliderPlacement& at, const Collider& b,
                             const ColliderPlacement& bt)
{
    switch (a.GetShape()) {
    case ColliderShape::Circle:
        if (!a.circle)
            return false;
        if (b.GetShape() == ColliderShape::Circle && b.circle) {
            const float reach = a.circle->radius + b.circle->radius;
            const float dx = bt.x - at.x;
            const float dy = bt.y - at.y;
            return reach * reach >= dx * dx + dy * dy;
        }
        if (b.GetShape() == ColliderShape::Square && b.square)
            return CircleSquareOverlap(a.circle->radius, at, *b.square, bt);
        return false;   // a circle first never meets a line
    case ColliderShape::Square:
        if (!a.square)
            return false;
        if (b.GetShape() == ColliderShape::Square && b.square)
            return RotatedSquaresOverlap(a, at, b, bt);
        if (b.GetShape() == ColliderShape::Circle && b.circle)
            return CircleSquareOverlap(b.circle->radius, bt, *a.square, at);
        return false;
    case ColliderShape::Line:
        if (!a.line)
            return false;
        if (b.GetShape() == ColliderShape::Line && b.line)
            return PolygonsOverlap(*a.line, *b.line);
        if (b.GetShape() == ColliderShape::Circle && b.circle)
            return LineCircleOverlap(*a.line, bt.x, bt.y, b.circle->radius);
        return false;
    default:
        return false;
    }
}

// ---- Collision step -----------------------------------------------------------------------------------------

namespace
{
// Ends the contact of `self` with the collider `otherId`: the behaviour's exit call, the collision-exit
// audio events, and a "ColliderIDRemove" for self alone (other colliders that still touch the same
// collider keep it). Without a message system the contact is dropped at once.
void LeaveContact(Collider* self, Behavior* behavior, Component* audio, Collider* other, std::uint32_t otherId)
{
    const std::uint32_t selfId = self->GetID();
    if (behavior)
        behavior->OnCollisionExit(other);
    if (!StillAlive(self, selfId))
        return;
    FireAudio(audio, TRIGGER_COLLISION_EXIT);
    if (!StillAlive(self, selfId))
        return;
    if (gMessageSystem) {
        self->SendMessage(MSG_COLLIDER_ID_REMOVE, static_cast<int>(otherId), self);
    } else {
        auto it = std::find(self->contacts.begin(), self->contacts.end(), otherId);
        if (it != self->contacts.end())
            self->contacts.erase(it);
    }
}

// Enter or stay of `self` with `other`; appends the contact on enter.
void TouchContact(Collider* self, Behavior* behavior, Component* audio, Collider* other)
{
    const std::uint32_t selfId = self->GetID();
    const std::uint32_t otherId = other->GetID();
    if (self->HasContact(otherId)) {
        if (behavior)
            behavior->OnCollisionStay(other);
        return;
    }
    if (behavior)
        behavior->OnCollisionEnter(other);
    if (!StillAlive(self, selfId))
        return;
    FireAudio(audio, TRIGGER_COLLISION);
    if (!StillAlive(self, selfId))
        return;
    self->contacts.push_back(otherId);
}
}  // namespace

void Collider::ResolveCollision(Collider* a, Collider* b)
{
    if (!a || !b || a == b)
        return;
    if (!a->IsDynamic && !b->IsDynamic)
        return;
    const std::uint32_t aId = a->id;
    const std::uint32_t bId = b->id;
    auto bothAlive = [&]() { return StillAlive(a, aId) && StillAlive(b, bId); };

    if (!TestOverlap(a, b)) {
        Behavior* aBehavior = OwnerBehavior(a);
        Component* aAudio = OwnerComponent(a, ComponentType::AudioEventManager);
        if ((aBehavior || aAudio) && a->HasContact(bId))
            LeaveContact(a, aBehavior, aAudio, b, bId);
        if (!bothAlive())
            return;
        Behavior* bBehavior = OwnerBehavior(b);
        Component* bAudio = OwnerComponent(b, ComponentType::AudioEventManager);
        if ((bBehavior || bAudio) && b->HasContact(aId))
            LeaveContact(b, bBehavior, bAudio, a, aId);
        return;
    }

    if (!a->IsDynamic)
        Trace("Static NonStatic Collision");
    if (!a->IsTrigger && !b->IsTrigger)
        PushApart(a, b);

    Behavior* aBehavior = OwnerBehavior(a);
    Component* aAudio = OwnerComponent(a, ComponentType::AudioEventManager);
    if (aBehavior || aAudio) {
        TouchContact(a, aBehavior, aAudio, b);
        if (!bothAlive())
            return;
        if (a->owner && a->owner->GetName() == "Player") {
            Component* emitter = OwnerComponent(a, ComponentType::ParticleEmitter);
            if (emitter && ParticlePatternHook) {
                const bool rug = OwnerName(b).find("Rug") != std::string::npos;
                ParticlePatternHook(emitter, rug ? PLAYER_PARTICLES_RUG : PLAYER_PARTICLES_DEFAULT);
                if (!bothAlive())
                    return;
            }
        }
    }

    // A trigger never blocks, whichever side of the pair it is on.
    if (!a->IsTrigger)
        PushApart(b, a);

    Behavior* bBehavior = OwnerBehavior(b);
    Component* bAudio = OwnerComponent(b, ComponentType::AudioEventManager);
    if (bBehavior || bAudio)
        TouchContact(b, bBehavior, bAudio, a);
}

void Collider::PushApart(Collider* mover, Collider* other)
{
    if (!mover || !other || !mover->IsDynamic || mover->IsTrigger)
        return;
    Physics* physics = OwnerPhysics(mover);
    const std::string moverName = OwnerName(mover);
    const std::string otherName = OwnerName(other);

    auto block = [&](std::uint8_t bit, int side, float value, float velocity) {
        if (physics) {
            physics->AddSideBits(bit);
            physics->records.push_back({otherName, value, velocity, static_cast<std::uint32_t>(side)});
        }
        PhysicsSystem::RegisterCollision(moverName, otherName, value, velocity, side);
    };

    const ColliderPlacement mt = mover->GetPlacement();
    const ColliderPlacement ot = other->GetPlacement();

    if (mover->GetShape() == ColliderShape::Square && mover->square) {
        float mw = 0.0f, mh = 0.0f;
        WorldSize(*mover->square, mt, mw, mh);
        const float mcx = mt.x + mover->square->offsetX;
        const float mcy = mt.y + mover->square->offsetY;
        const float mLeft = mcx - mw * 0.5f, mRight = mcx + mw * 0.5f;
        const float mBottom = mcy - mh * 0.5f, mTop = mcy + mh * 0.5f;

        if (other->GetShape() == ColliderShape::Square && other->square) {
            float ow = 0.0f, oh = 0.0f;
            WorldSize(*other->square, ot, ow, oh);
            const float ocx = ot.x + other->square->offsetX;
            const float ocy = ot.y + other->square->offsetY;
            const float oLeft = ocx - ow * 0.5f, oRight = ocx + ow * 0.5f;
            const float oBottom = ocy - oh * 0.5f, oTop = ocy + oh * 0.5f;

            const bool otherDynamic = other->IsDynamic != 0;
            Physics* otherPhysics = otherDynamic ? OwnerPhysics(other) : nullptr;
            const float push = otherDynamic ? (otherPhysics ? otherPhysics->Mass : 1.0f) : STATIC_PUSH;
            const float vx = otherPhysics ? otherPhysics->VelocityX : 0.0f;
            const float vy = otherPhysics ? otherPhysics->VelocityY : 0.0f;

            if (mTop >= oBottom + PUSH_MARGIN && oTop - PUSH_MARGIN >= mBottom) {
                if (mRight >= oLeft + PUSH_MARGIN && oLeft > mLeft) {
                    block(BLOCKED_RIGHT, SIDE_RIGHT, push, vx);
                    if (physics)
                        physics->pushValue = push;
                }
                if (oRight >= mLeft && mRight > oRight) {
                    block(BLOCKED_LEFT, SIDE_LEFT, push, vx);
                    if (physics)
                        physics->pushValue = push;
                }
            }
            if (mRight >= oLeft + PUSH_MARGIN && oRight - PUSH_MARGIN >= mLeft) {
                if (mTop >= oBottom && oBottom > mBottom) {
                    if (!otherDynamic)
                        Trace("Push against other");
                    block(BLOCKED_ABOVE, SIDE_ABOVE, push, vy);
                }
                if (oTop >= mBottom && mTop > oTop)
                    block(BLOCKED_BELOW, SIDE_BELOW, push, vy);
            }
            return;
        }

        if (other->GetShape() == ColliderShape::Circle && other->circle) {
            const float cx = ot.x, cy = ot.y, r = other->circle->radius;
            if (mTop >= cy - r + PUSH_MARGIN && cy + r - PUSH_MARGIN >= mBottom) {
                if (mRight >= cx - r && cx - r > mLeft && std::fabs(mRight - cx) <= r)
                    block(BLOCKED_RIGHT, SIDE_RIGHT, CIRCLE_PUSH, 0.0f);
                if (mRight > cx + r && cx + r >= mLeft && std::fabs(mLeft - cx) <= r)
                    block(BLOCKED_LEFT, SIDE_LEFT, CIRCLE_PUSH, 0.0f);
            }
            if (mRight >= cx - r + PUSH_MARGIN && cx + r - PUSH_MARGIN >= mLeft) {
                if (mTop >= cy - r && cy - r + PUSH_MARGIN > mBottom)
                    block(BLOCKED_ABOVE, SIDE_ABOVE, CIRCLE_PUSH, 0.0f);
                if (cy + r >= mBottom && mTop > cy + r - PUSH_MARGIN && std::fabs(mBottom - cy) <= r)
                    block(BLOCKED_BELOW, SIDE_BELOW, CIRCLE_PUSH, 0.0f);
            }
        }
        return;
    }

    if (mover->GetShape() == ColliderShape::Circle && mover->circle &&
        other->GetShape() == ColliderShape::Square && other->square) {
        if (physics)
            physics->AddSideBits(BLOCKED_ABOVE);
    }
}

// ---- Messages, drawing, editor hooks, reading ----------------------------------------------------------------

void Collider::HandleMessage(Message* message)
{
    if (!message)
        return;
    if (message->Is(MSG_COLLIDER_ID_REMOVE)) {
        Object* target = message->target;
        if (target && target != this && target != static_cast<Object*>(owner))
            return;
        std::uint32_t removed = 0;
        switch (message->type) {
        case MessageType::UInt64: removed = static_cast<std::uint32_t>(message->number.u64); break;
        case MessageType::UInt: removed = message->number.u; break;
        default: removed = static_cast<std::uint32_t>(message->number.i); break;
        }
        RemoveContact(removed);
        return;
    }
    if (message->Is(MSG_COLLISION_REMOVE)) {
        Behavior* behavior = OwnerBehavior(this);
        if (!behavior)
            return;
        const std::uint64_t handle = message->type == MessageType::UInt64
                                         ? message->number.u64
                                         : static_cast<std::uint64_t>(message->number.u);
        const std::uint32_t otherId = static_cast<std::uint32_t>(handle);
        if (!HasContact(otherId))
            return;
        // Only a collider that is still alive is handed over.
        Collider* other = FindById(otherId);
        if (!other)
            return;
        behavior->OnCollisionExit(other);
    }
}

void Collider::Draw()
{
    if (!InputManagerInstance || !InputManagerInstance->IsKeyDown(KEY_INDEX_C))
        return;
    static const float green[4] = {0.0f, 1.0f, 0.0f, 1.0f};
    const ColliderPlacement at = GetPlacement();
    if (GetShape() == ColliderShape::Circle && circle) {
        DrawDebugRectangle(at.x, at.y, circle->radius * 2.0f, circle->radius * 2.0f, 0.0f, green);
    } else if (GetShape() == ColliderShape::Square && square) {
        float w = 0.0f, h = 0.0f;
        WorldSize(*square, at, w, h);
        DrawDebugRectangle(at.x + square->offsetX, at.y + square->offsetY, w, h, CanRotate ? at.rotation : 0.0f,
                           green);
    }
}

void Collider::OnFieldChanged(std::string field)
{
    if (square && (field == "Height" || field == "Width" || field == "Dimensions")) {
        square->SetHeight(square->editorHeight);
        square->SetWidth(square->editorWidth);
    } else if (field == "IsDynamic") {
        IsDynamic = dynamic ? 1 : 0;
    }
}

void Collider::ExposeFields()
{
    exposed = 1;
}

void Collider::Read(Stream& stream)
{
    if (!stream.data.IsObject() || !stream.data.HasMember(BLOCK) || !stream.data[BLOCK].IsObject()) {
        Trace("Collider: the object has no \"Collider\" block; no shape");
        return;
    }
    const std::string type = stream.ReadString(BLOCK, "Type");
    if (Present(stream, "IsTrigger", Kind::Bool))
        IsTrigger = stream.ReadBool(BLOCK, "IsTrigger");

    if (type == "Circle") {
        SetCircle(stream.ReadFloat(BLOCK, "Radius"));
    } else if (type == "Line") {
        const float x1 = stream.ReadFloat(BLOCK, "Point1X");
        const float y1 = stream.ReadFloat(BLOCK, "Point1Y");
        const float x2 = stream.ReadFloat(BLOCK, "Point2X");
        // The second y has its own key when the file gives one; older files repeat "Point2X".
        const float y2 = stream.ReadFloat(BLOCK, Present(stream, "Point2Y", Kind::Number) ? "Point2Y" : "Point2X");
        SetLine(x1, y1, x2, y2);
    } else if (type == "Square") {
        float w = 1.0f, h = 1.0f, ox = 0.0f, oy = 0.0f;
        if (stream.HasMember(BLOCK, "Dimensions"))
            ReadPair(stream, "Dimensions", w, h);
        if (stream.HasMember(BLOCK, "Offset"))
            ReadPair(stream, "Offset", ox, oy);
        SetSquare(w, h, ox, oy);
    } else {
        FreeShapes();
        shapeType = static_cast<std::uint32_t>(ColliderShape::None);
    }

    if (Present(stream, "DynamicState", Kind::String))
        IsDynamic = stream.ReadString(BLOCK, "DynamicState") == "Dynamic" ? 1 : 0;
    else
        IsDynamic = 0;
    if (Present(stream, "IsDynamic", Kind::Bool))
        IsDynamic = stream.ReadBool(BLOCK, "IsDynamic") ? 1 : 0;
    dynamic = IsDynamic != 0;

    if (Present(stream, "CanRotate", Kind::Bool))
        CanRotate = stream.ReadBool(BLOCK, "CanRotate");
    if (Present(stream, "CollisionRotation", Kind::Bool))
        CollisionRotation = stream.ReadBool(BLOCK, "CollisionRotation");
}

Collider* GameObject::GetCollider() const
{
    return static_cast<Collider*>(GetComponent(ComponentType::Collider));
}

void Collider::OnOwnerDestroyRequested(GameObject& object)
{
    const std::uint64_t colliderId = GetID();
    object.SendMessage(MessageId::CollisionRemove, colliderId, nullptr);
    object.SendMessage(MessageId::ColliderIDRemove, static_cast<int>(colliderId & 0xFFFFFFFFu), nullptr);
}
