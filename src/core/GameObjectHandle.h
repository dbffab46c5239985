#pragma once
// A reference to a game object that may be deleted before the holder lets go of it. It keeps the
// object's id (ids are never reused) and resolves it through the GameObjectManager on every use, so a
// deleted object reads as null even when a new object has been given its old address.
#include <cstdint>

class GameObject;

class GameObjectHandle {
public:
    GameObjectHandle() = default;
    // Refers to the object's id; null gives an empty handle.
    explicit GameObjectHandle(const GameObject* object) { Set(object); }

    void Set(const GameObject* object);
    void Reset() { valid_ = false; id_ = 0; }

    // The live object with that id, or null when the handle is empty, the object is gone, or there
    // is no GameObjectManager.
    GameObject* Get() const;
    bool IsSet() const { return valid_; }
    std::uint32_t GetId() const { return id_; }
    explicit operator bool() const { return Get() != nullptr; }

private:
    std::uint32_t id_ = 0;
    bool valid_ = false;
};
