// tarnovelle-lv2-ttl: writes the LV2 bundle's descriptions from the
// parameter table and the factory presets, so that names, ranges,
// defaults and units are written once:
//
//   tarnovelle-lv2-ttl --vendor VENDOR --email ADDRESS --version X.Y.Z FOLDER
//
// FOLDER/manifest.ttl    the plug-in, its UI and the presets, by file
// FOLDER/Tarnovelle.ttl  the plug-in: ports, features, maintainer, version
// FOLDER/presets.ttl     the five factory presets, plain values of all 16
//                        ports (no skin: a preset keeps the user's skin)
//
// Each file is written in full to a temporary file, flushed to the disk,
// then renamed over the old one. Any failure exits with status 1 and the reason.
#include "formats/lv2/Ports.h"
#include "formats/lv2/Uris.h"
#include "params/ParamTable.h"
#include "params/Presets.h"
#include "params/Skins.h"
#include "vst3host/Files.h"

#include <charconv>
#include <cstdio>
#include <sstream>
#include <string>

using namespace Tarno;

namespace {

using Lv2::kPluginUri;

const char* const kPrefixes =
    "@prefix atom:  <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
    "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf:  <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix midi:  <http://lv2plug.in/ns/ext/midi#> .\n"
    "@prefix opts:  <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix patch: <http://lv2plug.in/ns/ext/patch#> .\n"
    "@prefix pset:  <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix ui:    <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid:  <http://lv2plug.in/ns/ext/urid#> .\n\n";

int fail (const std::string& message)
{
	std::fprintf (stderr, "tarnovelle-lv2-ttl: %s\n", message.c_str ());
	return 1;
}

// The port's symbol: the parameter's name in lower case, blanks as '_'.
std::string symbol (int32_t id)
{
	std::string s = specs[id].name;
	for (char& c : s)
		c = c == ' ' ? '_' : static_cast<char> (c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
	return s;
}

const char* lv2Unit (const char* unit)
{
	static const struct
	{
		const char* unit;
		const char* lv2;
	} kUnits[] = {{"%", "units:pc"}, {"ms", "units:ms"}, {"Hz", "units:hz"},
	              {"cent", "units:cent"}, {"dB", "units:db"}, {"oct", "units:oct"}};
	for (const auto& u : kUnits)
		if (std::string (unit) == u.unit)
			return u.lv2;
	return nullptr;
}

// A port value as the host reads it into a float: the shortest decimal
// that gives the same float, always with a point (a Turtle decimal).
std::string number (double value)
{
	char text[64];
	const auto result = std::to_chars (text, text + sizeof text - 2, static_cast<float> (value) + 0.0f,
	                                   std::chars_format::fixed);
	std::string s (text, result.ptr);
	if (s.find ('.') == std::string::npos)
		s += ".0";
	return s;
}

std::string presetUri (const FactoryPreset& p)
{
	return std::string (kPluginUri) + "#preset-" + std::to_string (p.number);
}

std::string manifest ()
{
	std::ostringstream t;
	t << kPrefixes;
	t << "<" << kPluginUri << ">\n\ta lv2:Plugin, lv2:InstrumentPlugin ;\n\tlv2:binary <Tarnovelle.so> ;\n"
	  << "\trdfs:seeAlso <Tarnovelle.ttl> .\n\n";
	t << "<" << Lv2::kUiUri << ">\n\ta ui:X11UI ;\n\tui:binary <Tarnovelle_ui.so> ;\n"
	  << "\trdfs:seeAlso <Tarnovelle_ui.ttl> .\n";
	for (const FactoryPreset& p : kFactoryPresets)
		t << "\n<" << presetUri (p) << ">\n\ta pset:Preset ;\n\tlv2:appliesTo <" << kPluginUri << "> ;\n"
		  << "\trdfs:label \"" << p.title << "\" ;\n\trdfs:seeAlso <presets.ttl> .\n";
	return t.str ();
}

void controlPort (std::ostringstream& t, int32_t id)
{
	const ParamSpec& spec = specs[id];
	t << "\t\ta lv2:InputPort, lv2:ControlPort ;\n"
	  << "\t\tlv2:index " << id << " ;\n"
	  << "\t\tlv2:symbol \"" << symbol (id) << "\" ;\n"
	  << "\t\tlv2:name \"" << spec.name << "\" ;\n"
	  << "\t\tlv2:default " << number (toPlain (id, spec.defaultNormalized)) << " ;\n"
	  << "\t\tlv2:minimum " << number (spec.min) << " ;\n"
	  << "\t\tlv2:maximum " << number (spec.max);
	if (id == kTransposeParam)
		t << " ;\n\t\tlv2:portProperty lv2:integer";
	if (id == kLegatoParam)
		t << " ;\n\t\tlv2:portProperty lv2:toggled";
	if (const char* unit = lv2Unit (spec.unit))
		t << " ;\n\t\tunits:unit " << unit;
	t << "\n";
}

std::string plugin (const std::string& vendor, const std::string& email, int minor, int micro)
{
	std::ostringstream t;
	t << kPrefixes;
	t << "<" << Lv2::kSkinUri << ">\n\ta lv2:Parameter ;\n\trdfs:label \"Skin\" ;\n\trdfs:range atom:Int ;\n"
	  << "\tlv2:minimum 0 ;\n\tlv2:maximum " << kNumSkins - 1 << " .\n\n";
	// The maintainer belongs to the project; hosts show the plug-in's with it.
	t << "<" << kPluginUri << "#project>\n\ta doap:Project ;\n\tdoap:name \"Tarnovelle\" ;\n"
	  << "\tdoap:license <http://spdx.org/licenses/GPL-3.0-or-later> ;\n"
	  << "\tdoap:maintainer [\n\t\tfoaf:name \"" << vendor << "\" ;\n\t\tfoaf:mbox <mailto:" << email << ">\n\t] .\n\n";
	t << "<" << kPluginUri << ">\n"
	  << "\ta lv2:Plugin, lv2:InstrumentPlugin ;\n"
	  << "\tdoap:name \"Tarnovelle\" ;\n"
	  << "\tdoap:license <http://spdx.org/licenses/GPL-3.0-or-later> ;\n"
	  << "\tlv2:project <" << kPluginUri << "#project> ;\n"
	  << "\tlv2:minorVersion " << minor << " ;\n"
	  << "\tlv2:microVersion " << micro << " ;\n"
	  << "\tlv2:requiredFeature urid:map ;\n"
	  << "\tlv2:optionalFeature lv2:hardRTCapable, opts:options ;\n"
	  << "\topts:supportedOption bufsz:maxBlockLength, bufsz:nominalBlockLength ;\n"
	  << "\tlv2:extensionData state:interface ;\n"
	  << "\tui:ui <" << Lv2::kUiUri << "> ;\n"
	  << "\tlv2:port [\n";
	for (int32_t id = 0; id < kNumParams; ++id)
	{
		controlPort (t, id);
		t << "\t] , [\n";
	}
	t << "\t\ta lv2:InputPort, atom:AtomPort ;\n"
	  << "\t\tatom:bufferType atom:Sequence ;\n"
	  << "\t\tatom:supports midi:MidiEvent, patch:Message ;\n"
	  << "\t\tlv2:designation lv2:control ;\n"
	  << "\t\tlv2:index " << Lv2::kControlPort << " ;\n"
	  << "\t\tlv2:symbol \"control\" ;\n"
	  << "\t\tlv2:name \"Control\"\n"
	  << "\t] , [\n"
	  << "\t\ta lv2:OutputPort, lv2:AudioPort ;\n"
	  << "\t\tlv2:index " << Lv2::kOutLeftPort << " ;\n"
	  << "\t\tlv2:symbol \"out_left\" ;\n"
	  << "\t\tlv2:name \"Left\"\n"
	  << "\t] , [\n"
	  << "\t\ta lv2:OutputPort, lv2:AudioPort ;\n"
	  << "\t\tlv2:index " << Lv2::kOutRightPort << " ;\n"
	  << "\t\tlv2:symbol \"out_right\" ;\n"
	  << "\t\tlv2:name \"Right\"\n"
	  << "\t] , [\n"
	  << "\t\ta lv2:OutputPort, atom:AtomPort ;\n"
	  << "\t\tatom:bufferType atom:Sequence ;\n"
	  << "\t\tatom:supports patch:Message ;\n"
	  << "\t\tlv2:index " << Lv2::kNotifyPort << " ;\n"
	  << "\t\tlv2:symbol \"notify\" ;\n"
	  << "\t\tlv2:name \"Notify\"\n"
	  << "\t] .\n";
	return t.str ();
}

std::string presets ()
{
	std::ostringstream t;
	t << kPrefixes;
	for (const FactoryPreset& p : kFactoryPresets)
	{
		t << "<" << presetUri (p) << ">\n\ta pset:Preset ;\n\tlv2:appliesTo <" << kPluginUri << "> ;\n"
		  << "\trdfs:label \"" << p.title << "\" ;\n\tlv2:port ";
		for (int32_t id = 0; id < kNumParams; ++id)
			t << (id == 0 ? "" : " , ") << "[\n\t\tlv2:symbol \"" << symbol (id) << "\" ;\n\t\tpset:value "
			  << number (toPlain (id, p.values[size_t (id)])) << "\n\t]";
		t << " .\n\n";
	}
	return t.str ();
}

bool writeFile (const std::string& path, const std::string& text, std::string& error)
{
	if (Host::writeFileAtomically (path, text.data (), text.size (), error))
		return true;
	error = path + ": " + error;
	return false;
}

} // namespace

int main (int argc, char** argv)
{
	if (argc != 8 || std::string (argv[1]) != "--vendor" || std::string (argv[3]) != "--email" ||
	    std::string (argv[5]) != "--version")
	{
		std::fprintf (stderr, "usage: tarnovelle-lv2-ttl --vendor VENDOR --email ADDRESS --version X.Y.Z FOLDER\n");
		return 2;
	}
	const std::string vendor = argv[2], email = argv[4], folder = argv[7];
	int major = 0, minor = 0, micro = 0;
	if (std::sscanf (argv[6], "%d.%d.%d", &major, &minor, &micro) != 3)
		return fail (std::string ("not a version X.Y.Z: ") + argv[6]);
	std::string error;
	if (!writeFile (folder + "/manifest.ttl", manifest (), error) ||
	    !writeFile (folder + "/Tarnovelle.ttl", plugin (vendor, email, minor, micro), error) ||
	    !writeFile (folder + "/presets.ttl", presets (), error))
		return fail (error);
	return 0;
}
