// GameObjectFactory and ObjectFactory: building from archetypes and object files, the archetype
// cache, ids, registration rules, the factory messages, bad files, and cyclic archetypes.
#include "test_factory_fixture.h"

#include "core/Engine.h"
#include "core/Transform.h"
#include "world/Physics.h"

using testfixture::ObjectsTest;
using testfixture::ProbeBehavior;
using testfixture::ProbeOf;

namespace {

constexpr const char* kWall = R"({
    "Name": "Wall",
    "Transform": { "TranslationX": 3.0, "TranslationY": 4.0, "ScaleX": 2.0, "ScaleY": 2.0, "Rotation": 0.0 }
})";

class Factory : public ObjectsTest {
protected:
    void SetUp() override
    {
        ObjectsTest::SetUp();
        WriteData("archetypes/Wall", kWall);
    }

    int CountComponents(GameObject* object)
    {
        int n = 0;
        for (int slot = 0; slot < COMPONENT_TYPE_COUNT; ++slot)
            n += object->GetComponent(slot) ? 1 : 0;
        return n;
    }

    // A probe archetype put straight into the cache under a name.
    void CacheProbe(const std::string& name)
    {
        auto* archetype = new GameObject();
        archetype->SetName(name);
        archetype->SetComponent(new ProbeBehavior());
        factory->archetypes.PushBack(archetype);
    }
};

TEST_F(Factory, NamesAndGlobals)
{
    EXPECT_EQ(factory->GetName(), "GameObjectFactory");
    EXPECT_EQ(objectFactory->GetName(), "ObjectFactory");
    EXPECT_EQ(gGameObjectFactory, factory);
    EXPECT_EQ(gObjectFactory, objectFactory);
    EXPECT_STREQ(factory->archetypePath, "archetypes/");
    // Later factories do not take over the globals, and do not clear them when they go.
    delete new GameObjectFactory();
    delete new ObjectFactory();
    EXPECT_EQ(gGameObjectFactory, factory);
    EXPECT_EQ(gObjectFactory, objectFactory);
}

TEST_F(Factory, EngineFactoryNames)
{
    for (const char* name : {"GameObjectFactory", "GameObjectManager", "ObjectFactory"}) {
        ISystem* system = CreateSystem(name);
        ASSERT_NE(system, nullptr) << name;
        EXPECT_EQ(system->GetName(), name);
        EXPECT_EQ(system->exposed, 0);
        EXPECT_EQ(system->active, 1);
        delete system;
    }
    EXPECT_EQ(gGameObjectFactory, factory);
    EXPECT_EQ(gGameObjectManager, manager);
}

TEST_F(Factory, BuildsFromArchetypeAndCachesACopy)
{
    GameObject* wall = factory->CreateGameObject("archetypes/Wall", true);
    ASSERT_NE(wall, nullptr);
    EXPECT_EQ(wall->GetName(), "Wall");
    ASSERT_NE(wall->GetTransform(), nullptr);
    EXPECT_FLOAT_EQ(wall->GetTransform()->TranslationX, 3.0f);
    EXPECT_NE(wall->GetPhysics(), nullptr) << "every object has a Physics";
    EXPECT_TRUE(manager->IsListed(wall));
    ASSERT_EQ(factory->GetArchetypeCount(), 1);
    GameObject* cached = factory->GetArchetypeAt(0);
    EXPECT_NE(cached, wall);
    EXPECT_EQ(cached->GetName(), "Wall");
    EXPECT_FALSE(manager->IsListed(cached));
}

TEST_F(Factory, IdsAreConsecutiveAcrossCreationsAndClones)
{
    const std::uint32_t first = GameObjectFactory::PeekNextId();
    GameObject* a = factory->CreateGameObject("archetypes/Wall", true);
    GameObject* b = factory->CreateGameObject("archetypes/Wall", true);
    GameObject* c = factory->CloneAndRegister(a);
    GameObject* d = factory->CreateGameObject("Wall", false);
    EXPECT_EQ(a->GetId(), first);
    EXPECT_EQ(b->GetId(), first + 1);
    EXPECT_EQ(c->GetId(), first + 2);
    EXPECT_EQ(d->GetId(), first + 3);
    EXPECT_EQ(GameObjectFactory::PeekNextId(), first + 4);
    EXPECT_EQ(factory->GetArchetypeCount(), 1) << "the second request and the bare name use the cache";
    delete d;   // never registered

    // Ids are never reset, not even by a new factory.
    factory->ClearArchetypes();
    GameObject* e = factory->CreateGameObject("archetypes/Wall", true);
    EXPECT_EQ(e->GetId(), first + 4);
}

TEST_F(Factory, CloneAndRegister)
{
    GameObject* wall = factory->CreateGameObject("archetypes/Wall", true);
    wall->SetComponent(new ProbeBehavior());
    GameObject* clone = factory->CloneAndRegister(wall);
    ASSERT_NE(clone, nullptr);
    EXPECT_NE(clone, wall);
    EXPECT_EQ(clone->GetName(), "Wall(Clone 1)");
    EXPECT_TRUE(manager->IsListed(clone));
    EXPECT_EQ(ProbeOf(clone)->inits, 1);
    EXPECT_FLOAT_EQ(clone->GetTransform()->TranslationX, 3.0f);
    EXPECT_EQ(factory->CloneAndRegister(nullptr), nullptr);
}

TEST_F(Factory, CacheSurvivesDeletingTheFileUntilPrefabNameChange)
{
    factory->CreateGameObject("archetypes/Wall", true);
    RemoveData("archetypes/Wall");
    GameObject* again = factory->CreateGameObject("archetypes/Wall", true);
    EXPECT_EQ(again->GetName(), "Wall(Clone 1)");
    EXPECT_FLOAT_EQ(again->GetTransform()->TranslationX, 3.0f);

    // "_ChangePrefabeName_" empties the cache; the next request reads the (now missing) file.
    factory->SendMessage(34, nullptr);
    Deliver();
    EXPECT_EQ(factory->GetArchetypeCount(), 0);
    testing::internal::CaptureStdout();
    GameObject* rebuilt = factory->CreateGameObject("archetypes/Wall", true);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(rebuilt->GetName(), "");
    EXPECT_EQ(rebuilt->GetTransform(), nullptr);
}

TEST_F(Factory, PrefabNameChangeRereadsAChangedFile)
{
    factory->CreateGameObject("archetypes/Wall", true);
    WriteData("archetypes/Wall", R"({ "Name": "Wall", "Transform": { "TranslationX": 9.0 } })");
    EXPECT_FLOAT_EQ(factory->CreateGameObject("archetypes/Wall", true)->GetTransform()->TranslationX, 3.0f);
    factory->SendMessage(34, nullptr);
    Deliver();
    EXPECT_FLOAT_EQ(factory->CreateGameObject("archetypes/Wall", true)->GetTransform()->TranslationX, 9.0f);
}

TEST_F(Factory, ArchetypeNamedDifferentlyFromItsFileIsReadEveryTime)
{
    WriteData("archetypes/Odd", R"({ "Name": "Strange" })");
    GameObject* first = factory->CreateGameObject("archetypes/Odd", true);
    GameObject* second = factory->CreateGameObject("archetypes/Odd", true);
    EXPECT_EQ(first->GetName(), "Strange");
    EXPECT_EQ(second->GetName(), "Strange(Clone 1)");
    EXPECT_EQ(factory->GetArchetypeCount(), 2);
    // But a request by the archetype's own name finds the cached copy.
    GameObject* byName = factory->CreateGameObject("archetypes/Strange", true);
    EXPECT_EQ(byName->GetName(), "Strange(Clone 2)");
    EXPECT_EQ(factory->GetArchetypeCount(), 2);
}

TEST_F(Factory, GameObjectBuildMessage)
{
    factory->SendMessage(2, "archetypes/Wall", nullptr);
    Deliver();
    GameObject* wall = manager->FindGameObject("Wall");
    ASSERT_NE(wall, nullptr);
    EXPECT_FLOAT_EQ(wall->GetTransform()->TranslationY, 4.0f);
}

TEST_F(Factory, ObjectFileWithArchetypeAndOverrides)
{
    WriteData("archetypes/Door", R"({ "Name": "Door" })");
    WriteData("objects/BigWall", R"({
        "Archetype": "Wall",
        "Name": "BigWall",
        "Transform": { "TranslationX": -7.5 },
        "Children": [ "archetypes/Door" ]
    })");
    const std::uint32_t first = GameObjectFactory::PeekNextId();
    GameObject* big = factory->CreateGameObject("objects/BigWall", false);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->GetName(), "BigWall");
    EXPECT_TRUE(manager->IsListed(big)) << "registered whatever addAndInit says";
    EXPECT_FLOAT_EQ(big->GetTransform()->TranslationX, -7.5f);
    EXPECT_FLOAT_EQ(big->GetTransform()->TranslationY, 4.0f) << "kept from the archetype";
    ASSERT_EQ(big->GetChildren().size(), 1u);
    EXPECT_EQ(big->GetChildren()[0]->GetName(), "Door");
    EXPECT_EQ(big->GetChildren()[0]->GetParent(), big);
    EXPECT_EQ(big->GetId(), first) << "the object keeps the id of its archetype build";
    // The archetype is cached under its own name; the object file is not.
    ASSERT_GE(factory->GetArchetypeCount(), 1);
    EXPECT_EQ(factory->GetArchetypeAt(0)->GetName(), "Wall");

    // Without "Name" the object is named after its file.
    WriteData("objects/PlainWall", R"({ "Archetype": "Wall" })");
    GameObject* plain = factory->CreateGameObject("objects/PlainWall", true);
    EXPECT_EQ(plain->GetName(), "objects/PlainWall");
    EXPECT_FLOAT_EQ(plain->GetTransform()->TranslationX, 3.0f);
}

TEST_F(Factory, ArchetypeOfTheWrongTypeReadsAsMissing)
{
    WriteData("objects/Numbered", R"({ "Archetype": 5, "Name": "Numbered" })");
    GameObject* object = factory->CreateGameObject("objects/Numbered", true);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->GetName(), "Numbered");
    EXPECT_EQ(object->GetTransform(), nullptr);
}

TEST_F(Factory, DebugShapesAreInitialisedButNotRegistered)
{
    CacheProbe("DebugLine");
    CacheProbe("DebugRectangle");
    CacheProbe("Probe");
    GameObject* line = factory->CreateGameObject("DebugLine", true);
    GameObject* rect = factory->CreateGameObject("DebugRectangle", true);
    GameObject* probe = factory->CreateGameObject("Probe", true);
    GameObject* quiet = factory->CreateGameObject("Probe", false);
    EXPECT_EQ(ProbeOf(line)->inits, 1);
    EXPECT_EQ(ProbeOf(rect)->inits, 1);
    EXPECT_EQ(ProbeOf(probe)->inits, 1);
    EXPECT_EQ(ProbeOf(quiet)->inits, 0);
    EXPECT_FALSE(manager->IsListed(line));
    EXPECT_FALSE(manager->IsListed(rect));
    EXPECT_TRUE(manager->IsListed(probe));
    EXPECT_FALSE(manager->IsListed(quiet));
    delete line;
    delete rect;
    delete quiet;
}

TEST_F(Factory, MissingFileGivesANamelessObjectWithPhysics)
{
    testing::internal::CaptureStdout();
    GameObject* object = factory->CreateGameObject("archetypes/DoesNotExist", true);
    const std::string out = testing::internal::GetCapturedStdout();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->GetName(), "");
    EXPECT_NE(object->GetPhysics(), nullptr);
    EXPECT_EQ(CountComponents(object), 1);
    EXPECT_NE(out.find("Name"), std::string::npos) << "the missing \"Name\" is reported:\n" << out;
    ASSERT_EQ(factory->GetArchetypeCount(), 1);
    EXPECT_EQ(factory->GetArchetypeAt(0)->GetName(), "");
}

TEST_F(Factory, BrokenFilesDoNotCrash)
{
    WriteData("archetypes/Truncated", R"({ "Name": "Trunc", "Transform": { "TranslationX": 1.)");
    WriteData("archetypes/NotAnObject", R"([ "Name", "Wall" ])");
    WriteData("archetypes/WrongTypes", R"({ "Name": 12, "Children": "archetypes/Wall", "Transform": 3 })");
    WriteData("archetypes/BadChildren", R"({ "Name": "Parent", "Children": [ 1, null, "archetypes/Wall" ] })");
    testing::internal::CaptureStdout();
    GameObject* truncated = factory->CreateGameObject("archetypes/Truncated", true);
    GameObject* notObject = factory->CreateGameObject("archetypes/NotAnObject", true);
    GameObject* wrong = factory->CreateGameObject("archetypes/WrongTypes", true);
    GameObject* parent = factory->CreateGameObject("archetypes/BadChildren", true);
    testing::internal::GetCapturedStdout();
    ASSERT_NE(truncated, nullptr);
    ASSERT_NE(notObject, nullptr);
    ASSERT_NE(wrong, nullptr);
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(truncated->GetName(), "");
    EXPECT_EQ(notObject->GetName(), "(Clone 1)") << "the second nameless object registered";
    EXPECT_EQ(parent->GetName(), "Parent");
    manager->Update(1.0f / 60.0f);
    manager->Draw();
}

// The creation guards: a name already in its own creation chain is refused at its first repeat, the
// depth cap still holds for long chains of distinct archetypes, and one creation builds at most 4096
// objects.
TEST_F(Factory, CyclesDepthAndFanOutAreCut)
{
    auto children = [](const std::string& child, int times) {
        std::string list;
        for (int i = 0; i < times; ++i)
            list += (i ? ", \"" : "\"") + child + "\"";
        return "[" + list + "]";
    };
    auto count = [](const std::string& text, const std::string& part) {
        int n = 0;
        for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++n;
        return n;
    };
    for (int i = 0; i < 20; ++i)
        WriteData("archetypes/Deep" + std::to_string(i),
                  R"({ "Name": "Deep", "Children": [ "archetypes/Deep)" + std::to_string(i + 1) + R"(" ] })");
    WriteData("archetypes/Ping", R"({ "Name": "Ping", "Children": [ "archetypes/Pong" ] })");
    WriteData("archetypes/Pong", R"({ "Name": "Pong", "Children": [ "Ping" ] })");
    WriteData("Ping", R"({ "Archetype": "Ping" })");
    WriteData("archetypes/Fan", R"({ "Name": "Fan", "Children": )" + children("archetypes/Leaf", 70) + "}");
    WriteData("archetypes/Leaf", R"({ "Name": "Leaf", "Children": )" + children("archetypes/Twig", 70) + "}");
    WriteData("archetypes/Twig", R"({ "Name": "Twig" })");
    const std::string loopLine = "lists \"archetypes/Loop\" as a child, but \"archetypes/Loop\" is already being "
                                 "built in that chain; the child was not created";
    struct Case {
        std::string name;     // created twice (the second time from the cache)
        int loops;            // self references written into archetypes/Loop (0: not used)
        int objects;          // listed after the first creation
        std::string line;     // expected trace line
        int lines;            // how often, per creation
    };
    const Case cases[] = {
        {"archetypes/Loop", 1, 1, "\"archetypes/Loop\" " + loopLine, 1},
        {"archetypes/Loop", 2, 1, loopLine, 2},
        {"archetypes/Loop", 3, 1, loopLine, 3},
        {"archetypes/Ping", 0, 2, "\"Ping\" lists \"archetypes/Ping\" as a child", 1},
        {"archetypes/Deep0", 0, 16, "\"archetypes/Deep16\" was not created: objects nest more than 16 levels deep", 1},
        {"archetypes/Fan", 0, 4096, "one creation has built 4096 objects; \"archetypes/Twig\" and the rest", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + " " + std::to_string(c.loops));
        manager->ClearGameObjects();
        factory->ClearArchetypes();
        if (c.loops)
            WriteData("archetypes/Loop", R"({ "Name": "Loop", "Children": )" + children("archetypes/Loop", c.loops) + "}");
        testing::internal::CaptureStdout();
        ASSERT_NE(factory->CreateGameObject(c.name, true), nullptr);
        const std::string first = testing::internal::GetCapturedStdout();
        EXPECT_EQ(manager->GetObjectCount(), c.objects);
        EXPECT_EQ(count(first, c.line), c.lines) << first;
        // From the cache: the same objects again, the same lines.
        testing::internal::CaptureStdout();
        ASSERT_NE(factory->CreateGameObject(c.name, true), nullptr);
        const std::string second = testing::internal::GetCapturedStdout();
        EXPECT_EQ(manager->GetObjectCount(), 2 * c.objects);
        EXPECT_EQ(count(second, c.line), c.lines) << second;
    }
    // A clone of a self-listing object builds its one child from the archetype, which stops there.
    testing::internal::CaptureStdout();
    factory->CloneAndRegister(manager->FindGameObject("Fan"));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(manager->GetObjectCount(), 3 * 4096);
}

TEST_F(Factory, WithoutAManagerObjectsAreMadeButNotRegistered)
{
    engine->RemoveSystem("GameObjectManager");
    manager = nullptr;
    ASSERT_EQ(gGameObjectManager, nullptr);
    CacheProbe("Probe");
    GameObject* probe = factory->CreateGameObject("Probe", true);
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(ProbeOf(probe)->inits, 1);
    GameObject* clone = factory->CloneAndRegister(probe);
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(ProbeOf(clone)->inits, 1);
    delete probe;
    delete clone;
}

// ---- ObjectFactory ----------------------------------------------------------------------------------

TEST_F(Factory, ObjectFactoryRefusesUnknownOrBrokenTypes)
{
    WriteData("objects/NotBehavior", R"({ "ObjectType": "Sprite", "ObjectSubType": "BehaviorCollectable" })");
    WriteData("objects/UnknownSub", R"({ "ObjectType": "Behavior", "ObjectSubType": "BehaviorUnicorn" })");
    WriteData("objects/WrongType", R"({ "ObjectType": 1, "ObjectSubType": 2 })");
    WriteData("objects/WrongSubType", R"({ "ObjectType": "Behavior", "ObjectSubType": 2 })");
    WriteData("objects/NoSubType", R"({ "ObjectType": "Behavior" })");
    WriteData("objects/Truncated", R"({ "ObjectType": "Behavior", )");
    const std::string noType = "Error! No field exists with name 'ObjectType'\n";
    const std::string noSubType = "Error! No field exists with name 'ObjectSubType'\n";
    // The report lines of the readers, and none for a member that is not read.
    const struct {
        const char* name;
        std::string line;
        bool subTypeRead;
    } cases[] = {
        {"objects/Missing", noType, false},       {"objects/NotBehavior", "", false},
        {"objects/UnknownSub", "", true},         {"objects/WrongType", noType, false},
        {"objects/WrongSubType", noSubType, true}, {"objects/NoSubType", noSubType, true},
        {"objects/Truncated", noType, false},
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(objectFactory->CreateObject(c.name), nullptr) << c.name;
        const std::string out = testing::internal::GetCapturedStdout();
        if (!c.line.empty()) {
            EXPECT_NE(out.find(c.line), std::string::npos) << c.name << ": " << out;
        }
        EXPECT_EQ(out.find(c.subTypeRead ? noType : noSubType), std::string::npos) << c.name << ": " << out;
    }
    testing::internal::CaptureStdout();
    EXPECT_EQ(objectFactory->CreateObject(nullptr), nullptr);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(objectFactory->GetCacheCount(), 0);
}

TEST_F(Factory, ObjectFactoryMakesTheKnownBehaviours)
{
    // The classes report their own names: "Collectable", and "BehaviorTemplate" for the drop-off.
    for (auto [subType, className] : {std::pair{"BehaviorCollectable", "Collectable"},
                                      std::pair{"BehaviorDropOff", "BehaviorTemplate"}}) {
        Behavior* direct = CreateBehaviorByName(subType);
        const bool available = direct != nullptr;
        delete direct;
        const std::string file = std::string("objects/") + subType;
        WriteData(file, std::string(R"({ "ObjectType": "Behavior", "ObjectSubType": ")") + subType + "\" }");
        const int before = objectFactory->GetCacheCount();
        testing::internal::CaptureStdout();
        Component* made = objectFactory->CreateObject(file.c_str());
        const std::string out = testing::internal::GetCapturedStdout();
        if (!available) {
            // The behaviour classes come with the game rules; until then the factory says so.
            EXPECT_EQ(made, nullptr);
            EXPECT_NE(out.find(std::string("ObjectFactory: ") + subType + " is not available"), std::string::npos)
                << out;
            continue;
        }
        ASSERT_NE(made, nullptr) << subType;
        EXPECT_EQ(made->GetName(), className);
        EXPECT_EQ(made->type, static_cast<int>(ComponentType::Behavior));
        EXPECT_EQ(objectFactory->GetCacheCount(), before + 1);
        // The cached copy is found by its GetName.
        Component* again = objectFactory->CreateObject(className);
        ASSERT_NE(again, nullptr);
        EXPECT_NE(again, made);
        EXPECT_EQ(objectFactory->GetCacheCount(), before + 1);
        delete made;
        delete again;
    }
}

} // namespace

namespace {

TEST_F(Factory, BuildAndRemoveMessagesWithoutTextAreHarmless)
{
    testing::internal::CaptureStdout();
    factory->SendMessage(2, 7, nullptr);        // "GameObject Build" with a number
    manager->SendMessage(35, nullptr);          // "Remove Object Index" without a payload
    Deliver();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(manager->GetObjectCount(), 0);
    EXPECT_NE(out.find("GameObjectFactory: \"GameObject Build\" carries no object name"), std::string::npos) << out;
    EXPECT_EQ(out.find("Assertion"), std::string::npos) << out;
}

} // namespace
