// tarnovelle-view run as a program: its command line and the errors it
// gives before any window opens. What it must say about the Tarnovelle
// bundle follows from the bundle itself: no editor, an editor without X11
// support, or one it can show (then without a display it must say so, and
// with one a timed run must end cleanly).
#if !defined(_WIN32) && defined(TARNO_VIEW_TOOL) && defined(TARNO_HAVE_PLUGIN)

#include "vst3host/Module.h"
#include "vst3host/PluginInstance.h"
#include "tests/BundlePath.h"

#include "pluginterfaces/gui/iplugview.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/wait.h>

using namespace Steinberg;
using TarnoTest::bundlePath;
using Tarno::Host::Module;
using Tarno::Host::PluginInstance;

namespace {

struct ToolRun
{
	int status;
	std::string output; // stdout and stderr
};

ToolRun runTool (const std::string& arguments, const std::string& environment = "")
{
	const std::string command = environment + " '" TARNO_VIEW_TOOL "' " + arguments + " 2>&1 </dev/null";
	ToolRun run {-1, ""};
	std::FILE* pipe = popen (command.c_str (), "r");
	if (pipe == nullptr)
		return run;
	char chunk[512];
	size_t n;
	while ((n = std::fread (chunk, 1, sizeof (chunk), pipe)) > 0)
		run.output.append (chunk, n);
	const int status = pclose (pipe);
	run.status = WIFEXITED (status) ? WEXITSTATUS (status) : -1;
	return run;
}

TEST (ViewTool, CommandLineAndErrorsBeforeAnyWindow)
{
	const struct
	{
		const char* arguments;
		int status;
		const char* text;
	} cases[] = {
	    {"--help", 0, "Usage: tarnovelle-view [options] PLUGIN.vst3"},
	    {"", 2, "expected one PLUGIN.vst3 (got 0)"},
	    {"A.vst3 B.vst3", 2, "expected one PLUGIN.vst3 (got 2)"},
	    {"--frobnicate A.vst3", 2, "unknown option '--frobnicate'"},
	    {"A.vst3 --seconds", 2, "option --seconds needs a value"},
	    {"--seconds 0 A.vst3", 2, "--seconds needs a number above 0"},
	    {"--seconds 2x A.vst3", 2, "--seconds needs a number above 0"},
	    {"--after -5 A.vst3", 2, "--after needs milliseconds"},
	    {"--run-loop sideways A.vst3", 2, "--run-loop must be normal, refusing or none, not 'sideways'"},
	    {"--scale 0.5 A.vst3", 2, "--scale needs a number from 1 to 4, not '0.5'"},
	    {"--zoom 300 A.vst3", 2, "--zoom needs a percentage from 50 to 200, not '300'"},
	    {"no-such-bundle.vst3", 1, "error: 'no-such-bundle.vst3' does not exist"},
	};
	for (const auto& k : cases)
	{
		SCOPED_TRACE (k.arguments);
		const ToolRun run = runTool (k.arguments);
		EXPECT_EQ (run.status, k.status) << run.output;
		EXPECT_NE (run.output.find (k.text), std::string::npos) << run.output;
	}
}

TEST (ViewTool, TarnovelleBundle)
{
	std::string error;
	auto module = Module::load (bundlePath (), error);
	ASSERT_TRUE (module) << error;
	const Tarno::Host::ClassInfo* instrument = module->instrumentClass (error);
	ASSERT_NE (instrument, nullptr) << error;
	bool hasEditor = false, x11 = false;
	{
		PluginInstance plugin;
		ASSERT_EQ (plugin.create (*module, *instrument, error), kResultOk) << error;
		IPtr<IPlugView> view = owned (plugin.controller ()->createView (Vst::ViewType::kEditor));
		hasEditor = view != nullptr;
		x11 = view && view->isPlatformTypeSupported (kPlatformTypeX11EmbedWindowID) == kResultTrue;
	}
	const std::string bundle = "'" + bundlePath () + "'";

	if (!hasEditor || !x11)
	{
		const ToolRun run = runTool (bundle);
		EXPECT_EQ (run.status, 1) << run.output;
		EXPECT_NE (run.output.find (hasEditor ? "does not support the platform type X11EmbedWindowID"
		                                      : "error: 'Tarnovelle' has no editor"),
		           std::string::npos)
		    << run.output;
		return;
	}
	const ToolRun noDisplay = runTool (bundle, "env -u DISPLAY");
	EXPECT_EQ (noDisplay.status, 1) << noDisplay.output;
	EXPECT_NE (noDisplay.output.find ("error: no X display (DISPLAY is not set)"), std::string::npos)
	    << noDisplay.output;

	const char* display = std::getenv ("DISPLAY");
	if (display == nullptr || *display == 0)
		GTEST_SKIP () << "no X display: the editor is not opened";
	const ToolRun shown = runTool ("--seconds 1 " + bundle);
	EXPECT_EQ (shown.status, 0) << shown.output;
	EXPECT_NE (shown.output.find ("editor of 'Tarnovelle'"), std::string::npos) << shown.output;
	EXPECT_EQ (shown.output.find ("warning"), std::string::npos) << shown.output;
	const ToolRun scaled = runTool ("--seconds 1 --scale 1.5 " + bundle);
	EXPECT_EQ (scaled.status, 0) << scaled.output;
	EXPECT_NE (scaled.output.find ("editor of 'Tarnovelle', 1290 x 795"), std::string::npos) << scaled.output;
	const ToolRun zoomed = runTool ("--seconds 1 --scale 1.5 --zoom 50 " + bundle);
	EXPECT_EQ (zoomed.status, 0) << zoomed.output;
	EXPECT_NE (zoomed.output.find ("editor of 'Tarnovelle', 645 x 398, resizable"), std::string::npos) << zoomed.output;
}

} // namespace

#endif
