// SpriteSheet animation timing with exact frame times: one step per update, looping, one-shot
// animations that put the previous texture back, multi-image animations, stopping, the frame and
// frame-time checks, cloning and the "Animation" block. The textures come from texture files whose
// images do not exist, so no OpenGL is needed: only their frame layout matters here.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/GameObject.h"
#include "core/Stream.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteSheet.h"
#include "TestFiles.h"
#include "core/Trace.h"
#include "graphics/Texture.h"

using namespace testsupport;

namespace {

class Animation : public ::testing::Test {
protected:
    void SetUp() override
    {
        TraceReset();
        auto write = [&](const char* name, const char* json) {
            scratch.Write("assets/data/textures/" + std::string(name) + ".json", json);
        };
        write("Idle", R"({"FileType": "png"})");
        write("Rest", R"({"FileType": "png"})");
        write("Blink", R"({"FileType": "png", "numFrames": 4, "numRows": 2, "numCols": 2, "frameTime": 0.1})");
        write("Wave", R"({"FileType": "png", "numFrames": 3, "numRows": 1, "numCols": 3, "frameTime": 0.25})");
        write("Jump", R"({"FileType": "png", "numFrames": 2, "numRows": 1, "numCols": 2, "frameTime": 0.25})");
        write("Run", R"({"FileType": "png", "numFrames": 8, "numRows": 2, "numCols": 4, "frameTime": 0.25,
                         "numImages": 3, "numFramesLastImage": 5})");
        scratch.Enter();
        library = new GraphicsLibrary();

        object = std::make_unique<GameObject>();
        sprite = new Sprite();
        object->SetComponent(sprite);
        sheet = new SpriteSheet();
        object->SetComponent(sheet);
        Show("Idle");
    }
    void TearDown() override
    {
        object.reset();
        delete library;
        TraceReset();
    }

    // Puts a texture on the sprite (null for "").
    void Show(const std::string& name)
    {
        CaptureConsole([&] {
            sprite->texture = name.empty() ? nullptr : GraphicsLibrary::GetTexture(name, -1);
            sprite->textureIndex = sprite->texture ? GraphicsLibrary::GetTextureIndex(name) : -1;
        });
    }
    std::string Shown() const { return sprite->texture ? sprite->texture->name : std::string("<none>"); }

    void Play(const std::string& name, bool looping, const std::string& returnTo = "")
    {
        CaptureConsole([&] { sheet->PlayAnimation(name, looping, returnTo); });
    }
    // Updates once and returns "texture:frame".
    std::string Step(float dt)
    {
        CaptureConsole([&] { sheet->Update(dt); });
        return Shown() + ":" + std::to_string(sheet->currentFrame);
    }
    std::vector<std::string> Steps(int n, float dt)
    {
        std::vector<std::string> seen;
        for (int i = 0; i < n; ++i)
            seen.push_back(Step(dt));
        return seen;
    }

    ScratchDir scratch{"anim"};
    GraphicsLibrary* library = nullptr;
    std::unique_ptr<GameObject> object;
    Sprite* sprite = nullptr;
    SpriteSheet* sheet = nullptr;
};

TEST_F(Animation, IdleSheet)
{
    EXPECT_EQ(sheet->GetName(), "SpriteSheet");
    EXPECT_EQ(sheet->type, 2);
    EXPECT_EQ(sheet->playing, 0);
    EXPECT_EQ(sheet->numImages, 1);
    EXPECT_EQ(sheet->numFramesLastImage, -1);
    EXPECT_EQ(Step(10.0f), "Idle:0");
}

TEST_F(Animation, PlayStartsOnFrameZeroWithTheTexturesFrameTime)
{
    Play("Blink", true);
    EXPECT_EQ(sheet->playing, 1);
    EXPECT_EQ(sheet->looping, 1);
    EXPECT_EQ(sheet->animationName, "Blink");
    EXPECT_EQ(sheet->frameTime, 0.1f);
    EXPECT_EQ(sheet->timer, 0.1f);
    EXPECT_EQ(sheet->currentFrame, 0);
    EXPECT_EQ(Shown(), "Blink");
    EXPECT_EQ(sprite->textureIndex, GraphicsLibrary::GetTextureIndex("Blink"));
}

TEST_F(Animation, AtMostOneFramePerUpdate)
{
    Play("Blink", true);
    // dt 0.25 is more than two frames of 0.1, yet each update steps once.
    EXPECT_EQ(Steps(5, 0.25f), (std::vector<std::string>{"Blink:1", "Blink:2", "Blink:3", "Blink:0", "Blink:1"}));
    EXPECT_EQ(sheet->timer, 0.1f);
}

TEST_F(Animation, TimerReachingExactlyZeroDoesNotStep)
{
    Play("Wave", true);
    EXPECT_EQ(Step(0.125f), "Wave:0");
    EXPECT_EQ(sheet->timer, 0.125f);
    EXPECT_EQ(Step(0.125f), "Wave:0");
    EXPECT_EQ(sheet->timer, 0.0f);
    EXPECT_EQ(Step(0.125f), "Wave:1");
    EXPECT_EQ(sheet->timer, 0.25f);
    // A paused frame (dt 0) changes nothing.
    EXPECT_EQ(Step(0.0f), "Wave:1");
    EXPECT_EQ(sheet->timer, 0.25f);
}

TEST_F(Animation, LoopingCyclesAllFrames)
{
    Play("Wave", true);
    EXPECT_EQ(Steps(7, 0.5f), (std::vector<std::string>{"Wave:1", "Wave:2", "Wave:0", "Wave:1", "Wave:2",
                                                         "Wave:0", "Wave:1"}));
    EXPECT_EQ(sheet->playing, 1);
}

TEST_F(Animation, OneShotEndsOnFrameZeroWithThePreviousTextureBack)
{
    Play("Wave", false);
    EXPECT_EQ(sheet->returnTexture, "Idle");
    EXPECT_EQ(Shown(), "Wave");
    EXPECT_EQ(Steps(3, 0.5f), (std::vector<std::string>{"Wave:1", "Wave:2", "Idle:0"}));
    EXPECT_EQ(sheet->playing, 0);
    EXPECT_EQ(sheet->returnTexture, "");
    EXPECT_EQ(sprite->textureIndex, GraphicsLibrary::GetTextureIndex("Idle"));
    EXPECT_EQ(sheet->timer, 0.25f);
    EXPECT_EQ(Step(0.5f), "Idle:0");
}

TEST_F(Animation, OneShotWithReturnToPutsThatTextureBack)
{
    Play("Jump", false, "Rest");
    EXPECT_EQ(sheet->returnTexture, "Rest");
    EXPECT_EQ(Steps(2, 0.5f), (std::vector<std::string>{"Jump:1", "Rest:0"}));
}

TEST_F(Animation, OneShotStartedDuringAnotherKeepsTheTextureRememberedFirst)
{
    Play("Jump", false);
    EXPECT_EQ(Step(0.5f), "Jump:1");
    Play("Wave", false);
    EXPECT_EQ(sheet->returnTexture, "Idle");
    EXPECT_EQ(Steps(3, 0.5f), (std::vector<std::string>{"Wave:1", "Wave:2", "Idle:0"}));
}

TEST_F(Animation, OneShotDuringALoopRemembersNothingNew)
{
    Play("Blink", true);
    EXPECT_EQ(sheet->returnTexture, "");
    Step(0.5f);
    Play("Wave", false);
    EXPECT_EQ(sheet->returnTexture, "");
    // Nothing to put back: the sheet stops on frame 0 of the one-shot's texture.
    EXPECT_EQ(Steps(3, 0.5f), (std::vector<std::string>{"Wave:1", "Wave:2", "Wave:0"}));
    EXPECT_EQ(sheet->playing, 0);
}

TEST_F(Animation, LoopingLeavesTheRememberedTextureAlone)
{
    sheet->returnTexture = "Rest";
    Play("Blink", true, "Idle");
    EXPECT_EQ(sheet->returnTexture, "Rest");
}

TEST_F(Animation, MultiImagePlaysEveryImageThenLoopsToImageOne)
{
    Play("Run", true);
    EXPECT_EQ(Shown(), "Run1");
    EXPECT_EQ(sheet->numImages, 3);
    EXPECT_EQ(sheet->numFramesLastImage, 5);
    EXPECT_EQ(sheet->currentImage, 0);
    EXPECT_EQ(sheet->frameTime, 0.25f);

    std::vector<std::string> expected;
    for (int f = 1; f < 8; ++f)
        expected.push_back("Run1:" + std::to_string(f));
    for (int f = 0; f < 8; ++f)
        expected.push_back("Run2:" + std::to_string(f));
    for (int f = 0; f < 5; ++f)
        expected.push_back("Run3:" + std::to_string(f));
    expected.push_back("Run1:0");
    expected.push_back("Run1:1");
    EXPECT_EQ(Steps(static_cast<int>(expected.size()), 0.5f), expected);
    EXPECT_EQ(sheet->playing, 1);
    EXPECT_EQ(sheet->currentImage, 0);
    EXPECT_EQ(sprite->textureIndex, GraphicsLibrary::GetTextureIndex("Run1"));
}

TEST_F(Animation, MultiImageOneShotPutsTheRememberedTextureBack)
{
    Play("Run", false);
    EXPECT_EQ(sheet->returnTexture, "Idle");
    std::vector<std::string> seen = Steps(20, 0.5f);
    EXPECT_EQ(seen[6], "Run1:7");
    EXPECT_EQ(seen[7], "Run2:0");
    EXPECT_EQ(seen[15], "Run3:0");
    EXPECT_EQ(seen[19], "Run3:4");
    EXPECT_EQ(Step(0.5f), "Idle:0");
    EXPECT_EQ(sheet->playing, 0);
    EXPECT_EQ(sheet->currentImage, 0);
    EXPECT_EQ(sheet->returnTexture, "");
}

TEST_F(Animation, MultiImageOneShotWithNothingRememberedEndsOnImageOne)
{
    Show("");
    Play("Run", false);
    EXPECT_EQ(sheet->returnTexture, "");
    Steps(20, 0.5f);
    EXPECT_EQ(Step(0.5f), "Run1:0");
    EXPECT_EQ(sheet->playing, 0);
}

TEST_F(Animation, StopPutsTheTextureBackAndKeepsTheFrame)
{
    Play("Wave", false);
    Step(0.5f);
    CaptureConsole([&] { sheet->StopAnimation(); });
    EXPECT_EQ(sheet->playing, 0);
    EXPECT_EQ(Shown(), "Idle");
    EXPECT_EQ(sheet->currentFrame, 1);
    EXPECT_EQ(sheet->returnTexture, "");
    // Stopping again changes nothing.
    CaptureConsole([&] { sheet->StopAnimation(); });
    EXPECT_EQ(Shown(), "Idle");
}

TEST_F(Animation, NegativeFrameIsReportedAndStored)
{
    std::string out = CaptureConsole([&] { sheet->SetCurrentFrame(-2); });
    EXPECT_EQ(sheet->currentFrame, -2);
    EXPECT_EQ(out, "Assertion `frame >= 0` failed.Location: src/SpriteSheet Line 231: Frame passed in was negative!\n");
    out = CaptureConsole([&] { sheet->SetCurrentFrame(3); });
    EXPECT_EQ(out, "");
    EXPECT_EQ(sheet->currentFrame, 3);
}

TEST_F(Animation, ZeroFrameTimeIsReportedAndStepsEveryUpdate)
{
    Play("Blink", true);
    std::string out = CaptureConsole([&] { sheet->SetFrameTime(0.0f); });
    EXPECT_EQ(out,
              "Assertion `frameTime > 0.0f` failed.Location: src/SpriteSheet Line 237: "
              "Frame time passed in was negative!\n");
    EXPECT_EQ(sheet->frameTime, 0.0f);
    EXPECT_EQ(sheet->timer, 0.0f);
    EXPECT_EQ(Steps(3, 0.015625f), (std::vector<std::string>{"Blink:1", "Blink:2", "Blink:3"}));

    out = CaptureConsole([&] { sheet->SetFrameTime(0.5f); });
    EXPECT_EQ(out, "");
    EXPECT_EQ(sheet->timer, 0.5f);
}

TEST_F(Animation, LoadSheetInfoSwitchesWithoutStarting)
{
    CaptureConsole([&] { sheet->LoadSheetInfo("Wave"); });
    EXPECT_EQ(Shown(), "Wave");
    EXPECT_EQ(sheet->playing, 0);
    EXPECT_EQ(sheet->animationName, "Wave");
    CaptureConsole([&] { sheet->LoadSheetInfo(""); });
    EXPECT_EQ(Shown(), "<none>");
    EXPECT_EQ(sprite->textureIndex, -1);
    EXPECT_EQ(sheet->animationName, "");
}

TEST_F(Animation, LosingTheTextureWhilePlayingStopsTheSheet)
{
    Play("Blink", true);
    Step(0.5f);
    Show("");
    EXPECT_EQ(Step(0.5f), "<none>:0");
    EXPECT_EQ(sheet->playing, 0);
}

TEST_F(Animation, CloneOfAPlayingMultiImageSheetPlaysOnAsOneImage)
{
    Play("Run", true);
    Steps(11, 0.5f);  // Run2, frame 3
    ASSERT_EQ(Shown(), "Run2");
    ASSERT_EQ(sheet->currentFrame, 3);

    std::unique_ptr<SpriteSheet> copy(sheet->Clone());
    EXPECT_EQ(copy->owner, object.get());
    EXPECT_EQ(copy->playing, 1);
    EXPECT_EQ(copy->looping, 1);
    EXPECT_EQ(copy->currentFrame, 3);
    EXPECT_EQ(copy->frameTime, 0.25f);
    EXPECT_EQ(copy->timer, sheet->timer);
    EXPECT_EQ(copy->animationName, "");
    EXPECT_EQ(copy->returnTexture, "");
    EXPECT_EQ(copy->numImages, 0);
    EXPECT_EQ(copy->numFramesLastImage, 0);
    EXPECT_EQ(copy->currentImage, 0);

    // The copy on an object of its own, whose sprite shows Run2.
    GameObject other;
    Sprite* otherSprite = new Sprite();
    otherSprite->texture = sprite->texture;
    otherSprite->textureIndex = sprite->textureIndex;
    other.SetComponent(otherSprite);
    other.SetComponent(copy.release());
    SpriteSheet* moved = other.GetSpriteSheet();
    std::vector<std::string> seen;
    for (int i = 0; i < 6; ++i) {
        CaptureConsole([&] { moved->Update(0.5f); });
        seen.push_back(otherSprite->texture->name + ":" + std::to_string(moved->currentFrame));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"Run2:4", "Run2:5", "Run2:6", "Run2:7", "Run2:0", "Run2:1"}));
}

TEST_F(Animation, SheetWithoutSpriteDoesNotPlay)
{
    SpriteSheet alone;
    CaptureConsole([&] { alone.PlayAnimation("Blink", true, ""); });
    EXPECT_EQ(alone.playing, 0);
    CaptureConsole([&] { alone.Update(1.0f); });
    CaptureConsole([&] { alone.StopAnimation(); });
    EXPECT_EQ(alone.currentFrame, 0);
}

// The "Animation" block of an object file.
std::unique_ptr<Stream> StreamOf(const std::string& json)
{
    auto stream = std::make_unique<Stream>("no_such_folder/anim_test_stream", StreamMode_Data);
    stream->text = json;
    stream->data.Parse(json.c_str());
    return stream;
}

TEST_F(Animation, StartingAnimationFromTheBlock)
{
    auto stream = StreamOf(R"({"Animation": {"StartingAnimation": "Wave", "StartingAnimationIsLooping": true}})");
    CaptureConsole([&] { sheet->Read(*stream); });
    EXPECT_EQ(sheet->playing, 1);
    EXPECT_EQ(sheet->looping, 1);
    EXPECT_EQ(Shown(), "Wave");
    EXPECT_EQ(sheet->returnTexture, "");
}

TEST_F(Animation, StartingAnimationWithoutLoopFlagIsOneShot)
{
    auto stream = StreamOf(R"({"Animation": {"StartingAnimation": "Jump"}})");
    std::string out = CaptureConsole([&] { sheet->Read(*stream); });
    // The first line is the reader's report (the texture's missing image is reported after it).
    EXPECT_EQ(out.substr(0, out.find('\n') + 1), "Error! Object has no field with name 'StartingAnimationIsLooping'\n");
    EXPECT_EQ(sheet->playing, 1);
    EXPECT_EQ(sheet->looping, 0);
    EXPECT_EQ(sheet->returnTexture, "Idle");
    EXPECT_EQ(Steps(2, 0.5f), (std::vector<std::string>{"Jump:1", "Idle:0"}));
}

TEST_F(Animation, BlockWithoutStartingAnimationStaysIdle)
{
    for (const char* json : {R"({"Animation": {}})", R"({"Animation": 3})", R"({})", R"({"Animation": {)"}) {
        auto stream = StreamOf(json);
        std::string out = CaptureConsole([&] { sheet->Read(*stream); });
        EXPECT_EQ(out, "") << json;
        EXPECT_EQ(sheet->playing, 0) << json;
        EXPECT_EQ(Shown(), "Idle") << json;
    }
}

TEST_F(Animation, StartingAnimationOfTheWrongTypeIsIgnored)
{
    auto stream = StreamOf(R"({"Animation": {"StartingAnimation": 4, "StartingAnimationIsLooping": true}})");
    std::string out = CaptureConsole([&] { sheet->Read(*stream); });
    EXPECT_EQ(out, "SpriteSheet: \"StartingAnimation\" is not a texture name and is ignored\n");
    EXPECT_EQ(sheet->playing, 0);
    EXPECT_EQ(Shown(), "Idle");
}

}  // namespace
