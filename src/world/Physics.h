#pragma once
// Motion of a game object: velocity, rotational velocity, mass and the sides it is blocked on this frame.
// Every game object has one. Its Update clamps the velocity against the blocked sides, moves the object
// when its collider is dynamic, turns it and clears the per-frame state.
#include <cstdint>
#include <string>
#include <vector>

#include "core/Component.h"

// One block made by Collider::PushApart.
struct CollisionRecord {
    std::string other;       // the other object's name
    float value = 0.0f;      // push value
    float velocity = 0.0f;   // the other's velocity along the blocked axis (0 when it is static)
    std::uint32_t side = 0;  // 0 above, 1 below, 2 left, 3 right
};

// Blocked-side bits.
enum PhysicsSideBit : std::uint8_t {
    BLOCKED_ABOVE = 1,
    BLOCKED_BELOW = 2,
    BLOCKED_LEFT = 4,
    BLOCKED_RIGHT = 8,
};

class Physics : public Component {
public:
    Physics();
    // The settings (velocities, accelerations, old position, mass, rotational velocity, flags, sound
    // name); not the frame's push value and records.
    Physics(const Physics& other);
    Physics& operator=(const Physics&) = delete;
    ~Physics() override = default;

    std::string GetName() override { return "Physics"; }
    void Init() override {}
    // Clamp, move, turn, clear (see the source).
    void Update(float dt) override;
    void Draw() override {}
    Object* Clone() override;
    // "Player Attack" is traced.
    void HandleMessage(Message* message) override;
    // The optional "Physics" block: "Collision SFX" and "Mass", each when present.
    void Read(Stream& stream) override;
    void ExposeFields() override;

    // Velocity that survives the next update (the keep-velocity flag is set).
    void SetVelocity(float x, float y);
    void SetKeepVelocity(bool keep) { keepVelocity = keep; }
    void SetEnabled(bool on) { enabled = on; }
    bool IsEnabled() const { return enabled; }
    // Marks sides blocked for this frame (PushApart, the tile map's wall test).
    void AddSideBits(std::uint8_t bits) { sideBits = static_cast<std::uint8_t>(sideBits | bits); }
    std::uint8_t GetSideBits() const { return sideBits; }
    std::uint8_t GetLastSideBits() const { return sideBitsLast; }

    float AccelerationX = 0.0f;      // script-side only: the update neither applies nor clears it
    float AccelerationY = 0.0f;
    float VelocityX = 0.0f;          // world units per second
    float VelocityY = 0.0f;
    float oldX = 0.0f;               // translation at the start of the last update
    float oldY = 0.0f;
    float Mass = 1.0f;
    float pushValue = 0.0f;          // last push set by PushApart this frame
    std::vector<CollisionRecord> records;  // blocks of this frame
    bool keepVelocity = false;       // false: the velocity is cleared at the end of the update
    float RotationalVelocity = 0.0f; // degrees per second
    std::uint8_t sideBits = 0;       // blocked sides this frame
    std::uint8_t sideBitsLast = 0;   // the bits the last update consumed
    std::string CollisionSFX = "Player_Collision";
    bool enabled = true;             // false: Update does nothing ("StopMovement")
    float Drag = 0.0f;               // script-side only: stored for scripts, not used by the update
};
