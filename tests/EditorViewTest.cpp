// The editor view's VST 3 answers that need no window: the parameter under a
// point (IParameterFinder) in every skin at two content scales and two
// zooms, the size constraints of the resizable view, and the zoom in the
// controller's state, states of the first version included.
#include "editor/EditorZoom.h"
#include "editor/skins/PanelLayout.h"
#include "formats/vst3/Controller.h"
#include "params/ParamTable.h"
#include "tests/StreamUtil.h"

#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "pluginterfaces/vst/ivstplugview.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Tarno;
using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace TarnoTest;

namespace {

class EditorViewTest : public ::testing::Test
{
protected:
	void SetUp () override
	{
		controller = owned (static_cast<Controller*> (static_cast<IEditController*> (Controller::create (nullptr))));
		ASSERT_EQ (controller->initialize (nullptr), kResultOk);
		view = owned (controller->createView (ViewType::kEditor));
		if (!view)
			GTEST_SKIP () << "this build has no editor view";
	}
	void TearDown () override
	{
		view = nullptr;
		controller->terminate ();
	}
	Bytes state (int32 skin, double zoom)
	{
		controller->skin = skin;
		controller->zoom = zoom;
		MemoryStream out;
		EXPECT_EQ (controller->getState (&out), kResultOk);
		return bytesOf (out);
	}

	IPtr<Controller> controller;
	IPtr<IPlugView> view;
};

// The window pixel whose centre lies in panel pixel v at drawing scale f.
int32 at (int32 v, double f) { return int32 (std::floor (v * f + f / 2)); }

} // namespace

TEST_F (EditorViewTest, FinderInEverySkinAtTwoScalesAndTwoZooms)
{
	FUnknownPtr<IParameterFinder> finder (view);
	FUnknownPtr<IPlugViewContentScaleSupport> scaling (view);
	ASSERT_TRUE (finder && scaling);
	for (int32 skin = 0; skin < kNumSkins; ++skin)
		for (double scale : {1.0, 2.0})
			for (double zoom : {1.0, 1.5})
			{
				controller->skin = skin;
				ASSERT_EQ (scaling->setContentScaleFactor (float (scale)), kResultTrue);
				const PanelSize size = zoomedPanelSize (scale, zoom);
				ViewRect r (0, 0, size.width, size.height);
				ASSERT_EQ (view->onSize (&r), kResultOk);
				const double f = scale * zoom;
				const SkinLayout& l = skinLayout (skin);
				const std::string where = "skin " + std::to_string (skin) + " at " + std::to_string (f);
				ParamID tag = 99;
				for (int32 id = 0; id < kNumParams; ++id)
				{
					const Point c = l.cell (id);
					const PixelBox& b = l.control;
					const PixelBox& s = kOverlayLayout.legato;
					// The corners of the control box (or the switch) are in,
					// the pixel right of it out.
					const PixelBox box = id == kLegatoParam ? s : PixelBox {c.x + b.left, c.y + b.top, c.x + b.right, c.y + b.bottom};
					for (const Point p : {Point {box.left, box.top}, Point {box.right, box.bottom}})
					{
						tag = 99;
						EXPECT_EQ (finder->findParameter (at (p.x, f), at (p.y, f), tag), kResultTrue) << where;
						EXPECT_EQ (tag, ParamID (id)) << where;
					}
					EXPECT_EQ (finder->findParameter (at (box.right + 1, f), at (box.top, f), tag), kResultFalse)
						<< id << " " << where;
				}
				EXPECT_EQ (finder->findParameter (at (5, f), at (5, f), tag), kResultFalse) << where;
				EXPECT_EQ (finder->findParameter (-1, -1, tag), kResultFalse) << where;
			}
}

TEST_F (EditorViewTest, SizeConstraintsKeepTheAspectFromHalfToDouble)
{
	EXPECT_EQ (view->canResize (), kResultTrue);
	EXPECT_EQ (view->checkSizeConstraint (nullptr), kInvalidArgument);
	EXPECT_EQ (view->onSize (nullptr), kInvalidArgument);
	struct Case
	{
		double scale;
		int32 width, height;   // proposed
		int32 fitW, fitH;      // constrained
	};
	const Case cases[] = {
		{1, 860, 530, 860, 530},    {1, 2000, 2000, 1720, 1060}, {1, 100, 100, 430, 265},
		{1, 1075, 9999, 1075, 663}, {1, 9999, 397, 644, 397},    {1, -5, 0, 430, 265},
		{2, 860, 530, 860, 530},    {2, 400, 400, 860, 530},     {2, 5000, 5000, 3440, 2120},
		{2, 2150, 1325, 2150, 1325},
	};
	FUnknownPtr<IPlugViewContentScaleSupport> scaling (view);
	for (const Case& c : cases)
	{
		ASSERT_EQ (scaling->setContentScaleFactor (float (c.scale)), kResultTrue);
		ViewRect r (10, 20, 10 + c.width, 20 + c.height);
		EXPECT_EQ (view->checkSizeConstraint (&r), kResultTrue);
		EXPECT_EQ (r.left, 10);
		EXPECT_EQ (r.top, 20);
		EXPECT_EQ (r.getWidth (), c.fitW) << c.scale << " " << c.width << " x " << c.height;
		EXPECT_EQ (r.getHeight (), c.fitH) << c.scale << " " << c.width << " x " << c.height;
		// onSize takes the same size, and the view reports it.
		ViewRect given (0, 0, c.width, c.height), now;
		EXPECT_EQ (view->onSize (&given), kResultOk);
		EXPECT_EQ (view->getSize (&now), kResultOk);
		EXPECT_TRUE (now.getWidth () == c.fitW && now.getHeight () == c.fitH) << now.getWidth () << " x " << now.getHeight ();
	}
	// A content scale keeps the zoom: 150 % at scale 1, then scale 2.
	ASSERT_EQ (scaling->setContentScaleFactor (1.f), kResultTrue);
	ViewRect r (0, 0, 1290, 795), now;
	view->onSize (&r);
	EXPECT_EQ (controller->zoom, 1.5);
	ASSERT_EQ (scaling->setContentScaleFactor (2.f), kResultTrue);
	view->getSize (&now);
	EXPECT_TRUE (now.getWidth () == 2580 && now.getHeight () == 1590) << now.getWidth () << " x " << now.getHeight ();
}

TEST_F (EditorViewTest, ZoomInTheControllersStateAndOlderStates)
{
	// Written: the first version's three words, then the zoom's version and the zoom.
	const Bytes written = state (kSkinSilver, 1.25);
	Bytes expected;
	appendLe32 (expected, 0x54565549);
	appendLe32 (expected, 1);
	appendLe32 (expected, uint32_t (kSkinSilver));
	appendLe32 (expected, 2);
	appendLeDouble (expected, 1.25);
	EXPECT_EQ (written, expected);

	struct Case
	{
		const char* what;
		Bytes bytes;
		tresult result;
		int32 skin;
		double zoom;
	};
	Bytes firstVersion (expected.begin (), expected.begin () + 12);
	Bytes tooLarge (expected.begin (), expected.begin () + 16), truncated = tooLarge, oldExtension = firstVersion;
	appendLeDouble (tooLarge, 2.5);
	truncated.push_back (0);
	appendLe32 (oldExtension, 1);
	appendLeDouble (oldExtension, 1.5);
	const Case cases[] = {
		{"this version", written, kResultOk, kSkinSilver, 1.25},
		{"the first version, at 100 %", firstVersion, kResultOk, kSkinSilver, 1.0},
		{"a zoom out of range", tooLarge, kResultFalse, kSkinVintage, 0.75},
		{"a zoom cut short", truncated, kResultFalse, kSkinVintage, 0.75},
		{"an unknown zoom version", oldExtension, kResultFalse, kSkinVintage, 0.75},
	};
	for (const Case& c : cases)
	{
		controller->skin = kSkinVintage;
		controller->zoom = 0.75;
		EXPECT_EQ (controller->setState (streamOf (c.bytes)), c.result) << c.what;
		EXPECT_EQ (controller->skin, c.skin) << c.what;
		EXPECT_EQ (controller->zoom, c.zoom) << c.what;
	}

	// A view made now opens at the saved zoom.
	controller->zoom = 1.5;
	IPtr<IPlugView> zoomed = owned (controller->createView (ViewType::kEditor));
	ViewRect size;
	ASSERT_TRUE (zoomed);
	EXPECT_EQ (zoomed->getSize (&size), kResultOk);
	EXPECT_TRUE (size.getWidth () == 1290 && size.getHeight () == 795) << size.getWidth () << " x " << size.getHeight ();
}
