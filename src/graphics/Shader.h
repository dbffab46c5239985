#pragma once
// A shader program compiled from "assets/data/shaders/shader.<name>.vs.txt" and ".fs.txt".
#include <cstdint>
#include <string>

class Shader {
public:
    // Reads both sources, compiles and links them. Failures are traced; the object is still usable
    // (a program that failed to link draws nothing).
    explicit Shader(std::string name);
    // Deletes the program.
    ~Shader();
    Shader(const Shader&) = delete;
    Shader& operator=(const Shader&) = delete;

    // Both stages compiled and the program linked.
    bool IsLinked() const { return linked; }

    std::string name;
    uint32_t program = 0;
    std::string vertexSource;   // the vertex source as read (any length)
    std::string fragmentSource; // the fragment source as read (any length)

private:
    bool linked = false;
};
