#pragma once
// The collision shape of a game object: a circle, a line (a chain of segments) or a square (a box that may
// turn with its object), the trigger and dynamic flags read by the collision pass, the list of colliders
// this one is touching, the narrow-phase overlap test and the pairwise collision step.
#include <cstdint>
#include <string>
#include <vector>

#include "core/Component.h"

class Collider;
class Physics;

// Shape kinds. A collider of kind None never overlaps anything.
enum class ColliderShape : std::uint32_t {
    None = 0,
    Circle = 1,
    Line = 2,
    Square = 3,
};

// Kept for behaviours that install their own; the collision pass never calls it (collisions reach
// behaviours through their OnCollision operations).
using CollisionCallback = void (*)(Collider* self, Collider* other);

struct CircleShape {
    float radius = 0.0f;
};

struct LineSegment {
    float x1 = 0.0f;
    float y1 = 0.0f;
    float x2 = 0.0f;
    float y2 = 0.0f;
};

// Segment points are world coordinates.
struct LineShape {
    static constexpr int MAX_SEGMENTS = 100;
    std::int32_t pointCount = 0;   // segments in use (a line read from a file has one)
    LineSegment segments[MAX_SEGMENTS];

    // Segments actually usable: pointCount clamped to 0..MAX_SEGMENTS.
    int SegmentCount() const;
};

// Width and height are in object units (scaled by the object's Transform); the offset places the box's
// centre relative to the object's position.
struct SquareShape {
    float width = 1.0f;
    float height = 1.0f;
    float offsetX = 0.0f;
    float offsetY = 0.0f;
    float editorWidth = 1.0f;    // editor copies
    float editorHeight = 1.0f;
    Collider* owner = nullptr;   // not owned

    // Store the value and its editor copy.
    void SetWidth(float value);
    void SetHeight(float value);
};

// Where a collider's object stands: its Transform translation, rotation (radians) and scale.
struct ColliderPlacement {
    float x = 0.0f;
    float y = 0.0f;
    float rotation = 0.0f;
    float scaleX = 1.0f;
    float scaleY = 1.0f;
};

// Codes of collision records (the Physics side bits are 1 << code).
enum CollisionSide : int {
    SIDE_ABOVE = 0,
    SIDE_BELOW = 1,
    SIDE_LEFT = 2,
    SIDE_RIGHT = 3,
};

class Collider : public Component {
public:
    Collider();
    // Fresh copies of the shape records and of the contact list; a new id.
    Collider(const Collider& other);
    Collider& operator=(const Collider&) = delete;
    // Frees the shapes; when the contact list is not empty, posts "ColliderIDRemove" (id 31) with this
    // collider's id and no target, so that every other collider drops it.
    ~Collider() override;

    std::string GetName() override { return "Collider"; }
    void Init() override {}
    void Update(float) override {}
    // Debug outline (green) while the C key is held; lines draw nothing.
    void Draw() override;
    // A copy (see the copy constructor); a square clone gets the default collision callback.
    Object* Clone() override;
    // 31 "ColliderIDRemove" (Int: a collider id): drops that id from the contacts, when the message is
    // for everybody or for this collider (or its object). 33 "CollisionRemove" (UInt64: a collider id):
    // when the object has a behaviour, the id is a contact and that collider is still alive, the
    // behaviour's OnCollisionExit gets it.
    void HandleMessage(Message* message) override;
    // "Height", "Width", "Dimensions" re-apply the square's editor copies; "IsDynamic" the flag's.
    void OnFieldChanged(std::string field) override;
    // The "Collider" block of an object file.
    void Read(Stream& stream) override;
    void ExposeFields() override;
    // Announces that the collider goes: "CollisionRemove" with its id, then "ColliderIDRemove".
    void OnOwnerDestroyRequested(GameObject& owner) override;

    // The square's world width / height (scaled by the object's Transform; swapped when the object is
    // turned by about 90 degrees, or exactly 270). Without a square: reported, 0.
    float GetWidth();
    float GetHeight();
    // The circle's radius. Without a circle: reported, 0.
    float GetRadius();

    // Shape set-up from code (replaces whatever shape the collider had).
    void SetCircle(float radius);
    void SetSquare(float width, float height, float offsetX = 0.0f, float offsetY = 0.0f);
    void SetLine(float x1, float y1, float x2, float y2);
    // Appends a segment to a line collider (up to LineShape::MAX_SEGMENTS); false when it can't.
    bool AddLineSegment(float x1, float y1, float x2, float y2);

    // Process-wide unique id (never reused within a run).
    std::uint32_t GetID() const { return id; }
    bool HasContact(std::uint32_t otherId) const;
    ColliderShape GetShape() const { return static_cast<ColliderShape>(shapeType); }
    bool IsDynamicCollider() const { return IsDynamic != 0; }

    // The live collider with the given id, or null.
    static Collider* FindById(std::uint32_t colliderId);
    // Number of colliders alive.
    static std::size_t LiveCount();

    // Where the collider's object stands (defaults when it has no object or no Transform).
    ColliderPlacement GetPlacement() const;
    // World size of a square record at a placement.
    static void WorldSize(const SquareShape& square, const ColliderPlacement& at, float& width, float& height);

    // Narrow phase: do the two colliders overlap? The first collider's shape decides which test runs;
    // pairs without a test never overlap.
    static bool TestOverlap(Collider* a, Collider* b);
    // The same at given placements (the geometry alone).
    static bool TestOverlapAt(const Collider& a, const ColliderPlacement& at, const Collider& b,
                              const ColliderPlacement& bt);

    // One pair of the collision pass (a is the earlier object's collider): contacts, enter / stay / exit
    // calls on the behaviours, collision audio triggers, the player's particle pattern, blocking.
    static void ResolveCollision(Collider* a, Collider* b);
    // Sets the mover's blocked-side bits against the other collider and records each block.
    static void PushApart(Collider* mover, Collider* other);

    // The callback squares get when read or cloned; it does nothing.
    static void DefaultCollisionCallback(Collider* self, Collider* other);

    // Hooks for components that live elsewhere. When set, the collision step calls them:
    // AudioTriggerHook with an object's audio-event component and the trigger (2 collision, 3 collision
    // exit); ParticlePatternHook with the player's particle emitter and the pattern to switch to (the
    // emitter is made active as well).
    static void (*AudioTriggerHook)(Component* audioEvents, int trigger);
    static void (*ParticlePatternHook)(Component* particleEmitter, int pattern);

    // Fields.
    std::uint32_t shapeType = static_cast<std::uint32_t>(ColliderShape::None);
    CollisionCallback callback = nullptr;
    CircleShape* circle = nullptr;   // owned; only for circles
    LineShape* line = nullptr;       // owned; only for lines
    SquareShape* square = nullptr;   // owned; only for squares
    bool CanRotate = false;          // the square turns with its object (square-square test, outline)
    std::int32_t IsDynamic = 0;      // 1: takes part in collision resolution as a mover
    bool CollisionRotation = false;  // read from the file; not used
    std::vector<std::uint32_t> contacts;  // ids of the colliders this one touches
    bool IsTrigger = false;          // reports contacts but never blocks
    bool dynamic = false;            // editor copy of IsDynamic

private:
    void FreeShapes();
    void RemoveContact(std::uint32_t otherId);
    void Register();

    std::uint32_t id = 0;
};
