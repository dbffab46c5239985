#include "graphics/Texture.h"

#include <cstdio>

#include <glad/gl.h>

#include "core/Trace.h"
#include "stb_image.h"

Texture::Texture(std::string textureName, std::string fileType) : name(std::move(textureName))
{
    LoadTexture(this, "./assets/textures/" + name + "." + fileType);
}

Texture::~Texture()
{
    if (id)
        glDeleteTextures(1, &id);
}

void LoadTexture(Texture* texture, std::string path)
{
    if (!texture)
        return;
    texture->id = 0;
    texture->width = texture->height = texture->channels = 0;

    // Image rows come bottom first, as OpenGL counts them.
    stbi_set_flip_vertically_on_load(1);
    int width = 0, height = 0, channels = 0;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        Trace("Failed to load texture \"%s\": %s", path.c_str(), "Unable to open file");
        return;
    }
    unsigned char* pixels = stbi_load_from_file(file, &width, &height, &channels, 0);
    std::fclose(file);
    if (!pixels) {
        const char* reason = stbi_failure_reason();
        Trace("Failed to load texture \"%s\": %s", path.c_str(), reason ? reason : "unknown error");
        return;
    }

    texture->width = width;
    texture->height = height;
    texture->channels = channels;
    // Images without alpha are opaque; with alpha (the last channel of 2 or 4), when every texel's is full.
    texture->opaque = channels == 1 || channels == 3;
    if (channels == 2 || channels == 4) {
        const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
        const std::size_t step = static_cast<std::size_t>(channels);
        texture->opaque = true;
        for (std::size_t i = step - 1; i < count * step && texture->opaque; i += step)
            texture->opaque = pixels[i] == 255;
    }

    GLint previousAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &previousAlignment);
    glGenTextures(1, &texture->id);
    glBindTexture(GL_TEXTURE_2D, texture->id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    switch (channels) {
    case 4:
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
        break;
    case 3:
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels);
        break;
    case 2: {
        // Grey and alpha: shown as grey through a swizzle rather than left without an image.
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RG, width, height, 0, GL_RG, GL_UNSIGNED_BYTE, pixels);
        const GLint swizzle[4] = {GL_RED, GL_RED, GL_RED, GL_GREEN};
        glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
        break;
    }
    case 1: {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RED, width, height, 0, GL_RED, GL_UNSIGNED_BYTE, pixels);
        const GLint swizzle[4] = {GL_RED, GL_RED, GL_RED, GL_ONE};
        glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
        break;
    }
    default:
        break;
    }
    glGenerateMipmap(GL_TEXTURE_2D);
    stbi_image_free(pixels);
    glBindTexture(GL_TEXTURE_2D, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, previousAlignment);
}

uint32_t MakeSingleTexelTexture(const unsigned char rgba[4])
{
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glBindTexture(GL_TEXTURE_2D, 0);
    return id;
}
