#include "app/DataNames.h"

#include "audio/AudioEventManager.h"
#include "audio/AudioListener.h"
#include "audio/BehaviorSoundEmitter.h"
#include "audio/StudioSystem.h"
#include "core/Behavior.h"
#include "core/Engine.h"
#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "core/GameObjectManager.h"
#include "core/JobSystem.h"
#include "core/Message.h"
#include "core/MessageSystem.h"
#include "core/ObjectFactory.h"
#include "core/Transform.h"
#include "game/BehaviorBufferBar.h"
#include "game/BehaviorCharger.h"
#include "game/BehaviorCollectable.h"
#include "game/BehaviorDropOff.h"
#include "game/BehaviorExitDoor.h"
#include "game/BehaviorLaser.h"
#include "game/BehaviorLedge.h"
#include "game/BehaviorPlayer.h"
#include "game/BehaviorPuddle.h"
#include "game/BehaviorScoreDisplay.h"
#include "game/BehaviorStairs.h"
#include "game/BehaviorTimer.h"
#include "game/BehaviorWall.h"
#include "game/PlayerManager.h"
#include "game/ScoreManager.h"
#include "game/TreasureManager.h"
#include "graphics/CameraSystem.h"
#include "graphics/InputManager.h"
#include "graphics/LightingSystem.h"
#include "graphics/ParticleEmitter.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteSheet.h"
#include "script/BehaviorScript.h"
#include "script/LuaAPI_System.h"
#include "script/MoonBoot_System.h"
#include "ui/EditorSystem.h"
#include "ui/MenuSystem.h"
#include "world/Collider.h"
#include "world/LevelSystem.h"
#include "world/Physics.h"
#include "world/PhysicsSystem.h"
#include "world/SceneSystem.h"
#include "world/TileMapSystem.h"

namespace {

template <typename T>
ISystem* MakeSystem(Stream*)
{
    return new T();
}

template <typename T>
Behavior* MakeBehavior()
{
    return new T();
}

template <typename T>
Component* MakeComponent(GameObject*)
{
    return new T();
}

// The player object's reactions, after its components have had the message: "Explode" and "Collect"
// start their timed particle effects, "Final Collect" the confetti; "StopMovement" and
// "ContinueMovement" switch its physics off and on.
void PlayerReactions(GameObject* player, Message* message)
{
    if (message->IsNamed("Explode") || message->IsNamed("Collect") || message->IsNamed("Final Collect")) {
        if (ParticleEmitter* emitter = player->GetParticleEmitter()) {
            if (message->IsNamed("Explode"))
                emitter->StartExplodeEffect();
            else if (message->IsNamed("Collect"))
                emitter->StartCollectEffect();
            else
                emitter->StartFinalCollect();
        }
    } else if (message->IsNamed("StopMovement")) {
        if (Physics* physics = player->GetPhysics())
            physics->SetEnabled(false);
    } else if (message->IsNamed("ContinueMovement")) {
        if (Physics* physics = player->GetPhysics())
            physics->SetEnabled(true);
    }
}

void RegisterSystems()
{
    // The factory's names, in the order the factory matches them.
    RegisterSystem("AudioSystem", MakeSystem<StudioSystem>);
    RegisterSystem("StudioSystem", MakeSystem<StudioSystem>);
    RegisterSystem("EditorSystem", MakeSystem<EditorSystem>);
    RegisterSystem("GameObjectFactory", MakeSystem<GameObjectFactory>);
    RegisterSystem("GameObjectManager", MakeSystem<GameObjectManager>);
    RegisterSystem("InputManager", MakeSystem<InputManager>);
    RegisterSystem("InputSystem", MakeSystem<InputManager>);
    RegisterSystem("LightingSystem", MakeSystem<LightingSystem>);
    RegisterSystem("LevelSystem", MakeSystem<LevelSystem>);
    RegisterSystem("MessageSystem", MakeSystem<MessageSystem>);
    RegisterSystem("ObjectFactory", MakeSystem<ObjectFactory>);
    RegisterSystem("PlayerManager", MakeSystem<PlayerManager>);
    RegisterSystem("ScoreManager", MakeSystem<ScoreManager>);
    RegisterSystem("TileMapSystem", MakeSystem<TileMapSystem>);
    RegisterSystem("TreasureManager", MakeSystem<TreasureManager>);
    RegisterSystem("CameraSystem", [](Stream* settings) -> ISystem* { return new CameraSystem(settings); });
    RegisterSystem("JobSystem", MakeSystem<JobSystem>);
    RegisterSystem("SceneSystem", MakeSystem<SceneSystem>);
    RegisterSystem("LuaAPI", MakeSystem<LuaAPI_System>);
    RegisterSystem("MenuSystem", MakeSystem<MenuSystem>);
    RegisterSystem("MoonBoot", MakeSystem<MoonBoot_System>);
    RegisterSystem("PhysicsSystem", MakeSystem<PhysicsSystem>);
}

void RegisterBehaviors()
{
    RegisterBehavior("BehaviorBufferBar", MakeBehavior<BehaviorBufferBar>);
    RegisterBehavior("BehaviorCollectable", MakeBehavior<BehaviorCollectable>);
    RegisterBehavior("BehaviorDropOff", MakeBehavior<BehaviorDropOff>);
    RegisterBehavior("BehaviorCharger", MakeBehavior<BehaviorCharger>);
    RegisterBehavior("BehaviorLaser", MakeBehavior<BehaviorLaser>);
    RegisterBehavior("BehaviorPlayer", MakeBehavior<BehaviorPlayer>);
    RegisterBehavior("BehaviorPuddle", MakeBehavior<BehaviorPuddle>);
    RegisterBehavior("BehaviorScoreDisplay", MakeBehavior<BehaviorScoreDisplay>);
    RegisterBehavior("BehaviorTimer", MakeBehavior<BehaviorTimer>);
    RegisterBehavior("BehaviorWall", MakeBehavior<BehaviorWall>);
    RegisterBehavior("BehaviorExitDoor", MakeBehavior<BehaviorExitDoor>);
    RegisterBehavior("BehaviorLedge", MakeBehavior<BehaviorLedge>);
    RegisterBehavior("BehaviorStairs", MakeBehavior<BehaviorStairs>);
    RegisterBehavior("BehaviorScript", MakeBehavior<BehaviorScript>);
    RegisterBehavior("BehaviorSoundEmitter", MakeBehavior<BehaviorSoundEmitter>);
}

void RegisterComponents()
{
    // Blocks of an object file: "Transform", "Sprite", "Animation", "Collider", "Physics" (every
    // object has one), "ParticleEmitter", "AudioEventManager", "AudioListener". "Behavior" makes the
    // class its "BehaviorType" names.
    RegisterComponentMaker(ComponentType::Transform, MakeComponent<Transform>);
    RegisterComponentMaker(ComponentType::Sprite, MakeComponent<Sprite>);
    RegisterComponentMaker(ComponentType::SpriteSheet, SpriteSheet::MakeFor);
    RegisterComponentMaker(ComponentType::Collider, MakeComponent<Collider>);
    RegisterComponentMaker(ComponentType::Physics, MakeComponent<Physics>);
    RegisterComponentMaker(ComponentType::ParticleEmitter, MakeComponent<ParticleEmitter>);
    RegisterComponentMaker(ComponentType::AudioEventManager, MakeComponent<AudioEventManager>);
    RegisterComponentMaker(ComponentType::AudioListener, MakeComponent<AudioListener>);
}

} // namespace

void RegisterDataNames()
{
    RegisterSystems();
    RegisterBehaviors();
    RegisterComponents();
    CollisionPairHook = &Collider::ResolveCollision;
    PlayerMessageHook = PlayerReactions;
}
