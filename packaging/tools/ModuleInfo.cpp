#include "packaging/tools/ModuleInfo.h"

#include "pluginterfaces/base/ipluginbase.h"

#include <cstdio>
#include <sstream>

namespace Tarno {
namespace Packaging {

using Steinberg::PFactoryInfo;

std::string canonicalCid (const Steinberg::TUID cid)
{
	char text[33] = {};
	Steinberg::FUID::fromTUID (cid).toString (text);
	return text;
}

std::string snapshotFileName (const Steinberg::TUID cid, double scale)
{
	if (scale == 1.0)
		return canonicalCid (cid) + "_snapshot.png";
	char suffix[32];
	std::snprintf (suffix, sizeof suffix, "_snapshot_%.1fx.png", scale);
	return canonicalCid (cid) + suffix;
}

std::string jsonString (const std::string& text)
{
	std::string out = "\"";
	for (const char ch : text)
	{
		const auto c = static_cast<unsigned char> (ch);
		switch (c)
		{
			case '"': out += "\\\""; break;
			case '\\': out += "\\\\"; break;
			case '\b': out += "\\b"; break;
			case '\f': out += "\\f"; break;
			case '\n': out += "\\n"; break;
			case '\r': out += "\\r"; break;
			case '\t': out += "\\t"; break;
			default:
				if (c < 0x20)
				{
					char escape[8];
					std::snprintf (escape, sizeof (escape), "\\u%04X", unsigned (c));
					out += escape;
				}
				else
					out += ch;
		}
	}
	return out + "\"";
}

namespace {

const char* boolText (bool b) { return b ? "true" : "false"; }

// "Instrument|Synth" as ["Instrument", "Synth"]; an empty text is an empty list.
std::string subCategoryList (const std::string& text)
{
	std::string out = "[";
	size_t start = 0;
	while (!text.empty () && start <= text.size ())
	{
		size_t end = text.find ('|', start);
		if (end == std::string::npos)
			end = text.size ();
		out += (start ? ", " : "") + jsonString (text.substr (start, end - start));
		start = end + 1;
	}
	return out + "]";
}

} // namespace

std::string moduleInfoJson (const std::string& name, const std::string& version, const Host::FactoryInfo& factory,
                            const std::vector<ModuleClass>& classes)
{
	std::ostringstream out;
	out << "{\n";
	out << "  \"Name\": " << jsonString (name) << ",\n";
	out << "  \"Version\": " << jsonString (version) << ",\n";
	out << "  \"Factory Info\": {\n";
	out << "    \"Vendor\": " << jsonString (factory.vendor) << ",\n";
	out << "    \"URL\": " << jsonString (factory.url) << ",\n";
	out << "    \"E-Mail\": " << jsonString (factory.email) << ",\n";
	out << "    \"Flags\": {\n";
	out << "      \"Unicode\": " << boolText (factory.flags & PFactoryInfo::kUnicode) << ",\n";
	out << "      \"Classes Discardable\": " << boolText (factory.flags & PFactoryInfo::kClassesDiscardable) << ",\n";
	out << "      \"Component Non Discardable\": "
	    << boolText (factory.flags & PFactoryInfo::kComponentNonDiscardable) << "\n";
	out << "    }\n";
	out << "  },\n";
	out << "  \"Classes\": [";
	for (size_t k = 0; k < classes.size (); ++k)
	{
		const auto& c = classes[k].info;
		out << (k ? ",\n" : "\n") << "    {\n";
		out << "      \"CID\": " << jsonString (canonicalCid (c.cid)) << ",\n";
		out << "      \"Category\": " << jsonString (c.category) << ",\n";
		out << "      \"Name\": " << jsonString (c.name) << ",\n";
		out << "      \"Vendor\": " << jsonString (c.vendor) << ",\n";
		out << "      \"Version\": " << jsonString (c.version) << ",\n";
		out << "      \"SDKVersion\": " << jsonString (c.sdkVersion) << ",\n";
		out << "      \"Sub Categories\": " << subCategoryList (c.subCategories) << ",\n";
		out << "      \"Class Flags\": " << c.classFlags << ",\n";
		out << "      \"Cardinality\": " << c.cardinality << ",\n";
		out << "      \"Snapshots\": [";
		const auto& snapshots = classes[k].snapshots;
		for (size_t s = 0; s < snapshots.size (); ++s)
		{
			char scale[32];
			std::snprintf (scale, sizeof (scale), "%.1f", snapshots[s].scaleFactor);
			out << (s ? ",\n" : "\n") << "        {\"Scale Factor\": " << scale
			    << ", \"Path\": " << jsonString (snapshots[s].path) << "}";
		}
		out << (snapshots.empty () ? "]\n" : "\n      ]\n");
		out << "    }";
	}
	out << (classes.empty () ? "]\n" : "\n  ]\n");
	out << "}\n";
	return out.str ();
}

} // namespace Packaging
} // namespace Tarno
