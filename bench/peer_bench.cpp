// SPDX-License-Identifier: GPL-3.0-or-later
// Quarvine beside two free full-amp peers, in one process, on the same input: the plucked-string
// demo phrase at 44.1 kHz in blocks of 512. Quarvine and the VST 2 peer (ZamTube) load through our
// host library, the LV2 peer (guitarix's gx_amp) through lilv, each with its default settings.
// Prints ns per input sample (CPU time of this thread), the multiple of real time and each peer's
// Quarvine's time as a fraction of each peer's. Asserts nothing.
//
//   quarvine_peer_bench [--quarvine PATH] [--zamtube PATH] [--rounds N] [--seconds S]
#include "tools/render/demo_phrase.h"
#include "tools/vsthost/vst_host.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 44100.0;
constexpr int kBlock = 512;
constexpr const char* kGxAmpUri = "http://guitarix.sourceforge.net/plugins/gx_amp#GUITARIX";

double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// One contestant: processes one block of kBlock frames from in to out.
struct Contestant {
    std::string name;
    std::function<void(const float* in, float* out)> processBlock;
    std::vector<double> nsPerSample; // one figure per round
    double outputRms = 0.0;          // of the warm-up round: shows that it did process
};

// A VST 2.4 module through the project's host library, mono in and out (further channels get
// silence and are discarded).
class VstContestant {
public:
    static std::unique_ptr<VstContestant> load(const std::string& path)
    {
        std::string error;
        auto module = vsthost::PluginModule::load(path, &error);
        if (!module) {
            std::printf("  %s: not loaded (%s)\n", path.c_str(), error.c_str());
            return nullptr;
        }
        auto c = std::unique_ptr<VstContestant>(new VstContestant(std::move(module)));
        if (!*c->plugin) {
            std::printf("  %s: the entry point gave no effect\n", path.c_str());
            return nullptr;
        }
        c->plugin->start(kRate, kBlock);
        const AEffect* e = c->plugin->effect();
        c->inputs.assign(static_cast<std::size_t>(std::max(e->numInputs, 1)), std::vector<float>(kBlock, 0.0f));
        c->outputs.assign(static_cast<std::size_t>(std::max(e->numOutputs, 1)), std::vector<float>(kBlock, 0.0f));
        for (auto& v : c->inputs)
            c->inputPointers.push_back(v.data());
        for (auto& v : c->outputs)
            c->outputPointers.push_back(v.data());
        return c;
    }

    void process(const float* in, float* out)
    {
        std::memcpy(inputPointers[0], in, sizeof(float) * kBlock);
        plugin->processReplacing(inputPointers.data(), outputPointers.data(), kBlock);
        std::memcpy(out, outputPointers[0], sizeof(float) * kBlock);
    }

    ~VstContestant()
    {
        plugin->suspend();
        plugin->close();
    }

private:
    explicit VstContestant(std::unique_ptr<vsthost::PluginModule> m)
        : module(std::move(m)), plugin(std::make_unique<vsthost::HostedPlugin>(*module))
    {
    }
    std::unique_ptr<vsthost::PluginModule> module;
    std::unique_ptr<vsthost::HostedPlugin> plugin;
    std::vector<std::vector<float>> inputs, outputs;
    std::vector<float*> inputPointers, outputPointers;
};

// An LV2 plug-in through lilv: control inputs at their defaults, atom inputs given an empty
// sequence, the first audio input and output. It gets the URID map, the block-length options and a
// worker that does scheduled work at once, on the calling thread, with the responses delivered
// after the run (as a host's worker thread would, only synchronously).
class Lv2Contestant {
public:
    static std::unique_ptr<Lv2Contestant> load(const char* uri)
    {
        auto c = std::unique_ptr<Lv2Contestant>(new Lv2Contestant);
        if (!c->instantiate(uri))
            return nullptr;
        return c;
    }

    void process(const float* in, float* out)
    {
        std::memcpy(audioIn.data(), in, sizeof(float) * kBlock);
        resetAtomBuffers();
        lilv_instance_run(instance, kBlock);
        deliverResponses();
        std::memcpy(out, audioOut.data(), sizeof(float) * kBlock);
    }

    ~Lv2Contestant()
    {
        if (instance) {
            lilv_instance_deactivate(instance);
            lilv_instance_free(instance);
        }
        if (world)
            lilv_world_free(world);
    }

private:
    Lv2Contestant() = default;

    static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri)
    {
        auto& ids = *static_cast<std::map<std::string, LV2_URID>*>(handle);
        auto [it, added] = ids.emplace(uri, static_cast<LV2_URID>(ids.size() + 1));
        (void)added;
        return it->second;
    }

    static LV2_Worker_Status scheduleWork(LV2_Worker_Schedule_Handle handle, uint32_t size, const void* data)
    {
        auto* self = static_cast<Lv2Contestant*>(handle);
        if (!self->worker || !self->worker->work)
            return LV2_WORKER_ERR_UNKNOWN;
        return self->worker->work(lilv_instance_get_handle(self->instance), respond, self, size, data);
    }

    static LV2_Worker_Status respond(LV2_Worker_Respond_Handle handle, uint32_t size, const void* data)
    {
        auto* self = static_cast<Lv2Contestant*>(handle);
        const auto* bytes = static_cast<const unsigned char*>(data);
        self->responses.emplace_back(bytes, bytes + size);
        return LV2_WORKER_SUCCESS;
    }

    void deliverResponses()
    {
        if (!worker)
            return;
        for (const std::vector<unsigned char>& r : responses)
            if (worker->work_response)
                worker->work_response(lilv_instance_get_handle(instance), static_cast<uint32_t>(r.size()), r.data());
        responses.clear();
        if (worker->end_run)
            worker->end_run(lilv_instance_get_handle(instance));
    }

    bool instantiate(const char* uri)
    {
        world = lilv_world_new();
        lilv_world_load_all(world);
        LilvNode* uriNode = lilv_new_uri(world, uri);
        const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uriNode);
        lilv_node_free(uriNode);
        if (!plugin) {
            std::printf("  %s: not installed (LV2 path searched by lilv)\n", uri);
            return false;
        }
        urIdMap = {&urIds, mapUri};
        mapFeature = {LV2_URID__map, &urIdMap};
        schedule = {this, scheduleWork};
        scheduleFeature = {LV2_WORKER__schedule, &schedule};
        const LV2_URID intType = mapUri(&urIds, LV2_ATOM__Int);
        const LV2_URID floatType = mapUri(&urIds, LV2_ATOM__Float);
        options = {
            {LV2_OPTIONS_INSTANCE, 0, mapUri(&urIds, LV2_BUF_SIZE__minBlockLength), sizeof(int32_t), intType, &blockLength},
            {LV2_OPTIONS_INSTANCE, 0, mapUri(&urIds, LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t), intType, &blockLength},
            {LV2_OPTIONS_INSTANCE, 0, mapUri(&urIds, LV2_BUF_SIZE__nominalBlockLength), sizeof(int32_t), intType,
             &blockLength},
            {LV2_OPTIONS_INSTANCE, 0, mapUri(&urIds, "http://lv2plug.in/ns/ext/parameters#sampleRate"), sizeof(float),
             floatType, &sampleRate},
            {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
        optionsFeature = {LV2_OPTIONS__options, options.data()};
        boundedFeature = {LV2_BUF_SIZE__boundedBlockLength, nullptr};
        const LV2_Feature* features[] = {&mapFeature, &scheduleFeature, &optionsFeature, &boundedFeature, nullptr};
        instance = lilv_plugin_instantiate(plugin, kRate, features);
        if (!instance) {
            std::printf("  %s: lilv could not instantiate it\n", uri);
            return false;
        }
        worker = static_cast<const LV2_Worker_Interface*>(lilv_instance_get_extension_data(instance, LV2_WORKER__interface));
        const uint32_t ports = lilv_plugin_get_num_ports(plugin);
        controls.assign(ports, 0.0f);
        std::vector<float> defaults(ports, 0.0f);
        lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
        LilvNode* audioClass = lilv_new_uri(world, LILV_URI_AUDIO_PORT);
        LilvNode* controlClass = lilv_new_uri(world, LILV_URI_CONTROL_PORT);
        LilvNode* inputClass = lilv_new_uri(world, LILV_URI_INPUT_PORT);
        LilvNode* atomClass = lilv_new_uri(world, LV2_ATOM__AtomPort);
        audioIn.assign(kBlock, 0.0f);
        audioOut.assign(kBlock, 0.0f);
        spareAudio.assign(kBlock, 0.0f);
        atomBuffers.reserve(ports);
        bool haveIn = false, haveOut = false;
        for (uint32_t i = 0; i < ports; ++i) {
            const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
            const bool input = lilv_port_is_a(plugin, port, inputClass);
            if (lilv_port_is_a(plugin, port, audioClass)) {
                float* buffer = spareAudio.data();
                if (input && !haveIn) {
                    buffer = audioIn.data();
                    haveIn = true;
                } else if (!input && !haveOut) {
                    buffer = audioOut.data();
                    haveOut = true;
                }
                lilv_instance_connect_port(instance, i, buffer);
            } else if (lilv_port_is_a(plugin, port, controlClass)) {
                controls[i] = std::isnan(defaults[i]) ? 0.0f : defaults[i];
                lilv_instance_connect_port(instance, i, &controls[i]);
            } else if (lilv_port_is_a(plugin, port, atomClass)) {
                atomBuffers.push_back({input, std::vector<uint64_t>(1024, 0)});
                lilv_instance_connect_port(instance, i, atomBuffers.back().storage.data());
            } else {
                lilv_instance_connect_port(instance, i, nullptr);
            }
        }
        lilv_node_free(audioClass);
        lilv_node_free(controlClass);
        lilv_node_free(inputClass);
        lilv_node_free(atomClass);
        sequenceType = mapUri(&urIds, LV2_ATOM__Sequence);
        chunkType = mapUri(&urIds, LV2_ATOM__Chunk);
        resetAtomBuffers();
        lilv_instance_activate(instance);
        return haveIn && haveOut;
    }

    // Inputs: an empty sequence. Outputs: a chunk as large as the buffer, for the plug-in to fill.
    void resetAtomBuffers()
    {
        for (AtomBuffer& b : atomBuffers) {
            auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(b.storage.data());
            if (b.input) {
                sequence->atom.size = sizeof(LV2_Atom_Sequence_Body);
                sequence->atom.type = sequenceType;
                sequence->body.unit = 0;
                sequence->body.pad = 0;
            } else {
                sequence->atom.size = static_cast<uint32_t>(b.storage.size() * sizeof(uint64_t) - sizeof(LV2_Atom));
                sequence->atom.type = chunkType;
            }
        }
    }

    struct AtomBuffer {
        bool input;
        std::vector<uint64_t> storage; // 8-byte aligned, as atoms require
    };
    LilvWorld* world = nullptr;
    LilvInstance* instance = nullptr;
    std::map<std::string, LV2_URID> urIds;
    LV2_URID_Map urIdMap{};
    LV2_Feature mapFeature{};
    LV2_Worker_Schedule schedule{};
    LV2_Feature scheduleFeature{};
    const LV2_Worker_Interface* worker = nullptr;
    std::vector<std::vector<unsigned char>> responses;
    int32_t blockLength = kBlock;
    float sampleRate = static_cast<float>(kRate);
    std::vector<LV2_Options_Option> options;
    LV2_Feature optionsFeature{};
    LV2_Feature boundedFeature{};
    LV2_URID sequenceType = 0, chunkType = 0;
    std::vector<float> controls, audioIn, audioOut, spareAudio;
    std::vector<AtomBuffer> atomBuffers;
};

std::string findVst(const std::string& file)
{
    std::vector<std::string> dirs;
    if (const char* env = std::getenv("VST_PATH")) {
        std::string list = env;
        for (std::size_t start = 0; start <= list.size();) {
            std::size_t end = list.find(':', start);
            if (end == std::string::npos)
                end = list.size();
            if (end > start)
                dirs.push_back(list.substr(start, end - start));
            start = end + 1;
        }
    }
    if (const char* home = std::getenv("HOME"))
        dirs.push_back(std::string(home) + "/.vst");
    for (const char* d : {"/usr/local/lib/vst", "/usr/lib/vst", "/usr/lib/x86_64-linux-gnu/vst"})
        dirs.emplace_back(d);
    for (const std::string& d : dirs) {
        std::string path = d + "/" + file;
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            std::fclose(f);
            return path;
        }
    }
    return {};
}

// One round: every contestant runs the whole input once, in turn; the order rotates per round so
// no contestant always follows the same neighbour.
void runRound(std::vector<Contestant>& contestants, const std::vector<float>& input, int round)
{
    std::vector<float> out(kBlock);
    const std::size_t blocks = input.size() / kBlock;
    for (std::size_t k = 0; k < contestants.size(); ++k) {
        Contestant& c = contestants[(k + static_cast<std::size_t>(round)) % contestants.size()];
        double sumOfSquares = 0.0;
        const double start = threadSeconds();
        for (std::size_t b = 0; b < blocks; ++b) {
            c.processBlock(input.data() + b * kBlock, out.data());
            if (round == 0)
                for (float v : out)
                    sumOfSquares += static_cast<double>(v) * v;
        }
        const double seconds = threadSeconds() - start;
        if (round == 0)
            c.outputRms = std::sqrt(sumOfSquares / static_cast<double>(blocks * kBlock));
        c.nsPerSample.push_back(seconds * 1e9 / static_cast<double>(blocks * kBlock));
    }
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

} // namespace

int main(int argc, char** argv)
{
    std::string quarvinePath = QUARVINE_MODULE_PATH;
    std::string zamTubePath;
    int rounds = 7;
    double seconds = 16.0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--quarvine")
            quarvinePath = argv[i + 1];
        else if (option == "--zamtube")
            zamTubePath = argv[i + 1];
        else if (option == "--rounds")
            rounds = std::max(1, std::atoi(argv[i + 1]));
        else if (option == "--seconds")
            seconds = std::max(1.0, std::atof(argv[i + 1]));
        else {
            std::printf("usage: %s [--quarvine PATH] [--zamtube PATH] [--rounds N] [--seconds S]\n", argv[0]);
            return 2;
        }
    }
    if (zamTubePath.empty())
        zamTubePath = findVst("ZamTube-vst.so");

    // The phrase, repeated to the asked length and cut to whole blocks.
    const std::vector<float> phrase = render::demoPhrase();
    std::vector<float> input;
    const auto frames = static_cast<std::size_t>(seconds * kRate) / kBlock * kBlock;
    while (input.size() < frames)
        input.insert(input.end(), phrase.begin(), phrase.end());
    input.resize(frames);

    std::printf("Loading contestants\n");
    std::vector<Contestant> contestants;
    auto quarvine = VstContestant::load(quarvinePath);
    if (!quarvine) {
        std::printf("Quarvine itself did not load; nothing to compare.\n");
        return 1;
    }
    contestants.push_back({"Quarvine (VST 2.4)", [&](const float* in, float* out) { quarvine->process(in, out); }, {}});
    auto gxAmp = Lv2Contestant::load(kGxAmpUri);
    if (gxAmp)
        contestants.push_back({"gx_amp (LV2, guitarix)", [&](const float* in, float* out) { gxAmp->process(in, out); }, {}});
    std::unique_ptr<VstContestant> zamTube;
    if (!zamTubePath.empty())
        zamTube = VstContestant::load(zamTubePath);
    else
        std::printf("  ZamTube-vst.so: not found in VST_PATH, ~/.vst, /usr/local/lib/vst or /usr/lib/vst\n");
    if (zamTube)
        contestants.push_back({"ZamTube (VST 2.4, zam-plugins)", [&](const float* in, float* out) { zamTube->process(in, out); }, {}});

    std::printf("Input: the plucked-string demo phrase, %.1f s at %.0f Hz, blocks of %d; %d rounds\n",
                static_cast<double>(frames) / kRate, kRate, kBlock, rounds);
    runRound(contestants, input, 0); // warm-up: caches, lazy set-up, denormal tails
    for (Contestant& c : contestants)
        c.nsPerSample.clear();
    for (int r = 1; r <= rounds; ++r)
        runRound(contestants, input, r);

    const double quarvineNs = median(contestants[0].nsPerSample);
    std::printf("\n%-32s %10s %10s %12s %16s %12s\n", "Plug-in", "ns/sample", "best", "x real time",
                "Quarvine / this", "output RMS");
    for (const Contestant& c : contestants) {
        const double ns = median(c.nsPerSample);
        const double best = *std::min_element(c.nsPerSample.begin(), c.nsPerSample.end());
        std::printf("%-32s %10.1f %10.1f %12.0f %16.2f %9.1f dB\n", c.name.c_str(), ns, best, 1e9 / ns / kRate,
                    quarvineNs / ns, 20.0 * std::log10(c.outputRms + 1e-30));
    }
    std::printf("\nns/sample: median over the rounds, CPU time of this thread; best: the fastest round.\n"
                "Quarvine / this: Quarvine's time as a fraction of this plug-in's (0.5: twice as fast).\n");
    return 0;
}
