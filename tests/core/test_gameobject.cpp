#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/Behavior.h"
#include "world/Collider.h"
#include "CoreEngine.h"
#include "core/Engine.h"
#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "core/GameObjectHandle.h"
#include "core/GameObjectManager.h"
#include "core/Message.h"
#include "MessageRecorder.h"
#include "core/MessageSystem.h"
#include "core/ObjectFactory.h"
#include "core/Stream.h"
#include "world/Physics.h"
#include "TestFiles.h"
#include "core/Trace.h"
#include "core/Transform.h"

using namespace testsupport;

namespace {

// A data stream holding the given JSON text instead of a file's.
std::unique_ptr<Stream> JsonStream(const std::string& json)
{
    auto stream = std::make_unique<Stream>("gameobj_tests_no_such_file", StreamMode_Data, false);
    stream->text = json;
    stream->data.Parse(json.c_str());
    return stream;
}

// A behaviour the object factory hands out by name (its class name is not one the behaviour factory
// knows). It notes what its object looked like when it was read and updated.
class Probe : public Behavior {
public:
    std::string GetName() override { return "GameObjTestProbe"; }
    Probe* Clone() override { return new Probe(*this); }
    void Read(Stream&) override
    {
        ++reads;
        ownerAtRead = owner;
        nextAtRead = nextState;
        slotsAtRead.clear();
        if (owner) {
            for (int slot = 0; slot < COMPONENT_TYPE_COUNT; ++slot)
                slotsAtRead.push_back(owner->GetComponent(slot) != nullptr);
        }
    }
    void OnUpdate(float) override
    {
        if (owner && owner->GetTransform())
            degreesSeen = owner->GetTransform()->rotationDegrees;
    }
    int reads = 0;
    GameObject* ownerAtRead = nullptr;
    int nextAtRead = -99;
    std::vector<bool> slotsAtRead;
    float degreesSeen = -1.0f;
};

// An engine with messages, a recorder, both factories and the object manager; object files are
// written to a temporary folder and named relative to "assets/data/".
class World : public ::testing::Test {
protected:
    void SetUp() override
    {
        TraceReset();
        fs::create_directories("assets/data");

        core_ = std::make_unique<CoreEngine>("Recorder");
        engine = core_->engine;
        messages = core_->messages;
        recorder = core_->recorder;
        factory = core_->factory;
        objectFactory = core_->objectFactory;
        manager = core_->manager;
        objectFactory->cache.PushBack(static_cast<Component*>(new Probe()));
    }
    void TearDown() override
    {
        core_.reset();
        TraceReset();
    }

    // Writes an object file and returns the name that reaches it from "assets/data/".
    std::string WriteFile(const std::string& stem, const std::string& json)
    {
        scratch_.Write(stem + ".json", json);
        return "../../" + fs::relative(scratch_ / stem, fs::current_path()).string();
    }

    void Deliver() { messages->Update(0.0f); }

    Engine* engine = nullptr;
    MessageSystem* messages = nullptr;
    MessageRecorder* recorder = nullptr;
    GameObjectFactory* factory = nullptr;
    ObjectFactory* objectFactory = nullptr;
    GameObjectManager* manager = nullptr;
    ScratchDir scratch_{"gameobj"};
    std::unique_ptr<CoreEngine> core_;
};

const char* FULL_OBJECT = R"({
    "AudioListener": {},
    "Physics": {"Mass": 2.5},
    "Behavior": {"BehaviorType": "GameObjTestProbe", "StateNext": 3},
    "Collider": {"Type": "Circle", "Radius": 0.5},
    "Name": "Thing",
    "Transform": {"TranslationX": 1, "TranslationY": 2, "ScaleX": 1, "ScaleY": 1, "Rotation": 90}
})";

} // namespace

TEST_F(World, ComponentsFromAFileLandInTheirSlotsInOrder)
{
    auto stream = JsonStream(FULL_OBJECT);
    GameObject object(*stream);
    EXPECT_EQ(object.GetName(), "Thing");
    EXPECT_EQ(object.GetId(), 0u);
    EXPECT_FALSE(object.IsDestroyRequested());

    ASSERT_NE(object.GetTransform(), nullptr);
    EXPECT_EQ(object.GetComponent(0), object.GetTransform());
    EXPECT_EQ(object.GetTransform()->TranslationY, 2.0f);
    ASSERT_NE(object.GetCollider(), nullptr);
    EXPECT_EQ(object.GetComponent(3)->GetName(), "Collider");
    ASSERT_NE(object.GetPhysics(), nullptr);
    EXPECT_EQ(object.GetPhysics()->Mass, 2.5f);
    auto* probe = dynamic_cast<Probe*>(object.GetComponent(ComponentType::Behavior));
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(object.GetBehavior(), probe);
    EXPECT_EQ(object.GetComponent(1), nullptr);
    EXPECT_EQ(object.GetComponent(2), nullptr);
    EXPECT_EQ(object.GetComponent(6), nullptr);
    EXPECT_EQ(object.GetComponent(7), nullptr);
    EXPECT_EQ(object.GetComponent(-1), nullptr);
    EXPECT_EQ(object.GetComponent(9), nullptr);
    for (int slot = 0; slot < COMPONENT_TYPE_COUNT; ++slot) {
        if (Component* c = object.GetComponent(slot)) {
            EXPECT_EQ(c->owner, &object) << slot;
            EXPECT_EQ(c->type, slot);
        }
    }

    // The behaviour is made after Transform, Collider and Physics; it has its owner and "StateNext"
    // before it reads, and the later slots are still empty.
    EXPECT_EQ(probe->reads, 1);
    EXPECT_EQ(probe->ownerAtRead, &object);
    EXPECT_EQ(probe->nextAtRead, 3);
    EXPECT_EQ(probe->slotsAtRead,
              (std::vector<bool>{true, false, false, true, true, true, false, false, false}));

    // Slot order at run time: the Transform refreshes its degrees before the behaviour updates.
    object.Update(0.016f);
    EXPECT_NEAR(probe->degreesSeen, 90.0f, 1e-4f);
    EXPECT_EQ(probe->currentState, 3);
}

TEST_F(World, EveryObjectGetsAPhysics)
{
    auto stream = JsonStream(R"({"Name": "Bare"})");
    GameObject object(*stream);
    ASSERT_NE(object.GetPhysics(), nullptr);
    EXPECT_EQ(object.GetPhysics()->Mass, 1.0f);
    EXPECT_EQ(object.GetPhysics()->owner, &object);
    for (int slot = 0; slot < COMPONENT_TYPE_COUNT; ++slot) {
        if (slot != 5) {
            EXPECT_EQ(object.GetComponent(slot), nullptr) << slot;
        }
    }
}

TEST_F(World, MissingNameIsReportedAndLeftEmpty)
{
    auto stream = JsonStream(R"({"Transform": {}})");
    testing::internal::CaptureStdout();
    GameObject object(*stream);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Error! No field exists with name 'Name'"), std::string::npos) << out;
    EXPECT_EQ(object.GetName(), "");
    object.SetName(static_cast<const char*>(nullptr));
    EXPECT_EQ(object.GetName(), "");
    object.SetName("Named");
    EXPECT_EQ(object.GetName(), "Named");
}

TEST_F(World, UnknownBehaviourIsReportedAndLeavesSlotFourEmpty)
{
    auto stream = JsonStream(R"({"Name": "Odd", "Behavior": {"BehaviorType": "BehaviorNope", "StateNext": 2}})");
    testing::internal::CaptureStdout();
    GameObject object(*stream);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Assertion `behavior` failed.Location: src/GameObject Line 425: "
                       "BehaviorBehaviorNope doesn't exist or is misspelled\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(object.GetComponent(4), nullptr);
    EXPECT_NE(object.GetPhysics(), nullptr);

    // The same through overrides reports its own line.
    TraceReset();
    auto overrides = JsonStream(R"({"Behavior": {"BehaviorType": "AlsoNope"}})");
    testing::internal::CaptureStdout();
    object.ReadOverrides(*overrides);
    const std::string again = testing::internal::GetCapturedStdout();
    EXPECT_NE(again.find("Assertion `behavior` failed.Location: src/GameObject Line 509: "
                         "BehaviorAlsoNope doesn't exist or is misspelled\n"),
              std::string::npos)
        << again;
    EXPECT_EQ(object.GetComponent(4), nullptr);
}

TEST_F(World, BadDataGivesDefaultsNotCrashes)
{
    const char* texts[] = {
        R"({"Name": 5, "Children": "Wall", "Transform": 1})",
        R"({"Name": "A", "Children": [1, {"x": 2}], "Behavior": 7})",
        R"({"Name": "B", "Behavior": {"BehaviorType": 12}})",
        R"({"Name": "C", "Animation": {"StartingAnimation": "Run"}})",
        R"([1, 2, 3])",
        R"({"Name": "D", )",
    };
    for (const char* text : texts) {
        auto stream = JsonStream(text);
        testing::internal::CaptureStdout();
        bool behaviour = true;
        std::size_t children = 99;
        {
            GameObject object(*stream);
            object.Init();
            object.Update(0.016f);
            object.Draw();
            behaviour = object.GetComponent(4) != nullptr;
            children = object.GetChildren().size();
        }
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_FALSE(behaviour) << text << "\n" << out;
        EXPECT_EQ(children, 0u) << text << "\n" << out;
        TraceReset();
    }
}

TEST_F(World, RequestDestroyPostsItsThreeMessagesInOrder)
{
    auto stream = JsonStream(FULL_OBJECT);
    GameObject object(*stream);
    const std::uint32_t colliderId = object.GetCollider()->GetID();
    object.RequestDestroy();
    EXPECT_TRUE(object.IsDestroyRequested());
    Deliver();
    ASSERT_EQ(recorder->Names(),
              (std::vector<std::string>{"CollisionRemove", "ColliderIDRemove", "Remove Object Index"}));
    const auto& seen = recorder->seen;
    EXPECT_EQ(seen[0].type, MessageType::UInt64);
    EXPECT_EQ(seen[0].number.u64, static_cast<std::uint64_t>(colliderId));
    EXPECT_EQ(seen[1].type, MessageType::Int);
    EXPECT_EQ(seen[1].number.i, static_cast<int>(colliderId));
    EXPECT_EQ(seen[2].type, MessageType::String);
    EXPECT_EQ(seen[2].text, "Thing");
    for (const SeenMessage& s : seen) {
        EXPECT_EQ(s.sender, &object);
        EXPECT_EQ(s.target, nullptr);
    }
}

TEST_F(World, RequestDestroyWithoutColliderPostsOnlyRemoveObjectIndex)
{
    auto stream = JsonStream(R"({"Name": "Plain", "Transform": {}})");
    GameObject object(*stream);
    object.RequestDestroy();
    Deliver();
    ASSERT_EQ(recorder->Names(), (std::vector<std::string>{"Remove Object Index"}));
    EXPECT_EQ(recorder->seen[0].text, "Plain");
}

TEST_F(World, DeletionPostsMenuObjectDeleteExceptWhileTheManagerClears)
{
    auto stream = JsonStream(R"({"Name": "Gone"})");
    auto* object = new GameObject(*stream);
    const Object* address = object;
    delete object;
    Deliver();
    ASSERT_EQ(recorder->Names(), (std::vector<std::string>{"Menu Object Delete"}));
    EXPECT_EQ(recorder->seen[0].sender, address);
    EXPECT_EQ(recorder->seen[0].type, MessageType::None);
    EXPECT_EQ(recorder->seen[0].target, nullptr);

    recorder->seen.clear();
    manager->AddGameObject(new GameObject(*stream));
    manager->AddGameObject(new GameObject(*stream));
    manager->ClearGameObjects();
    Deliver();
    EXPECT_EQ(recorder->Count("Menu Object Delete"), 0);
    EXPECT_EQ(recorder->Count("On Manager Clear"), 1);
}

TEST_F(World, DeletionWithoutManagerOrMessageSystemIsQuiet)
{
    auto stream = JsonStream(R"({"Name": "Alone"})");
    engine->RemoveSystem("GameObjectManager");
    manager = nullptr;
    ASSERT_EQ(gGameObjectManager, nullptr);
    delete new GameObject(*stream);
    Deliver();
    EXPECT_EQ(recorder->Count("Menu Object Delete"), 1);

    engine->RemoveSystem("MessageSystem");
    messages = nullptr;
    ASSERT_EQ(gMessageSystem, nullptr);
    delete new GameObject(*stream);  // the message is dropped at once
}

TEST_F(World, ChildrenAreBuiltFromArchetypesAndLinked)
{
    const std::string child = WriteFile("Pip", R"({"Name": "Pip", "Transform": {"TranslationX": 1, "ScaleX": 1, "ScaleY": 1}})");
    const std::string parentFile =
        WriteFile("Nest", R"({"Name": "Nest", "Children": [")" + child + R"(", ")" + child +
                              R"("], "Transform": {"TranslationX": 10, "ScaleX": 1, "ScaleY": 1}})");
    GameObject* parent = factory->CreateGameObject(parentFile, true);
    ASSERT_NE(parent, nullptr);
    ASSERT_EQ(parent->GetChildren().size(), 2u);
    EXPECT_EQ(parent->GetChildNames(), (std::vector<std::string>{child, child}));
    for (GameObject* c : parent->GetChildren()) {
        EXPECT_EQ(c->GetParent(), parent);
        EXPECT_TRUE(manager->IsListed(c));
    }
    EXPECT_EQ(parent->GetChildren()[0]->GetName(), "Pip");
    EXPECT_EQ(parent->GetChildren()[1]->GetName(), "Pip(Clone 1)");
    EXPECT_EQ(parent->FindChild("Pip"), parent->GetChildren()[0]);
    EXPECT_EQ(parent->FindChild("Pip(Clone 1)"), parent->GetChildren()[1]);
    EXPECT_EQ(parent->FindChild("Nobody"), nullptr);
    // Placed relative to the parent.
    EXPECT_FLOAT_EQ(parent->GetChildren()[0]->GetTransform()->GetWorldPosition().x, 11.0f);
}

TEST_F(World, CloneRebuildsChildrenAndLeavesTheSourceAlone)
{
    const std::string child = WriteFile("Bud", R"({"Name": "Bud"})");
    const std::string other = WriteFile("Leaf", R"({"Name": "Leaf"})");
    const std::string parentFile =
        WriteFile("Tree", R"({"Name": "Tree", "Children": [")" + child + R"(", ")" + other + R"("],
                             "Transform": {"TranslationX": 4}, "Collider": {"Type": "Circle", "Radius": 1},
                             "Behavior": {"BehaviorType": "GameObjTestProbe", "StateNext": 1}})");
    GameObject* source = factory->CreateGameObject(parentFile, true);
    ASSERT_NE(source, nullptr);
    const std::vector<GameObject*> sourceChildren = source->GetChildren();
    const int listedBefore = manager->GetObjectCount();

    std::unique_ptr<GameObject> clone(source->Clone());
    EXPECT_EQ(clone->GetName(), "Tree");
    EXPECT_EQ(clone->GetId(), 0u);
    EXPECT_EQ(clone->GetParent(), nullptr);
    ASSERT_EQ(clone->GetChildren().size(), 2u);
    EXPECT_EQ(clone->GetChildren()[0]->GetName(), "Bud(Clone 1)");
    EXPECT_EQ(clone->GetChildren()[1]->GetName(), "Leaf(Clone 1)");
    for (GameObject* c : clone->GetChildren())
        EXPECT_EQ(c->GetParent(), clone.get());
    EXPECT_EQ(manager->GetObjectCount(), listedBefore + 2);
    EXPECT_EQ(source->GetChildren(), sourceChildren);
    EXPECT_EQ(clone->GetChildNames(), source->GetChildNames());

    // Components are fresh copies owned by the clone.
    for (int slot = 0; slot < COMPONENT_TYPE_COUNT; ++slot) {
        Component* a = source->GetComponent(slot);
        Component* b = clone->GetComponent(slot);
        EXPECT_EQ(a == nullptr, b == nullptr) << slot;
        if (b) {
            EXPECT_NE(a, b);
            EXPECT_EQ(b->owner, clone.get());
        }
    }
    EXPECT_EQ(clone->GetTransform()->TranslationX, 4.0f);
    EXPECT_NE(clone->GetCollider()->GetID(), source->GetCollider()->GetID());
    EXPECT_EQ(clone->GetBehavior()->nextState, 1);

    // The destroy flag is copied.
    source->RequestDestroy();
    std::unique_ptr<GameObject> second(source->Clone());
    EXPECT_TRUE(second->IsDestroyRequested());
}

TEST_F(World, CopyKeepsEveryChildNameEvenWhenChildrenCouldNotBeBuilt)
{
    // Without a factory the children can't be built, but their names are still listed.
    engine->RemoveSystem("GameObjectFactory");
    factory = nullptr;
    auto stream = JsonStream(R"({"Name": "Orphanage", "Children": ["a", "b", "c"]})");
    GameObject object(*stream);
    EXPECT_TRUE(object.GetChildren().empty());
    EXPECT_EQ(object.GetChildNames(), (std::vector<std::string>{"a", "b", "c"}));
    GameObject copy(object);
    EXPECT_EQ(copy.GetChildNames(), (std::vector<std::string>{"a", "b", "c"}));
    std::unique_ptr<GameObject> clone(object.Clone());
    EXPECT_EQ(clone->GetChildNames(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(clone->GetChildren().empty());
}

TEST_F(World, DeletedParentLeavesItsChildrenClean)
{
    const std::string child = WriteFile("Kid", R"({"Name": "Kid", "Transform": {"TranslationX": 1, "ScaleX": 1, "ScaleY": 1}})");
    const std::string parentFile = WriteFile(
        "Mum", R"({"Name": "Mum", "Children": [")" + child + R"("], "Transform": {"TranslationX": 50, "Rotation": 90, "ScaleX": 2, "ScaleY": 2}})");
    GameObject* parent = factory->CreateGameObject(parentFile, true);
    ASSERT_NE(parent, nullptr);
    ASSERT_EQ(parent->GetChildren().size(), 1u);
    GameObject* kid = parent->GetChildren()[0];
    const GameObjectHandle mum(parent);

    parent->RequestDestroy();
    manager->Update(0.016f);  // deletes the parent; the child lives on as an object of its own
    EXPECT_FALSE(mum);
    ASSERT_TRUE(manager->IsListed(kid));
    EXPECT_EQ(kid->GetParent(), nullptr);

    // Moved and drawn after its parent is gone: placed as an object without a parent.
    kid->GetTransform()->TranslationX = 3.0f;
    manager->Update(0.016f);
    manager->Draw();
    const Vector4f at = kid->GetTransform()->GetWorldPosition();
    EXPECT_EQ(at.x, 3.0f);
    EXPECT_EQ(at.w, 0.0f);
    const Matrix4f world = kid->GetTransform()->GetWorldMatrix();
    EXPECT_EQ(world.m[12], 3.0f);
}

TEST_F(World, DeletedChildLeavesItsParent)
{
    GameObject parent;
    auto* first = new GameObject();
    auto* second = new GameObject();
    first->SetName("first");
    second->SetName("second");
    parent.AddChild(first);
    parent.AddChild(second);
    parent.AddChild(second);  // already a child: not listed twice
    ASSERT_EQ(parent.GetChildren().size(), 2u);
    delete first;
    ASSERT_EQ(parent.GetChildren().size(), 1u);
    EXPECT_EQ(parent.GetChildren()[0], second);
    EXPECT_EQ(parent.FindChild("first"), nullptr);

    // Moving a child to another parent unlinks it from the first one.
    GameObject other;
    other.AddChild(second);
    EXPECT_TRUE(parent.GetChildren().empty());
    EXPECT_EQ(second->GetParent(), &other);
    EXPECT_TRUE(other.RemoveChild(second));
    EXPECT_EQ(second->GetParent(), nullptr);
    EXPECT_FALSE(other.RemoveChild(second));
    delete second;
}

TEST_F(World, ReadOverridesAppliesAnObjectFileOverAnArchetype)
{
    auto archetype = JsonStream(R"({"Name": "Base", "Transform": {"TranslationX": 1},
                                   "Behavior": {"BehaviorType": "GameObjTestProbe"}})");
    GameObject object(*archetype);
    auto* probe = dynamic_cast<Probe*>(object.GetBehavior());
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(probe->reads, 1);

    auto overrides = JsonStream(R"({"Name": "Special", "Transform": {"TranslationY": 7},
        "Behavior": {"BehaviorType": "SomethingElse", "StateNext": 6},
        "Collider": {"Type": "Circle", "Radius": 2}, "Physics": {"Mass": 9}})");
    object.ReadOverrides(*overrides);
    EXPECT_EQ(object.GetName(), "Special");
    EXPECT_EQ(object.GetTransform()->TranslationX, 1.0f);
    EXPECT_EQ(object.GetTransform()->TranslationY, 7.0f);
    // The behaviour in place stays (its type is not consulted); it takes the next state and reads.
    EXPECT_EQ(object.GetBehavior(), probe);
    EXPECT_EQ(probe->nextState, 6);
    EXPECT_EQ(probe->reads, 2);
    ASSERT_NE(object.GetCollider(), nullptr);
    EXPECT_EQ(object.GetCollider()->owner, &object);
    EXPECT_EQ(object.GetPhysics()->Mass, 9.0f);

    auto nameless = JsonStream(R"({"Transform": {"TranslationX": 2}})");
    object.ReadOverrides(*nameless);
    EXPECT_EQ(object.GetName(), "Special");
    EXPECT_EQ(object.GetTransform()->TranslationX, 2.0f);
}

TEST_F(World, ObjectFileWithArchetypeIsBuiltWithOverrides)
{
    // An archetype name with the "archetypes/" prefix is looked up under "assets/data/archetypes/"
    // (of a folder of the test's own, never the repository's).
    ScratchDir data("gameobj_archetype");
    data.Enter();
    const std::string stem = "gameobj_test_base";
    data.Write("assets/data/archetypes/" + stem + ".json",
               R"({"Name": ")" + stem + R"(", "Transform": {"TranslationX": 1, "ScaleX": 1}})");
    const std::string objectFile =
        WriteFile("Placed", R"({"Archetype": ")" + stem + R"(", "Transform": {"TranslationY": 3}})");
    GameObject* object = factory->CreateGameObject(objectFile, false);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->GetName(), objectFile);
    EXPECT_EQ(object->GetTransform()->TranslationX, 1.0f);
    EXPECT_EQ(object->GetTransform()->TranslationY, 3.0f);
    EXPECT_TRUE(manager->IsListed(object));
}

TEST_F(World, StopMovementStopsOnlyThePlayer)
{
    auto player = JsonStream(R"({"Name": "Player", "Transform": {}})");
    auto other = JsonStream(R"({"Name": "Crate", "Transform": {}})");
    auto loose = JsonStream(R"({"Name": "Player"})");  // no Transform: no player reactions
    GameObject* p = new GameObject(*player);
    GameObject* c = new GameObject(*other);
    GameObject* l = new GameObject(*loose);
    manager->AddGameObject(p);
    manager->AddGameObject(c);
    manager->AddGameObject(l);
    recorder->SendMessage(std::string("StopMovement"));
    Deliver();
    EXPECT_FALSE(p->GetPhysics()->IsEnabled());
    EXPECT_TRUE(c->GetPhysics()->IsEnabled());
    EXPECT_TRUE(l->GetPhysics()->IsEnabled());
    recorder->SendMessage(std::string("ContinueMovement"));
    Deliver();
    EXPECT_TRUE(p->GetPhysics()->IsEnabled());
    // The particle reactions are safe on objects without an emitter.
    recorder->SendMessage(std::string("Explode"));
    recorder->SendMessage(std::string("Collect"));
    recorder->SendMessage(std::string("Final Collect"));
    Deliver();
}

TEST_F(World, PlayerAttackAndRequestReturnPlayer)
{
    auto stream = JsonStream(R"({"Name": "Hero"})");
    GameObject* hero = new GameObject(*stream);
    hero->SetId(42);
    manager->AddGameObject(hero);

    recorder->SendMessage(std::string("Player Attack"));
    Deliver();
    ASSERT_EQ(recorder->Names(), (std::vector<std::string>{"Player Attack", "Request Player"}));
    EXPECT_EQ(recorder->seen[1].type, MessageType::Int);
    EXPECT_EQ(recorder->seen[1].number.i, 42);
    EXPECT_EQ(recorder->seen[1].sender, hero);
    EXPECT_EQ(recorder->seen[1].target, nullptr);

    testing::internal::CaptureStdout();
    recorder->SendMessage(1, hero);     // "Request Return Player" for the hero
    recorder->SendMessage(1, nullptr);  // for nobody in particular
    Deliver();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Found player\n");
}

TEST_F(World, CloneObjectClonesEveryObjectOfThatName)
{
    auto stream = JsonStream(R"({"Name": "Sheep", "Transform": {"TranslationX": 2}})");
    auto* first = new GameObject(*stream);
    manager->AddGameObject(first);
    auto* other = new GameObject(*stream);
    other->SetName("Goat");
    manager->AddGameObject(other);
    const std::uint32_t nextId = GameObjectFactory::PeekNextId();

    recorder->SendMessage(32, "Sheep", nullptr);
    recorder->SendMessage(32, 5, nullptr);  // not a name: clones nothing
    Deliver();
    ASSERT_EQ(manager->GetObjectCount(), 3);
    GameObject* clone = manager->FindGameObject("Sheep(Clone 1)");
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->GetId(), nextId);
    EXPECT_EQ(clone->GetTransform()->TranslationX, 2.0f);
}

TEST_F(World, SetComponentReplacesAndRefuses)
{
    GameObject object;
    auto* t1 = new Transform();
    EXPECT_TRUE(object.SetComponent(t1));
    EXPECT_EQ(t1->owner, &object);
    auto* t2 = new Transform();
    EXPECT_TRUE(object.SetComponent(t2));  // t1 is deleted
    EXPECT_EQ(object.GetTransform(), t2);
    EXPECT_FALSE(object.SetComponent(nullptr));
    auto* odd = new Transform();
    odd->type = 12;
    EXPECT_FALSE(object.SetComponent(odd));
    delete odd;
    Component* taken = object.RemoveComponent(0);
    EXPECT_EQ(taken, t2);
    EXPECT_EQ(object.GetTransform(), nullptr);
    delete taken;
    EXPECT_EQ(object.RemoveComponent(40), nullptr);
}
