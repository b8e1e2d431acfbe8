// The editor's mouse handling against a real controller. The handler's calls
// and the window's repaints and captures are merged into one trail, so their
// relative order is checked too: b = beginEdit, p = performEdit, e = endEdit,
// d = setDirty (true), i = invalidate, c = setCapture, r = releaseCapture.
// The handler holds every edit call to the host's gesture rules as it comes
// (tests/EditGestureModel.h).
#include "editor/EditorInput.h"
#include "editor/EditorMenu.h"
#include "editor/EditorZoom.h"
#include "editor/ValueEntry.h"
#include "editor/skins/PanelLayout.h"

#include "formats/vst3/Controller.h"
#include "formats/vst3/ControllerEditorHost.h"
#include "vst3host/HostObjects.h"
#include "params/ParamTable.h"
#include "params/Presets.h"
#include "tests/EditGestureModel.h"

#include "pluginterfaces/base/ustring.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace Tarno;
using namespace Steinberg;
using namespace Steinberg::Vst;
using Tarno::Host::HandlerCall;
using Tarno::Host::RecordingComponentHandler;
using TarnoTest::EditGestureModel;
using TarnoTest::StrictComponentHandler;

namespace {

constexpr int32 kMin = std::numeric_limits<int32>::min (), kMax = std::numeric_limits<int32>::max ();
// Points in the ORIGINAL cells of Square and Transpose, and the Legato switch.
constexpr int32 kSqX = 70, kSqY = 250, kTrX = 280, kTrY = 400, kLegY = 360;

std::string num (double v)
{
	char t[32];
	std::snprintf (t, sizeof t, "%g", v);
	return t;
}

std::string token (const HandlerCall& h)
{
	char t[48] = "?";
	if (h.kind == HandlerCall::Kind::BeginEdit)
		std::snprintf (t, sizeof t, "b%u", h.id);
	else if (h.kind == HandlerCall::Kind::PerformEdit)
		std::snprintf (t, sizeof t, "p%u=%s", h.id, num (h.value).c_str ());
	else if (h.kind == HandlerCall::Kind::EndEdit)
		std::snprintf (t, sizeof t, "e%u", h.id);
	else if (h.kind == HandlerCall::Kind::SetDirty && h.state)
		std::snprintf (t, sizeof t, "d");
	return t;
}

// Notes each call with the number of handler calls made before it, and
// reports a release to the input as WM_CAPTURECHANGED, as Windows does.
class FakeWindow : public EditorWindow
{
public:
	explicit FakeWindow (RecordingComponentHandler& h) : handler (h) {}
	void invalidate () override { record ("i"); }
	void setCapture () override
	{
		record ("c");
		captured = true;
	}
	void releaseCapture () override
	{
		record ("r");
		loseCapture ();
	}
	bool hasCapture () override { return captured; }
	void loseCapture ()
	{
		captured = false;
		if (input)
			input->captureChanged ();
	}
	void record (const char* t) { records.push_back ({handler.calls ().size (), t}); }

	RecordingComponentHandler& handler;
	EditorInput* input = nullptr;
	bool captured = false;
	std::vector<std::pair<size_t, std::string>> records;
};

class EditorInputTest : public ::testing::Test
{
protected:
	void SetUp () override
	{
		controller = owned (static_cast<Controller*> (static_cast<IEditController*> (Controller::create (nullptr))));
		ASSERT_EQ (controller->initialize (nullptr), kResultOk);
		controller->setComponentHandler (&handler);
		editorHost = std::make_unique<ControllerEditorHost> (*controller);
		input = std::make_unique<EditorInput> (*editorHost, &window);
		window.input = input.get ();
	}
	// The handler has checked each edit call as it came; at the end no
	// gesture, no drag and no capture may be left.
	void TearDown () override
	{
		EXPECT_EQ (handler.openGestures (), std::vector<ParamID> {}) << "gestures left open";
		EXPECT_EQ (input->activeParam, -1);
		EXPECT_FALSE (window.captured);
		controller->terminate ();
	}
	// Between messages the only open gesture is the drag's, and the drag
	// holds the capture.
	void expectOnlyTheDragOpen ()
	{
		std::vector<ParamID> drag;
		if (input->dragging ())
			drag.push_back (ParamID (input->activeParam));
		EXPECT_EQ (handler.openGestures (), drag);
		EXPECT_EQ (window.captured, input->dragging ());
	}

	// The trail since the last mark (), tokens separated by blanks.
	std::string log () const
	{
		const std::vector<HandlerCall> calls = handler.calls ();
		std::string out;
		size_t w = windowMark;
		for (size_t i = handlerMark; i <= calls.size (); ++i)
		{
			for (; w < window.records.size () && window.records[w].first <= i; ++w)
				out += window.records[w].second + " ";
			if (i < calls.size ())
				out += token (calls[i]) + " ";
		}
		return out.empty () ? out : out.substr (0, out.size () - 1);
	}
	void mark () { handlerMark = handler.calls ().size (), windowMark = window.records.size (); }
	double value (int32 id) const { return controller->getParamNormalized (ParamID (id)); }
	void set (int32 id, double v) { controller->setParamNormalized (ParamID (id), v); }
	std::string text (int32 id) const
	{
		String128 s = {};
		controller->getParamStringByValue (ParamID (id), value (id), s);
		char narrow[128];
		UString (s, 128).toAscii (narrow, 128);
		return narrow;
	}
	static std::string presetTrail (int32 n)
	{
		std::string t;
		for (int32 i = 0; i < kNumParams; ++i)
		{
			const std::string id = std::to_string (i);
			t += (i ? " b" : "b") + id + " p" + id + "=" + num (kFactoryPresets[n].values[i]) + " i e" + id;
		}
		return t;
	}

	StrictComponentHandler handler;
	FakeWindow window {handler};
	IPtr<Controller> controller;
	std::unique_ptr<ControllerEditorHost> editorHost;
	std::unique_ptr<EditorInput> input;
	size_t handlerMark = 0, windowMark = 0;
};

} // namespace

TEST (EditorInputHelpers, SignedWordsAndShift)
{
	const uint32_t lParams[] = {0x00100020u, 0xFFFFFFFFu, 0x80007FFFu, 0x7FFF8000u};
	const int32 xy[][2] = {{32, 16}, {-1, -1}, {32767, -32768}, {-32768, 32767}};
	for (int k = 0; k < 4; ++k)
		EXPECT_TRUE (mousePoint (lParams[k]).x == xy[k][0] && mousePoint (lParams[k]).y == xy[k][1]) << k;
	EXPECT_TRUE (wheelInfo (0x00780000u).delta == 120 && !wheelInfo (0x00780000u).shift);
	EXPECT_TRUE (wheelInfo (0xFF880004u).delta == -120 && wheelInfo (0xFF880004u).shift);
	EXPECT_FALSE (wheelInfo (0x0001000Bu).shift); // left, right button and Ctrl flags
}

// The gesture rules themselves: each call sequence keeps them up to its last
// call, which breaks the named one (or none).
TEST (EditorInputGestureModel, RulesAndMessages)
{
	using K = HandlerCall::Kind;
	auto call = [] (K kind, ParamID id, double value = 0.5) {
		HandlerCall c;
		c.kind = kind;
		c.id = id;
		c.value = value;
		return c;
	};
	const HandlerCall b0 = call (K::BeginEdit, 0), p0 = call (K::PerformEdit, 0), e0 = call (K::EndEdit, 0);
	const HandlerCall b1 = call (K::BeginEdit, 1), p1 = call (K::PerformEdit, 1), e1 = call (K::EndEdit, 1);
	const HandlerCall dirty = call (K::SetDirty, 0);
	const struct
	{
		std::vector<HandlerCall> calls;
		const char* fault;
		std::vector<ParamID> open;
	} cases[] = {
		{{b0, p0, p0, e0, b0, e0}, "", {}},
		{{b0, b1, p1, p0, e0, p1}, "", {1}}, // gestures of different parameters overlap freely
		{{dirty, b1, dirty, p1, b0}, "", {0, 1}},
		{{b0, p0, b0}, "edit call 2, beginEdit(0): a second gesture of parameter 0 (the first began at edit call 0)", {0}},
		{{b1, p0}, "edit call 1, performEdit(0, 0.500000): no open gesture of parameter 0", {1}},
		{{b0, e0, p0}, "edit call 2, performEdit(0, 0.500000): no open gesture of parameter 0", {}},
		{{e1}, "edit call 0, endEdit(1): no open gesture of parameter 1 to end", {}},
		{{b0, e0, e0}, "edit call 2, endEdit(0): no open gesture of parameter 0 to end", {}},
		{{b1, call (K::PerformEdit, 1, 1.5)}, "edit call 1, performEdit(1, 1.500000): value outside 0..1", {1}},
		{{b1, call (K::PerformEdit, 1, std::nan (""))}, "value outside 0..1", {1}},
	};
	for (const auto& c : cases)
	{
		EditGestureModel model;
		std::string last;
		for (size_t i = 0; i < c.calls.size (); ++i)
		{
			last = model.apply (c.calls[i]);
			if (i + 1 < c.calls.size ())
			{
				EXPECT_EQ (last, "") << c.fault;
			}
		}
		EXPECT_NE (last.find (c.fault), std::string::npos) << last;
		EXPECT_EQ (last.empty (), *c.fault == 0) << last;
		EXPECT_EQ (model.open (), c.open) << c.fault;
	}
	// The strict handler fails the running test at the call, and still records it.
	StrictComponentHandler strict;
	EXPECT_NONFATAL_FAILURE (
		{
			strict.beginEdit (4);
			strict.beginEdit (4);
		},
		"a second gesture of parameter 4");
	EXPECT_EQ (strict.faults (), 1);
	EXPECT_EQ (strict.calls ().size (), 2u);
	EXPECT_NONFATAL_FAILURE (strict.performEdit (5, 0.0), "no open gesture of parameter 5");
	strict.endEdit (4);
	EXPECT_EQ (strict.openGestures (), std::vector<ParamID> {});
}

TEST_F (EditorInputTest, ControlCellsPerSkin)
{
	for (int32 skin : {kSkinOriginal, kSkinVintage, kSkinSilver})
	{
		controller->skin = skin;
		const bool s = skin == kSkinSilver;
		const int32 l = s ? 41 : 30, r = s ? 105 : 123, t = s ? 164 : 154, b = s ? 264 : 293;
		for (int32 i = 0; i < kNumParams; ++i)
		{
			const int32 cx = 103 * (i % 8), ry = 150 * (i / 8), want = i == kLegatoParam ? -1 : i;
			EXPECT_EQ (input->controlAt (cx + l, ry + t), want) << skin << " " << i;
			EXPECT_EQ (input->controlAt (cx + r, ry + b), want) << skin << " " << i;
			for (auto [x, y] : {std::pair (cx + l - 1, ry + t), std::pair (cx + r + 1, ry + b),
			                    std::pair (cx + l, ry + t - 1), std::pair (cx + r, ry + b + 1)})
				EXPECT_EQ (input->controlAt (x, y), -1) << skin << " " << i << ": " << x << "," << y;
		}
	}
}

TEST_F (EditorInputTest, DragGestureCaptureAndItsOneEnd)
{
	input->press (kTrX, kTrY, false);
	EXPECT_EQ (log (), "b10 c");
	EXPECT_TRUE (input->activeParam == kTransposeParam && input->dragLastY == kTrY && input->dragValue == 0.5);
	mark ();
	input->move (9999, kTrY - 1, false); // x plays no part; an unchanged value is still sent
	input->buttonUp ();                  // the release's WM_CAPTURECHANGED finds no drag
	input->buttonUp ();
	input->captureChanged ();
	input->endDrag ();
	input->move (kTrX, 0, false);
	EXPECT_EQ (log (), "p10=0.5 i e10 r");

	input->press (kSqX, kSqY, false);
	mark ();
	window.loseCapture (); // taken by another window: end, nothing to release
	EXPECT_EQ (input->activeParam, -1);
	input->buttonUp ();
	input->press (kSqX, kSqY, false);
	input->endDrag (); // removed () during a drag
	EXPECT_EQ (log (), "e0 b0 c e0 r");
}

TEST_F (EditorInputTest, DragArithmetic)
{
	// Transpose: a step after 17 px, then one every 33 1/3 px, either way.
	for (int32 dir : {-1, 1})
	{
		set (kTransposeParam, 0.5);
		input->press (kTrX, kTrY, false);
		std::vector<int32> changes;
		for (int32 d = 1; d <= 100; ++d)
		{
			const double before = value (kTransposeParam);
			input->move (kTrX, kTrY + dir * d, false);
			if (value (kTransposeParam) != before)
				changes.push_back (d);
		}
		EXPECT_EQ (changes, (std::vector<int32> {17, 50, 84}));
		EXPECT_EQ (value (kTransposeParam), dir < 0 ? 1.0 : 0.0);
		input->buttonUp ();
	}
	// Square: 0.005 per px, 0.0005 with Shift, clamped with no overshoot.
	input->press (kSqX, kSqY, false);
	input->move (0, kSqY - 10, false);
	EXPECT_DOUBLE_EQ (value (kSquareParam), 0.6);
	input->move (0, kSqY - 20, true);
	EXPECT_DOUBLE_EQ (value (kSquareParam), 0.605);
	input->move (0, kMin, false);
	input->move (0, kMin + 1, false);
	EXPECT_DOUBLE_EQ (value (kSquareParam), 0.995);
	input->move (0, kMax, false);
	EXPECT_EQ (value (kSquareParam), 0.0);
	input->buttonUp ();
	// Shift on a stepped parameter: 167 px for what 17 px do without.
	set (kTransposeParam, 0.5);
	input->press (kTrX, kTrY, true);
	input->move (0, kTrY - 166, true);
	EXPECT_EQ (value (kTransposeParam), 0.5);
	input->move (0, kTrY - 167, true);
	EXPECT_EQ (value (kTransposeParam), 4.0 / 6.0);
	input->buttonUp ();
}

TEST_F (EditorInputTest, SilverFaders)
{
	controller->skin = kSkinSilver;
	// Square at 0.55 has its thumb at y 210: within 10 px nothing jumps.
	mark ();
	for (int32 y : {200, 220})
		input->press (70, y, false), input->buttonUp ();
	EXPECT_EQ (log (), "b0 c e0 r b0 c e0 r");
	input->press (70, 210, false);
	input->move (0, 200, false);
	EXPECT_DOUBLE_EQ (value (kSquareParam), 0.675);
	input->move (0, 190, true);
	EXPECT_DOUBLE_EQ (value (kSquareParam), 0.6875);
	input->buttonUp ();
	// Farther: the value jumps at once and the drag goes on from there.
	set (kSquareParam, 0.55);
	mark ();
	input->press (70, 221, false);
	EXPECT_EQ (log (), "b0 c p0=0.4125 i");
	input->move (0, 220, false);
	EXPECT_DOUBLE_EQ (value (kSquareParam), 0.425);
	input->press (70, 164, false);
	EXPECT_EQ (value (kSquareParam), 1.0);
	input->press (70, 264, false);
	EXPECT_EQ (value (kSquareParam), 0.0);
	mark ();
	input->press (70, 164, true); // Shift never jumps
	EXPECT_EQ (log (), "e0 r b0 c");
	// Stepped: the controller gets the step, the drag keeps the pointer's value.
	input->press (280, 404 - 64, false);
	EXPECT_EQ (value (kTransposeParam), 5.0 / 6.0);
	EXPECT_DOUBLE_EQ (input->dragValue, 0.8);
	input->buttonUp ();
}

TEST_F (EditorInputTest, SkinButtons)
{
	const int32 cases[][3] = {{523, 42, 0}, {616, 69, 0}, {621, 50, 1}, {714, 50, 1}, {719, 50, 2}, {812, 69, 2},
	                          {617, 50, -1}, {620, 50, -1}, {813, 50, -1}, {522, 50, -1}, {600, 41, -1}, {600, 70, -1}};
	for (const auto& c : cases)
	{
		controller->skin = c[2] == kSkinVintage ? kSkinSilver : kSkinVintage;
		const int32 before = controller->skin;
		mark ();
		input->press (c[0], c[1], false);
		EXPECT_EQ (controller->skin, c[2] < 0 ? before : c[2]) << c[0] << "," << c[1];
		EXPECT_EQ (log (), c[2] < 0 ? "" : "d i") << c[0] << "," << c[1];
	}
	// The selected skin again; during a drag, which ends first; a double-click.
	input->press (kSqX, kSqY, false);
	mark ();
	input->press (750, 50, false);
	input->press (750, 50, false);
	input->doubleClick (750, 50);
	EXPECT_EQ (log (), "e0 r d i d i");
	EXPECT_EQ (controller->skin, kSkinSilver);
}

TEST_F (EditorInputTest, PresetBand)
{
	const int32 cases[][3] = {{30, 105, 0}, {179, 133, 0}, {189, 120, 0}, {190, 120, 1}, {669, 120, 3}, {670, 120, 4},
	                          {820, 120, 4}, {829, 133, 4}, {29, 120, -1}, {830, 120, -1}, {100, 104, -1}, {100, 134, -1}};
	for (const auto& c : cases)
	{
		mark ();
		input->press (c[0], c[1], false);
		input->doubleClick (c[0], c[1]); // no second load
		EXPECT_EQ (log (), c[2] < 0 ? "" : presetTrail (c[2])) << c[0] << "," << c[1];
	}
	// Lantern, then Bass, which overwrites every parameter.
	input->press (600, 120, false);
	input->press (400, 120, false);
	EXPECT_EQ (text (kTransposeParam), "-1 oct");
	EXPECT_EQ (text (kGlissandoParam), "70.0 ms");
	EXPECT_EQ (text (kTremoloDepthParam), "0.0 %");
	// Again: all 16 gestures again.
	mark ();
	input->press (400, 120, false);
	EXPECT_EQ (log (), presetTrail (2));
	// Without a component handler the controller still takes the values.
	controller->setComponentHandler (nullptr);
	mark ();
	input->press (700, 120, false);
	EXPECT_EQ (text (kGlissandoParam), "500.0 ms");
	EXPECT_EQ (text (kVibratoDepthParam), "12.0 cent");
	EXPECT_EQ (log ().find ('b'), std::string::npos);
}

TEST_F (EditorInputTest, LegatoSwitch)
{
	const int32 cases[][3] = {{658, 345, 0}, {693, 382, 0}, {694, 345, 1}, {727, 382, 1}};
	for (int32 skin : {kSkinOriginal, kSkinSilver})
		for (const auto& c : cases)
		{
			controller->skin = skin;
			mark ();
			input->press (c[0], c[1], false);
			input->move (c[0], 0, false); // not a drag
			input->buttonUp ();
			input->doubleClick (c[0], c[1]);
			const std::string one = "b14 p14=" + std::to_string (c[2]) + " i e14";
			EXPECT_EQ (log (), one + " " + one) << c[0] << "," << c[1];
		}
	input->wheel (670, kLegY, 120, false);
	EXPECT_EQ (value (kLegatoParam), 1.0);
	input->wheel (710, kLegY, -120, true);
	EXPECT_EQ (value (kLegatoParam), 0.0);
	input->wheel (710, kLegY, 59, false);
	EXPECT_EQ (value (kLegatoParam), 0.0);
}

TEST_F (EditorInputTest, DoubleClickResetsToTheDefault)
{
	set (kTransposeParam, 1.0);
	mark ();
	input->press (kTrX, kTrY, false);
	input->buttonUp ();
	input->doubleClick (kTrX, kTrY);
	EXPECT_EQ (log (), "b10 c e10 r b10 p10=0.5 i e10");
	EXPECT_EQ (text (kTransposeParam), "0 oct");
	for (int32 skin : {kSkinOriginal, kSkinSilver})
	{
		controller->skin = skin;
		input->applyPreset (4);
		for (int32 i = 0; i < kNumParams; ++i)
			if (i != kLegatoParam) // its place holds the switch
				input->doubleClick (103 * (i % 8) + 75, 150 * (i / 8) + 200);
		for (int32 i = 0; i < kNumParams; ++i)
			EXPECT_EQ (value (i), specs[i].defaultNormalized) << skin << " " << i;
	}
}

TEST_F (EditorInputTest, WheelSteps)
{
	mark ();
	input->wheel (kSqX, kSqY, 120, false);
	EXPECT_EQ (log (), "b0 p0=0.575 i e0");
	input->wheel (kSqX, kSqY, -240, true);
	EXPECT_DOUBLE_EQ (value (kSquareParam), 0.57);
	input->wheel (kSqX, kSqY, 120 * 100, false);
	EXPECT_EQ (value (kSquareParam), 1.0);
	// Stepped: one step per notch with or without Shift; under half a notch
	// nothing changes.
	for (bool shift : {false, true})
	{
		set (kTransposeParam, 0.5);
		input->wheel (kTrX, kTrY, 120, shift);
		EXPECT_EQ (value (kTransposeParam), 4.0 / 6.0);
		input->wheel (kTrX, kTrY, -59, shift);
		EXPECT_EQ (value (kTransposeParam), 4.0 / 6.0);
	}
	controller->skin = kSkinSilver; // a knob cell's point outside the fader cell
	mark ();
	input->wheel (kSqX, 160, 120, false);
	EXPECT_EQ (log (), "");
}

// The drag owns its parameter's gesture and its running value: a wheel turn
// anywhere during it changes nothing, and the drag goes on from its own value.
TEST_F (EditorInputTest, WheelDuringADragIsIgnored)
{
	for (int32 skin : {kSkinOriginal, kSkinSilver})
	{
		controller->skin = skin;
		set (kSquareParam, 0.5);
		input->press (kSqX, 214, true); // Shift: no SILVER jump
		input->move (0, 204, false);
		const double dragged = value (kSquareParam);
		EXPECT_GT (dragged, 0.5);
		mark ();
		for (auto [x, y] : {std::pair (kSqX, 214), std::pair (kTrX, kTrY), std::pair (710, kLegY), std::pair (5, 5)})
			for (int32 delta : {120, -240, 1})
				input->wheel (x, y, delta, delta < 0);
		EXPECT_EQ (log (), "") << skin;
		EXPECT_EQ (value (kSquareParam), dragged);
		EXPECT_TRUE (input->dragLastY == 204 && input->dragValue == dragged) << skin;
		input->move (0, 204, false); // 0 px: the dragged value again
		EXPECT_EQ (log (), "p0=" + num (dragged) + " i") << skin;
		input->buttonUp ();
	}
	// After the drag the wheel works again.
	controller->skin = kSkinOriginal;
	const double before = value (kSquareParam);
	mark ();
	input->wheel (kSqX, kSqY, 120, false);
	EXPECT_DOUBLE_EQ (value (kSquareParam), before + 0.025);
	EXPECT_EQ (log (), "b0 p0=" + num (value (kSquareParam)) + " i e0");
}

TEST_F (EditorInputTest, OutsideEverythingAndExtremeCoordinates)
{
	mark ();
	for (int32 x : {kMin, -32768, -1, 0, 640, 657, 728, 859, 32767, kMax})
		for (int32 y : {kMin, -32768, -1, 20, 90, 140, 300, 344, 383, 500, 529, 32767, kMax})
		{
			input->press (x, y, false);
			input->move (x, y, true);
			input->doubleClick (x, y);
			input->wheel (x, y, x < 0 ? -32768 : 32767, true);
		}
	EXPECT_EQ (log (), "");
	// A press while a drag is still open ends that drag first.
	input->press (kSqX, kSqY, false);
	input->press (kTrX, kTrY, false);
	input->doubleClick (kTrX, kTrY);
	EXPECT_EQ (log (), "b0 c e0 r b10 c e10 r b10 p10=0.5 i e10");
	// Without a window the gestures still close.
	EditorInput bare (*editorHost, nullptr);
	bare.press (kSqX, kSqY, false);
	bare.move (0, 0, false);
	bare.buttonUp ();
	EXPECT_EQ (bare.activeParam, -1);
}

TEST_F (EditorInputTest, RandomMessagesLeaveNoGestureOpen)
{
	std::mt19937 rng (20240611);
	auto pick = [&] (int32 lo, int32 hi) { return std::uniform_int_distribution<int32> (lo, hi) (rng); };
	auto coord = [&] {
		const int32 k = pick (0, 9);
		return k == 0 ? kMin : k == 1 ? kMax : k == 2 ? pick (-32768, 32767) : pick (-20, 880);
	};
	for (int n = 0; n < 20000; ++n)
	{
		const bool shift = pick (0, 1) != 0;
		switch (pick (0, 8))
		{
			case 0: input->press (coord (), coord (), shift); break;
			case 1: input->move (coord (), coord (), shift); break;
			case 2: input->buttonUp (); break;
			case 3: window.loseCapture (); break;
			case 4: input->doubleClick (coord (), coord ()); break;
			case 5: input->wheel (coord (), coord (), pick (-32768, 32767), shift); break;
			case 6: input->endDrag (); break;
			case 7: controller->skin = pick (-1, 3); break;
			default: input->press (pick (0, 859), pick (0, 529), shift); break;
		}
		ASSERT_EQ (input->dragging (), window.captured) << n;
		ASSERT_EQ (handler.faults (), 0) << n;
		ASSERT_TRUE (input->activeParam != kLegatoParam && input->activeParam < kNumParams) << n;
		ASSERT_TRUE (input->dragValue >= 0.0 && input->dragValue <= 1.0) << n;
		for (int32 i = 0; i < kNumParams; ++i)
			ASSERT_EQ (value (i), snapNormalized (i, value (i))) << n << " " << i;
	}
	input->buttonUp ();
}

// ---------------------------------------------------------------------------
// Gesture sequences: mouse messages in any order never break the host's
// gesture rules, and once the button is up, the capture lost or the drag
// ended, no gesture is left open.

namespace {

struct Spot
{
	int32 x, y;
};
constexpr Spot kOnSquare = {kSqX, kSqY}, kOnTranspose = {kTrX, kTrY}, kOnLegato = {710, kLegY},
               kOnOriginal = {570, 55}, kOnSilver = {766, 55}, kOnPreset = {400, 120}, kOnNothing = {10, 10};

struct Step
{
	enum Op
	{
		Press,
		Move, // arg pixels up from where the drag last was
		Up,
		Lost, // the capture taken by another window
		Double,
		Wheel, // arg = delta
		End,   // endDrag ()
	} op;
	Spot at = {0, 0};
	int32 arg = 0;
	bool shift = false;
};

Step press (Spot s, bool shift = false) { return {Step::Press, s, 0, shift}; }
Step moveUp (int32 pixels, bool shift = false) { return {Step::Move, {0, 0}, pixels, shift}; }
Step wheel (Spot s, int32 delta, bool shift = false) { return {Step::Wheel, s, delta, shift}; }
Step doubleClick (Spot s) { return {Step::Double, s}; }
const Step kUp = {Step::Up}, kLost = {Step::Lost}, kEnd = {Step::End};

std::string describe (const Step& s)
{
	const char* names[] = {"press", "move", "up", "lost", "double-click", "wheel", "endDrag"};
	std::string t = names[s.op];
	if (s.op == Step::Move || s.op == Step::Wheel)
		t += " " + std::to_string (s.arg) + (s.op == Step::Move ? " px up" : "");
	if (s.op == Step::Press || s.op == Step::Double || s.op == Step::Wheel)
		t += " at " + std::to_string (s.at.x) + "," + std::to_string (s.at.y);
	return s.shift ? t + " with Shift" : t;
}

} // namespace

class EditorInputSequences : public EditorInputTest
{
protected:
	void run (const Step& s)
	{
		switch (s.op)
		{
			case Step::Press: input->press (s.at.x, s.at.y, s.shift); break;
			case Step::Move: input->move (0, input->dragLastY - s.arg, s.shift); break;
			case Step::Up: input->buttonUp (); break;
			case Step::Lost: window.loseCapture (); break;
			case Step::Double: input->doubleClick (s.at.x, s.at.y); break;
			case Step::Wheel: input->wheel (s.at.x, s.at.y, s.arg, s.shift); break;
			case Step::End: input->endDrag (); break;
		}
	}
	// Runs the steps from the ORIGINAL skin, checking between steps that
	// only the drag's gesture is open and at the end that none is.
	void runSequence (const std::vector<Step>& steps)
	{
		controller->skin = kSkinOriginal;
		for (size_t k = 0; k < steps.size (); ++k)
		{
			SCOPED_TRACE ("step " + std::to_string (k) + ": " + describe (steps[k]));
			run (steps[k]);
			expectOnlyTheDragOpen ();
		}
		EXPECT_EQ (handler.openGestures (), std::vector<ParamID> {});
		EXPECT_FALSE (input->dragging () || window.captured);
	}
};

TEST_F (EditorInputSequences, TableOfGestureSequences)
{
	const struct
	{
		const char* name;
		std::vector<Step> steps;
	} sequences[] = {
		{"wheel over the dragged knob, then a 0 px move",
		 {press (kOnSquare), moveUp (10), wheel (kOnSquare, 120), moveUp (0), kUp}},
		{"wheel over other controls during a drag",
		 {press (kOnSquare), wheel (kOnTranspose, -120), wheel (kOnLegato, 120), wheel (kOnNothing, 120), moveUp (5), kUp}},
		{"wheel, capture lost, wheel",
		 {press (kOnTranspose), wheel (kOnTranspose, 1200, true), kLost, wheel (kOnTranspose, 120), kEnd}},
		{"press on another knob during a drag",
		 {press (kOnSquare), moveUp (3), press (kOnTranspose), wheel (kOnSquare, 120), moveUp (0), kUp}},
		{"double-clicks during a drag",
		 {press (kOnSquare), moveUp (3), doubleClick (kOnSquare), wheel (kOnSquare, 120), doubleClick (kOnLegato), kUp}},
		{"skin buttons during drags",
		 {press (kOnSquare), wheel (kOnSquare, -120), press (kOnSilver), wheel (kOnSquare, 120), press (kOnSquare),
		  wheel (kOnSquare, 120), moveUp (0), press (kOnSilver), press (kOnSquare, true), moveUp (7, true),
		  press (kOnOriginal), kUp}},
		{"preset band during a drag",
		 {press (kOnTranspose), moveUp (20), press (kOnPreset), wheel (kOnTranspose, 120), moveUp (0), press (kOnPreset),
		  kUp}},
		{"Legato switch during a drag", {press (kOnSquare), press (kOnLegato), wheel (kOnLegato, 120), moveUp (0), kUp}},
		{"press outside everything during a drag",
		 {press (kOnSquare), moveUp (1), press (kOnNothing), wheel (kOnSquare, 120), kUp}},
		{"ends with nothing to end",
		 {press (kOnSquare), kUp, kUp, kLost, kEnd, wheel (kOnSquare, 120), doubleClick (kOnTranspose), kUp}},
		{"endDrag, then wheel and moves",
		 {press (kOnSquare), moveUp (2), kEnd, wheel (kOnSquare, 120), moveUp (0), wheel (kOnSquare, -120), kUp}},
		{"capture lost, then moves and wheel",
		 {press (kOnTranspose), kLost, moveUp (10), wheel (kOnTranspose, 120), kLost}},
		{"double-click without its button-up, then a drag",
		 {press (kOnTranspose), doubleClick (kOnTranspose), press (kOnTranspose), wheel (kOnTranspose, -120), moveUp (40),
		  kEnd}},
	};
	for (const auto& q : sequences)
	{
		SCOPED_TRACE (q.name);
		runSequence (q.steps);
	}
}

TEST_F (EditorInputSequences, RandomGestureSequences)
{
	std::mt19937 rng (7211);
	auto pick = [&] (int32 lo, int32 hi) { return std::uniform_int_distribution<int32> (lo, hi) (rng); };
	const Spot spots[] = {kOnSquare, kOnTranspose, kOnLegato, kOnOriginal, kOnSilver, kOnPreset, kOnNothing};
	const Step closers[] = {kUp, kLost, kEnd};
	for (int n = 0; n < 400 && !HasFailure (); ++n)
	{
		std::vector<Step> steps;
		for (int32 k = pick (1, 12); k > 0; --k)
		{
			Step s = {static_cast<Step::Op> (pick (Step::Press, Step::End)), spots[pick (0, 6)], 0, pick (0, 3) == 0};
			s.arg = s.op == Step::Wheel ? pick (-3, 3) * 120 : pick (-30, 30);
			steps.push_back (s);
		}
		steps.push_back (closers[pick (0, 2)]);
		SCOPED_TRACE ("sequence " + std::to_string (n));
		runSequence (steps);
	}
}

// At a content scale the same gestures, played at the window pixels that
// show the same panel points (drags over the same panel distance), give the
// host exactly the calls they give at 1.0: on knobs and faders, with and
// without Shift, for double-clicks, wheel notches, presets, the Legato
// switch and the skin buttons.
TEST_F (EditorInputTest, SameCallsAtEveryScale)
{
	enum Op { Press, Move, Up, Double, Wheel };
	struct Step
	{
		Op op;
		int32 x, y; // panel point; for Move, y is the distance moved up
		bool shift;
		int32 delta;
	};
	const std::vector<Step> script = {
		{Press, kSqX, kSqY, false, 0}, {Move, 0, 10, false, 0}, {Move, 0, -20, true, 0}, {Up, 0, 0, false, 0},
		{Double, kSqX, kSqY, false, 0}, {Wheel, kTrX, kTrY, false, 120}, {Wheel, kSqX, kSqY, true, -240},
		{Press, 70, 221, false, 0}, {Move, 0, 12, false, 0}, {Up, 0, 0, false, 0}, // a fader's jump on SILVER
		{Press, 280, 340, true, 0}, {Move, 0, 30, false, 0}, {Up, 0, 0, false, 0},
		{Press, 400, 120, false, 0}, {Press, 700, 345, false, 0}, {Double, 660, 360, false, 0},
		{Press, kOverlayLayout.skinButtonLeft + 5, kOverlayLayout.skinButtonTop + 5, false, 0}};
	auto play = [&] (int32 skin, double f) {
		set (kSquareParam, 0.55);
		set (kTransposeParam, 0.5);
		controller->skin = skin;
		input->setScale (f);
		// The window pixel whose centre is the panel pixel's centre, or the
		// first one past it.
		auto at = [f] (int32 v) { return static_cast<int32> (std::floor (v * f + f / 2)); };
		int32 y = 0;
		mark ();
		for (const Step& s : script)
		{
			switch (s.op)
			{
				case Press: input->press (at (s.x), y = at (s.y), s.shift); break;
				case Move: input->move (0, y -= static_cast<int32> (s.y * f), s.shift); break;
				case Up: input->buttonUp (); break;
				case Double: input->doubleClick (at (s.x), at (s.y)); break;
				case Wheel: input->wheel (at (s.x), at (s.y), s.delta, s.shift); break;
			}
		}
		input->buttonUp ();
		return log ();
	};
	for (int32 skin : {kSkinOriginal, kSkinVintage, kSkinSilver})
	{
		const std::string atOne = play (skin, 1.0);
		EXPECT_GT (std::count (atOne.begin (), atOne.end (), 'b'), 20) << "the script edits";
		for (double f : {1.5, 2.0, 3.0})
			EXPECT_EQ (play (skin, f), atOne) << "skin " << skin << " at " << f;
	}
	// A new scale in the middle of a drag ends the drag.
	input->setScale (1.0);
	input->press (kSqX, kSqY, false);
	mark ();
	input->setScale (2.0);
	EXPECT_EQ (log (), "e0 r");
}

// The typed-value field: what it holds as keys come, and the exact calls of
// Enter (applied as one gesture, or refused with the note) and of a cancel.
TEST_F (EditorInputTest, TypedValueField)
{
	ValueEntry entry (*editorHost);
	EXPECT_FALSE (entry.open (kNumParams));
	EXPECT_FALSE (entry.open (-1));
	auto parsed = [this] (int32 id, const std::string& t) {
		double v = -1;
		EXPECT_TRUE (editorHost->valueFromText (id, t, v)) << t;
		return num (snapNormalized (id, v));
	};
	struct Case
	{
		int32 id;
		std::vector<std::string> keys; // "\b" Backspace, "\r" Enter, "\x1b" Escape, else typed
		std::string text;              // the field's text at the end ("" once closed)
		std::string trail;
	};
	set (kAttackParam, 0.3);
	const std::string legatoOn = editorHost->valueText (kLegatoParam, 1.0);
	const Case cases[] = {
		{kAttackParam, {"1500", "\r"}, "", "b3 p3=" + parsed (kAttackParam, "1500") + " i e3"},
		{kTransposeParam, {"1", "\r"}, "", "b10 p10=" + parsed (kTransposeParam, "1") + " i e10"},
		{kLegatoParam, {legatoOn, "\r"}, "", "b14 p14=1 i e14"},
		{kAttackParam, {"15", "\b", "0", "0", "\r"}, "", "b3 p3=" + parsed (kAttackParam, "100") + " i e3"},
		{kAttackParam, {"fast", "\r"}, ValueEntry::kRefusedNote, ""},
		{kAttackParam, {"fast", "\r", "2"}, "2", ""},           // typing replaces the note
		{kAttackParam, {"\xc3\xa9\t"}, text (kAttackParam), ""}, // nothing typable: the text stays, selected
		{kAttackParam, {"\b"}, "", ""},                          // Backspace clears the selection
		{kSineParam, {"50", "\x1b"}, "", ""},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE (c.keys.front ());
		set (kAttackParam, 0.3);
		mark ();
		ASSERT_TRUE (entry.open (c.id));
		EXPECT_EQ (entry.text (), editorHost->valueText (c.id, value (c.id)));
		EXPECT_TRUE (entry.allSelected ());
		bool applied = false;
		for (const std::string& k : c.keys)
		{
			if (k == "\b")
				entry.backspace ();
			else if (k == "\r")
				applied = entry.commit (*input);
			else if (k == "\x1b")
				entry.cancel ();
			else
				entry.type (k);
		}
		EXPECT_EQ (entry.text (), c.text);
		EXPECT_EQ (applied, !c.trail.empty ());
		EXPECT_EQ (entry.refused (), c.text == ValueEntry::kRefusedNote);
		EXPECT_EQ (log (), c.trail);
		entry.cancel ();
	}
	EXPECT_FALSE (entry.commit (*input)); // nothing open
}

// The menu's items and what their tags mean; the drawn menu's hit areas;
// the zoom for a proposed size.
TEST (EditorMenuAndZoom, ItemsChoicesHitAreasAndSizes)
{
	std::vector<int32> tags;
	for (const MenuItem& item : pluginMenuItems (kAttackParam, 1.25))
		tags.push_back (item.checked ? -item.tag : item.separatorBefore ? item.tag + 1 : item.tag);
	EXPECT_EQ (tags, (std::vector<int32> {1, 2, 1076, 1100, -1125, 1150, 1200}));
	EXPECT_EQ (pluginMenuItems (-1, 0.6).size (), size_t (kNumZoomChoices)); // nothing checked, no parameter items
	for (const MenuItem& item : pluginMenuItems (0, 1.0))
	{
		const MenuChoice c = menuChoice (item.tag);
		EXPECT_NE (c.kind, MenuChoice::None);
		if (c.kind == MenuChoice::Zoom)
		{
			EXPECT_EQ (kMenuZoomBase + int32 (std::lround (c.zoom * 100)), item.tag);
		}
	}
	EXPECT_EQ (menuChoice (1099).kind, MenuChoice::None);

	// Opened near the bottom right corner it moves onto the panel; items
	// are 20 pixels high, with 7 more above the first zoom item.
	PanelMenu menu;
	menu.open (pluginMenuItems (kAttackParam, 1.0), kAttackParam, 850, 520);
	const Rect r = menu.bounds ();
	EXPECT_TRUE (r.right == kPanelWidth && r.bottom == kPanelHeight && r.bottom - r.top == 7 * 20 + 7);
	EXPECT_EQ (menu.itemAt (r.left + 5, r.top), 0);
	EXPECT_EQ (menu.itemAt (r.left + 5, r.top + 40 + 3), -1); // the separator
	EXPECT_EQ (menu.itemAt (r.left + 5, r.top + 47), 2);
	EXPECT_EQ (menu.itemAt (r.left - 1, r.top), -1);
	menu.step (-1);
	EXPECT_EQ (menu.highlighted, 6);
	menu.step (1);
	EXPECT_EQ (menu.highlighted, 0);
	menu.open (pluginMenuItems (-1, 1.0), -1, 100, 100); // opened again, elsewhere
	EXPECT_TRUE (menu.bounds ().left == 100 && menu.bounds ().top == 100 && menu.highlighted == -1);

	struct Size
	{
		int w, h;
		double scale, current, zoom;
	};
	for (const Size& c : {Size {1147, 707, 4.0 / 3, 1.0, 1.0}, Size {1075, 663, 1, 1, 1.25}, Size {860, 9999, 1, 1, 1},
	                      Size {10, 10, 1, 1, 0.5}, Size {99999, 99999, 1, 1, 2}, Size {1200, 663, 1, 1, 663 / 530.0}})
		EXPECT_DOUBLE_EQ (zoomForSize (c.w, c.h, c.scale, c.current), c.zoom) << c.w << " x " << c.h;
}
