#include "vst3host/PresetFile.h"

#include "vst3host/Files.h"

#include "public.sdk/source/common/memorystream.h"
#include "public.sdk/source/vst/vstpresetfile.h"

#include <cstring>
#include <limits>

namespace Tarno {
namespace Host {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// The fixed header: 'VST3', version (int32), class ID as 32 ASCII hex
// digits, offset of the chunk list (int64); then a chunk list entry is an
// ID, an offset and a size (4 + 8 + 8 bytes).
constexpr size_t kClassIdOffset = 8;
constexpr size_t kClassIdChars = 32;
constexpr size_t kListOffsetField = kClassIdOffset + kClassIdChars;
constexpr size_t kHeaderSize = kListOffsetField + 8;
constexpr size_t kListHeaderSize = 8;
constexpr size_t kListEntrySize = 20;
// PresetFile keeps at most this many entries.
constexpr int64 kMaxChunks = 128;

int64 readLe (const uint8_t* p, int bytes)
{
	uint64 v = 0;
	for (int i = bytes - 1; i >= 0; --i)
		v = (v << 8) | p[i];
	if (bytes == 4)
		return int64 (int32 (uint32 (v)));
	return int64 (v);
}

bool isHexDigit (char c)
{
	return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

char upper (char c) { return c >= 'a' && c <= 'z' ? char (c - 'a' + 'A') : c; }

// A chunk ID for a message: its four characters when printable.
std::string chunkName (const char id[4])
{
	std::string s = "'";
	for (int i = 0; i < 4; ++i)
		s += id[i] >= 0x20 && id[i] < 0x7F ? id[i] : '?';
	return s + "'";
}

std::string xmlEscape (const std::string& text)
{
	std::string out;
	for (char c : text)
	{
		switch (c)
		{
			case '&': out += "&amp;"; break;
			case '<': out += "&lt;"; break;
			case '>': out += "&gt;"; break;
			case '"': out += "&quot;"; break;
			default: out += c;
		}
	}
	return out;
}

// A readable stream over a copy of `bytes`, positioned at the start.
IPtr<MemoryStream> streamOf (const std::vector<uint8_t>& bytes)
{
	IPtr<MemoryStream> stream = owned (new MemoryStream ());
	int32 written = 0;
	if (!bytes.empty ())
		stream->write (const_cast<uint8_t*> (bytes.data ()), int32 (bytes.size ()), &written);
	stream->seek (0, IBStream::kIBSeekSet, nullptr);
	return stream;
}

// What getState of a component or a controller writes.
template <typename T>
bool stateOf (T* object, std::vector<uint8_t>& bytes)
{
	IPtr<MemoryStream> stream = owned (new MemoryStream ());
	if (object->getState (stream) != kResultOk)
		return false;
	const char* data = stream->getData ();
	bytes.assign (data, data + (data ? stream->getSize () : 0));
	return true;
}

} // namespace

//------------------------------------------------------------------------
bool parsePresetFile (const uint8_t* data, size_t size, const std::string& name, const TUID classId,
                      PresetContents& out, std::string& error)
{
	auto refuse = [&] (const std::string& reason) {
		error = name + ": " + reason;
		return false;
	};
	if (size > kMaxPresetFileSize)
		return refuse ("the file is too large for a preset (" + std::to_string (size) + " bytes)");
	if (size < 4 || std::memcmp (data, getChunkID (kHeader), 4) != 0)
		return refuse ("not a VST 3 preset file (it does not begin with 'VST3')");
	if (size < kHeaderSize)
		return refuse ("truncated: " + std::to_string (size) + " bytes, shorter than the " +
		               std::to_string (kHeaderSize) + "-byte header");

	const char* fileClass = reinterpret_cast<const char*> (data + kClassIdOffset);
	for (size_t i = 0; i < kClassIdChars; ++i)
		if (!isHexDigit (fileClass[i]))
			return refuse ("corrupt header: the class ID is not 32 hexadecimal digits");
	char8 wanted[kClassIdChars + 1] = {};
	FUID::fromTUID (classId).toString (wanted);
	for (size_t i = 0; i < kClassIdChars; ++i)
	{
		if (upper (fileClass[i]) != upper (wanted[i]))
			return refuse ("the preset is for another plug-in (class ID " + std::string (fileClass, kClassIdChars) +
			               ", expected " + std::string (wanted) + ")");
	}

	const int64 listOffset = readLe (data + kListOffsetField, 8);
	if (listOffset < int64 (kHeaderSize) || uint64 (listOffset) > size - kListHeaderSize)
		return refuse ("truncated or corrupt: the chunk list offset " + std::to_string (listOffset) +
		               " lies outside the file of " + std::to_string (size) + " bytes");
	const size_t listAt = size_t (listOffset);
	if (std::memcmp (data + listAt, getChunkID (kChunkList), 4) != 0)
		return refuse ("corrupt: no chunk list ('List') at offset " + std::to_string (listOffset));
	const int64 count = readLe (data + listAt + 4, 4);
	if (count < 1 || count > kMaxChunks)
		return refuse ("corrupt chunk list: " + std::to_string (count) + " entries");
	const size_t listEnd = listAt + kListHeaderSize + size_t (count) * kListEntrySize;
	if (listEnd > size)
		return refuse ("truncated: the chunk list of " + std::to_string (count) + " entries needs " +
		               std::to_string (listEnd) + " bytes, the file has " + std::to_string (size));

	// The SDK's reader walks the header and the list once more; every entry
	// it reports must lie in the data area between the header and the list.
	IPtr<MemoryStream> stream = owned (new MemoryStream (const_cast<uint8_t*> (data), TSize (size)));
	PresetFile file (stream);
	if (!file.readChunkList () || file.getEntryCount () != count)
		return refuse ("corrupt chunk list");
	const PresetFile::Entry* component = nullptr;
	const PresetFile::Entry* controller = nullptr;
	for (int32 i = 0; i < file.getEntryCount (); ++i)
	{
		const PresetFile::Entry& e = file.at (i);
		if (e.offset < TSize (kHeaderSize) || e.offset > listOffset || e.size < 0 || e.size > listOffset - e.offset)
			return refuse ("corrupt chunk list: chunk " + chunkName (e.id) + " (offset " + std::to_string (e.offset) +
			               ", " + std::to_string (e.size) + " bytes) lies outside the data area");
		for (auto kind : {kComponentState, kControllerState})
		{
			if (!isEqualID (e.id, getChunkID (kind)))
				continue;
			const PresetFile::Entry*& slot = kind == kComponentState ? component : controller;
			if (slot)
				return refuse ("corrupt chunk list: two " + chunkName (e.id) + " chunks");
			slot = &e;
		}
	}
	if (component == nullptr)
		return refuse ("the preset holds no processor state ('Comp' chunk)");
	if (component->size == 0)
		return refuse ("the processor state ('Comp' chunk) is empty");

	const uint8_t* base = data;
	out.componentState.assign (base + component->offset, base + component->offset + component->size);
	if (controller)
		out.controllerState.assign (base + controller->offset, base + controller->offset + controller->size);
	else
		out.controllerState.clear ();
	return true;
}

bool readPresetFile (const std::string& path, const TUID classId, PresetContents& out, std::string& error)
{
	std::vector<uint8_t> bytes;
	if (!readFile (path, bytes, error, kMaxPresetFileSize))
		return false;
	PresetContents contents;
	if (!parsePresetFile (bytes.data (), bytes.size (), path, classId, contents, error))
		return false;
	out = std::move (contents);
	return true;
}

//------------------------------------------------------------------------
bool makePresetFile (const TUID classId, const PresetContents& contents, const std::string& metaInfoXml,
                     std::vector<uint8_t>& bytes, std::string& error)
{
	constexpr size_t kMaxChunk = size_t (std::numeric_limits<int32>::max ());
	if (contents.componentState.empty ())
	{
		error = "there is no processor state to write";
		return false;
	}
	if (contents.componentState.size () > kMaxChunk || contents.controllerState.size () > kMaxChunk ||
	    metaInfoXml.size () > kMaxChunk)
	{
		error = "the state is too large for a preset file";
		return false;
	}
	IPtr<MemoryStream> stream = owned (new MemoryStream ());
	PresetFile file (stream);
	file.setClassID (FUID::fromTUID (classId));
	bool ok = file.writeHeader () &&
	          file.writeChunk (contents.componentState.data (), int32 (contents.componentState.size ()), kComponentState);
	if (ok && !contents.controllerState.empty ())
		ok = file.writeChunk (contents.controllerState.data (), int32 (contents.controllerState.size ()),
		                      kControllerState);
	if (ok && !metaInfoXml.empty ())
		ok = file.writeMetaInfo (metaInfoXml.c_str (), int32 (metaInfoXml.size ()));
	ok = ok && file.writeChunkList ();
	if (!ok)
	{
		error = "the preset could not be put together (out of memory?)";
		return false;
	}
	int64 end = 0;
	stream->tell (&end);
	const char* data = stream->getData ();
	bytes.assign (data, data + end);
	return true;
}

bool writePresetFile (const std::string& path, const TUID classId, const PresetContents& contents,
                      const std::string& metaInfoXml, std::string& error)
{
	std::vector<uint8_t> bytes;
	if (!makePresetFile (classId, contents, metaInfoXml, bytes, error))
	{
		error = path + ": " + error;
		return false;
	}
	// The old file stays until the new one is complete.
	return writeFileAtomically (path, bytes.data (), bytes.size (), error);
}

std::string presetMetaInfo (const std::string& presetName, const std::string& plugInName,
                            const std::string& plugInCategory)
{
	// The attribute IDs hosts' preset browsers read.
	const std::pair<const char*, const std::string*> attributes[] = {
	    {"Name", &presetName}, {"PlugInName", &plugInName}, {"PlugInCategory", &plugInCategory}};
	std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<MetaInfo>\n"
	                  "\t<Attribute id=\"MediaType\" value=\"VstPreset\" type=\"string\" flags=\"writeProtected\"/>\n";
	for (const auto& a : attributes)
		if (!a.second->empty ())
			xml += std::string ("\t<Attribute id=\"") + a.first + "\" value=\"" + xmlEscape (*a.second) +
			       "\" type=\"string\" flags=\"writeProtected\"/>\n";
	return xml + "</MetaInfo>\n";
}

std::string presetFileName (const std::string& presetName)
{
	std::string name = presetName;
	for (char& c : name)
		if (static_cast<unsigned char> (c) < 0x20 || std::string ("<>:\"/\\|?*").find (c) != std::string::npos)
			c = '_';
	if (!name.empty () && (name.back () == '.' || name.back () == ' '))
		name.back () = '_';
	return name + ".vstpreset";
}

//------------------------------------------------------------------------
bool applyPresetContents (IComponent* component, IEditController* controller, bool controllerIsComponent,
                          const PresetContents& contents, std::string& error)
{
	if (component == nullptr)
	{
		error = "there is no plug-in to load the preset into";
		return false;
	}
	const bool hasControllerChunk = controller && !contents.controllerState.empty ();
	std::vector<uint8_t> savedComponent, savedController;
	if (!stateOf (component, savedComponent) || (hasControllerChunk && !stateOf (controller, savedController)))
	{
		error = "the plug-in's present state cannot be read, so a refused preset could not be undone";
		return false;
	}
	const bool mirror = controller && !controllerIsComponent;

	// Each step that fails puts back what the steps before it changed.
	auto putBack = [&] (bool controllerState) {
		component->setState (streamOf (savedComponent));
		if (mirror)
			controller->setComponentState (streamOf (savedComponent));
		if (controllerState)
			controller->setState (streamOf (savedController));
	};
	const std::string size = std::to_string (contents.componentState.size ()) + " bytes";
	if (component->setState (streamOf (contents.componentState)) != kResultOk)
	{
		putBack (false);
		error = "the plug-in refused the preset's processor state (" + size + ")";
		return false;
	}
	if (mirror && controller->setComponentState (streamOf (contents.componentState)) != kResultOk)
	{
		putBack (false);
		error = "the edit controller refused the preset's processor state (" + size + ")";
		return false;
	}
	if (hasControllerChunk && controller->setState (streamOf (contents.controllerState)) != kResultOk)
	{
		putBack (true);
		error = "the edit controller refused the preset's controller state (" +
		        std::to_string (contents.controllerState.size ()) + " bytes)";
		return false;
	}
	return true;
}

} // namespace Host
} // namespace Tarno
