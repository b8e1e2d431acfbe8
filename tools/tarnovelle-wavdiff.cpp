// tarnovelle-wavdiff: compares two WAV files sample by sample and prints the
// largest absolute difference (samples scaled to [-1, 1]).
//
//   tarnovelle-wavdiff [--tolerance X] A.wav B.wav
//
// Run with --help for the options. Exit status: 0 when both files have the
// same layout and every difference is within the tolerance (default 1e-6),
// 1 when not, 2 on a usage or read error. Reads 32-bit float and 16/24-bit
// PCM files.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "TarnoVersion.h"
#include "vst3host/Files.h"

namespace {

const char* const kProgram = "tarnovelle-wavdiff";

const char* const kUsage =
    "Usage: tarnovelle-wavdiff [options] A.wav B.wav\n"
    "\n"
    "Compares two WAV files (32-bit float or 16/24-bit PCM) sample by sample and\n"
    "prints the largest absolute difference, with samples scaled to [-1, 1].\n"
    "Exit status: 0 when both have the same layout and every difference is\n"
    "within the tolerance, 1 when not, 2 on a usage or read error.\n"
    "\n"
    "Options:\n"
    "  --tolerance X   the largest difference allowed (default 1e-6)\n"
    "  --version       show the version\n"
    "  --help          show this text\n";

struct Wav
{
	int channels = 0;
	int rate = 0;
	std::vector<double> samples; // interleaved
};

uint32_t le32 (const uint8_t* p) { return uint32_t (p[0]) | uint32_t (p[1]) << 8 | uint32_t (p[2]) << 16 | uint32_t (p[3]) << 24; }
uint16_t le16 (const uint8_t* p) { return uint16_t (p[0] | p[1] << 8); }

bool readWav (const char* path, Wav& wav, std::string& error)
{
	std::FILE* f = Tarno::Host::openFile (path, "rb");
	if (!f)
	{
		error = std::string ("cannot open ") + path;
		return false;
	}
	std::vector<uint8_t> bytes;
	uint8_t buffer[65536];
	size_t n;
	while ((n = std::fread (buffer, 1, sizeof buffer, f)) > 0)
		bytes.insert (bytes.end (), buffer, buffer + n);
	std::fclose (f);
	if (bytes.size () < 12 || std::memcmp (bytes.data (), "RIFF", 4) != 0 || std::memcmp (bytes.data () + 8, "WAVE", 4) != 0)
	{
		error = std::string (path) + " is not a WAV file";
		return false;
	}
	int format = 0, bits = 0;
	for (size_t pos = 12; pos + 8 <= bytes.size ();)
	{
		const uint32_t size = le32 (&bytes[pos + 4]);
		const size_t body = pos + 8;
		if (size > bytes.size () - body)
			break;
		if (std::memcmp (&bytes[pos], "fmt ", 4) == 0 && size >= 16)
		{
			format = le16 (&bytes[body]);
			wav.channels = le16 (&bytes[body + 2]);
			wav.rate = int (le32 (&bytes[body + 4]));
			bits = le16 (&bytes[body + 14]);
			if (format == 0xFFFE && size >= 26)
				format = le16 (&bytes[body + 24]);
		}
		else if (std::memcmp (&bytes[pos], "data", 4) == 0)
		{
			const uint8_t* d = &bytes[body];
			if (format == 3 && bits == 32)
				for (size_t i = 0; i + 4 <= size; i += 4)
				{
					float x;
					std::memcpy (&x, d + i, 4);
					wav.samples.push_back (x);
				}
			else if (format == 1 && bits == 16)
				for (size_t i = 0; i + 2 <= size; i += 2)
					wav.samples.push_back (int16_t (le16 (d + i)) / 32768.0);
			else if (format == 1 && bits == 24)
				for (size_t i = 0; i + 3 <= size; i += 3)
				{
					int32_t v = int32_t (uint32_t (d[i]) << 8 | uint32_t (d[i + 1]) << 16 | uint32_t (d[i + 2]) << 24) >> 8;
					wav.samples.push_back (v / 8388608.0);
				}
			else
			{
				error = std::string (path) + ": unsupported sample format";
				return false;
			}
			return wav.channels > 0;
		}
		pos = body + size + (size & 1);
	}
	error = std::string (path) + ": no audio data";
	return false;
}

} // namespace

int main (int argc, char** argv)
{
	const Tarno::Host::Utf8Arguments utf8 (argc, argv);
	double tolerance = 1e-6;
	std::vector<const char*> files;
	for (int i = 1; i < argc; ++i)
	{
		const std::string arg = argv[i];
		if (arg == "--help" || arg == "-h")
		{
			std::fputs (kUsage, stdout);
			return 0;
		}
		if (arg == "--version")
		{
			std::printf ("%s %s\n", kProgram, TARNO_VERSION_STRING);
			return 0;
		}
		if (arg == "--tolerance")
		{
			char* end = nullptr;
			const char* text = i + 1 < argc ? argv[++i] : "";
			tolerance = std::strtod (text, &end);
			if (end == text || *end != 0 || !(tolerance >= 0.0))
			{
				std::fprintf (stderr, "%s: --tolerance needs a number of at least 0, not '%s'\n", kProgram, text);
				return 2;
			}
		}
		else if (arg.size () > 1 && arg[0] == '-')
		{
			std::fprintf (stderr, "%s: unknown option '%s'\nTry '%s --help'.\n", kProgram, arg.c_str (), kProgram);
			return 2;
		}
		else
			files.push_back (argv[i]);
	}
	if (files.size () != 2)
	{
		std::fprintf (stderr, "usage: tarnovelle-wavdiff [--tolerance X] A.wav B.wav\n");
		return 2;
	}
	Wav a, b;
	std::string error;
	if (!readWav (files[0], a, error) || !readWav (files[1], b, error))
	{
		std::fprintf (stderr, "%s: %s\n", kProgram, error.c_str ());
		return 2;
	}
	if (a.channels != b.channels || a.rate != b.rate || a.samples.size () != b.samples.size ())
	{
		std::printf ("layouts differ: %d ch %d Hz %zu samples against %d ch %d Hz %zu samples\n", a.channels, a.rate,
		             a.samples.size (), b.channels, b.rate, b.samples.size ());
		return 1;
	}
	double worst = 0.0, peak = 0.0;
	size_t where = 0;
	for (size_t i = 0; i < a.samples.size (); ++i)
	{
		const double d = std::fabs (a.samples[i] - b.samples[i]);
		if (!(d <= worst))
		{
			worst = d;
			where = i;
		}
		peak = std::fmax (peak, std::fabs (a.samples[i]));
	}
	const double seconds = double (a.samples.size ()) / a.channels / a.rate;
	std::printf ("%.2f s, %d channels, peak %.4f: largest difference %.3g (at %.4f s) - %s (tolerance %g)\n", seconds,
	             a.channels, peak, worst, double (where / size_t (a.channels)) / a.rate,
	             worst <= tolerance ? "agree" : "DIFFER", tolerance);
	return worst <= tolerance ? 0 : 1;
}
