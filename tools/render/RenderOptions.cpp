#include "RenderOptions.h"

#include <algorithm>
#include <charconv>
#include <map>

const char* const kRenderUsage =
    R"(Usage: quorvel-render [OPTIONS] --out OUT.wav

Vocodes WAV files with the QUORVEL engine, as the program does live, and writes the
recorded output as a 16-bit stereo WAV file.

  --out FILE           the WAV file to write (required); "-" writes it to standard
                       output as it renders, and so is a FIFO or a device; through a
                       symbolic link, the file the link leads to is replaced. A take of
                       more than 4 GiB is written as RF64, the 64-bit form of WAV
  --modulator FILE     WAV played as the modulator file (PMod on from the first pass)
  --carrier FILE       WAV played as the carrier file (PCar on from the first pass)
  --modulator-source S, --carrier-source S
                       for stereo files: mix | left | right | diff
                       ("Left + Right", "Left", "Right", "Left - Right"); default mix
  --repeat-carrier, --repeat-modulator
                       RptC / RptM on
  --settings FILE      load a settings file first, as "LSet" does
  --set NAME=POS       set a slider by its control name, e.g. "Mix Level=63",
                       "Channel Slider 5=100"
  --press NAME         press a button by its control name, e.g. "Wide Filter Button"
                       (--set and --press apply in command-line order, after --settings)
  --rate 11|22|44      rate of the written file in kHz (default 44)
  --blocks N           number of 64-sample passes; default: until the pass that uses the
                       modulator file's last block, or the carrier file's when there is
                       no modulator file
  --save-settings FILE write the final control state as a settings file
  --seed N             seed for the random source (noise carrier, voiced/unvoiced, the
                       tiny additions); default 1
  --air                Air: add the modulator file's band above 5.6 kHz, taken from
                       the file at its own rate, with the sibilance band's gain (a file
                       at 11025 Hz, or a render saved at 11 kHz, has nothing to add)
  --no-dither          leave out the tiny random additions to the modulator and carrier
  --quiet              no progress bar
  --help               this text
)";

namespace {

std::optional<long long> wholeNumber(const std::string& text) {
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<SourceChoice> sourceNamed(const std::string& name) {
    static const std::map<std::string, SourceChoice> names{{"mix", SourceChoice::LeftPlusRight},
                                                           {"left", SourceChoice::Left},
                                                           {"right", SourceChoice::Right},
                                                           {"diff", SourceChoice::LeftMinusRight}};
    const auto found = names.find(name);
    if (found == names.end()) return std::nullopt;
    return found->second;
}

} // namespace

std::variant<RenderOptions, std::string> parseRenderOptions(const std::vector<std::string>& args) {
    RenderOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& into) -> std::optional<std::string> {
            if (i + 1 >= args.size()) return arg + " needs a value";
            into = args[++i];
            return std::nullopt;
        };
        std::string v;
        std::optional<std::string> error;
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--quiet" || arg == "-q") {
            o.quiet = true;
        } else if (arg == "--no-dither") {
            o.dither = false;
        } else if (arg == "--air") {
            o.air = true;
        } else if (arg == "--repeat-carrier") {
            o.repeatCarrier = true;
        } else if (arg == "--repeat-modulator") {
            o.repeatModulator = true;
        } else if (arg == "--out") {
            error = value(o.out);
        } else if (arg == "--modulator") {
            error = value(o.modulator);
        } else if (arg == "--carrier") {
            error = value(o.carrier);
        } else if (arg == "--settings") {
            error = value(o.settings);
        } else if (arg == "--save-settings") {
            error = value(o.saveSettings);
        } else if (arg == "--modulator-source" || arg == "--carrier-source") {
            if (!(error = value(v))) {
                const auto source = sourceNamed(v);
                if (!source) return arg + " takes mix, left, right or diff, not \"" + v + "\"";
                (arg == "--modulator-source" ? o.modulatorSource : o.carrierSource) = *source;
            }
        } else if (arg == "--set") {
            if (!(error = value(v))) {
                const std::size_t eq = v.rfind('=');
                const auto position = eq == std::string::npos ? std::nullopt : wholeNumber(v.substr(eq + 1));
                if (!position || eq == 0) return "--set takes NAME=POSITION, e.g. \"Mix Level=63\", not \"" + v + "\"";
                o.actions.push_back({RenderAction::Kind::Set, v.substr(0, eq), int(std::clamp(*position, -1000LL, 1000LL))});
            }
        } else if (arg == "--press") {
            if (!(error = value(v))) o.actions.push_back({RenderAction::Kind::Press, v, 0});
        } else if (arg == "--rate") {
            if (!(error = value(v))) {
                if (v == "11")
                    o.rate = SaveRate::Rate11025;
                else if (v == "22")
                    o.rate = SaveRate::Rate22050;
                else if (v == "44")
                    o.rate = SaveRate::Rate44100;
                else
                    return "--rate takes 11, 22 or 44, not \"" + v + "\"";
            }
        } else if (arg == "--blocks") {
            if (!(error = value(v))) {
                const auto n = wholeNumber(v);
                // A billion passes is some two years of sound; beyond, sizes would overflow.
                if (!n || *n < 1 || *n > 1000000000)
                    return "--blocks takes a whole number from 1 to 1000000000, not \"" + v + "\"";
                o.blocks = *n;
            }
        } else if (arg == "--seed") {
            if (!(error = value(v))) {
                const auto n = wholeNumber(v);
                if (!n || *n < 0 || *n > 4294967295LL) return "--seed takes a whole number from 0 to 4294967295";
                o.seed = static_cast<std::uint32_t>(*n);
            }
        } else {
            return "unknown option \"" + arg + "\"";
        }
        if (error) return *error;
    }
    if (o.help) return o;
    if (o.out.empty()) return std::string("--out is required");
    if (!o.blocks && o.modulator.empty() && o.carrier.empty())
        return std::string("nothing says how long to render: give --blocks, --modulator or --carrier");
    return o;
}
