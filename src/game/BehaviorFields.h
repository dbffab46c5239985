#pragma once
// Small helpers the game's behaviours share: optional settings of the "Behavior" block read with
// their type checked, the other object of a contact, object names with a clone suffix, players
// named in message payloads and the box a collider covers.
#include <cstdint>
#include <string>

class Behavior;
class BehaviorPlayer;
class Collider;
class GameObject;
class Message;
class Stream;

namespace behaviorfields {

// The "Behavior" block's key, when it is there with the right type: stored in out, true. A key of
// another type is traced and left out (the default stays).
bool OptionalString(Stream& stream, const char* key, std::string& out);
bool OptionalFloat(Stream& stream, const char* key, float& out);
bool OptionalInt(Stream& stream, const char* key, int& out);
bool OptionalBool(Stream& stream, const char* key, bool& out);

// The object a collider belongs to, or null.
GameObject* OwnerOf(Collider* collider);
// The other collider's object when it is named exactly name, else null.
GameObject* OtherNamed(Collider* other, const char* name);
// The player behaviour of the other collider's object, when that object is named "Player".
BehaviorPlayer* PlayerOf(Collider* other);

// True for base and for base followed by a clone suffix ("PlayerEyes(Clone 1)").
bool HasBaseName(const std::string& name, const std::string& base);
// The first child of the object whose name has that base, or null.
GameObject* FindChildByBase(const GameObject* object, const std::string& base);

// The number a message carries, read by its payload type (int, float, 32- or 64-bit unsigned).
float NumberOf(const Message* message);
// The live object a "Request Return Player" payload names: an object id, or the address of an
// object the manager lists. Null for anything else.
GameObject* ObjectFromPayload(const Message* message);
// The live object whose Behavior component is this one (compared by address among the listed
// objects; the pointer itself is never followed).
GameObject* OwnerOfBehavior(const void* behavior);

// The world box a collider covers (square or circle); false for other shapes.
bool ColliderBox(Collider* collider, float& left, float& right, float& bottom, float& top);

} // namespace behaviorfields
