// Holds the mutex Tarnovelle's setup and uninstaller take while they run,
// as a second setup would, until its standard input closes. Prints "held"
// once it has it, so a test can start a setup at that very moment.
#include <windows.h>

#include <cstdio>

int main ()
{
	HANDLE mutex = CreateMutexW (nullptr, FALSE, L"Tarnovelle.Setup");
	if (!mutex || GetLastError () == ERROR_ALREADY_EXISTS)
		return 1;
	std::printf ("held\n");
	std::fflush (stdout);
	while (std::getchar () != EOF)
	{
	}
	CloseHandle (mutex);
	return 0;
}
