// SPDX-License-Identifier: GPL-3.0-or-later
#include "options.h"

#include "demo_phrase.h"

#include <CLI/CLI.hpp>
#include <quarvine_version.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <vector>

namespace render {

namespace fs = std::filesystem;

namespace {

constexpr const char* kDemoOutput = "quarvine-demo.wav";
constexpr const char* kModuleName = "libquarvine.so";

// INDEX=VALUE with VALUE in [0, 1].
std::string parseParameter(const std::string& text, std::pair<int, float>& parsed)
{
    auto equals = text.find('=');
    if (equals == std::string::npos)
        return "--param expects INDEX=VALUE, got '" + text + "'";
    int index = -1;
    auto indexText = std::string_view(text).substr(0, equals);
    auto [end, error] = std::from_chars(indexText.data(), indexText.data() + indexText.size(), index);
    if (error != std::errc() || end != indexText.data() + indexText.size() || index < 0)
        return "--param: '" + std::string(indexText) + "' is not a parameter index";
    std::string valueText = text.substr(equals + 1);
    char* valueEnd = nullptr;
    float value = std::strtof(valueText.c_str(), &valueEnd);
    if (valueText.empty() || *valueEnd != 0)
        return "--param: '" + valueText + "' is not a number";
    if (!(value >= 0.0f && value <= 1.0f))
        return "--param " + text + ": value outside [0, 1]";
    parsed = {index, value};
    return {};
}

template <typename Item, typename KeyOf>
std::string keyList(const Item& items, KeyOf keyOf)
{
    std::string list;
    for (const auto& item : items)
        list += (list.empty() ? "" : ", ") + std::string(keyOf(item));
    return list;
}

} // namespace

std::string defaultPluginPath()
{
    // Installed under a prefix the module is in <prefix>/lib/vst/ beside <prefix>/bin/; in the
    // build folder the renderer is in <build>/tools/render/ and the module in <build>/; a user's
    // own install puts the module in ~/.vst/.
    std::error_code error;
    std::vector<fs::path> candidates;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        candidates.push_back(self.parent_path().parent_path() / "lib" / "vst" / kModuleName);
        candidates.push_back(self.parent_path().parent_path().parent_path() / kModuleName);
        candidates.push_back(self.parent_path() / kModuleName);
    }
    if (const char* home = std::getenv("HOME"); home && *home)
        candidates.push_back(fs::path(home) / ".vst" / kModuleName);
    for (const auto& candidate : candidates)
        if (fs::is_regular_file(candidate, error))
            return candidate.string();
    return kModuleName; // left to the library search path
}

std::optional<int> parseOptions(int argc, char** argv, Options& options)
{
    CLI::App app{"Renders a sound file through the Quarvine amp plug-in (or any VST 2.4 effect).\n"
                 "With no input it plays a built-in guitar phrase (" +
                     std::to_string(static_cast<int>(kDemoSeconds)) + " s, 44100 Hz) into " + kDemoOutput +
                     ".\nEvery channel runs through its own instance at the file's sample rate; the output "
                     "format follows OUT's extension (.wav is 32-bit float).",
                 "quarvine-render"};
    app.set_version_flag("--version", "quarvine-render " QUARVINE_VERSION, "Print the version and exit");
    app.add_option("IN", options.input, "Input sound file (any format libsndfile reads); omit for the demo");
    app.add_option("OUT", options.output, "Output sound file")->option_text("FILE");
    app.add_option("-o,--out", options.output, "Output sound file (same as OUT)");
    app.add_option("--dry", options.dryPath, "Demo only: also write the unprocessed phrase here");

    static const char* const descriptions[] = {"Master (output saturation)", "Drive (preamp gain)", "Treble",
                                               "Middle", "Bass", "Volume (output level)"};
    float values[kQuarvineParameterCount] = {};
    CLI::Option* namedOptions[kQuarvineParameterCount] = {};
    for (int i = 0; i < kQuarvineParameterCount; ++i)
        namedOptions[i] = app.add_option(std::string("--") + kQuarvineParameters[i], values[i],
                                         std::string(descriptions[i]) + ", 0..1; Quarvine only")
                              ->check(CLI::Range(0.0f, 1.0f));
    std::vector<std::string> parameterTexts;
    app.add_option("--param", parameterTexts, "Set parameter INDEX to VALUE (0..1), for any plug-in; repeatable")
        ->option_text("INDEX=VALUE ...");
    app.add_option("--block", options.blockSize, "Frames per processing call (default 512)")
        ->check(CLI::Range(1, 1 << 20));
    CLI::Option* oversampling =
        app.add_option("--oversampling", options.oversampling, "Quarvine's oversampling factor: 2 (default), 4 or 8")
            ->check(CLI::IsMember({2, 4, 8}));
    std::string cabinetKey, presetKey;
    CLI::Option* cabinet = app.add_option("--cabinet", cabinetKey,
                                          "Quarvine's cabinet: off (default), 1x10, 1x12, 4x12, 4x12-angled or user");
    app.add_option("--ir", options.irPath, "Play this impulse response (WAV, AIFF, FLAC) as the user cabinet; "
                                           "implies --cabinet user");
    CLI::Option* preset =
        app.add_option("--preset", presetKey, "Start from a factory preset; the knob and cabinet options override it");
    bool listPresets = false;
    app.add_flag("--list-presets", listPresets, "Print the factory presets and exit");
    app.add_flag("--overwrite", options.overwrite, "Allow OUT to be IN itself (replaced once the render is complete)");
    app.add_option("--plugin", options.pluginPath, "VST 2.4 module to load instead of libquarvine.so")
        ->check(CLI::ExistingFile);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForVersion& version) {
        return app.exit(version);
    } catch (const CLI::ParseError& error) {
        std::cerr << "quarvine-render: " << error.what() << " (see --help)\n";
        return 2;
    }

    auto fail = [](const std::string& message) {
        std::cerr << "quarvine-render: " << message << "\n";
        return std::optional<int>(2);
    };
    if (listPresets) {
        for (const quarvine::FactoryPreset& entry : quarvine::kFactoryPresets)
            std::cout << entry.key << std::string(10 - std::min<std::size_t>(9, entry.key.size()), ' ') << entry.name
                      << "\n";
        return 0;
    }
    if (preset->count() > 0) {
        for (const quarvine::FactoryPreset& entry : quarvine::kFactoryPresets)
            if (entry.key == presetKey)
                options.preset = &entry;
        if (!options.preset)
            return fail("--preset: no preset '" + presetKey + "' (" +
                        keyList(quarvine::kFactoryPresets, [](const auto& entry) { return entry.key; }) + ")");
    }
    if (cabinet->count() > 0) {
        for (int position = 0; position < quarvine::kCabinetPositions; ++position)
            if (cabinetKey == quarvine::kCabinetKeys[position])
                options.cabinet = position;
        if (!options.cabinet)
            return fail("--cabinet: no cabinet '" + cabinetKey + "' (" +
                        keyList(quarvine::kCabinetKeys, [](const char* key) { return key; }) + ")");
    }
    options.oversamplingGiven = oversampling->count() > 0;
    for (int i = 0; i < kQuarvineParameterCount; ++i) {
        if (namedOptions[i]->count() == 0)
            continue;
        // The range check lets NaN through: every comparison with it is false.
        if (!(values[i] >= 0.0f && values[i] <= 1.0f))
            return fail(std::string("--") + kQuarvineParameters[i] + " " + namedOptions[i]->as<std::string>() +
                        ": value outside [0, 1]");
        options.named[i] = values[i];
    }
    for (const auto& text : parameterTexts) {
        std::pair<int, float> parsed;
        if (auto message = parseParameter(text, parsed); !message.empty())
            return fail(message);
        options.parameters.push_back(parsed);
    }
    if (options.input.empty()) {
        if (options.output.empty())
            options.output = kDemoOutput;
    } else {
        if (options.output.empty())
            return fail("no output file given for " + options.input);
        if (!options.dryPath.empty())
            return fail("--dry belongs to the demo (no input file)");
    }
    options.pluginGiven = !options.pluginPath.empty();
    // dlopen searches the library path for a bare file name; the user means the file here.
    if (options.pluginGiven)
        options.pluginPath = fs::absolute(options.pluginPath).string();
    if (!options.pluginGiven)
        options.pluginPath = defaultPluginPath();
    return std::nullopt;
}

} // namespace render
