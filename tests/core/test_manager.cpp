// GameObjectManager: registration names and counts, destroy requests, deletion, clearing, lookups,
// message forwarding over a snapshot, and the collision pass.
#include "test_factory_fixture.h"

#include <utility>

#include "core/GameObjectHandle.h"
#include "core/Transform.h"
#include "world/Collider.h"
#include "world/Physics.h"
#include "world/PhysicsSystem.h"

using testfixture::ObjectsTest;
using testfixture::ProbeBehavior;
using testfixture::ProbeOf;

namespace {

class Manager : public ObjectsTest {};

TEST_F(Manager, NameFlagsAndGlobal)
{
    EXPECT_EQ(manager->GetName(), "GameObjectManager");
    EXPECT_EQ(gGameObjectManager, manager);
    EXPECT_EQ(manager->GetState(), GameObjectManager::STATE_IDLE);
    EXPECT_EQ(manager->GetObjectCount(), 0);
    // A second manager that never ran Init leaves the global alone when it goes.
    delete new GameObjectManager();
    EXPECT_EQ(gGameObjectManager, manager);
}

TEST_F(Manager, RepeatedNamesGetCloneSuffixes)
{
    AddProbe("Wall");
    AddProbe("Wall");
    AddProbe("Wall");
    AddProbe("Door");
    EXPECT_EQ(ListedNames(), (std::vector<std::string>{"Wall", "Wall(Clone 1)", "Wall(Clone 2)", "Door"}));
    EXPECT_EQ(manager->GetNameCount("Wall"), 3);
    EXPECT_EQ(manager->GetNameCount("Door"), 1);
    EXPECT_EQ(manager->GetObjectAt(0)->exposed, 1);
    EXPECT_EQ(ProbeOf(manager->GetObjectAt(0))->exposed, 1) << "components' fields are exposed";
}

TEST_F(Manager, DestroyedCloneKeepsTheCount)
{
    AddProbe("Wall");
    GameObject* second = AddProbe("Wall");
    AddProbe("Wall");
    ASSERT_EQ(second->GetName(), "Wall(Clone 1)");
    second->RequestDestroy();
    Deliver();
    // "Remove Object Index" carries the suffixed name, which has no count of its own.
    ASSERT_EQ(recorder->Count("Remove Object Index"), 1);
    EXPECT_EQ(recorder->seen[0].text, "Wall(Clone 1)");
    EXPECT_EQ(manager->GetNameCount("Wall"), 3);
    manager->Update(0.0f);
    EXPECT_EQ(ListedNames(), (std::vector<std::string>{"Wall", "Wall(Clone 2)"}));
    EXPECT_EQ(AddProbe("Wall")->GetName(), "Wall(Clone 3)");

    // The plain name's count goes down, and not below zero.
    GameObject* first = manager->FindGameObject("Wall");
    ASSERT_NE(first, nullptr);
    first->RequestDestroy();
    Deliver();
    EXPECT_EQ(manager->GetNameCount("Wall"), 3);
    manager->SendMessage(35, "Door", nullptr);   // no entry for "Door": only forwarded
    Deliver();
    EXPECT_EQ(manager->GetNameCount("Door"), 0);
    for (int i = 0; i < 5; ++i)
        manager->SendMessage(35, "Wall", nullptr);
    Deliver();
    EXPECT_EQ(manager->GetNameCount("Wall"), 0);
    EXPECT_EQ(AddProbe("Wall")->GetName(), "Wall") << "count 0 again: the plain name";
}

TEST_F(Manager, BufferBarSegmentIsNeverSuffixedNorCounted)
{
    for (int i = 0; i < 3; ++i)
        AddProbe("BufferBarSegment");
    EXPECT_EQ(ListedNames(), std::vector<std::string>(3, "BufferBarSegment"));
    EXPECT_EQ(manager->GetNameCount("BufferBarSegment"), 0);
    EXPECT_EQ(manager->GetObjectAt(0)->exposed, 0) << "no fields exposed";
    EXPECT_EQ(manager->FindGameObjects("BufferBarSegment").size(), 3u);
}

TEST_F(Manager, NullAndDuplicateRegistrationsAreIgnored)
{
    manager->AddGameObject(nullptr);
    GameObject* wall = AddProbe("Wall");
    manager->AddGameObject(wall);
    EXPECT_EQ(ListedNames(), (std::vector<std::string>{"Wall"}));
    EXPECT_EQ(manager->GetNameCount("Wall"), 1);
}

TEST_F(Manager, DestroyRequestsAreHonouredDuringUpdate)
{
    GameObject* a = AddProbe("A");
    GameObject* b = AddProbe("B");
    GameObject* c = AddProbe("C");
    GameObject* d = AddProbe("D");
    const GameObjectHandle gone(b);
    b->RequestDestroy();
    c->RequestDestroy();
    manager->Update(0.5f);
    // Both neighbours went in the same update, and the object after them was still updated.
    EXPECT_EQ(ListedNames(), (std::vector<std::string>{"A", "D"}));
    EXPECT_EQ(ProbeOf(a)->updates, 1);
    EXPECT_EQ(ProbeOf(d)->updates, 1);
    EXPECT_EQ(gone.Get(), nullptr);
    EXPECT_TRUE(manager->IsListed(d));

    // A flag set during the walk on a later object is seen when the walk reaches it; on an earlier
    // object, at the next update.
    ProbeOf(d)->onUpdate = [a](ProbeBehavior&, float) { a->RequestDestroy(); };
    manager->Update(0.5f);
    EXPECT_EQ(ListedNames(), (std::vector<std::string>{"A", "D"}));
    ProbeOf(d)->onUpdate = nullptr;
    GameObject* e = AddProbe("E");
    ProbeOf(d)->onUpdate = [e](ProbeBehavior&, float) { e->RequestDestroy(); };
    manager->Update(0.5f);
    EXPECT_EQ(ListedNames(), (std::vector<std::string>{"D"}));
}

TEST_F(Manager, ObjectsAddedDuringTheWalkAreUpdatedInTheSamePass)
{
    GameObject* spawner = AddProbe("Spawner");
    GameObject* spawned = nullptr;
    ProbeOf(spawner)->onUpdate = [&](ProbeBehavior& self, float) {
        if (self.updates == 1)
            spawned = AddProbe("Spawned");
    };
    manager->Update(0.1f);
    ASSERT_NE(spawned, nullptr);
    EXPECT_EQ(ProbeOf(spawned)->updates, 1);
    EXPECT_EQ(ListedNames(), (std::vector<std::string>{"Spawner", "Spawned"}));
}

TEST_F(Manager, ObjectsDeletedDuringTheWalkAreSafe)
{
    GameObject* a = AddProbe("A");
    AddProbe("B");
    GameObject* c = AddProbe("C");
    GameObject* d = AddProbe("D");
    // C deletes an earlier object and itself while it is being updated; D is still updated once.
    ProbeOf(c)->onUpdate = [this](ProbeBehavior&, float) {
        manager->DeleteGameObject("B");
        manager->DeleteGameObject("C");
    };
    manager->Update(0.1f);
    EXPECT_EQ(ListedNames(), (std::vector<std::string>{"A", "D"}));
    EXPECT_EQ(ProbeOf(a)->updates, 1);
    EXPECT_EQ(ProbeOf(d)->updates, 1);
    // A deletes D, which comes after it: D is not updated.
    ProbeOf(a)->onUpdate = [this](ProbeBehavior&, float) { manager->DeleteGameObject("D"); };
    manager->Update(0.1f);
    EXPECT_EQ(ListedNames(), (std::vector<std::string>{"A"}));
    EXPECT_EQ(ProbeOf(a)->updates, 2);
}

TEST_F(Manager, DeleteGameObjectByExactName)
{
    AddProbe("Wall");
    AddProbe("Wall");
    recorder->Clear();
    manager->DeleteGameObject("Wall(Clone 1)");
    EXPECT_EQ(ListedNames(), (std::vector<std::string>{"Wall"}));
    Deliver();
    EXPECT_EQ(recorder->Count("Menu Object Delete"), 1);

    testing::internal::CaptureStdout();
    manager->DeleteGameObject("Wal");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Object \"Wal\" not found and could not be deleted from GameObjectManager!"),
              std::string::npos)
        << out;
    EXPECT_EQ(ListedNames(), (std::vector<std::string>{"Wall"}));
}

TEST_F(Manager, LookupsUseTheExactName)
{
    GameObject* wall = AddProbe("Wall");
    GameObject* clone = AddProbe("Wall");
    AddProbe("Door");
    EXPECT_EQ(manager->FindGameObject("Wall"), wall);
    EXPECT_EQ(manager->FindGameObject("Wall(Clone 1)"), clone);
    EXPECT_EQ(manager->FindGameObject("Wal"), nullptr);
    EXPECT_EQ(manager->FindGameObject("Wall "), nullptr);
    EXPECT_EQ(manager->FindGameObject(""), nullptr);
    EXPECT_TRUE(manager->FindGameObjects("Window").empty());
    GameObject* segment1 = AddProbe("BufferBarSegment");
    GameObject* segment2 = AddProbe("BufferBarSegment");
    EXPECT_EQ(manager->FindGameObjects("BufferBarSegment"), (std::vector<GameObject*>{segment1, segment2}));
    EXPECT_EQ(manager->GetObjectAt(-1), nullptr);
    EXPECT_EQ(manager->GetObjectAt(5), nullptr);
}

TEST_F(Manager, ClearGameObjects)
{
    AddProbe("Wall");
    AddProbe("Wall");
    AddProbe("Door");
    static int menuClears = 0;
    menuClears = 0;
    ClearMenuObjectsHook = [] { ++menuClears; };
    recorder->Clear();
    manager->ClearGameObjects();
    ClearMenuObjectsHook = nullptr;
    EXPECT_EQ(manager->GetObjectCount(), 0);
    EXPECT_EQ(manager->FindGameObject("Wall"), nullptr);
    EXPECT_EQ(manager->GetState(), GameObjectManager::STATE_CLEARED);
    EXPECT_EQ(manager->GetNameCount("Wall"), 0);
    EXPECT_EQ(menuClears, 1);
    Deliver();
    EXPECT_EQ(recorder->Count("On Manager Clear"), 1);
    EXPECT_EQ(recorder->Count("Menu Object Delete"), 0);
    EXPECT_EQ(AddProbe("Wall")->GetName(), "Wall") << "the first object of a name keeps it";

    // Without a menu system the clear still works.
    manager->ClearGameObjects();
    EXPECT_EQ(manager->GetObjectCount(), 0);
}

TEST_F(Manager, ClearDuringAnObjectsUpdate)
{
    GameObject* a = AddProbe("A");
    AddProbe("B");
    ProbeOf(a)->onUpdate = [this](ProbeBehavior&, float) { manager->ClearGameObjects(); };
    manager->Update(0.1f);
    EXPECT_EQ(manager->GetObjectCount(), 0);
    Deliver();
    EXPECT_EQ(recorder->Count("Menu Object Delete"), 0);
    EXPECT_EQ(recorder->Count("On Manager Clear"), 1);
}

TEST_F(Manager, DrawsEveryObject)
{
    AddProbe("A");
    AddProbe("B");
    manager->Draw();   // probes draw nothing; this only has to visit every object safely
    EXPECT_EQ(manager->GetObjectCount(), 2);
}

TEST_F(Manager, MessagesReachEveryObjectInListOrder)
{
    std::vector<std::string> order;
    for (const char* name : {"A", "B", "C"}) {
        GameObject* object = AddProbe(name);
        ProbeOf(object)->onMessage = [&order, object](ProbeBehavior&, Message* message) {
            if (message->IsNamed("Ping"))
                order.push_back(object->GetName());
        };
    }
    manager->SendMessage(std::string("Ping"), nullptr);
    Deliver();
    EXPECT_EQ(order, (std::vector<std::string>{"A", "B", "C"}));
}

TEST_F(Manager, CloneObjectOfAnUnsuffixedNameClonesOnce)
{
    // BufferBarSegment clones keep the name they match, so a walk that reached new objects would
    // clone forever.
    AddProbe("BufferBarSegment");
    AddProbe("BufferBarSegment");
    manager->SendMessage(32, "BufferBarSegment", nullptr);
    Deliver();
    EXPECT_EQ(manager->FindGameObjects("BufferBarSegment").size(), 4u);

    AddProbe("Wall");
    manager->SendMessage(32, "Wall", nullptr);
    Deliver();
    EXPECT_EQ(manager->FindGameObjects("Wall").size(), 1u);
    EXPECT_NE(manager->FindGameObject("Wall(Clone 1)"), nullptr);
}

TEST_F(Manager, ObjectsRemovedDuringForwardingAreSkipped)
{
    GameObject* a = AddProbe("A");
    GameObject* b = AddProbe("B");
    GameObject* c = AddProbe("C");
    // A deletes C; B deletes itself; the message does not reach C and nothing is used after free.
    ProbeOf(a)->onMessage = [this](ProbeBehavior&, Message* message) {
        if (message->IsNamed("Purge"))
            manager->DeleteGameObject("C");
    };
    ProbeOf(b)->onMessage = [this](ProbeBehavior&, Message* message) {
        if (message->IsNamed("Purge"))
            manager->DeleteGameObject("B");
    };
    int cSaw = 0;
    ProbeOf(c)->onMessage = [&cSaw](ProbeBehavior&, Message* message) {
        if (message->IsNamed("Purge"))
            ++cSaw;
    };
    manager->SendMessage(std::string("Purge"), nullptr);
    Deliver();
    EXPECT_EQ(cSaw, 0);
    EXPECT_EQ(ListedNames(), (std::vector<std::string>{"A"}));
    (void)a;
}

TEST_F(Manager, CollisionPairsInListOrder)
{
    static std::vector<std::pair<std::string, std::string>> pairs;
    pairs.clear();
    auto record = [](Collider* a, Collider* b) {
        pairs.emplace_back(a->GetOwner()->GetName(), b->GetOwner()->GetName());
    };
    void (*saved)(Collider*, Collider*) = CollisionPairHook;
    CollisionPairHook = record;
    for (const char* name : {"A", "NoCollider1", "B", "NoCollider2", "C"}) {
        GameObject* object = AddProbe(name);
        if (name[0] != 'N') {
            auto* collider = new Collider();
            collider->SetCircle(1.0f);
            object->SetComponent(collider);
        }
    }
    manager->Update(0.0f);
    CollisionPairHook = saved;
    EXPECT_EQ(pairs, (std::vector<std::pair<std::string, std::string>>{{"A", "B"}, {"A", "C"}, {"B", "C"}}));
}

TEST_F(Manager, ObjectsAddedDuringTheCollisionPassJoinNextFrame)
{
    static std::vector<std::pair<std::string, std::string>> pairs;
    static GameObjectManager* theManager = nullptr;
    static bool spawned = false;
    pairs.clear();
    spawned = false;
    theManager = manager;
    void (*saved)(Collider*, Collider*) = CollisionPairHook;
    CollisionPairHook = [](Collider* a, Collider* b) {
        pairs.emplace_back(a->GetOwner()->GetName(), b->GetOwner()->GetName());
        if (!spawned) {
            spawned = true;
            auto* late = new GameObject();
            late->SetName("Late");
            auto* collider = new Collider();
            collider->SetCircle(1.0f);
            late->SetComponent(collider);
            theManager->AddGameObject(late);
        }
        // A removal during the pass: B goes, and takes no further part.
        if (a->GetOwner()->GetName() == "A" && b->GetOwner()->GetName() == "B")
            theManager->DeleteGameObject("B");
    };
    for (const char* name : {"A", "B", "C"}) {
        GameObject* object = AddProbe(name);
        auto* collider = new Collider();
        collider->SetCircle(1.0f);
        object->SetComponent(collider);
    }
    manager->Update(0.0f);
    EXPECT_EQ(pairs, (std::vector<std::pair<std::string, std::string>>{{"A", "B"}, {"A", "C"}}));
    pairs.clear();
    manager->Update(0.0f);
    EXPECT_EQ(pairs, (std::vector<std::pair<std::string, std::string>>{{"A", "C"}, {"A", "Late"}, {"C", "Late"}}));
    CollisionPairHook = saved;
}

TEST_F(Manager, PhysicsRegistryClearedWhenFlagged)
{
    PhysicsSystem physics;
    physics.Init();
    physics.AddRecord("A", "B", 1.0f, 0.0f, 0);
    manager->Update(0.0f);
    EXPECT_NE(physics.GetRecords("A"), nullptr) << "no flag: the registry stays";
    physics.clearFlag = true;
    manager->Update(0.0f);
    EXPECT_FALSE(physics.clearFlag);
    EXPECT_EQ(physics.GetRecords("A"), nullptr);
}

TEST(ManagerAlone, WorksWithoutInitOrPhysics)
{
    ASSERT_EQ(gPhysicsSystem, nullptr);
    GameObjectManager manager;
    EXPECT_EQ(manager.FindGameObject("x"), nullptr);
    EXPECT_TRUE(manager.FindGameObjects("x").empty());
    manager.Update(0.0f);
    manager.Draw();
    manager.ClearGameObjects();   // the "On Manager Clear" message is dropped without a message system
    auto* object = new GameObject();
    object->SetName("Solo");
    manager.AddGameObject(object);
    EXPECT_EQ(manager.FindGameObject("Solo"), object);
    manager.Update(0.0f);
    // The destructor deletes the object (no leak under the sanitizers).
}

} // namespace

namespace {

// The shipped archetypes, built from the repository's data folder: two walls and a crate placed over
// one of them meet in the collision pass.
TEST(ManagerShippedData, CollisionPassReachesTheColliders)
{
    Engine engine;
    gEngine = &engine;
    for (const char* name : {"MessageSystem", "ObjectFactory", "GameObjectFactory", "GameObjectManager"})
        ASSERT_NE(engine.AddSystem(std::string(name)), nullptr) << name;
    engine.Init();
    ASSERT_NE(gGameObjectFactory, nullptr);
    ASSERT_NE(gGameObjectManager, nullptr);

    GameObject* wall = gGameObjectFactory->CreateGameObject("archetypes/Wall", true);
    GameObject* far = gGameObjectFactory->CreateGameObject("archetypes/Wall", true);
    GameObject* crate = gGameObjectFactory->CreateGameObject("archetypes/Crate", true);
    ASSERT_NE(wall->GetCollider(), nullptr);
    ASSERT_NE(crate->GetCollider(), nullptr);
    EXPECT_EQ(far->GetName(), "Wall(Clone 1)");
    far->GetTransform()->SetTranslation(50.0f, 50.0f);
    crate->GetTransform()->SetTranslation(0.6f, 0.0f);   // overlapping the wall's right edge

    testing::internal::CaptureStdout();
    gGameObjectManager->Update(1.0f / 60.0f);
    const std::string out = testing::internal::GetCapturedStdout();
    // Only the wall under the crate met it (the static wall comes first in the list), and the
    // crate is now blocked on some side for the next physics step.
    std::size_t seen = 0;
    for (std::size_t at = out.find("Static NonStatic Collision"); at != std::string::npos;
         at = out.find("Static NonStatic Collision", at + 1))
        ++seen;
    EXPECT_EQ(seen, 1u) << out;
    ASSERT_NE(crate->GetPhysics(), nullptr);
    EXPECT_EQ(crate->GetPhysics()->GetSideBits(), 4) << "blocked on its left";
    engine.DeleteSystems();
    gEngine = nullptr;
}

} // namespace
