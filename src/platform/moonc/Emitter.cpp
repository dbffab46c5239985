// Lua output for the syntax tree. Every binary and unary operation is parenthesised, so Lua's own
// precedence never decides anything; if, switch and comprehensions used as values become functions
// called in place. Names are local by default: the first assignment to a name that no enclosing scope
// declares (or exports) declares it local in the current scope.
#include "platform/moonc/Emitter.h"

#include <algorithm>
#include <optional>
#include <set>

namespace moonc {

namespace {

std::string Join(const std::vector<std::string>& parts, const char* separator)
{
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i)
            out += separator;
        out += parts[i];
    }
    return out;
}

std::string FieldSuffix(const std::string& name)
{
    return IsLuaKeyword(name) ? "[\"" + name + "\"]" : "." + name;
}

// "[key]"; a key that is a long string is set apart, since "[[" would open one in Lua.
std::string Subscript(const std::string& key)
{
    return !key.empty() && key[0] == '[' ? "[ " + key + " ]" : "[" + key + "]";
}

// A method call on "object" written after it: ":m" or, for a Lua keyword, a call through the field.
std::string MethodSuffix(const std::string& name)
{
    return IsLuaKeyword(name) ? "[\"" + name + "\"](object, ...)" : ":" + name + "(...)";
}

// Lua takes no statement after a 'return' in its block.
bool EndsInReturn(const Block& block)
{
    return !block.empty() && block.back()->kind == Kind::Return;
}

class Emitter {
public:
    std::string File(const Block& file)
    {
        scopes_.emplace_back();
        std::string out;
        Statements(file, out, true);
        return out;
    }

private:
    struct Scope {
        std::set<std::string> locals;
        std::set<std::string> exported;
        bool exportAll = false;  // 'export *'
        bool exportCaps = false; // 'export ^'
        bool barrier = false;    // a function with 'using': outer names other than 'allowed' are hidden
        std::set<std::string> allowed;
    };
    struct Loop {
        std::string label;
        bool continued = false;
    };
    // What 'super' means inside the method being emitted; a null entry where it means nothing.
    struct MethodContext {
        std::string parent; // the local holding the parent class, "" without 'extends'
        std::string method;
        bool classLevel = false; // "@name: =>": 'super' calls the parent class's own field
    };

    std::string Temp() { return "__m" + std::to_string(++temp_); }

    static bool Capitalised(const std::string& name) { return !name.empty() && std::isupper(static_cast<unsigned char>(name[0])); }

    bool Declared(const std::string& name) const
    {
        for (auto it = scopes_.rbegin(); it != scopes_.rend(); ++it) {
            const Scope& s = *it;
            if (s.locals.count(name) || s.exported.count(name) || (it == scopes_.rbegin() && ExportsAll(s, name)))
                return true;
            if (s.barrier && !s.allowed.count(name))
                return false;
        }
        return false;
    }
    bool DeclaredLocal(const std::string& name) const
    {
        for (auto it = scopes_.rbegin(); it != scopes_.rend(); ++it) {
            if (it->exported.count(name))
                return false;
            if (it->locals.count(name))
                return true;
        }
        return false;
    }
    // 'export *' / 'export ^' make the names their own block assigns global, not those of inner blocks.
    static bool ExportsAll(const Scope& s, const std::string& name)
    {
        return s.exportAll || (s.exportCaps && Capitalised(name));
    }
    // A name assigned under 'export *' is global from then on, inner blocks included.
    void NoteExported(const std::string& name)
    {
        if (ExportsAll(scopes_.back(), name) && !DeclaredLocal(name))
            scopes_.back().exported.insert(name);
    }
    void Declare(const std::string& name) { scopes_.back().locals.insert(name); }
    void Export(const std::string& name)
    {
        if (!DeclaredLocal(name)) // exporting a visible local changes nothing: it stays local
            scopes_.back().exported.insert(name);
    }

    void Line(std::string& out, const std::string& text) const
    {
        out += std::string(static_cast<size_t>(indent_) * 2, ' ');
        // A statement that starts with '(' would continue the previous line's expression in Lua.
        if (!text.empty() && text[0] == '(')
            out += ';';
        out += text;
        out += '\n';
    }

    std::string Pad() const { return std::string(static_cast<size_t>(indent_) * 2, ' '); }

    // The value of a block's last statement: returned, or assigned to the targets of the block used as
    // a value ("x = if ...", a pass of a loop used as a value).
    void Return(std::string& out, const std::string& values)
    {
        if (!sinks_.empty() && sinks_.back()) {
            Line(out, *sinks_.back() + " = " + values);
            return;
        }
        Line(out, "return " + values);
    }

    // Whether the value of a block being emitted is assigned rather than returned; a loop ending such a
    // block gives the list of its passes' values, a loop ending a function gives nothing.
    bool Assigning() const { return !sinks_.empty() && sinks_.back(); }

    void Statements(const Block& block, std::string& out, bool ret)
    {
        bool aheadAll = false, aheadCaps = false; // a second 'local *' in a block has nothing left to do
        for (size_t i = 0; i < block.size(); ++i) {
            if (block[i]->kind == Kind::Local && !block[i]->text.empty() && !aheadAll &&
                !(aheadCaps && block[i]->text == "^")) {
                (block[i]->text == "^" ? aheadCaps : aheadAll) = true;
                LocalAhead(block, i + 1, block[i]->text == "^", out);
            }
            Statement(*block[i], out, ret && i + 1 == block.size());
        }
    }

    // 'local *' / 'local ^': the names the rest of the block assigns are declared now.
    void LocalAhead(const Block& block, size_t from, bool capsOnly, std::string& out)
    {
        std::vector<std::string> names;
        auto add = [&](const std::string& name) {
            if ((!capsOnly || Capitalised(name)) && std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
        };
        for (size_t i = from; i < block.size(); ++i) {
            const Node& n = *block[i];
            if (n.kind == Kind::Assign && !n.exported)
                for (const NodeP& t : n.items)
                    if (t->kind == Kind::Name)
                        add(t->text);
            if (n.kind == Kind::Class && !n.exported && !n.b)
                add(n.text);
        }
        if (names.empty())
            return;
        Line(out, "local " + Join(names, ", "));
        for (const std::string& name : names)
            Declare(name);
    }

    void ScopedBlock(const Block& block, std::string& out, bool ret)
    {
        scopes_.emplace_back();
        ++indent_;
        Statements(block, out, ret);
        --indent_;
        scopes_.pop_back();
    }

    // ---- statements ----

    // "x = 1 if cond", "x = v for v in *t": x is declared where the decorated statement stands.
    // The names an assignment target sets, those inside a destructuring pattern too.
    static void TargetNames(const Node& t, std::vector<const Node*>& names)
    {
        if (t.kind == Kind::Name)
            names.push_back(&t);
        if (t.kind == Kind::Table)
            for (const Entry& entry : t.x().entries)
                if (entry.value)
                    TargetNames(*entry.value, names);
    }

    void HoistDecorated(const Node& n, std::string& out)
    {
        const Block* block = n.kind == Kind::If ? &n.x().blocks[0] : &n.body;
        if (n.kind != Kind::If && block->size() == 1 && (*block)[0]->kind == Kind::If && (*block)[0]->isLocal)
            block = &(*block)[0]->x().blocks[0]; // "x = v for v in *t when v > 0"
        const Block& inner = *block;
        if (inner.size() != 1 || inner[0]->kind != Kind::Assign || inner[0]->exported || inner[0]->isLocal)
            return;
        std::vector<const Node*> names;
        for (const NodeP& t : inner[0]->items)
            TargetNames(*t, names);
        std::vector<std::string> fresh;
        for (const Node* t : names)
            if (!Declared(t->text) && std::find(n.names.begin(), n.names.end(), t->text) == n.names.end() &&
                std::find(fresh.begin(), fresh.end(), t->text) == fresh.end())
                fresh.push_back(t->text);
        if (fresh.empty())
            return;
        Line(out, "local " + Join(fresh, ", "));
        for (const std::string& name : fresh)
            Declare(name);
    }

    void Statement(const Node& n, std::string& out, bool ret)
    {
        if (n.isLocal && n.kind != Kind::Assign)
            HoistDecorated(n, out);
        switch (n.kind) {
        case Kind::ExprStmt: {
            if (!n.a) {
                if (!ret)
                    throw CompileError(n.line, "expected '=' after a list of expressions");
                Return(out, Args(n.items));
                break;
            }
            const Node& e = *n.a;
            if (e.kind == Kind::If || e.kind == Kind::Switch || e.kind == Kind::Do || e.kind == Kind::With) {
                Statement(e, out, ret);
            } else if (ret) {
                Return(out, Expr(e));
            } else if (e.kind == Kind::Call || e.kind == Kind::Method || (e.kind == Kind::SuperCall && !e.value)) {
                Line(out, Expr(e));
            } else {
                Line(out, "do local _ = " + Expr(e) + " end");
            }
            break;
        }
        case Kind::If:
            If(n, out, ret);
            break;
        case Kind::Switch:
            Switch(n, out, ret);
            break;
        case Kind::Assign:
            Assign(n, out);
            break;
        case Kind::Update:
            Update(n, out);
            break;
        case Kind::Export:
            if (n.text == "*")
                scopes_.back().exportAll = true;
            else if (n.text == "^")
                scopes_.back().exportCaps = true;
            for (const std::string& name : n.names)
                Export(name);
            break;
        case Kind::Local:
            if (!n.names.empty()) {
                Line(out, "local " + Join(n.names, ", "));
                for (const std::string& name : n.names)
                    Declare(name);
            }
            break;
        case Kind::Import: {
            std::vector<std::string> names;
            for (const std::string& name : n.names)
                names.push_back(name[0] == '\\' ? name.substr(1) : name);
            const std::string source = Temp();
            Line(out, "local " + Join(names, ", "));
            Line(out, "do");
            ++indent_;
            Line(out, "local " + source + " = " + Expr(*n.a));
            for (size_t i = 0; i < names.size(); ++i) {
                if (n.names[i][0] == '\\')
                    Line(out, names[i] + " = function(...) return " + source + ":" + names[i] + "(...) end");
                else
                    Line(out, names[i] + " = " + source + FieldSuffix(names[i]));
            }
            --indent_;
            Line(out, "end");
            for (const std::string& name : names)
                Declare(name);
            break;
        }
        case Kind::Break:
            if (loops_.empty() || !loops_.back())
                throw CompileError(n.line, "'break' outside a loop");
            Line(out, "break");
            break;
        case Kind::Continue:
            if (loops_.empty() || !loops_.back())
                throw CompileError(n.line, "'continue' outside a loop");
            loops_.back()->continued = true;
            Line(out, "goto " + loops_.back()->label);
            break;
        case Kind::Do:
            Line(out, "do");
            ScopedBlock(n.body, out, ret);
            Line(out, "end");
            break;
        case Kind::With:
            Line(out, "do");
            ++indent_;
            scopes_.emplace_back();
            if (!n.text.empty()) {
                // "with name = value": a visible name is assigned, else a local of the statement
                const std::string value = Expr(*n.a);
                if (Declared(n.text)) {
                    Line(out, n.text + " = " + value);
                } else {
                    Line(out, "local " + n.text + " = " + value);
                    Declare(n.text);
                }
            }
            WithBody(n, out, !n.text.empty());
            if (ret && !EndsInReturn(n.body))
                Return(out, withs_.back());
            withs_.pop_back();
            scopes_.pop_back();
            --indent_;
            Line(out, "end");
            break;
        case Kind::Return: {
            const Kind single = n.items.size() == 1 ? n.items[0]->kind : Kind::Nil;
            if (single == Kind::If || single == Kind::Switch || single == Kind::Do || single == Kind::With) {
                // "return if ...": each branch returns its value ('break' in one leaves the loop around)
                sinks_.push_back(std::nullopt);
                Statement(*n.items[0], out, true);
                sinks_.pop_back();
                break;
            }
            std::vector<std::string> values;
            for (const NodeP& v : n.items)
                values.push_back(Expr(*v));
            Line(out, values.empty() ? "return" : "return " + Join(values, ", "));
            break;
        }
        case Kind::While:
        case Kind::NumFor:
        case Kind::ForIn:
        case Kind::ForEach:
            if (ret && Assigning()) {
                Line(out, "do");
                ++indent_;
                Return(out, GatheredLoop(n, out));
                --indent_;
                Line(out, "end");
            } else {
                LoopStatement(n, out);
            }
            break;
        case Kind::ClassField:
            Line(out, "self" + FieldSuffix(n.text) + " = " + Member(*n.a, classParents_.back(), n.text, true));
            break;
        case Kind::Class: {
            const std::string holder = Class(n, out);
            if (ret)
                Return(out, holder);
            break;
        }
        default:
            throw CompileError(n.line, "internal error: unexpected statement");
        }
    }

    // A loop used as a value: its list is built in a new local, whose name is returned.
    std::string GatheredLoop(const Node& loop, std::string& out)
    {
        const Gather gather{Temp(), Temp(), &loop.body};
        Line(out, "local " + gather.result + ", " + gather.count + " = {}, 0");
        const Gather* saved = gather_;
        gather_ = &gather;
        LoopStatement(loop, out);
        gather_ = saved;
        return gather.result;
    }

    void LoopStatement(const Node& n, std::string& out)
    {
        switch (n.kind) {
        case Kind::While:
            if (n.c) {
                Line(out, "while true do");
                ++indent_;
                scopes_.emplace_back();
                Assign(*n.c, out);
                Line(out, "if not " + Expr(*n.a) + " then break end");
                LoopBody({}, n.body, out);
                scopes_.pop_back();
                --indent_;
            } else {
                Line(out, "while " + Expr(*n.a) + " do");
                LoopBody({}, n.body, out);
            }
            Line(out, "end");
            break;
        case Kind::NumFor: {
            std::string head = "for " + n.names[0] + " = " + Expr(*n.a) + ", " + Expr(*n.b);
            if (n.c)
                head += ", " + Expr(*n.c);
            Line(out, head + " do");
            LoopBody(n.names, n.body, out);
            Line(out, "end");
            break;
        }
        case Kind::ForIn: {
            Line(out, ForInHead(n.names, n.items));
            LoopBody(n.names, n.body, out, n.pattern.get());
            Line(out, "end");
            break;
        }
        case Kind::ForEach: {
            Line(out, "do");
            ++indent_;
            ForEachHead(n.names[0], n.items, out);
            LoopBody(n.names, n.body, out, n.pattern.get());
            Line(out, "end");
            --indent_;
            Line(out, "end");
            break;
        }
        default:
            throw CompileError(n.line, "internal error: unexpected loop");
        }
    }

    // A loop's body; 'continue' in it jumps to a label after the body's own block.
    void LoopBody(const std::vector<std::string>& names, const Block& body, std::string& out,
                  const Node* pattern = nullptr)
    {
        scopes_.emplace_back();
        for (const std::string& name : names)
            Declare(name);
        if (pattern) {
            ++indent_;
            LoopPatterns(*pattern, names, out);
            --indent_;
        }
        loops_.push_back(Loop{"__continue" + std::to_string(++temp_)});
        const Gather* gather = gather_ && gather_->body == &body ? gather_ : nullptr;
        gather_ = nullptr;
        std::string text;
        indent_ += 2;
        if (gather) {
            // Every pass not skipped by 'continue' adds the value of its last statement (nil when that is
            // not an expression).
            const std::string value = Temp();
            Line(text, "local " + value);
            sinks_.push_back(value);
            Statements(body, text, true);
            sinks_.pop_back();
            if (!EndsInReturn(body)) { // Lua takes nothing after a return
                Line(text, gather->count + " = " + gather->count + " + 1");
                Line(text, gather->result + "[" + gather->count + "] = " + value);
            }
        } else {
            Statements(body, text, false);
        }
        indent_ -= 2;
        if (loops_.back()->continued) {
            ++indent_;
            Line(out, "do");
            out += text;
            Line(out, "end");
            Line(out, "::" + loops_.back()->label + "::");
            --indent_;
        } else {
            out += text;
        }
        loops_.pop_back();
        scopes_.pop_back();
    }

    // The object in a temporary, then the body; assigned = the object is already in n.text.
    void WithBody(const Node& n, std::string& out, bool assigned)
    {
        const std::string object = Temp();
        const std::string target = n.b ? Expr(*n.b) : "";
        Line(out, "local " + object + " = " + (assigned ? n.text : Expr(*n.a)));
        if (n.b)
            Line(out, target + " = " + object);
        if (!assigned && !n.text.empty()) {
            Line(out, "local " + n.text + " = " + object);
            Declare(n.text);
        }
        withs_.push_back(object);
        Statements(n.body, out, false);
    }

    void If(const Node& n, std::string& out, bool ret)
    {
        if (n.c) {
            // "if x = f!": x is a local of the statement.
            Line(out, "do");
            ++indent_;
            scopes_.emplace_back();
            Assign(*n.c, out);
            IfChain(n, out, ret);
            scopes_.pop_back();
            --indent_;
            Line(out, "end");
            return;
        }
        IfChain(n, out, ret);
    }

    // The branches from 'from' on; an "elseif x = value" branch becomes an else holding the
    // assignment and the rest of the chain.
    void IfChain(const Node& n, std::string& out, bool ret, size_t from = 0)
    {
        const auto& assigns = n.x().items2;
        for (size_t i = from; i < n.x().blocks.size(); ++i) {
            if (i > from && i < assigns.size() && assigns[i]) {
                Line(out, "else");
                ++indent_;
                scopes_.emplace_back();
                Assign(*assigns[i], out);
                IfChain(n, out, ret, i);
                scopes_.pop_back();
                --indent_;
                break;
            }
            if (i == from) {
                const std::string cond = Expr(*n.x().conds[i]);
                Line(out, "if " + (n.unless && i == 0 ? "not " + cond : cond) + " then");
            } else if (n.x().conds[i]) {
                Line(out, "elseif " + Expr(*n.x().conds[i]) + " then");
            } else {
                Line(out, "else");
            }
            ScopedBlock(n.x().blocks[i], out, ret);
        }
        Line(out, "end");
    }

    void Switch(const Node& n, std::string& out, bool ret)
    {
        const std::string subject = Temp();
        Line(out, "do");
        ++indent_;
        Line(out, "local " + subject + " = " + Expr(*n.a));
        for (size_t i = 0; i < n.x().conds2.size(); ++i) {
            std::vector<std::string> tests;
            for (const NodeP& v : n.x().conds2[i])
                tests.push_back("(" + subject + " == " + Expr(*v) + ")");
            Line(out, (i == 0 ? "if " : "elseif ") + Join(tests, " or ") + " then");
            ScopedBlock(n.x().blocks[i], out, ret);
        }
        if (n.x().blocks.size() > n.x().conds2.size()) {
            Line(out, "else");
            ScopedBlock(n.x().blocks.back(), out, ret);
        }
        Line(out, "end");
        --indent_;
        Line(out, "end");
    }

    // The leaves of a destructuring pattern read from source: targets[i] gets values[i].
    void Destructure(const Node& pattern, const std::string& source, std::vector<const Node*>& targets,
                     std::vector<std::string>& values)
    {
        int position = 0;
        for (const Entry& entry : pattern.x().entries) {
            std::string from;
            if (entry.keyKind == Entry::Positional)
                from = source + "[" + std::to_string(++position) + "]";
            else if (entry.keyKind == Entry::NameKey)
                from = source + FieldSuffix(entry.name);
            else
                from = source + Subscript(Expr(*entry.key));
            if (entry.value->kind == Kind::Table) {
                Destructure(*entry.value, from, targets, values);
            } else {
                targets.push_back(entry.value.get());
                values.push_back(from);
            }
        }
    }

    // The locals of destructured loop variables (a loop's pattern).
    void LoopPatterns(const Node& patterns, const std::vector<std::string>& names, std::string& out)
    {
        const auto& entries = patterns.x().entries;
        for (size_t i = 0; i < entries.size() && i < names.size(); ++i)
            if (entries[i].value)
                PatternLocals(*entries[i].value, names[i], out);
    }

    // New locals for every name of a pattern, read from source.
    void PatternLocals(const Node& pattern, const std::string& source, std::string& out)
    {
        std::vector<const Node*> targets;
        std::vector<std::string> values;
        Destructure(pattern, source, targets, values);
        std::vector<std::string> names;
        for (const Node* t : targets) {
            if (t->kind != Kind::Name)
                throw CompileError(t->line, "only names can be destructured here");
            names.push_back(t->text);
        }
        if (names.empty())
            return;
        Line(out, "local " + Join(names, ", ") + " = " + Join(values, ", "));
        for (const std::string& name : names)
            Declare(name);
    }

    void DestructuringAssign(const Node& n, std::string& out)
    {
        std::vector<const Node*> leaves;
        std::vector<std::string> temps;
        std::vector<const Node*> targets;
        std::vector<std::string> values;
        for (const NodeP& t : n.items) {
            temps.push_back(Temp());
            if (t->kind == Kind::Table) {
                Destructure(*t, temps.back(), targets, values);
            } else {
                targets.push_back(t.get());
                values.push_back(temps.back());
            }
        }
        std::vector<std::string> fresh;
        for (const Node* t : targets)
            if (t->kind == Kind::Name && (n.isLocal || !Declared(t->text)) &&
                std::find(fresh.begin(), fresh.end(), t->text) == fresh.end())
                fresh.push_back(t->text);
        std::vector<std::string> valueTexts;
        for (const NodeP& v : n.x().items2)
            valueTexts.push_back(Expr(*v));
        if (n.exported)
            fresh.clear();
        if (!fresh.empty())
            Line(out, "local " + Join(fresh, ", "));
        for (const std::string& name : fresh)
            Declare(name);
        Line(out, "do");
        ++indent_;
        Line(out, "local " + Join(temps, ", ") + " = " + Join(valueTexts, ", "));
        std::vector<std::string> targetTexts;
        for (const Node* t : targets)
            targetTexts.push_back(Expr(*t));
        Line(out, Join(targetTexts, ", ") + " = " + Join(values, ", "));
        --indent_;
        Line(out, "end");
    }

    void Assign(const Node& n, std::string& out)
    {
        if (std::any_of(n.items.begin(), n.items.end(), [](const NodeP& t) { return t->kind == Kind::Table; })) {
            DestructuringAssign(n, out);
            return;
        }
        std::vector<std::string> fresh;
        if (n.exported) {
            for (const NodeP& t : n.items)
                Export(t->text);
        } else {
            for (const NodeP& t : n.items) {
                if (t->kind == Kind::Name && (n.isLocal || !Declared(t->text)) &&
                    std::find(fresh.begin(), fresh.end(), t->text) == fresh.end())
                    fresh.push_back(t->text);
                if (t->kind == Kind::Name && !n.isLocal)
                    NoteExported(t->text);
            }
        }
        if (n.x().items2.size() == 1 && BlockValue(*n.x().items2[0])) {
            // "x = if ...": the targets are assigned at the end of each branch, so a 'return' inside
            // returns from the function around.
            if (!fresh.empty())
                Line(out, "local " + Join(fresh, ", "));
            for (const std::string& name : fresh)
                Declare(name);
            const Node& value = *n.x().items2[0];
            sinks_.push_back(Targets(n));
            Statement(value, out, true);
            sinks_.pop_back();
            return;
        }
        // A new local holding a function is declared first, so the function can call itself.
        if (fresh.size() == 1 && n.items.size() == 1 && n.x().items2.size() == 1 &&
            n.x().items2[0]->kind == Kind::Function) {
            Line(out, "local " + fresh[0]);
            Declare(fresh[0]);
            Line(out, fresh[0] + " = " + Expr(*n.x().items2[0]));
            return;
        }
        std::vector<std::string> values;
        for (const NodeP& v : n.x().items2)
            values.push_back(Expr(*v));
        if (fresh.empty()) {
            Line(out, Targets(n) + " = " + Join(values, ", "));
            return;
        }
        if (fresh.size() == n.items.size()) {
            Line(out, "local " + Join(fresh, ", ") + " = " + Join(values, ", "));
            for (const std::string& name : fresh)
                Declare(name);
            return;
        }
        // Some targets are new and some are not: the new ones are declared, then all are assigned.
        Line(out, "local " + Join(fresh, ", "));
        for (const std::string& name : fresh)
            Declare(name);
        Line(out, Targets(n) + " = " + Join(values, ", "));
    }

    static bool BlockValue(const Node& e)
    {
        switch (e.kind) {
        case Kind::If:
        case Kind::Switch:
        case Kind::Do:
        case Kind::With:
        case Kind::While:
        case Kind::NumFor:
        case Kind::ForIn:
        case Kind::ForEach:
            return true;
        case Kind::Class: // "x = class Name": Name is declared here too
            return !e.b;
        default:
            return false;
        }
    }

    std::string Targets(const Node& n)
    {
        std::vector<std::string> targets;
        for (const NodeP& t : n.items)
            targets.push_back(Expr(*t));
        return Join(targets, ", ");
    }

    static bool Simple(const Node& e)
    {
        return e.kind == Kind::Name || e.kind == Kind::Self || e.kind == Kind::Number ||
               (e.kind == Kind::String && std::none_of(e.items.begin(), e.items.end(), [](const NodeP& i) { return i != nullptr; })) || e.kind == Kind::Nil || e.kind == Kind::True ||
               e.kind == Kind::False;
    }

    void Update(const Node& n, std::string& out)
    {
        const Node& t = *n.a;
        const std::string op = " " + n.text + " ";
        if (t.kind == Kind::Name && !Declared(t.text)) {
            // an update of a name not yet visible declares it, reading the global of that name
            Line(out, "local " + t.text + " = (" + t.text + op + Expr(*n.b) + ")");
            Declare(t.text);
            return;
        }
        if (t.kind == Kind::Name || (t.kind == Kind::Field && Simple(*t.a)) ||
            (t.kind == Kind::Index && Simple(*t.a) && Simple(*t.b))) {
            const std::string target = Expr(t);
            Line(out, target + " = (" + target + op + Expr(*n.b) + ")");
            return;
        }
        // The object (and key) are evaluated once.
        const std::string object = Temp();
        Line(out, "do");
        ++indent_;
        Line(out, "local " + object + " = " + Prefix(*t.a));
        std::string target;
        if (t.kind == Kind::Field) {
            target = object + FieldSuffix(t.text);
        } else {
            const std::string key = Temp();
            Line(out, "local " + key + " = " + Expr(*t.b));
            target = object + "[" + key + "]";
        }
        Line(out, target + " = (" + target + op + Expr(*n.b) + ")");
        --indent_;
        Line(out, "end");
    }

    // Emits the class and returns the Lua expression that holds it afterwards.
    std::string Class(const Node& n, std::string& out)
    {
        const std::string name = n.text;
        std::string holder = name;
        if (n.b) {
            holder = Expr(*n.b);
        } else if (name.empty()) {
            holder = Temp();
            Line(out, "local " + holder);
        } else if (n.exported) {
            Export(name);
        } else if (Declared(name)) {
            NoteExported(name);
        } else {
            Line(out, "local " + name);
            Declare(name);
        }
        const std::string base = Temp();
        const std::string parent = n.a ? Temp() : "";
        const std::string cls = Temp();
        Line(out, "do");
        ++indent_;
        scopes_.emplace_back();
        if (n.a)
            Line(out, "local " + parent + " = " + Expr(*n.a));
        // Names the body's statements assign are locals of the class, visible to its methods.
        LocalAhead(n.body, 0, false, out);
        Line(out, "local " + base + " = {}");
        const Node* init = nullptr;
        for (const Entry& entry : n.x().entries) {
            if (entry.classLevel)
                continue;
            if (entry.keyKind == Entry::ExprKey) {
                Line(out, base + Subscript(Expr(*entry.key)) + " = " + Member(*entry.value, parent, ""));
                continue;
            }
            if (entry.name == "new") {
                init = entry.value.get(); // any value: the class calls it with the new object
                continue;
            }
            Line(out, base + FieldSuffix(entry.name) + " = " + Member(*entry.value, parent, entry.name));
        }
        Line(out, base + ".__index = " + base);
        if (n.a)
            Line(out, "setmetatable(" + base + ", " + parent + ".__base)");
        std::string initText;
        if (init)
            initText = Member(*init, parent, "new");
        else if (n.a)
            initText = "function(self, ...) return " + parent + ".__init(self, ...) end";
        else
            initText = "function() end";
        Line(out, "local " + cls + " = setmetatable({");
        ++indent_;
        Line(out, "__init = " + initText + ",");
        Line(out, "__base = " + base + ",");
        if (!name.empty())
            Line(out, "__name = \"" + name + "\",");
        if (n.a)
            Line(out, "__parent = " + parent + ",");
        --indent_;
        Line(out, "}, {");
        ++indent_;
        if (n.a)
            Line(out, "__index = function(_, key) local value = rawget(" + base + ", key) if value == nil then "
                      "return " + parent + "[key] end return value end,");
        else
            Line(out, "__index = " + base + ",");
        Line(out, "__call = function(class, ...) local object = setmetatable({}, " + base +
                      ") class.__init(object, ...) return object end,");
        --indent_;
        Line(out, "})");
        Line(out, base + ".__class = " + cls);
        if (!n.body.empty()) {
            // The body's statements run with self as the class.
            Line(out, "do");
            ++indent_;
            scopes_.emplace_back();
            Line(out, "local self = " + cls);
            Declare("self");
            methods_.push_back(std::nullopt);
            classParents_.push_back(parent);
            Statements(n.body, out, false);
            classParents_.pop_back();
            methods_.pop_back();
            scopes_.pop_back();
            --indent_;
            Line(out, "end");
        }
        if (n.a)
            Line(out, "if " + parent + ".__inherited then " + parent + ".__inherited(" + parent + ", " + cls + ") end");
        Line(out, holder + " = " + cls);
        scopes_.pop_back();
        --indent_;
        Line(out, "end");
        return holder;
    }

    std::string Member(const Node& value, const std::string& parent, const std::string& method,
                       bool classLevel = false)
    {
        // 'super' in any function of the value ("name: wrap =>") refers to this member
        methods_.push_back(MethodContext{parent, method, classLevel});
        std::string text = Expr(value);
        methods_.pop_back();
        return text;
    }

    // ---- expressions ----

    std::string Prefix(const Node& e)
    {
        switch (e.kind) {
        case Kind::Name:
        case Kind::Self:
        case Kind::Field:
        case Kind::Index:
        case Kind::Call:
        case Kind::Method:
        case Kind::Paren:
        case Kind::SuperCall:
        case Kind::ClassRef:
        case Kind::WithRef:
            return Expr(e);
        default:
            return "(" + Expr(e) + ")";
        }
    }

    std::string Args(const std::vector<NodeP>& args)
    {
        std::vector<std::string> texts;
        for (const NodeP& a : args)
            texts.push_back(Expr(*a));
        return Join(texts, ", ");
    }

    std::string Expr(const Node& e)
    {
        switch (e.kind) {
        case Kind::Nil: return "nil";
        case Kind::True: return "true";
        case Kind::False: return "false";
        case Kind::Number: return e.text;
        case Kind::Name: return e.text;
        case Kind::Self: return "self";
        case Kind::String: return String(e);
        case Kind::Field:
        case Kind::Index:
        case Kind::Call:
        case Kind::Method: return Chain(e);
        case Kind::SuperCall: return Super(e);
        case Kind::Vararg: return Vararg(e);
        case Kind::ClassRef: return "self.__class";
        case Kind::Binary: {
            std::string out = "(" + Expr(*e.items[0]);
            for (size_t i = 0; i < e.names.size(); ++i) {
                out += " " + (e.names[i] == "!=" ? std::string("~=") : e.names[i]) + " ";
                out += Expr(*e.items[i + 1]);
            }
            return out + ")";
        }
        case Kind::Unary: return "(" + e.text + " " + Expr(*e.a) + ")";
        case Kind::Paren: return "(" + Expr(*e.a) + ")";
        case Kind::Function: return Function(e);
        case Kind::Table: return Table(e);
        case Kind::Comprehension: return Comprehension(e);
        case Kind::TableComprehension: return TableComprehension(e);
        case Kind::If:
        case Kind::Switch: return ValueOf(e);
        case Kind::Do:
            return InPlace([&](std::string& out) { Statements(e.body, out, true); });
        case Kind::With:
            return InPlace([&](std::string& out) {
                WithBody(e, out, false);
                if (!EndsInReturn(e.body))
                    Line(out, "return " + withs_.back());
                withs_.pop_back();
            });
        case Kind::NumFor:
        case Kind::ForIn:
        case Kind::ForEach:
        case Kind::While:
            return InPlace([&](std::string& out) { Line(out, "return " + GatheredLoop(e, out)); });
        case Kind::Class:
            return InPlace([&](std::string& out) { Line(out, "return " + Class(e, out)); });
        case Kind::WithRef:
            if (withs_.empty())
                throw CompileError(e.line, "'.' or '\\' without an object outside 'with'");
            return withs_.back();
        default:
            throw CompileError(e.line, "internal error: unexpected expression");
        }
    }

    // A run of fields, indexes and calls, walked as a list from its innermost object outwards.
    std::string Chain(const Node& e)
    {
        std::vector<const Node*> links;
        const Node* base = &e;
        while (base->kind == Kind::Field || base->kind == Kind::Index || base->kind == Kind::Call ||
               base->kind == Kind::Method) {
            links.push_back(base);
            base = base->a.get();
        }
        std::string out = Prefix(*base);
        for (auto it = links.rbegin(); it != links.rend(); ++it) {
            const Node& link = **it;
            switch (link.kind) {
            case Kind::Field: out += FieldSuffix(link.text); break;
            case Kind::Index:
                if (link.text == "slice")
                    throw CompileError(link.line, "a slice is only allowed in 'for x in *list[a, b]'");
                out += Subscript(Expr(*link.b));
                break;
            case Kind::Call: out += "(" + Args(link.items) + ")"; break;
            default:
                if (link.value) { // a method stub: the object is evaluated once, now
                    out = "(function(object) return function(...) return object" + MethodSuffix(link.text) +
                          " end end)(" + out + ")";
                } else if (!IsLuaKeyword(link.text)) {
                    out += ":" + link.text + "(" + Args(link.items) + ")";
                } else if (link.a->kind == Kind::Name || link.a->kind == Kind::Self) {
                    out += FieldSuffix(link.text) + "(" + out + (link.items.empty() ? "" : ", " + Args(link.items)) + ")";
                } else {
                    // "obj\end!": a method named by a Lua keyword, its object evaluated once
                    out = "(function(object, ...) return object" + FieldSuffix(link.text) + "(object, ...) end)(" +
                          out + (link.items.empty() ? "" : ", " + Args(link.items)) + ")";
                }
                break;
            }
        }
        return out;
    }

    std::string Vararg(const Node& e)
    {
        if (!varargs_.back())
            throw CompileError(e.line, "'...' outside a function that takes '...'");
        return "...";
    }

    std::string String(const Node& e)
    {
        if (std::none_of(e.items.begin(), e.items.end(), [](const NodeP& item) { return item != nullptr; }))
            return e.quote == '[' ? e.text : std::string(1, e.quote) + e.text + e.quote;
        std::vector<std::string> pieces;
        for (size_t i = 0; i < e.x().parts.size(); ++i) {
            if (e.items[i])
                pieces.push_back("tostring(" + Expr(*e.items[i]) + ")");
            else
                pieces.push_back("\"" + e.x().parts[i].text + "\"");
        }
        // Every piece is a string, so grouping them changes nothing but keeps Lua's nesting of '..'
        // (which it parses recursively) shallow however many pieces there are.
        while (pieces.size() > 1) {
            std::vector<std::string> groups;
            for (size_t at = 0; at < pieces.size(); at += 100) {
                const std::vector<std::string> group(pieces.begin() + static_cast<std::ptrdiff_t>(at),
                                                     pieces.begin() + static_cast<std::ptrdiff_t>(std::min(pieces.size(), at + 100)));
                groups.push_back("(" + Join(group, " .. ") + ")");
            }
            pieces = std::move(groups);
        }
        return pieces[0];
    }

    std::string Super(const Node& e)
    {
        if (methods_.empty() || !methods_.back())
            throw CompileError(e.line, "'super' outside a class method");
        const MethodContext& context = *methods_.back();
        // without 'extends' there is no parent: using it is an error when the code runs
        const std::string parent = context.parent.empty() ? "(nil)" : context.parent;
        if (e.value && e.text.empty())
            return parent;
        const std::string method = e.text.empty() ? context.method : e.text;
        std::string args = "self";
        if (!e.items.empty())
            args += ", " + Args(e.items);
        std::string fn;
        if (context.classLevel)
            fn = parent + FieldSuffix(method);
        else if (method == "new")
            fn = parent + ".__init";
        else
            fn = parent + ".__base" + FieldSuffix(method);
        if (e.value) // "super\\name" alone: a function calling the parent's method on self
            return "(function(...) return " + fn + "(self, ...) end)";
        return fn + "(" + args + ")";
    }

    std::string Function(const Node& e)
    {
        std::vector<std::string> params;
        scopes_.emplace_back();
        if (e.x().usingSet) {
            scopes_.back().barrier = true;
            scopes_.back().allowed.insert(e.x().usingNames.begin(), e.x().usingNames.end());
        }
        if (e.fat) {
            params.push_back("self");
            Declare("self");
        }
        bool varargs = false;
        for (const Param& p : e.x().params) {
            params.push_back(p.name);
            if (p.name == "...")
                varargs = true;
            else
                Declare(p.name);
        }
        varargs_.push_back(varargs);
        loops_.push_back(std::nullopt);
        sinks_.push_back(std::nullopt);
        std::string body;
        ++indent_;
        for (const Param& p : e.x().params) {
            if (p.defaultValue)
                Line(body, "if " + p.name + " == nil then " + p.name + " = " + Expr(*p.defaultValue) + " end");
            if (p.selfField)
                Line(body, std::string(p.classField ? "self.__class" : "self") + FieldSuffix(p.name) + " = " + p.name);
            if (p.pattern)
                PatternLocals(*p.pattern, p.name, body);
        }
        Statements(e.body, body, true);
        --indent_;
        sinks_.pop_back();
        loops_.pop_back();
        varargs_.pop_back();
        scopes_.pop_back();
        return "function(" + Join(params, ", ") + ")\n" + body + Pad() + "end";
    }

    std::string Table(const Node& e)
    {
        if (e.x().entries.empty())
            return "{}";
        std::vector<std::string> entries;
        for (const Entry& entry : e.x().entries) {
            const std::string value = Expr(*entry.value);
            if (entry.keyKind == Entry::NameKey)
                entries.push_back((IsLuaKeyword(entry.name) ? "[\"" + entry.name + "\"]" : entry.name) + " = " + value);
            else if (entry.keyKind == Entry::ExprKey)
                entries.push_back("[ " + Expr(*entry.key) + " ] = " + value);
            else
                entries.push_back(value);
        }
        return "{" + Join(entries, ", ") + "}";
    }

    // A function called in place, around a body that returns the value.
    template <typename Body>
    std::string InPlace(Body body)
    {
        std::string text;
        ++indent_;
        scopes_.emplace_back();
        loops_.push_back(std::nullopt);
        sinks_.push_back(std::nullopt);
        body(text);
        sinks_.pop_back();
        loops_.pop_back();
        scopes_.pop_back();
        --indent_;
        // The wrapper passes the enclosing function's '...' through.
        if (varargs_.back())
            return "(function(...)\n" + text + Pad() + "end)(...)";
        return "(function()\n" + text + Pad() + "end)()";
    }

    std::string ValueOf(const Node& e)
    {
        return InPlace([&](std::string& out) {
            if (e.kind == Kind::If)
                If(e, out, true);
            else
                Switch(e, out, true);
        });
    }

    // The loops and conditions of a comprehension's clauses around inner(out).
    template <typename Inner>
    void Clauses(const Node& e, std::string& out, Inner inner)
    {
        int opened = 0;
        for (const Clause& clause : e.x().clauses) {
            switch (clause.kind) {
            case Clause::When:
                Line(out, "if " + Expr(*clause.exprs[0]) + " then");
                break;
            case Clause::NumFor: {
                std::string head = "for " + clause.names[0] + " = " + Expr(*clause.exprs[0]) + ", " +
                                   Expr(*clause.exprs[1]);
                if (clause.exprs.size() > 2)
                    head += ", " + Expr(*clause.exprs[2]);
                Line(out, head + " do");
                break;
            }
            case Clause::ForIn: {
                Line(out, ForInHead(clause.names, clause.exprs));
                break;
            }
            case Clause::ForEach:
                ForEachHead(clause.names[0], clause.exprs, out);
                break;
            }
            ++opened;
            ++indent_;
            scopes_.emplace_back();
            for (const std::string& name : clause.names)
                Declare(name);
            if (clause.pattern)
                LoopPatterns(*clause.pattern, clause.names, out);
        }
        inner(out);
        for (int i = 0; i < opened; ++i) {
            scopes_.pop_back();
            --indent_;
            Line(out, "end");
        }
    }

    // "for name in *list[start, stop, step]": the loop's first line and the local of its item.
    // "for a, b in x, y do" of a generic for loop or comprehension clause.
    std::string ForInHead(const std::vector<std::string>& names, const std::vector<NodeP>& exprs)
    {
        std::vector<std::string> texts;
        for (const NodeP& e : exprs)
            texts.push_back(Expr(*e));
        return "for " + Join(names, ", ") + " in " + Join(texts, ", ") + " do";
    }

    void ForEachHead(const std::string& name, const std::vector<NodeP>& exprs, std::string& out)
    {
        const std::string list = Temp();
        const std::string index = Temp();
        Line(out, "local " + list + " = " + Expr(*exprs[0]));
        auto part = [&](size_t i, const std::string& absent) {
            return exprs.size() > i && exprs[i] ? Expr(*exprs[i]) : absent;
        };
        std::string head = "for " + index + " = " + part(1, "1") + ", " + part(2, "#" + list);
        if (exprs.size() > 3 && exprs[3])
            head += ", " + Expr(*exprs[3]);
        Line(out, head + " do");
        Line(out, "  local " + name + " = " + list + "[" + index + "]");
    }

    std::string Comprehension(const Node& e)
    {
        return InPlace([&](std::string& out) {
            const std::string result = Temp();
            const std::string count = Temp();
            Line(out, "local " + result + ", " + count + " = {}, 0");
            Clauses(e, out, [&](std::string& body) {
                Line(body, count + " = " + count + " + 1");
                Line(body, result + "[" + count + "] = " + Expr(*e.a));
            });
            Line(out, "return " + result);
        });
    }

    std::string TableComprehension(const Node& e)
    {
        return InPlace([&](std::string& out) {
            const std::string result = Temp();
            Line(out, "local " + result + " = {}");
            Clauses(e, out, [&](std::string& body) {
                const std::string key = Temp();
                const std::string value = Temp();
                if (e.b)
                    Line(body, "local " + key + ", " + value + " = " + Expr(*e.a) + ", " + Expr(*e.b));
                else
                    Line(body, "local " + key + ", " + value + " = " + Expr(*e.a));
                Line(body, result + "[" + key + "] = " + value);
            });
            Line(out, "return " + result);
        });
    }

    std::vector<Scope> scopes_;
    std::vector<std::optional<MethodContext>> methods_;
    std::vector<std::string> classParents_; // the parent class local of each class body being emitted
    std::vector<bool> varargs_{true};
    std::vector<std::optional<Loop>> loops_; // a null entry at each function: 'break' can't cross it
    std::vector<std::string> withs_;
    // A loop used as a value: the list its passes fill, and the body whose last values go into it.
    struct Gather {
        std::string result, count;
        const Block* body;
    };
    const Gather* gather_ = nullptr;
    std::vector<std::optional<std::string>> sinks_; // where a block's value goes: returned (null) or assigned          // the temporaries holding the objects of enclosing 'with's // whether '...' is available, per function (the file's chunk has it)
    int temp_ = 0;
    int indent_ = 0;
};

} // namespace

std::string Emit(const Block& file)
{
    return Emitter().File(file);
}

std::string CompileSource(const std::string& source)
{
    Block file;
    {
        const std::vector<Token> tokens = Lex(source);
        file = Parse(tokens);
    } // the tokens go before the output grows
    return Emit(file);
}

} // namespace moonc
