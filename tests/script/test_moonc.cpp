// moonc, our MoonScript compiler: small programs compiled and run by Lua, checked by what they print;
// errors named by line with nothing written; random and truncated input never crashes it.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <fcntl.h>

#include <cerrno>
#include <cstring>

#include "TestFiles.h"
#include "core/Random.h"

extern char** environ;

namespace {

using namespace testsupport;

struct CompilerRun {
    int status = -1; // exit code, or -1 when the compiler did not exit normally
    std::string errors;
};

// Runs moonc on one file (and an output path when one is given) with an argument vector, its stderr
// kept in a file.
CompilerRun Compile(const fs::path& source, const char* output = nullptr)
{
    const fs::path errorsFile = source.string() + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errorsFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "ASAN_OPTIONS=", 13) != 0 && std::strncmp(*e, "UBSAN_OPTIONS=", 14) != 0)
            env.push_back(*e);
    env.push_back("ASAN_OPTIONS=exitcode=86");
    env.push_back("UBSAN_OPTIONS=exitcode=86");
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = DUSTRUN_MOONC, argument = source.string(), out = output ? output : "";
    char* argv[] = {program.data(), argument.data(), output ? out.data() : nullptr, nullptr};
    pid_t pid = 0;
    CompilerRun run;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv, envp.data()) == 0) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    run.errors = ReadFile(errorsFile);
    fs::remove(errorsFile);
    return run;
}

int Print(lua_State* L)
{
    auto* out = static_cast<std::string*>(lua_touserdata(L, lua_upvalueindex(1)));
    for (int i = 1; i <= lua_gettop(L); ++i) {
        if (i > 1)
            *out += '\t';
        *out += luaL_tolstring(L, i, nullptr);
        lua_pop(L, 1);
    }
    *out += '\n';
    return 0;
}

// Runs a Lua file with print collected; returns the printed text, or "error: ..." when it fails.
std::string RunLua(const fs::path& file, const std::string& prelude = "", int times = 1,
                   const std::string& epilogue = "")
{
    std::string out;
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    lua_pushlightuserdata(L, &out);
    lua_pushcclosure(L, Print, 1);
    lua_setglobal(L, "print");
    if (luaL_dostring(L, prelude.c_str()) != LUA_OK)
        out += std::string("error: ") + lua_tostring(L, -1);
    for (int i = 0; i < times; ++i)
        if (luaL_dofile(L, file.c_str()) != LUA_OK)
            out += std::string("error: ") + lua_tostring(L, -1);
    if (!epilogue.empty() && luaL_dostring(L, epilogue.c_str()) != LUA_OK)
        out += std::string("error: ") + lua_tostring(L, -1);
    lua_close(L);
    return out;
}

struct Program {
    const char* name;
    const char* source;
    const char* printed;
};

const Program kPrograms[] = {
    {"blocks_and_locals",
     "-- locals by default\nx = 1\nf = ->\n  x = 2 -- the outer x\n  y = 3 -- local to f\nf!\nprint x, y\n",
     "2\tnil\n"},
    {"export", "g = ->\n  export counter = 10\n  hidden = 1\ng!\nprint counter, rawget(_G, 'counter'), hidden\n",
     "10\t10\tnil\n"},
    {"update_and_not_equal",
     "a = 10\na += 5\na -= 3\na *= 2\na /= 4\ns = 'x'\ns ..= 'y'\nprint a, s, a != 6, a != 5\n"
     "calls = 0\nk = ->\n  calls += 1\n  1\nt = {n: {1}}\nt.n[k!] += 1\nprint t.n[1], calls\n",
     "6.0\txy\tfalse\ttrue\n2\t1\n"},
    {"calls",
     "add = (a, b) -> a + b\nprint add 1, 2\nprint(add(3, 4))\nnow = -> 'now'\nprint now!\n"
     "print add 1, add 2, 3\nobj = {v: 5, get: (extra) => @v + extra}\nprint obj\\get 1\nprint obj\\get(2) * 10\n",
     "3\n7\nnow\n6\n6\n70\n"},
    {"self_fields_and_methods",
     "obj = {\n  n: 1\n  inc: (by = 1) =>\n    @n += by\n  twice: =>\n    @\\inc 2\n    @\\inc!\n    @n\n}\n"
     "print obj\\twice!\n",
     "4\n"},
    {"if_unless",
     "classify = (n) ->\n  if n < 0\n    'neg'\n  elseif n == 0\n    'zero'\n  else\n    'pos'\n"
     "print classify(-1), classify(0), classify 5\nunless 1 > 2\n  print 'unless'\n"
     "v = if 1 > 2 then 'a' else 'b'\nprint v\nfact = (n) -> if n <= 1 then 1 else n * fact(n - 1)\nprint fact 5\n",
     "neg\tzero\tpos\nunless\nb\n120\n"},
    {"while_and_numeric_for", "n = 0\nwhile n < 5\n  n += 2\ns = 0\nfor i = 10, 1, -3\n  s += i\nprint n, s\n",
     "6\t22\n"},
    {"for_in",
     "t = {a: 1, b: 2}\nsum = 0\nfor k, v in pairs t\n  sum += v\nout = ''\nfor x in *{'p', 'q'}\n  out ..= x\n"
     "print sum, out\n",
     "3\tpq\n"},
    {"tables",
     "t = {a: 1, 'b', [1 + 1]: 'two', 'c d': 4, end: 5}\nprint t.a, t[1], t[2], t['c d'], t.end\n"
     "u = {\n  1, 2\n  3\n}\nprint #u\n",
     "1\tb\ttwo\t4\t5\n3\n"},
    {"functions_strings_logic",
     "greet = (name, greeting = 'hi') -> \"#{greeting}, #{name}!\"\nprint greet('bo'), greet 'al', 'yo'\n"
     "print nil or 'd', false and 1, not nil\nprint \"#{1 + 2}#{'x'}\", 'a\"b', \"t\\\"q\"\n",
     "hi, bo!\tyo, al!\nd\tfalse\ttrue\n3x\ta\"b\tt\"q\n"},
    {"returns",
     "first = (t) ->\n  for x in *t\n    if x > 1\n      return x\n  'none'\nprint first({1, 5, 2}), first {0}\n"
     "pair = -> return 1, 2\nprint pair!\n",
     "5\tnone\n1\t2\n"},
    {"switch",
     "name = (n) ->\n  switch n\n    when 1 then 'one'\n    when 2, 3\n      'few'\n    else 'many'\n"
     "print name(1), name(3), name 9\ns = switch 'z'\n  when 'a' then 1\nprint s\n",
     "one\tfew\tmany\nnil\n"},
    {"comprehensions",
     "t = {3, -1, 4}\nd = [x * 2 for x in *t when x > 0]\nprint #d, d[1], d[2]\n"
     "sq = [i * i for i = 1, 3]\nprint table.concat(sq, ',')\nks = [k for k, v in pairs {a: 1} when v == 1]\nprint ks[1]\n",
     "2\t6\t8\n1,4,9\na\n"},
    {"classes",
     "class Animal\n  sound: '...'\n  new: (@name) =>\n  speak: => \"#{@name} says #{@sound}\"\n"
     "class Dog extends Animal\n  sound: 'woof'\n  new: (name, @tricks = 0) =>\n    super name\n"
     "  speak: => super! .. \" (#{@tricks} tricks)\"\nclass Puppy extends Dog\n"
     "print Animal('cat')\\speak!\nprint Dog('rex', 2)\\speak!\np = Puppy 'bit'\n"
     "print p\\speak!, p.name, Puppy.__name, Dog.sound\n",
     "cat says ...\nrex says woof (2 tricks)\nbit says woof (0 tricks)\tbit\tPuppy\twoof\n"},
    {"self_method_calls",
     "class C\n  new: (@n) =>\n  get: => @n\n  add: (k) => @get! + k\n  go: => @add 10\n  cls: => @@__name\n"
     "print C(1)\\go!, C(2)\\cls!\n",
     "11\tC\n"},
    {"operators",
     "print 2^3^2, 2 - 3 - 4, 7 // 2, 6 & 3 | 8, 1 << 4 >> 1, ~0, 5 ~ 3, -2^2, not 1 == 2\n"
     "x = 1\n(print) \"hi\"\ny = tostring\n(print) \"ho\"\nprint 'a' .. 1 + 2 .. 'b', 1 < 2 == true\n",
     "512.0\t-5\t3\t10\t8\t-1\t6\t-4.0\tfalse\nhi\nho\na3b\ttrue\n"},
    {"update_operators",
     "a, b, c, d = 7, nil, 1, 6\na %= 4\nb or= 'dflt'\nc and= 'yes'\nd //= 4\nd <<= 3\nd |= 1\nd &= 9\nd ^= 2\n"
     "print a, b, c, d\n",
     "3\tdflt\tyes\t81.0\n"},
    {"break_continue_decorators",
     "for i = 1, 6\n  continue if i == 2\n  break if i == 5\n  print i unless i == 3\nprint x * 2 for x in *{4, 5}\n"
     "n = 0\nn += 1 while n < 3\nfor i = 1, 2 do print i, n\nx = 1 if n > 2\ny = v for v in *{4, 5}\nprint x, y\n",
     "1\n4\n8\n10\n1\t3\n2\t3\n1\t5\n"},
    {"varargs_and_implicit_pairs",
     "count = (...) -> select '#', ...\nfirst = (a, ...) -> if a then ... else 0\npair = -> 1, 2\n"
     "wrap = (...) -> count ...\nprint count(nil, nil), first(true, 7, 8), wrap(1, 2, 3), pair!\n",
     "2\t7\t3\t1\t2\n"},
    {"do_local_import_export",
     "do\n  y = 5\nprint y, (do 2 * 3)\nx = 1\ndo\n  local x = 2\n  x += 1\nprint x\nlocal *\nF = -> G!\nG = -> 'g'\n"
     "print F!\nimport concat, \\get from {concat: table.concat, v: 9, get: => @v}\nprint concat({1, 2}, ','), get!\n"
     "f = ->\n  export ^\n  Up, low = 1, 2\nf!\nprint rawget(_G, 'Up'), rawget(_G, 'low')\n",
     "nil\t6\n1\ng\n1,2\t9\n1\tnil\n"},
    {"with",
     "with p = {}\n  .x = 1\n  .y = .x + 1\n  print .y\nq = with {v: 3, get: => @v}\n  .v += 1\n  print \\get!\nprint p, q.v\n"
     "r = 1\nwith r = {}\n  .x = 5\nprint r.x\n",
     "2\n4\nnil\t4\n5\n"},
    {"assignment_in_conditions",
     "if n = tonumber '12'\n  print n\nitems = {1, 2}\nwhile item = table.remove items\n  print item\nprint n, item\n",
     "12\n2\n1\nnil\tnil\n"},
    {"long_strings_and_layout",
     "--[[ a long\ncomment ]]\ns = [[one\ntwo]]\nprint s, [==[a]]b]==]\nx = 1 +\n  2 *\n  3\nadd = (a,\n       b) ->\n  a + b\n"
     "print x, add 1,\n  2\ny =\n  x * 2\nprint y\nprint 5, 6,\n  7, add 1,\n    2,\n  8\nt = {\n  1, add 2,\n    3,\n  9\n}\nprint #t\n",
     "one\ntwo\ta]]b\n7\t3\n14\n5\t6\t7\t3\t8\n3\n"},
    {"tables_without_braces",
     "f = (o) -> o.x, o.y\nprint f x: 1, y: 2\nprint f(x: 7, y: 8)\nx, y = 3, 4\np = {:x, :y, z: 5}\nprint p.x, p.y, p.z\n"
     "conf =\n  name: 'n'\n  size:\n    w: 2\n    h: 3\nq = a: 1, b: 2\nprint conf.name, conf.size.h, q.b\n",
     "1\t2\n7\t8\n3\t4\t5\nn\t3\t2\n"},
    {"table_comprehensions_and_slices",
     "u = {k, v * 10 for k, v in pairs {a: 1, b: 2}}\nsq = {x, x * x for x in *{1, 2, 3} when x > 1}\n"
     "print u.a, u.b, sq[1], sq[3]\nprint x for x in *{1, 2, 3, 4, 5}[2, 3]\n"
     "print table.concat [x for x in *{1, 2, 3, 4, 5, 6}[1,,2]], ','\n",
     "10\t20\tnil\t9\n2\n3\n1,3,5\n"},
    {"destructuring",
     "{a, b} = {1, 2}\n{:x, y: {z}} = {x: 3, y: {4}}\nt = {}\n{t.p, c}, d = {5, 6}, 7\nprint a, b, x, z, t.p, c, d\n"
     "for {k, v} in *{{1, 2}, {3, 4}}\n  print k + v\nf = ({:w, :h}, s = 1) -> w * h * s\nprint f {w: 2, h: 3}\n"
     "print table.concat [a * b for {a, b} in *{{1, 2}, {3, 4}}], ','\n",
     "1\t2\t3\t4\t5\t6\t7\n3\n7\n6\n2,12\n"},
    {"loops_as_values",
     "d = for x in *{1, 2, 3}\n  x * 2\ne = for i = 1, 4 do i if i % 2 == 0\nn = 0\nw = while n < 3\n  n += 1\n  n * n\n"
     "print #d, d[3], e[2], e[3], e[4], table.concat w, ','\n",
     "3\t6\t2\tnil\t4\t1,4,9\n"},
    {"class_features",
     "class Base\n  @count: 0\n  @__inherited: (child) => print 'inherited by', child.__name\n  kind: 'base'\n"
     "  hi: => 'hi from ' .. @@__name\nclass Child extends Base\n  secret = 42\n  @make: => @!\n  say: => secret\n"
     "  kind2: => super.kind\n  print 'body', @__name\nc = Child\\make!\nprint c\\say!, c\\kind2!, c\\hi!, Child.count\n"
     "X = class extends Base\n  v: 1\nns = {}\nclass ns.Thing\n  ok: => 'ok'\nprint X.__name, X!.v, ns.Thing!\\ok!\n",
     "body\tChild\ninherited by\tChild\n42\tbase\thi from Child\t0\ninherited by\tX\nX\t1\tok\n"},
    {"using",
     "x = 1\nf = (using nil) ->\n  x = 2\nf!\ng = (a using x) ->\n  x = a\nh = (a using nil) -> x = a\nh 9\nprint x\ng 5\nprint x\n",
     "1\n5\n"},
    {"method_stubs_and_multiline_strings",
     "o = {n: 3, get: (k) => @n + k}\nf = o\\get\no.n = 10\nprint f 1\ns = \"a\nb#{1}\"\nprint s\nif true\n\tprint 'tab'\n",
     "11\na\nb1\ntab\n"},
    // Forms of the language reference, each printing what the reference compiler's Lua prints (the
    // last row: what the reference's Lua would print if Lua loaded it).
    {"decorated_returns",
     "f = (t) ->\n  return 0 if not t\n  #t\ng = (list) ->\n  return unless list\n  \"ok\"\nh = (x) ->\n"
     "  return x * 2 if x > 1\n  return if x < 0 then \"neg\" else \"small\"\n"
     "print f(nil), f({1, 2}), g!, g({}), h(3), h(-1), h(0)\n",
     "0\t2\tnil\tok\t6\tneg\tsmall\n"},
    {"return_inside_block_values",
     "f = (x) ->\n  y = if x > 0\n    return \"pos\"\n  else\n    \"neg\"\n  y .. \"!\"\ng = (x) ->\n"
     "  v = switch x\n    when 1 then return \"one\"\n    else \"other\"\n  v\nh = (t) ->\n  r = for v in *t\n"
     "    return \"found\" if v == 3\n    v\n  #r\nk = ->\n  w = with {}\n    return 9\n  w\n"
     "print f(1), f(-1), g(1), g(2), h({1, 2, 3}), h({1, 2}), k!\n",
     "pos\tneg!\tone\tother\tfound\t2\t9\n"},
    {"tables_on_one_line_and_continued_args",
     "t =\n  sword: weight: 5, value: 100\n  shield: weight: 10, value: 50\n"
     "show = (n, o) -> print n, o.x, o.y\nshow 1,\n  x: t.sword.value\n  y: t.shield.weight\n"
     "print t.sword.weight, t.shield.value\n",
     "1\t100\t10\n5\t50\n"},
    {"nested_comprehension_at_double_bracket",
     "grid = [[x * y for x = 1, 3] for y = 1, 2]\na, t = {1}, {5}\nprint #grid, grid[2][3], t[a[1]], [[a]b]]\n",
     "2\t6\t5\ta]b\n"},
    {"with_as_argument_and_index_lines",
     "class W\n  new: => @items = {}\n  add: (x) => table.insert @items, x\nw = W!\nw\\add with W!\n  .n = 7\n"
     "  [1] = \"first\"\nprint #w.items, w.items[1].n, w.items[1][1]\n",
     "1\t7\tfirst\n"},
    {"decorators_with_when_and_calls_with_blocks",
     "list = {5, 20, 15, 3}\nprint n for n in *list when n > 10\nbig = n for n in *list when n > 10\n"
     "y, c = \"y\", false\nx = y if c\nprint big, x, if c then 1 else 2\nprint #for i = 1, 3 do i\n",
     "20\n15\n15\tnil\t2\n3\n"},
    {"classes_anonymous_super_and_self_call",
     "make = (v) ->\n  class\n    value: v\nC = make 5\nprint C!.value, C.__name\nclass A\n"
     "  @make: => \"A.make \" .. @__name\nclass B extends A\n  @make: => \"B>\" .. super!\ntwice = => @ 3\n"
     "print B\\make!, twice setmetatable {}, __call: (n) => n * 2\n",
     "5\tnil\nB>A.make B\t6\n"},
    {"do_ending_in_a_loop_and_default_false",
     "v = do\n  for i = 1, 3\n    i * 2\nf = (a = true, b = 5) -> print a, b\nf false, nil\nf nil, false\n"
     "print #v, v[3]\n",
     "false\t5\ntrue\tfalse\n3\t6\n"},
    {"function_bodies_and_with_targets",
     "x = {f: -> 1, g: 2}\na, b = x.f!\nt = with {}\n  with .sub = {}\n    .c = 3\nprint a, b.g, x.g, t.sub.c\n",
     "1\t2\tnil\t3\n"},
    {"keyword_methods_long_string_keys_exported_locals",
     "obj =\n  end: => \"ended\"\n  n: 2\n  then: (x) => x + @n\nget = -> obj\nstub = obj\\end\n"
     "print obj\\end!, get!\\then(3), stub!, obj[ [[n]] ]\nx = 1\nexport x\nx = 2\n"
     "print x, rawget(_G, \"x\")\n",
     "ended\t5\tended\t2\n2\tnil\n"},    {"trailing_commas_and_continued_argument_lines",
     "list = {\n  \"sword\",\n  \"shield\",\n}\nt = {\n  a: {1, 2,},\n  b: {\n    x: 1,\n  },\n}\n"
     "count = (...) -> select \"#\", ...\nprint #list, #t.a, t.b.x\nnested = math.max(\n  1,\n"
     "  math.min(5,\n    3),\n  2)\nprint nested\nprint count 1,\n  count(2,\n    3),\n  4\n"
     "f = (...) -> table.concat {...}, \",\"\ng = (...) -> \"g(\" .. table.concat({...}, \",\") .. \")\"\n"
     "print f 1, g 2,\n    3,\n  4\nprint f 1, g 2,\n  3,\n    4\nprint count(2, (a) ->\n  a),\n  4\n",
     "2\t2\t1\n3\n3\n1,g(2,3),4\n1,g(2,3),4\n2\t4\n"},
    {"nested_for_decorators_elseif_assignment_and_curried_calls",
     "t = {{1, 2}, {3}}\nprint v for row in *t for v in *row\nprint x, y for x = 1, 2 for y = x, 2\n"
     "f = (n) ->\n  if n == 1\n    \"one\"\n  elseif s = tostring n\n    \"str \" .. s\n"
     "add = (a, b) -> a + b\ncurry = (fn) -> (a) -> (b) -> fn a, b\nprint f(1), f(2), curry(add)(1) 2\n"
     "x = 1\nif x = tonumber \"5\"\n  print x\nprint x\n",
     "1\n2\n3\n1\t1\n1\t2\n2\t2\none\tstr 2\t3\n5\n5\n"},
    {"class_bodies_with_computed_keys_in_source_order",
     "KEY = \"hp\"\nclass A\n  [KEY]: 5\n  [\"max_\" .. KEY]: 9\n  colors = {\"red\", \"green\"}\n"
     "  @size: #colors\n  @double: @size * 2\n  a: 1, b: 2,\n"
     "print A!.hp, A!.max_hp, A.size, A.double, A!.b\n",
     "5\t9\t2\t4\t2\n"},
    {"braceless_tables_continuing_arguments_comments_and_line_ends",
     "#!/usr/bin/env moon\nclass Machine\n  new: (@owner, @states) =>\nclass Bot\n  new: =>\n    @machine = Machine @,\n"
     "      idle:\n        update: (dt) => dt * 2\n      patrol:\n        enter: -> \"go\"\nb = Bot!\n"
     "print b.machine.states.idle\\update(3), b.machine.states.patrol.enter!\nt = {\n  f: => 1\n  g: 2\n"
     "}\nx = 1 --[[ mid ]] + 2\nprint t.g, x, \"a\\\nb\"\n",
     "6\tgo\n2\t1\ta\\nb\n"},
    {"layouts_found_by_comparison_destructured_loop_pairs_export_blocks_import_lines",
     "show = (t) -> type(t) == \"table\" and \"{\" .. table.concat([show(v) for v in *t], \",\") .. \"}\" or tostring t\n"
     "mk = (n) -> (...) -> n .. \"(\" .. table.concat([show(v) for v in *{...}], \",\") .. \")\"\n"
     "f, g, h = mk(\"f\"), mk(\"g\"), mk(\"h\")\nprint f(a: 1, 2), show {g g 1, }\nprint h({h(1,\n"
     "        2)}, g {3, 4},\n  5, 6)\nprint show {g(g 1,\n        f 2, f 3, 4,\n  5)}\nfns = {\n"
     "  one: -> 1,\n  two: -> 2,\n}\nprint fns.one!, fns.two!\nfor k, {p, q} in pairs {a: {1, 2}}\n"
     "  print k, p + q\nexport *\ntop = 1\ninner = ->\n  local_here = 2\ninner!\n"
     "print rawget(_G, \"top\"), rawget(_G, \"local_here\")\nimport\n  concat\n  insert\n  from table\n"
     "print concat {1, 2}, \"-\"\n",
     "f({},2)\t{g(g(1))}\nh({h(1,2)},g({3,4},5,6))\n{g(g(1,f(2,f(3,4))),5)}\n1\t2\na\t3\n1\tnil\n1-2\n"},
    {"comma_ending_a_block_and_key_lines_after_a_continued_list",
     "show = (t) -> type(t) == \"table\" and \"{\" .. table.concat([show(v) for v in *t], \",\") .. "
     "(t.c and \",c=#{t.c}\" or \"\") .. \"}\" or type(t) == \"function\" and show(t!) or tostring t\n"
     "mk = (n) -> (...) -> n .. \"(\" .. table.concat([show(v) for v in *{...}], \",\") .. \")\"\n"
     "f, h = mk(\"f\"), mk(\"h\")\nout = print\n"
     "print = (...) -> out table.concat [show(v) for v in *{...}], \" \"\nprint f 1 +\n       2, ->\n"
     "         f 3, 4,\n  5\nprint h 1,\n   f(2),\n          c: 4,\n"
     "list = {\n  ->\n    \"a\",\n  ->\n    h 2,\n}\nprint #list, list[1]!, list[2]!\n",
     "f(3,f(3,4),5)\nh(1,f(2)) {,c=4}\n2 a h(2)\n"},
    {"class_field_parameter_stores_in_the_class",
     "class Counter\n  @total: 0\n  new: (@name, @@total) =>\na = Counter \"a\", 5\nprint a.name, Counter.total, a.total\n",
     "a\t5\tnil\n"},
    {"with_object_then_do_and_one_statement",
     "t = with {} do .x = 5\nwith t do \\set 2 if .set\nprint t.x\n",
     "5\n"},
    {"loop_head_ending_in_do_with_the_body_below",
     "i = 0\nwhile i < 3 do\n  i += 1\nfor k = 1, 2 do\n  i += k\nprint i\n",
     "6\n"},
    {"new_given_any_function_and_self_replaced_by_assignment",
     "make = (self, n) -> self.n = n * 2\nclass Crate\n  new: make\n  swap: =>\n    @ = {n: 0}\n    @n\nc = Crate 4\nprint c.n, c\\swap!, c.n\n",
     "8\t0\t8\n"},
    {"line_after_a_function_body_in_brackets_is_the_next_argument",
     "run = (f, n, g) -> print f(n), g\nrun(\n  (x) ->\n    x * 2\n  21\n  if n then \"a\" else \"b\"\n)\n",
     "42\tb\n"},
    {"else_after_a_decorator_and_a_bare_return_before_else",
     "hurt = (hp) -> if hp > 0 then return else return \"dead\"\nprint \"alive\" if hurt(1) == nil else print \"gone\"\nprint \"hit\" if hurt(0) == nil else print \"miss\", hurt(0)\n",
     "alive\nmiss\tdead\n"},
    {"decorated_destructuring_assigns_names_of_the_enclosing_block",
     "pair = -> {3, {n: 4}}\n{a, {:n}} = pair! if true\n{b} = {9} unless false\nprint a, n, b\n",
     "3\t4\t9\n"},
    {"braceless_computed_keys_and_a_key_whose_value_is_on_the_line_below",
     "SLOT = 3\ngear =\n  [SLOT]: \"axe\"\n  [\"two words\"]: 2\n  name:\n    \"bow\"\n  weight:\n    4 + 1\nprint gear[3], gear[\"two words\"], gear.name, gear.weight\n",
     "axe\t2\tbow\t5\n"},
    {"with_taking_several_names_assigns_them_and_uses_the_first",
     "hp = 1\nbox = with hp, mp = {n: 3}, 4\n  .n += mp\nprint box.n, hp.n, mp\nwith obj, other = {}, 0\n  .k = 2\nprint obj, other\n",
     "7\t7\tnil\nnil\tnil\n"},
    {"super_as_a_method_stub_in_wrapped_members_and_without_a_parent",
     "class Base\n  greet: (n) => \"hi \" .. n\n  add: (a) => (b) -> a + b\nwrap = (f) -> f\nclass Kid extends Base\n  greet: wrap (n) => super(n) .. \"!\"\n"
     "  other: (n) =>\n    hello = super\\greet\n    hello n\n  add: => super(1) 2\nclass Lone\n"
     "  go: => (pcall -> super.x)\nk = Kid!\nprint k\\greet(\"a\"), k\\other(\"b\"), k\\add!, Lone!\\go!\n",
     "hi a!\thi b\t3\tfalse\n"},
    {"key_lines_under_a_call_without_a_comma_are_its_table_argument",
     "show = (t) -> type(t) == \"table\" and \"{hp=#{t.hp},#{#t}}\" or tostring t\nspawn = (...) -> print table.concat [show(v) for v in *{...}], \" \"\nspawn \"orc\"\n"
     "  hp: 5\nspawn\n  hp: 7\nobj = {make: (t) => spawn @name, t}\n"
     "obj.name = \"elf\"\nobj\\make\n  hp: 9\n",
     "orc {hp=5,0}\n{hp=7,0}\nelf {hp=9,0}\n"},
    {"string_right_after_a_name_is_one_argument_and_the_chain_goes_on",
     "tag = (s) -> {name: s, up: => @name\\upper!}\nprint tag\"ab\".name, tag'cd'\\up!, tag[[ef]].name .. \"!\"\n"
     "wrap = (s) -> \"<\" .. s .. \">\"\nlist = {wrap\"a\", 2, wrap \"b\", 3}\nprint #list, list[1], list[3]\n",
     "ab\tCD\tef!\n3\t<a>\t<b>\n"},
};

TEST(Moonc, ProgramsPrintWhatTheySay)
{
    ScratchDir dir("moonc");
    for (const Program& p : kPrograms) {
        SCOPED_TRACE(p.name);
        const fs::path source = dir / (std::string(p.name) + ".moon");
        WriteFile(source, p.source);
        const CompilerRun run = Compile(source);
        EXPECT_EQ(run.status, 0) << run.errors;
        EXPECT_EQ(RunLua(dir / (std::string(p.name) + ".lua")), p.printed) << ReadFile(dir / (std::string(p.name) + ".lua"));
    }
}

TEST(Moonc, ErrorsNameTheLineAndWriteNothing)
{
    struct Case {
        const char* source;
        int line;
        const char* output = nullptr; // an output path given to moonc
        int status = 1;
    };
    const Case cases[] = {
        {"x = = 1\n", 1},           {"y = 1\nimport foo\n", 2},  {"x = 1\nbreak\n", 2},
        {"f = (..., a) -> 1\n", 1},    {"x = 1\n  y = 2\n", 2},      {"t = {1, 2\n", 1},
        {"s = \"abc\n", 1},         {"a = 1\nsuper!\n", 2},       {"f = ->\n  ...\n", 2},
        {"for i = 1, 2\n  f = -> continue\n", 2},      {"a, b\nc = 1\n", 1},
        {"f = (a) using nil ->\n  a\n", 1}, {"x = 1\nprint \"\\xZZ\"\n", 2},
        {"print '\\400'\n", 1}, {"f 1,\n  2,\n 3\n", 3}, {"for x in *t[1, 2]\n  y = t[1, 2]\n", 2}, {"a = 1\nx = ->\n  return 1\n  2\n", 4},
        {"class A\n  a: 1\n  ,\n  b: 2\n", 3}, {"if true\n  print 1,\n  2\n", 3}, {"print 1\n", 0, "no/such/folder/out.lua", 3},
    };
    ScratchDir dir("moonc_errors");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        const fs::path file = dir / "bad.moon";
        WriteFile(file, c.source);
        const CompilerRun run = Compile(file, c.output);
        EXPECT_EQ(run.status, c.status);
        EXPECT_TRUE(Contains(run.errors, file.string() + ":" + std::to_string(c.line) + ": ")) << run.errors;
        EXPECT_FALSE(fs::exists(dir / "bad.lua"));
    }
}

TEST(Moonc, OutputDropsTheFirstMoonOfTheNameAndReplacesAtomically)
{
    ScratchDir dir("moonc_names");
    WriteFile(dir / "notes.moon.txt", "print 1\n");
    WriteFile(dir / "notes.txt.lua", "old");
    EXPECT_EQ(Compile(dir / "notes.moon.txt").status, 0);
    EXPECT_EQ(RunLua(dir / "notes.txt.lua"), "1\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.root), fs::directory_iterator()), 2);
}

TEST(Moonc, ShippedSampleMovesItsObjectOneStepAFrame)
{
    ScratchDir dir("moonc_sample");
    dir.CopyFromRepo("assets/data/scripts/MoonScript/MoveRight.moon");
    const fs::path source = dir / "assets/data/scripts/MoonScript/MoveRight.moon";
    const CompilerRun run = Compile(source);
    ASSERT_EQ(run.status, 0) << run.errors;
    const std::string stub = "MyObject = {x = 0, y = 0}\n"
                             "function MyObject:SetPositionFloat(x, y) self.x, self.y = x, y end\n"
                             "function MyObject:GetPosition() return {x = self.x, y = self.y} end\n";
    EXPECT_EQ(RunLua(dir / "assets/data/scripts/MoonScript/MoveRight.lua", stub, 3,
                     "print(MyObject.x, MyObject.y, steps)"),
              "3\t0\t3\n");
}

// The module pattern: a file ending in a class gives the class to whoever loads it; an empty file is an
// empty chunk.
TEST(Moonc, LastClassIsTheModuleAndAnEmptyFileCompiles)
{
    ScratchDir dir("moonc_module");
    WriteFile(dir / "player.moon", "class Player\n  hp: 3\n");
    WriteFile(dir / "empty.moon", "");
    ASSERT_EQ(Compile(dir / "player.moon").status, 0);
    ASSERT_EQ(Compile(dir / "empty.moon").status, 0);
    const std::string load = "local P = dofile('" + (dir / "player.lua").string() + "') print(P.__name, P.hp, " +
                             "select('#', dofile('" + (dir / "empty.lua").string() + "')))";
    EXPECT_EQ(RunLua(dir / "empty.lua", "", 1, load), "Player\t3\t0\n");
}

// Long chains and a large file compile and run; a run Lua itself can't nest is refused by its line.
TEST(Moonc, LongChainsAndLargeFiles)
{
    auto repeat = [](const std::string& piece, int n) {
        std::string out;
        for (int i = 0; i < n; ++i)
            out += piece;
        return out;
    };
    const std::pair<std::string, std::string> cases[] = {
        {"print 1" + repeat(" + 1", 196) + "\n", "197\n"},
        {"x = 0" + repeat(" + 1", 100000) + "\nprint x\n", "100000\n"},
        {"t = {}\nt.b = t\nprint t" + repeat(".b", 12000) + " == t\n", "true\n"},
        {"f = -> f\nprint f" + repeat("!", 20000) + " == f\n", "true\n"},
        {"x = 0\n" + repeat("f = (a) ->\n  a + 1\nx = f x\nif x > 0\n  x += 1\n", 20000) + "print x\n", "40000\n"},
        {"\nx = 'a'" + repeat(" .. 'a'", 300) + "\n", "error:2"},
        {"a = 1\nprint #\"" + repeat("x#{a}", 3000) + "\"\n", "6000\n"},
        {"x = " + repeat("(", 1000) + repeat(")", 1000) + "\n", "error:1"},
    };
    ScratchDir dir("moonc_long");
    for (const auto& [source, printed] : cases) {
        SCOPED_TRACE(source.substr(0, 60));
        WriteFile(dir / "long.moon", source);
        const CompilerRun run = Compile(dir / "long.moon");
        if (printed.rfind("error:", 0) == 0) {
            EXPECT_EQ(run.status, 1);
            EXPECT_TRUE(Contains(run.errors, "long.moon:" + printed.substr(6) + ": ")) << run.errors;
            continue;
        }
        ASSERT_EQ(run.status, 0) << run.errors;
        EXPECT_EQ(RunLua(dir / "long.lua"), printed);
    }
}

// Random token soup, random bytes and every program cut short: the compiler exits 0 or 1, cleanly.
TEST(Moonc, FuzzedInputNeverCrashesIt)
{
    static const char* const kPieces[] = {"x", " = ", "->", "=>", "(", ")", "{", "}", "[", "]", "\n", "  ", "\"#{",
                                          "'", "\"", "@", "\\", "!", ",", ":", "class ", "if ", "else", "for ",
                                          " in ", "*", "switch ", "when ", "super", "+=", "1", ".", "--", "export ",
                                          "return ", "\t", "\n    ", "[x for x in *t]", "new: =>", "\x01", "with ", ".", "do",
                                          "continue", "break", "...", "{a, b} = ", ":x", "a: ", "[[", "]]", "--[[",
                                          "local *", "import ", " from ", " using ", "@@", " +\n", ",\n", "[1, 2]",
                                          "{k, v for k, v in pairs t}", "unless ", "or=", " extends ", "\\m"};
    ScratchDir dir("moonc_fuzz");
    std::vector<std::string> inputs;
    Random::Seed(2701);
    for (int i = 0; i < 120; ++i) {
        std::string text;
        const int count = 1 + Random::Next() % 40;
        for (int k = 0; k < count; ++k)
            text += Random::Next() % 8 ? kPieces[Random::Next() % std::size(kPieces)]
                                       : std::string(1, static_cast<char>(Random::Next() % 256));
        inputs.push_back(text);
    }
    for (const Program& p : kPrograms) {
        const std::string text = p.source;
        for (size_t cut = 1; cut < text.size(); cut += 1 + text.size() / 6)
            inputs.push_back(text.substr(0, cut));
    }
    inputs.push_back(std::string(300, '(') + "1" + std::string(300, ')'));
    inputs.push_back(std::string(300, '[') + std::string(300, ']'));
    std::string deep = "x = 1\n";
    for (int i = 0; i < 150; ++i)
        deep += std::string(static_cast<size_t>(i) * 2, ' ') + "if x\n";
    inputs.push_back(deep);
    for (const std::string& text : inputs) {
        const fs::path file = dir / "fuzz.moon";
        WriteFile(file, text);
        const CompilerRun run = Compile(file);
        EXPECT_TRUE(run.status == 0 || run.status == 1) << run.status << " for:\n" << text << "\n" << run.errors;
        EXPECT_FALSE(Contains(run.errors, "Sanitizer")) << text;
        EXPECT_FALSE(Contains(run.errors, "runtime error")) << text;
        fs::remove(dir / "fuzz.lua");
    }
}

} // namespace
