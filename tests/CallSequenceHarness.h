// Decodes bytes into a sequence of VST 3 calls, mostly with bad arguments,
// on the classes a plug-in factory makes: factory, processor, controller and
// view. Every answer is checked against the rules a host relies on (results
// for null pointers and out-of-range indices, nothing written on a refusal,
// at most 128 units of text, finite normalized values, all-or-nothing
// states, readers that stop at the first failed read, ...). Shared by the
// libFuzzer target and the deterministic random-sequence test.
//
// Encoding: each call is one byte (its code, modulo kCallCount) followed by
// the bytes its arguments take; missing bytes read as zero. At most
// kMaxCalls calls are run.
#pragma once

#include "pluginterfaces/base/ipluginbase.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace TarnoTest {

enum CallCode : uint8_t
{
	kCallCreate,          // which class, which interface, out-pointer or not
	kCallFactoryInfo,     // getClassInfo/2/Unicode, getFactoryInfo
	kCallInitialize,      // processor or controller, which context
	kCallTerminate,       // processor or controller
	kCallConnect,         // who connects to whom (or to nullptr)
	kCallDisconnect,      // the same
	kCallNotify,          // null message, or a message without attributes
	kCallQueryInterface,  // which object, which interface, out-pointer or not
	kCallParameterInfo,   // an index
	kCallStringByValue,   // ID, value, null string or not
	kCallValueByString,   // ID, text
	kCallSetNormalized,   // ID, value
	kCallGetNormalized,   // ID
	kCallConversions,     // ID, value
	kCallMidiMapping,     // bus, channel, controller number
	kCallBuses,           // media type, direction, index, state
	kCallRoutingInfo,     // bus, channel
	kCallSetupProcessing, // mode, sample size, block size, sample rate
	kCallSetActive,       // on or off
	kCallSetProcessing,   // on or off
	kCallProcess,         // block size, sample size, buses, events, parameter changes
	kCallTail,            // getTailSamples, getLatencySamples
	kCallGetState,        // processor or controller, stream
	kCallSetState,        // which state reader, content, stream
	kCallCreateView,      // name; then null arguments to the view
	kCallRelease,         // drops the host's references without terminate
	kCallComponentHandler, // null or a handler
	kCallArrangements,    // setBusArrangements, getBusArrangement
	kCallSampleSize,      // canProcessSampleSize
	kCallCount
};

constexpr int kMaxCalls = 256;

// Empty when every rule held; otherwise the first broken rule.
std::string runCallSequence (Steinberg::IPluginFactory* factory, const uint8_t* data, size_t size);

} // namespace TarnoTest
