#include "player/WinMidiInput.h"

#include "player/Player.h"

#include <windows.h>

#include <mmsystem.h>

namespace Tarno {
namespace Standalone {

namespace {

std::string inputName (UINT id)
{
	MIDIINCAPSW caps {};
	if (midiInGetDevCapsW (id, &caps, sizeof (caps)) != MMSYSERR_NOERROR)
		return "MIDI input " + std::to_string (id);
	char name[256] = {};
	WideCharToMultiByte (CP_UTF8, 0, caps.szPname, -1, name, sizeof (name) - 1, nullptr, nullptr);
	return name;
}

void CALLBACK onMidi (HMIDIIN, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR)
{
	if (message == MIM_DATA)
		reinterpret_cast<WinMidiInput*> (instance)->received (static_cast<unsigned long> (param1));
}

} // namespace

std::vector<std::string> listMidiInputs ()
{
	std::vector<std::string> names;
	const UINT count = midiInGetNumDevs ();
	for (UINT id = 0; id < count; ++id)
		names.push_back (inputName (id));
	return names;
}

std::vector<std::string> WinMidiInput::open (const std::string& wanted, std::vector<std::string>& warnings)
{
	std::vector<std::string> opened;
	const UINT count = midiInGetNumDevs ();
	for (UINT id = 0; id < count; ++id)
	{
		const std::string name = inputName (id);
		if (!wanted.empty () && name.find (wanted) == std::string::npos)
			continue;
		HMIDIIN handle = nullptr;
		if (midiInOpen (&handle, id, DWORD_PTR (&onMidi), DWORD_PTR (this), CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
		{
			warnings.push_back ("the MIDI input '" + name + "' cannot be opened");
			continue;
		}
		midiInStart (handle);
		handles_.push_back (handle);
		opened.push_back (name);
		if (!wanted.empty ())
			break;
	}
	if (!wanted.empty () && opened.empty ())
		warnings.push_back ("there is no MIDI input named '" + wanted + "'");
	return opened;
}

void WinMidiInput::close ()
{
	for (void* h : handles_)
	{
		midiInStop (static_cast<HMIDIIN> (h));
		midiInReset (static_cast<HMIDIIN> (h));
		midiInClose (static_cast<HMIDIIN> (h));
	}
	handles_.clear ();
}

void WinMidiInput::received (unsigned long message)
{
	MidiMessage m;
	m.bytes[0] = uint8_t (message & 0xFF);
	m.bytes[1] = uint8_t ((message >> 8) & 0xFF);
	m.bytes[2] = uint8_t ((message >> 16) & 0xFF);
	const uint8_t status = m.bytes[0] & 0xF0;
	m.size = status == 0xC0 || status == 0xD0 ? 2 : 3;
	std::lock_guard<std::mutex> lock (pushMutex_);
	player_.queueMidi (m);
}

} // namespace Standalone
} // namespace Tarno
