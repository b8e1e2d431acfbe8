// Files by UTF-8 path, on every platform, and files replaced only whole.
//
// Paths are UTF-8 strings throughout the host library, the tools and the
// player. On Windows they become UTF-16 here, at the one boundary, and the
// wide API opens them (any character works whatever the ANSI code page); on
// Linux they are used as they are.
//
// Every file the project writes goes through AtomicFile: the bytes go into a
// temporary file in the target's folder, which is flushed to the disk and
// then renamed over the target in one step. A reader (or a crash, or a full
// disk) sees either the old file or the complete new one, never a part.
// On any failure the temporary file is removed and the target is left as it
// was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace Tarno {
namespace Host {

#if defined(_WIN32)
std::wstring widen (const std::string& utf8);
std::string narrow (const std::wstring& utf16);
#endif

// The program's arguments as UTF-8: on Windows read from the wide command
// line (the ANSI argv main () gets has lost what its code page lacks), and
// argc/argv pointed at them for as long as this object lives; on Linux
// argv as it is.
class Utf8Arguments
{
public:
	Utf8Arguments (int& argc, char**& argv);

private:
	std::vector<std::string> strings_;
	std::vector<char*> pointers_;
};

// fopen () by UTF-8 path (_wfopen on Windows); mode as for fopen.
std::FILE* openFile (const std::string& path, const char* mode);

// Reads a whole file of at most maxSize bytes. On failure returns false with
// one line naming the file and the reason (cannot open, cannot read, too
// large); tooLarge (optional) tells the last apart from the others.
bool readFile (const std::string& path, std::vector<uint8_t>& bytes, std::string& error,
               size_t maxSize = size_t (1) << 30, bool* tooLarge = nullptr);

class AtomicFile
{
public:
	AtomicFile () = default;
	~AtomicFile (); // discards an uncommitted file
	AtomicFile (const AtomicFile&) = delete;
	AtomicFile& operator= (const AtomicFile&) = delete;

	// Creates the temporary file beside path (whose folder must exist).
	bool open (const std::string& path, std::string& error);
	bool write (const void* data, size_t size, std::string& error);
	// Moves the write position (to rewrite a header written first).
	bool seek (uint64_t offset, std::string& error);
	// Flushes, syncs and closes the temporary file, then renames it over the
	// target. On failure the temporary file is gone and the target is as
	// it was.
	bool commit (std::string& error);
	// Removes the temporary file; the target stays as it was.
	void discard ();

	bool isOpen () const { return file_ != nullptr; }
	const std::string& path () const { return path_; }

private:
	bool fail (const std::string& what, int code, std::string& error);

	std::FILE* file_ = nullptr;
	std::string path_;
	std::string temporary_;
};

// Replaces (or creates) path with exactly these bytes through AtomicFile.
bool writeFileAtomically (const std::string& path, const void* data, size_t size, std::string& error);

// Programs that write files call this first (Linux): a write beyond the
// process's file size limit then fails with its reason (EFBIG) and is
// reported, instead of SIGXFSZ ending the program without a word.
void reportFileSizeLimitAsError ();

} // namespace Host
} // namespace Tarno
