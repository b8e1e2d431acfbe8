#include "formats/lv2/ui/Lv2EditorHost.h"

#include "formats/lv2/ui/SkinMessages.h"
#include "params/Skins.h"

#include <cstring>

namespace Tarno {

namespace {

// The port protocol of a control port's float (ui:floatProtocol).
constexpr uint32_t kFloatProtocol = 0;

} // namespace

Lv2EditorHost::Lv2EditorHost (const UiUrids& urids, LV2UI_Write_Function write, LV2UI_Controller controller,
                              const LV2UI_Touch* touch)
: urids (urids), write (write), controller (controller), touchFeature (touch), shownSkin (kSkinOriginal)
{
}

double Lv2EditorHost::value (int32_t id) const { return isTableParam (id) ? values[size_t (id)] : 0.0; }

void Lv2EditorHost::touch (int32_t id, bool grabbed)
{
	if (touchFeature && touchFeature->touch && isTableParam (id))
		touchFeature->touch (touchFeature->handle, uint32_t (id), grabbed);
}

void Lv2EditorHost::performEdit (int32_t id, double normalized)
{
	if (!isTableParam (id))
		return;
	values[size_t (id)] = clampNormalized (normalized);
	const float plain = float (toPlain (id, values[size_t (id)]));
	write (controller, uint32_t (id), sizeof plain, kFloatProtocol, &plain);
}

std::string Lv2EditorHost::valueText (int32_t id, double normalized) const
{
	ValueText text;
	return formatValue (id, normalized, text) ? text : "";
}

bool Lv2EditorHost::valueFromText (int32_t id, const std::string& text, double& normalized) const
{
	return parseValue (id, text.c_str (), normalized);
}

void Lv2EditorHost::setSkin (int32_t skin)
{
	if (skin < 0 || skin >= kNumSkins)
		return;
	shownSkin = skin;
	const SkinSetMessage message = makeSkinSet (urids, skin);
	write (controller, kLv2ControlInPort, sizeof message, urids.eventTransfer, &message);
}

void Lv2EditorHost::requestSkin ()
{
	const SkinGetMessage message = makeSkinGet (urids);
	write (controller, kLv2ControlInPort, sizeof message, urids.eventTransfer, &message);
}

void Lv2EditorHost::portEvent (uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
	if (buffer == nullptr)
		return;
	if (port < uint32_t (kNumParams) && format == kFloatProtocol && size >= sizeof (float))
	{
		float plain;
		std::memcpy (&plain, buffer, sizeof plain);
		// NaN and values out of range are clamped as a host's value is.
		values[port] = snapNormalized (int32_t (port), toNormalized (int32_t (port), plain));
	}
	else if (port == kLv2NotifyPort && format == urids.eventTransfer)
	{
		const int32_t skin = readSkinSet (urids, buffer, size);
		if (skin >= 0)
			shownSkin = skin;
	}
}

} // namespace Tarno
