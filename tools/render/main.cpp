// SPDX-License-Identifier: GPL-3.0-or-later
// quarvine-render: plays a sound file (or the built-in guitar phrase) through the plug-in.
#include "demo_phrase.h"
#include "errors.h"
#include "interrupt.h"
#include "options.h"
#include "output_format.h"
#include "output_path.h"
#include "render_loop.h"
#include "sound_reader.h"
#include "sound_writer.h"
#include "summary.h"

#include "cabinet/ir_file.h"
#include "effect/cabinet_choice.h"
#include "tools/vsthost/vst_host.h"

#include <iostream>
#include <memory>
#include <unistd.h>

namespace {

int fail(const std::string& message, int status = 1)
{
    std::cerr << "quarvine-render: " << message << "\n";
    return status;
}

// The response of --ir, read before anything else: a file the reader refuses ends the command.
std::optional<quarvine::UserCabinet> userCabinetFrom(const render::Options& options)
{
    if (options.irPath.empty())
        return std::nullopt;
    quarvine::IrLoad load = quarvine::readImpulseResponseFile(options.irPath);
    if (!load.ir)
        throw render::UsageError(options.irPath + ": " + load.error);
    return quarvine::UserCabinet{load.ir->name, load.ir->sampleRate, std::move(load.ir->samples)};
}

render::RenderSettings settingsFrom(const render::Options& options)
{
    render::RenderSettings settings;
    settings.blockSize = options.blockSize;
    // The preset first, then what the command line names: it overrides the preset.
    if (options.preset)
        for (int i = 0; i < quarvine::kNumParameters; ++i)
            if (quarvine::presetSets(i))
                settings.parameters.emplace_back(i, quarvine::presetValue(*options.preset, i));
    settings.userCabinet = userCabinetFrom(options);
    if (options.cabinet || settings.userCabinet)
        settings.parameters.emplace_back(quarvine::kCabinet,
                                         quarvine::cabinetValue(options.cabinet.value_or(quarvine::kUserCabinetPosition)));
    settings.needsQuarvine = options.pluginGiven && !settings.parameters.empty();
    for (int i = 0; i < render::kQuarvineParameterCount; ++i)
        if (options.named[i]) {
            settings.parameters.emplace_back(i, *options.named[i]);
            settings.needsQuarvine = options.pluginGiven;
        }
    // The built plug-in always runs at the asked factor; another module only when asked, so that
    // a peer's seventh parameter is never touched by default.
    if (options.oversamplingGiven || !options.pluginGiven)
        settings.oversampling = options.oversampling;
    settings.parameters.insert(settings.parameters.end(), options.parameters.begin(), options.parameters.end());
    return settings;
}

void writeDryPhrase(const std::string& path, const std::vector<float>& phrase)
{
    const std::string target = render::outputTarget(path);
    render::checkOutputFormat(path, render::kDemoSampleRate, 1);
    render::SoundWriter dry(target, render::formatForPath(path), render::kDemoSampleRate, 1);
    dry.write(phrase.data(), phrase.size());
    dry.commit();
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
    render::installInterruptHandlers();

    std::string error;
    auto module = vsthost::PluginModule::load(options.pluginPath, &error);
    if (!module)
        return fail("cannot load the plug-in: " + error);

    try {
        // Everything that can refuse the command is checked before a frame is read, so that a
        // mistake costs nothing however long the input.
        render::RenderSettings settings = settingsFrom(options);
        render::checkSettings(*module, settings);
        const std::string target = render::outputTarget(options.output);
        std::unique_ptr<render::FrameSource> source;
        std::string inputName;
        std::vector<float> phrase;
        if (options.input.empty()) {
            phrase = render::demoPhrase();
            source = std::make_unique<render::MemorySource>(phrase, render::kDemoSampleRate);
            inputName = "demo phrase";
        } else {
            if (!options.overwrite)
                render::refuseToReplaceInput(options.input, options.output);
            source = std::make_unique<render::SoundReader>(options.input);
            inputName = options.input;
        }
        const int rate = source->sampleRate(), channels = source->channels();
        render::checkSampleRate(*module, inputName, rate);
        render::checkOutputFormat(options.output, rate, channels);
        if (!options.dryPath.empty())
            writeDryPhrase(options.dryPath, phrase);

        const double seconds = static_cast<double>(source->expectedFrames()) / rate;
        Progress progress(::isatty(STDERR_FILENO) && seconds * channels > 20.0);
        settings.progress = [&progress](double fraction) { progress(fraction); };
        render::SoundWriter sink(target, render::formatForPath(options.output), rate, channels);
        render::RenderResult result = render::renderStream(*module, *source, sink, settings);
        progress.finish();
        sink.commit();

        render::SummaryInput summary{options.pluginPath, inputName, options.output, rate, channels,
                                     options.blockSize, {}};
        if (auto shortfall = source->shortfall(); !shortfall.empty())
            summary.warnings.push_back(shortfall);
        if (auto warning = render::implausibleRate(rate))
            summary.warnings.push_back(*warning);
        render::printSummary(std::cout, summary, result);
    } catch (const render::Interrupted& interrupted) {
        return fail(std::string(interrupted.what()) + "; " + options.output + " not written",
                    interrupted.exitStatus());
    } catch (const render::UsageError& usage) {
        return fail(usage.what(), 2);
    } catch (const std::exception& exception) {
        return fail(exception.what());
    }
    return 0;
}
