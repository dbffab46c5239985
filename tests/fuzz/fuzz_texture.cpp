// Textures and their sprite-sheet animations, with a real window (it needs a display; run.sh starts
// Xvfb when there is none). The input holds the texture file "textures/Fuzz", then (after a line
// "====") the image "Fuzz.png", then an object file showing the texture and playing it as an
// animation (a default one when that part is empty).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "core/GameObject.h"
#include "core/Stream.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/Texture.h"
#include "graphics/Window.h"

namespace {

const char* const kProbe =
    R"({"Name": "Probe", "Transform": {"ScaleX": 2.0, "ScaleY": 2.0},
        "Sprite": {"Mesh": "textured_mesh", "Texture": "Fuzz", "DrawMode": "Faces"},
        "Animation": {"StartingAnimation": "Fuzz", "StartingAnimationIsLooping": true}})";

Window* TheWindow()
{
    static Window* window = nullptr;
    static bool tried = false;
    if (!tried) {
        tried = true;
        const char* display = std::getenv("DISPLAY");
        if (display && *display) {
            window = new Window();
            if (!window->IsReady()) {
                delete window;
                window = nullptr;
            }
        }
    }
    return window;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::SetUp(true);
    Window* window = TheWindow();
    if (!window)
        return 0;
    const auto parts = fuzz::Parts(data, size, 3);
    fuzz::Put("assets/data/textures/Fuzz.json", parts[0]);
    fuzz::Put("assets/textures/Fuzz.png", parts[1]);
    // A sheet split over images names them Fuzz1.png, Fuzz2.png, ...: the same image serves.
    fuzz::Put("assets/textures/Fuzz1.png", parts[1]);
    fuzz::Put("assets/textures/Fuzz2.png", parts[1]);
    fuzz::Put("assets/data/FuzzProbe.json", parts[2].empty() ? std::string(kProbe) : parts[2]);

    // A fresh library, so every texture is read from its files again.
    for (auto& layer : window->layers)
        layer.clear();
    for (auto& layer : window->textLayers)
        layer.clear();
    delete window->graphicsLibrary;
    window->graphicsLibrary = new GraphicsLibrary();
    GraphicsLibraryInstance = window->graphicsLibrary;

    {
        Stream probe("FuzzProbe", StreamMode_Data, false);
        GameObject object(probe);
        object.Init();
        for (int step = 0; step < 12; ++step) {
            object.Update(0.25f);
            object.Draw();
        }
        window->Render();
    }
    GraphicsLibrary::GetTexture("Fuzz", -1);
    GraphicsLibrary::GetTexture("Fuzz", 1);
    GraphicsLibrary::GetTexture("Fuzz", 2);
    for (auto& layer : window->layers)
        layer.clear();
    return 0;
}
