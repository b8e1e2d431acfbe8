// What a careless or hostile host hands a plug-in: huge and non-finite
// values, texts that are not text, out-arguments filled with a byte pattern
// so that any write shows, text buffers with a guard zone, a context object
// that counts its references and a message without attributes. Shared by the
// hostile-host tests and the call-sequence fuzzer.
#pragma once

#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/vsttypes.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace TarnoTest {

using Text16 = std::basic_string<Steinberg::char16>;

// The object's interface T (its own reference), or null when it has none.
template <typename T>
Steinberg::IPtr<T> query (Steinberg::FUnknown* object)
{
	void* obj = nullptr;
	if (object == nullptr || object->queryInterface (T::iid, &obj) != Steinberg::kResultOk || obj == nullptr)
		return nullptr;
	return Steinberg::owned (static_cast<T*> (obj));
}

inline Text16 text16 (const char* ascii)
{
	Text16 t;
	for (; *ascii; ++ascii)
		t += Steinberg::char16 (static_cast<unsigned char> (*ascii));
	return t;
}

inline std::string ascii (const Steinberg::char16* text, size_t capacity)
{
	std::string s;
	for (size_t i = 0; i < capacity && text[i] != 0; ++i)
		s += text[i] < 128 ? char (text[i]) : '?';
	return s;
}

// Normalized values no host should send, and a few ordinary ones.
inline std::vector<double> hostileValues ()
{
	const double inf = std::numeric_limits<double>::infinity ();
	const double nan = std::numeric_limits<double>::quiet_NaN ();
	return {1e308, -1e308, 1e200, -1e200, 1e122, -1e122, inf, -inf, nan, -nan,
	        std::numeric_limits<double>::max (), -std::numeric_limits<double>::max (),
	        5e-324, -5e-324, 1e-310, -1e-310, -0.0, 0.0, 1.0, 0.5, 0.25, 0.75,
	        1.0000000000000002, -1e-5, 0.123456, 2.0, -3.5};
}

// How a text should read as a number.
enum class Reading
{
	None,      // holds no number
	NonFinite, // reads as NaN or an infinity
	Finite,    // reads as `value`
	Any,       // readings differ between libraries: only the general rules hold
};

struct HostileText
{
	const char* name;
	Text16 text;
	Reading reading;
	double value;
};

inline Text16 repeated (Steinberg::char16 c, size_t n) { return Text16 (n, c); }

// Terminated texts; the caller copies each into a buffer of exactly its size.
inline std::vector<HostileText> hostileTexts ()
{
	const Steinberg::char16 high = 0xD800, low = 0xDC00;
	std::vector<HostileText> t = {
		{"lone high surrogate", Text16 (1, high), Reading::None, 0},
		{"lone low surrogate", Text16 (1, low), Reading::None, 0},
		{"high surrogate at the end", text16 ("0.5") + high, Reading::Any, 0},
		{"low surrogate first", low + text16 ("0.5"), Reading::Any, 0},
		{"surrogate pair", Text16 {high, low}, Reading::None, 0},
		{"127 digits", repeated ('1', 127), Reading::Finite, 1.1111111111111111e126},
		{"5000 digits", repeated ('9', 5000), Reading::Any, 0},
		{"empty", Text16 (), Reading::None, 0},
		{"only spaces", text16 ("     "), Reading::None, 0},
		{"nan", text16 ("nan"), Reading::NonFinite, 0},
		{"NaN", text16 ("NaN"), Reading::NonFinite, 0},
		{"-nan", text16 ("-nan"), Reading::NonFinite, 0},
		{"inf", text16 ("inf"), Reading::NonFinite, 0},
		{"-inf", text16 ("-inf"), Reading::NonFinite, 0},
		{"Infinity", text16 ("Infinity"), Reading::NonFinite, 0},
		{"1e999", text16 ("1e999"), Reading::NonFinite, 0},
		{"-1e999", text16 ("-1e999"), Reading::NonFinite, 0},
		{"0x1p3", text16 ("0x1p3"), Reading::Any, 0},
		{"1e308", text16 ("1e308"), Reading::Finite, 1e308},
		{"0.25", text16 ("0.25"), Reading::Finite, 0.25},
		{"spaces then 0.75", text16 ("  0.75"), Reading::Finite, 0.75},
		{"7", text16 ("7"), Reading::Finite, 7.0},
		{"-3", text16 ("-3"), Reading::Finite, -3.0},
		{"denormal", text16 ("1e-320"), Reading::Finite, 1e-320},
		{"number then junk", text16 ("0.5 dB%$"), Reading::Any, 0},
		{"decimal comma", text16 ("0,5"), Reading::Any, 0},
	};
	return t;
}

// An out-argument filled with a byte pattern, to tell whether a call wrote it.
template <typename T>
struct Patterned
{
	static constexpr unsigned char kByte = 0xA5;
	T value;
	Patterned () { std::memset (static_cast<void*> (&value), kByte, sizeof (T)); }
	bool untouched () const
	{
		const auto* bytes = reinterpret_cast<const unsigned char*> (&value);
		for (size_t i = 0; i < sizeof (T); ++i)
			if (bytes[i] != kByte)
				return false;
		return true;
	}
};

// A String128 followed by a guard zone: a call that writes past the 128
// units changes the guard.
struct GuardedText
{
	static constexpr size_t kUnits = 128;
	static constexpr size_t kGuard = 1024;
	static constexpr Steinberg::char16 kFill = Steinberg::char16 (0xA5A5);
	std::vector<Steinberg::char16> units = std::vector<Steinberg::char16> (kUnits + kGuard, kFill);

	Steinberg::char16* data () { return units.data (); }
	bool guardIntact () const
	{
		for (size_t i = kUnits; i < units.size (); ++i)
			if (units[i] != kFill)
				return false;
		return true;
	}
	bool untouched () const
	{
		for (Steinberg::char16 c : units)
			if (c != kFill)
				return false;
		return true;
	}
	// A terminator within the 128 units.
	bool terminated () const
	{
		for (size_t i = 0; i < kUnits; ++i)
			if (units[i] == 0)
				return true;
		return false;
	}
	std::string text () const { return ascii (units.data (), kUnits); }
};

inline bool sameBits (double a, double b) { return std::memcmp (&a, &b, sizeof a) == 0; }

// A context for initialize () that only counts references: an object the
// plug-in destroys gives back the reference it took.
class CountingUnknown : public Steinberg::FUnknown
{
public:
	Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID, void** obj) SMTG_OVERRIDE
	{
		if (obj)
			*obj = nullptr;
		return Steinberg::kNoInterface;
	}
	Steinberg::uint32 PLUGIN_API addRef () SMTG_OVERRIDE { return ++refs; }
	Steinberg::uint32 PLUGIN_API release () SMTG_OVERRIDE { return --refs; }

	std::atomic<Steinberg::uint32> refs {1};
};

// A message with the given ID (which may be null) and no attribute list.
class BareMessage : public Steinberg::Vst::IMessage
{
public:
	explicit BareMessage (const char* id) : id (id) {}

	Steinberg::FIDString PLUGIN_API getMessageID () SMTG_OVERRIDE { return id; }
	void PLUGIN_API setMessageID (Steinberg::FIDString newId) SMTG_OVERRIDE { id = newId; }
	Steinberg::Vst::IAttributeList* PLUGIN_API getAttributes () SMTG_OVERRIDE { return nullptr; }

	Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID, void** obj) SMTG_OVERRIDE
	{
		if (obj)
			*obj = nullptr;
		return Steinberg::kNoInterface;
	}
	// Lives on the caller's stack.
	Steinberg::uint32 PLUGIN_API addRef () SMTG_OVERRIDE { return 1; }
	Steinberg::uint32 PLUGIN_API release () SMTG_OVERRIDE { return 1; }

private:
	Steinberg::FIDString id;
};

} // namespace TarnoTest
