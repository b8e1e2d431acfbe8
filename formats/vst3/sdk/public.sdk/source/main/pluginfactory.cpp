// Class factory for VST 3 plug-in modules (see pluginfactory.h).

#include "public.sdk/source/main/pluginfactory.h"

#include <cstring>

Steinberg::CPluginFactory* gPluginFactory = nullptr;

namespace Steinberg {

namespace {

const uint32 kReplacementChar = 0xFFFD;

// Length of a string stored in a fixed buffer that may lack its terminator.
template <class Char>
size_t boundedLength (const Char* s, size_t capacity)
{
	size_t n = 0;
	while (n < capacity && s[n] != 0)
		++n;
	return n;
}

// Copies a string of the same character type, truncating so that the
// destination is always terminated.
template <class Char>
void copyString (Char* dst, size_t dstCapacity, const Char* src, size_t srcCapacity)
{
	size_t n = boundedLength (src, srcCapacity);
	if (n > dstCapacity - 1)
		n = dstCapacity - 1;
	std::memcpy (dst, src, n * sizeof (Char));
	std::memset (dst + n, 0, (dstCapacity - n) * sizeof (Char));
}

// Decodes one code point from UTF-8 at s[pos] (pos < len) and advances pos.
// Malformed, overlong or surrogate sequences decode as U+FFFD, consuming one
// byte, so every input makes progress.
uint32 decodeUtf8 (const unsigned char* s, size_t len, size_t& pos)
{
	const uint32 lead = s[pos];
	if (lead < 0x80)
	{
		++pos;
		return lead;
	}
	size_t extra;
	uint32 cp;
	uint32 minimum;
	if ((lead & 0xE0) == 0xC0)
	{
		extra = 1;
		cp = lead & 0x1F;
		minimum = 0x80;
	}
	else if ((lead & 0xF0) == 0xE0)
	{
		extra = 2;
		cp = lead & 0x0F;
		minimum = 0x800;
	}
	else if ((lead & 0xF8) == 0xF0)
	{
		extra = 3;
		cp = lead & 0x07;
		minimum = 0x10000;
	}
	else
	{
		++pos;
		return kReplacementChar;
	}
	if (pos + extra >= len)
	{
		++pos;
		return kReplacementChar;
	}
	for (size_t i = 1; i <= extra; ++i)
	{
		const uint32 c = s[pos + i];
		if ((c & 0xC0) != 0x80)
		{
			++pos;
			return kReplacementChar;
		}
		cp = (cp << 6) | (c & 0x3F);
	}
	if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
	{
		++pos;
		return kReplacementChar;
	}
	pos += extra + 1;
	return cp;
}

// UTF-8 -> UTF-16 into a terminated fixed buffer. A character that does not
// fit whole (a surrogate pair needs two units) ends the copy.
void utf8ToUtf16 (char16* dst, size_t dstCapacity, const char8* src, size_t srcCapacity)
{
	const unsigned char* s = reinterpret_cast<const unsigned char*> (src);
	const size_t len = boundedLength (src, srcCapacity);
	size_t pos = 0;
	size_t out = 0;
	while (pos < len)
	{
		const uint32 cp = decodeUtf8 (s, len, pos);
		if (cp >= 0x10000)
		{
			if (out + 2 > dstCapacity - 1)
				break;
			const uint32 v = cp - 0x10000;
			dst[out++] = static_cast<char16> (0xD800 + (v >> 10));
			dst[out++] = static_cast<char16> (0xDC00 + (v & 0x3FF));
		}
		else
		{
			if (out + 1 > dstCapacity - 1)
				break;
			dst[out++] = static_cast<char16> (cp);
		}
	}
	while (out < dstCapacity)
		dst[out++] = 0;
}

// UTF-16 -> UTF-8 into a terminated fixed buffer. Unpaired surrogates become
// U+FFFD; a character that does not fit whole ends the copy.
void utf16ToUtf8 (char8* dst, size_t dstCapacity, const char16* src, size_t srcCapacity)
{
	const size_t len = boundedLength (src, srcCapacity);
	size_t pos = 0;
	size_t out = 0;
	while (pos < len)
	{
		uint32 cp = static_cast<uint16> (src[pos++]);
		if (cp >= 0xD800 && cp <= 0xDBFF)
		{
			const uint32 low = pos < len ? static_cast<uint16> (src[pos]) : 0;
			if (low >= 0xDC00 && low <= 0xDFFF)
			{
				cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
				++pos;
			}
			else
				cp = kReplacementChar;
		}
		else if (cp >= 0xDC00 && cp <= 0xDFFF)
			cp = kReplacementChar;

		unsigned char bytes[4];
		size_t n;
		if (cp < 0x80)
		{
			bytes[0] = static_cast<unsigned char> (cp);
			n = 1;
		}
		else if (cp < 0x800)
		{
			bytes[0] = static_cast<unsigned char> (0xC0 | (cp >> 6));
			bytes[1] = static_cast<unsigned char> (0x80 | (cp & 0x3F));
			n = 2;
		}
		else if (cp < 0x10000)
		{
			bytes[0] = static_cast<unsigned char> (0xE0 | (cp >> 12));
			bytes[1] = static_cast<unsigned char> (0x80 | ((cp >> 6) & 0x3F));
			bytes[2] = static_cast<unsigned char> (0x80 | (cp & 0x3F));
			n = 3;
		}
		else
		{
			bytes[0] = static_cast<unsigned char> (0xF0 | (cp >> 18));
			bytes[1] = static_cast<unsigned char> (0x80 | ((cp >> 12) & 0x3F));
			bytes[2] = static_cast<unsigned char> (0x80 | ((cp >> 6) & 0x3F));
			bytes[3] = static_cast<unsigned char> (0x80 | (cp & 0x3F));
			n = 4;
		}
		if (out + n > dstCapacity - 1)
			break;
		for (size_t i = 0; i < n; ++i)
			dst[out++] = static_cast<char8> (bytes[i]);
	}
	while (out < dstCapacity)
		dst[out++] = 0;
}

template <class Array>
constexpr size_t capacityOf (const Array& a)
{
	return sizeof (a) / sizeof (a[0]);
}

// Fills the UTF-16 layout from the UTF-8 one.
void widen (PClassInfoW& w, const PClassInfo2& n)
{
	std::memcpy (w.cid, n.cid, sizeof (TUID));
	w.cardinality = n.cardinality;
	copyString (w.category, capacityOf (w.category), n.category, capacityOf (n.category));
	utf8ToUtf16 (w.name, capacityOf (w.name), n.name, capacityOf (n.name));
	w.classFlags = n.classFlags;
	copyString (w.subCategories, capacityOf (w.subCategories), n.subCategories,
	            capacityOf (n.subCategories));
	utf8ToUtf16 (w.vendor, capacityOf (w.vendor), n.vendor, capacityOf (n.vendor));
	utf8ToUtf16 (w.version, capacityOf (w.version), n.version, capacityOf (n.version));
	utf8ToUtf16 (w.sdkVersion, capacityOf (w.sdkVersion), n.sdkVersion, capacityOf (n.sdkVersion));
}

// Fills the UTF-8 layout from the UTF-16 one.
void narrow (PClassInfo2& n, const PClassInfoW& w)
{
	std::memcpy (n.cid, w.cid, sizeof (TUID));
	n.cardinality = w.cardinality;
	copyString (n.category, capacityOf (n.category), w.category, capacityOf (w.category));
	utf16ToUtf8 (n.name, capacityOf (n.name), w.name, capacityOf (w.name));
	n.classFlags = w.classFlags;
	copyString (n.subCategories, capacityOf (n.subCategories), w.subCategories,
	            capacityOf (w.subCategories));
	utf16ToUtf8 (n.vendor, capacityOf (n.vendor), w.vendor, capacityOf (w.vendor));
	utf16ToUtf8 (n.version, capacityOf (n.version), w.version, capacityOf (w.version));
	utf16ToUtf8 (n.sdkVersion, capacityOf (n.sdkVersion), w.sdkVersion, capacityOf (w.sdkVersion));
}

// Copies every field of a PClassInfo2 with terminated strings.
void copyInfo2 (PClassInfo2& dst, const PClassInfo2& src)
{
	std::memcpy (dst.cid, src.cid, sizeof (TUID));
	dst.cardinality = src.cardinality;
	copyString (dst.category, capacityOf (dst.category), src.category, capacityOf (src.category));
	copyString (dst.name, capacityOf (dst.name), src.name, capacityOf (src.name));
	dst.classFlags = src.classFlags;
	copyString (dst.subCategories, capacityOf (dst.subCategories), src.subCategories,
	            capacityOf (src.subCategories));
	copyString (dst.vendor, capacityOf (dst.vendor), src.vendor, capacityOf (src.vendor));
	copyString (dst.version, capacityOf (dst.version), src.version, capacityOf (src.version));
	copyString (dst.sdkVersion, capacityOf (dst.sdkVersion), src.sdkVersion,
	            capacityOf (src.sdkVersion));
}

void copyInfoW (PClassInfoW& dst, const PClassInfoW& src)
{
	std::memcpy (dst.cid, src.cid, sizeof (TUID));
	dst.cardinality = src.cardinality;
	copyString (dst.category, capacityOf (dst.category), src.category, capacityOf (src.category));
	copyString (dst.name, capacityOf (dst.name), src.name, capacityOf (src.name));
	dst.classFlags = src.classFlags;
	copyString (dst.subCategories, capacityOf (dst.subCategories), src.subCategories,
	            capacityOf (src.subCategories));
	copyString (dst.vendor, capacityOf (dst.vendor), src.vendor, capacityOf (src.vendor));
	copyString (dst.version, capacityOf (dst.version), src.version, capacityOf (src.version));
	copyString (dst.sdkVersion, capacityOf (dst.sdkVersion), src.sdkVersion,
	            capacityOf (src.sdkVersion));
}

bool sameCid (const TUID a, const TUID b)
{
	return std::memcmp (a, b, sizeof (TUID)) == 0;
}

} // namespace

CPluginFactory::CPluginFactory (const PFactoryInfo& info)
: factoryInfo (info), refCount (1)
{
}

CPluginFactory::~CPluginFactory ()
{
	if (gPluginFactory == this)
		gPluginFactory = nullptr;
}

bool CPluginFactory::addEntry (const ClassEntry& entry)
{
	if (!entry.createFunc || isClassRegistered (FUID::fromTUID (entry.info8.cid)))
		return false;
	classes.push_back (entry);
	return true;
}

bool CPluginFactory::registerClass (const PClassInfo* info, CreateFunc createFunc, void* context)
{
	if (!info)
		return false;
	ClassEntry entry {};
	std::memcpy (entry.info8.cid, info->cid, sizeof (TUID));
	entry.info8.cardinality = info->cardinality;
	copyString (entry.info8.category, capacityOf (entry.info8.category), info->category,
	            capacityOf (info->category));
	copyString (entry.info8.name, capacityOf (entry.info8.name), info->name,
	            capacityOf (info->name));
	widen (entry.info16, entry.info8);
	entry.createFunc = createFunc;
	entry.context = context;
	return addEntry (entry);
}

bool CPluginFactory::registerClass (const PClassInfo2* info, CreateFunc createFunc, void* context)
{
	if (!info)
		return false;
	ClassEntry entry {};
	copyInfo2 (entry.info8, *info);
	widen (entry.info16, entry.info8);
	entry.createFunc = createFunc;
	entry.context = context;
	return addEntry (entry);
}

bool CPluginFactory::registerClass (const PClassInfoW* info, CreateFunc createFunc, void* context)
{
	if (!info)
		return false;
	ClassEntry entry {};
	copyInfoW (entry.info16, *info);
	narrow (entry.info8, entry.info16);
	entry.createFunc = createFunc;
	entry.context = context;
	return addEntry (entry);
}

bool CPluginFactory::isClassRegistered (const FUID& cid)
{
	for (const ClassEntry& entry : classes)
	{
		if (sameCid (entry.info8.cid, cid.toTUID ()))
			return true;
	}
	return false;
}

void CPluginFactory::removeAllClasses ()
{
	classes.clear ();
}

const CPluginFactory::ClassEntry* CPluginFactory::entryAt (int32 index) const
{
	if (index < 0 || index >= static_cast<int32> (classes.size ()))
		return nullptr;
	return &classes[static_cast<size_t> (index)];
}

tresult PLUGIN_API CPluginFactory::queryInterface (const TUID _iid, void** obj)
{
	if (!obj)
		return kInvalidArgument;
	if (FUnknownPrivate::iidEqual (_iid, FUnknown::iid) ||
	    FUnknownPrivate::iidEqual (_iid, IPluginFactory::iid) ||
	    FUnknownPrivate::iidEqual (_iid, IPluginFactory2::iid) ||
	    FUnknownPrivate::iidEqual (_iid, IPluginFactory3::iid))
	{
		addRef ();
		*obj = static_cast<IPluginFactory3*> (this);
		return kResultOk;
	}
	*obj = nullptr;
	return kNoInterface;
}

uint32 PLUGIN_API CPluginFactory::addRef ()
{
	return static_cast<uint32> (FUnknownPrivate::atomicAdd (refCount, 1));
}

uint32 PLUGIN_API CPluginFactory::release ()
{
	const int32 remaining = FUnknownPrivate::atomicAdd (refCount, -1);
	if (remaining == 0)
	{
		delete this;
		return 0;
	}
	return static_cast<uint32> (remaining);
}

tresult PLUGIN_API CPluginFactory::getFactoryInfo (PFactoryInfo* info)
{
	if (!info)
		return kInvalidArgument;
	std::memcpy (info, &factoryInfo, sizeof (PFactoryInfo));
	return kResultOk;
}

int32 PLUGIN_API CPluginFactory::countClasses ()
{
	return static_cast<int32> (classes.size ());
}

tresult PLUGIN_API CPluginFactory::getClassInfo (int32 index, PClassInfo* info)
{
	const ClassEntry* entry = entryAt (index);
	if (!entry || !info)
		return kInvalidArgument;
	std::memcpy (info->cid, entry->info8.cid, sizeof (TUID));
	info->cardinality = entry->info8.cardinality;
	copyString (info->category, capacityOf (info->category), entry->info8.category,
	            capacityOf (entry->info8.category));
	copyString (info->name, capacityOf (info->name), entry->info8.name,
	            capacityOf (entry->info8.name));
	return kResultOk;
}

tresult PLUGIN_API CPluginFactory::getClassInfo2 (int32 index, PClassInfo2* info)
{
	const ClassEntry* entry = entryAt (index);
	if (!entry || !info)
		return kInvalidArgument;
	std::memcpy (info, &entry->info8, sizeof (PClassInfo2));
	return kResultOk;
}

tresult PLUGIN_API CPluginFactory::getClassInfoUnicode (int32 index, PClassInfoW* info)
{
	const ClassEntry* entry = entryAt (index);
	if (!entry || !info)
		return kInvalidArgument;
	std::memcpy (info, &entry->info16, sizeof (PClassInfoW));
	return kResultOk;
}

tresult PLUGIN_API CPluginFactory::createInstance (FIDString cid, FIDString _iid, void** obj)
{
	if (!obj)
		return kInvalidArgument;
	*obj = nullptr;
	if (!cid || !_iid)
		return kInvalidArgument;

	for (const ClassEntry& entry : classes)
	{
		if (!sameCid (entry.info8.cid, reinterpret_cast<const int8*> (cid)))
			continue;

		FUnknown* instance = entry.createFunc (entry.context);
		if (!instance)
			return kOutOfMemory;
		// The interface pointer carries its own reference; dropping the
		// creation reference leaves the caller as the only owner, or
		// destroys the object when the interface is not supported.
		void* result = nullptr;
		const tresult qi = instance->queryInterface (_iid, &result);
		instance->release ();
		if (qi != kResultOk || !result)
			return kNoInterface;
		*obj = result;
		return kResultOk;
	}
	return kNoInterface;
}

tresult PLUGIN_API CPluginFactory::setHostContext (FUnknown* /*context*/)
{
	return kNotImplemented;
}

} // namespace Steinberg
