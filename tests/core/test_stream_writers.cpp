// Stored values (Stream::StreamData) and the Stream field writers: the bytes they save.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "core/AudioEvent.h"
#include "FolderTest.h"
#include "core/Stream.h"
#include "core/Trace.h"

using namespace testsupport;
using StreamData = Stream::StreamData;
using Type = Stream::StreamDataType;

namespace {

class StreamWriterTest : public FolderTest {
protected:
    fs::path SaveFile(const std::string& name) const { return Save(name + ".json"); }
    fs::path DataFile(const std::string& name) const { return Data(name + ".json"); }
};

AudioEvent SoundEvent()
{
    AudioEvent event;
    event.type = AudioEventType_SoundEmitter;
    event.audioEventID = "Player_Motor";
    event.loopedEvent = true;
    event.eventStartTrigger = AudioEventTrigger_OnStart;
    event.eventStopTrigger = AudioEventTrigger_OnDestroy;
    event.spatializedEvent = true;
    return event;
}

} // namespace

// ---- Writers ---------------------------------------------------------------------------------------------

TEST_F(StreamWriterTest, WriteDataAddsThenReplacesAndSaves)
{
    Stream stream("scripts/variables/StaticVars", StreamMode_SaveDir, true);
    const fs::path file = SaveFile("scripts/variables/StaticVars");
    stream.WriteData("Score", 5);
    EXPECT_EQ(ReadFile(file), "{\n    \"Score\": 5\n}");
    stream.WriteData("Score", 7);
    EXPECT_EQ(ReadFile(file), "{\n    \"Score\": 7\n}");
    stream.WriteData("Ratio", 0.1f);
    stream.WriteData("Name", "Pemmet");
    stream.WriteData("Alive", true);
    EXPECT_EQ(ReadFile(file), "{\n"
                              "    \"Score\": 7,\n"
                              "    \"Ratio\": 0.10000000149011612,\n"
                              "    \"Name\": \"Pemmet\",\n"
                              "    \"Alive\": true\n"
                              "}");
    // A member changes kind when a value of another kind is written over it.
    stream.WriteData("Score", "high");
    EXPECT_EQ(stream.ReadString("Score"), "high");

    Stream again("scripts/variables/StaticVars", StreamMode_SaveDir, false);
    EXPECT_EQ(again.ReadData("Ratio").GetFloat(), 0.1f);
    EXPECT_EQ(again.ReadData("Name").GetString(), "Pemmet");
    EXPECT_TRUE(again.ReadData("Alive").GetBool());
}

TEST_F(StreamWriterTest, WriteDataWithoutCreateOnlyOverwrites)
{
    WriteFile(SaveFile("vars"), "{}");
    Stream stream("vars", StreamMode_SaveDir, false);
    stream.WriteData("Score", 5);
    EXPECT_EQ(ReadFile(SaveFile("vars")), "{}");
    EXPECT_FALSE(stream.HasMember("Score"));

    WriteFile(SaveFile("vars2"), R"({"Score": 1})");
    Stream existing("vars2", StreamMode_SaveDir, false);
    existing.WriteData("Score", 2);
    EXPECT_EQ(ReadFile(SaveFile("vars2")), "{\n    \"Score\": 2\n}");
}

TEST_F(StreamWriterTest, WriteMemberIntoObjects)
{
    WriteFile(DataFile("menu"), R"({"Player": {"Lives": 1}, "Count": 3})");
    Stream stream("menu", StreamMode_Data, true);
    stream.WriteMember(4, "Player", "Lives");  // overwriting does not save
    EXPECT_EQ(ReadFile(DataFile("menu")), R"({"Player": {"Lives": 1}, "Count": 3})");
    EXPECT_EQ(stream.ReadInt("Player", "Lives"), 4);
    stream.WriteMember(2, "Player", "Bombs");  // adding saves
    stream.WriteMember(1, "Count", "Sub");     // "Count" is not an object: left alone
    stream.WriteMember(9, "Enemy", "Lives");
    EXPECT_EQ(ReadFile(DataFile("menu")), "{\n"
                                          "    \"Player\": {\n"
                                          "        \"Lives\": 4,\n"
                                          "        \"Bombs\": 2\n"
                                          "    },\n"
                                          "    \"Count\": 3,\n"
                                          "    \"Enemy\": {\n"
                                          "        \"Lives\": 9\n"
                                          "    }\n"
                                          "}");
}

TEST_F(StreamWriterTest, AddFieldWritesVectorListsThatReadBack)
{
    WriteFile(DataFile("scene"), R"({"Scene Positions": [[1, 2]]})");
    Stream stream("scene", StreamMode_Data, false);
    stream.AddField("Scene Scales", StreamData(std::vector<Vector4f>{Vector4f(1, 2, 0, 0)}));
    EXPECT_EQ(ReadFile(DataFile("scene")), "{\n"
                                           "    \"Scene Positions\": [\n"
                                           "        [\n"
                                           "            1,\n"
                                           "            2\n"
                                           "        ]\n"
                                           "    ],\n"
                                           "    \"Scene Scales\": [\n"
                                           "        [\n"
                                           "            1.0,\n"
                                           "            2.0,\n"
                                           "            0.0,\n"
                                           "            0.0\n"
                                           "        ]\n"
                                           "    ]\n"
                                           "}");
    Stream again("scene", StreamMode_Data, false);
    const std::vector<Vector4f> scales = again.ReadVector4fArray("Scene Scales");
    ASSERT_EQ(scales.size(), 1u);
    EXPECT_EQ(scales[0], Vector4f(1, 2, 0, 0));
}

TEST_F(StreamWriterTest, AddObjectFieldCreatesTheObject)
{
    WriteFile(DataFile("save"), "{}");
    Stream stream("save", StreamMode_Data, false);
    stream.AddObjectField("Player", "Lives", 3);
    EXPECT_EQ(ReadFile(DataFile("save")), "{\n    \"Player\": {\n        \"Lives\": 3\n    }\n}");
    stream.AddObjectField("Player", "Keys", 1);
    EXPECT_EQ(stream.ReadInt("Player", "Keys"), 1);
    EXPECT_EQ(stream.ReadInt("Player", "Lives"), 3);
}

TEST_F(StreamWriterTest, EveryTagHasItsJsonShape)
{
    WriteFile(DataFile("all"), "{}");
    Stream stream("all", StreamMode_Data, false);
    stream.AddField("v", StreamData(Vector4f(1, 2.5f, 3, 4)));
    stream.AddField("ints", StreamData(std::vector<int32_t>{1, -2}));
    stream.AddField("floats", StreamData(std::vector<float>{0.5f, 0.1f}));
    stream.AddField("wide", StreamData::IntList64({3000, -4}));
    stream.AddField("names", StreamData(std::vector<std::string>{"a", "b"}));
    stream.AddField("empty", StreamData(std::vector<float>{}));
    EXPECT_EQ(ReadFile(DataFile("all")), "{\n"
                                         "    \"v\": [\n        1.0,\n        2.5,\n        3.0,\n        4.0\n    ],\n"
                                         "    \"ints\": [\n        1,\n        -2\n    ],\n"
                                         "    \"floats\": [\n        0.5,\n        0.10000000149011612\n    ],\n"
                                         "    \"wide\": [\n        3000,\n        -4\n    ],\n"
                                         "    \"names\": [\n        \"a\",\n        \"b\"\n    ],\n"
                                         "    \"empty\": []\n"
                                         "}");
}

TEST_F(StreamWriterTest, AudioEventsAreWrittenAsObjects)
{
    WriteFile(DataFile("audio"), "{}");
    Stream stream("audio", StreamMode_Data, false);
    AudioEvent sound = SoundEvent();
    AudioEvent parameter;
    parameter.type = AudioEventType_ChangeGlobalParameter;
    parameter.audioParameterID = "PickUp_Chain";
    parameter.parameterValue = 0.5f;
    parameter.eventStartTrigger = AudioEventTrigger_OnCollision;
    parameter.eventStopTrigger = static_cast<AudioEventTrigger>(12);
    stream.AddField("one", StreamData(sound));
    stream.AddField("list", StreamData(std::vector<AudioEvent*>{&sound, nullptr, &parameter}));
    EXPECT_EQ(ReadFile(DataFile("audio")), "{\n"
                                           "    \"one\": {\n"
                                           "        \"audioEventType\": \"soundEmitter\",\n"
                                           "        \"audioEventID\": \"Player_Motor\",\n"
                                           "        \"loopedEvent\": true,\n"
                                           "        \"eventStartTrigger\": \"onStart\",\n"
                                           "        \"eventStopTrigger\": \"onDestroy\",\n"
                                           "        \"spatializedEvent\": true,\n"
                                           "        \"parameterValue\": 0.0,\n"
                                           "        \"audioParameterID\": \"\"\n"
                                           "    },\n"
                                           "    \"list\": [\n"
                                           "        {\n"
                                           "            \"audioEventType\": \"soundEmitter\",\n"
                                           "            \"audioEventID\": \"Player_Motor\",\n"
                                           "            \"loopedEvent\": true,\n"
                                           "            \"eventStartTrigger\": \"onStart\",\n"
                                           "            \"eventStopTrigger\": \"onDestroy\",\n"
                                           "            \"spatializedEvent\": true,\n"
                                           "            \"parameterValue\": 0.0,\n"
                                           "            \"audioParameterID\": \"\"\n"
                                           "        },\n"
                                           "        {\n"
                                           "            \"audioEventType\": \"changeGlobalParameter\",\n"
                                           "            \"audioEventID\": \"\",\n"
                                           "            \"loopedEvent\": false,\n"
                                           "            \"eventStartTrigger\": \"onCollision\",\n"
                                           "            \"eventStopTrigger\": \"invalidTrigger\",\n"
                                           "            \"spatializedEvent\": false,\n"
                                           "            \"parameterValue\": 0.5,\n"
                                           "            \"audioParameterID\": \"PickUp_Chain\"\n"
                                           "        }\n"
                                           "    ]\n"
                                           "}");

    // Overwriting an existing object sets the members and keeps the others.
    WriteFile(DataFile("audio2"), R"({"ev": {"note": "x", "audioEventID": "old"}, "num": 3})");
    Stream over("audio2", StreamMode_Data, false);
    over.WriteData("ev", StreamData(sound));
    over.WriteData("num", StreamData(sound));
    EXPECT_EQ(over.ReadString("ev", "note"), "x");
    EXPECT_EQ(over.ReadString("ev", "audioEventID"), "Player_Motor");
    EXPECT_EQ(over.ReadString("num", "eventStopTrigger"), "onDestroy");
}

TEST_F(StreamWriterTest, WriteMenuObjectFieldSetsOnlyExistingFloatAndStringMembers)
{
    WriteFile(DataFile("menus/Main"), R"({"MenuObjects": [{"TranslationX": 1, "Texture": "a"}, 4]})");
    Stream stream("menus/Main", StreamMode_Data, false);
    {
        StreamData texture(std::string("button_pressed"));
        stream.WriteMenuObjectField(0, "Texture", texture);
    }  // the stored string outlives the value passed
    stream.WriteMenuObjectField(0, "TranslationX", 0.1f);
    stream.WriteMenuObjectField(0, "TranslationY", 2.0f);   // missing: left absent
    stream.WriteMenuObjectField(0, "Texture", 5);           // an int changes nothing
    stream.WriteMenuObjectField(1, "Texture", "x");         // not an object
    stream.WriteMenuObjectField(7, "Texture", "x");         // past the end
    EXPECT_EQ(ReadFile(DataFile("menus/Main")), R"({"MenuObjects": [{"TranslationX": 1, "Texture": "a"}, 4]})");
    stream.Save();
    EXPECT_EQ(ReadFile(DataFile("menus/Main")), "{\n"
                                                "    \"MenuObjects\": [\n"
                                                "        {\n"
                                                "            \"TranslationX\": 0.10000000149011612,\n"
                                                "            \"Texture\": \"button_pressed\"\n"
                                                "        },\n"
                                                "        4\n"
                                                "    ]\n"
                                                "}");
}

// ---- StreamData values -----------------------------------------------------------------------------------

TEST(StreamData, ConstructorsSetTheirTags)
{
    EXPECT_EQ(StreamData().GetType(), Type::Int);
    EXPECT_EQ(StreamData().GetInt(), 0);
    EXPECT_EQ(StreamData(5).GetInt(), 5);
    EXPECT_EQ(StreamData(1.5f).GetType(), Type::Float);
    EXPECT_EQ(StreamData(true).GetType(), Type::Bool);
    EXPECT_EQ(StreamData("x").GetType(), Type::String);
    EXPECT_EQ(StreamData(Vector4f(1, 2)).GetVector4f(), Vector4f(1, 2, 0, 0));
    EXPECT_EQ(StreamData::IntList64({1}).GetType(), Type::IntList64);
    EXPECT_EQ(StreamData(SoundEvent()).GetAudioEvent().audioEventID, "Player_Motor");

    std::vector<int32_t> ints{1, 2, 3};
    StreamData intList(std::move(ints));
    EXPECT_TRUE(ints.empty());
    EXPECT_EQ(intList.GetType(), Type::IntList);
    EXPECT_EQ(intList.GetIntArray(), (std::vector<int32_t>{1, 2, 3}));

    std::vector<Vector4f> points{Vector4f(1, 1), Vector4f(2, 2)};
    StreamData pointList(std::move(points));
    EXPECT_TRUE(points.empty());
    EXPECT_EQ(pointList.GetType(), Type::Vector4fList);
    EXPECT_EQ(pointList.GetVector4fArray().size(), 2u);

    // Reading a payload of another kind gives that kind's empty value.
    EXPECT_EQ(StreamData("x").GetInt(), 0);
    EXPECT_EQ(StreamData(3).GetString(), "");
    EXPECT_TRUE(StreamData(3).GetIntArray().empty());
}

TEST(StreamData, CopiesAreDeepAndIndependent)
{
    StreamData* original = new StreamData(std::string("abc"));
    StreamData copy(*original);
    delete original;
    EXPECT_EQ(copy.GetString(), "abc");

    StreamData list(std::vector<std::string>{"a", "b"});
    StreamData other = list;
    list = StreamData(std::vector<std::string>{"z"});
    EXPECT_EQ(other.GetStringArray(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(list.GetStringArray(), (std::vector<std::string>{"z"}));

    AudioEvent a = SoundEvent(), b = SoundEvent();
    StreamData events(std::vector<AudioEvent*>{&a, &b});
    StreamData eventsCopy = events;
    EXPECT_EQ(eventsCopy.GetAudioEventArray().size(), 2u);
    EXPECT_EQ(eventsCopy.GetAudioEventArray()[0], &a);  // the events themselves are shared, not owned
}

TEST(StreamData, AssignmentAcrossTagsReplacesThePayload)
{
    StreamData text(std::string("hello"));
    StreamData ints(std::vector<int32_t>{1, 2});
    ints = text;
    EXPECT_EQ(ints.GetType(), Type::String);
    EXPECT_EQ(ints.GetString(), "hello");
    text = 4;
    EXPECT_EQ(ints.GetString(), "hello");
    EXPECT_EQ(text.GetInt(), 4);

    StreamData same(Vector4f(1, 2, 3, 4));
    StreamData& alias = same;
    same = alias;  // self-assignment keeps the value
    EXPECT_EQ(same.GetVector4f(), Vector4f(1, 2, 3, 4));
    same = std::move(alias);
    EXPECT_EQ(same.GetVector4f(), Vector4f(1, 2, 3, 4));
}

TEST(StreamData, MovesLeaveAnEmptyInt)
{
    StreamData source(std::vector<float>{1.0f});
    StreamData moved(std::move(source));
    EXPECT_EQ(moved.GetFloatArray(), (std::vector<float>{1.0f}));
    EXPECT_EQ(source.GetType(), Type::Int);  // NOLINT(bugprone-use-after-move)
    StreamData target("x");
    target = std::move(moved);
    EXPECT_EQ(target.GetType(), Type::FloatList);
    EXPECT_EQ(moved.GetType(), Type::Int);  // NOLINT(bugprone-use-after-move)
}

TEST(StreamData, SetTypeGivesEmptyPayloads)
{
    StreamData value("text");
    value.SetType(Type::Float);
    EXPECT_EQ(value.GetFloat(), 0.0f);
    value.SetType(Type::Bool);
    EXPECT_FALSE(value.GetBool());
    value.SetType(Type::Vector4f);
    EXPECT_EQ(value.GetVector4f(), Vector4f());
    value.SetType(Type::String);
    EXPECT_EQ(value.GetString(), "");
    for (Type t : {Type::IntList, Type::FloatList, Type::IntList64, Type::Vector4fList, Type::StringList,
                   Type::AudioEventList}) {
        value.SetType(t);
        EXPECT_EQ(value.GetType(), t);
    }
    value.SetType(Type::AudioEvent);
    EXPECT_EQ(value.GetAudioEvent().type, AudioEventType_None);
    EXPECT_EQ(value.GetAudioEvent().eventStartTrigger, AudioEventTrigger_None);
    value.SetType(static_cast<Type>(40));
    EXPECT_EQ(value.GetType(), Type::Int);
}

TEST(AudioEventRecord, Names)
{
    AudioEvent event;
    EXPECT_EQ(event.GetTypeName(), "soundEmitter");
    event.type = AudioEventType_ChangeParameter;
    EXPECT_EQ(event.GetTypeName(), "changeParameter");
    event.type = AudioEventType_ChangeGlobalParameter;
    EXPECT_EQ(event.GetTypeName(), "changeGlobalParameter");
    EXPECT_EQ(event.GetStartTriggerName(), "invalidTrigger");
    EXPECT_STREQ(AudioEvent::TriggerName(0), "onStart");
    EXPECT_STREQ(AudioEvent::TriggerName(1), "onDestroy");
    EXPECT_STREQ(AudioEvent::TriggerName(2), "onCollision");
    EXPECT_STREQ(AudioEvent::TriggerName(3), "onCollisionExit");
    EXPECT_STREQ(AudioEvent::TriggerName(4), "invalidTrigger");
}
