// quarvine-render: plays a sound file (or the built-in guitar phrase) through the plug-in.
#include "audio_file.h"
#include "demo_phrase.h"
#include "options.h"
#include "render_loop.h"
#include "summary.h"

#include "tools/vsthost/vst_host.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace {

constexpr VstInt32 kQuarvineId = ('Q' << 24) | ('u' << 16) | ('a' << 8) | 'r';

int fail(const std::string& message)
{
    std::cerr << "quarvine-render: " << message << "\n";
    return 1;
}

// A bar on a terminal's stderr, redrawn once per percent.
class Progress {
public:
    explicit Progress(bool enabled) : enabled(enabled) {}
    ~Progress() { finish(); }
    void operator()(double fraction)
    {
        if (!enabled)
            return;
        int percent = static_cast<int>(fraction * 100.0);
        if (percent == shown)
            return;
        shown = percent;
        constexpr int width = 40;
        int filled = percent * width / 100;
        std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                     std::string(static_cast<std::size_t>(width - filled), ' ').c_str(), percent);
        std::fflush(stderr);
    }
    void finish()
    {
        if (enabled && shown >= 0)
            std::fprintf(stderr, "\r%60s\r", "");
        shown = -1;
    }

private:
    bool enabled;
    int shown = -1;
};

} // namespace

int main(int argc, char** argv)
{
    render::Options options;
    if (auto status = render::parseOptions(argc, argv, options))
        return *status;

    std::string error;
    auto module = vsthost::PluginModule::load(options.pluginPath, &error);
    if (!module)
        return fail("cannot load the plug-in: " + error);

    try {
        // Check the output name before any work, so a typo costs nothing.
        render::formatForPath(options.output);
        render::checkWritable(options.output);

        render::AudioData input;
        std::string inputName;
        if (options.input.empty()) {
            input.sampleRate = render::kDemoSampleRate;
            input.channels.push_back(render::demoPhrase());
            inputName = "demo phrase";
            if (!options.dryPath.empty())
                render::writeAudio(options.dryPath, input);
        } else {
            input = render::readAudio(options.input);
            inputName = options.input;
        }

        render::RenderSettings settings;
        settings.blockSize = options.blockSize;
        bool anyNamed = false;
        for (int i = 0; i < render::kQuarvineParameterCount; ++i)
            if (options.named[i]) {
                settings.parameters.emplace_back(i, *options.named[i]);
                anyNamed = true;
            }
        if (anyNamed && options.pluginGiven) {
            // The named controls mean Quarvine's six; refuse to aim them at another plug-in.
            vsthost::HostedPlugin probe(*module);
            if (!probe.effect() || probe.effect()->uniqueID != kQuarvineId)
                return fail("--master ... --volume apply to Quarvine only; use --param INDEX=VALUE");
        }
        // The built plug-in always runs at the asked factor; another module only when asked, so that
        // a peer's seventh parameter is never touched by default.
        if (options.oversamplingGiven || !options.pluginGiven)
            settings.oversampling = options.oversampling;
        settings.parameters.insert(settings.parameters.end(), options.parameters.begin(), options.parameters.end());

        const double seconds = static_cast<double>(input.frames()) / input.sampleRate;
        Progress progress(::isatty(STDERR_FILENO) && seconds * static_cast<double>(input.channels.size()) > 20.0);
        settings.progress = [&progress](double fraction) { progress(fraction); };
        render::RenderResult result = render::renderAudio(*module, input, settings);
        progress.finish();

        render::writeAudio(options.output, result.output);
        render::printSummary(std::cout, {options.pluginPath, inputName, options.output, options.blockSize}, input,
                             result);
    } catch (const std::exception& exception) {
        return fail(exception.what());
    }
    return 0;
}
