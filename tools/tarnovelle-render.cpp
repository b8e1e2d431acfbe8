// tarnovelle-render: plays a Standard MIDI File through a VST 3 instrument
// and writes what it outputs (audio output bus 0) into a WAV file.
//
// Run with --help for the options. Exit status: 0 on success, 1 when the
// render fails (bundle, plug-in, MIDI file, output), 2 for a bad command line.

#include "vst3host/Files.h"
#include "vst3host/MidiFile.h"
#include "vst3host/Module.h"
#include "vst3host/PluginInstance.h"
#include "vst3host/WavWriter.h"

#include "TarnoVersion.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace Tarno::Host;
using Steinberg::int32;
using Steinberg::kResultOk;
using Steinberg::tresult;

namespace {

const char* const kProgram = "tarnovelle-render";

const char* const kUsage =
    "Usage: tarnovelle-render [options] PLUGIN.vst3 INPUT.mid OUTPUT.wav\n"
    "\n"
    "Plays a Standard MIDI File (format 0 or 1) through a VST 3 instrument and\n"
    "writes the instrument's main output into a WAV file.\n"
    "\n"
    "PLUGIN is a .vst3 bundle folder or the module binary inside it.\n"
    "Notes, poly pressure, controllers, channel pressure and pitch bend of all\n"
    "16 channels are played; controllers reach the plug-in through its MIDI\n"
    "controller assignments.\n"
    "\n"
    "Options:\n"
    "  --rate HZ             sample rate (default 48000)\n"
    "  --block N             samples per processing block, 1..16384 (default 512)\n"
    "  --64                  process with 64-bit samples (default 32-bit)\n"
    "  --format f32|s16|s24  WAV sample format: 32-bit float (default) or\n"
    "                        16/24-bit integer PCM (clipped and rounded)\n"
    "  --tail SECONDS        time rendered after the last MIDI event (default 2)\n"
    "  --set \"NAME=VALUE\"    set a parameter by its title from value text, e.g.\n"
    "                        --set \"Glissando=120\" (repeatable; applied after\n"
    "                        --load-state and --preset)\n"
    "  --load-state FILE     restore a processor state blob before rendering\n"
    "  --save-state FILE     write the processor state blob after rendering\n"
    "  --preset FILE         load a VST 3 preset file (.vstpreset) before rendering\n"
    "                        (after --load-state); its controller state, when it\n"
    "                        has one, is restored too\n"
    "  --save-preset FILE    write the state in use after rendering into a VST 3\n"
    "                        preset file (processor and controller state)\n"
    "  --quiet               print nothing but errors\n"
    "  --version             show the version\n"
    "  --help                show this text\n";

struct Options
{
	std::string plugin;
	std::string midi;
	std::string output;
	int sampleRate = 48000;
	int block = 512;
	bool use64 = false;
	SampleFormat format = SampleFormat::Float32;
	double tail = 2.0;
	std::vector<std::pair<std::string, std::string>> sets;
	std::string loadState;
	std::string saveState;
	std::string preset;
	std::string savePreset;
	bool quiet = false;
	bool help = false;
	bool version = false;
};

bool parseInt (const std::string& text, long minValue, long maxValue, int& out)
{
	if (text.empty ())
		return false;
	char* end = nullptr;
	errno = 0;
	const long v = std::strtol (text.c_str (), &end, 10);
	if (errno != 0 || *end != 0 || v < minValue || v > maxValue)
		return false;
	out = int (v);
	return true;
}

bool parseSeconds (const std::string& text, double& out)
{
	if (text.empty ())
		return false;
	char* end = nullptr;
	const double v = std::strtod (text.c_str (), &end);
	if (*end != 0 || !(v >= 0.0) || v > 3600.0)
		return false;
	out = v;
	return true;
}

std::string trim (const std::string& s)
{
	const size_t b = s.find_first_not_of (" \t");
	if (b == std::string::npos)
		return std::string ();
	const size_t e = s.find_last_not_of (" \t");
	return s.substr (b, e - b + 1);
}

// Returns false with a message for a bad command line.
bool parseArguments (int argc, char** argv, Options& o, std::string& error)
{
	std::vector<std::string> positional;
	for (int i = 1; i < argc; ++i)
	{
		std::string arg = argv[i];
		std::string value;
		bool hasInlineValue = false;
		if (arg.size () > 2 && arg.compare (0, 2, "--") == 0)
		{
			const size_t eq = arg.find ('=');
			if (eq != std::string::npos)
			{
				value = arg.substr (eq + 1);
				arg = arg.substr (0, eq);
				hasInlineValue = true;
			}
		}
		auto takeValue = [&] () {
			if (hasInlineValue)
				return true;
			if (i + 1 >= argc)
			{
				error = "option " + arg + " needs a value";
				return false;
			}
			value = argv[++i];
			return true;
		};
		auto noValue = [&] () {
			if (hasInlineValue)
				error = "option " + arg + " takes no value";
			return !hasInlineValue;
		};

		if (arg == "--help" || arg == "-h")
		{
			o.help = true;
			return true;
		}
		else if (arg == "--version")
		{
			o.version = true;
			return true;
		}
		else if (arg == "--rate")
		{
			if (!takeValue ())
				return false;
			if (!parseInt (value, 8000, 768000, o.sampleRate))
			{
				error = "--rate needs a whole number of Hz from 8000 to 768000, not '" + value + "'";
				return false;
			}
		}
		else if (arg == "--block")
		{
			if (!takeValue ())
				return false;
			if (!parseInt (value, 1, 16384, o.block))
			{
				error = "--block needs a number from 1 to 16384, not '" + value + "'";
				return false;
			}
		}
		else if (arg == "--64")
		{
			if (!noValue ())
				return false;
			o.use64 = true;
		}
		else if (arg == "--format")
		{
			if (!takeValue ())
				return false;
			if (!parseSampleFormat (value, o.format))
			{
				error = "--format must be f32, s16 or s24, not '" + value + "'";
				return false;
			}
		}
		else if (arg == "--tail")
		{
			if (!takeValue ())
				return false;
			if (!parseSeconds (value, o.tail))
			{
				error = "--tail needs seconds from 0 to 3600, not '" + value + "'";
				return false;
			}
		}
		else if (arg == "--set")
		{
			if (!takeValue ())
				return false;
			const size_t eq = value.find ('=');
			const std::string name = eq == std::string::npos ? std::string () : trim (value.substr (0, eq));
			if (name.empty ())
			{
				error = "--set needs \"NAME=VALUE\", not '" + value + "'";
				return false;
			}
			o.sets.emplace_back (name, trim (value.substr (eq + 1)));
		}
		else if (arg == "--load-state")
		{
			if (!takeValue ())
				return false;
			o.loadState = value;
		}
		else if (arg == "--save-state")
		{
			if (!takeValue ())
				return false;
			o.saveState = value;
		}
		else if (arg == "--preset")
		{
			if (!takeValue ())
				return false;
			o.preset = value;
		}
		else if (arg == "--save-preset")
		{
			if (!takeValue ())
				return false;
			o.savePreset = value;
		}
		else if (arg == "--quiet" || arg == "-q")
		{
			if (!noValue ())
				return false;
			o.quiet = true;
		}
		else if (arg.size () > 1 && arg[0] == '-')
		{
			error = "unknown option '" + arg + "'";
			return false;
		}
		else
			positional.push_back (arg);
	}
	if (positional.size () != 3)
	{
		error = "expected PLUGIN.vst3 INPUT.mid OUTPUT.wav (got " + std::to_string (positional.size ()) +
		        " file argument" + (positional.size () == 1 ? "" : "s") + ")";
		return false;
	}
	o.plugin = positional[0];
	o.midi = positional[1];
	o.output = positional[2];
	return true;
}

// Fails early (before a long render) when no file can be written beside
// path; an existing file is not touched.
bool checkWritable (const std::string& path, std::string& error)
{
	AtomicFile probe;
	return probe.open (path, error);
}

// One progress line on stderr, rewritten in place (\r) every 5 % or every
// second, whichever comes first. Renders that finish within the first second
// print none.
class Progress
{
public:
	Progress (bool enabled, double totalSeconds)
	: enabled_ (enabled), total_ (totalSeconds), lastTime_ (std::chrono::steady_clock::now ())
	{
	}

	void update (double doneSeconds)
	{
		if (!enabled_)
			return;
		const int percent = total_ > 0.0 ? int (100.0 * doneSeconds / total_) : 100;
		const auto now = std::chrono::steady_clock::now ();
		const bool secondPassed = now - lastTime_ >= std::chrono::seconds (1);
		if (!(secondPassed || (shown_ && percent >= lastPercent_ + 5)))
			return;
		lastPercent_ = percent;
		lastTime_ = now;
		std::fprintf (stderr, "\rrendering: %3d%% (%.1f of %.1f s)", percent, doneSeconds, total_);
		std::fflush (stderr);
		shown_ = true;
	}

	void finish ()
	{
		if (!shown_)
			return;
		std::fprintf (stderr, "\rrendering: 100%% (%.1f of %.1f s)\n", total_, total_);
	}

	// Ends the progress line so that a following message starts on its own.
	void interrupt ()
	{
		if (shown_)
			std::fprintf (stderr, "\n");
		shown_ = false;
	}

private:
	bool enabled_;
	double total_;
	int lastPercent_ = 0;
	std::chrono::steady_clock::time_point lastTime_;
	bool shown_ = false;
};

int fail (const std::string& message)
{
	std::fprintf (stderr, "%s: error: %s\n", kProgram, message.c_str ());
	return 1;
}

void warn (const Options& o, const std::string& message)
{
	if (!o.quiet)
		std::fprintf (stderr, "%s: warning: %s\n", kProgram, message.c_str ());
}

int render (const Options& o)
{
	std::string error;

	Midi::File midi;
	if (!Midi::readFile (o.midi, midi, error))
		return fail (error);

	std::vector<uint8_t> loadedState;
	if (!o.loadState.empty () && !readFile (o.loadState, loadedState, error))
		return fail ("state file: " + error);
	if (!o.saveState.empty () && !checkWritable (o.saveState, error))
		return fail ("state file: " + error);
	if (!o.savePreset.empty () && !checkWritable (o.savePreset, error))
		return fail ("preset file: " + error);

	std::unique_ptr<Module> module = Module::load (o.plugin, error);
	if (!module)
		return fail (error);
	if (!module->hasEntryFunction ())
		warn (o,
#if defined(_WIN32)
		      "the module exports no InitDll"
#else
		      "the module exports no ModuleEntry"
#endif
		);
	const ClassInfo* instrument = module->instrumentClass (error);
	if (instrument == nullptr)
		return fail (error);

	// Declared after module: destroyed (torn down) before the module unloads.
	PluginInstance plugin;
	if (plugin.create (*module, *instrument, error) != kResultOk)
		return fail ("cannot create '" + instrument->name + "': " + error);
	if (!o.loadState.empty () && plugin.setState (loadedState, error) != kResultOk)
		return fail ("cannot restore '" + o.loadState + "': " + error);
	if (!o.preset.empty () && !plugin.loadPreset (o.preset, error))
		return fail ("cannot load the preset " + error);

	for (const auto& set : o.sets)
	{
		std::string shown;
		if (plugin.setParameterFromText (set.first, set.second, shown, error) != kResultOk)
			return fail ("--set \"" + set.first + "=" + set.second + "\": " + error);
		if (!o.quiet)
			std::fprintf (stderr, "%s = %s\n", set.first.c_str (), shown.c_str ());
	}

	ProcessOptions po;
	po.sampleRate = o.sampleRate;
	po.maxBlockSize = o.block;
	po.use64Bit = o.use64;
	po.processMode = Steinberg::Vst::kOffline;
	if (plugin.setupProcessing (po, error) != kResultOk)
		return fail (error);
	if (!plugin.hasEventInput ())
		return fail ("'" + instrument->name + "' has no event input bus: it cannot play notes");
	const int channels = plugin.outputChannelCount ();
	if (channels < 1)
		return fail ("audio output bus 0 of '" + instrument->name + "' has no channels");

	WavWriter wav;
	if (!wav.open (o.output, channels, o.sampleRate, o.format, error))
		return fail (error);
	// From here on a failure drops the incomplete output; a file that was
	// there before stays as it was.
	auto failAndRemove = [&] (const std::string& message) {
		wav.discard ();
		return fail (message);
	};

	if (plugin.startProcessing (error) != kResultOk)
		return failAndRemove (error);

	const double rate = o.sampleRate;
	const double totalSeconds = midi.lastEventSeconds () + o.tail;
	const int64_t totalSamples = std::llround (totalSeconds * rate);
	Progress progress (!o.quiet, totalSeconds);
	std::vector<const float*> out32 (size_t (channels), nullptr);
	std::vector<const double*> out64 (size_t (channels), nullptr);
	const bool musicalTime = midi.ticksPerQuarter > 0;
	size_t next = 0;

	for (int64_t pos = 0; pos < totalSamples;)
	{
		const int32 n = int32 (std::min<int64_t> (o.block, totalSamples - pos));
		while (next < midi.events.size ())
		{
			const Midi::Event& e = midi.events[next];
			const int64_t at = std::llround (e.seconds * rate);
			if (at >= pos + n)
				break;
			plugin.midi ().translate (e, int32 (std::max<int64_t> (0, at - pos)), plugin.events (),
			                          plugin.parameterChanges ());
			++next;
		}

		const double seconds = double (pos) / rate;
		Steinberg::Vst::ProcessContext context {};
		context.state = Steinberg::Vst::ProcessContext::kPlaying | Steinberg::Vst::ProcessContext::kContTimeValid;
		context.sampleRate = rate;
		context.projectTimeSamples = pos;
		context.continousTimeSamples = pos;
		if (musicalTime)
		{
			context.state |= Steinberg::Vst::ProcessContext::kTempoValid |
			                 Steinberg::Vst::ProcessContext::kProjectTimeMusicValid;
			context.tempo = midi.tempoAt (seconds);
			context.projectTimeMusic = midi.quarterNotesAt (seconds);
		}

		const tresult r = plugin.process (n, &context);
		if (r != kResultOk)
		{
			progress.interrupt ();
			plugin.stopProcessing ();
			return failAndRemove ("process () failed at sample " + std::to_string (pos) + " (result " +
			                      std::to_string (r) + ")");
		}
		bool written;
		if (o.use64)
		{
			for (int c = 0; c < channels; ++c)
				out64[size_t (c)] = plugin.output64 (c);
			written = wav.write (out64.data (), size_t (n), error);
		}
		else
		{
			for (int c = 0; c < channels; ++c)
				out32[size_t (c)] = plugin.output32 (c);
			written = wav.write (out32.data (), size_t (n), error);
		}
		if (!written)
		{
			progress.interrupt ();
			plugin.stopProcessing ();
			return failAndRemove (error);
		}
		pos += n;
		progress.update (double (pos) / rate);
	}
	progress.finish ();
	plugin.stopProcessing ();

	if (!wav.close (error))
		return fail (error);

	if (!o.saveState.empty ())
	{
		std::vector<uint8_t> state;
		if (plugin.getState (state, error) != kResultOk)
			return fail ("cannot save the state: " + error);
		if (!writeFileAtomically (o.saveState, state.data (), state.size (), error))
			return fail (error);
	}
	if (!o.savePreset.empty () && !plugin.savePreset (o.savePreset, error))
		return fail ("cannot save the preset: " + error);

	for (const std::string& w : plugin.warnings ())
		warn (o, w);
	const MidiTranslationStats& ms = plugin.midi ().stats ();
	if (ms.droppedEvents > 0)
		warn (o, std::to_string (ms.droppedEvents) + " MIDI events did not fit into their block "
		                                              "(use a smaller --block)");
	if (ms.droppedPoints > 0 || plugin.droppedPendingValues () > 0)
		warn (o, std::to_string (ms.droppedPoints + plugin.droppedPendingValues ()) +
		             " parameter values did not fit into their block (use a smaller --block)");
	const WavStats& ws = wav.stats ();
	if (ws.nonFiniteSamples > 0)
		warn (o, std::to_string (ws.nonFiniteSamples) + " output samples were NaN or infinite");
	if (ws.clippedSamples > 0)
		warn (o, std::to_string (ws.clippedSamples) + " samples were clipped");

	if (!o.quiet)
	{
		const double peakDb = ws.peak > 0.0 ? 20.0 * std::log10 (ws.peak) : -INFINITY;
		std::fprintf (stderr, "%s: '%s' -> %s: %d ch, %d Hz, %s, %.2f s, peak %.1f dBFS\n", kProgram,
		              instrument->name.c_str (), o.output.c_str (), channels, o.sampleRate,
		              sampleFormatName (o.format), double (ws.frames) / rate, peakDb);
		std::fprintf (stderr,
		              "%s: %zu note events, %zu controller values, %zu controller messages not "
		              "mapped by the plug-in\n",
		              kProgram, ms.noteEvents, ms.parameterPoints, ms.unmappedControllers);
	}
	return 0;
}

} // namespace

int main (int argc, char** argv)
{
	const Utf8Arguments utf8 (argc, argv);
	reportFileSizeLimitAsError ();
	Options o;
	std::string error;
	if (!parseArguments (argc, argv, o, error))
	{
		std::fprintf (stderr, "%s: error: %s\nTry '%s --help'.\n", kProgram, error.c_str (), kProgram);
		return 2;
	}
	if (o.help)
	{
		std::fputs (kUsage, stdout);
		return 0;
	}
	if (o.version)
	{
		std::printf ("%s %s\n", kProgram, TARNO_VERSION_STRING);
		return 0;
	}
	return render (o);
}
