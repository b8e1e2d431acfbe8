// The editor core both windows share: when the timer repaints, how X11
// presses become double-clicks, and the layout tables that the painting and
// the hit-testing both read.
#include "editor/EditorCore.h"
#include "editor/skins/PanelLayout.h"
#include "formats/vst3/ControllerEditorHost.h"
#include "vst3host/HostObjects.h"

#include <gtest/gtest.h>

using namespace Tarno;
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// Takes every drawing call and draws nothing.
class NullCanvas : public Canvas
{
public:
	void save () override {}
	void restore () override {}
	void fillRect (const Rect&, Rgb) override {}
	void fillRectWithPanelBrush (const Rect&) override {}
	void ellipseOutline (const Rect&, Rgb, int) override {}
	void line (Point, Point, Rgb, int) override {}
	void textAt (int, int, const char*, const FontSpec&, Rgb) override {}
	void textInRect (const Rect&, const char*, const FontSpec&, Rgb, unsigned) override {}
	void textInRectW (const Rect&, const char16_t*, const FontSpec&, Rgb, unsigned) override {}
	void aaFillRect (const RectF&, const Fill&) override {}
	void aaFillEllipse (const RectF&, const Fill&) override {}
	void aaRectOutline (const RectF&, Argb, float) override {}
	void aaLine (PointF, PointF, Argb, float, bool) override {}
	void aaArc (const RectF&, float, float, Argb, float, bool) override {}
	void aaCurve (const PointF*, int, float, Argb, float) override {}
};

struct CoreFixture
{
	CoreFixture ()
	{
		controller = owned (static_cast<Controller*> (static_cast<IEditController*> (Controller::create (nullptr))));
		EXPECT_EQ (controller->initialize (nullptr), kResultOk);
		controller->setComponentHandler (&handler);
		editorHost = std::make_unique<ControllerEditorHost> (*controller);
		core = std::make_unique<EditorCore> (*editorHost, nullptr);
	}
	~CoreFixture () { controller->terminate (); }

	Tarno::Host::RecordingComponentHandler handler;
	IPtr<Controller> controller;
	std::unique_ptr<ControllerEditorHost> editorHost;
	std::unique_ptr<EditorCore> core;
	NullCanvas canvas;
};

} // namespace

// The timer repaints an idle editor only when something it shows changed;
// the Windows timer's `always` repaints ten times a second; a drag stops
// both (its own steps repaint).
TEST (EditorCore, TimerRepaintsWhatChanged)
{
	CoreFixture f;
	const Point cell = skinLayout (kSkinOriginal).cell (kSquareParam);
	struct Step
	{
		const char* what;
		std::function<void ()> act;
		bool wantsWhenChanged, wantsAlways;
	};
	const Step steps[] = {
		{"nothing painted yet", [] {}, true, true},
		{"painted", [&] { f.core->paint (f.canvas); }, false, true},
		{"a host sets a value", [&] { f.controller->setParamNormalized (kOutputParam, 0.25); }, true, true},
		{"painted again", [&] { f.core->paint (f.canvas); }, false, true},
		{"the same value again", [&] { f.controller->setParamNormalized (kOutputParam, 0.25); }, false, true},
		{"hidden parameter", [&] { f.controller->setParamNormalized (Tarno::kModWheelParam, 0.7); }, false, true},
		{"skin restored", [&] { f.controller->skin = kSkinSilver; }, true, true},
		{"painted", [&] { f.core->paint (f.canvas); }, false, true},
		{"drag starts", [&] { f.core->input.press (cell.x + 40, cell.y + 60, false); }, false, false},
		{"drag moves", [&] { f.core->input.move (cell.x + 40, cell.y + 50, false); }, false, false},
		{"painted during drag", [&] { f.core->paint (f.canvas); }, false, false},
		{"drag ends", [&] { f.core->input.buttonUp (); }, true, true},
		{"painted", [&] { f.core->paint (f.canvas); }, false, true},
	};
	for (const Step& step : steps)
	{
		step.act ();
		EXPECT_EQ (f.core->wantsTimerRepaint (false), step.wantsWhenChanged) << step.what;
		EXPECT_EQ (f.core->wantsTimerRepaint (true), step.wantsAlways) << step.what;
	}
}

// Presses become a double-click within 400 ms, 4 pixels and the same
// control; the press that completes one does not start the next.
TEST (EditorCore, DoubleClickDetection)
{
	struct Press
	{
		uint32_t time;
		int32_t x, y, control;
		bool isDouble;
	};
	struct Case
	{
		const char* what;
		std::vector<Press> presses;
	};
	const Case cases[] = {
		{"quick pair", {{1000, 50, 50, 3, false}, {1300, 51, 49, 3, true}}},
		{"at the limits", {{1000, 50, 50, 3, false}, {1400, 54, 46, 3, true}}},
		{"too slow", {{1000, 50, 50, 3, false}, {1401, 50, 50, 3, false}}},
		{"too far", {{1000, 50, 50, 3, false}, {1100, 55, 50, 3, false}}},
		{"other control", {{1000, 50, 50, 3, false}, {1100, 50, 50, 4, false}}},
		{"triple press", {{1000, 50, 50, 3, false}, {1100, 50, 50, 3, true}, {1200, 50, 50, 3, false}}},
		{"slow then quick", {{0, 5, 5, -1, false}, {900, 5, 5, -1, false}, {1000, 5, 5, -1, true}}},
		{"server time wraps", {{0xFFFFFF00u, 50, 50, 3, false}, {0x40, 50, 50, 3, true}}},
		{"time runs back", {{1000, 50, 50, 3, false}, {900, 50, 50, 3, false}}},
	};
	for (const Case& c : cases)
	{
		DoubleClickDetector detector;
		for (size_t n = 0; n < c.presses.size (); ++n)
		{
			const Press& p = c.presses[n];
			EXPECT_EQ (detector.press (p.time, p.x, p.y, p.control), p.isDouble) << c.what << ", press " << n;
		}
	}
}

// What each skin paints where is what the input hits there: every control
// box's corners, the skin buttons' painted rectangles and the preset band's
// buttons.
TEST (EditorCore, LayoutTablesAgreeWithHitTesting)
{
	CoreFixture f;
	EditorInput& input = f.core->input;
	for (int32_t skin = 0; skin < kNumSkins; ++skin)
	{
		SCOPED_TRACE (skin);
		f.controller->skin = skin;
		const SkinLayout& layout = skinLayout (skin);
		for (int32_t i = 0; i < kNumParams; ++i)
		{
			const Point cell = layout.cell (i);
			const PixelBox& box = layout.control;
			const int32_t expected = i == kLegatoParam ? -1 : i;
			EXPECT_EQ (input.controlAt (cell.x + box.left, cell.y + box.top), expected) << i;
			EXPECT_EQ (input.controlAt (cell.x + box.right, cell.y + box.bottom), expected) << i;
			EXPECT_NE (input.controlAt (cell.x + box.left - 1, cell.y + box.top), i) << i;
			EXPECT_NE (input.controlAt (cell.x + box.right, cell.y + box.bottom + 1), i) << i;
		}
		const PixelBox band = layout.presetBand ();
		EXPECT_EQ (band.right, layout.presetLeft + 4 * layout.presetPitch + layout.presetWidth + 9);
	}
	for (int32_t k = 0; k < kNumSkins; ++k)
	{
		const Rect r = kOverlayLayout.skinButton (k);
		EXPECT_EQ (kOverlayLayout.skinButtonAt (r.left, r.top), k);
		EXPECT_EQ (kOverlayLayout.skinButtonAt (r.right - 1, r.bottom), k);
		EXPECT_EQ (kOverlayLayout.skinButtonAt (r.right, r.top), -1);
		EXPECT_EQ (kOverlayLayout.skinButtonAt (r.left, r.bottom + 1), -1);
	}
}
