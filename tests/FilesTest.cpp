// Files are replaced only whole: a write that fails (file size limit as on
// a full disk, read-only folder, no folder, a folder in the way) leaves the
// old file byte for byte and no temporary file, and says why. Both ways of
// writing: a whole buffer, and a WAV file streamed and its header rewritten.
#if !defined(_WIN32)

#include "vst3host/Files.h"
#include "vst3host/WavWriter.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace Tarno::Host;
namespace fs = std::filesystem;

std::string readAll (const fs::path& p)
{
	std::ifstream in (p, std::ios::binary);
	return std::string (std::istreambuf_iterator<char> (in), std::istreambuf_iterator<char> ());
}

std::set<std::string> listing (const fs::path& folder)
{
	std::set<std::string> names;
	std::error_code ec;
	for (const auto& e : fs::directory_iterator (folder, ec))
		names.insert (e.path ().filename ().string ());
	return names;
}

// Lowers the file size limit for as long as it lives; writes beyond it fail
// with EFBIG instead of raising SIGXFSZ.
struct FileSizeLimit
{
	explicit FileSizeLimit (rlim_t bytes)
	{
		getrlimit (RLIMIT_FSIZE, &saved);
		previous = std::signal (SIGXFSZ, SIG_IGN);
		rlimit lower = saved;
		lower.rlim_cur = bytes;
		setrlimit (RLIMIT_FSIZE, &lower);
	}
	~FileSizeLimit ()
	{
		setrlimit (RLIMIT_FSIZE, &saved);
		std::signal (SIGXFSZ, previous);
	}
	rlimit saved {};
	void (*previous) (int) = SIG_DFL;
};

// Writes 16 KiB to path: as one buffer, or as a WAV file streamed.
bool write16k (bool wav, const std::string& path, std::string& error)
{
	if (!wav)
		return writeFileAtomically (path, std::string (16384, 'n').data (), 16384, error);
	std::vector<float> left (2048, 0.5f), right (2048, -0.5f);
	const float* channels[] = {left.data (), right.data ()};
	WavWriter w;
	return w.open (path, 2, 48000, SampleFormat::Float32, error) && w.write (channels, left.size (), error) &&
	       w.close (error);
}

TEST (Files, AFailedWriteLeavesTheOldFileAndNoTemporaryFile)
{
	const fs::path root = fs::temp_directory_path () / ("tarno-files-" + std::to_string (getpid ()));
	const fs::path folder = root / "out", target = folder / "take.wav";
	const std::string old = "the last good file";
	enum Arrange { Nothing, ReadOnlyFolder, NoFolder, FolderInPlace };
	const struct
	{
		const char* name;
		bool hasOldFile;
		Arrange arrange;
		rlim_t sizeLimit;
		const char* reason; // nullptr: the write succeeds
	} cases[] = {
	    {"new file", false, Nothing, RLIM_INFINITY, nullptr},
	    {"replaced file", true, Nothing, RLIM_INFINITY, nullptr},
	    {"file size limit (a full disk)", true, Nothing, 4096, "File too large"},
	    {"read-only folder", true, ReadOnlyFolder, RLIM_INFINITY, "Permission denied"},
	    {"no folder", false, NoFolder, RLIM_INFINITY, "No such file or directory"},
	    {"a folder in the file's place", false, FolderInPlace, RLIM_INFINITY, "Is a directory"},
	};
	for (const auto& c : cases)
	{
		if (c.arrange == ReadOnlyFolder && geteuid () == 0)
		{
			std::printf ("skipped '%s': running as root, who may write into a read-only folder\n", c.name);
			continue;
		}
		for (bool wav : {false, true})
		{
			SCOPED_TRACE (std::string (c.name) + (wav ? ", WAV" : ", buffer"));
			fs::create_directories (folder);
			if (c.hasOldFile)
				std::ofstream (target, std::ios::binary) << old;
			if (c.arrange == ReadOnlyFolder)
				fs::permissions (folder, fs::perms::owner_read | fs::perms::owner_exec);
			if (c.arrange == NoFolder)
				fs::remove_all (folder);
			if (c.arrange == FolderInPlace)
				fs::create_directory (target);
			const std::set<std::string> before = listing (folder);

			std::string error;
			bool ok = false;
			{
				FileSizeLimit limit (c.sizeLimit);
				ok = write16k (wav, target.string (), error);
			}
			if (fs::exists (folder))
				fs::permissions (folder, fs::perms::owner_all);

			EXPECT_EQ (ok, c.reason == nullptr) << error;
			if (ok)
			{
				EXPECT_GE (fs::file_size (target), 16384u);
			}
			else
			{
				EXPECT_NE (error.find ("cannot write '" + target.string () + "'"), std::string::npos) << error;
				EXPECT_NE (error.find (c.reason), std::string::npos) << error;
				EXPECT_EQ (error.find ('\n'), std::string::npos) << error;
			}
			if (!ok && c.hasOldFile)
			{
				EXPECT_EQ (readAll (target), old);
			}
			// No temporary file is left beside the target.
			EXPECT_EQ (listing (folder), ok ? std::set<std::string> {"take.wav"} : before);
			fs::remove_all (root);
		}
	}
}

} // namespace

#endif
