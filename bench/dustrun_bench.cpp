// Frame cost of the game, measured case by case with a plain timer. Every case runs in a process of
// its own (so its peak memory is its own): the game starts as it does for a player, the case's scene
// is entered, and frames run back to back without the 60 Hz pacing. Per frame it times the CPU side
// (Engine::Update + Engine::Draw) and the render (Window::Render up to glFinish).
//
//   dustrun_bench                        every case, one table
//   dustrun_bench --case b               one case (a..f), its figures on stdout
//   dustrun_bench --one-by-one           tiles and fog stamps drawn one draw per item, as before batching
//   dustrun_bench --frames N --seconds S measured frames per case, and a time limit per case
//   dustrun_bench --case d --soak 600    run a case for 600 s, printing the memory in use every minute
//                  [--soak-step S]       (or every S seconds)
#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zstd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/Engine.h"
#include "app/DataNames.h"
#include "app/GameLoop.h"
#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "graphics/InputManager.h"
#include "graphics/LightingSystem.h"
#include "graphics/Window.h"
#include "world/LevelSystem.h"
#include "world/SceneSystem.h"
#include "world/TileMapSystem.h"

#include "graphics/ParticleEmitter.h"
#include "graphics/ParticlePool.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const Clock::time_point programStart = Clock::now();
constexpr float FRAME_DT = 1.0f / 60.0f;
// Frames run before measuring: the scene's fade-in.
constexpr int WARM_UP_FRAMES = 60;

struct Options {
    std::string cases = "abcdef";
    int frames = 600;
    double seconds = 20.0;
    double soak = 0.0;
    double soakStep = 60.0; // seconds between the soak's memory lines
    bool oneByOne = false;
    std::string result; // file the case writes its figures to; stdout when empty
};

struct CaseInfo {
    char id;
    const char* title;
};
const CaseInfo CASES[] = {{'a', "(a) splash"},
                          {'b', "(b) LivingRoomScene, route"},
                          {'c', "(c) (b) + whole fog revealed"},
                          {'d', "(d) (c) + emitters at full pool"},
                          {'e', "(e) 100x100 map, 4 layers"},
                          {'f', "(f) 4096x4096 map, 4 full layers"}};

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

double Percentile95(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const std::size_t rank = static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(v.size())));
    return v[std::min(v.size(), std::max<std::size_t>(rank, 1)) - 1];
}

double PeakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// CPU time of the whole process (every thread, the renderer's included), in ms.
double ProcessCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double CurrentRssMb()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// ---- Cases (e) and (f): a generated map of four layers, 100 x 100 or 4096 x 4096 ------------------

// The gid of each cell of the four layers: a floor everywhere, walls round the border and in rows and
// columns, and decor here and there.
int CellGid(int layer, int row, int column, int side)
{
    switch (layer) {
    case 0:
        return 1 + (column * 3 + row * 5) % 8;
    case 1: {
        const bool border = row == 0 || column == 0 || row == side - 1 || column == side - 1;
        const bool inner = (row % 20 == 10 && column % 7 != 3) || (column % 25 == 12 && row % 9 != 4);
        return border || inner ? 9 + (row + column) % 8 : 0;
    }
    case 2:
        return (row * 7 + column * 3) % 13 == 0 ? 101 + (row + column) % 8 : 0;
    default:
        return (row * 5 + column * 11) % 17 == 0 ? 101 + (row * column) % 8 : 0;
    }
}

const char* const LAYER_NAMES[4] = {"FloorLayer", "WallLayer", "AbovePlayerLayer01", "AbovePlayerLayer00"};

// A small map's layer as a JSON array, a large one's as base64 of its zstd-compressed gids (compressed
// row by row, so no whole layer is ever held).
std::string LayerJson(int layer, int side)
{
    std::ostringstream out;
    out << "{\"id\": " << layer + 1 << ", \"name\": \"" << LAYER_NAMES[layer]
        << "\", \"type\": \"tilelayer\", \"visible\": true, \"width\": " << side << ", \"height\": " << side << ", ";
    if (side <= 100) {
        out << "\"data\": [";
        for (int row = 0; row < side; ++row)
            for (int column = 0; column < side; ++column)
                out << (row || column ? "," : "") << CellGid(layer, row, column, side);
        out << "]}";
        return out.str();
    }
    std::vector<unsigned char> packed;
    ZSTD_CCtx* context = ZSTD_createCCtx();
    std::vector<unsigned char> rowBytes(static_cast<std::size_t>(side) * 4);
    std::vector<unsigned char> chunk(ZSTD_CStreamOutSize());
    for (int row = 0; row < side; ++row) {
        for (int column = 0; column < side; ++column) {
            const auto gid = static_cast<std::uint32_t>(CellGid(layer, row, column, side));
            for (int b = 0; b < 4; ++b)
                rowBytes[static_cast<std::size_t>(column) * 4 + static_cast<std::size_t>(b)] =
                    static_cast<unsigned char>(gid >> (8 * b));
        }
        ZSTD_inBuffer input{rowBytes.data(), rowBytes.size(), 0};
        const ZSTD_EndDirective mode = row + 1 == side ? ZSTD_e_end : ZSTD_e_continue;
        bool finished = false;
        while (!finished) {
            ZSTD_outBuffer output{chunk.data(), chunk.size(), 0};
            const std::size_t left = ZSTD_compressStream2(context, &output, &input, mode);
            packed.insert(packed.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(output.pos));
            finished = ZSTD_isError(left) || (mode == ZSTD_e_end ? left == 0 : input.pos == input.size);
        }
    }
    ZSTD_freeCCtx(context);
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    out << "\"encoding\": \"base64\", \"compression\": \"zstd\", \"data\": \"";
    for (std::size_t i = 0; i < packed.size(); i += 3) {
        const std::uint32_t b = static_cast<std::uint32_t>(packed[i]) << 16 |
                                (i + 1 < packed.size() ? static_cast<std::uint32_t>(packed[i + 1]) << 8 : 0u) |
                                (i + 2 < packed.size() ? static_cast<std::uint32_t>(packed[i + 2]) : 0u);
        out << digits[b >> 18 & 63] << digits[b >> 12 & 63] << (i + 1 < packed.size() ? digits[b >> 6 & 63] : '=')
            << (i + 2 < packed.size() ? digits[b & 63] : '=');
    }
    out << "\"}";
    return out.str();
}

// A folder that looks like the game's data, with the living room's map replaced by a generated map of
// side x side cells. Everything else links back to the real files.
bool MakeLargeMapFolder(const fs::path& folder, int side)
{
    std::error_code ec;
    const fs::path repo = fs::current_path();
    fs::create_directories(folder / "assets/data/tilemaps", ec);
    for (const auto& entry : fs::directory_iterator(repo / "assets"))
        if (entry.path().filename() != "data")
            fs::create_directory_symlink(entry.path(), folder / "assets" / entry.path().filename(), ec);
    for (const auto& entry : fs::directory_iterator(repo / "assets/data")) {
        if (entry.path().filename() == "tilemaps")
            continue;
        if (entry.is_directory())
            fs::create_directory_symlink(entry.path(), folder / "assets/data" / entry.path().filename(), ec);
        else
            fs::create_symlink(entry.path(), folder / "assets/data" / entry.path().filename(), ec);
    }
    std::ofstream map(folder / "assets/data/tilemaps/LivingRoom.json");
    map << "{\"width\": " << side << ", \"height\": " << side << ", \"nextlayerid\": 5, \"layers\": ["
        << LayerJson(0, side) << ", " << LayerJson(1, side) << ", " << LayerJson(2, side) << ", " << LayerJson(3, side)
        << "], \"numOfTileSets\": 2, \"tilesets\": ["
        << "{\"firstgid\": 1, \"source\": \"../tilesets/HouseTiles.json\"}, "
        << "{\"firstgid\": 101, \"source\": \"../tilesets/HouseDecor.json\"}]}";
    return static_cast<bool>(map);
}

// ---- The route ---------------------------------------------------------------------------------------

// Waypoints through the living room's three rooms, walked in a loop from the spawn point.
const float ROUTE[][2] = {{5.0f, 13.0f},  {14.0f, 13.0f}, {14.0f, 6.0f},  {30.0f, 6.0f}, {30.0f, 20.0f},
                          {44.0f, 24.0f}, {40.0f, 10.0f}, {20.0f, 22.0f}, {5.0f, 13.0f}};
constexpr int ROUTE_POINTS = sizeof(ROUTE) / sizeof(ROUTE[0]);
constexpr float ROUTE_SPEED = 5.0f; // world units per second when the camera walks the route itself
constexpr int STUCK_FRAMES = 240;   // a waypoint the player hasn't reached by then is given up

class Route {
public:
    explicit Route(std::shared_ptr<ScriptedKeySource> keys) : keys_(std::move(keys)) {}

    // One frame along the route: with a "Player" object its keys are pressed towards the next
    // waypoint (read by the next InputManager update); without one the camera walks the route and
    // reveals the fog around itself as the player's walk would.
    void Step()
    {
        GameObject* player = gGameObjectManager ? gGameObjectManager->FindGameObject("Player") : nullptr;
        Transform* transform = player ? player->GetTransform() : nullptr;
        if (transform) {
            usedPlayer = true;
            x_ = transform->TranslationX;
            y_ = transform->TranslationY;
        }
        const float* target = ROUTE[next_];
        const float dx = target[0] - x_;
        const float dy = target[1] - y_;
        const float distance = std::sqrt(dx * dx + dy * dy);
        if (distance < 0.5f || ++framesOnLeg_ > STUCK_FRAMES) {
            next_ = (next_ + 1) % ROUTE_POINTS;
            framesOnLeg_ = 0;
        }
        if (transform) {
            keys_->SetKey(GLFW_KEY_RIGHT, dx > 0.3f);
            keys_->SetKey(GLFW_KEY_LEFT, dx < -0.3f);
            keys_->SetKey(GLFW_KEY_UP, dy > 0.3f);
            keys_->SetKey(GLFW_KEY_DOWN, dy < -0.3f);
            return;
        }
        if (distance > 0.0f) {
            const float step = std::min(distance, ROUTE_SPEED * FRAME_DT);
            x_ += dx / distance * step;
            y_ += dy / distance * step;
        }
        if (!CameraList.empty()) {
            Camera& camera = CameraList[0];
            camera.x = camera.matrix[12] = x_;
            camera.y = camera.matrix[13] = y_;
        }
        if (LightingSystemInstance)
            LightingSystemInstance->RevealCircle(x_, y_, LightingSystemInstance->playerWalkRadius);
    }

    bool usedPlayer = false;

private:
    std::shared_ptr<ScriptedKeySource> keys_;
    int next_ = 1;
    int framesOnLeg_ = 0;
    float x_ = ROUTE[0][0];
    float y_ = ROUTE[0][1];
};

void RevealWholeGrid()
{
    LightingSystem* lighting = LightingSystemInstance;
    if (!lighting)
        return;
    for (int row = 0; row < lighting->rows; ++row) {
        for (int column = 0; column < lighting->cols; ++column) {
            lighting->SetCell(column, row, 1);
            if (gLevelSystem)
                gLevelSystem->SetCell(column, row, 1);
        }
    }
}

// Fills the pool of every emitter of the listed objects with long-lived particles. Returns the number
// of emitters found.
int FillEmitters()
{
    int found = 0;
    if (!gGameObjectManager)
        return 0;
    for (int i = 0; i < gGameObjectManager->GetObjectCount(); ++i) {
        GameObject* object = gGameObjectManager->GetObjectAt(i);
        ParticleEmitter* emitter = object ? object->GetParticleEmitter() : nullptr;
        Transform* transform = object ? object->GetTransform() : nullptr;
        if (!emitter || !transform)
            continue;
        ++found;
        emitter->lifespan = 1.0e6f;
        ParticlePool& pool = emitter->GetPool();
        while (pool.LiveCount() < pool.Capacity()) {
            const int before = pool.LiveCount();
            emitter->EmitSpread(transform->TranslationX, transform->TranslationY);
            if (pool.LiveCount() == before)
                break;
        }
    }
    return found;
}

// Milliseconds to register count fresh objects with a manager of their own (no window needed). The
// manager's already-registered test is a set lookup, so ten times the objects should take about ten
// times as long.
double RegistrationMs(int count)
{
    GameObjectManager manager;
    manager.Init();
    std::vector<GameObject*> objects;
    objects.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        objects.push_back(new GameObject());
        objects.back()->SetName("Crate");
        objects.back()->SetId(static_cast<std::uint32_t>(i + 1));
    }
    const auto start = std::chrono::steady_clock::now();
    for (GameObject* object : objects)
        manager.AddGameObject(object);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// ---- One case, in this process -------------------------------------------------------------------

struct Figures {
    int frames = 0;
    double cpuMedian = 0, cpuP95 = 0, renderMedian = 0, renderP95 = 0, startup = 0, peakRss = 0;
    double commands = 0;
    double work = 0; // CPU time of every thread of the process per measured frame, ms
    int width = 0, height = 0; // the window's framebuffer
    bool available = true;
    std::string note;
};

void ApplyDrawMode(bool oneByOne)
{
    if (LightingSystemInstance)
        LightingSystemInstance->batched = !oneByOne;
    if (gEngine)
        for (ISystem* system : gEngine->GetSystems())
            if (auto* tiles = dynamic_cast<TileMapSystem*>(system))
                tiles->batched = !oneByOne;
}

Figures RunCase(char id, const Options& options)
{
    Figures figures;
    const fs::path scratch = fs::temp_directory_path() / ("dustrun_bench_" + std::to_string(getpid()));
    fs::create_directories(scratch / "save");
    setenv("APPDATA", (scratch / "save").c_str(), 1);
    if (id == 'e' || id == 'f') {
        if (!MakeLargeMapFolder(scratch / "game", id == 'e' ? 100 : 4096)) {
            figures.available = false;
            figures.note = "could not write the map";
            return figures;
        }
        fs::current_path(scratch / "game");
    }
    TraceInit();

    auto keys = std::make_shared<ScriptedKeySource>();
    SetDefaultKeySource(keys);
    Route route(keys);

    Engine* engine = new Engine();
    gEngine = engine;
    {
        Window window;
        if (!window.IsReady()) {
            figures.available = false;
            figures.note = "no window";
        } else {
            StartSystems(*engine, window);
            if (id != 'a' && gSceneSystem)
                gSceneSystem->SetNextScene("LivingRoomScene");

            std::vector<double> cpu, render, commands;
            double workStart = 0.0;
            const Clock::time_point measureStart = Clock::now();
            Clock::time_point lastSample = measureStart;
            const int total = WARM_UP_FRAMES + options.frames;
            for (int frame = 0; engine->running; ++frame) {
                const bool soaking = options.soak > 0.0;
                if (!soaking && frame >= total)
                    break;
                if (frame == WARM_UP_FRAMES) {
                    workStart = ProcessCpuMs();
                    if (id == 'c' || id == 'd')
                        RevealWholeGrid();
                    if (id == 'd') {
                        const int emitters = FillEmitters();
                        if (emitters <= 0) {
                            figures.available = false;
                            figures.note = "no emitters in the scene";
                            break;
                        }
                    }
                }
                ApplyDrawMode(options.oneByOne);

                glClearColor(window.clearColor[0], window.clearColor[1], window.clearColor[2], window.clearColor[3]);
                glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
                const Clock::time_point t0 = Clock::now();
                if (id != 'a')
                    route.Step();
                engine->Update(FRAME_DT);
                engine->Draw();
                const Clock::time_point t1 = Clock::now();
                std::size_t queued = 0;
                for (const auto& layer : window.layers)
                    queued += layer.size();
                window.Render();
                glFinish();
                const Clock::time_point t2 = Clock::now();
                engine->dt = FRAME_DT;

                if (frame == 0)
                    figures.startup = Ms(t2 - programStart) / 1000.0;
                if (frame >= WARM_UP_FRAMES) {
                    cpu.push_back(Ms(t1 - t0));
                    render.push_back(Ms(t2 - t1));
                    commands.push_back(static_cast<double>(queued));
                }
                const double elapsed = std::chrono::duration<double>(t2 - measureStart).count();
                if (soaking) {
                    if (std::chrono::duration<double>(t2 - lastSample).count() >= options.soakStep ||
                        frame == WARM_UP_FRAMES) {
                        lastSample = t2;
                        std::fprintf(stderr, "soak %6.0f s: %d frames, resident %.1f MB, peak %.1f MB, heap in use %.2f MB\n",
                                     elapsed, frame + 1, CurrentRssMb(), PeakRssMb(),
                                     static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0));
                    }
                    if (elapsed >= options.soak)
                        break;
                } else if (frame >= WARM_UP_FRAMES && elapsed > options.seconds) {
                    break;
                }
            }
            figures.frames = static_cast<int>(cpu.size());
            if (!cpu.empty())
                figures.work = (ProcessCpuMs() - workStart) / static_cast<double>(cpu.size());
            figures.cpuMedian = Median(cpu);
            figures.cpuP95 = Percentile95(cpu);
            figures.renderMedian = Median(render);
            figures.renderP95 = Percentile95(render);
            figures.commands = Median(commands);
            figures.width = WindowWidth;
            figures.height = WindowHeight;
            if (id != 'a' && !route.usedPlayer && figures.note.empty())
                figures.note = "no Player: the camera walks the route";
        }
        engine->running = 0;
        engine->DeleteSystems();
        delete engine;
        gEngine = nullptr;
    }
    TraceClose();
    SetDefaultKeySource(nullptr);
    figures.peakRss = PeakRssMb();
    std::error_code ec;
    fs::remove_all(scratch, ec);
    return figures;
}

std::string Serialise(const Figures& f)
{
    std::ostringstream out;
    out << (f.available ? 1 : 0) << ' ' << f.frames << ' ' << f.cpuMedian << ' ' << f.cpuP95 << ' ' << f.renderMedian
        << ' ' << f.renderP95 << ' ' << f.startup << ' ' << f.peakRss << ' ' << f.commands << ' ' << f.work << ' ' << f.width << ' ' << f.height << ' ' << f.note;
    return out.str();
}

Figures Deserialise(const std::string& text)
{
    Figures f;
    std::istringstream in(text);
    int available = 0;
    in >> available >> f.frames >> f.cpuMedian >> f.cpuP95 >> f.renderMedian >> f.renderP95 >> f.startup >>
        f.peakRss >> f.commands >> f.work >> f.width >> f.height;
    f.available = available != 0 && in;
    std::getline(in >> std::ws, f.note);
    return f;
}

// ---- Every case, each in a child process -----------------------------------------------------------

Figures RunChild(const char* self, char id, const Options& options, const fs::path& resultFile)
{
    std::vector<std::string> args = {self, "--case", std::string(1, id), "--frames", std::to_string(options.frames),
                                     "--seconds", std::to_string(options.seconds), "--result", resultFile.string()};
    if (options.oneByOne)
        args.push_back("--one-by-one");
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        // The game's own console output would break up the table.
        if (std::freopen("/dev/null", "w", stdout) == nullptr)
            _exit(126);
        execv("/proc/self/exe", argv.data());
        _exit(127);
    }
    Figures figures;
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        figures.available = false;
        figures.note = "the case did not finish";
        return figures;
    }
    std::ifstream in(resultFile);
    std::string line;
    std::getline(in, line);
    return Deserialise(line);
}

void PrintTable(const char* self, const Options& options)
{
    std::string renderer = "unknown renderer";
    if (glfwInit()) {
        glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
        glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
        glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
        glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
        if (GLFWwindow* probe = glfwCreateWindow(64, 64, "probe", nullptr, nullptr)) {
            glfwMakeContextCurrent(probe);
            if (gladLoadGL(glfwGetProcAddress))
                renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
            glfwDestroyWindow(probe);
        }
        glfwTerminate();
    }
    std::string load;
    std::getline(std::ifstream("/proc/loadavg"), load);
    load = load.substr(0, load.find(' '));
    std::printf("dustrun_bench: %s, %ld cores (load %s), %s drawing, %d frames per case (at most %.0f s)\n",
                renderer.c_str(), sysconf(_SC_NPROCESSORS_ONLN), load.c_str(), options.oneByOne ? "one-by-one" : "batched", options.frames, options.seconds);
    std::printf("%-34s %7s %8s %8s %8s %8s %9s %9s %9s %9s\n", "case", "frames", "cpu med", "cpu p95", "rend med",
                "rend p95", "start-up", "peak RSS", "cmds/frm", "work/frm");
    std::printf("%-34s %7s %8s %8s %8s %8s %9s %9s %9s %9s\n", "", "", "ms", "ms", "ms", "ms", "s", "MB", "", "ms");
    std::fflush(stdout);
    const fs::path resultFile = fs::temp_directory_path() / ("dustrun_bench_result_" + std::to_string(getpid()));
    std::string window;
    for (const CaseInfo& info : CASES) {
        if (options.cases.find(info.id) == std::string::npos)
            continue;
        const Figures f = RunChild(self, info.id, options, resultFile);
        if (!f.available) {
            std::printf("%-34s %7s %8s %8s %8s %8s %9s %9s %9s %9s  %s\n", info.title, "n/a", "n/a", "n/a", "n/a",
                        "n/a", "n/a", "n/a", "n/a", "n/a", f.note.c_str());
        } else {
            std::printf("%-34s %7d %8.3f %8.3f %8.2f %8.2f %9.3f %9.1f %9.0f %9.2f  %s\n", info.title, f.frames,
                        f.cpuMedian, f.cpuP95, f.renderMedian, f.renderP95, f.startup, f.peakRss, f.commands, f.work,
                        f.note.c_str());
        }
        if (f.available && window.empty())
            window = std::to_string(f.width) + "x" + std::to_string(f.height);
        std::fflush(stdout);
    }
    std::printf("window %s; cpu = Engine::Update + Engine::Draw, render = Window::Render to glFinish, start-up = "
                "program start to the end of the first frame, work = CPU time of all the process's threads\n",
                window.empty() ? "not opened" : window.c_str());
    const double small = RegistrationMs(1000);
    const double large = RegistrationMs(10000);
    std::printf("registration: 1,000 objects %.2f ms, 10,000 objects %.2f ms (x%.1f for ten times the objects)\n",
                small, large, small > 0.0 ? large / small : 0.0);
    std::error_code ec;
    fs::remove(resultFile, ec);
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--case" && hasValue)
            options.cases = argv[++i];
        else if (arg == "--frames" && hasValue)
            options.frames = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--seconds" && hasValue)
            options.seconds = std::atof(argv[++i]);
        else if (arg == "--soak" && hasValue)
            options.soak = std::atof(argv[++i]);
        else if (arg == "--soak-step" && hasValue)
            options.soakStep = std::max(1.0, std::atof(argv[++i]));
        else if (arg == "--result" && hasValue)
            options.result = argv[++i];
        else if (arg == "--one-by-one")
            options.oneByOne = true;
        else
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    RegisterDataNames();
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [--case a..f] [--frames N] [--seconds S] [--one-by-one] [--soak S [--soak-step S]]\n",
                     argv[0]);
        return 2;
    }
    std::error_code ec;
    if (!fs::exists("assets/data/main.json", ec))
        fs::current_path(DUSTRUN_SOURCE_DIR, ec);

    const bool single = options.cases.size() == 1;
    if (!single) {
        PrintTable(argv[0], options);
        return 0;
    }
    const Figures figures = RunCase(options.cases[0], options);
    const std::string line = Serialise(figures);
    if (options.result.empty()) {
        std::printf("%s\n", line.c_str());
    } else {
        std::ofstream out(options.result);
        out << line << "\n";
    }
    return 0;
}
