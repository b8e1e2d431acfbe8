// The factory presets as .vstpreset files (made by the build in presets/),
// loaded through our host into the real bundle as a host loads them; preset
// files with a controller chunk; and the files a host must refuse. Runs
// natively and, in the Windows build, under Wine.
#ifdef TARNO_HAVE_PLUGIN

#include "vst3host/Module.h"
#include "vst3host/PluginInstance.h"
#include "vst3host/PresetFile.h"
#include "params/Presets.h"
#include "params/Skins.h"
#include "tests/BundlePath.h"
#include "tests/StreamUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace TarnoTest;
using namespace Tarno::Host;
using Tarno::kFactoryPresets;

namespace {

std::string factoryFile (int n) { return "presets/" + presetFileName (kFactoryPresets[n].title); }

Bytes controllerStateOf (int32 skin)
{
	Bytes b;
	appendLe32 (b, 0x54565549);
	appendLe32 (b, 1);
	appendLe32 (b, uint32_t (skin));
	appendLe32 (b, 2); // the zoom's version, and the zoom: 100 %
	appendLeDouble (b, 1.0);
	return b;
}

Bytes fileBytes (const std::string& path)
{
	std::ifstream in (path, std::ios::binary);
	return Bytes (std::istreambuf_iterator<char> (in), {});
}

void addNote (PluginInstance& p, bool on, int16 pitch)
{
	Event e {};
	e.type = on ? Event::kNoteOnEvent : Event::kNoteOffEvent;
	if (on)
		e.noteOn = {0, pitch, 0.f, 0.8f, 0, -1};
	else
		e.noteOff = {0, pitch, 0.f, -1, 0.f};
	p.events ().addEvent (e);
}

class PresetFiles : public ::testing::Test
{
protected:
	void SetUp () override
	{
		module = Module::load (bundlePath (), error);
		ASSERT_TRUE (module) << error;
		cls = module->instrumentClass (error);
		ASSERT_NE (cls, nullptr) << error;
		std::filesystem::create_directories (scratch);
	}
	void TearDown () override { std::filesystem::remove_all (scratch); }

	// Created, processing, at the state `blob` and the skin given.
	void start (PluginInstance& p, const Bytes& blob, int32 skin)
	{
		ASSERT_EQ (p.create (*module, *cls, error), kResultOk) << error;
		ASSERT_EQ (p.setState (blob, error), kResultOk) << error;
		ASSERT_EQ (p.controller ()->setState (streamOf (controllerStateOf (skin))), kResultOk);
		ProcessOptions o;
		o.maxBlockSize = 480;
		ASSERT_EQ (p.setupProcessing (o, error), kResultOk) << error;
		ASSERT_EQ (p.startProcessing (error), kResultOk) << error;
	}
	Bytes state (PluginInstance& p)
	{
		Bytes b;
		EXPECT_EQ (p.getState (b, error), kResultOk) << error;
		return b;
	}
	Tarno::ParamBlock values (PluginInstance& p)
	{
		Tarno::ParamBlock v;
		for (int i = 0; i < Tarno::kNumParams; ++i)
			v[size_t (i)] = p.controller ()->getParamNormalized (ParamID (i));
		return v;
	}
	int32 skin (PluginInstance& p)
	{
		MemoryStream s;
		EXPECT_EQ (p.controller ()->getState (&s), kResultOk);
		const Bytes b = bytesOf (s);
		return b.size () >= 12 ? int32 (b[8]) : -1;
	}
	// One block that delivers what is pending, a restart of processing as a
	// host's transport gives it (which resets the voice), then two notes with
	// a glide between them, the first on the restart's first sample: the
	// oscillator runs freely while silent, at a pitch that glides and
	// smoothing reach by different ways after a button and after a file.
	std::vector<float> render (PluginInstance& p)
	{
		EXPECT_EQ (p.process (480), kResultOk);
		p.stopProcessing ();
		EXPECT_EQ (p.startProcessing (error), kResultOk) << error;
		std::vector<float> out;
		for (int block = 0; block < 100; ++block)
		{
			if (block == 0 || block == 20)
				addNote (p, true, block == 0 ? 48 : 55);
			if (block == 50)
				addNote (p, false, 48);
			EXPECT_EQ (p.process (480), kResultOk);
			out.insert (out.end (), p.output32 (0), p.output32 (0) + 480);
		}
		return out;
	}
	std::string write (const std::string& name, const Bytes& bytes)
	{
		const std::string path = scratch + "/" + name;
		std::ofstream (path, std::ios::binary).write (reinterpret_cast<const char*> (bytes.data ()), std::streamsize (bytes.size ()));
		return path;
	}

	std::unique_ptr<Module> module;
	const ClassInfo* cls = nullptr;
	std::string error;
	const std::string scratch = "preset-file-test";
};

TEST (PresetFileName, ReplacesWhatFileSystemsRefuse)
{
	EXPECT_EQ (presetFileName ("02  Soft reed"), "02  Soft reed.vstpreset");
	EXPECT_EQ (presetFileName ("a/b\\c:d*e?f\"g<h>i|j\tk."), "a_b_c_d_e_f_g_h_i_j_k_.vstpreset");
}

// Each factory file holds the preset's state, no controller chunk (the
// user's skin stays), its name and the plug-in's category. Pressing preset
// button n sends, for each parameter in turn, its value to the controller
// (setParamNormalized) and, through the host, to the processor
// (performEdit): here the host does both for the same values.
TEST_F (PresetFiles, LoadingAFileEqualsPressingItsButton)
{
	for (int n = 0; n < Tarno::kNumFactoryPresets; ++n)
	{
		SCOPED_TRACE (factoryFile (n));
		PresetContents contents;
		ASSERT_TRUE (readPresetFile (factoryFile (n), cls->cid, contents, error)) << error;
		EXPECT_EQ (contents.componentState, stateBlob (kFactoryPresets[n].values));
		EXPECT_TRUE (contents.controllerState.empty ());
		const Bytes bytes = fileBytes (factoryFile (n));
		const std::string text (bytes.begin (), bytes.end ());
		EXPECT_NE (text.find (std::string ("id=\"Name\" value=\"") + kFactoryPresets[n].title + "\""), std::string::npos);
		EXPECT_NE (text.find ("id=\"PlugInCategory\" value=\"Instrument|Synth\""), std::string::npos);

		const Bytes before = stateBlob (kFactoryPresets[(n + 3) % Tarno::kNumFactoryPresets].values);
		PluginInstance button, file;
		start (button, before, Tarno::kSkinSilver);
		start (file, before, Tarno::kSkinSilver);
		for (int id = 0; id < Tarno::kNumParams; ++id)
			button.setParameter (ParamID (id), Tarno::snapNormalized (id, kFactoryPresets[n].values[size_t (id)]));
		ASSERT_TRUE (file.loadPreset (factoryFile (n), error)) << error;

		const std::vector<float> byButton = render (button), byFile = render (file);
		EXPECT_EQ (state (file), stateBlob (kFactoryPresets[n].values));
		EXPECT_EQ (state (file), state (button));
		EXPECT_EQ (values (file), kFactoryPresets[n].values);
		EXPECT_EQ (values (file), values (button));
		EXPECT_EQ (skin (file), Tarno::kSkinSilver);
		EXPECT_GT (*std::max_element (byFile.begin (), byFile.end ()), 0.01f);
		EXPECT_TRUE (byFile == byButton) << "the renders differ";
	}
}

TEST_F (PresetFiles, SavedWithTheControllerStateRestoresTheSkinToo)
{
	PluginInstance saver, loader;
	start (saver, stateBlob (kFactoryPresets[2].values), Tarno::kSkinVintage);
	start (loader, stateBlob (Tarno::kDefaultParams), Tarno::kSkinOriginal);
	const std::string path = scratch + "/mine.vstpreset";
	ASSERT_TRUE (saver.savePreset (path, error)) << error;
	PresetContents contents;
	ASSERT_TRUE (readPresetFile (path, cls->cid, contents, error)) << error;
	EXPECT_EQ (contents.controllerState, controllerStateOf (Tarno::kSkinVintage));

	ASSERT_TRUE (loader.loadPreset (path, error)) << error;
	EXPECT_EQ (state (loader), stateBlob (kFactoryPresets[2].values));
	EXPECT_EQ (values (loader), kFactoryPresets[2].values);
	EXPECT_EQ (skin (loader), Tarno::kSkinVintage);
}

// Each file is refused with its name and the reason, and the instance keeps
// its state, its controller values and its skin.
TEST_F (PresetFiles, RefusedFilesChangeNothing)
{
	TUID foreign = {1, 2, 3};
	const Bytes good = fileBytes (factoryFile (2));
	ASSERT_FALSE (good.empty ());
	const size_t list = size_t (good[40] | good[41] << 8);
	auto damaged = [&] (std::function<void (Bytes&)> change) {
		Bytes b = good;
		change (b);
		return b;
	};
	auto made = [&] (const PresetContents& contents) {
		Bytes b;
		EXPECT_TRUE (makePresetFile (cls->cid, contents, "", b, error)) << error;
		return b;
	};
	const Bytes blob = stateBlob (kFactoryPresets[2].values);
	Bytes foreignFile;
	ASSERT_TRUE (makePresetFile (foreign, {blob, {}}, "", foreignFile, error));
	const struct
	{
		const char* name;
		Bytes bytes;
		const char* reason;
	} cases[] = {
	    {"empty", {}, "not a VST 3 preset file"},
	    {"header-only", Bytes (good.begin (), good.begin () + 30), "truncated"},
	    {"cut-in-list", Bytes (good.begin (), good.end () - 5), "truncated"},
	    {"other-plug-in", foreignFile, "for another plug-in"},
	    {"class-not-hex", damaged ([] (Bytes& b) { b[12] = 'x'; }), "not 32 hexadecimal digits"},
	    {"list-offset-past-end", damaged ([] (Bytes& b) { b[41] = 0x7F; }), "lies outside the file"},
	    {"no-list-id", damaged ([&] (Bytes& b) { b[list] = 'l'; }), "no chunk list"},
	    {"no-entries", damaged ([&] (Bytes& b) { b[list + 4] = 0; }), "0 entries"},
	    {"chunk-past-list", damaged ([&] (Bytes& b) { b[list + 8 + 13] = 0xF0; }), "lies outside the data area"},
	    {"two-comp-chunks", damaged ([&] (Bytes& b) { std::copy_n ("Comp", 4, &b[list + 8 + 20]); }), "two 'Comp' chunks"},
	    {"no-comp-chunk", damaged ([&] (Bytes& b) { std::copy_n ("Cmop", 4, &b[list + 8]); }), "no processor state"},
	    {"state-of-wrong-size", made ({Bytes (blob.begin (), blob.end () - 8), {}}), "refused the preset's processor state"},
	    {"skin-out-of-range", made ({blob, controllerStateOf (7)}), "refused the preset's controller state"},
	};
	PluginInstance p;
	const Bytes before = stateBlob (kFactoryPresets[3].values);
	start (p, before, Tarno::kSkinVintage);
	ASSERT_FALSE (p.loadPreset (scratch + "/missing.vstpreset", error));
	EXPECT_NE (error.find ("cannot open '" + scratch + "/missing.vstpreset'"), std::string::npos) << error;
	for (const auto& c : cases)
	{
		const std::string path = write (std::string (c.name) + ".vstpreset", c.bytes);
		EXPECT_FALSE (p.loadPreset (path, error)) << c.name;
		EXPECT_EQ (error.rfind (path + ": ", 0), 0u) << error;
		EXPECT_NE (error.find (c.reason), std::string::npos) << c.name << ": " << error;
		EXPECT_EQ (error.find ('\n'), std::string::npos) << error;
		EXPECT_EQ (state (p), before) << c.name;
		EXPECT_EQ (values (p), kFactoryPresets[3].values) << c.name;
		EXPECT_EQ (skin (p), Tarno::kSkinVintage) << c.name;
	}
}

} // namespace

#endif
