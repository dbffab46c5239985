#include "graphics/Shader.h"

#include <glad/gl.h>

#include "core/Stream.h"
#include "core/Trace.h"

namespace {

// Stream mode 1: raw text under "assets/data/".
constexpr int RAW_TEXT_MODE = 1;

std::string ReadSource(const std::string& fileName)
{
    Stream stream(fileName.c_str(), RAW_TEXT_MODE, false);
    return stream.text;
}

// Compiles one stage; returns the shader object (also when compiling failed) and reports failure.
GLuint CompileStage(GLenum stage, const std::string& source, const char* failureText, bool& ok)
{
    GLuint shader = glCreateShader(stage);
    const GLchar* text = source.c_str();
    const GLint length = static_cast<GLint>(source.size());
    glShaderSource(shader, 1, &text, &length);
    glCompileShader(shader);
    GLint status = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status == GL_FALSE) {
        Trace("%s", failureText);
        ok = false;
    }
    return shader;
}

} // namespace

Shader::Shader(std::string shaderName) : name(std::move(shaderName))
{
    vertexSource = ReadSource("shaders/shader." + name + ".vs.txt");
    fragmentSource = ReadSource("shaders/shader." + name + ".fs.txt");

    program = glCreateProgram();
    bool ok = true;
    GLuint vertex = CompileStage(GL_VERTEX_SHADER, vertexSource, "Failed to compile vertex shader!", ok);
    GLuint fragment = CompileStage(GL_FRAGMENT_SHADER, fragmentSource, "Failed to compile fragment shader!", ok);

    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    GLint status = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &status);
    if (status == GL_FALSE) {
        Trace("Failed to link shader program!");
        ok = false;
    }
    glDetachShader(program, vertex);
    glDetachShader(program, fragment);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    linked = ok;
}

Shader::~Shader()
{
    if (program)
        glDeleteProgram(program);
}
