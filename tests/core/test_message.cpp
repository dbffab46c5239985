// Messages and their delivery: payloads, ids, FIFO order, reports and ownership.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/Engine.h"
#include "core/GameObject.h"
#include "core/ISystem.h"
#include "core/Message.h"
#include "MessageRecorder.h"
#include "core/MessageSystem.h"
#include "TestFiles.h"
#include "core/Trace.h"

using testsupport::CaptureConsole;

namespace {

// A system that records the messages it is handed and can react to them.
class Listener : public testsupport::MessageRecorder {
public:
    explicit Listener(std::string systemName = "Listener") : MessageRecorder(std::move(systemName)) {}
};

// An object that only sends.
class Sender : public Object {
public:
    std::string GetName() override { return "Sender"; }
    void Init() override {}
    void Update(float) override {}
    void Draw() override {}
};

// An engine with a MessageSystem and a listener, published as gEngine.
class Delivery : public ::testing::Test {
protected:
    void SetUp() override
    {
        TraceReset();
        gEngine = &engine;
        engine.AddSystem(std::string("MessageSystem"));
        listener = new Listener();
        engine.AddSystem(listener);
        engine.Init();
        messages = static_cast<MessageSystem*>(engine.GetSystem("MessageSystem"));
        ASSERT_NE(messages, nullptr);
    }
    void TearDown() override { TraceReset(); }

    Engine engine;
    MessageSystem* messages = nullptr;
    Listener* listener = nullptr;
    Sender sender;
};

} // namespace

TEST(MessageNames, TableHoldsTheWellKnownNamesUnderTheirIds)
{
    const std::pair<int, const char*> names[] = {
        {MessageId::RequestPlayer, "Request Player"},
        {MessageId::RequestReturnPlayer, "Request Return Player"},
        {MessageId::GameObjectBuild, "GameObject Build"},
        {MessageId::ObjectBuild, "ObjectBuild"},
        {MessageId::AddScore, "Add Score"},
        {MessageId::SetCountdown, "Set Countdown"},
        {MessageId::IncreaseBuffer, "Increase Buffer"},
        {MessageId::SpawnTreasure, "Spawn Treasure"},
        {MessageId::AskForTimer, "AskForTimer"},
        {MessageId::ReturnTimer, "ReturnTimer"},
        {MessageId::EventPlay, "Event_Play"},
        {MessageId::EventPlayParam, "Event_Play_Param"},
        {MessageId::EventStop, "Event_Stop"},
        {MessageId::Unnamed, ""},
        {MessageId::BusMainSetVolume, "Bus_Main_SetVolume"},
        {MessageId::AddPlayerPoints, "Add Player Points"},
        {MessageId::ClearPlayerPoints, "Clear Player Points"},
        {MessageId::SetPlayerBufferFreeze, "Set Player Buffer Freeze"},
        {MessageId::PlayerDecreaseTime, "Player Decrease Time"},
        {MessageId::PlayerIncreaseTime, "Player Increase Time"},
        {MessageId::SetCameraTarget, "Set Camera Target"},
        {MessageId::ShakeCamera, "ShakeCamera"},
        {MessageId::SetCameraBounds, "SetCameraBounds"},
        {MessageId::ZeroBuffer, "Zero Buffer"},
        {MessageId::TreasurePickUp, "Treasure Pick Up"},
        {MessageId::ResetTreasure, "ResetTreasure"},
        {MessageId::CreateTreasureDisplay, "CreateTreasureDisplay"},
        {MessageId::Serialize, "Serialize"},
        {MessageId::SetPlayerSpawn, "Set Player Spawn"},
        {MessageId::StairsActive, "Stairs Active"},
        {MessageId::StairsInactive, "Stairs Inactive"},
        {MessageId::ColliderIDRemove, "ColliderIDRemove"},
        {MessageId::CloneObject, "CloneObject"},
        {MessageId::CollisionRemove, "CollisionRemove"},
        {MessageId::ChangePrefabName, "_ChangePrefabeName_"},
        {MessageId::RemoveObjectIndex, "Remove Object Index"},
        {MessageId::OnManagerClear, "On Manager Clear"},
    };
    ASSERT_EQ(MESSAGE_NAME_COUNT, 37);
    ASSERT_EQ(std::size(names), 37u);
    for (int id = 0; id < MESSAGE_NAME_COUNT; ++id) {
        EXPECT_EQ(names[id].first, id) << "the ids follow the table's order";
        EXPECT_EQ(MessageNames[id], names[id].second) << id;
    }
}

TEST(MessageMatching, IsAndIsNamedCompareExactly)
{
    Sender sender;
    Message empty("", &sender, nullptr, MessageType::None);
    Message score("Add Score", &sender, nullptr, MessageType::None);
    EXPECT_TRUE(empty.Is(13));
    EXPECT_FALSE(score.Is(13));
    EXPECT_TRUE(score.Is(4));
    EXPECT_FALSE(score.Is(-1));
    EXPECT_FALSE(score.Is(37));
    EXPECT_TRUE(score.IsNamed("Add Score"));
    EXPECT_FALSE(score.IsNamed("Add Score "));
    EXPECT_FALSE(score.IsNamed("Add"));
    EXPECT_TRUE(empty.IsComplete());
}

TEST_F(Delivery, FirstInFirstOutIncludingMessagesPostedDuringDelivery)
{
    listener->onMessage = [this](Message* m) {
        if (m->IsNamed("A"))
            sender.SendMessage(std::string("C"), nullptr);
        if (m->IsNamed("C"))
            sender.SendMessage(std::string("D"), nullptr);
    };
    sender.SendMessage(std::string("A"), nullptr);
    sender.SendMessage(std::string("B"), nullptr);
    EXPECT_EQ(messages->QueuedCount(), 2);
    EXPECT_TRUE(listener->seen.empty());

    engine.Update(1.0f / 60.0f);
    EXPECT_EQ(listener->Names(), (std::vector<std::string>{"A", "B", "C", "D"}));
    EXPECT_EQ(messages->QueuedCount(), 0);

    // Delivered once only.
    engine.Update(1.0f / 60.0f);
    EXPECT_EQ(listener->seen.size(), 4u);
}

TEST_F(Delivery, EveryPayloadKindArrivesIntact)
{
    Listener target("Target");
    char buffer[16];
    std::strcpy(buffer, "hello");
    AudioClip clip;
    clip.eventName = "Music_Controller";
    clip.paramName = "GameState";
    clip.paramValue = 3.0f;
    clip.busName = "SFX";
    clip.busVolume = 0.5f;
    clip.intValue = 7;
    clip.position = {1.0f, 2.0f, 3.0f, 4.0f};

    sender.SendMessage(std::string("Int"), -42, &target);
    sender.SendMessage(std::string("Float"), 2.5f, nullptr);
    sender.SendMessage(std::string("UInt"), std::uint32_t{4000000000u}, nullptr);
    sender.SendMessage(std::string("UInt64"), std::uint64_t{0x123456789ABCDEFull}, nullptr);
    sender.SendMessage(std::string("String"), buffer, nullptr);
    std::strcpy(buffer, "changed"); // the message holds its own copy
    sender.SendMessage(std::string("Vector"), 0.1f, 0.2f, 0.3f, 0.4f, nullptr);
    sender.SendMessage(std::string("Clip"), clip, nullptr);
    sender.SendMessage(std::string("None"));
    engine.Update(0.0f);

    const auto& s = listener->seen;
    ASSERT_EQ(s.size(), 8u);
    for (const testsupport::SeenMessage& one : s)
        EXPECT_EQ(one.sender, &sender);
    EXPECT_EQ(s[0].type, MessageType::Int);
    EXPECT_EQ(s[0].number.i, -42);
    EXPECT_EQ(s[0].target, &target);
    EXPECT_EQ(s[1].type, MessageType::Float);
    EXPECT_FLOAT_EQ(s[1].number.f, 2.5f);
    EXPECT_EQ(s[1].target, nullptr);
    EXPECT_EQ(s[2].type, MessageType::UInt);
    EXPECT_EQ(s[2].number.u, 4000000000u);
    EXPECT_EQ(s[3].type, MessageType::UInt64);
    EXPECT_EQ(s[3].number.u64, 0x123456789ABCDEFull);
    EXPECT_EQ(s[4].type, MessageType::String);
    EXPECT_EQ(s[4].text, "hello");
    EXPECT_EQ(s[5].type, MessageType::Vector);
    EXPECT_EQ(s[5].vector, (std::array<float, 4>{0.1f, 0.2f, 0.3f, 0.4f}));
    EXPECT_EQ(s[6].type, MessageType::AudioClip);
    EXPECT_EQ(s[6].clip.eventName, "Music_Controller");
    EXPECT_EQ(s[6].clip.paramName, "GameState");
    EXPECT_FLOAT_EQ(s[6].clip.paramValue, 3.0f);
    EXPECT_EQ(s[6].clip.busName, "SFX");
    EXPECT_FLOAT_EQ(s[6].clip.busVolume, 0.5f);
    EXPECT_EQ(s[6].clip.intValue, 7);
    EXPECT_EQ(s[6].clip.position, (std::array<float, 4>{1.0f, 2.0f, 3.0f, 4.0f}));
    EXPECT_EQ(s[7].type, MessageType::None);
}

TEST_F(Delivery, GettersReadTheirOwnPayloadWithoutReports)
{
    std::string out;
    listener->onMessage = [&](Message* m) {
        out += CaptureConsole([&] {
            if (m->type == MessageType::Float) {
                EXPECT_FLOAT_EQ(m->GetFloat(), 1.5f);
            }
            if (m->type == MessageType::String) {
                EXPECT_EQ(m->GetString(), "text");
            }
            if (m->type == MessageType::Vector) {
                EXPECT_EQ(m->GetVector(), (std::array<float, 4>{1, 2, 3, 4}));
            }
            if (m->type == MessageType::AudioClip) {
                EXPECT_EQ(m->GetAudioClip().paramName, "Paused");
            }
        });
    };
    AudioClip clip;
    clip.paramName = "Paused";
    sender.SendMessage(std::string("f"), 1.5f, nullptr);
    sender.SendMessage(std::string("s"), "text", nullptr);
    sender.SendMessage(std::string("v"), 1.0f, 2.0f, 3.0f, 4.0f, nullptr);
    sender.SendMessage(std::string("a"), clip, nullptr);
    engine.Update(0.0f);
    EXPECT_EQ(listener->seen.size(), 4u);
    EXPECT_EQ(out, "");
}

TEST_F(Delivery, IdSendsCarryTheTableName)
{
    AudioClip clip;
    sender.SendMessage(4, 7, nullptr);
    sender.SendMessage(13, nullptr);
    sender.SendMessage(34, "prefab", nullptr);
    sender.SendMessage(21, 1.0f, 0.0f, 0.0f, 0.0f, nullptr);
    sender.SendMessage(10, clip, nullptr);
    sender.SendMessage(31, std::uint32_t{99}, nullptr);
    sender.SendMessage(35, std::uint64_t{5}, nullptr);
    sender.SendMessage(18, 0.25f, nullptr);
    engine.Update(0.0f);
    ASSERT_EQ(listener->seen.size(), 8u);
    EXPECT_EQ(listener->seen[0].name, "Add Score");
    EXPECT_EQ(listener->seen[0].type, MessageType::Int);
    EXPECT_EQ(listener->seen[0].number.i, 7);
    EXPECT_EQ(listener->Names(), (std::vector<std::string>{"Add Score", "", "_ChangePrefabeName_", "ShakeCamera",
                                                 "Event_Play", "ColliderIDRemove", "Remove Object Index",
                                                 "Player Decrease Time"}));
    EXPECT_EQ(listener->seen[2].text, "prefab");
    EXPECT_EQ(listener->seen[5].number.u, 99u);
    EXPECT_FLOAT_EQ(listener->seen[7].number.f, 0.25f);
}

TEST_F(Delivery, IdOutsideTheTableIsReportedAndNothingIsSent)
{
    const std::string out = CaptureConsole([&] {
        sender.SendMessage(37, 1, nullptr);
        sender.SendMessage(-1, nullptr);
    });
    EXPECT_NE(out.find("Assertion `id >= 0 && id < MESSAGE_NAME_COUNT` failed.Location: src/Object Line "),
              std::string::npos);
    EXPECT_NE(out.find("Message id 37 is not a known message; nothing was sent"), std::string::npos);
    EXPECT_NE(out.find("Message id -1 is not a known message"), std::string::npos);
    EXPECT_EQ(messages->QueuedCount(), 0);
    engine.Update(0.0f);
    EXPECT_TRUE(listener->seen.empty());
}

TEST_F(Delivery, NullSenderIsReportedAndNeverDelivered)
{
    Message* message = nullptr;
    std::string out = CaptureConsole([&] { message = new Message("Orphan", nullptr, nullptr, MessageType::Int); });
    EXPECT_EQ(out, "MESSAGE::ERROR:: Sender of message Orphan is NULL\n"
                   "Assertion `sender != NULL` failed.Location: src/Message Line 86: "
                   "Message Error: Sender of message Orphan is null\n");
    EXPECT_FALSE(message->IsComplete());
    MessageSystem::Post(message);

    out = CaptureConsole([&] { engine.Update(0.0f); });
    EXPECT_EQ(out, "Message named Orphan has no sender.\n"
                   "Message Orphan is incomplete.\n"
                   "Unable to send message named Orphan. Message was incomplete.\n");
    EXPECT_TRUE(listener->seen.empty());

    // A None message without a sender is not complete either.
    CaptureConsole([&] { message = new Message("Nobody", nullptr, nullptr, MessageType::None); });
    EXPECT_FALSE(message->IsComplete());
    delete message;
}

TEST_F(Delivery, IncompleteMessageWithASenderIsDroppedWithTwoLines)
{
    MessageSystem::Post(new Message("Half", &sender, nullptr, MessageType::Float));
    const std::string out = CaptureConsole([&] { engine.Update(0.0f); });
    EXPECT_EQ(out, "Message Half is incomplete.\n"
                   "Unable to send message named Half. Message was incomplete.\n");
    EXPECT_TRUE(listener->seen.empty());
}

TEST(MessageReports, WrongTypeGettersReportAndReturnTheField)
{
    TraceReset();
    Sender sender;
    Message message("Speed", &sender, nullptr, MessageType::Float);
    message.number.f = 2.0f;
    message.complete = true;
    std::string text = "x";
    std::string out = CaptureConsole([&] { text = message.GetString(); });
    EXPECT_EQ(out, "Assertion `type == MessageType::String` failed.Location: src/Message Line 164: "
                   "This message is not a string.\n");
    EXPECT_EQ(text, "");

    out = CaptureConsole([&] { message.GetVector(); });
    EXPECT_EQ(out, "Assertion `type == MessageType::Vector` failed.Location: src/Message Line 172: "
                   "This data is not a vector\n");
    out = CaptureConsole([&] { message.GetAudioClip(); });
    EXPECT_EQ(out, "Assertion `type == MessageType::AudioClip` failed.Location: src/Message Line 180: "
                   "This data is not a audioClip\n");

    Message text2("Name", &sender, nullptr, MessageType::String);
    float value = 1.0f;
    out = CaptureConsole([&] { value = text2.GetFloat(); });
    EXPECT_EQ(out, "Assertion `complete` failed.Location: src/Message Line 142: This message is not complete\n"
                   "Assertion `type == MessageType::Float` failed.Location: src/Message Line 143: "
                   "The message data is not a float\n");
    EXPECT_EQ(value, 0.0f);
    out = CaptureConsole([&] { text2.GetString(); });
    EXPECT_EQ(out, "Assertion `complete` failed.Location: src/Message Line 163: "
                   "Unable to access data since the message is incomplete\n");
}

TEST(MessageReports, SecondSetOnACompleteMessageIsReportedAndStored)
{
    TraceReset();
    Sender sender;
    Message message("Clip", &sender, nullptr, MessageType::AudioClip);
    AudioClip first;
    first.eventName = "First";
    AudioClip second;
    second.eventName = "Second";
    std::string out = CaptureConsole([&] { message.SetAudioClip(first); });
    EXPECT_EQ(out, "");
    EXPECT_TRUE(message.IsComplete());
    out = CaptureConsole([&] { message.SetAudioClip(second); });
    EXPECT_EQ(out, "Assertion `!complete` failed.Location: src/Message Line 261: "
                   "Unable to set data due to message being complete\n");
    EXPECT_EQ(message.GetAudioClip().eventName, "Second");

    Message vector("Vec", &sender, nullptr, MessageType::Vector);
    vector.SetVector(1, 1, 1, 1);
    out = CaptureConsole([&] { vector.SetVector(2, 2, 2, 2); });
    EXPECT_EQ(out, "Assertion `!complete` failed.Location: src/Message Line 253: "
                   "Unable to set data due to message being complete\n");
    EXPECT_EQ(vector.vector[0], 2.0f);

    Message wrong("Wrong", &sender, nullptr, MessageType::Int);
    out = CaptureConsole([&] { wrong.SetVector(3, 3, 3, 3); });
    EXPECT_EQ(out, "Assertion `type == MessageType::Vector` failed.Location: src/Message Line 254: "
                   "Message data was not a vector\n");
    out = CaptureConsole([&] { wrong.SetAudioClip(first); });
    EXPECT_EQ(out, "Assertion `!complete` failed.Location: src/Message Line 261: "
                   "Unable to set data due to message being complete\n"
                   "Assertion `type == MessageType::AudioClip` failed.Location: src/Message Line 262: "
                   "Message data was not an audio clip\n");
}

TEST(MessageReports, NumberSendIntoACompleteMessageTracesOnce)
{
    // The by-name senders warn when the fresh message is already complete; a None message is the only
    // one that is, and it has no payload to store, so a payload send never warns.
    TraceReset();
    gMessageSystem = nullptr;
    Sender sender;
    const std::string out = CaptureConsole([&] {
        sender.SendMessage(std::string("x"), 5, nullptr);
        sender.SendMessage(std::string("y"), "t", nullptr);
    });
    EXPECT_EQ(out, "");
}

TEST(MessagePosting, WithoutAMessageSystemAMessageIsFreedAtOnceAndReachesNobody)
{
    TraceReset();
    Engine engine;
    gEngine = &engine;
    Listener* listener = new Listener();
    engine.AddSystem(listener);
    engine.Init();
    ASSERT_EQ(gMessageSystem, nullptr);
    Sender sender;
    sender.SendMessage(std::string("Lost"), 1, nullptr);
    sender.SendMessage(std::string("Lost too"), "text", nullptr);
    MessageSystem::Post(new Message("Direct", &sender, nullptr, MessageType::None));
    engine.Update(0.0f);
    EXPECT_TRUE(listener->seen.empty());
    gEngine = nullptr;
}

TEST(MessagePosting, BeforeInitTheMessageSystemHasNoQueueAndFreesMessages)
{
    TraceReset();
    MessageSystem system;
    Sender sender;
    sender.SendMessage(std::string("Early"), nullptr);
    EXPECT_EQ(system.QueuedCount(), 0);
    system.Init();
    sender.SendMessage(std::string("Late"), nullptr);
    EXPECT_EQ(system.QueuedCount(), 1);
    // Undelivered messages are freed with the system (checked by the sanitizer build).
}

TEST(MessagePosting, WithNoEngineDeliveryUsesTheGlobalEngineOrDropsWithATrace)
{
    TraceReset();
    gEngine = nullptr;
    Sender sender;
    {
        MessageSystem system;
        system.Init();
        const std::string report = CaptureConsole([&] { system.SetEngine(nullptr); });
        EXPECT_EQ(report, "Assertion `p_engine` failed.Location: src/MessageSystem Line 128: No engine found\n");
        sender.SendMessage(std::string("Nowhere"), 3, nullptr);
        const std::string out = CaptureConsole([&] { system.Update(0.0f); });
        EXPECT_EQ(out, "Message Nowhere was dropped: there is no engine to deliver it to.\n");
        EXPECT_EQ(system.QueuedCount(), 0);

        Engine engine;
        Listener* listener = new Listener();
        engine.AddSystem(listener);
        gEngine = &engine;
        sender.SendMessage(std::string("Global"), 3, nullptr);
        system.Update(0.0f);
        ASSERT_EQ(listener->seen.size(), 1u);
        EXPECT_EQ(listener->seen[0].name, "Global");
        gEngine = nullptr;
        // The engine goes first: the system forgets it.
        system.SetEngine(&engine);
    }
    EXPECT_EQ(gMessageSystem, nullptr);
}

TEST(MessagePosting, ASecondMessageSystemDoesNotBreakDelivery)
{
    TraceReset();
    Engine engine;
    gEngine = &engine;
    engine.AddSystem(std::string("MessageSystem"));
    engine.AddSystem(std::string("MessageSystem"));
    Listener* listener = new Listener();
    engine.AddSystem(listener);
    engine.Init();
    Sender sender;
    sender.SendMessage(std::string("Once"), 1, nullptr);
    engine.Update(0.0f);
    engine.Update(0.0f);
    ASSERT_EQ(listener->seen.size(), 1u);
    EXPECT_EQ(listener->seen[0].name, "Once");

    // Without the global engine as well: each message system knows the engine.
    gEngine = nullptr;
    sender.SendMessage(std::string("Twice"), 2, nullptr);
    engine.Update(0.0f);
    ASSERT_EQ(listener->seen.size(), 2u);
    EXPECT_EQ(listener->seen[1].name, "Twice");
    gEngine = &engine;

    // Removing the live one clears the global; the other one does not touch it.
    MessageSystem* first = static_cast<MessageSystem*>(engine.systems[0]);
    MessageSystem* second = static_cast<MessageSystem*>(engine.systems[1]);
    EXPECT_EQ(gMessageSystem, second);
    delete first;
    engine.systems.erase(engine.systems.begin());
    EXPECT_EQ(gMessageSystem, second);
    engine.RemoveSystem("MessageSystem");
    EXPECT_EQ(gMessageSystem, nullptr);
    gEngine = nullptr;
}

TEST(ObjectDefaults, EmptyOperationsIgnoreTheirArguments)
{
    Sender sender;
    Sender* other = &sender;
    sender.OnFieldChanged("TranslationX");
    sender.WriteToMenuFile();
    sender.OnEnable();
    sender.OnDisable();
    Message message("Any", other, nullptr, MessageType::None);
    sender.HandleMessage(&message);
    EXPECT_EQ(sender.exposed, 0);
    EXPECT_EQ(sender.active, 1);
}

TEST(ObjectDefaults, CloningAnObjectWithoutItsOwnCloneGivesAnEmptyGameObjectAndOneReport)
{
    TraceReset();
    gMessageSystem = nullptr;
    Sender sender;
    Object* copy = nullptr;
    const std::string out = CaptureConsole([&] { copy = sender.Clone(); });
    EXPECT_EQ(out, "Assertion `false` failed.Location: src/Object Line 26: "
                   "Unable to clone Sendersince no clone functio was created\n");
    GameObject* object = dynamic_cast<GameObject*>(copy);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->GetName(), "");
    for (int slot = 0; slot < COMPONENT_TYPE_COUNT; ++slot)
        EXPECT_EQ(object->GetComponent(slot), nullptr);
    EXPECT_TRUE(object->GetChildren().empty());
    delete copy;

    // A system that does not clone itself behaves the same.
    MessageSystem system;
    CaptureConsole([&] { copy = system.Clone(); });
    EXPECT_NE(dynamic_cast<GameObject*>(copy), nullptr);
    delete copy;
}
