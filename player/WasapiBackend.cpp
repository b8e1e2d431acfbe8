#include "player/WasapiBackend.h"

#include "player/Options.h"
#include "player/Player.h"

#include <windows.h>

#include <audioclient.h>
#include <avrt.h>
#include <mmdeviceapi.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

namespace Tarno {
namespace Standalone {

namespace {

// Identifiers defined here rather than taken from import libraries that
// mingw-w64 does not ship: the device's display name, and the sample
// formats of WAVE_FORMAT_EXTENSIBLE.
const PROPERTYKEY kDeviceFriendlyName = {{0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};
const GUID kSubtypePcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const GUID kSubtypeFloat = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// How long the playing thread waits for the device's event before it
// decides the device is gone.
constexpr DWORD kEventTimeoutMs = 2000;

std::string utf8 (const wchar_t* text)
{
	if (text == nullptr)
		return std::string ();
	const int size = WideCharToMultiByte (CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
	std::string s (size_t (size > 0 ? size : 1), '\0');
	WideCharToMultiByte (CP_UTF8, 0, text, -1, s.data (), size, nullptr, nullptr);
	s.resize (std::strlen (s.c_str ()));
	return s;
}

std::string hresultText (HRESULT hr)
{
	char text[32];
	std::snprintf (text, sizeof (text), "0x%08lX", (unsigned long) hr);
	return text;
}

template <typename T>
void release (T*& p)
{
	if (p)
		p->Release ();
	p = nullptr;
}

std::string deviceName (IMMDevice* device)
{
	IPropertyStore* store = nullptr;
	std::string name;
	if (SUCCEEDED (device->OpenPropertyStore (STGM_READ, &store)))
	{
		PROPVARIANT value;
		PropVariantInit (&value);
		if (SUCCEEDED (store->GetValue (kDeviceFriendlyName, &value)) && value.vt == VT_LPWSTR)
			name = utf8 (value.pwszVal);
		PropVariantClear (&value);
		store->Release ();
	}
	return name;
}

std::string deviceId (IMMDevice* device)
{
	LPWSTR id = nullptr;
	std::string s;
	if (SUCCEEDED (device->GetId (&id)))
		s = utf8 (id);
	CoTaskMemFree (id);
	return s;
}

IMMDeviceEnumerator* createEnumerator (std::string& error)
{
	IMMDeviceEnumerator* enumerator = nullptr;
	const HRESULT hr = CoCreateInstance (__uuidof (MMDeviceEnumerator), nullptr, CLSCTX_ALL,
	                                     __uuidof (IMMDeviceEnumerator), reinterpret_cast<void**> (&enumerator));
	if (FAILED (hr))
		error = "the Windows audio device enumerator is not available (" + hresultText (hr) + ")";
	return enumerator;
}

// Reports a change of the default output device.
class DefaultDeviceWatch : public IMMNotificationClient
{
public:
	std::atomic<bool> changed {false};

	HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged (EDataFlow flow, ERole role, LPCWSTR) override
	{
		if (flow == eRender && role == eConsole)
			changed.store (true);
		return S_OK;
	}
	HRESULT STDMETHODCALLTYPE OnDeviceAdded (LPCWSTR) override { return S_OK; }
	HRESULT STDMETHODCALLTYPE OnDeviceRemoved (LPCWSTR) override { return S_OK; }
	HRESULT STDMETHODCALLTYPE OnDeviceStateChanged (LPCWSTR, DWORD) override { return S_OK; }
	HRESULT STDMETHODCALLTYPE OnPropertyValueChanged (LPCWSTR, const PROPERTYKEY) override { return S_OK; }
	HRESULT STDMETHODCALLTYPE QueryInterface (REFIID iid, void** object) override
	{
		if (iid == __uuidof (IUnknown) || iid == __uuidof (IMMNotificationClient))
		{
			*object = static_cast<IMMNotificationClient*> (this);
			return S_OK;
		}
		*object = nullptr;
		return E_NOINTERFACE;
	}
	// Owned by the backend.
	ULONG STDMETHODCALLTYPE AddRef () override { return 1; }
	ULONG STDMETHODCALLTYPE Release () override { return 1; }
};

class WasapiBackend : public AudioBackend
{
public:
	explicit WasapiBackend (Player& player) : player_ (player) {}
	~WasapiBackend () override { close (); }

	bool open (const Options& options, std::string& error)
	{
		enumerator_ = createEnumerator (error);
		if (!enumerator_)
			return false;
		usesDefault_ = options.device.empty ();
		if (usesDefault_)
		{
			const HRESULT hr = enumerator_->GetDefaultAudioEndpoint (eRender, eConsole, &device_);
			if (FAILED (hr) || !device_)
			{
				error = "there is no WASAPI output device (no default output, " + hresultText (hr) + ")";
				return false;
			}
			enumerator_->RegisterEndpointNotificationCallback (&watch_);
			watching_ = true;
		}
		else if (!findDevice (options.device, error))
			return false;
		name_ = deviceName (device_);

		HRESULT hr = device_->Activate (__uuidof (IAudioClient), CLSCTX_ALL, nullptr, reinterpret_cast<void**> (&client_));
		if (SUCCEEDED (hr))
			hr = client_->GetMixFormat (&format_);
		if (FAILED (hr) || !format_)
			return failed ("cannot use the output device '" + name_ + "'", hr, error);
		if (!formatSupported ())
		{
			error = "the output device '" + name_ + "' mixes in a format the player does not write";
			return false;
		}
		hr = client_->Initialize (AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_EVENTCALLBACK, 0, 0, format_, nullptr);
		if (FAILED (hr))
			return failed ("the output device '" + name_ + "' refused shared event-driven playback", hr, error);
		event_ = CreateEventW (nullptr, FALSE, FALSE, nullptr);
		UINT32 frames = 0;
		hr = client_->SetEventHandle (event_);
		if (SUCCEEDED (hr))
			hr = client_->GetBufferSize (&frames);
		if (SUCCEEDED (hr))
			hr = client_->GetService (__uuidof (IAudioRenderClient), reinterpret_cast<void**> (&render_));
		if (FAILED (hr))
			return failed ("cannot prepare the output device '" + name_ + "'", hr, error);
		bufferFrames_ = frames;
		REFERENCE_TIME period = 0;
		client_->GetDevicePeriod (&period, nullptr);
		periodFrames_ = UINT32 ((period * format_->nSamplesPerSec + 5000000) / 10000000);
		left_.assign (frames, 0.f);
		right_.assign (frames, 0.f);
		if (!player_.start (double (format_->nSamplesPerSec), error))
			return false;
		running_.store (true);
		thread_ = std::thread ([this] { play (); });
		return true;
	}

	std::string description () const override
	{
		char text[512];
		const unsigned rate = format_ ? unsigned (format_->nSamplesPerSec) : 0;
		std::snprintf (text, sizeof (text),
		               "WASAPI output '%s' (shared, event-driven), %u Hz, %u samples per period (%.2f ms), "
		               "buffer %u samples",
		               name_.c_str (), rate, unsigned (periodFrames_), rate ? 1000.0 * periodFrames_ / rate : 0.0,
		               unsigned (bufferFrames_));
		return text;
	}

	Health poll (std::string& message) override
	{
		if (lost_.load ())
		{
			message = "the output device '" + name_ + "' was lost";
			return Health::Lost;
		}
		if (watch_.changed.load ())
		{
			message = "the default output device changed";
			return Health::Lost;
		}
		const DWORD refused = mmcssRefused_.exchange (0);
		if (refused != 0)
			message = "warning: the audio thread plays outside the multimedia class scheduler (\"Pro Audio\", "
			          "error " + std::to_string (refused) + "): it may drop out under load";
		return Health::Playing;
	}

	void close () override
	{
		running_.store (false);
		if (thread_.joinable ())
			thread_.join ();
		if (client_)
			client_->Stop ();
		if (watching_)
			enumerator_->UnregisterEndpointNotificationCallback (&watch_);
		watching_ = false;
		release (render_);
		release (client_);
		release (device_);
		release (enumerator_);
		if (format_)
			CoTaskMemFree (format_);
		format_ = nullptr;
		if (event_)
			CloseHandle (event_);
		event_ = nullptr;
		player_.stop ();
	}

private:
	bool failed (const std::string& what, HRESULT hr, std::string& error)
	{
		error = what + " (" + hresultText (hr) + ")";
		return false;
	}

	bool findDevice (const std::string& wanted, std::string& error)
	{
		IMMDeviceCollection* devices = nullptr;
		UINT count = 0;
		if (SUCCEEDED (enumerator_->EnumAudioEndpoints (eRender, DEVICE_STATE_ACTIVE, &devices)))
			devices->GetCount (&count);
		for (UINT i = 0; i < count && !device_; ++i)
		{
			IMMDevice* d = nullptr;
			if (FAILED (devices->Item (i, &d)))
				continue;
			if (deviceName (d).find (wanted) != std::string::npos || deviceId (d) == wanted)
				device_ = d;
			else
				d->Release ();
		}
		release (devices);
		if (!device_)
			error = "there is no WASAPI output device named '" + wanted + "' (" + std::to_string (count) +
			        " active output device(s); see --list-devices)";
		return device_ != nullptr;
	}

	bool formatSupported () const
	{
		const WAVEFORMATEX* f = format_;
		bool isFloat = f->wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
		bool isPcm = f->wFormatTag == WAVE_FORMAT_PCM;
		if (f->wFormatTag == WAVE_FORMAT_EXTENSIBLE)
		{
			const auto* x = reinterpret_cast<const WAVEFORMATEXTENSIBLE*> (f);
			isFloat = x->SubFormat == kSubtypeFloat;
			isPcm = x->SubFormat == kSubtypePcm;
		}
		return f->nChannels >= 1 && ((isFloat && f->wBitsPerSample == 32) || (isPcm && f->wBitsPerSample == 16));
	}

	// The playing thread: waits for the device's event, renders what fits.
	// It joins the multimedia class scheduler's "Pro Audio" task, which
	// raises its priority for as long as it plays.
	void play ()
	{
		CoInitializeEx (nullptr, COINIT_MULTITHREADED);
		DWORD taskIndex = 0;
		HANDLE task = AvSetMmThreadCharacteristicsW (L"Pro Audio", &taskIndex);
		if (task == nullptr)
		{
			const DWORD code = GetLastError ();
			mmcssRefused_.store (code != 0 ? code : ERROR_GEN_FAILURE);
		}
		const bool isFloat = format_->wBitsPerSample == 32;
		const UINT32 channels = format_->nChannels;
		HRESULT hr = client_->Start ();
		while (running_.load () && SUCCEEDED (hr))
		{
			if (WaitForSingleObject (event_, kEventTimeoutMs) != WAIT_OBJECT_0)
			{
				hr = AUDCLNT_E_DEVICE_INVALIDATED;
				break;
			}
			UINT32 padding = 0;
			hr = client_->GetCurrentPadding (&padding);
			if (FAILED (hr))
				break;
			const UINT32 frames = bufferFrames_ - padding;
			if (frames == 0)
				continue;
			BYTE* data = nullptr;
			hr = render_->GetBuffer (frames, &data);
			if (FAILED (hr))
				break;
			player_.process (left_.data (), right_.data (), int32 (frames));
			for (UINT32 i = 0; i < frames; ++i)
				for (UINT32 c = 0; c < channels; ++c)
				{
					const float v = c == 0 ? left_[i] : c == 1 ? right_[i] : 0.f;
					if (isFloat)
						reinterpret_cast<float*> (data)[i * channels + c] = v;
					else
					{
						const float clipped = v > 1.f ? 1.f : v < -1.f ? -1.f : v;
						reinterpret_cast<int16_t*> (data)[i * channels + c] = int16_t (clipped * 32767.f);
					}
				}
			hr = render_->ReleaseBuffer (frames, 0);
		}
		if (FAILED (hr))
			lost_.store (true);
		if (task)
			AvRevertMmThreadCharacteristics (task);
		CoUninitialize ();
	}

	Player& player_;
	IMMDeviceEnumerator* enumerator_ = nullptr;
	IMMDevice* device_ = nullptr;
	IAudioClient* client_ = nullptr;
	IAudioRenderClient* render_ = nullptr;
	WAVEFORMATEX* format_ = nullptr;
	HANDLE event_ = nullptr;
	UINT32 bufferFrames_ = 0, periodFrames_ = 0;
	std::string name_;
	bool usesDefault_ = true;
	bool watching_ = false;
	DefaultDeviceWatch watch_;
	std::vector<float> left_, right_;
	std::atomic<bool> running_ {false};
	std::atomic<bool> lost_ {false};
	std::atomic<DWORD> mmcssRefused_ {0};
	std::thread thread_;
};

} // namespace

std::vector<OutputDevice> listOutputDevices (std::string& error)
{
	std::vector<OutputDevice> list;
	IMMDeviceEnumerator* enumerator = createEnumerator (error);
	if (!enumerator)
		return list;
	std::string defaultId;
	IMMDevice* d = nullptr;
	if (SUCCEEDED (enumerator->GetDefaultAudioEndpoint (eRender, eConsole, &d)) && d)
		defaultId = deviceId (d);
	release (d);
	IMMDeviceCollection* devices = nullptr;
	UINT count = 0;
	if (SUCCEEDED (enumerator->EnumAudioEndpoints (eRender, DEVICE_STATE_ACTIVE, &devices)))
		devices->GetCount (&count);
	for (UINT i = 0; i < count; ++i)
		if (SUCCEEDED (devices->Item (i, &d)))
		{
			list.push_back ({deviceName (d), deviceId (d) == defaultId});
			release (d);
		}
	release (devices);
	release (enumerator);
	if (list.empty ())
		error = "there is no active WASAPI output device";
	return list;
}

std::unique_ptr<AudioBackend> openWasapi (Player& player, const Options& options, std::string& error)
{
	auto backend = std::make_unique<WasapiBackend> (player);
	if (!backend->open (options, error))
		return nullptr;
	return backend;
}

} // namespace Standalone
} // namespace Tarno
