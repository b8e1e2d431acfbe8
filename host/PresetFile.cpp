#include "host/PresetFile.h"

#include "public.sdk/source/common/memorystream.h"
#include "public.sdk/source/vst/vstpresetfile.h"

#include <filesystem>
#include <fstream>
#include <limits>
#include <system_error>

namespace Tarno {
namespace Host {

using namespace Steinberg;
using namespace Steinberg::Vst;
namespace fs = std::filesystem;

namespace {

// Larger files are refused: no preset of a plug-in comes near this.
constexpr uintmax_t kMaxPresetBytes = 64u * 1024u * 1024u;

fs::path toPath (const std::string& utf8)
{
	return fs::u8path (utf8);
}

bool readChunk (PresetFile& file, ChunkType which, std::vector<uint8_t>& out)
{
	const PresetFile::Entry* e = file.getEntry (which);
	if (e == nullptr || e->size < 0 || e->size > TSize (std::numeric_limits<int32>::max ()))
		return false;
	out.assign (size_t (e->size), 0);
	if (e->size == 0)
		return true;
	IBStream* stream = file.getStream ();
	int64 position = 0;
	int32 read = 0;
	return stream->seek (e->offset, IBStream::kIBSeekSet, &position) == kResultOk && position == e->offset &&
	       stream->read (out.data (), int32 (e->size), &read) == kResultOk && read == int32 (e->size);
}

IPtr<MemoryStream> streamOf (const std::vector<uint8_t>& bytes)
{
	IPtr<MemoryStream> s = owned (new MemoryStream ());
	int32 written = 0;
	if (!bytes.empty ())
		s->write (const_cast<uint8_t*> (bytes.data ()), int32 (bytes.size ()), &written);
	s->seek (0, IBStream::kIBSeekSet, nullptr);
	return s;
}

} // namespace

bool readPresetFile (const std::string& path, const TUID classId, PresetContents& out, std::string& error)
{
	std::error_code ec;
	const uintmax_t size = fs::file_size (toPath (path), ec);
	if (ec)
	{
		error = "cannot read '" + path + "': " + ec.message ();
		return false;
	}
	if (size > kMaxPresetBytes)
	{
		error = "'" + path + "' is not a preset file (" + std::to_string (size) + " bytes is too large)";
		return false;
	}
	std::ifstream in (toPath (path), std::ios::binary);
	std::vector<char> bytes (size_t (size), 0);
	if (!in || (size > 0 && !in.read (bytes.data (), std::streamsize (size))))
	{
		error = "cannot read '" + path + "'";
		return false;
	}
	IPtr<MemoryStream> stream = owned (new MemoryStream ());
	int32 written = 0;
	if (!bytes.empty ())
		stream->write (bytes.data (), int32 (bytes.size ()), &written);
	stream->seek (0, IBStream::kIBSeekSet, nullptr);

	PresetFile file (stream);
	if (!file.readChunkList ())
	{
		error = "'" + path + "' is not a VST 3 preset file (no valid header or chunk list)";
		return false;
	}
	if (file.getClassID () != FUID::fromTUID (classId))
	{
		char have[33] = {};
		file.getClassID ().toString (have);
		error = "'" + path + "' is a preset for another plug-in (class " + have + ")";
		return false;
	}
	PresetContents contents;
	if (!readChunk (file, kComponentState, contents.componentState))
	{
		error = "'" + path + "' has no readable processor state";
		return false;
	}
	if (file.contains (kControllerState) && !readChunk (file, kControllerState, contents.controllerState))
	{
		error = "'" + path + "' has a damaged controller state";
		return false;
	}
	out = std::move (contents);
	return true;
}

bool writePresetFile (const std::string& path, const TUID classId, const PresetContents& contents,
                      const std::string& metaInfoXml, std::string& error)
{
	IPtr<MemoryStream> component = streamOf (contents.componentState);
	IPtr<MemoryStream> controller = contents.controllerState.empty () ? nullptr : streamOf (contents.controllerState);
	IPtr<MemoryStream> file = owned (new MemoryStream ());
	if (!PresetFile::savePreset (file, FUID::fromTUID (classId), component, controller,
	                             metaInfoXml.empty () ? nullptr : metaInfoXml.c_str (),
	                             metaInfoXml.empty () ? -1 : int32 (metaInfoXml.size ())))
	{
		error = "cannot build the preset for '" + path + "'";
		return false;
	}
	const fs::path target = toPath (path);
	fs::path temporary = target;
	temporary += ".part";
	{
		std::ofstream outFile (temporary, std::ios::binary | std::ios::trunc);
		if (outFile)
			outFile.write (file->getData (), std::streamsize (file->getSize ()));
		outFile.close ();
		if (!outFile)
		{
			std::error_code ignored;
			fs::remove (temporary, ignored);
			error = "cannot write '" + path + "'";
			return false;
		}
	}
	std::error_code ec;
	fs::rename (temporary, target, ec);
	if (ec)
	{
		std::error_code ignored;
		fs::remove (temporary, ignored);
		error = "cannot write '" + path + "': " + ec.message ();
		return false;
	}
	return true;
}

} // namespace Host
} // namespace Tarno
