// What the bundle holds besides the module: moduleinfo.json against the
// loaded module, field by field, read back with a JSON reader of the test's
// own; the snapshot; the folder icon and (Windows) the version resource.
// Runs natively against the Linux bundle and under Wine against the Windows
// one, in the build directory where the bundle was completed.
#ifdef TARNO_HAVE_PLUGIN

#include "vst3host/Module.h"
#include "formats/vst3/ClassIds.h"
#include "packaging/tools/ModuleInfo.h"
#include "packaging/tools/PlugInIcon.h"
#include "tests/BundlePath.h"

#include "TarnoVersion.h"

#include "pluginterfaces/base/ipluginbase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

using Tarno::Host::Module;
using TarnoTest::bundlePath;
using namespace Tarno::Packaging;

namespace {

std::string readFile (const std::string& path)
{
	std::ifstream in (path, std::ios::binary);
	return std::string (std::istreambuf_iterator<char> (in), std::istreambuf_iterator<char> ());
}

// ---- a small strict JSON reader

struct Json
{
	enum Kind { null, boolean, number, string, array, object } kind = null;
	bool b = false;
	double n = 0;
	std::string s;
	std::vector<Json> items;
	std::vector<std::pair<std::string, Json>> members; // in file order

	const Json* find (const std::string& key) const
	{
		for (const auto& m : members)
			if (m.first == key)
				return &m.second;
		return nullptr;
	}
	std::set<std::string> keys () const
	{
		std::set<std::string> k;
		for (const auto& m : members)
			k.insert (m.first);
		return k;
	}
};

// Strict JSON: no trailing commas, no comments, no repeated keys.
class JsonReader
{
public:
	explicit JsonReader (const std::string& text) : t (text) {}

	bool read (Json& out) { return value (out, 0) && (space (), pos == t.size ()); }

private:
	const std::string& t;
	size_t pos = 0;

	void space () { pos = std::min (t.size (), t.find_first_not_of (" \t\r\n", pos)); }
	bool next (char c) { return space (), pos < t.size () && t[pos] == c ? (++pos, true) : false; }
	bool literal (const char* word)
	{
		const size_t n = std::strlen (word);
		return t.compare (pos, n, word) == 0 ? (pos += n, true) : false;
	}
	bool str (std::string& out)
	{
		if (!next ('"'))
			return false;
		static const std::string from = "\"\\/bfnrt", to = "\"\\/\b\f\n\r\t";
		while (pos < t.size () && t[pos] != '"')
		{
			const char c = t[pos++];
			if (static_cast<unsigned char> (c) < 0x20)
				return false;
			if (c != '\\')
				out += c;
			else if (pos < t.size () && from.find (t[pos]) != std::string::npos)
				out += to[from.find (t[pos++])];
			else if (t.compare (pos, 3, "u00") == 0 && pos + 5 <= t.size () &&
			         std::isxdigit (static_cast<unsigned char> (t[pos + 3])) &&
			         std::isxdigit (static_cast<unsigned char> (t[pos + 4])))
			{
				out += char (std::stoi (t.substr (pos + 3, 2), nullptr, 16)); // only control characters are escaped
				pos += 5;
			}
			else
				return false;
		}
		return pos++ < t.size ();
	}
	// Members or items up to `close`, each read by `one`.
	template <typename F>
	bool sequence (char close, F one)
	{
		if (next (close))
			return true;
		do
			if (!one ())
				return false;
		while (next (','));
		return next (close);
	}
	bool value (Json& v, int depth)
	{
		space ();
		if (depth > 32 || pos >= t.size ())
			return false;
		if (next ('{'))
		{
			v.kind = Json::object;
			return sequence ('}', [&] {
				std::string key;
				Json member;
				if (!str (key) || !next (':') || !value (member, depth + 1) || v.find (key))
					return false;
				v.members.emplace_back (key, member);
				return true;
			});
		}
		if (next ('['))
		{
			v.kind = Json::array;
			return sequence (']', [&] {
				v.items.emplace_back ();
				return value (v.items.back (), depth + 1);
			});
		}
		if (t[pos] == '"')
			return v.kind = Json::string, str (v.s);
		if (literal ("true"))
			return v.kind = Json::boolean, v.b = true, true;
		if (literal ("false"))
			return v.kind = Json::boolean, true;
		if (literal ("null"))
			return true;
		const size_t start = pos;
		while (pos < t.size () && std::strchr ("-0123456789.eE+", t[pos]))
			++pos;
		v.kind = Json::number;
		v.n = std::strtod (t.substr (start, pos - start).c_str (), nullptr);
		return pos > start;
	}
};

std::string stringOf (const Json* v) { return v && v->kind == Json::string ? v->s : "<not a string>"; }

std::string joined (const Json* list)
{
	if (!list || list->kind != Json::array)
		return "<not a list>";
	std::string out;
	for (const auto& item : list->items)
		out += (out.empty () ? "" : "|") + stringOf (&item);
	return out;
}

std::string cidText (const Steinberg::TUID cid)
{
	char text[33] = {};
	Steinberg::FUID::fromTUID (cid).toString (text);
	return text;
}

uint32_t be32 (const std::string& bytes, size_t at)
{
	return uint32_t (uint8_t (bytes[at])) << 24 | uint32_t (uint8_t (bytes[at + 1])) << 16 |
	       uint32_t (uint8_t (bytes[at + 2])) << 8 | uint32_t (uint8_t (bytes[at + 3]));
}

uint32_t le (const std::vector<uint8_t>& bytes, size_t at, int n)
{
	uint32_t v = 0;
	for (int k = n - 1; k >= 0; --k)
		v = v << 8 | bytes[at + size_t (k)];
	return v;
}

} // namespace

TEST (BundleResources, ModuleInfoAgreesWithTheLoadedModule)
{
	std::string error;
	auto module = Module::load (bundlePath (), error);
	ASSERT_TRUE (module) << error;
	const std::string text = readFile (bundlePath () + "/Contents/Resources/moduleinfo.json");
	ASSERT_FALSE (text.empty ());
	Json info;
	ASSERT_TRUE (JsonReader (text).read (info)) << text;
	ASSERT_EQ (info.kind, Json::object);

	EXPECT_EQ (info.keys (), (std::set<std::string>{"Name", "Version", "Factory Info", "Classes"}));
	EXPECT_EQ (stringOf (info.find ("Name")), "Tarnovelle");
	EXPECT_EQ (stringOf (info.find ("Version")), TARNO_VERSION_STRING);

	const Json* factory = info.find ("Factory Info");
	ASSERT_TRUE (factory);
	EXPECT_EQ (factory->keys (), (std::set<std::string>{"Vendor", "URL", "E-Mail", "Flags"}));
	EXPECT_EQ (stringOf (factory->find ("Vendor")), module->factoryInfo ().vendor);
	EXPECT_EQ (stringOf (factory->find ("URL")), module->factoryInfo ().url);
	EXPECT_EQ (stringOf (factory->find ("E-Mail")), module->factoryInfo ().email);
	const Json* flags = factory->find ("Flags");
	ASSERT_TRUE (flags);
	const std::map<std::string, int32_t> flagBits = {{"Unicode", Steinberg::PFactoryInfo::kUnicode},
	                                                 {"Classes Discardable", Steinberg::PFactoryInfo::kClassesDiscardable},
	                                                 {"Component Non Discardable",
	                                                  Steinberg::PFactoryInfo::kComponentNonDiscardable}};
	EXPECT_EQ (flags->members.size (), flagBits.size ());
	for (const auto& bit : flagBits)
	{
		const Json* flag = flags->find (bit.first);
		ASSERT_TRUE (flag && flag->kind == Json::boolean) << bit.first;
		EXPECT_EQ (flag->b, (module->factoryInfo ().flags & bit.second) != 0) << bit.first;
	}

	const Json* classes = info.find ("Classes");
	ASSERT_TRUE (classes && classes->kind == Json::array);
	ASSERT_EQ (classes->items.size (), module->classes ().size ());
	const std::set<std::string> classKeys = {"CID", "Category", "Name", "Vendor", "Version", "SDKVersion",
	                                         "Sub Categories", "Class Flags", "Cardinality", "Snapshots"};
	for (size_t k = 0; k < module->classes ().size (); ++k)
	{
		SCOPED_TRACE ("class " + std::to_string (k));
		const auto& loaded = module->classes ()[k];
		const Json& written = classes->items[k];
		EXPECT_EQ (written.keys (), classKeys);
		EXPECT_EQ (stringOf (written.find ("CID")), cidText (loaded.cid));
		EXPECT_EQ (stringOf (written.find ("Category")), loaded.category);
		EXPECT_EQ (stringOf (written.find ("Name")), loaded.name);
		EXPECT_EQ (stringOf (written.find ("Vendor")), loaded.vendor);
		EXPECT_EQ (stringOf (written.find ("Version")), loaded.version);
		EXPECT_EQ (stringOf (written.find ("Version")), TARNO_VERSION_STRING);
		EXPECT_EQ (stringOf (written.find ("SDKVersion")), loaded.sdkVersion);
		EXPECT_EQ (joined (written.find ("Sub Categories")), loaded.subCategories);
		const Json* classFlags = written.find ("Class Flags");
		const Json* cardinality = written.find ("Cardinality");
		ASSERT_TRUE (classFlags && cardinality);
		EXPECT_EQ (classFlags->n, double (loaded.classFlags));
		EXPECT_EQ (cardinality->n, double (loaded.cardinality));

		// The audio module class has snapshots at scales 1 and 2; others none.
		const Json* snapshots = written.find ("Snapshots");
		ASSERT_TRUE (snapshots && snapshots->kind == Json::array);
		if (loaded.category != "Audio Module Class")
		{
			EXPECT_TRUE (snapshots->items.empty ());
			continue;
		}
		ASSERT_EQ (snapshots->items.size (), 2u);
		const struct
		{
			double scale;
			const char* suffix;
			uint32_t width, height;
		} expected[] = {{1.0, "_snapshot.png", 860, 530}, {2.0, "_snapshot_2.0x.png", 1720, 1060}};
		for (size_t k = 0; k < 2; ++k)
		{
			const Json& shot = snapshots->items[k];
			EXPECT_EQ (shot.keys (), (std::set<std::string>{"Scale Factor", "Path"}));
			ASSERT_TRUE (shot.find ("Scale Factor"));
			EXPECT_EQ (shot.find ("Scale Factor")->n, expected[k].scale);
			const std::string path = stringOf (shot.find ("Path"));
			EXPECT_EQ (path, "Contents/Resources/Snapshots/" + cidText (loaded.cid) + expected[k].suffix);

			// A PNG of the panel's size at that scale.
			const std::string png = readFile (bundlePath () + "/" + path);
			ASSERT_GT (png.size (), 33u) << path;
			EXPECT_EQ (png.substr (0, 8), std::string ("\x89PNG\r\n\x1a\n", 8));
			EXPECT_EQ (png.substr (12, 4), "IHDR");
			EXPECT_EQ (be32 (png, 16), expected[k].width);
			EXPECT_EQ (be32 (png, 20), expected[k].height);
		}
	}

	// The class IDs in the file are those the module's source defines.
	ASSERT_EQ (classes->items.size (), 2u);
	char processor[33] = {}, controller[33] = {};
	Tarno::processorID.toString (processor);
	Tarno::controllerID.toString (controller);
	EXPECT_EQ (stringOf (classes->items[0].find ("CID")), processor);
	EXPECT_EQ (stringOf (classes->items[1].find ("CID")), controller);
}

// Hostile texts in the factory's answers still give a file a JSON reader
// takes, with the texts unchanged.
TEST (BundleResources, ModuleInfoTextsSurviveAnyCharacters)
{
	const std::vector<std::string> texts = {"", "plain", "quote \" backslash \\ slash /", "tab\tnew\nline\rform\f",
	                                        std::string ("nul\0bell\a", 9), "\x1f\x7f", "Gr\xc3\xbc\xc3\x9f" "e \xe2\x99\xaa"};
	for (const auto& text : texts)
	{
		SCOPED_TRACE (text);
		Tarno::Host::FactoryInfo factory {text, text, text, 0x10};
		ModuleClass c;
		c.info.name = text;
		c.info.vendor = text;
		c.info.category = "Audio Module Class";
		c.info.subCategories = text.empty () ? "" : "Fx|" + text;
		c.snapshots.push_back ({2.0, text});
		Json info;
		ASSERT_TRUE (JsonReader (moduleInfoJson (text, text, factory, {c, c})).read (info));
		EXPECT_EQ (stringOf (info.find ("Name")), text);
		ASSERT_TRUE (info.find ("Factory Info") && info.find ("Classes"));
		EXPECT_EQ (stringOf (info.find ("Factory Info")->find ("Vendor")), text);
		ASSERT_EQ (info.find ("Classes")->items.size (), 2u);
		const Json& written = info.find ("Classes")->items[1];
		EXPECT_EQ (stringOf (written.find ("Name")), text);
		EXPECT_EQ (joined (written.find ("Sub Categories")), c.info.subCategories);
		ASSERT_EQ (written.find ("Snapshots")->items.size (), 1u);
		EXPECT_EQ (written.find ("Snapshots")->items[0].find ("Scale Factor")->n, 2.0);
		EXPECT_EQ (stringOf (written.find ("Snapshots")->items[0].find ("Path")), text);
	}
}

TEST (BundleResources, IconImages)
{
	for (int size : {0, -1, 257})
		EXPECT_EQ (drawPlugInIcon (size).size, 0) << size;
	for (int size : plugInIconSizes ())
	{
		SCOPED_TRACE (size);
		const IconImage image = drawPlugInIcon (size);
		ASSERT_EQ (image.bgra.size (), size_t (size) * size * 4);
		auto at = [&] (int x, int y) { return &image.bgra[(size_t (y) * size + x) * 4]; };
		// Rounded corners are see-through, the tile is opaque.
		EXPECT_EQ (at (0, 0)[3], 0);
		EXPECT_EQ (at (size - 1, size - 1)[3], 0);
		EXPECT_EQ (at (size / 2, size / 8)[3], 255);
		// The waveform crosses the middle in the pointer's orange (red high,
		// blue low); the tile's ground is dark.
		int orange = 0, dark = 0;
		for (int y = 0; y < size; ++y)
		{
			const uint8_t* p = at (size / 2, y);
			orange += p[2] > 150 && p[1] > 100 && p[0] < 120;
			dark += p[3] == 255 && p[2] < 60;
		}
		EXPECT_GE (orange, 1);
		EXPECT_GE (dark, size / 3);
	}
}

TEST (BundleResources, IcoFileLayout)
{
	std::vector<IconImage> images;
	for (int size : plugInIconSizes ())
		images.push_back (drawPlugInIcon (size));
	const std::vector<uint8_t> ico = encodeIco (images);
	ASSERT_GT (ico.size (), 6u);
	EXPECT_EQ (le (ico, 0, 2), 0u);
	EXPECT_EQ (le (ico, 2, 2), 1u);
	ASSERT_EQ (le (ico, 4, 2), images.size ());
	size_t expectedOffset = 6 + 16 * images.size ();
	for (size_t k = 0; k < images.size (); ++k)
	{
		const int n = images[k].size;
		SCOPED_TRACE (n);
		const size_t entry = 6 + 16 * k;
		EXPECT_EQ (ico[entry], n == 256 ? 0 : n);
		EXPECT_EQ (ico[entry + 1], n == 256 ? 0 : n);
		EXPECT_EQ (le (ico, entry + 6, 2), 32u);
		const size_t maskRow = size_t ((n + 31) / 32) * 4;
		const size_t bytes = 40 + size_t (n) * n * 4 + maskRow * n;
		EXPECT_EQ (le (ico, entry + 8, 4), bytes);
		ASSERT_EQ (le (ico, entry + 12, 4), expectedOffset);
		const size_t header = expectedOffset;
		EXPECT_EQ (le (ico, header, 4), 40u);
		EXPECT_EQ (le (ico, header + 8, 4), uint32_t (2 * n));
		// The first stored row is the image's bottom row.
		const size_t pixels = header + 40;
		const uint8_t* bottomLeft = &images[k].bgra[size_t (n - 1) * n * 4];
		EXPECT_TRUE (std::equal (bottomLeft, bottomLeft + 4 * n, ico.begin () + std::ptrdiff_t (pixels)));
		// The mask marks the see-through bottom-left corner, not the middle.
		const size_t mask = pixels + size_t (n) * n * 4;
		EXPECT_NE (ico[mask] & 0x80, 0);
		const size_t middleRow = mask + maskRow * size_t (n / 2);
		EXPECT_EQ (ico[middleRow + size_t (n / 2 / 8)] & (0x80 >> (n / 2 % 8)), 0);
		expectedOffset += bytes;
	}
	EXPECT_EQ (expectedOffset, ico.size ());

	// Images it cannot hold give no file at all.
	IconImage wrongLength = images[0];
	wrongLength.bgra.pop_back ();
	IconImage tooBig;
	tooBig.size = 300;
	tooBig.bgra.assign (300 * 300 * 4, 0);
	for (const auto& bad : {std::vector<IconImage>{}, std::vector<IconImage>{wrongLength},
	                        std::vector<IconImage>{images[0], tooBig}})
		EXPECT_TRUE (encodeIco (bad).empty ());
}

#if defined(_WIN32)

// The Windows bundle shows our icon through desktop.ini.
TEST (BundleResources, FolderIcon)
{
	std::vector<IconImage> images;
	for (int size : plugInIconSizes ())
		images.push_back (drawPlugInIcon (size));
	const std::vector<uint8_t> ico = encodeIco (images);
	const std::string written = readFile (bundlePath () + "/PlugIn.ico");
	EXPECT_TRUE (written == std::string (ico.begin (), ico.end ())) << written.size () << " bytes, drawn " << ico.size ();
	EXPECT_EQ (readFile (bundlePath () + "/desktop.ini"), folderDesktopIni ());
	EXPECT_NE (std::string (folderDesktopIni ()).find ("IconResource=PlugIn.ico,0\r\n"), std::string::npos);
}

// The module's version resource carries the project's version and the
// factory's vendor.
TEST (BundleResources, VersionResource)
{
	std::string binary, error;
	ASSERT_TRUE (Module::findBinary (bundlePath (), binary, error)) << error;
	std::wstring wide (binary.begin (), binary.end ());
	DWORD ignored = 0;
	const DWORD size = GetFileVersionInfoSizeW (wide.c_str (), &ignored);
	ASSERT_GT (size, 0u);
	std::vector<char> data (size);
	ASSERT_TRUE (GetFileVersionInfoW (wide.c_str (), 0, size, data.data ()));

	VS_FIXEDFILEINFO* fixed = nullptr;
	UINT length = 0;
	ASSERT_TRUE (VerQueryValueW (data.data (), L"\\", reinterpret_cast<void**> (&fixed), &length));
	EXPECT_EQ (fixed->dwFileVersionMS, DWORD (TARNO_VERSION_MAJOR << 16 | TARNO_VERSION_MINOR));
	EXPECT_EQ (fixed->dwFileVersionLS, DWORD (TARNO_VERSION_PATCH << 16));
	EXPECT_EQ (fixed->dwProductVersionMS, fixed->dwFileVersionMS);
	EXPECT_EQ (fixed->dwFileType, DWORD (VFT_DLL));

	auto text = [&] (const wchar_t* name) {
		std::wstring query = std::wstring (L"\\StringFileInfo\\040904B0\\") + name;
		wchar_t* value = nullptr;
		UINT chars = 0;
		if (!VerQueryValueW (data.data (), query.c_str (), reinterpret_cast<void**> (&value), &chars) || !value)
			return std::string ("<missing>");
		std::wstring w (value);
		return std::string (w.begin (), w.end ()); // all ASCII
	};
	auto module = Module::load (bundlePath (), error);
	ASSERT_TRUE (module) << error;
	EXPECT_EQ (text (L"FileVersion"), TARNO_VERSION_STRING);
	EXPECT_EQ (text (L"ProductVersion"), TARNO_VERSION_STRING);
	EXPECT_EQ (text (L"FileVersion"), module->classes ()[0].version);
	EXPECT_EQ (text (L"CompanyName"), module->factoryInfo ().vendor);
	EXPECT_EQ (text (L"ProductName"), "Tarnovelle");
	EXPECT_EQ (text (L"OriginalFilename"), "Tarnovelle.vst3");
	EXPECT_NE (text (L"FileDescription").find ("VST 3"), std::string::npos);
	EXPECT_NE (text (L"LegalCopyright").find ("GPL-3.0-or-later"), std::string::npos);
}

#endif // _WIN32

#endif // TARNO_HAVE_PLUGIN
