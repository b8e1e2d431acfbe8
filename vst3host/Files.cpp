#include "vst3host/Files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Tarno {
namespace Host {

namespace fs = std::filesystem;

namespace {

// Names tried for the temporary file before giving up (another process
// could be writing beside the same target).
constexpr int kTemporaryNameAttempts = 100;

std::string errnoText (int code)
{
	return std::strerror (code);
}

#if defined(_WIN32)
std::string systemText (DWORD code)
{
	wchar_t* text = nullptr;
	const DWORD length = FormatMessageW (FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
	                                         FORMAT_MESSAGE_IGNORE_INSERTS,
	                                     nullptr, code, 0, reinterpret_cast<wchar_t*> (&text), 0, nullptr);
	std::wstring message = length ? std::wstring (text, length) : L"error " + std::to_wstring (code);
	if (text)
		LocalFree (text);
	while (!message.empty () && (message.back () == L'\n' || message.back () == L'\r' || message.back () == L'.'))
		message.pop_back ();
	return narrow (message);
}
#endif

// The temporary file's name for attempt n: hidden, in the target's folder.
std::string temporaryName (const std::string& path, int attempt)
{
	const fs::path target = fs::u8path (path);
#if defined(_WIN32)
	const unsigned long process = GetCurrentProcessId ();
#else
	const unsigned long process = static_cast<unsigned long> (getpid ());
#endif
	fs::path name = target.parent_path () /
	                ("." + target.filename ().u8string () + "." + std::to_string (process) + "-" +
	                 std::to_string (attempt) + ".partial");
	return name.u8string ();
}

} // namespace

#if defined(_WIN32)
std::wstring widen (const std::string& utf8)
{
	if (utf8.empty ())
		return std::wstring ();
	const int n = MultiByteToWideChar (CP_UTF8, 0, utf8.data (), int (utf8.size ()), nullptr, 0);
	std::wstring out (size_t (n), L'\0');
	MultiByteToWideChar (CP_UTF8, 0, utf8.data (), int (utf8.size ()), out.data (), n);
	return out;
}

std::string narrow (const std::wstring& utf16)
{
	if (utf16.empty ())
		return std::string ();
	const int n = WideCharToMultiByte (CP_UTF8, 0, utf16.data (), int (utf16.size ()), nullptr, 0, nullptr, nullptr);
	std::string out (size_t (n), '\0');
	WideCharToMultiByte (CP_UTF8, 0, utf16.data (), int (utf16.size ()), out.data (), n, nullptr, nullptr);
	return out;
}

#endif

Utf8Arguments::Utf8Arguments (int& argc, char**& argv)
{
#if defined(_WIN32)
	int count = 0;
	LPWSTR* wide = CommandLineToArgvW (GetCommandLineW (), &count);
	if (wide == nullptr)
		return;
	for (int i = 0; i < count; ++i)
		strings_.push_back (narrow (wide[i]));
	LocalFree (wide);
	for (std::string& s : strings_)
		pointers_.push_back (s.data ());
	pointers_.push_back (nullptr);
	argc = count;
	argv = pointers_.data ();
#else
	(void)argc;
	(void)argv;
#endif
}

std::FILE* openFile (const std::string& path, const char* mode)
{
#if defined(_WIN32)
	return _wfopen (widen (path).c_str (), widen (mode).c_str ());
#else
	return std::fopen (path.c_str (), mode);
#endif
}

bool readFile (const std::string& path, std::vector<uint8_t>& bytes, std::string& error, size_t maxSize,
               bool* tooLargeOut)
{
	if (tooLargeOut)
		*tooLargeOut = false;
	std::FILE* f = openFile (path, "rb");
	if (f == nullptr)
	{
		error = "cannot open '" + path + "': " + errnoText (errno);
		return false;
	}
	std::vector<uint8_t> read;
	uint8_t chunk[65536];
	size_t n = 0;
	bool tooLarge = false;
	while ((n = std::fread (chunk, 1, sizeof (chunk), f)) > 0)
	{
		if (read.size () + n > maxSize)
		{
			tooLarge = true;
			break;
		}
		read.insert (read.end (), chunk, chunk + n);
	}
	const int code = errno;
	const bool readError = std::ferror (f) != 0;
	std::fclose (f);
	if (readError)
	{
		error = "cannot read '" + path + "': " + errnoText (code);
		return false;
	}
	if (tooLarge)
	{
		if (tooLargeOut)
			*tooLargeOut = true;
		error = "'" + path + "' is too large (over " + std::to_string (maxSize) + " bytes)";
		return false;
	}
	bytes = std::move (read);
	return true;
}

//------------------------------------------------------------------------
AtomicFile::~AtomicFile ()
{
	discard ();
}

bool AtomicFile::fail (const std::string& what, int code, std::string& error)
{
	error = "cannot write '" + path_ + "': " + what + (code ? ": " + errnoText (code) : std::string ());
	discard ();
	return false;
}

bool AtomicFile::open (const std::string& path, std::string& error)
{
	discard ();
	path_ = path;
	for (int attempt = 0; attempt < kTemporaryNameAttempts && file_ == nullptr; ++attempt)
	{
		const std::string name = temporaryName (path, attempt);
#if defined(_WIN32)
		HANDLE h = CreateFileW (widen (name).c_str (), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
		                        nullptr);
		if (h == INVALID_HANDLE_VALUE)
		{
			const DWORD code = GetLastError ();
			if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS)
				continue;
			error = "cannot write '" + path + "': " + systemText (code);
			return false;
		}
		const int fd = _open_osfhandle (reinterpret_cast<intptr_t> (h), _O_BINARY | _O_WRONLY);
		std::FILE* f = fd < 0 ? nullptr : _fdopen (fd, "wb");
		if (f == nullptr)
		{
			if (fd < 0)
				CloseHandle (h);
			else
				_close (fd);
			DeleteFileW (widen (name).c_str ());
			error = "cannot write '" + path + "': cannot open a file stream";
			return false;
		}
#else
		const int fd = ::open (name.c_str (), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
		if (fd < 0)
		{
			if (errno == EEXIST)
				continue;
			error = "cannot write '" + path + "': " + errnoText (errno);
			return false;
		}
		// A replaced file keeps its permissions.
		struct stat existing;
		if (::stat (path.c_str (), &existing) == 0 && S_ISREG (existing.st_mode))
			(void)::fchmod (fd, existing.st_mode & 07777);
		std::FILE* f = ::fdopen (fd, "wb");
		if (f == nullptr)
		{
			const int code = errno;
			::close (fd);
			::unlink (name.c_str ());
			error = "cannot write '" + path + "': " + errnoText (code);
			return false;
		}
#endif
		file_ = f;
		temporary_ = name;
	}
	if (file_ == nullptr)
	{
		error = "cannot write '" + path + "': no free name for a temporary file beside it";
		return false;
	}
	return true;
}

bool AtomicFile::write (const void* data, size_t size, std::string& error)
{
	if (file_ == nullptr)
	{
		error = "cannot write '" + path_ + "': the file is not open";
		return false;
	}
	errno = 0;
	if (size > 0 && std::fwrite (data, 1, size, file_) != size)
		return fail ("the write failed", errno, error);
	return true;
}

bool AtomicFile::seek (uint64_t offset, std::string& error)
{
	if (file_ == nullptr)
	{
		error = "cannot write '" + path_ + "': the file is not open";
		return false;
	}
	errno = 0;
#if defined(_WIN32)
	const bool ok = _fseeki64 (file_, static_cast<__int64> (offset), SEEK_SET) == 0;
#else
	const bool ok = fseeko (file_, static_cast<off_t> (offset), SEEK_SET) == 0;
#endif
	return ok ? true : fail ("the write failed", errno, error);
}

bool AtomicFile::commit (std::string& error)
{
	if (file_ == nullptr)
	{
		error = "cannot write '" + path_ + "': the file is not open";
		return false;
	}
	errno = 0;
	if (std::fflush (file_) != 0)
		return fail ("the write failed", errno, error);
#if defined(_WIN32)
	if (!FlushFileBuffers (reinterpret_cast<HANDLE> (_get_osfhandle (_fileno (file_)))))
		return fail ("flushing to the disk failed (" + systemText (GetLastError ()) + ")", 0, error);
#else
	if (::fsync (fileno (file_)) != 0)
		return fail ("flushing to the disk failed", errno, error);
#endif
	std::FILE* f = file_;
	file_ = nullptr;
	errno = 0;
	if (std::fclose (f) != 0)
		return fail ("the write failed", errno, error);
#if defined(_WIN32)
	if (!MoveFileExW (widen (temporary_).c_str (), widen (path_).c_str (),
	                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
		return fail ("cannot put the new file in place (" + systemText (GetLastError ()) + ")", 0, error);
#else
	if (::rename (temporary_.c_str (), path_.c_str ()) != 0)
		return fail ("cannot put the new file in place", errno, error);
	// The rename itself reaches the disk with the folder.
	const std::string folder = fs::u8path (path_).parent_path ().u8string ();
	const int dir = ::open (folder.empty () ? "." : folder.c_str (), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	if (dir >= 0)
	{
		(void)::fsync (dir);
		::close (dir);
	}
#endif
	temporary_.clear ();
	return true;
}

void AtomicFile::discard ()
{
	if (file_)
		std::fclose (file_);
	file_ = nullptr;
	if (!temporary_.empty ())
	{
#if defined(_WIN32)
		DeleteFileW (widen (temporary_).c_str ());
#else
		::unlink (temporary_.c_str ());
#endif
	}
	temporary_.clear ();
}

bool writeFileAtomically (const std::string& path, const void* data, size_t size, std::string& error)
{
	AtomicFile file;
	return file.open (path, error) && file.write (data, size, error) && file.commit (error);
}

void reportFileSizeLimitAsError ()
{
#if !defined(_WIN32)
	std::signal (SIGXFSZ, SIG_IGN);
#endif
}

} // namespace Host
} // namespace Tarno
