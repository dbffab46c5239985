#pragma once
// Turns a parsed file into Lua source.
#include <string>

#include "platform/moonc/Ast.h"

namespace moonc {

// Throws CompileError for constructs that parse but can't be compiled (super outside a method, ...).
std::string Emit(const Block& file);

// Source text to Lua text: Lex, Parse, Emit.
std::string CompileSource(const std::string& source);

} // namespace moonc
