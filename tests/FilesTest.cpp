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
#include <functional>
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

// Writes 16 KiB to path one way or the other.
using Writer = std::function<bool (const std::string& path, std::string& error)>;

bool writeBuffer (const std::string& path, std::string& error)
{
	const std::string bytes (16384, 'n');
	return writeFileAtomically (path, bytes.data (), bytes.size (), error);
}

bool writeWav (const std::string& path, std::string& error)
{
	std::vector<float> left (2048, 0.5f), right (2048, -0.5f);
	const float* channels[] = {left.data (), right.data ()};
	WavWriter wav;
	return wav.open (path, 2, 48000, SampleFormat::Float32, error) && wav.write (channels, left.size (), error) &&
	       wav.close (error);
}

TEST (Files, AFailedWriteLeavesTheOldFileAndNoTemporaryFile)
{
	const fs::path root = fs::temp_directory_path () / ("tarno-files-" + std::to_string (getpid ()));
	const bool root_user = geteuid () == 0;
	struct Case
	{
		const char* name;
		bool hasOldFile;
		const char* reason; // nullptr: the write succeeds
		std::function<void (const fs::path& folder, const fs::path& target)> arrange;
		rlim_t sizeLimit = RLIM_INFINITY;
	};
	const std::vector<Case> cases {
	    {"new file", false, nullptr, [] (const fs::path&, const fs::path&) {}},
	    {"replaced file", true, nullptr, [] (const fs::path&, const fs::path&) {}},
	    {"file size limit (a full disk)", true, "File too large", [] (const fs::path&, const fs::path&) {}, 4096},
	    {"read-only folder", true, "Permission denied",
	     [] (const fs::path& folder, const fs::path&) {
		     fs::permissions (folder, fs::perms::owner_read | fs::perms::owner_exec);
	     }},
	    {"no folder", false, "No such file or directory",
	     [] (const fs::path& folder, const fs::path&) { fs::remove_all (folder); }},
	    {"a folder in the file's place", false, "Is a directory",
	     [] (const fs::path&, const fs::path& target) { fs::create_directory (target); }},
	};
	const std::pair<const char*, Writer> writers[] = {{"buffer", writeBuffer}, {"WAV", writeWav}};

	for (const Case& c : cases)
	{
		for (const auto& w : writers)
		{
			SCOPED_TRACE (std::string (c.name) + ", " + w.first);
			if (root_user && std::string (c.name) == "read-only folder")
			{
				std::printf ("skipped '%s': running as root, who may write into a read-only folder\n", c.name);
				continue;
			}
			const fs::path folder = root / "out";
			const fs::path target = folder / "take.wav";
			fs::create_directories (folder);
			const std::string old = "the last good file";
			if (c.hasOldFile)
				std::ofstream (target, std::ios::binary) << old;
			c.arrange (folder, target);
			const std::set<std::string> before = listing (folder);

			std::string error;
			bool ok = false;
			{
				FileSizeLimit limit (c.sizeLimit);
				ok = w.second (target.string (), error);
			}
			fs::permissions (root, fs::perms::owner_all);
			if (fs::exists (folder))
				fs::permissions (folder, fs::perms::owner_all);

			if (c.reason == nullptr)
			{
				EXPECT_TRUE (ok) << error;
				EXPECT_GE (fs::file_size (target), 16384u);
				EXPECT_EQ (listing (folder), std::set<std::string> {"take.wav"});
			}
			else
			{
				EXPECT_FALSE (ok);
				EXPECT_NE (error.find ("cannot write '" + target.string () + "'"), std::string::npos) << error;
				EXPECT_NE (error.find (c.reason), std::string::npos) << error;
				EXPECT_EQ (error.find ('\n'), std::string::npos) << error;
				if (c.hasOldFile)
				{
					EXPECT_EQ (readAll (target), old);
				}
				EXPECT_EQ (listing (folder), before);
			}
			fs::remove_all (root);
		}
	}
}

} // namespace

#endif
