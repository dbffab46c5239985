#pragma once
// A named image uploaded to OpenGL, with the frame layout of the sprite sheet it may hold.
#include <cstdint>
#include <string>

class Texture {
public:
    // Sets the default layout and loads "./assets/textures/<name>.<fileType>".
    Texture(std::string name, std::string fileType);
    // Deletes the OpenGL texture.
    ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    std::string name;
    uint32_t id = 0; // 0 when the image failed to load (then width and height are 0 too)
    int width = 0, height = 0, channels = 0;
    int numFrames = 0;
    int numRows = 1;
    int numCols = 1;
    float frameTime = 0.0f;
    uint8_t bottomToTop = 1; // 1: frame rows count from the bottom of the image; 0: from the top

    // Every texel of the image is fully opaque (false until an image is loaded).
    bool opaque = false;

    // Set once a frame cell outside the sheet was asked for (reported once per texture).
    bool reportedBadCell = false;
};

// Decodes the image at path (flipped so its bottom row comes first) and uploads it to texture->id.
// On failure traces the reason and leaves id, width and height at 0.
void LoadTexture(Texture* texture, std::string path);

// Makes a 1 x 1 OpenGL texture of one RGBA texel (nearest filtering) and returns its id; the texture
// binding is left at 0.
uint32_t MakeSingleTexelTexture(const unsigned char rgba[4]);
