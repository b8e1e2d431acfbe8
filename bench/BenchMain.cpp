// main() of the benchmarks: Google Benchmark's usual one, plus a summary after
// the console table: every case's time per output sample and share of one
// core, and for each pair of cases named "X/Settled/..." and "X/Fresh/..."
// (see EngineBench.cpp) how much more the settled case costs, against the
// 10 % target. Engine cases that ran on more than one path ("X/baseline/...",
// "X/avx2/...", "X/plain/...") are also shown side by side, with how many
// times faster than the literal evaluation ("plain") each path is.
//
// The summary needs the console reporter; with --benchmark_format=json or
// csv the table is printed as usual and the summary is left out, so that the
// output stays machine-readable.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr double kSettledTarget = 0.10; // at most 10 % slower than fresh

// The value of a command-line flag such as --benchmark_color=..., or
// nullptr when absent; a bare flag reads "true".
const char* flagValue (int argc, char** argv, const char* name)
{
	const char* value = nullptr;
	const size_t length = std::strlen (name);
	for (int i = 1; i < argc; ++i)
	{
		const char* arg = argv[i];
		while (*arg == '-')
			++arg;
		if (std::strncmp (arg, name, length) != 0)
			continue;
		if (arg[length] == '\0')
			value = "true";
		else if (arg[length] == '=')
			value = arg + length + 1;
	}
	return value;
}

bool isTrue (const char* v)
{
	for (const char* t : {"true", "yes", "on", "1", "t", "y"})
		if (std::strcmp (v, t) == 0)
			return true;
	return false;
}

// Colour and tabular counters as Google Benchmark would pick them itself.
benchmark::ConsoleReporter::OutputOptions consoleOptions (int argc, char** argv)
{
	using Reporter = benchmark::ConsoleReporter;
	int options = Reporter::OO_None;
	const char* color = flagValue (argc, argv, "benchmark_color");
	bool useColor = false;
	if (color == nullptr || std::strcmp (color, "auto") == 0)
	{
		const char* term = std::getenv ("TERM");
		useColor = isatty (STDOUT_FILENO) && term != nullptr && std::strcmp (term, "dumb") != 0;
	}
	else
		useColor = isTrue (color);
	if (useColor)
		options |= Reporter::OO_Color;
	const char* tabular = flagValue (argc, argv, "benchmark_counters_tabular");
	if (tabular != nullptr && isTrue (tabular))
		options |= Reporter::OO_Tabular;
	return Reporter::OutputOptions (options);
}

// The case name without repetition or aggregate suffixes.
std::string caseName (const benchmark::BenchmarkReporter::Run& run)
{
	const std::string& args = run.run_name.args;
	return args.empty () ? run.run_name.function_name : run.run_name.function_name + "/" + args;
}

// The console reporter, with two changes. The per-sample counters are shown
// without the "s" unit the console appends to every inverted rate (they are
// nanoseconds and percent, not seconds). And after the table it prints the
// per-sample figures once more with plain decimals, then the settled versus
// fresh comparison. With --benchmark_repetitions the median stands for a case.
class SummaryReporter : public benchmark::ConsoleReporter
{
public:
	using ConsoleReporter::ConsoleReporter;

	void ReportRuns (const std::vector<Run>& runs) override
	{
		std::vector<Run> shown = runs;
		for (Run& run : shown)
			for (auto& counter : run.counters)
				if (counter.second.flags & benchmark::Counter::kInvert)
					counter.second.flags = benchmark::Counter::kDefaults;
		ConsoleReporter::ReportRuns (shown);

		for (const Run& run : runs)
		{
			const auto ns = run.counters.find ("ns_per_sample");
			const auto share = run.counters.find ("core_share_pct");
			if (run.error_occurred || ns == run.counters.end () || share == run.counters.end ())
				continue;
			const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
			if (run.run_type == Run::RT_Aggregate && !median)
				continue;
			const std::string name = caseName (run);
			Cost* cost = find (name);
			if (cost == nullptr)
			{
				costs.push_back ({name});
				cost = &costs.back ();
			}
			if (median || !cost->fromMedian)
			{
				cost->nsPerSample = ns->second.value;
				cost->coreSharePercent = share->second.value;
				cost->fromMedian = median;
			}
		}
	}

	void Finalize () override
	{
		ConsoleReporter::Finalize ();
		if (costs.empty ())
			return;
		std::ostream& out = GetOutputStream ();
		char line[256];
		std::snprintf (line, sizeof line, "\n%-42s %12s %16s\n", "Per output sample", "ns/sample", "% of one core");
		out << line;
		for (const Cost& cost : costs)
		{
			std::snprintf (line, sizeof line, "  %-40s %12.2f %14.3f %%\n", cost.name.c_str (), cost.nsPerSample,
			               cost.coreSharePercent);
			out << line;
		}

		bool pathsHeader = false;
		for (const Cost& base : costs)
		{
			const size_t at = base.name.find ("/baseline");
			if (at == std::string::npos)
				continue;
			auto variant = [&] (const char* mode) {
				std::string name = base.name;
				name.replace (at + 1, std::strlen ("baseline"), mode);
				return find (name);
			};
			const Cost* avx2 = variant ("avx2");
			const Cost* plain = variant ("plain");
			if (!pathsHeader)
			{
				std::snprintf (line, sizeof line, "\n%-34s %10s %10s %10s %11s %11s\n", "Paths (ns/sample)", "baseline",
				               "avx2", "plain", "plain/base", "plain/avx2");
				out << line;
				pathsHeader = true;
			}
			std::string name = base.name;
			name.erase (at, std::strlen ("/baseline"));
			auto ns = [] (const Cost* c, char* text) {
				if (c != nullptr)
					std::snprintf (text, 16, "%10.2f", c->nsPerSample);
				else
					std::snprintf (text, 16, "%10s", "-");
			};
			auto ratio = [&] (const Cost* c, char* text) {
				if (c != nullptr && plain != nullptr)
					std::snprintf (text, 16, "%10.2fx", plain->nsPerSample / c->nsPerSample);
				else
					std::snprintf (text, 16, "%11s", "-");
			};
			char a[16], b[16], c[16], r1[16], r2[16];
			ns (&base, a);
			ns (avx2, b);
			ns (plain, c);
			ratio (&base, r1);
			ratio (avx2, r2);
			std::snprintf (line, sizeof line, "  %-32s %s %s %s %s %s\n", name.c_str (), a, b, c, r1, r2);
			out << line;
		}

		bool header = false;
		for (const Cost& settled : costs)
		{
			const size_t at = settled.name.find ("/Settled");
			if (at == std::string::npos)
				continue;
			std::string freshName = settled.name;
			freshName.replace (at, std::strlen ("/Settled"), "/Fresh");
			const Cost* fresh = find (freshName);
			if (fresh == nullptr)
				continue;
			if (!header)
			{
				std::snprintf (line, sizeof line, "\nSettled vs fresh (target: settled at most %.0f %% slower)\n",
				               kSettledTarget * 100.0);
				out << line;
				header = true;
			}
			const double excess = settled.nsPerSample / fresh->nsPerSample - 1.0;
			std::snprintf (line, sizeof line, "  %-40s %9.2f vs %9.2f ns/sample: %+6.1f %%  %s\n",
			               settled.name.c_str (), settled.nsPerSample, fresh->nsPerSample, excess * 100.0,
			               excess <= kSettledTarget ? "ok" : "OVER TARGET");
			out << line;
		}
		out.flush ();
	}

private:
	struct Cost
	{
		std::string name;
		double nsPerSample = 0.0;
		double coreSharePercent = 0.0;
		bool fromMedian = false;
	};

	Cost* find (const std::string& name)
	{
		for (Cost& cost : costs)
			if (cost.name == name)
				return &cost;
		return nullptr;
	}

	std::vector<Cost> costs; // in the order the cases ran
};

} // namespace

int main (int argc, char** argv)
{
	// Read before Initialize, which removes the flags it recognises.
	const char* format = flagValue (argc, argv, "benchmark_format");
	const bool console = format == nullptr || std::strcmp (format, "console") == 0;
	const auto options = consoleOptions (argc, argv);

	benchmark::Initialize (&argc, argv);
	if (benchmark::ReportUnrecognizedArguments (argc, argv))
		return 1;
	if (console)
	{
		SummaryReporter reporter (options);
		benchmark::RunSpecifiedBenchmarks (&reporter);
	}
	else
		benchmark::RunSpecifiedBenchmarks ();
	benchmark::Shutdown ();
	return 0;
}
